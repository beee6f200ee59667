// The text of the forward's X-headers: the date as RFC 822 writes it, a value on one line.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <limits>

#include "session/crm_addin.h"
#include "session/rfc822.h"

namespace vantrell {
namespace {

TEST(RFC822Text, EachPartIsWrittenAtBothEdgesOfItsRangeAndRefusedPastThem) {
    const DateParts low{0, 1, 0, 1, 0, 0, 0};
    const DateParts high{9999, 12, 6, 31, 23, 59, 59};
    EXPECT_EQ(L"Sun, 1 Jan 0000 00:00:00 +0000", RFC822Date(low));
    EXPECT_EQ(L"Sat, 31 Dec 9999 23:59:59 +0000", RFC822Date(high));
    unsigned DateParts::*const parts[] = {&DateParts::year, &DateParts::month,  &DateParts::dayOfWeek, &DateParts::day,
                                          &DateParts::hour, &DateParts::minute, &DateParts::second};
    for (auto part : parts) {
        DateParts above = high;
        ++(above.*part);
        EXPECT_EQ(L"", RFC822Date(above));
        if (low.*part == 0) continue;
        DateParts below = low;
        --(below.*part);
        EXPECT_EQ(L"", RFC822Date(below));
    }
}

TEST(RFC822Text, TheDateOfAVariantTimeAtTheEdgesOfTheSystemsRange) {
    EXPECT_EQ(L"Sat, 30 Dec 1899 00:00:00 +0000", CRMAddIn::FormatRFC822Date(0));
    EXPECT_EQ(L"Fri, 1 Jan 0100 00:00:00 +0000", CRMAddIn::FormatRFC822Date(-657434));
    EXPECT_EQ(L"Fri, 31 Dec 9999 23:59:59 +0000", CRMAddIn::FormatRFC822Date(2958465 + 86399.0 / 86400));
    EXPECT_EQ(L"", CRMAddIn::FormatRFC822Date(2958466));
    EXPECT_EQ(L"", CRMAddIn::FormatRFC822Date(-657435));
    // A NaN read as a date is none, whatever the system's conversion makes of it.
    EXPECT_EQ(L"", CRMAddIn::FormatRFC822Date(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(L"", CRMAddIn::FormatRFC822Date(std::numeric_limits<double>::infinity()));
}

// A variant time `seconds` into a day: the fraction counts from the day's start on either side
// of day 0 (30 Dec 1899).
double At(WORD year, WORD month, WORD day, double seconds) {
    SYSTEMTIME midnight{};
    midnight.wYear = year;
    midnight.wMonth = month;
    midnight.wDay = day;
    double date = 0;
    EXPECT_TRUE(SystemTimeToVariantTime(&midnight, &date));
    return date < 0 ? date - seconds / 86400 : date + seconds / 86400;
}

// The time is rounded to the second: from a day's last half second on it is the next day's
// midnight, and the day of the week is that day's.
TEST(RFC822Text, TheLastHalfSecondOfADayIsTheNextDayWithItsOwnWeekday) {
    const struct {
        WORD year, month, day;
        double seconds;
        const wchar_t* text;
    } rows[] = {
        {2100, 2, 28, 86399.4999, L"Sun, 28 Feb 2100 23:59:59 +0000"},
        {2100, 2, 28, 86399.5, L"Mon, 1 Mar 2100 00:00:00 +0000"},  // no leap day in 2100
        {1999, 12, 31, 86399.4999, L"Fri, 31 Dec 1999 23:59:59 +0000"},
        {1999, 12, 31, 86399.5, L"Sat, 1 Jan 2000 00:00:00 +0000"},
        {2000, 2, 28, 86399.6, L"Tue, 29 Feb 2000 00:00:00 +0000"},
        {2000, 2, 29, 86399.4999, L"Tue, 29 Feb 2000 23:59:59 +0000"},
        {2000, 2, 29, 86399.5, L"Wed, 1 Mar 2000 00:00:00 +0000"},
        {2010, 4, 30, 86399.9, L"Sat, 1 May 2010 00:00:00 +0000"},
        {2010, 1, 5, 50589.4999, L"Tue, 5 Jan 2010 14:03:09 +0000"},  // within a day, only the second
        {2010, 1, 5, 50589.5, L"Tue, 5 Jan 2010 14:03:10 +0000"},
        {1898, 12, 31, 86399.4999, L"Sat, 31 Dec 1898 23:59:59 +0000"},  // before day 0
        {1898, 12, 31, 86399.5, L"Sun, 1 Jan 1899 00:00:00 +0000"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.year << "-" << row.month << "-" << row.day << " +" << row.seconds);
        EXPECT_EQ(row.text, CRMAddIn::FormatRFC822Date(At(row.year, row.month, row.day, row.seconds)));
    }
}

TEST(RFC822Text, TheDayOfTheWeekFollowsTheCalendarDayByDay) {
    // From 1 Jan 1600 (a Saturday) through 2400, each day one on from the day before.
    const unsigned kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    unsigned expected = 6;
    for (unsigned year = 1600; year <= 2400; ++year) {
        const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
        for (unsigned month = 1; month <= 12; ++month) {
            const unsigned days = kDaysInMonth[month - 1] + (month == 2 && leap ? 1 : 0);
            for (unsigned day = 1; day <= days; ++day, expected = (expected + 1) % 7)
                ASSERT_EQ(expected, DayOfWeek(year, month, day)) << year << "-" << month << "-" << day;
        }
    }
    EXPECT_EQ(6u, DayOfWeek(0, 1, 1));  // the first day RFC822Date writes, a Saturday
    EXPECT_EQ(5u, DayOfWeek(9999, 12, 31));
}

TEST(RFC822Text, EachRunOfLineBreaksBecomesOneSpace) {
    EXPECT_EQ(L"a b c d ", OneLine(L"a\r\nb\n\nc\r\r\nd\r"));
    EXPECT_EQ(L" x", OneLine(L"\n\rx"));
    EXPECT_EQ(L"", OneLine(L""));
    EXPECT_EQ(L"tab\tstays", OneLine(L"tab\tstays"));
}

// VT, FF, FS, GS, RS, NEL, U+2028 and U+2029 end a line to some reader, as CR and LF do; the
// other control characters have no place in a header either. The tab, a blank, stays.
TEST(RFC822Text, EveryControlCharacterAndUnicodeLineBreakBecomesOneSpace) {
    const wchar_t breaking[] = {0x00, 0x0B, 0x0C, 0x1C, 0x1D, 0x1E, 0x1F, 0x7F, 0x80, 0x85, 0x9F, 0x2028, 0x2029};
    const wchar_t kept[] = {L'\t', 0x20, 0x7E, 0xA0, 0x2027, 0x202A, 0xFEFF};
    for (wchar_t c : breaking) EXPECT_EQ(L"a b", OneLine(std::wstring{L'a', c, L'b'})) << static_cast<int>(c);
    for (wchar_t c : kept) {
        const std::wstring value{L'a', c, L'b'};
        EXPECT_EQ(value, OneLine(value)) << static_cast<int>(c);
    }
    // A run of any mix is one space, as a run of CR and LF is.
    EXPECT_EQ(L"a b c ", OneLine(L"a\r\n\u2028\vb\x0c\x85\r\nc\u2029"));
}

}  // namespace
}  // namespace vantrell
