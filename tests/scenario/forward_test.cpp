// Logging a message: the forward to the service's logging agent, as the service receives it.
#include <gtest/gtest.h>

#include <windows.h>

#include "session/crm_addin.h"

namespace vantrell::test {
namespace {

// Dates as a mail header carries them: English names whatever the user's language, the day
// without a leading zero, the time on a 24-hour clock, the stored UTC value unchanged.
TEST(FormatRFC822Date, WritesTheDateAsAMailHeaderNeedsIt) {
    struct Case {
        int year, month, day, hour, minute, second;
        const wchar_t* text;
    };
    const Case cases[] = {
        {2010, 1, 5, 14, 3, 9, L"Tue, 5 Jan 2010 14:03:09 +0000"},
        {1899, 12, 30, 0, 0, 0, L"Sat, 30 Dec 1899 00:00:00 +0000"},  // the zero date
        {2000, 2, 29, 23, 59, 59, L"Tue, 29 Feb 2000 23:59:59 +0000"},
        {2024, 12, 31, 12, 0, 0, L"Tue, 31 Dec 2024 12:00:00 +0000"},
        {2023, 7, 16, 1, 2, 3, L"Sun, 16 Jul 2023 01:02:03 +0000"},
        {1899, 12, 29, 6, 0, 0, L"Fri, 29 Dec 1899 06:00:00 +0000"},  // before the zero date
    };
    // A German user: the platform's own date formatting would write "Di" and "Jan." here.
    LCID before = GetThreadLocale();
    SetThreadLocale(MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT));
    for (const Case& c : cases) {
        SYSTEMTIME time{};
        time.wYear = static_cast<WORD>(c.year);
        time.wMonth = static_cast<WORD>(c.month);
        time.wDay = static_cast<WORD>(c.day);
        time.wHour = static_cast<WORD>(c.hour);
        time.wMinute = static_cast<WORD>(c.minute);
        time.wSecond = static_cast<WORD>(c.second);
        double date = 0;
        ASSERT_TRUE(SystemTimeToVariantTime(&time, &date));
        EXPECT_EQ(c.text, CRMAddIn::FormatRFC822Date(date));
    }
    EXPECT_EQ(L"Sat, 30 Dec 1899 00:00:00 +0000", CRMAddIn::FormatRFC822Date(0));
    // Beyond what a date can hold: no text rather than a wrong one.
    EXPECT_EQ(L"", CRMAddIn::FormatRFC822Date(1e10));
    EXPECT_EQ(L"", CRMAddIn::FormatRFC822Date(-1e10));
    SetThreadLocale(before);
}

}  // namespace
}  // namespace vantrell::test
