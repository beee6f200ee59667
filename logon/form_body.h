#pragma once
// The logon request's form body as bytes: credentials escaped as form field values, the body
// packed with spaces as "+". Plain byte logic, without the system's headers: the dialog
// converts the text to the ANSI code page first.
#include <string>
#include <string_view>

namespace vantrell {

// ANSI bytes as a form field value: printable ASCII and the space as themselves, except the
// form's own "&", "=", "+" and "%"; every other byte as "%XX" (upper-case hexadecimal).
std::wstring FormEscape(std::string_view ansi);

// The body's ANSI bytes as sent: every space becomes "+", all else as it is.
std::string FormBytes(std::string_view ansi);

}  // namespace vantrell
