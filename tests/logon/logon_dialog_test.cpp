// The logon dialog as a user meets it: layout, focus, keys, and the checks made before any
// request is sent. Driven as a real modal dialog from inside its own message loop.
#include <gtest/gtest.h>

#include "tests/common/temp_folder.h"
#include "tests/common/logon_script.h"
#include "tests/common/window_script.h"
#include "logon/logon_dialog.h"
#include "support/shared_state.h"

namespace vantrell {
namespace {

using test::SeenWindow;
using test::WindowScript;

constexpr const char* kDialog = test::kLogonDialogTitle;
constexpr const char* kMessage = test::kMessageBoxTitle;

class LogonDialogTest : public testing::Test {
protected:
    void SetUp() override {
        ErrorLogSize = 1 << 20;
        ErrorLogLevel = 12;
        SynchURL = L"http://127.0.0.1:9/outlook/default.asp";  // nothing is sent in these tests
        LogonID = 0;
        CompanyID = 0;
    }
    void TearDown() override {
        ErrorLogSize = 0;
        ErrorLogLevel = 0;
    }
    std::string Trace() const { return test::ReadFileBytes(temp.File("VantrellTrace.log")); }

    static WindowScript::Action Type(const wchar_t* user, const wchar_t* password, int click = IDOK) {
        return test::FillLogon(user, password, click);
    }
    WindowScript::Action NoteFocusThenCancel() { return test::NoteFocusThenCancel(focusId, selection); }

    test::TempFolder temp;
    int focusId = 0;
    std::pair<DWORD, DWORD> selection{99, 99};
};

RECT ClientRectOf(HWND dialog, int id) {
    RECT r;
    GetWindowRect(GetDlgItem(dialog, id), &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

TEST_F(LogonDialogTest, IsLaidOutFromItsTableAndStartsInTheUserNameBox) {
    WindowScript script;
    struct Observed {
        std::string caption;
        int focus = 0, defaultId = 0;
        char passwordChar = 0;
        RECT userBox{}, client{};
        int dpi = 0;
        std::vector<int> tabOrder;
        HWND afterUserLabel = nullptr, afterPasswordLabel = nullptr, userBoxWindow = nullptr, passwordBoxWindow = nullptr;
        POINT centre{}, screenCentre{};
        bool unicode = false;
    } seen;
    script.Expect(kDialog, [&](HWND window, SeenWindow& what) {
        seen.caption = what.title;
        seen.focus = GetDlgCtrlID(GetFocus());
        seen.defaultId = LOWORD(SendMessageA(window, DM_GETDEFID, 0, 0));
        seen.passwordChar = static_cast<char>(SendDlgItemMessageA(window, kIdPassword, EM_GETPASSWORDCHAR, 0, 0));
        seen.userBox = ClientRectOf(window, kIdUserName);
        GetClientRect(window, &seen.client);
        HDC screen = GetDC(nullptr);
        seen.dpi = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
        HWND item = GetDlgItem(window, kIdUserName);
        for (int i = 0; i < 4; ++i) {
            seen.tabOrder.push_back(GetDlgCtrlID(item));
            item = GetNextDlgTabItem(window, item, FALSE);
        }
        seen.afterUserLabel = GetWindow(GetDlgItem(window, kIdLabelUserName), GW_HWNDNEXT);
        seen.afterPasswordLabel = GetWindow(GetDlgItem(window, kIdLabelPassword), GW_HWNDNEXT);
        seen.userBoxWindow = GetDlgItem(window, kIdUserName);
        seen.passwordBoxWindow = GetDlgItem(window, kIdPassword);
        // Unicode windows, so that the boxes hold every character as typed.
        seen.unicode = IsWindowUnicode(window) && IsWindowUnicode(seen.userBoxWindow) &&
                       IsWindowUnicode(seen.passwordBoxWindow);
        RECT frame;
        GetWindowRect(window, &frame);
        seen.centre = {(frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2};
        RECT work;
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        seen.screenCentre = {(work.left + work.right) / 2, (work.top + work.bottom) / 2};
        // Esc is the cancel button.
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    frmLogon.Show();
    ASSERT_EQ(0u, script.Pending());
    EXPECT_EQ(kDialog, seen.caption);
    EXPECT_EQ(kIdUserName, seen.focus);
    EXPECT_EQ(IDOK, seen.defaultId);
    EXPECT_EQ('*', seen.passwordChar);
    EXPECT_TRUE(seen.unicode);
    auto pixels = [&](int twips) { return MulDiv(twips, seen.dpi, 1440); };
    EXPECT_EQ(pixels(1440), seen.userBox.left);
    EXPECT_EQ(pixels(480), seen.userBox.top);
    EXPECT_EQ(pixels(2535), seen.userBox.right - seen.userBox.left);
    EXPECT_EQ(pixels(5385), seen.client.right);
    EXPECT_EQ(pixels(2205), seen.client.bottom);
    EXPECT_EQ((std::vector<int>{kIdUserName, kIdPassword, IDOK, IDCANCEL}), seen.tabOrder);
    // Each label comes right before its box, so its access key (Alt+U, Alt+P) lands there.
    EXPECT_EQ(seen.userBoxWindow, seen.afterUserLabel);
    EXPECT_EQ(seen.passwordBoxWindow, seen.afterPasswordLabel);
    EXPECT_LE(std::abs(seen.centre.x - seen.screenCentre.x), 1);
    EXPECT_LE(std::abs(seen.centre.y - seen.screenCentre.y), 1);
    EXPECT_FALSE(frmLogon.Loaded());
}

TEST_F(LogonDialogTest, AnEmptyUserNameIsAskedForAndNothingIsSent) {
    WindowScript script;
    script.Expect(kDialog, Type(L"", L"secret"));
    script.Expect(kMessage);
    script.Expect(kDialog, NoteFocusThenCancel());
    frmLogon.Show();
    ASSERT_EQ(0u, script.Pending());
    EXPECT_EQ("Please enter your user name!", script.Seen()[1].text);
    EXPECT_EQ(IDI_HAND, script.Seen()[1].icon);
    EXPECT_EQ(kIdUserName, focusId);
    EXPECT_EQ((std::pair<DWORD, DWORD>{0, 0}), selection);
    EXPECT_EQ(std::string::npos, Trace().find("posting to"));
    EXPECT_EQ(0, LogonID);
}

TEST_F(LogonDialogTest, AnEmptyPasswordIsAskedFor) {
    WindowScript script;
    script.Expect(kDialog, Type(L"jsmith", L""));
    script.Expect(kMessage);
    script.Expect(kDialog, NoteFocusThenCancel());
    frmLogon.Show();
    ASSERT_EQ(0u, script.Pending());
    EXPECT_EQ("Please enter your password!", script.Seen()[1].text);
    EXPECT_EQ(kIdPassword, focusId);
    EXPECT_EQ(std::string::npos, Trace().find("posting to"));
}

TEST_F(LogonDialogTest, ACharacterTheFormCannotCarryIsRefusedBeforeSending) {
    WindowScript script;
    script.Expect(kDialog, Type(L"jsmith", L"pass\u4E2D"));
    script.Expect(kMessage);
    script.Expect(kDialog, NoteFocusThenCancel());
    frmLogon.Show();
    ASSERT_EQ(0u, script.Pending());
    EXPECT_NE(std::string::npos, script.Seen()[1].text.find("may only contain"));
    EXPECT_EQ(kIdPassword, focusId);
    EXPECT_EQ(std::string::npos, Trace().find("posting to"));
}

TEST_F(LogonDialogTest, TheCloseBoxActsLikeCancel) {
    LogonID = 7;
    WindowScript script;
    script.Expect(kDialog, [](HWND window, SeenWindow&) {
        SetDlgItemTextW(window, kIdUserName, L"jsmith");
        PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    frmLogon.Show();
    EXPECT_EQ(0u, script.Pending());
    EXPECT_FALSE(frmLogon.Loaded());
    EXPECT_EQ(7, LogonID);  // nothing changes
}

TEST_F(LogonDialogTest, UnloadingWhenNotLoadedIsHarmless) {
    frmLogon.Unload();
    EXPECT_FALSE(frmLogon.Loaded());
}

}  // namespace
}  // namespace vantrell
