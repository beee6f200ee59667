#pragma once
// Conversions between the add-in's UTF-16 text and 8-bit text, used only at the edges that are
// 8-bit: the system ANSI code page for the trace file, the registry's A functions and the logon
// request; UTF-8 for the journal of logged messages.
#include <string>
#include <string_view>

namespace vantrell {

std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view text);
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);
// Converts exactly: false when a character has no code of its own in the ANSI code page
// (it would otherwise become '?' or a look-alike).
bool ToAnsiExact(std::wstring_view text, std::string& out);

}  // namespace vantrell
