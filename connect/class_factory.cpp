#include "connect/class_factory.h"

#include "connect/classes.h"
#include "commands/commands.h"

namespace vantrell {

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    // Every object of the module is made through here: the commands' actions are in the table
    // before any button or ribbon can be clicked.
    InstallCommandActions();
    if (outer) return CLASS_E_NOAGGREGATION;
    return create_(iid, out);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) noexcept {
    if (lock)
        com::LockModule();
    else
        com::UnlockModule();
    return S_OK;
}

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const ClassEntry& entry : Classes()) {
        if (IsEqualCLSID(clsid, *entry.clsid))
            return com::Guarded([&] { return com::Make<ClassFactory>(entry.create)->QueryInterface(iid, out); });
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace vantrell
