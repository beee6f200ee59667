#pragma once
// A scriptable IDispatch for testing the late-bound layer: members by name with DISPIDs,
// every call recorded, results and failures set per member. Any call of a member it was not
// told about fails the test.
#include <windows.h>
#include <oaidl.h>

#include <map>
#include <string>
#include <vector>

#include "platform/com_object.h"
#include "platform/variant.h"

namespace vantrell::test {

struct RecordedCall {
    std::wstring name;
    WORD flags = 0;
    std::vector<com::Variant> args;  // in source order
    std::vector<DISPID> named;
};

class FakeDispatch : public com::Object<IDispatch> {
public:
    // A member and what calling it returns.
    void Member(const std::wstring& name, DISPID id, com::Variant result = {});
    // Makes the member fail: with `hr`, or with an exception (DISP_E_EXCEPTION) carrying
    // `code` and `description`; `deferred` makes the description arrive by deferred fill-in.
    void FailWith(const std::wstring& name, HRESULT hr);
    void RaiseException(const std::wstring& name, HRESULT code, const std::wstring& description, bool deferred);

    const std::vector<RecordedCall>& Calls() const { return calls_; }
    int NameLookups() const { return lookups_; }

    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) noexcept override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT*) noexcept override;

private:
    struct Entry {
        std::wstring name;
        com::Variant result;
        HRESULT failure = S_OK;
        bool raise = false;
        HRESULT code = S_OK;
        std::wstring description;
        bool deferred = false;
    };
    std::map<DISPID, Entry> members_;
    std::vector<RecordedCall> calls_;
    int lookups_ = 0;
};

// The reference count of an object, read with an AddRef/Release pair.
inline ULONG RefCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

}  // namespace vantrell::test
