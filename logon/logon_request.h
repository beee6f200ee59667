#pragma once
// The logon request: the credentials as the form body, posted to the logon page (SynchURL)
// with the system's HTTP request object, and the wait for its answer with the window
// messages dispatched meanwhile. The dialog (logon_dialog.h) builds and sends it.
#include <windows.h>

#include <string>
#include <string_view>

#include "platform/late_bound.h"
#include "platform/variant.h"

namespace vantrell {

// How long the logon request may wait for the service's answer before it counts as a server
// that cannot be reached (tests shorten it).
extern DWORD LogonRequestTimeoutMs;
inline constexpr const wchar_t* kRequestProgId = L"Microsoft.XMLHTTP";

// The form body as bytes in the system ANSI code page, spaces as "+".
com::Variant PackBytes(std::wstring_view postData);
// A credential as a form field value: "&", "=", "+", "%" and every byte outside printable
// ASCII as %XX of its ANSI code, spaces kept (PackBytes makes them "+"); false when a
// character has no single-byte ANSI code.
bool FormValue(std::wstring_view text, std::wstring& out);

// Posts `body` to SynchURL with `request` and waits for the answer, giving its HTTP status;
// `dialog` is disabled and `waiting` true while it waits. False, with the failure pending,
// when no answer came: the service could not be reached, dropped the connection, or did not
// answer within LogonRequestTimeoutMs.
bool SendLogonRequest(com::LateBound& request, const com::Variant& body, HWND dialog, bool& waiting, long& status);

}  // namespace vantrell
