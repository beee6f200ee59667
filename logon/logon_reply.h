#pragma once
// The logon page's reply, read as text: an error code, or the user's identifiers as
// "logonid=4321;companyid=65" fields, or something else (not the logon page at all).
// Plain text logic, without the system's headers (logon_reply.cpp): the dialog gives it the
// reply and its lower-case form. Only SetLogonIdentifiers (logon_reply_numbers.cpp) reads the
// identifiers' texts as numbers, with the system's conversion.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell {

enum class LogonReplyKind {
    Error,         // "error" occurs anywhere (letter case ignored): errorCode is set
    Identifiers,   // otherwise "logonid" occurs: identifiers lists its fields
    Unrecognised,  // neither
};

enum class LogonIdentifier { LogonID, CompanyID };

// One ";"-separated field that names an identifier: its whole text with every "logonid=" (or
// "companyid=") removed, letter case ignored. A field naming both counts as the LogonID's.
struct LogonReplyField {
    LogonIdentifier identifier;
    std::wstring value;
};

struct LogonReply {
    LogonReplyKind kind = LogonReplyKind::Unrecognised;
    std::wstring errorCode;                // the reply with every "error:" removed (letter case kept)
    std::vector<LogonReplyField> fields;   // in the reply's order
};

// Reads `reply`; `lower` is its lower-case form, character for character (the same length:
// anything else reads as Unrecognised).
LogonReply ParseLogonReply(std::wstring_view reply, std::wstring_view lower);

// Sets each identifier a field of `reply` names to the field's number, in the reply's order (a
// later field wins); a field whose value is not a number leaves its identifier as it was.
void SetLogonIdentifiers(const LogonReply& reply, std::int32_t& logonId, std::int32_t& companyId);

}  // namespace vantrell
