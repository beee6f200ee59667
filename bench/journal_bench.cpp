// The journal of logged messages at its bound: a file of 100,000 entries opened (read, checked
// and indexed), looked up by message id (found and not found), listed row by row, one entry
// appended (written and flushed), and the rewrite that keeps the newest entries once the file is
// over its bound. Each against the figure the journal is built to stay under.
//
// Run: build/x64/wine-run.sh build/x64/bin/journal_bench.exe
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/report.h"
#include "bench/stopwatch.h"
#include "support/journal.h"

namespace {

using vantrell::Journal;
using vantrell::JournalEntry;
using vantrell::JournalResult;
using vantrell::bench::Milliseconds;
using vantrell::bench::Summarise;

std::wstring Id(size_t n) {
    return L"<CAF" + std::to_wstring(n * 7919) + L".5B2E" + std::to_wstring(n) + L"@mail.example.com>";
}

JournalEntry Entry(size_t n) {
    JournalEntry entry;
    entry.messageId = Id(n);
    GetSystemTime(&entry.when);
    entry.when.wMilliseconds = 0;
    entry.subject = L"RE: Quarterly figures for the Nord\u00e9 account, meeting " + std::to_wstring(n);
    entry.outcome = n % 50 == 0 ? vantrell::JournalOutcome::Failed : vantrell::JournalOutcome::Logged;
    entry.command = n % 3 == 0 ? vantrell::JournalCommand::SendAndLog : vantrell::JournalCommand::LogMessage;
    return entry;
}

void WriteWhole(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

void Row(const char* measure, const std::vector<double>& times, double target, const char* targetName) {
    vantrell::bench::ReportRow(measure, Summarise(times), "ceiling", target, targetName);
}

}  // namespace

int main() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    const std::wstring folder = std::wstring(base) + L"vantrell_journal_bench\\";
    const std::wstring path = folder + std::wstring(vantrell::kJournalFileName);
    CreateDirectoryW(folder.c_str(), nullptr);

    const size_t count = vantrell::kJournalKeep;
    std::string bytes;
    for (size_t n = 1; n <= count; ++n) bytes += vantrell::JournalLine(Entry(n)) + '\n';
    WriteWhole(path, bytes);
    std::printf("journal of %zu entries, %zu bytes (%.0f bytes a line)\n", count, bytes.size(),
                static_cast<double>(bytes.size()) / static_cast<double>(count));

    // Opening: a journal object of its own each time, as Outlook's start would make it.
    std::vector<double> opens;
    for (int round = 0; round < 9; ++round) {
        Journal journal;
        double start = Milliseconds();
        JournalResult result = journal.Open(folder);
        opens.push_back(Milliseconds() - start);
        if (result != JournalResult::Done || journal.Count() != count) {
            std::printf("open failed: result %d, %zu entries\n", static_cast<int>(result), journal.Count());
            return 1;
        }
    }

    Journal journal;
    journal.Open(folder);
    // Lookups in rounds of 1000: ids spread over the journal, then ids it does not hold.
    std::vector<double> found, missing, rows;
    for (int round = 0; round < 20; ++round) {
        std::vector<std::wstring> ids, absent;
        for (size_t i = 0; i < 1000; ++i) {
            ids.push_back(Id(1 + (i * 9973 + static_cast<size_t>(round) * 31) % count));
            absent.push_back(Id(count + 1 + i));
        }
        size_t hits = 0;
        double start = Milliseconds();
        for (const std::wstring& id : ids) hits += journal.Find(id).has_value();
        found.push_back((Milliseconds() - start) / 1000);
        start = Milliseconds();
        for (const std::wstring& id : absent) hits += journal.Find(id).has_value();
        missing.push_back((Milliseconds() - start) / 1000);
        if (hits != 1000) {
            std::printf("lookups found %zu of 1000\n", hits);
            return 1;
        }
        // A screenful of a virtual list view, anywhere in the list.
        start = Milliseconds();
        for (size_t i = 0; i < 40; ++i) journal.Row((static_cast<size_t>(round) * 4999 + i) % count);
        rows.push_back((Milliseconds() - start) / 40);
    }

    // Appending: below the rewrite (the bound's slack is not reached).
    std::vector<double> appends;
    for (size_t i = 0; i < 100; ++i) {
        double start = Milliseconds();
        JournalResult result = journal.Append(Entry(count + 1 + i));
        appends.push_back(Milliseconds() - start);
        if (result != JournalResult::Done) {
            std::printf("append failed: result %d\n", static_cast<int>(result));
            return 1;
        }
    }

    // The append that takes the file over its bound and its slack, and so rewrites it.
    std::vector<double> rewrites;
    for (int round = 0; round < 5; ++round) {
        Journal bounded({count, 0});
        bounded.Open(folder);
        double start = Milliseconds();
        bounded.Append(Entry(2 * count + static_cast<size_t>(round)));
        rewrites.push_back(Milliseconds() - start);
        if (bounded.Count() != count) {
            std::printf("the rewrite left %zu entries\n", bounded.Count());
            return 1;
        }
    }

    auto print = [](const char* what, const std::vector<double>& times) {
        vantrell::bench::Figures f = Summarise(times);
        std::printf("%-40s median %9.4f ms (%.4f to %.4f ms)\n", what, f.median, f.low, f.high);
    };
    print("open (read, check, index)", opens);
    print("lookup of an id it holds", found);
    print("lookup of an id it does not hold", missing);
    print("one row of the listing", rows);
    print("append (write and flush)", appends);
    print("append that rewrites the file", rewrites);
    Row("journal open at 100,000 entries", opens, 50, "the open target");
    Row("journal lookup at 100,000 entries", found, 1, "the lookup target");
    Row("journal lookup of an absent id", missing, 1, "the lookup target");
    Row("journal row of the listing", rows, 1, "the lookup target");
    Row("journal append", appends, vantrell::bench::kItemOpenBudget, "Outlook's item-open budget");
    Row("journal append that rewrites", rewrites, vantrell::bench::kItemOpenBudget, "Outlook's item-open budget");

    DeleteFileW(path.c_str());
    RemoveDirectoryW(folder.c_str());
    return 0;
}
