// The trace file: levels, line layout, the separator, the size cap and its failures.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/temp_folder.h"
#include "platform/ansi.h"
#include "platform/failure.h"
#include "support/shared_state.h"
#include "support/trace.h"

namespace vantrell {
namespace {

using test::ReadFileBytes;

class TraceTest : public testing::Test {
protected:
    void SetUp() override {
        ErrorLogSize = 1024 * 1024;
        ErrorLogLevel = 4;
        path = folder.File("VantrellTrace.log");
    }
    void TearDown() override {
        ErrorLogSize = 0;
        ErrorLogLevel = 0;
    }
    std::string Contents() const { return ReadFileBytes(path); }

    test::TempFolder folder;
    std::string path;
};

std::string Now() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return ToAnsi(GeneralDate(now));
}

// The same trim done the plain way: the whole file read, its last cap + 1 characters kept
// from the first line boundary, the newest line's CR LF written back.
std::string ReferenceTrim(const std::string& whole, size_t cap) {
    std::string kept = whole.substr(whole.size() - cap - 1);
    size_t boundary = kept.find("\r\n");
    kept = boundary == std::string::npos ? kept.substr(1) : kept.substr(boundary + 2);
    if (kept.size() >= 2) kept.resize(kept.size() - 2);
    return kept + "\r\n";
}

TEST_F(TraceTest, WritesTimestampModuleProcedureAndTextOnOneLine) {
    std::string before = Now();
    WriteTrace(L"modCRM", L"GetConfigMessage", L" err getting Inbox: 5 desc=x", 1);
    std::string after = Now();
    std::string text = Contents();
    std::string rest = "modCRM::GetConfigMessage: err getting Inbox: 5 desc=x\r\n";
    EXPECT_TRUE(text == before + " " + rest || text == after + " " + rest) << text;
}

TEST_F(TraceTest, EmptyModuleAndProcedureLeaveTheSeparatorsBackToBack) {
    WriteTrace(L"", L"", L"text", 4);
    std::string text = Contents();
    size_t at = text.find(" :::text\r\n");
    ASSERT_NE(std::string::npos, at) << text;
    EXPECT_EQ(text.size(), at + 10);
}

TEST_F(TraceTest, WritesUpToTheConfiguredLevelOnly) {
    ErrorLogLevel = 8;
    WriteTrace(L"M", L"P", L"eight", 8);
    WriteTrace(L"M", L"P", L"twelve", 12);
    std::string text = Contents();
    EXPECT_NE(std::string::npos, text.find("M::P:eight\r\n"));
    EXPECT_EQ(std::string::npos, text.find("twelve"));
}

TEST_F(TraceTest, LevelZeroOrSizeZeroWriteNothingAtAll) {
    ErrorLogLevel = 0;
    WriteTrace(L"M", L"P", L"x", 1);
    EXPECT_FALSE(test::FileExists(path));
    ErrorLogLevel = 12;
    ErrorLogSize = 0;
    WriteTrace(L"M", L"P", L"x", 1);
    EXPECT_FALSE(test::FileExists(path));
}

TEST_F(TraceTest, TheExactSeparatorIsWrittenBareAndNearMissesAreNot) {
    WriteTrace(L"", L"", std::wstring(kTraceSeparator), 4);
    EXPECT_EQ("\r\n========================================\r\n", Contents());

    WriteTrace(L"", L"", L"\r\n" + std::wstring(39, L'='), 4);
    WriteTrace(L"", L"", L"\r\n" + std::wstring(41, L'='), 4);
    WriteTrace(L"", L"", std::wstring(40, L'='), 4);
    WriteTrace(L"", L"", L"x" + std::wstring(kTraceSeparator), 4);
    std::string text = Contents();
    EXPECT_NE(std::string::npos, text.find(" :::\r\n" + std::string(39, '=') + "\r\n"));
    EXPECT_NE(std::string::npos, text.find(" :::\r\n" + std::string(41, '=') + "\r\n"));
    EXPECT_NE(std::string::npos, text.find(" :::" + std::string(40, '=') + "\r\n"));
    EXPECT_NE(std::string::npos, text.find(" :::x\r\n" + std::string(40, '=') + "\r\n"));
}

TEST_F(TraceTest, ATextWithLineBreaksGivesSeveralLinesWithOnePrefix) {
    WriteTrace(L"M", L"P", L"first\r\nsecond", 4);
    std::string text = Contents();
    size_t at = text.find("M::P:first\r\nsecond\r\n");
    ASSERT_NE(std::string::npos, at);
    EXPECT_EQ(text.size(), at + 20);  // the second physical line carries no prefix
}

TEST_F(TraceTest, TextIsWrittenInTheAnsiCodePage) {
    WriteTrace(L"M", L"P", L"caf\u00E9", 4);
    EXPECT_NE(std::string::npos, Contents().find("M::P:caf\xE9\r\n"));
}

TEST_F(TraceTest, ANegativeSizeNeverTrims) {
    ErrorLogSize = -1;
    for (int i = 0; i < 50; ++i) WriteTrace(L"M", L"P", std::wstring(100, L'a'), 4);
    EXPECT_GT(Contents().size(), 5000u);
}

TEST_F(TraceTest, AtTheCapTheOldestLinesGoAndTheNewestStay) {
    ErrorLogSize = 1000;
    // Lines of known length: fill to just under the cap, then cross it.
    std::string whole;
    for (int i = 0; Contents().size() < 970; ++i) WriteTrace(L"M", L"P", L"line " + std::to_wstring(i), 4);
    whole = Contents();
    ASSERT_LE(whole.size(), 1000u);
    WriteTrace(L"M", L"P", L"the newest line of all", 4);
    std::string trimmed = Contents();
    ASSERT_LT(trimmed.size(), 1000u);
    // What the file held plus the new line, trimmed the plain way: the same bytes.
    std::string appended = whole + trimmed.substr(trimmed.rfind("\r\n", trimmed.size() - 3) + 2);
    ASSERT_GT(appended.size(), 1000u);
    EXPECT_EQ(ReferenceTrim(appended, 1000), trimmed);
    EXPECT_NE(std::string::npos, trimmed.find("P:the newest line of all\r\n"));
    EXPECT_EQ(trimmed.size() - 2, trimmed.rfind("\r\n"));
    EXPECT_FALSE(test::FileExists(path + ".tmp"));
}

TEST_F(TraceTest, AFileThatCannotBeReplacedKeepsEverythingItHeld) {
    ErrorLogSize = 300;
    for (int i = 0; i < 3; ++i) WriteTrace(L"M", L"P", std::wstring(60, L'x'), 4);
    std::string before = Contents();
    // Another program reads the file and does not let it be replaced meanwhile.
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    WriteTrace(L"M", L"P", L"over the cap", 4);
    CloseHandle(reader);
    std::string after = Contents();
    EXPECT_EQ(0u, after.find(before));
    EXPECT_NE(std::string::npos, after.find("M::P:over the cap\r\n"));
    EXPECT_FALSE(test::FileExists(path + ".tmp"));
    // Once the other program has let go, the next line trims as usual.
    WriteTrace(L"M", L"P", L"next", 4);
    EXPECT_LT(Contents().size(), 300u);
}

TEST_F(TraceTest, AFileHeldExclusivelyLosesTheLineQuietly) {
    WriteTrace(L"M", L"P", L"kept", 4);
    std::string before = Contents();
    HANDLE owner = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, owner);
    WriteTrace(L"M", L"P", L"lost", 4);
    CloseHandle(owner);
    EXPECT_EQ(before, Contents());
}

TEST_F(TraceTest, WritingClearsTheCallersPendingFailure) {
    RecordFailure(5, L"earlier");
    WriteTrace(L"M", L"P", L"x", 99);  // not written, still a call
    EXPECT_FALSE(HasPendingFailure());
}

TEST(GeneralDate, ShowsShortDateAndLongTimeAndOnlyTheDateAtMidnight) {
    ASSERT_EQ(0x409u, GetUserDefaultLCID()) << "these expectations are for United States settings";
    SYSTEMTIME evening{2026, 12, 0, 6, 18, 46, 37, 900};
    EXPECT_EQ(L"12/6/2026 6:46:37 PM", GeneralDate(evening));
    SYSTEMTIME midnight{2026, 12, 0, 7, 0, 0, 0, 0};
    EXPECT_EQ(L"12/7/2026", GeneralDate(midnight));
}

TEST(TempDir, EndsWithABackslashAndFollowsTmp) {
    test::TempFolder folder;
    EXPECT_EQ(FromAnsi(folder.Path()), GetTempDir());
    EXPECT_EQ(FromAnsi(folder.File("VantrellTrace.log")), TracePath());
}

TEST(TempDir, APathThatDoesNotFitPutsTheTraceInTheCurrentFolder) {
    test::TempFolder folder;
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    SetCurrentDirectoryA(folder.Path().c_str());
    std::string tooLong = "C:\\" + std::string(300, 'a');
    SetEnvironmentVariableA("TMP", tooLong.c_str());
    SetEnvironmentVariableA("TEMP", tooLong.c_str());
    EXPECT_EQ(L"", GetTempDir());
    ErrorLogSize = 1000;
    ErrorLogLevel = 4;
    WriteTrace(L"M", L"P", L"here", 4);
    ErrorLogSize = 0;
    ErrorLogLevel = 0;
    EXPECT_NE(std::string::npos, test::ReadFileBytes(folder.File("VantrellTrace.log")).find("M::P:here"));
    SetCurrentDirectoryA(previous);
}

}  // namespace
}  // namespace vantrell
