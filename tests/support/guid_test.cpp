// GetGUID: 32 upper-case hexadecimal digits in field order, fresh every time, traced failures.
#include <gtest/gtest.h>

#include <set>

#include "tests/common/temp_folder.h"
#include "support/guid.h"
#include "support/shared_state.h"

namespace vantrell {
namespace {

TEST(Guid, PrintsTheFieldsInOrderWithoutSeparators) {
    const GUID guid = {0x1A2B3C4D, 0x0506, 0x0708, {0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10}};
    EXPECT_EQ(L"1A2B3C4D05060708090A0B0C0D0E0F10", GuidText(guid));
}

TEST(Guid, SixteenBitFieldsAreTheirBitPatterns) {
    const GUID guid = {0x00000001, 0xFFFF, 0x8000, {0, 0, 0, 0, 0, 0, 0, 0xFF}};
    EXPECT_EQ(L"00000001FFFF800000000000000000FF", GuidText(guid));
}

TEST(Guid, FreshIdentifiersAreUniqueAndWellFormed) {
    std::set<std::wstring> seen;
    for (int i = 0; i < 200; ++i) {
        std::wstring text = GetGUID();
        ASSERT_EQ(32u, text.size());
        EXPECT_EQ(std::wstring::npos, text.find_first_not_of(L"0123456789ABCDEF")) << text;
        seen.insert(text);
    }
    EXPECT_EQ(200u, seen.size());
}

HRESULT WINAPI FailingGenerator(GUID*) { return RPC_S_UUID_NO_ADDRESS; }

TEST(Guid, AFailureGivesEmptyTextAndATraceLineWithTheCode) {
    test::TempFolder temp;
    ErrorLogSize = 1 << 20;
    ErrorLogLevel = 1;
    EXPECT_EQ(L"", GetGUIDFrom(&FailingGenerator));
    ErrorLogSize = 0;
    ErrorLogLevel = 0;
    std::string trace = test::ReadFileBytes(temp.File("VantrellTrace.log"));
    EXPECT_NE(std::string::npos, trace.find("modGUID::GetGUID:failed to generate GUID:1739")) << trace;
}

}  // namespace
}  // namespace vantrell
