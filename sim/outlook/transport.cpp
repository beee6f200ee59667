#include "sim/outlook/transport.h"

#include <mapidefs.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>

#include "agent_mailbox.h"
#include "sim/outlook/mapi_tags.h"

namespace vantrell::sim {
namespace {

std::string Utf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return bytes;
}

// A header value on one line: each run of CR and LF becomes one blank.
std::wstring OneLine(std::wstring_view text) {
    std::wstring line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\r' && text[i] != L'\n') {
            line.push_back(text[i]);
            continue;
        }
        line.push_back(L' ');
        while (i + 1 < text.size() && (text[i + 1] == L'\r' || text[i + 1] == L'\n')) ++i;
    }
    return line;
}

bool PlainAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c >= 0x20 && c <= 0x7E) || c == '\t'; });
}

std::string Base64(std::string_view bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        unsigned group = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 2]);
        text.push_back(kDigits[(group >> 18) & 63]);
        text.push_back(kDigits[(group >> 12) & 63]);
        text.push_back(i + 1 < bytes.size() ? kDigits[(group >> 6) & 63] : '=');
        text.push_back(i + 2 < bytes.size() ? kDigits[group & 63] : '=');
    }
    return text;
}

// RFC 5322's limit on a line, CR LF aside, and the length it recommends.
constexpr size_t kLineLimit = 998;
constexpr size_t kFoldAt = 78;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The longest piece of `text` that folding cannot break: a run of blanks with the run of other
// characters after it (the line goes on from the blanks).
size_t LongestUnbreakable(std::string_view text) {
    size_t longest = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = at;
        while (end < text.size() && IsBlank(text[end])) ++end;
        while (end < text.size() && !IsBlank(text[end])) ++end;
        longest = std::max(longest, end - at);
        at = end;
    }
    return longest;
}

// Whether "name: value" folds into lines within the limit: the name and its colon, and each
// piece of " value" between blanks, fit a line.
bool FoldsWithin(std::string_view name, std::string_view value) {
    return name.size() + 1 <= kLineLimit && LongestUnbreakable(" " + std::string(value)) <= kLineLimit;
}

// "name: value" as RFC 5322 folds it: a CR LF goes in before a run of blanks where the line
// would pass kFoldAt characters otherwise, so every line is within kLineLimit when each piece
// between blanks fits one (FoldsWithin). The value stays on the name's line unless only a fold
// keeps that line within the limit. No line is made of blanks alone (a fold always has
// characters after it), and taking every CR LF out gives the field back.
std::string Folded(std::string_view name, std::string_view value) {
    const std::string field = std::string(name) + ": " + std::string(value);
    std::string out = field.substr(0, name.size() + 1);  // the name and its colon
    size_t lineLength = out.size();
    for (size_t at = out.size(), end; at < field.size(); at = end) {
        end = at;
        while (end < field.size() && IsBlank(field[end])) ++end;
        const bool blanksOnly = end == field.size();
        while (end < field.size() && !IsBlank(field[end])) ++end;
        const size_t limit = at == name.size() + 1 ? kLineLimit : kFoldAt;
        if (!blanksOnly && lineLength + (end - at) > limit) {
            out += "\r\n";
            lineLength = 0;
        }
        out.append(field, at, end - at);
        lineLength += end - at;
    }
    return out;
}

// RFC 2047 encoded words of at most 75 characters (45 bytes of UTF-8 each, never splitting a
// character), with a blank between them, where the field folds.
std::string EncodedWords(std::string_view bytes) {
    std::string words;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = std::min(bytes.size(), at + 45);
        while (end < bytes.size() && end > at + 1 && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80) --end;
        if (!words.empty()) words += " ";
        words += "=?UTF-8?B?" + Base64(bytes.substr(at, end - at)) + "?=";
        at = end;
    }
    return words;
}

// An unstructured value (the subject, a named header) of the field `name`: as it is when it is
// printable ASCII that folds within the line limit, else as encoded words, which fold between
// them.
std::string HeaderValue(std::string_view name, std::wstring_view text) {
    const std::string bytes = Utf8(OneLine(text));
    return PlainAscii(bytes) && FoldsWithin(name, bytes) ? bytes : EncodedWords(bytes);
}

// "name <address>", the name quoted when it holds a special character, encoded when it is not
// plain ASCII or has a piece too long to fold; the address alone when there is no name of its own.
std::string Mailbox(const std::wstring& name, const std::wstring& address) {
    const std::string where = Utf8(OneLine(address));
    if (name.empty() || name == address) return where;
    const std::string bytes = Utf8(OneLine(name));
    std::string shown;
    if (PlainAscii(bytes) && bytes.find_first_of("()<>[]:;@\\,.\"") != std::string::npos) {
        shown = "\"";
        for (char c : bytes) {
            if (c == '"' || c == '\\') shown.push_back('\\');
            shown.push_back(c);
        }
        shown += "\"";
    } else {
        shown = bytes;
    }
    if (!PlainAscii(bytes) || LongestUnbreakable(" " + shown) > kLineLimit) shown = EncodedWords(bytes);
    return shown + " <" + where + ">";
}

std::string AddressList(const RecipientList& recipients, long type) {
    std::string list;
    for (const RecipientData& r : recipients) {
        if (r.type != type) continue;
        if (!list.empty()) list += ", ";
        list += Mailbox(r.name, r.address);
    }
    return list;
}

// Text with CR LF line ends, as UTF-8.
std::string BodyText(const std::wstring& text) {
    std::wstring lines;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' || text[i] == L'\n') {
            lines += L"\r\n";
            if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        } else {
            lines.push_back(text[i]);
        }
    }
    return Utf8(lines);
}

const PropertyValue* Find(const MessageData& message, ULONG tag) {
    auto it = message.properties.find(tags::IdOf(tag));
    return it == message.properties.end() ? nullptr : &it->second;
}

bool IsString(ULONG type) { return type == PT_STRING8 || type == PT_UNICODE; }

// The string properties of the PS_INTERNET_HEADERS set, in the order the message got them;
// names that cannot be a header field name (blank, colon, anything but printable ASCII, longer
// than a line) are left out.
std::vector<std::pair<std::string, std::wstring>> NamedHeaders(const StoreData& store, const MessageData& message) {
    std::vector<std::tuple<unsigned long, std::string, std::wstring>> found;
    for (const auto& [id, property] : message.properties) {
        GUID set;
        std::wstring name;
        if (id < 0x8000 || !IsString(property.type) || !store.NameOf(id, set, name) ||
            !IsEqualGUID(set, tags::kInternetHeaders))
            continue;
        const bool fieldName = std::all_of(name.begin(), name.end(), [](wchar_t c) {
            return c > 0x20 && c < 0x7F && c != L':';
        });
        const bool usable = !name.empty() && name.size() + 1 <= kLineLimit && fieldName;
        if (usable) found.emplace_back(property.order, Utf8(name), property.value.ToText());
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return std::get<0>(a) < std::get<0>(b); });
    std::vector<std::pair<std::string, std::wstring>> headers;
    for (auto& [order, name, value] : found) headers.emplace_back(std::move(name), std::move(value));
    return headers;
}

// The boundary of a multipart body: a text that none of its parts holds.
std::string BoundaryFor(const std::string& plain, const std::string& html) {
    std::string boundary = "=_SimOutlook_Part";
    for (int n = 1; plain.find(boundary) != std::string::npos || html.find(boundary) != std::string::npos; ++n)
        boundary = "=_SimOutlook_Part_" + std::to_string(n);
    return boundary;
}

struct Rendered {
    std::string head;  // each line ends in CR LF
    std::string body;
};

Rendered Render(const StoreData& store, const MessageData& message) {
    Rendered out;
    auto line = [&out](const std::string& name, const std::string& value) { out.head += Folded(name, value) + "\r\n"; };
    line("From", Mailbox(TextOf(message.properties, tags::IdOf(tags::kSenderName)),
                         TextOf(message.properties, tags::IdOf(tags::kSenderAddress))));
    if (std::string to = AddressList(message.recipients, kTo); !to.empty()) line("To", to);
    if (std::string cc = AddressList(message.recipients, kCc); !cc.empty()) line("Cc", cc);
    line("Subject", HeaderValue("Subject", TextOf(message.properties, tags::IdOf(tags::kSubject))));
    if (const PropertyValue* sent = Find(message, tags::kClientSubmitTime); sent && sent->value.Type() == VT_DATE)
        line("Date", Rfc822Date(V_DATE(sent->value.Get())));
    if (std::wstring id = TextOf(message.properties, tags::IdOf(tags::kInternetMessageId)); !id.empty())
        line("Message-ID", HeaderValue("Message-ID", id));
    for (const auto& [name, value] : NamedHeaders(store, message)) line(name, HeaderValue(name, value));
    line("MIME-Version", "1.0");

    const std::string plain = BodyText(TextOf(message.properties, tags::IdOf(tags::kBody)));
    const std::string html = BodyText(TextOf(message.properties, tags::IdOf(tags::kBodyHtml)));
    if (html.empty()) {
        line("Content-Type", "text/plain; charset=utf-8");
        line("Content-Transfer-Encoding", "8bit");
        out.body = plain;
        return out;
    }
    const std::string boundary = BoundaryFor(plain, html);
    line("Content-Type", "multipart/alternative; boundary=\"" + boundary + "\"");
    for (const auto& [type, text] : {std::pair{"text/plain", &plain}, std::pair{"text/html", &html}}) {
        out.body += "--" + boundary + "\r\nContent-Type: " + type +
                    "; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" + *text + "\r\n";
    }
    out.body += "--" + boundary + "--\r\n";
    return out;
}

void Set(StoreData& store, PropertyMap& properties, ULONG tag, const com::Variant& value) {
    store.Assign(properties, properties, tag, *value.Get());
}

}  // namespace

std::string Rfc822Date(DATE date) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    SYSTEMTIME t{};
    if (!VariantTimeToSystemTime(date, &t)) return {};
    // The day as printed: in its last half second a time rounds up into the next one. Day 0 of
    // the automation calendar, 30 December 1899, was a Saturday.
    SYSTEMTIME midnight{};
    midnight.wYear = t.wYear;
    midnight.wMonth = t.wMonth;
    midnight.wDay = t.wDay;
    DATE printed = 0;
    if (!SystemTimeToVariantTime(&midnight, &printed)) return {};
    const long day = std::lround(printed);
    const int weekday = static_cast<int>(((day + 6) % 7 + 7) % 7);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %u %s %04u %02u:%02u:%02u +0000", kDays[weekday], t.wDay,
                  kMonths[(t.wMonth + 11) % 12], t.wYear, t.wHour, t.wMinute, t.wSecond);
    return text;
}

std::string RenderMessage(const StoreData& store, const MessageData& message) {
    Rendered rendered = Render(store, message);
    return rendered.head + "\r\n" + rendered.body;
}

std::wstring TransportHeaders(const StoreData& store, const MessageData& message) {
    const std::string head = Render(store, message).head;
    return std::wstring(head.begin(), head.end());  // ASCII by construction
}

void DeliverOutbox(StoreData& store) {
    FolderData* outbox = store.Folder(kOutbox);
    if (!outbox) return;
    const auto waiting = outbox->items;
    for (const auto& message : waiting) {
        auto sent = store.NewMessage(kSentMail, false, L"");
        sent->properties = message->properties;
        sent->recipients = message->recipients;
        PropertyMap& p = sent->properties;
        const DATE now = store.Now();
        Set(store, p, tags::kMessageFlags, com::Variant(tags::kFlagRead));
        Set(store, p, tags::kClientSubmitTime, com::Variant::Date(now));
        Set(store, p, tags::kDeliveryTime, com::Variant::Date(now));
        if (TextOf(p, tags::IdOf(tags::kInternetMessageId)).empty())
            Set(store, p, tags::kInternetMessageId, com::Variant(store.NewInternetMessageId()));
        Set(store, p, tags::kSenderName, com::Variant(store.Owner().name));
        Set(store, p, tags::kSenderAddressType, com::Variant(L"SMTP"));
        Set(store, p, tags::kSenderAddress, com::Variant(store.Owner().address));
        p.erase(tags::IdOf(tags::kTransportHeaders));
        p.erase(tags::IdOf(tags::kMessageToMe));
        store.Save(sent, {});
        store.Remove(message);
        AgentMailbox* agent = store.Agent();
        if (!agent) continue;
        const bool forAgent = std::any_of(sent->recipients.begin(), sent->recipients.end(),
                                          [agent](const RecipientData& r) { return agent->Serves(r.address); });
        if (forAgent) agent->Receive(RenderMessage(store, *sent));
    }
}

}  // namespace vantrell::sim
