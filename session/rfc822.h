#pragma once
// The text of a forward's X-headers: a date as RFC 822 writes it, a value on one line. Plain
// text logic, without the system's headers: the session controller breaks the date down first.
#include <string>
#include <string_view>

namespace vantrell {

// A date and time, broken down as the system does (SYSTEMTIME's fields).
struct DateParts {
    unsigned year = 0;       // 0 to 9999
    unsigned month = 0;      // 1 to 12
    unsigned dayOfWeek = 0;  // 0 (Sunday) to 6
    unsigned day = 0;        // 1 to 31
    unsigned hour = 0;       // 0 to 23
    unsigned minute = 0;     // 0 to 59
    unsigned second = 0;     // 0 to 59
};

// "Tue, 5 Jan 2010 14:03:09 +0000", with the English names a mail header needs whatever the
// user's language; empty when a part is outside its range.
std::wstring RFC822Date(const DateParts& parts);

// The day of the week (0 Sunday to 6) of a date of the Gregorian calendar, carried back before
// its start as the system's dates are; month 1 to 12, day 1 to 31.
unsigned DayOfWeek(unsigned year, unsigned month, unsigned day);

// Whether a character must not stand in a header value: CR, LF and every other control
// character (C0, DEL, C1 with NEL), and Unicode's line and paragraph separators (U+2028,
// U+2029). Each of them is a line break to some reader (VT, FF, FS, GS and RS among them), which
// writing the message out again would turn into a header line of its own. The tab is a blank
// that a header may hold.
bool BreaksHeaderLine(wchar_t c);
// A header value on one line: every run of the characters above (CR and LF alone, or any mix)
// becomes one space.
std::wstring OneLine(std::wstring_view value);

}  // namespace vantrell
