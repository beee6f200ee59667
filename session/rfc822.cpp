#include "session/rfc822.h"

#include <cwchar>

namespace vantrell {

std::wstring RFC822Date(const DateParts& parts) {
    static constexpr const wchar_t* kDays[] = {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
    static constexpr const wchar_t* kMonths[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                                 L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
    if (parts.year > 9999 || parts.month < 1 || parts.month > 12 || parts.dayOfWeek > 6 || parts.day < 1 ||
        parts.day > 31 || parts.hour > 23 || parts.minute > 59 || parts.second > 59)
        return {};
    wchar_t text[64];
    std::swprintf(text, sizeof text / sizeof *text, L"%ls, %u %ls %04u %02u:%02u:%02u +0000", kDays[parts.dayOfWeek],
                  parts.day, kMonths[parts.month - 1], parts.year, parts.hour, parts.minute, parts.second);
    return text;
}

unsigned DayOfWeek(unsigned year, unsigned month, unsigned day) {
    // January and February count with the year before, so that a leap day ends its year; the
    // table gives each month's first day against that year's, in days of the week.
    static constexpr unsigned kMonthStarts[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    const long y = static_cast<long>(year) - (month < 3 ? 1 : 0) + 400;  // 400 years are whole weeks
    const long days = y + y / 4 - y / 100 + y / 400 + kMonthStarts[(month + 11) % 12] + static_cast<long>(day);
    return static_cast<unsigned>(days % 7);
}

bool BreaksHeaderLine(wchar_t c) {
    return (c < 0x20 && c != L'\t') || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

std::wstring OneLine(std::wstring_view value) {
    std::wstring line;
    line.reserve(value.size());
    bool inBreak = false;
    for (wchar_t c : value) {
        if (BreaksHeaderLine(c)) {
            if (!inBreak) line += L' ';
            inBreak = true;
        } else {
            line += c;
            inBreak = false;
        }
    }
    return line;
}

}  // namespace vantrell
