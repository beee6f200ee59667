// The progress window with real windows under Wine: what it shows, Cancel in each of its forms,
// its owner left enabled, and the messages its steps dispatch.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <climits>
#include <functional>

#include "platform/progress_window.h"
#include "tests/common/window_script.h"

namespace vantrell {
namespace {

using test::SeenWindow;
using test::WindowScript;

// Steps through a run until `done` or about five seconds have passed.
void StepUntil(ProgressWindow& progress, const std::function<bool()>& done) {
    for (size_t i = 0; i < 500 && !done(); ++i) {
        progress.Step(i, L"Logging");
        Sleep(10);
    }
}

TEST(ProgressWindow, StandsOverItsEnabledOwnerWithTitleAndCancelUntilDestroyed) {
    HWND owner = CreateWindowExA(0, "STATIC", "Explorer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                                 nullptr, nullptr, nullptr);
    HWND window = nullptr;
    {
        ProgressWindow progress(owner, 10);
        window = progress.Handle();
        ASSERT_NE(nullptr, window);
        progress.Step(1, L"Logging 2 of 10");
        const SeenWindow seen = test::Read(window);
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_EQ(kProgressTitle, seen.title);
        EXPECT_EQ(std::vector<std::string>{"Cancel"}, seen.buttons);
        EXPECT_NE(nullptr, GetDlgItem(window, IDCANCEL));
        EXPECT_EQ(owner, seen.owner);
        EXPECT_TRUE(IsWindowEnabled(owner));
        EXPECT_FALSE(progress.Cancelled());
    }
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

TEST(ProgressWindow, StepShowsItsTextAndWhereTheRunIs) {
    struct Case {
        size_t total, done;
        const wchar_t* text;
        int position, upper;
    };
    std::vector<Case> cases = {
        {10, 0, L"Logging 1 of 10", 0, 10},
        {10, 3, L"RE: caf\u00e9 \u65e5\u672c", 3, 10},
        {10, 10, L"", 10, 10},
        {10, 11, L"past the end", 10, 10},
        {0, 0, L"nothing to log", 0, 1},
        {1, 1, L"&one", 1, 1},
    };
    if (sizeof(size_t) > 4) cases.push_back({size_t{INT_MAX} * 4, size_t{INT_MAX} * 2, L"huge", INT_MAX / 2, INT_MAX});
    for (const Case& c : cases) {
        ProgressWindow progress(nullptr, c.total);
        progress.Step(c.done, c.text);
        HWND text = FindWindowExW(progress.Handle(), nullptr, L"Static", nullptr);
        HWND bar = FindWindowExW(progress.Handle(), nullptr, PROGRESS_CLASSW, nullptr);
        ASSERT_TRUE(text && bar);
        wchar_t shown[256] = {};
        GetWindowTextW(text, shown, 256);
        EXPECT_EQ(std::wstring(c.text), shown);
        EXPECT_EQ(c.position, SendMessageW(bar, PBM_GETPOS, 0, 0)) << c.done << " of " << c.total;
        EXPECT_EQ(c.upper, SendMessageW(bar, PBM_GETRANGE, FALSE, 0)) << c.total;
    }
}

TEST(ProgressWindow, CancelButtonEscAndCloseBoxCancelAndTheWindowStays) {
    const std::pair<const char*, WindowScript::Action> cases[] = {
        {"the button", WindowScript::ClickButton(IDCANCEL)},
        {"Esc",
         [](HWND window, SeenWindow&) {
             HWND focus = GetFocus();
             PostMessageW(focus && IsChild(window, focus) ? focus : window, WM_KEYDOWN, VK_ESCAPE, 0);
         }},
        {"the close box", [](HWND window, SeenWindow&) { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& [name, action] : cases) {
        WindowScript script;
        script.Expect(kProgressTitle, action);
        ProgressWindow progress(nullptr, 500);
        StepUntil(progress, [&] { return progress.Cancelled(); });
        EXPECT_EQ(0u, script.Pending()) << name;
        EXPECT_TRUE(progress.Cancelled()) << name;
        progress.Step(3, L"after");
        EXPECT_TRUE(IsWindow(progress.Handle()) && IsWindowVisible(progress.Handle())) << name;
    }
}

TEST(ProgressWindow, AQuitPostedDuringAStepStaysForTheHostsLoop) {
    WindowScript script;
    script.Expect(kProgressTitle, [](HWND, SeenWindow&) { PostQuitMessage(9); });
    ProgressWindow progress(nullptr, 500);
    StepUntil(progress, [&] { return script.Pending() == 0; });
    progress.Step(2, L"after the quit");
    ASSERT_EQ(0u, script.Pending());
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(9u, msg.wParam);
    EXPECT_FALSE(progress.Cancelled());
}

int g_ticks = 0;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) { ++g_ticks; }

TEST(ProgressWindow, WithoutItsWindowTheRunGoesOnAndStepStillDispatches) {
    HWND gone = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    ProgressWindow progress(gone, 3);  // an owner that is no longer there: no window can be made
    EXPECT_EQ(nullptr, progress.Handle());
    g_ticks = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 10, CountTick);
    StepUntil(progress, [] { return g_ticks > 0; });
    KillTimer(nullptr, timer);
    EXPECT_LT(0, g_ticks);
    EXPECT_FALSE(progress.Cancelled());
}

}  // namespace
}  // namespace vantrell
