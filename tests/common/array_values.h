#pragma once
// Array values of any element type, as other programs hand them over through IDispatch (a .NET
// decimal[] arrives as an array of VT_DECIMAL, a structure array as one of VT_RECORD).
#include <gtest/gtest.h>

#include <windows.h>
#include <oaidl.h>

#include <cstring>
#include <initializer_list>

#include "platform/com_object.h"
#include "platform/variant.h"

namespace vantrell::test {

// A one-dimensional array of `vt` (a type held in a variant by value) holding `items`, each
// converted to that type.
inline com::Variant ArrayOf(VARTYPE vt, std::initializer_list<com::Variant> items) {
    SAFEARRAYBOUND bound{static_cast<ULONG>(items.size()), 0};
    SAFEARRAY* array = SafeArrayCreate(vt, 1, &bound);
    LONG i = 0;
    for (const com::Variant& item : items) {
        com::Variant element(item);
        if (vt != VT_VARIANT) {
            EXPECT_TRUE(element.ChangeType(vt));
        }
        VARIANT* v = element.GetMutable();
        // A DECIMAL fills the whole variant; every other value lies in its data part.
        void* data = vt == VT_DECIMAL ? static_cast<void*>(&V_DECIMAL(v))
                     : vt == VT_BSTR  ? static_cast<void*>(V_BSTR(v))
                     : vt == VT_VARIANT ? static_cast<void*>(v)
                                        : static_cast<void*>(&V_UI1(v));
        EXPECT_EQ(S_OK, SafeArrayPutElement(array, &i, data));
        ++i;
    }
    return com::Variant::AdoptArray(array, vt);
}

// The type information of a structure of `size` plain bytes. Only what arrays of it need is
// answered (its size, and clearing and copying records); any other call fails the test.
class FakeRecordInfo : public com::Object<IRecordInfo> {
public:
    explicit FakeRecordInfo(ULONG size) : size_(size) {}

    STDMETHODIMP RecordInit(PVOID record) noexcept override {
        std::memset(record, 0, size_);
        return S_OK;
    }
    STDMETHODIMP RecordClear(PVOID) noexcept override { return S_OK; }
    STDMETHODIMP RecordCopy(PVOID from, PVOID to) noexcept override {
        std::memcpy(to, from, size_);
        return S_OK;
    }
    STDMETHODIMP GetSize(ULONG* size) noexcept override {
        *size = size_;
        return S_OK;
    }
    STDMETHODIMP GetGuid(GUID*) noexcept override { return Unexpected("GetGuid"); }
    STDMETHODIMP GetName(BSTR*) noexcept override { return Unexpected("GetName"); }
    STDMETHODIMP GetTypeInfo(ITypeInfo**) noexcept override { return Unexpected("GetTypeInfo"); }
    STDMETHODIMP GetField(PVOID, LPCOLESTR, VARIANT*) noexcept override { return Unexpected("GetField"); }
    STDMETHODIMP GetFieldNoCopy(PVOID, LPCOLESTR, VARIANT*, PVOID*) noexcept override {
        return Unexpected("GetFieldNoCopy");
    }
    STDMETHODIMP PutField(ULONG, PVOID, LPCOLESTR, VARIANT*) noexcept override { return Unexpected("PutField"); }
    STDMETHODIMP PutFieldNoCopy(ULONG, PVOID, LPCOLESTR, VARIANT*) noexcept override {
        return Unexpected("PutFieldNoCopy");
    }
    STDMETHODIMP GetFieldNames(ULONG*, BSTR*) noexcept override { return Unexpected("GetFieldNames"); }
    STDMETHODIMP_(WINBOOL) IsMatchingType(IRecordInfo* other) noexcept override { return other == this; }
    STDMETHODIMP_(PVOID) RecordCreate() noexcept override {
        Unexpected("RecordCreate");
        return nullptr;
    }
    STDMETHODIMP RecordCreateCopy(PVOID, PVOID*) noexcept override { return Unexpected("RecordCreateCopy"); }
    STDMETHODIMP RecordDestroy(PVOID) noexcept override { return Unexpected("RecordDestroy"); }

private:
    static HRESULT Unexpected(const char* member) {
        ADD_FAILURE() << "IRecordInfo::" << member << " was not expected";
        return E_NOTIMPL;
    }
    ULONG size_;
};

// An array of `count` records described by `info`, every byte of them 'r'.
inline com::Variant RecordArray(IRecordInfo* info, ULONG count) {
    ULONG size = 0;
    info->GetSize(&size);
    SAFEARRAYBOUND bound{count, 0};
    SAFEARRAY* array = SafeArrayCreateEx(VT_RECORD, 1, &bound, info);
    EXPECT_NE(nullptr, array);
    if (array && SUCCEEDED(SafeArrayLock(array))) {
        std::memset(array->pvData, 'r', static_cast<size_t>(count) * size);
        SafeArrayUnlock(array);
    }
    return com::Variant::AdoptArray(array, VT_RECORD);
}

}  // namespace vantrell::test
