#include "logon/logon_reply.h"

namespace vantrell {
namespace {

// `text` with every occurrence of `part` (in lower case) removed, found in `lower`, `text`'s
// lower-case form, and looked for again from where the last one was cut out.
std::wstring RemoveAllNoCase(std::wstring text, std::wstring lower, std::wstring_view part) {
    for (size_t at = 0;;) {
        size_t found = lower.find(part, at);
        if (found == std::wstring::npos) return text;
        text.erase(found, part.size());
        lower.erase(found, part.size());
        at = found;
    }
}

// `text` with every occurrence of `part` removed, letter case kept.
std::wstring RemoveAll(std::wstring text, std::wstring_view part) {
    for (size_t at = 0;;) {
        size_t found = text.find(part, at);
        if (found == std::wstring::npos) return text;
        text.erase(found, part.size());
        at = found;
    }
}

}  // namespace

LogonReply ParseLogonReply(std::wstring_view reply, std::wstring_view lower) {
    LogonReply result;
    if (lower.size() != reply.size()) return result;
    if (lower.find(L"error") != std::wstring_view::npos) {
        result.kind = LogonReplyKind::Error;
        result.errorCode = RemoveAll(std::wstring(reply), L"error:");
        return result;
    }
    if (lower.find(L"logonid") == std::wstring_view::npos) return result;
    result.kind = LogonReplyKind::Identifiers;
    for (size_t from = 0;;) {
        size_t end = reply.find(L';', from);
        size_t count = end == std::wstring_view::npos ? std::wstring_view::npos : end - from;
        std::wstring field(reply.substr(from, count));
        std::wstring fieldLower(lower.substr(from, count));
        if (fieldLower.find(L"logonid") != std::wstring::npos) {
            result.fields.push_back({LogonIdentifier::LogonID, RemoveAllNoCase(field, fieldLower, L"logonid=")});
        } else if (fieldLower.find(L"companyid") != std::wstring::npos) {
            result.fields.push_back({LogonIdentifier::CompanyID, RemoveAllNoCase(field, fieldLower, L"companyid=")});
        }
        if (end == std::wstring_view::npos) break;
        from = end + 1;
    }
    return result;
}

}  // namespace vantrell
