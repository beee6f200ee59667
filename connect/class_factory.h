#pragma once
// The class objects DllGetClassObject hands out: one factory per creatable class.
#include <windows.h>

#include "platform/com_object.h"

namespace vantrell {

using CreateFunction = HRESULT (*)(REFIID iid, void** out);

class ClassFactory : public com::Object<IClassFactory> {
public:
    explicit ClassFactory(CreateFunction create) noexcept : create_(create) {}

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept override;
    STDMETHODIMP LockServer(BOOL lock) noexcept override;

private:
    CreateFunction create_;
};

// Creates a T and answers `iid` on it.
template <class T>
HRESULT CreateObject(REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    return com::Guarded([&] { return com::Make<T>()->QueryInterface(iid, out); });
}

// The factory for a registered class, or CLASS_E_CLASSNOTAVAILABLE.
HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept;

}  // namespace vantrell
