#pragma once
// The published MAPI property tags the simulated store gives a meaning to (strings are kept as
// PT_UNICODE; a PT_STRING8 tag of the same id reads them, in the ANSI code page, as MAPI
// converts them; a PT_STRING8 value keeps only what that code page holds), and the message
// flags it sets.
#include <windows.h>

namespace vantrell::sim::tags {

inline constexpr ULONG kMessageClass = 0x001A001F;        // PR_MESSAGE_CLASS
inline constexpr ULONG kSubject = 0x0037001F;             // PR_SUBJECT
inline constexpr ULONG kClientSubmitTime = 0x00390040;    // PR_CLIENT_SUBMIT_TIME, UTC
inline constexpr ULONG kMessageToMe = 0x0057000B;         // PR_MESSAGE_TO_ME
inline constexpr ULONG kTransportHeaders = 0x007D001F;    // PR_TRANSPORT_MESSAGE_HEADERS
inline constexpr ULONG kSenderName = 0x0C1A001F;          // PR_SENDER_NAME
inline constexpr ULONG kSenderAddressType = 0x0C1E001F;   // PR_SENDER_ADDRTYPE
inline constexpr ULONG kSenderAddress = 0x0C1F001F;       // PR_SENDER_EMAIL_ADDRESS
inline constexpr ULONG kDisplayBcc = 0x0E02001F;          // PR_DISPLAY_BCC (computed)
inline constexpr ULONG kDisplayCc = 0x0E03001F;           // PR_DISPLAY_CC (computed)
inline constexpr ULONG kDisplayTo = 0x0E04001F;           // PR_DISPLAY_TO (computed)
inline constexpr ULONG kDeliveryTime = 0x0E060040;        // PR_MESSAGE_DELIVERY_TIME, UTC
inline constexpr ULONG kMessageFlags = 0x0E070003;        // PR_MESSAGE_FLAGS
inline constexpr ULONG kBody = 0x1000001F;                // PR_BODY
inline constexpr ULONG kBodyHtml = 0x1013001F;            // PR_BODY_HTML
inline constexpr ULONG kInternetMessageId = 0x1035001F;   // PR_INTERNET_MESSAGE_ID

// PR_MESSAGE_FLAGS bits.
inline constexpr long kFlagRead = 0x1;
inline constexpr long kFlagSubmit = 0x4;
inline constexpr long kFlagUnsent = 0x8;

// PS_INTERNET_HEADERS: its string-named properties travel as Internet headers of that name.
inline constexpr GUID kInternetHeaders = {0x00020386, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

constexpr ULONG IdOf(ULONG tag) noexcept { return tag >> 16; }

}  // namespace vantrell::sim::tags
