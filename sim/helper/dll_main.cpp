// The entry points of the stand-in helper component, OsbHelper.dll.
#include <windows.h>
#include <olectl.h>

#include "platform/com_object.h"
#include "platform/module.h"
#include "sim/helper/helper_objects.h"
#include "sim/helper/registration.h"

namespace vantrell::sim::helper {
namespace {

using CreateFunction = HRESULT (*)(REFIID iid, void** out);

template <class T>
HRESULT Create(REFIID iid, void** out) noexcept {
    return com::Guarded([&] { return com::Make<T>()->QueryInterface(iid, out); });
}

class ClassFactory : public com::Object<IClassFactory> {
public:
    explicit ClassFactory(CreateFunction create) noexcept : create_(create) {}

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return create_(iid, out);
    }
    STDMETHODIMP LockServer(BOOL lock) noexcept override {
        if (lock)
            com::LockModule();
        else
            com::UnlockModule();
        return S_OK;
    }

private:
    CreateFunction create_;
};

}  // namespace
}  // namespace vantrell::sim::helper

using namespace vantrell::sim::helper;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) vantrell::com::ReleaseOwnTypeLibrary();
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    CreateFunction create = nullptr;
    if (IsEqualCLSID(clsid, CLSID_OsbFolder)) create = &Create<Folder>;
    if (IsEqualCLSID(clsid, CLSID_OsbMailItem)) create = &Create<MailItem>;
    if (IsEqualCLSID(clsid, CLSID_OsbUtils)) create = &Create<Utils>;
    if (!create) return CLASS_E_CLASSNOTAVAILABLE;
    return vantrell::com::Guarded(
        [&] { return vantrell::com::Make<ClassFactory>(create)->QueryInterface(iid, out); });
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return vantrell::com::ModuleLockCount() == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT WINAPI DllRegisterServer() {
    try {
        std::wstring path = vantrell::com::ModulePath(vantrell::com::ThisModule());
        if (path.empty()) return SELFREG_E_CLASS;
        return Register(path);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

extern "C" HRESULT WINAPI DllUnregisterServer() { return Unregister(); }

// For tests: the mail items' journal (see Journal), valid until the next call into the helper.
extern "C" const wchar_t* WINAPI OsbJournal() { return Journal().c_str(); }
