// The trace file: levels, line layout, the separator, the size cap and its failures.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "tests/common/temp_folder.h"
#include "platform/ansi.h"
#include "platform/failure.h"
#include "support/shared_state.h"
#include "support/trace.h"

// The trace code is linked into this test program, so its calls to kernel32 go through the
// program's own import slots: a test points a slot at a stand-in to play a system or another
// program that the test machine cannot be.
#if defined(_WIN64)
extern "C" void* moveFileExSlot __asm__("__imp_MoveFileExA");
extern "C" void* moveFileSlot __asm__("__imp_MoveFileA");
#else
extern "C" void* moveFileExSlot __asm__("__imp__MoveFileExA@12");
extern "C" void* moveFileSlot __asm__("__imp__MoveFileA@8");
#endif

namespace vantrell {
namespace {

using test::ReadFileBytes;

// Points an import slot at a stand-in while it lives.
class StandIn {
public:
    StandIn(void*& slot, void* standIn) : slot_(slot), original_(slot) { Set(standIn); }
    ~StandIn() { Set(original_); }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

private:
    void Set(void* value) {
        DWORD was = 0;
        VirtualProtect(&slot_, sizeof slot_, PAGE_READWRITE, &was);
        slot_ = value;
        VirtualProtect(&slot_, sizeof slot_, was, &was);
    }
    void*& slot_;
    void* original_;
};

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
// from just after their first CR LF that is not the newest line's own, the newest line's CR LF
// written back. When there is none (the newest line alone is cap characters or longer), the
// last cap characters are kept, though never fewer than that CR LF. A file within the cap
// stays as it is.
std::string ReferenceTrim(const std::string& whole, size_t cap) {
    if (whole.size() <= cap) return whole;
    std::string kept = whole.substr(whole.size() - cap - 1);
    size_t boundary = kept.find("\r\n");
    if (boundary == std::string::npos || boundary + 2 == kept.size()) {
        kept = whole.substr(whole.size() - std::max<size_t>(cap, 2));
    } else {
        kept = kept.substr(boundary + 2);
    }
    kept.resize(kept.size() - 2);
    return kept + "\r\n";
}

// The last line of a text that ends with CR LF, its CR LF included.
std::string LastLine(const std::string& text) {
    size_t before = text.rfind("\r\n", text.size() - 3);
    return before == std::string::npos ? text : text.substr(before + 2);
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

// The separator is the one line whose bytes the test knows in advance: an empty line, then
// 40 "=" (42 bytes with its CR LF). Each row puts a line boundary at the edge of the last
// cap + 1 bytes, or one byte either side of it.
struct EdgeRow {
    const char* what;
    long cap;
    size_t older;          // bytes of the line before the separator, CR LF included (0: none)
    std::string expected;  // the file after the separator was written over the cap
};

void PrintTo(const EdgeRow& row, std::ostream* out) { *out << row.what; }

class TraceEdgeTest : public TraceTest, public testing::WithParamInterface<EdgeRow> {};

const std::string kBareSeparator = "\r\n" + std::string(40, '=') + "\r\n";
const std::string kEqualsLine = std::string(40, '=') + "\r\n";

std::string Line(char fill, size_t bytes) { return std::string(bytes - 2, fill) + "\r\n"; }

TEST_P(TraceEdgeTest, KeepsWhatLiesAfterTheFirstBoundaryInTheLastCapPlusOneBytes) {
    const EdgeRow& row = GetParam();
    ErrorLogSize = row.cap;
    std::string before = Line('f', 300) + (row.older ? Line('a', row.older) : "");
    test::WriteFileBytes(path, before);
    WriteTrace(L"", L"", std::wstring(kTraceSeparator), 4);
    std::string after = Contents();
    EXPECT_EQ(row.expected, after);
    EXPECT_EQ(ReferenceTrim(before + kBareSeparator, row.cap), after);
    EXPECT_LE(after.size(), static_cast<size_t>(row.cap));
}

// Cap 200: the older line, the empty line and the 40 "=" are older + 44 bytes together.
INSTANTIATE_TEST_SUITE_P(
    AtTheEdge, TraceEdgeTest,
    testing::Values(
        EdgeRow{"boundary_one_byte_inside", 200, 154, Line('a', 154) + kBareSeparator},
        EdgeRow{"boundary_exactly_at_the_edge", 200, 155, Line('a', 155) + kBareSeparator},
        EdgeRow{"boundary_one_byte_outside", 200, 156, kBareSeparator},
        // The newest line alone at the edge: it fits with its boundary, fits exactly, or is
        // one byte too long and loses its first byte.
        EdgeRow{"newest_line_one_byte_inside", 43, 0, kEqualsLine},
        EdgeRow{"newest_line_exactly_at_the_edge", 42, 0, kEqualsLine},
        EdgeRow{"newest_line_one_byte_outside", 41, 0, kEqualsLine.substr(1)}),
    [](const testing::TestParamInfo<EdgeRow>& info) { return std::string(info.param.what); });

// The file's identity (volume and index): the trim puts a new file in the log's place, an
// append keeps it.
std::pair<DWORD, unsigned long long> Identity(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool read = file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &info);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    EXPECT_TRUE(read);
    return {info.dwVolumeSerialNumber, static_cast<unsigned long long>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
}

// A log one byte under the cap or exactly at it is within it: the line is appended and the file
// left in place, not rewritten; one byte over the cap is trimmed. At a small cap and at the
// default 1 MiB.
TEST_F(TraceTest, ALogAtTheCapIsLeftInPlaceAndOneByteOverIsTrimmed) {
    for (size_t length : {size_t{442}, size_t{1024 * 1024}}) {
        // Two lines, then the separator: `length` bytes in all.
        const std::string before = Line('f', length - 100 - kBareSeparator.size()) + Line('a', 100);
        for (long under : {1, 0, -1}) {
            SCOPED_TRACE(testing::Message() << "a log of " << length << " bytes, the cap " << length + under);
            ErrorLogSize = static_cast<long>(length) + under;
            test::WriteFileBytes(path, before);
            const auto identity = Identity(path);
            WriteTrace(L"", L"", std::wstring(kTraceSeparator), 4);
            const std::string after = Contents();
            // Compared whole, but not printed: a megabyte.
            EXPECT_TRUE((under >= 0 ? before + kBareSeparator : Line('a', 100) + kBareSeparator) == after)
                << after.size() << " bytes";
            EXPECT_EQ(under >= 0, identity == Identity(path));
            EXPECT_FALSE(test::FileExists(path + ".tmp"));
        }
    }
}

TEST_F(TraceTest, ALineLongerThanTheCapKeepsItsEndAndTheFileEndsWithIt) {
    ErrorLogSize = 100;
    WriteTrace(L"M", L"P", L"an ordinary line", 4);
    WriteTrace(L"M", L"P", L"failed: " + std::wstring(300, L'x') + L" the end", 1);
    std::string text = Contents();
    EXPECT_EQ(100u, text.size());
    EXPECT_EQ(std::string(90, 'x') + " the end\r\n", text);
    // The next line is short: it alone is kept, as ever.
    WriteTrace(L"M", L"P", L"after it", 4);
    text = Contents();
    EXPECT_EQ(text, LastLine(text));
    EXPECT_NE(std::string::npos, text.find("M::P:after it\r\n"));
}

TEST_F(TraceTest, AReaderThatSharesWritingGetsTheFileRewrittenInPlace) {
    ErrorLogSize = 300;
    for (int i = 0; i < 3; ++i) WriteTrace(L"M", L"P", std::wstring(60, L'x'), 4);
    std::string before = Contents();
    // Another program reads the file, sharing writing but not deleting: the file cannot be
    // replaced while it is open.
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    for (int i = 0; i < 5; ++i) {
        WriteTrace(L"M", L"P", L"over the cap " + std::to_wstring(i), 4);
        std::string after = Contents();
        EXPECT_EQ(ReferenceTrim(before + LastLine(after), 300), after);
        EXPECT_LE(after.size(), 300u);
        EXPECT_NE(std::string::npos, after.find("M::P:over the cap " + std::to_string(i) + "\r\n"));
        before = after;
    }
    // What the reader sees through its own handle is the rewritten file.
    char seen[400] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(reader, seen, sizeof seen, &got, nullptr));
    EXPECT_EQ(before, std::string(seen, got));
    CloseHandle(reader);
    EXPECT_FALSE(test::FileExists(path + ".tmp"));
}

HANDLE refusingReader = INVALID_HANDLE_VALUE;

// Another program opens the file just as it is to be replaced, refusing writers.
BOOL WINAPI MoveAsAReaderArrives(LPCSTR, LPCSTR to, DWORD) {
    refusingReader = CreateFileA(to, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
}

TEST_F(TraceTest, AReaderThatRefusesWritingLeavesTheFileAsItWas) {
    ErrorLogSize = 300;
    for (int i = 0; i < 3; ++i) WriteTrace(L"M", L"P", std::wstring(60, L'x'), 4);
    std::string before = Contents();
    {
        StandIn move(moveFileExSlot, reinterpret_cast<void*>(&MoveAsAReaderArrives));
        WriteTrace(L"M", L"P", L"over the cap", 4);
    }
    ASSERT_NE(INVALID_HANDLE_VALUE, refusingReader);
    CloseHandle(refusingReader);
    std::string after = Contents();
    EXPECT_EQ(before + LastLine(after), after);
    EXPECT_NE(std::string::npos, after.find("M::P:over the cap\r\n"));
    EXPECT_FALSE(test::FileExists(path + ".tmp"));
    // Once the other program has let go, the next line trims as usual.
    WriteTrace(L"M", L"P", L"next", 4);
    EXPECT_LT(Contents().size(), 300u);
}

// A system without the replacing move (Windows 9x answers "not implemented"), where the plain
// move fails too.
BOOL WINAPI NoReplacingMove(LPCSTR, LPCSTR, DWORD) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}
BOOL WINAPI RefusedMove(LPCSTR, LPCSTR) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

TEST_F(TraceTest, WithoutAReplacingMoveTheFileIsTrimmedAndNeverLost) {
    ErrorLogSize = 300;
    for (int i = 0; i < 3; ++i) WriteTrace(L"M", L"P", std::wstring(60, L'x'), 4);
    std::string before = Contents();
    StandIn replacing(moveFileExSlot, reinterpret_cast<void*>(&NoReplacingMove));
    StandIn plain(moveFileSlot, reinterpret_cast<void*>(&RefusedMove));
    WriteTrace(L"M", L"P", L"over the cap", 4);
    std::string after = Contents();
    ASSERT_TRUE(test::FileExists(path));
    EXPECT_EQ(ReferenceTrim(before + LastLine(after), 300), after);
    EXPECT_NE(std::string::npos, after.find("M::P:over the cap\r\n"));
    EXPECT_FALSE(test::FileExists(path + ".tmp"));
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
