// The Logged Messages window: from the call of ShowLoggedMessages to the window shown with its
// first rows painted, over a journal of 100,000 entries and over an empty one, median of 15
// openings each; and Copy with no row selected (all 100,000 rows to the clipboard), median of 5.
// A message hook of the thread sees the list view's first WM_PAINT taken from the queue, posts a
// marker behind it, and takes the time when the marker comes out (the paint is then done) before
// clicking Copy (in the Copy rounds) and closing the window.
//
// Run: build/x64/wine-run.sh build/x64/bin/logged_messages_bench.exe
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bench/report.h"
#include "bench/stopwatch.h"
#include "commands/logged_messages_window.h"
#include "support/journal.h"

namespace {

using vantrell::bench::Milliseconds;

constexpr UINT kPainted = WM_APP + 0x51;

struct Opening {
    HWND list = nullptr;
    bool marked = false;
    double painted = 0;
    size_t rowsAsked = 0;  // the list's requests for texts before the marker came out
    bool copy = false;     // click Copy once painted, and time it
    double copied = 0;
} g_opening;

LRESULT CALLBACK OnMessage(int code, WPARAM removed, LPARAM l) {
    const MSG& msg = *reinterpret_cast<const MSG*>(l);
    if (code == HC_ACTION && removed == PM_REMOVE) {
        wchar_t cls[64] = {};
        if (!g_opening.marked && msg.message == WM_PAINT && GetClassNameW(msg.hwnd, cls, 64) &&
            std::wstring(cls) == WC_LISTVIEWW) {
            g_opening.list = msg.hwnd;
            g_opening.marked = true;
            PostThreadMessageW(GetCurrentThreadId(), kPainted, 0, 0);
        } else if (msg.message == kPainted && !msg.hwnd && g_opening.painted == 0) {
            g_opening.painted = Milliseconds();
            HWND window = GetAncestor(g_opening.list, GA_ROOT);
            if (g_opening.copy) {
                SendMessageW(FindWindowExW(window, nullptr, L"Button", L"&Copy"), BM_CLICK, 0, 0);
                g_opening.copied = Milliseconds() - g_opening.painted;
            }
            PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        }
    }
    return CallNextHookEx(nullptr, code, removed, l);
}

LRESULT CALLBACK OnSent(int code, WPARAM w, LPARAM l) {
    const CWPSTRUCT& sent = *reinterpret_cast<const CWPSTRUCT*>(l);
    if (code == HC_ACTION && sent.message == WM_NOTIFY && g_opening.painted == 0 &&
        reinterpret_cast<const NMHDR*>(sent.lParam)->code == LVN_GETDISPINFOW)
        ++g_opening.rowsAsked;
    return CallNextHookEx(nullptr, code, w, l);
}

vantrell::JournalEntry Entry(size_t n) {
    vantrell::JournalEntry entry;
    entry.messageId = L"<CAF" + std::to_wstring(n * 7919) + L".5B2E" + std::to_wstring(n) + L"@mail.example.com>";
    GetSystemTime(&entry.when);
    entry.when.wMilliseconds = 0;
    entry.subject = L"RE: Quarterly figures for the Nord\u00e9 account, meeting " + std::to_wstring(n);
    entry.outcome = n % 50 == 0 ? vantrell::JournalOutcome::Failed : vantrell::JournalOutcome::Logged;
    return entry;
}

// A journal folder holding `count` entries.
std::wstring MakeJournal(const wchar_t* name, size_t count) {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    const std::wstring folder = std::wstring(base) + name + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::string bytes;
    for (size_t n = 1; n <= count; ++n) bytes += vantrell::JournalLine(Entry(n)) + '\n';
    const std::wstring path = folder + std::wstring(vantrell::kJournalFileName);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return folder;
}

// One opening: its time to the painted rows (or its Copy click's time); negative when the list
// was not painted.
double Measure(const vantrell::Journal& journal, bool copy = false) {
    g_opening = {};
    g_opening.copy = copy;
    const double start = Milliseconds();
    vantrell::ShowLoggedMessages(nullptr, journal);
    if (g_opening.painted == 0 || (journal.Count() > 0 && g_opening.rowsAsked == 0)) {
        std::printf("%zu entries: the list was not painted (%zu texts asked)\n", journal.Count(), g_opening.rowsAsked);
        return -1;
    }
    return copy ? g_opening.copied : g_opening.painted - start;
}

}  // namespace

int main() {
    const size_t count = vantrell::kJournalKeep;
    const std::wstring full = MakeJournal(L"vantrell_window_bench_full", count);
    const std::wstring empty = MakeJournal(L"vantrell_window_bench_empty", 0);
    vantrell::Journal journal, none;
    if (journal.Open(full) != vantrell::JournalResult::Done || journal.Count() != count ||
        none.Open(empty) != vantrell::JournalResult::Done) {
        std::printf("the journals could not be opened\n");
        return 1;
    }
    HHOOK messages = SetWindowsHookExW(WH_GETMESSAGE, OnMessage, nullptr, GetCurrentThreadId());
    HHOOK sent = SetWindowsHookExW(WH_CALLWNDPROC, OnSent, nullptr, GetCurrentThreadId());
    // The two journals in alternating rounds, so that the machine's load weighs on both alike.
    std::vector<double> opens, emptyOpens, copies;
    size_t rowsAsked = 0;
    for (int round = 0; round < 15; ++round) {
        opens.push_back(Measure(journal));
        rowsAsked = g_opening.rowsAsked;
        emptyOpens.push_back(Measure(none));
        if (round % 3 == 0) copies.push_back(Measure(journal, true));
    }
    std::printf("%zu texts asked for the first paint of 100,000 entries\n", rowsAsked);
    UnhookWindowsHookEx(messages);
    UnhookWindowsHookEx(sent);
    for (const std::vector<double>* times : {&opens, &emptyOpens, &copies})
        if (std::find(times->begin(), times->end(), -1.0) != times->end()) return 1;
    // What the list asks per row it paints: the entry and its three columns' texts.
    std::vector<double> rowTexts;
    for (size_t round = 0; round < 20; ++round) {
        const double start = Milliseconds();
        for (size_t row = round * 4999 % count, end = row + 20; row < end; ++row) {
            std::optional<vantrell::JournalEntry> entry = journal.Row(row);
            if (entry) vantrell::JournalDateText(*entry), vantrell::JournalResultText(*entry);
        }
        rowTexts.push_back((Milliseconds() - start) / 20);
    }

    for (const auto& [what, times] :
         {std::pair{"shown, 100,000 entries", opens}, std::pair{"shown, no entries", emptyOpens},
          std::pair{"Copy of all 100,000 rows", copies}, std::pair{"one row's texts", rowTexts}}) {
        vantrell::bench::Figures f = vantrell::bench::Summarise(times);
        std::printf("%-40s median %9.3f ms (%.3f to %.3f ms)\n", what, f.median, f.low, f.high);
    }
    vantrell::bench::ReportRow("Logged Messages window shown and painted, 100,000 entries",
                               vantrell::bench::Summarise(opens), "ceiling", 200, "the open target");
    vantrell::bench::ReportRow("Logged Messages window shown and painted, empty journal",
                               vantrell::bench::Summarise(emptyOpens), "ceiling", 200, "the open target");
    vantrell::bench::AgainstBudget("Logged Messages Copy of all 100,000 rows", vantrell::bench::Summarise(copies),
                                   vantrell::bench::kItemOpenBudget, "item open");
    for (const std::wstring& folder : {full, empty}) {
        DeleteFileW((folder + std::wstring(vantrell::kJournalFileName)).c_str());
        RemoveDirectoryW(folder.c_str());
    }
    return 0;
}
