// The journal of logged messages: its line format, damaged lines, the bound and its rewrite,
// the index by message id, the listing, and folders and files that refuse it.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "platform/ansi.h"
#include "support/journal.h"
#include "support/shared_state.h"
#include "tests/common/temp_folder.h"

// The journal is linked into this program, so its writes go through the program's import slot.
#if defined(_WIN64)
extern "C" void* writeFileSlot __asm__("__imp_WriteFile");
#else
extern "C" void* writeFileSlot __asm__("__imp__WriteFile@20");
#endif

namespace vantrell {
namespace {

using test::FileExists;
using test::ReadFileBytes;
using test::WriteFileBytes;

SYSTEMTIME At(int day, int second = 0) {
    SYSTEMTIME t{};
    t.wYear = 2026, t.wMonth = 12, t.wDay = static_cast<WORD>(day), t.wHour = 11, t.wSecond = static_cast<WORD>(second);
    return t;
}

JournalEntry Entry(std::wstring id, std::wstring subject = L"Figures", int second = 0,
                   JournalOutcome outcome = JournalOutcome::Logged, JournalCommand command = JournalCommand::LogMessage) {
    return {std::move(id), At(9, second), std::move(subject), outcome, command};
}

std::wstring Id(size_t n) { return L"<m" + std::to_wstring(n) + L"@example.com>"; }

size_t LineCount(const std::string& bytes) { return static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')); }

class JournalTest : public testing::Test {
protected:
    void SetUp() override {
        ErrorLogSize = 1024 * 1024;
        ErrorLogLevel = 1;
        dir = FromAnsi(folder.Path()) + L"journal\\";
        file = folder.Path() + "journal\\journal.txt";
    }
    void TearDown() override { ErrorLogSize = 0, ErrorLogLevel = 0; }
    std::string Trace() const { return ReadFileBytes(folder.File("VantrellTrace.log")); }
    void WriteJournal(const std::string& bytes) {
        CreateDirectoryA((folder.Path() + "journal").c_str(), nullptr);
        WriteFileBytes(file, bytes);
    }

    test::TempFolder folder;
    std::wstring dir;
    std::string file;
};

void ExpectSame(const JournalEntry& expected, const std::optional<JournalEntry>& actual) {
    ASSERT_TRUE(actual);
    EXPECT_EQ(expected.messageId, actual->messageId);
    EXPECT_EQ(expected.subject, actual->subject);
    EXPECT_EQ(0, memcmp(&expected.when, &actual->when, sizeof expected.when));
    EXPECT_EQ(expected.outcome, actual->outcome);
    EXPECT_EQ(expected.command, actual->command);
}

TEST_F(JournalTest, EntriesComeBackWhole) {
    const JournalEntry entries[] = {
        Entry(L"<a\tb@x>", L"Q\n1 \u00e9", 5, JournalOutcome::Logged, JournalCommand::SendAndLog),
        Entry(L"00000000A1B2C3", L"back\\slash\r\ncarriage", 6, JournalOutcome::Failed, JournalCommand::Selection),
        Entry(L"<\u65e5\u672c@x>", L"\U0001F600 \u65e5\u672c\u8a9e\ttab", 7),
        Entry(L"<empty@x>", L"", 8, JournalOutcome::Failed, JournalCommand::LogMessage),
    };
    {
        Journal journal;
        ASSERT_EQ(JournalResult::Done, journal.Open(dir));
        for (const JournalEntry& entry : entries) ASSERT_EQ(JournalResult::Done, journal.Append(entry));
    }
    std::string bytes = ReadFileBytes(file);
    EXPECT_EQ(0u, bytes.find("2026-12-09T11:00:05Z\tlogged\tsend-and-log\t<a\\tb@x>\tQ\\n1 \xC3\xA9\n"
                             "2026-12-09T11:00:06Z\tfailed\tselection\t00000000A1B2C3\tback\\\\slash\\r\\ncarriage\n"));
    EXPECT_EQ(4u, LineCount(bytes));
    Journal journal;
    ASSERT_EQ(JournalResult::Done, journal.Open(dir));
    ASSERT_EQ(4u, journal.Count());
    for (size_t i = 0; i < 4; ++i) {
        ExpectSame(entries[3 - i], journal.Row(i));
        ExpectSame(entries[i], journal.Find(entries[i].messageId));
    }
    EXPECT_FALSE(journal.Row(4));
    EXPECT_FALSE(journal.Find(L"<a b@x>"));
    EXPECT_EQ(0u, journal.SkippedLines());
}

TEST_F(JournalTest, TheNewestEntryOfAnIdWinsAndEveryEntryIsListed) {
    Journal journal;
    ASSERT_EQ(JournalResult::Done, journal.Open(dir));
    journal.Append(Entry(L"<x@y>", L"first", 1, JournalOutcome::Failed));
    journal.Append(Entry(L"<other@y>", L"other", 2));
    journal.Append(Entry(L"<x@y>", L"again", 3, JournalOutcome::Logged, JournalCommand::Selection));
    for (bool reopened : {false, true}) {
        if (reopened) {
            ASSERT_EQ(JournalResult::Done, journal.Open(dir));
        }
        EXPECT_EQ(3u, journal.Count());
        ExpectSame(Entry(L"<x@y>", L"again", 3, JournalOutcome::Logged, JournalCommand::Selection), journal.Find(L"<x@y>"));
    }
}

TEST_F(JournalTest, AnEntryWithoutATimeIsStampedNowAndOneWithoutAnIdIsRefused) {
    Journal journal;
    ASSERT_EQ(JournalResult::Done, journal.Open(dir));
    EXPECT_EQ(JournalResult::NoMessageId, journal.Append(JournalEntry{}));
    SYSTEMTIME before;
    GetSystemTime(&before);
    ASSERT_EQ(JournalResult::Done, journal.Append({L"<now@x>", {}, L"s"}));
    EXPECT_EQ(1u, journal.Count());
    EXPECT_EQ(before.wYear, journal.Row(0)->when.wYear);
    EXPECT_EQ(before.wDay, journal.Row(0)->when.wDay);
}

const std::string kLineA = "2026-12-09T11:00:01Z\tlogged\tlog-message\t<a@x>\tA";
const std::string kLineB = "2026-12-09T11:00:02Z\tfailed\tsend-and-log\t<b@x>\tB";

struct DamageRow {
    const char* what;
    std::string damaged;
};

TEST_F(JournalTest, DamagedLinesAreSkippedWithAFailureTraceLine) {
    const DamageRow rows[] = {
        {"too few fields", "2026-12-09T11:00:01Z\tlogged\tlog-message\t<c@x>"},
        {"too many fields", kLineA + "\textra"},
        {"a month 13", "2026-13-09T11:00:01Z\tlogged\tlog-message\t<c@x>\tC"},
        {"a local time", "2026-12-09T11:00:01+01\tlogged\tlog-message\t<c@x>\tC"},
        {"an unknown outcome", "2026-12-09T11:00:01Z\tdone\tlog-message\t<c@x>\tC"},
        {"an unknown command", "2026-12-09T11:00:01Z\tlogged\tforward\t<c@x>\tC"},
        {"an empty id", "2026-12-09T11:00:01Z\tlogged\tlog-message\t\tC"},
        {"an unknown escape", "2026-12-09T11:00:01Z\tlogged\tlog-message\t<c@x>\tC\\x"},
        {"a cut escape", "2026-12-09T11:00:01Z\tlogged\tlog-message\t<c@x>\tC\\"},
        {"invalid UTF-8", "2026-12-09T11:00:01Z\tlogged\tlog-message\t<c@x>\t\xC3("},
        {"zeros left by a crash", std::string(40, '\0')},
    };
    for (const DamageRow& row : rows) {
        SCOPED_TRACE(row.what);
        WriteJournal(kLineA + "\n" + row.damaged + "\n" + kLineB + "\r\n");
        WriteFileBytes(folder.File("VantrellTrace.log"), "");
        Journal journal;
        ASSERT_EQ(JournalResult::Done, journal.Open(dir));
        EXPECT_EQ(2u, journal.Count());
        EXPECT_EQ(1u, journal.SkippedLines());
        EXPECT_EQ(L"B", journal.Row(0)->subject);
        EXPECT_NE(std::string::npos, Trace().find("Journal::Open:skipped damaged line 2 of " + file + "\r\n"));
    }
}

TEST_F(JournalTest, AnUnfinishedLastLineIsSkippedAndTheNextEntryStartsALineOfItsOwn) {
    WriteJournal(kLineA + "\n" + kLineB.substr(0, 30));
    Journal journal;
    ASSERT_EQ(JournalResult::Done, journal.Open(dir));
    EXPECT_EQ(1u, journal.Count());
    EXPECT_NE(std::string::npos, Trace().find("Journal::Open:skipped unfinished last line 2 of " + file));
    ASSERT_EQ(JournalResult::Done, journal.Append(Entry(L"<c@x>", L"C")));
    EXPECT_EQ(kLineA + "\n" + kLineB.substr(0, 30) + "\n" + JournalLine(Entry(L"<c@x>", L"C")) + "\n",
              ReadFileBytes(file));
    Journal again;
    ASSERT_EQ(JournalResult::Done, again.Open(dir));
    EXPECT_EQ(2u, again.Count());
    EXPECT_EQ(1u, again.SkippedLines());
    EXPECT_EQ(L"C", again.Row(0)->subject);
}

struct BoundRow {
    JournalLimits limits;
    size_t appended, expectedLines;
};

TEST_F(JournalTest, TheFileKeepsTheNewestEntriesOnceOverTheBoundAndItsSlack) {
    const BoundRow rows[] = {
        {{5, 0}, 4, 4}, {{5, 0}, 5, 5}, {{5, 0}, 6, 5},
        {{5, 2}, 6, 6}, {{5, 2}, 7, 7}, {{5, 2}, 8, 5},
    };
    for (const BoundRow& row : rows) {
        SCOPED_TRACE(std::to_string(row.limits.slack) + " slack, " + std::to_string(row.appended) + " entries");
        WriteJournal("");
        Journal journal(row.limits);
        ASSERT_EQ(JournalResult::Done, journal.Open(dir));
        for (size_t i = 1; i <= row.appended; ++i) ASSERT_EQ(JournalResult::Done, journal.Append(Entry(Id(i))));
        EXPECT_EQ(row.expectedLines, LineCount(ReadFileBytes(file)));
        EXPECT_FALSE(FileExists(file + ".tmp"));
        Journal reopened(row.limits);
        ASSERT_EQ(JournalResult::Done, reopened.Open(dir));
        for (Journal* j : {&journal, &reopened}) {
            EXPECT_EQ(row.expectedLines, j->Count());
            EXPECT_EQ(Id(row.appended), j->Row(0)->messageId);
            EXPECT_EQ(Id(row.appended - row.expectedLines + 1), j->Row(row.expectedLines - 1)->messageId);
            EXPECT_EQ(row.expectedLines == row.appended, j->Find(Id(1)).has_value());
        }
    }
}

TEST_F(JournalTest, AFileOverTheBoundIsRewrittenWhenOpened) {
    std::string bytes;
    for (size_t i = 1; i <= 4; ++i) bytes += ToAnsi(L"2026-12-09T11:00:01Z\tlogged\tlog-message\t" + Id(i) + L"\tS\n");
    WriteJournal(bytes + "damaged\n");
    Journal journal({2, 0});
    ASSERT_EQ(JournalResult::Done, journal.Open(dir));
    EXPECT_EQ(bytes.substr(bytes.size() / 2), ReadFileBytes(file));
    EXPECT_EQ(2u, journal.Count());
}

TEST_F(JournalTest, ARewriteThatCannotReplaceTheFileLeavesItWhole) {
    Journal journal({2, 0});
    ASSERT_EQ(JournalResult::Done, journal.Open(dir));
    journal.Append(Entry(Id(1)));
    journal.Append(Entry(Id(2)));
    // A reader that does not share deletion: the file cannot be replaced while it is open.
    HANDLE reader = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    EXPECT_EQ(JournalResult::Done, journal.Append(Entry(Id(3))));
    CloseHandle(reader);
    EXPECT_EQ(3u, LineCount(ReadFileBytes(file)));
    EXPECT_EQ(3u, journal.Count());
    EXPECT_FALSE(FileExists(file + ".tmp"));
    EXPECT_NE(std::string::npos, Trace().find("Journal::Compact:cannot rewrite " + file + " (error "));
}

TEST_F(JournalTest, AFolderThatCannotBeMadeFailsCleanly) {
    WriteFileBytes(folder.File("plain"), "x");
    const std::wstring under = FromAnsi(folder.Path()) + L"plain\\Quorvane\\Email History\\";
    Journal journal;
    EXPECT_EQ(JournalResult::FolderUnavailable, journal.Open(under));
    EXPECT_FALSE(journal.IsOpen());
    EXPECT_EQ(JournalResult::FolderUnavailable, journal.Append(Entry(L"<a@x>")));
    EXPECT_EQ("x", ReadFileBytes(folder.File("plain")));
    EXPECT_NE(std::string::npos, Trace().find("Journal::Open:cannot make the folder " + ToAnsi(under) + " (error "));
    // A missing chain of folders is made.
    EXPECT_EQ(JournalResult::Done, journal.Open(FromAnsi(folder.Path()) + L"a\\b\\c"));
    EXPECT_EQ(JournalResult::Done, journal.Append(Entry(L"<a@x>")));
    EXPECT_TRUE(FileExists(folder.Path() + "a\\b\\c\\journal.txt"));
}

TEST_F(JournalTest, ALockedFileIsUnreadableAndUntouchedUntilItIsFree) {
    WriteJournal(kLineA + "\n");
    HANDLE lock = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    Journal journal;
    EXPECT_EQ(JournalResult::Unreadable, journal.Open(dir));
    EXPECT_FALSE(journal.IsOpen());
    EXPECT_EQ(0u, journal.Count());
    EXPECT_EQ(JournalResult::Unreadable, journal.Append(Entry(L"<c@x>")));
    CloseHandle(lock);
    EXPECT_EQ(kLineA + "\n", ReadFileBytes(file));
    EXPECT_NE(std::string::npos, Trace().find("Journal::Open:cannot read " + file + " (error 32)"));
    // The next entry opens it again.
    EXPECT_EQ(JournalResult::Done, journal.Append(Entry(L"<c@x>")));
    EXPECT_EQ(2u, journal.Count());
}

// A program that reads the file without sharing writes (a backup, a scanner), as Windows also
// refuses writes to a read-only file (Wine running as root does not).
TEST_F(JournalTest, AFileThatRefusesWritersIsReadButNotWritten) {
    WriteJournal(kLineA + "\n");
    HANDLE reader = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    Journal journal;
    EXPECT_EQ(JournalResult::Done, journal.Open(dir));
    EXPECT_EQ(JournalResult::WriteFailed, journal.Append(Entry(L"<c@x>")));
    CloseHandle(reader);
    EXPECT_EQ(1u, journal.Count());
    EXPECT_FALSE(journal.Find(L"<c@x>"));
    EXPECT_EQ(kLineA + "\n", ReadFileBytes(file));
    EXPECT_NE(std::string::npos, Trace().find("Journal::Append:cannot write " + file + " (error 32)"));
}

// A disk that fills part way through an entry's write: half the bytes land, then the write fails.
using WriteFileFunction = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
WriteFileFunction realWriteFile;
BOOL WINAPI WriteHalfThenFull(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
    if (size > 1) realWriteFile(file, data, size / 2, written, overlapped);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

void SetSlot(void* value) {
    DWORD was = 0;
    VirtualProtect(&writeFileSlot, sizeof writeFileSlot, PAGE_READWRITE, &was);
    writeFileSlot = value;
    VirtualProtect(&writeFileSlot, sizeof writeFileSlot, was, &was);
}

TEST_F(JournalTest, AFullDiskLeavesTheFileAsItWas) {
    WriteJournal(kLineA + "\n");
    Journal journal;
    ASSERT_EQ(JournalResult::Done, journal.Open(dir));
    realWriteFile = reinterpret_cast<WriteFileFunction>(writeFileSlot);
    SetSlot(reinterpret_cast<void*>(&WriteHalfThenFull));
    JournalResult result = journal.Append(Entry(L"<c@x>", L"a subject long enough to be cut in half"));
    SetSlot(reinterpret_cast<void*>(realWriteFile));
    EXPECT_EQ(JournalResult::WriteFailed, result);
    EXPECT_EQ(kLineA + "\n", ReadFileBytes(file));
    EXPECT_EQ(1u, journal.Count());
}

TEST_F(JournalTest, CopyGivesDateSubjectAndResultPerSelectedRow) {
    Journal journal;
    ASSERT_EQ(JournalResult::Done, journal.Open(dir));
    journal.Append(Entry(L"<a@x>", L"one\ttab", 1, JournalOutcome::Failed, JournalCommand::SendAndLog));
    journal.Append(Entry(L"<b@x>", L"two\r\nlines", 2));
    journal.Append(Entry(L"<c@x>", L"three", 3, JournalOutcome::Logged, JournalCommand::Selection));
    // In the user's time zone and regional form, to the second.
    EXPECT_NE(std::wstring::npos, JournalDateText(*journal.Row(0)).find(L"2026"));
    EXPECT_NE(JournalDateText(*journal.Row(0)), JournalDateText(*journal.Row(2)));
    EXPECT_EQ(JournalDateText(*journal.Row(0)) + L"\tthree\tLogged (Selection)\r\n" + JournalDateText(*journal.Row(2)) +
                  L"\tone tab\tFailed (Send & Log)\r\n" + JournalDateText(*journal.Row(1)) +
                  L"\ttwo  lines\tLogged (Log Message)\r\n",
              journal.CopyText({0, 2, 7, 1}));
}

TEST(JournalFolderTest, IsTheProductsFolderInTheUsersApplicationData) {
    std::wstring folder = JournalFolder();
    ASSERT_GT(folder.size(), kJournalFolderName.size() + 2);
    EXPECT_EQ(L"\\Quorvane\\Email History\\", folder.substr(folder.size() - kJournalFolderName.size() - 2));
}

}  // namespace
}  // namespace vantrell
