#include "platform/module.h"

#include <oleauto.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace vantrell::com {
namespace {
ITypeLib* g_type_library = nullptr;
}

HMODULE ThisModule() noexcept { return reinterpret_cast<HMODULE>(&__ImageBase); }

std::wstring ModulePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

HRESULT OwnTypeInfo(REFGUID iid, ITypeInfo** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    ITypeLib* library = static_cast<ITypeLib*>(InterlockedCompareExchangePointer(
        reinterpret_cast<void**>(&g_type_library), nullptr, nullptr));
    if (!library) {
        std::wstring path;
        try {
            path = ModulePath(ThisModule());
        } catch (...) {
            return E_OUTOFMEMORY;
        }
        HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
        if (FAILED(hr)) return hr;
        // Another apartment may have loaded it meanwhile: keep the first, drop ours.
        void* previous = InterlockedCompareExchangePointer(reinterpret_cast<void**>(&g_type_library), library, nullptr);
        if (previous) {
            library->Release();
            library = static_cast<ITypeLib*>(previous);
        }
    }
    // The library caches its type infos, so asking again costs no new load.
    return library->GetTypeInfoOfGuid(iid, out);
}

void ReleaseOwnTypeLibrary() noexcept {
    auto* library = static_cast<ITypeLib*>(InterlockedExchangePointer(reinterpret_cast<void**>(&g_type_library), nullptr));
    if (library) library->Release();
}

}  // namespace vantrell::com
