// The four entry points of the in-process server.
#include <windows.h>
#include <olectl.h>

#include "connect/class_factory.h"
#include "connect/registration.h"
#include "platform/com_object.h"
#include "platform/module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    // Unloaded while the process lives on: the type library can still be released safely.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) vantrell::com::ReleaseOwnTypeLibrary();
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return vantrell::GetClassObject(clsid, iid, out);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return vantrell::com::ModuleLockCount() == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT WINAPI DllRegisterServer() {
    try {
        std::wstring path = vantrell::com::ModulePath(vantrell::com::ThisModule());
        if (path.empty()) return SELFREG_E_CLASS;
        return vantrell::RegisterServer(vantrell::ScopeForThisProcess(), path);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

extern "C" HRESULT WINAPI DllUnregisterServer() { return vantrell::UnregisterServer(vantrell::ScopeForThisProcess()); }
