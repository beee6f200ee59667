#pragma once
// IDispatch for one of our own dual interfaces, answered from the embedded type library:
// members by name (case-insensitive), optional arguments, and the standard DISP_E_* codes.
#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include "platform/com_object.h"
#include "platform/module.h"

namespace vantrell::com {

template <class Iface>
class TypeLibDispatch : public Iface {
public:
    using ComInterface = Iface;

    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return OwnTypeInfo(__uuidof(Iface), out);
    }
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override {
        if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        Ptr<ITypeInfo> info;
        HRESULT hr = OwnTypeInfo(__uuidof(Iface), info.ReleaseAndGetAddressOf());
        if (FAILED(hr)) return hr;
        return DispGetIDsOfNames(info.Get(), names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* badArgument) noexcept override {
        if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        Ptr<ITypeInfo> info;
        HRESULT hr = OwnTypeInfo(__uuidof(Iface), info.ReleaseAndGetAddressOf());
        if (FAILED(hr)) return hr;
        return DispInvoke(static_cast<Iface*>(this), info.Get(), id, flags, params, result, exception, badArgument);
    }
};

}  // namespace vantrell::com
