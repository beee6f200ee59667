#pragma once
// What kind of Outlook installation the add-in runs in: one line of text each, read from
// the Outlook application (gobjOutlook) and Outlook's own settings in the user's registry.
// They change nothing, show nothing and never fail: what cannot be read counts as empty.
#include <string>
#include <string_view>

namespace vantrell {

// The leading decimal number of a text, as the language's Val reads it ("12.0.6423.1000" -> 12).
double LeadingNumber(std::wstring_view text);
// Outlook's major version as text ("9", "11", "12"), from its Version text.
std::wstring OutlookMajorVersion(std::wstring_view version);

std::wstring GetOutlookMode();
std::wstring GetConnectionMode();
std::wstring GetSecuritySettings();
std::wstring GetConnectedAddIns();

}  // namespace vantrell
