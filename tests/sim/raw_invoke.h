#pragma once
// One IDispatch::Invoke by name, keeping everything it answered, for tests that must tell a
// plain failure from an automation exception.
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "platform/variant.h"

namespace vantrell::test {

struct Raw {
    HRESULT hr = S_OK;
    com::Variant result;
    UINT argError = ~0u;
    HRESULT scode = S_OK;
    std::wstring description;
};

inline Raw Invoke(IDispatch* object, const wchar_t* name, WORD flags, std::vector<com::Variant> args = {}) {
    Raw raw;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    raw.hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(raw.hr)) return raw;
    std::vector<com::Variant> reversed(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    bool isPut = (flags & DISPATCH_PROPERTYPUT) != 0;
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.front().GetMutable(), isPut ? &put : nullptr,
                      static_cast<UINT>(reversed.size()), isPut ? 1u : 0u};
    com::ExcepInfo exception;
    raw.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, isPut ? nullptr : raw.result.Out(),
                            exception.Out(), &raw.argError);
    if (raw.hr == DISP_E_EXCEPTION) {
        raw.scode = exception.Code(S_OK);
        raw.description = exception.Description();
    }
    return raw;
}

inline constexpr WORD kGet = DISPATCH_PROPERTYGET;
inline constexpr WORD kMethod = DISPATCH_METHOD;
inline constexpr WORD kVbGet = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

}  // namespace vantrell::test
