#pragma once
// IDispatch for an object with one or more of our own dual interfaces, answered from the
// embedded type library: members by name (case-insensitive), optional arguments, and the
// standard DISP_E_* codes.
//
//   com::Object<com::TypeLibDispatch<Default, Others...>>
//
// GetTypeInfo answers Default's type information (the default interface of the class). A name
// is looked up in Default, then in Others in their order: the first interface that has the
// member answers it, so that every interface the object hands out answers the members of all.
// Each member keeps the DISPID its interface publishes, so a caller binding by DISPID reaches
// it, except where interfaces publish the same DISPID for different members (IDTExtensibility2's
// OnConnection and IRibbonExtensibility's GetCustomUI are both 1): the later interface of such
// a pair then answers its members in a bank of its own, n * kDispidBank above the published
// DISPIDs for the n-th interface moved so. Invoke maps a DISPID back to its interface the same
// way; this header and typelib_dispatch.cpp are the only place where that is decided.
#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <cstddef>

#include "platform/com_object.h"
#include "platform/module.h"

namespace vantrell::com {

namespace dispatch {

// The distance between the DISPID banks of the interfaces moved out of the way of another's
// DISPIDs. A moved interface's members have published DISPIDs from 0 to kDispidBank - 1.
inline constexpr DISPID kDispidBank = 0x1000;
inline constexpr std::size_t kMaxInterfaces = 8;

// One interface of the object: its IID, and the object's pointer to it.
struct Face {
    const IID* iid;
    void* self;
};

HRESULT GetIDsOfNames(const Face* faces, std::size_t count, REFIID iid, LPOLESTR* names, UINT nameCount,
                      DISPID* ids) noexcept;
HRESULT Invoke(const Face* faces, std::size_t count, DISPID id, REFIID iid, WORD flags, DISPPARAMS* params,
               VARIANT* result, EXCEPINFO* exception, UINT* badArgument) noexcept;

}  // namespace dispatch

template <class Default, class... Others>
class TypeLibDispatch : public Default, public Others... {
    static_assert(1 + sizeof...(Others) <= dispatch::kMaxInterfaces);

public:
    using ComInterface = Default;
    using ComInterfaces = InterfaceList<Default, Others...>;

    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return OwnTypeInfo(__uuidof(Default), out);
    }
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override {
        const auto faces = Faces();
        return dispatch::GetIDsOfNames(faces.entries, std::size(faces.entries), iid, names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* badArgument) noexcept override {
        const auto faces = Faces();
        return dispatch::Invoke(faces.entries, std::size(faces.entries), id, iid, flags, params, result, exception,
                                badArgument);
    }

private:
    struct FaceTable {
        dispatch::Face entries[1 + sizeof...(Others)];
    };
    FaceTable Faces() noexcept {
        return {
            {{&__uuidof(Default), static_cast<Default*>(this)}, {&__uuidof(Others), static_cast<Others*>(this)}...}};
    }
};

}  // namespace vantrell::com
