// The logon page's reply: whatever the service (or whatever answers in its place) sends, the
// parse reads within the text and gives one of its three forms, each field's value cut from
// its own field.
#include "fuzz/fuzz_check.h"
#include "logon/logon_reply.h"

namespace vantrell {
namespace {

// A lower-case form, unit for unit: the ASCII capitals, and two capitals outside ASCII taken
// to ASCII letters (as a case table may do), so that the parse also meets a lower-case form
// naming a marker that the reply itself does not spell.
wchar_t LowerUnit(wchar_t c) {
    if (c >= L'A' && c <= L'Z') return static_cast<wchar_t>(c - L'A' + L'a');
    if (c == 0x0130) return L'i';
    if (c == 0x212A) return L'k';
    return c;
}

// `part` is `whole` with some characters taken out, the rest in order.
bool IsSubsequence(std::wstring_view part, std::wstring_view whole) {
    size_t at = 0;
    for (wchar_t c : part) {
        at = whole.find(c, at);
        if (at == std::wstring_view::npos) return false;
        ++at;
    }
    return true;
}

void Check(std::wstring_view reply, std::wstring_view lower) {
    const LogonReply parsed = ParseLogonReply(reply, lower);
    if (lower.size() != reply.size()) FUZZ_CHECK(parsed.kind == LogonReplyKind::Unrecognised);
    const bool error = lower.find(L"error") != std::wstring_view::npos;
    const bool logonId = lower.find(L"logonid") != std::wstring_view::npos;
    switch (parsed.kind) {
    case LogonReplyKind::Error:
        FUZZ_CHECK(error);
        FUZZ_CHECK(parsed.fields.empty());
        FUZZ_CHECK((reply.size() - parsed.errorCode.size()) % 6 == 0);  // whole "error:"s removed
        FUZZ_CHECK(IsSubsequence(parsed.errorCode, reply));
        return;
    case LogonReplyKind::Identifiers: {
        FUZZ_CHECK(!error && logonId);
        FUZZ_CHECK(parsed.errorCode.empty());
        // Each field names its identifier, in the reply's order, one per ";"-separated part.
        size_t next = 0, from = 0;
        for (;;) {
            size_t end = reply.find(L';', from);
            size_t count = end == std::wstring_view::npos ? std::wstring_view::npos : end - from;
            std::wstring_view part = reply.substr(from, count), partLower = lower.substr(from, count);
            const bool names = partLower.find(L"logonid") != std::wstring_view::npos;
            const bool namesCompany = !names && partLower.find(L"companyid") != std::wstring_view::npos;
            if (names || namesCompany) {
                FUZZ_CHECK(next < parsed.fields.size());
                const LogonReplyField& field = parsed.fields[next++];
                FUZZ_CHECK(field.identifier == (names ? LogonIdentifier::LogonID : LogonIdentifier::CompanyID));
                FUZZ_CHECK((part.size() - field.value.size()) % (names ? 8 : 10) == 0);
                FUZZ_CHECK(IsSubsequence(field.value, part));
                FUZZ_CHECK(field.value.find(L';') == std::wstring::npos);
            }
            if (end == std::wstring_view::npos) break;
            from = end + 1;
        }
        FUZZ_CHECK(next == parsed.fields.size());
        return;
    }
    case LogonReplyKind::Unrecognised:
        FUZZ_CHECK(lower.size() != reply.size() || (!error && !logonId));
        FUZZ_CHECK(parsed.fields.empty() && parsed.errorCode.empty());
        return;
    }
    FUZZ_CHECK(!"a form the parse does not document");
}

}  // namespace
}  // namespace vantrell

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantrell;
    if (size == 0) return 0;
    // The first byte chooses how the reply arrives: UTF-16 from the input, or its bytes as
    // Latin-1 (the replies a real service sends are ASCII, which the fuzzer then finds sooner).
    std::wstring reply;
    if (data[0] & 1) {
        reply = fuzz::Utf16(data + 1, size - 1);
    } else {
        for (size_t i = 1; i < size; ++i) reply += static_cast<wchar_t>(data[i]);
    }
    std::wstring lower(reply);
    for (wchar_t& c : lower) c = LowerUnit(c);
    Check(reply, lower);
    // A lower-case form of another length is refused, never read past.
    if (!lower.empty()) Check(reply, std::wstring_view(lower).substr(0, lower.size() - 1));
    return 0;
}
