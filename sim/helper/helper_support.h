#pragma once
// What the helper component's objects share: automation exceptions, handing out new objects,
// text of BSTRs and property-set GUIDs.
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <utility>

#include "platform/com_object.h"

namespace vantrell::sim::helper {

// Fails the call as an automation exception: the type library's Invoke hands the error info
// to the caller in its EXCEPINFO.
HRESULT Raise(HRESULT hr, const wchar_t* description) noexcept;

// Hands a new object out through an IDispatch** result.
template <class T, class... Args>
HRESULT HandOut(IDispatch** out, Args&&... args) {
    *out = static_cast<IDispatch*>(com::Make<T>(std::forward<Args>(args)...).Detach());
    return S_OK;
}

std::wstring TextOf(BSTR text);
// A new BSTR for a [out, retval] text: S_OK or E_OUTOFMEMORY.
HRESULT CopyText(const std::wstring& text, BSTR* out) noexcept;
// A property set given as text, with or without braces; false when it is no GUID.
bool PropertySetOf(BSTR text, GUID& propertySet);

}  // namespace vantrell::sim::helper
