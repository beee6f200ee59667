#pragma once
// A COM server DLL beside the running program, loaded and registered (through its own
// DllRegisterServer) while this lives, unregistered at the end: how the demo and the
// benchmarks install the add-in and the stand-in helper in the simulated machine.
#include <windows.h>

#include <string>

namespace vantrell::sim {

class RegisteredDll {
public:
    explicit RegisteredDll(const wchar_t* name) {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring path = self;
        module_ = LoadLibraryW((path.substr(0, path.find_last_of(L'\\') + 1) + name).c_str());
        ok_ = module_ && SUCCEEDED(Entry("DllRegisterServer"));
    }
    ~RegisteredDll() {
        if (!module_) return;
        Entry("DllUnregisterServer");
        FreeLibrary(module_);
    }
    RegisteredDll(const RegisteredDll&) = delete;
    RegisteredDll& operator=(const RegisteredDll&) = delete;
    bool Ok() const { return ok_; }

private:
    HRESULT Entry(const char* name) {
        using EntryPoint = HRESULT(WINAPI*)();
        auto entry = reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
        return entry ? entry() : E_NOTIMPL;
    }
    HMODULE module_ = nullptr;
    bool ok_ = false;
};

}  // namespace vantrell::sim
