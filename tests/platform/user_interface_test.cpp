// The message box, the message-loop yield and the ANSI edge, with real windows under Wine.
#include <gtest/gtest.h>

#include "tests/common/window_script.h"
#include "platform/ansi.h"
#include "platform/message_box.h"
#include "platform/message_loop.h"

namespace vantrell {
namespace {

TEST(UserMessage, ShowsTitleTextIconAndOneOkButtonUntilClicked) {
    test::WindowScript script;
    script.Expect("Quorvane Email History");
    ShowMessage(L"A copy of this message has been forwarded for logging", MessageIcon::Information);
    ASSERT_EQ(1u, script.Seen().size());
    const test::SeenWindow& seen = script.Seen()[0];
    EXPECT_EQ("A copy of this message has been forwarded for logging", seen.text);
    EXPECT_EQ(IDI_ASTERISK, seen.icon);
    ASSERT_EQ(1u, seen.buttons.size());
    EXPECT_EQ("OK", seen.buttons[0]);
}

TEST(UserMessage, EachKindHasItsIcon) {
    test::WindowScript script;
    script.Expect("Quorvane Email History");
    script.Expect("Quorvane Email History");
    ShowMessage(L"refused", MessageIcon::Critical);
    ShowMessage(L"failed", MessageIcon::Exclamation);
    ASSERT_EQ(2u, script.Seen().size());
    EXPECT_EQ(IDI_HAND, script.Seen()[0].icon);
    EXPECT_EQ(IDI_EXCLAMATION, script.Seen()[1].icon);
}

int g_dispatched = 0;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_APP) ++g_dispatched;
    return DefWindowProcA(window, message, w, l);
}

TEST(MessageLoop, DispatchesWhatIsPendingAndPutsBackAQuit) {
    WNDCLASSA cls{};
    cls.lpfnWndProc = CountingProc;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.lpszClassName = "VantrellPumpTest";
    RegisterClassA(&cls);
    HWND window = CreateWindowA("VantrellPumpTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, cls.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    g_dispatched = 0;
    PostMessageA(window, WM_APP, 0, 0);
    PostMessageA(window, WM_APP, 0, 0);
    ProcessPendingMessages();
    EXPECT_EQ(2, g_dispatched);

    PostQuitMessage(7);
    PostMessageA(window, WM_APP, 0, 0);
    ProcessPendingMessages();
    MSG msg;
    // The quit is back in the queue for the host's own loop.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(7u, msg.wParam);
    ProcessPendingMessages();
    DestroyWindow(window);
}

TEST(Ansi, RoundTripsTheCodePageAndRefusesWhatItCannotHold) {
    UINT cp = GetACP();
    ASSERT_EQ(1252u, cp) << "these expectations are for the Western code page";
    EXPECT_EQ("caf\xE9", ToAnsi(L"caf\u00E9"));
    EXPECT_EQ(L"caf\u00E9", FromAnsi("caf\xE9"));
    std::string out;
    EXPECT_TRUE(ToAnsiExact(L"a&b=c", out));
    EXPECT_EQ("a&b=c", out);
    EXPECT_FALSE(ToAnsiExact(L"\u4E2D", out));   // no code at all
    EXPECT_FALSE(ToAnsiExact(L"\u0101", out));   // only a best-fit look-alike ('a')
    EXPECT_EQ(std::string("a\0b", 3), ToAnsi(std::wstring_view(L"a\0b", 3)));
}

}  // namespace
}  // namespace vantrell
