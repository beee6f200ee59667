#include "support/journal_line.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "platform/ansi.h"

namespace vantrell {
namespace {

constexpr size_t kFields = 5;
enum Field { kTime, kOutcome, kCommand, kId, kSubject };
constexpr size_t kTimeLength = 20;  // 2026-12-09T11:30:05Z

constexpr std::string_view kOutcomeTokens[] = {"logged", "failed"};
constexpr std::string_view kCommandTokens[] = {"log-message", "send-and-log", "selection"};

void AppendEscaped(std::string& line, std::wstring_view text) {
    for (char c : ToUtf8(text)) {
        switch (c) {
            case '\\': line += "\\\\"; break;
            case '\t': line += "\\t"; break;
            case '\n': line += "\\n"; break;
            case '\r': line += "\\r"; break;
            default: line += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
        }
    }
}

std::string Unescaped(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        switch (field[++i]) {  // IsJournalLine saw that an escape follows
            case 't': out += '\t'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            default: out += '\\';
        }
    }
    return out;
}

// Whether none of 8 bytes is outside ASCII, a control character, DEL or a backslash.
bool PlainAscii8(const unsigned char* p) noexcept {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    constexpr std::uint64_t ones = 0x0101010101010101ULL, highs = 0x8080808080808080ULL;
    if (v & highs) return false;
    // With every high bit clear: a byte below n, or a byte equal to b, sets its high bit here.
    auto below = [&](std::uint64_t n) { return (v - ones * n) & ~v & highs; };
    auto equal = [&](std::uint64_t b) {
        std::uint64_t x = v ^ (ones * b);
        return (x - ones) & ~x & highs;
    };
    return !below(0x20) && !equal('\\') && !equal(0x7F);
}

// Checks text from `p` on as UTF-8 without DEL and with only whole escapes, up to the first
// control character (a field's or a line's end) or `end`; returns where it stopped, or null
// when the text is not well-formed.
const unsigned char* ScanText(const unsigned char* p, const unsigned char* end) noexcept {
    while (p < end) {
        while (end - p >= 8 && PlainAscii8(p)) p += 8;
        if (p == end) break;
        unsigned char c = *p;
        if (c < 0x20) return p;
        ++p;
        if (c < 0x80) {
            if (c == 0x7F) return nullptr;
            if (c == '\\') {
                if (p == end || (*p != '\\' && *p != 't' && *p != 'n' && *p != 'r')) return nullptr;
                ++p;
            }
            continue;
        }
        size_t more;
        unsigned long min;
        unsigned long code;
        if ((c & 0xE0) == 0xC0) more = 1, min = 0x80, code = c & 0x1F;
        else if ((c & 0xF0) == 0xE0) more = 2, min = 0x800, code = c & 0x0F;
        else if ((c & 0xF8) == 0xF0) more = 3, min = 0x10000, code = c & 0x07;
        else return nullptr;
        if (static_cast<size_t>(end - p) < more) return nullptr;
        for (size_t k = 0; k < more; ++k, ++p) {
            if ((*p & 0xC0) != 0x80) return nullptr;
            code = (code << 6) | (*p & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return nullptr;
    }
    return end;
}

int Digits(std::string_view text, size_t at, size_t count) noexcept {
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool ParseTime(std::string_view text, SYSTEMTIME& time) noexcept {
    if (text.size() != kTimeLength || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z')
        return false;
    int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
    int hour = Digits(text, 11, 2), minute = Digits(text, 14, 2), second = Digits(text, 17, 2);
    if (year < 1601 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59)
        return false;
    time = SYSTEMTIME{};
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    time.wHour = static_cast<WORD>(hour);
    time.wMinute = static_cast<WORD>(minute);
    time.wSecond = static_cast<WORD>(second);
    return true;
}

void AppendNumber(std::string& out, unsigned value, int width) {
    char digits[8];
    for (int i = width - 1; i >= 0; --i, value /= 10) digits[i] = static_cast<char>('0' + value % 10);
    out.append(digits, static_cast<size_t>(width));
}

template <size_t N>
int TokenIndex(const std::string_view (&tokens)[N], std::string_view field) noexcept {
    for (size_t i = 0; i < N; ++i)
        if (tokens[i] == field) return static_cast<int>(i);
    return -1;
}

// The five fields of a line; false when it has another number of tabs.
bool SplitFields(std::string_view line, std::array<std::string_view, kFields>& fields) noexcept {
    size_t start = 0;
    for (size_t i = 0; i < kFields; ++i) {
        const void* tab = std::memchr(line.data() + start, '\t', line.size() - start);
        size_t end = tab ? static_cast<size_t>(static_cast<const char*>(tab) - line.data()) : line.size();
        if ((i + 1 < kFields) != (tab != nullptr)) return false;
        fields[i] = line.substr(start, end - start);
        start = end + 1;
    }
    return true;
}

// Steps over one of `tokens` and the tab after it.
template <size_t N>
bool SkipToken(const char*& p, const char* end, const std::string_view (&tokens)[N]) noexcept {
    for (std::string_view token : tokens) {
        if (static_cast<size_t>(end - p) > token.size() && std::memcmp(p, token.data(), token.size()) == 0 &&
            p[token.size()] == '\t') {
            p += token.size() + 1;
            return true;
        }
    }
    return false;
}

}  // namespace

std::string JournalLine(const JournalEntry& entry) {
    std::string line;
    line.reserve(kTimeLength + 24 + entry.messageId.size() + entry.subject.size() * 3 / 2);
    const SYSTEMTIME& t = entry.when;
    AppendNumber(line, t.wYear, 4);
    line += '-';
    AppendNumber(line, t.wMonth, 2);
    line += '-';
    AppendNumber(line, t.wDay, 2);
    line += 'T';
    AppendNumber(line, t.wHour, 2);
    line += ':';
    AppendNumber(line, t.wMinute, 2);
    line += ':';
    AppendNumber(line, t.wSecond, 2);
    line += "Z\t";
    line += kOutcomeTokens[static_cast<int>(entry.outcome)];
    line += '\t';
    line += kCommandTokens[static_cast<int>(entry.command)];
    line += '\t';
    AppendEscaped(line, entry.messageId);
    line += '\t';
    AppendEscaped(line, entry.subject);
    return line;
}

std::string JournalKey(std::wstring_view messageId) {
    std::string key;
    AppendEscaped(key, messageId);
    return key;
}

JournalScan ScanJournalLine(std::string_view text) noexcept {
    const char* begin = text.data();
    const char* end = begin + text.size();
    SYSTEMTIME time;
    const char* p = begin + kTimeLength + 1;
    if (text.size() > kTimeLength && text[kTimeLength] == '\t' && ParseTime(text.substr(0, kTimeLength), time) &&
        SkipToken(p, end, kOutcomeTokens) && SkipToken(p, end, kCommandTokens)) {
        const auto* id = reinterpret_cast<const unsigned char*>(p);
        const auto* last = reinterpret_cast<const unsigned char*>(end);
        const unsigned char* idEnd = ScanText(id, last);
        const unsigned char* subjectEnd =
            idEnd && idEnd != id && idEnd < last && *idEnd == '\t' ? ScanText(idEnd + 1, last) : nullptr;
        if (subjectEnd) {
            JournalScan scan;
            scan.length = static_cast<size_t>(reinterpret_cast<const char*>(subjectEnd) - begin);
            scan.key = std::string_view(p, static_cast<size_t>(idEnd - id));
            scan.valid = true;
            if (subjectEnd == last) {
                scan.next = scan.length;
                return scan;
            }
            size_t terminator = *subjectEnd == '\n' ? 1 : *subjectEnd == '\r' && subjectEnd + 1 < last && subjectEnd[1] == '\n' ? 2 : 0;
            if (terminator != 0) {
                scan.next = scan.length + terminator;
                scan.ended = true;
                return scan;
            }
        }
    }
    // Not a well-formed entry: it reaches to the next LF.
    JournalScan scan;
    const void* lf = std::memchr(begin, '\n', text.size());
    scan.length = lf ? static_cast<size_t>(static_cast<const char*>(lf) - begin) : text.size();
    scan.next = lf ? scan.length + 1 : scan.length;
    scan.ended = lf != nullptr;
    if (scan.length > 0 && begin[scan.length - 1] == '\r') --scan.length;
    return scan;
}

bool IsJournalLine(std::string_view line, std::string_view* key) noexcept {
    JournalScan scan = ScanJournalLine(line);
    if (!scan.valid || scan.ended || scan.length != line.size()) return false;
    if (key) *key = scan.key;
    return true;
}

std::optional<JournalEntry> ParseJournalLine(std::string_view line) {
    if (!IsJournalLine(line)) return std::nullopt;
    std::array<std::string_view, kFields> fields;
    SplitFields(line, fields);
    JournalEntry entry;
    ParseTime(fields[kTime], entry.when);
    entry.outcome = static_cast<JournalOutcome>(TokenIndex(kOutcomeTokens, fields[kOutcome]));
    entry.command = static_cast<JournalCommand>(TokenIndex(kCommandTokens, fields[kCommand]));
    entry.messageId = FromUtf8(Unescaped(fields[kId]));
    entry.subject = FromUtf8(Unescaped(fields[kSubject]));
    return entry;
}

std::wstring JournalResultText(const JournalEntry& entry) {
    static constexpr std::wstring_view outcomes[] = {L"Logged", L"Failed"};
    static constexpr std::wstring_view commands[] = {L"Log Message", L"Send & Log", L"Selection"};
    std::wstring text(outcomes[static_cast<int>(entry.outcome)]);
    text += L" (";
    text += commands[static_cast<int>(entry.command)];
    text += L')';
    return text;
}

}  // namespace vantrell
