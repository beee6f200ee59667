// The text of the forward's X-headers: the date as RFC 822 writes it, a value on one line.
#include <gtest/gtest.h>

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

TEST(RFC822Text, EachRunOfLineBreaksBecomesOneSpace) {
    EXPECT_EQ(L"a b c d ", OneLine(L"a\r\nb\n\nc\r\r\nd\r"));
    EXPECT_EQ(L" x", OneLine(L"\n\rx"));
    EXPECT_EQ(L"", OneLine(L""));
    EXPECT_EQ(L"tab\tstays", OneLine(L"tab\tstays"));
}

}  // namespace
}  // namespace vantrell
