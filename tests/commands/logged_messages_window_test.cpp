// The Logged Messages window over a journal in a temporary folder, with real windows under
// Wine: its rows newest first, Copy of a selection and of the whole list (and with the
// clipboard held elsewhere), the ways it closes, and its owner disabled only while it is up.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <thread>

#include "commands/logged_messages_window.h"
#include "platform/ansi.h"
#include "tests/common/temp_folder.h"
#include "tests/common/window_script.h"

namespace vantrell {
namespace {

using test::SeenWindow;
using test::WindowScript;
using Rows = std::vector<std::vector<std::wstring>>;

// Oldest first: logged at 11:00:01, :02 and :03.
const JournalEntry kEntries[] = {
    {L"<a@x>", {2026, 12, 0, 9, 11, 0, 1, 0}, L"Figures", JournalOutcome::Logged, JournalCommand::LogMessage},
    {L"<b@x>",
     {2026, 12, 0, 9, 11, 0, 2, 0},
     L"RE: caf\u00e9\tplan",
     JournalOutcome::Failed,
     JournalCommand::SendAndLog},
    {L"<c@x>", {2026, 12, 0, 9, 11, 0, 3, 0}, L"", JournalOutcome::Logged, JournalCommand::Selection},
};

HWND List(HWND window) { return FindWindowExW(window, nullptr, WC_LISTVIEWW, nullptr); }

// What the list shows, read back through the list view: per row its three columns.
Rows Shown(HWND window) {
    Rows rows(static_cast<size_t>(SendMessageW(List(window), LVM_GETITEMCOUNT, 0, 0)));
    for (size_t row = 0; row < rows.size(); ++row) {
        for (int column = 0; column < 3; ++column) {
            wchar_t text[256] = {};
            LVITEMW item{};
            item.iSubItem = column, item.pszText = text, item.cchTextMax = 256;
            SendMessageW(List(window), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
            rows[row].push_back(text);
        }
    }
    return rows;
}

std::wstring Clipboard() {
    std::wstring text = L"(none)";
    if (!OpenClipboard(nullptr)) return L"(not opened)";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

void SetClipboard(const std::wstring& text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
}

void Select(HWND window, const std::vector<size_t>& rows) {
    for (size_t row : rows) {
        LVITEMW state{};
        state.stateMask = state.state = LVIS_SELECTED;
        SendMessageW(List(window), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
    }
}

void ClickCopy(HWND window) { SendMessageW(FindWindowExW(window, nullptr, L"Button", L"&Copy"), BM_CLICK, 0, 0); }

class LoggedMessagesTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(JournalResult::Done, journal.Open(FromAnsi(folder.Path())));
        owner = CreateWindowExA(0, "STATIC", "Explorer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 600, 400, nullptr,
                                nullptr, nullptr, nullptr);
    }
    void TearDown() override { DestroyWindow(owner); }
    // Logs the entries from the first not yet logged up to `count`.
    void Log(size_t count) {
        for (size_t i = journal.Count(); i < count; ++i) ASSERT_EQ(JournalResult::Done, journal.Append(kEntries[i]));
    }
    // Shows the window and runs `action` on it once it is up; the action closes it.
    SeenWindow Show(WindowScript::Action action) {
        WindowScript script;
        script.Expect(kLoggedMessagesTitle, [&](HWND window, SeenWindow& seen) {
            shown = window;
            ownerEnabled = IsWindowEnabled(owner);
            action(window, seen);
        });
        ShowLoggedMessages(owner, journal);
        EXPECT_EQ(0u, script.Pending());
        EXPECT_FALSE(ownerEnabled);
        EXPECT_TRUE(IsWindowEnabled(owner));
        EXPECT_FALSE(IsWindow(shown));
        return script.Seen().empty() ? SeenWindow{} : script.Seen()[0];
    }

    test::TempFolder folder;
    Journal journal;
    HWND owner = nullptr, shown = nullptr;
    BOOL ownerEnabled = TRUE;
};

TEST_F(LoggedMessagesTest, ListsTheJournalNewestFirst) {
    const Rows all = {
        {JournalDateText(kEntries[2]), L"", L"Logged (Selection)"},
        {JournalDateText(kEntries[1]), L"RE: caf\u00e9 plan", L"Failed (Send & Log)"},
        {JournalDateText(kEntries[0]), L"Figures", L"Logged (Log Message)"},
    };
    for (size_t count : {0, 1, 3}) {
        Log(count);
        Rows rows;
        const SeenWindow seen = Show([&](HWND window, SeenWindow&) {
            rows = Shown(window);
            PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(Rows(all.end() - static_cast<long>(count), all.end()), rows) << count << " entries";
        EXPECT_EQ(owner, seen.owner);
        EXPECT_EQ((std::vector<std::string>{"&Copy", "Close"}), seen.buttons);
    }
}

TEST_F(LoggedMessagesTest, FollowsAnEntryLoggedWhileItIsOpen) {
    Log(2);
    Rows rows;
    LRESULT selected = -1;
    Show([&](HWND window, SeenWindow&) {
        Select(window, {1});  // the oldest entry
        journal.Append(kEntries[2]);
        for (int i = 0; i < 150 && SendMessageW(List(window), LVM_GETITEMCOUNT, 0, 0) != 3; ++i) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            Sleep(20);
        }
        rows = Shown(window);
        selected = SendMessageW(List(window), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(2, selected);  // still the oldest entry
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ(L"Logged (Selection)", rows[0][2]);
    EXPECT_EQ(L"Figures", rows[2][1]);
}

TEST_F(LoggedMessagesTest, CopiesTheSelectedRowsOrAllOfThem) {
    Log(3);
    const std::pair<std::vector<size_t>, std::vector<size_t>> cases[] = {
        {{1}, {1}}, {{0, 2}, {0, 2}}, {{2}, {2}}, {{}, {0, 1, 2}}};
    for (const auto& [selected, copied] : cases) {
        SetClipboard(L"before");
        std::wstring text;
        Show([&](HWND window, SeenWindow& seen) {
            Select(window, selected);
            ClickCopy(window);
            text = Clipboard();
            WindowScript::ClickButton(IDCANCEL)(window, seen);
        });
        EXPECT_EQ(journal.CopyText(copied), text) << selected.size() << " selected";
    }
    EXPECT_NE(std::wstring::npos, journal.CopyText({1}).find(L"\tRE: caf\u00e9 plan\tFailed (Send & Log)\r\n"));
}

TEST_F(LoggedMessagesTest, CtrlASelectsEveryRowAndCtrlCCopiesThem) {
    Log(3);
    SetClipboard(L"before");
    std::wstring text;
    LRESULT selected = 0;
    Show([&](HWND window, SeenWindow&) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = 0x80;
        SetKeyboardState(keys);
        SendMessageW(List(window), WM_KEYDOWN, 'A', 0);
        selected = SendMessageW(List(window), LVM_GETSELECTEDCOUNT, 0, 0);
        SendMessageW(List(window), WM_KEYDOWN, 'C', 0);
        keys[VK_CONTROL] = 0;
        SetKeyboardState(keys);
        text = Clipboard();
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(3, selected);
    EXPECT_EQ(journal.CopyText({0, 1, 2}), text);
}

TEST_F(LoggedMessagesTest, CopyWithTheClipboardHeldElsewhereLeavesItAlone) {
    Log(2);
    SetClipboard(L"before");
    HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr), release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        OpenClipboard(nullptr);
        SetEvent(opened);
        WaitForSingleObject(release, 10000);
        CloseClipboard();
    });
    WaitForSingleObject(opened, 10000);
    Show([&](HWND window, SeenWindow&) {
        ClickCopy(window);
        SetEvent(release);
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
    holder.join();
    EXPECT_EQ(L"before", Clipboard());
    CloseHandle(opened), CloseHandle(release);
}

TEST_F(LoggedMessagesTest, EscCloseAndTheCloseBoxCloseIt) {
    Log(1);
    const std::pair<const char*, WindowScript::Action> cases[] = {
        {"Esc",
         [](HWND window, SeenWindow&) { PostMessageW(GetFocus() ? GetFocus() : window, WM_KEYDOWN, VK_ESCAPE, 0); }},
        {"Close", WindowScript::ClickButton(IDCANCEL)},
        {"the close box", [](HWND window, SeenWindow&) { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& [name, action] : cases) {
        SCOPED_TRACE(name);
        Show(action);
    }
}

}  // namespace
}  // namespace vantrell
