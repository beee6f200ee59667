#pragma once
// The helper component the add-in uses for its MAPI work: its ProgIDs, and the property sets
// and types the add-in hands it. Its members are called by name; every object, member,
// argument and result, and what the add-in relies on, are in the README's section "The helper
// component's contract". Any component answering them serves.
namespace vantrell::helper {

inline constexpr const wchar_t* kFolderProgId = L"Ostrabin.OsbFolder";
inline constexpr const wchar_t* kMailItemProgId = L"Ostrabin.OsbMailItem";
inline constexpr const wchar_t* kUtilsProgId = L"Ostrabin.OsbUtils";

// MAPI property sets, as the text the helper takes.
inline constexpr const wchar_t* kPublicStrings = L"{00020329-0000-0000-C000-000000000046}";
inline constexpr const wchar_t* kInternetHeaders = L"{00020386-0000-0000-C000-000000000046}";

// MAPI properties of a mail item the add-in reads through the helper's mail item.
inline constexpr long PR_INTERNET_MESSAGE_ID = 0x1035001E;
inline constexpr long PR_CLIENT_SUBMIT_TIME = 0x00390040;
inline constexpr long PR_TRANSPORT_MESSAGE_HEADERS = 0x007D001E;
inline constexpr long PR_MESSAGE_TO_ME = 0x0057000B;

// Property types ORed into a mapped tag.
inline constexpr long kTypeLong = 0x0003;
inline constexpr long kTypeString8 = 0x001E;  // PT_STRING8, the ANSI code page's
inline constexpr long kTypeUnicode = 0x001F;  // PT_UNICODE

}  // namespace vantrell::helper
