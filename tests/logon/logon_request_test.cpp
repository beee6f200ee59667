// The logon request against the service double: what the service receives, and how each kind
// of reply and each transport failure is answered. The password is distinctive so that a test
// can prove it is never written anywhere.
#include <gtest/gtest.h>

#include "tests/common/registry_snapshot.h"
#include "tests/common/temp_folder.h"
#include "tests/common/logon_script.h"
#include "tests/common/window_script.h"
#include "logon/logon_dialog.h"
#include "logon/logon_request.h"
#include "platform/ansi.h"
#include "service_double.h"
#include "support/shared_state.h"

namespace vantrell {
namespace {

using test::SeenWindow;
using test::WindowScript;

constexpr const char* kDialog = test::kLogonDialogTitle;
constexpr const char* kMessage = test::kMessageBoxTitle;
constexpr const wchar_t* kPassword = L"Zq7&x=Vw%+9";
constexpr const char* kPasswordSent = "Zq7%26x%3DVw%25%2B9";

class LogonRequest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(0, service.Start());
        SynchURL = FromAnsi(service.Url());
        ErrorLogSize = 1 << 20;
        ErrorLogLevel = 12;
        LogonID = 0;
        CompanyID = 0;
        LogonRequestTimeoutMs = 2000;
    }
    void TearDown() override {
        // Whatever happened, the password is nowhere to be found.
        std::string trace = Trace();
        EXPECT_EQ(std::string::npos, trace.find(ToAnsi(kPassword)));
        EXPECT_EQ(std::string::npos, trace.find(kPasswordSent));
        std::string hex;
        for (unsigned char c : ToAnsi(kPassword)) {
            char two[3];
            snprintf(two, 3, "%02X", c);
            hex += two;
        }
        for (const auto& [key, value] : test::Snapshot(HKEY_CURRENT_USER, L"Software"))
            EXPECT_EQ(std::wstring::npos, value.find(FromAnsi(hex))) << "in " << ToAnsi(key);
        service.Stop();
        ErrorLogSize = 0;
        ErrorLogLevel = 0;
    }
    std::string Trace() const { return test::ReadFileBytes(temp.File("VantrellTrace.log")); }
    bool Traced(const std::string& text) const { return Trace().find(text) != std::string::npos; }
    size_t Count(const std::string& text) const {
        const std::string trace = Trace();
        size_t count = 0;
        for (size_t at = trace.find(text); at != std::string::npos; at = trace.find(text, at + 1)) ++count;
        return count;
    }

    // Types the credentials and clicks OK.
    static WindowScript::Action LogOn(const wchar_t* user = L"jsmith", const wchar_t* password = kPassword) {
        return test::FillLogon(user, password);
    }
    WindowScript::Action NoteFocusThenCancel() { return test::NoteFocusThenCancel(focusId, selection); }
    // One attempt whose reply shows a message box, then Cancel: returns the message box seen.
    SeenWindow AttemptWithMessage() {
        WindowScript script;
        script.Expect(kDialog, LogOn());
        script.Expect(kMessage);
        script.Expect(kDialog, NoteFocusThenCancel());
        frmLogon.Show();
        EXPECT_EQ(0u, script.Pending());
        return script.Seen().size() > 1 ? script.Seen()[1] : SeenWindow{};
    }

    sim::ServiceDouble service;
    test::TempFolder temp;
    int focusId = 0;
    std::pair<DWORD, DWORD> selection{99, 99};
};

TEST_F(LogonRequest, ASuccessfulLogonSetsBothIdentifiersAndClosesTheDialog) {
    service.Reply(200, "OK", "logonid=1234;companyid=56");
    WindowScript script;
    script.Expect(kDialog, LogOn());
    script.Expect(kMessage);
    frmLogon.Show();
    ASSERT_EQ(0u, script.Pending());
    EXPECT_EQ("Successfully retrieved initialization parameters!", script.Seen()[1].text);
    EXPECT_EQ(IDI_EXCLAMATION, script.Seen()[1].icon);
    EXPECT_EQ(1234, LogonID);
    EXPECT_EQ(56, CompanyID);
    EXPECT_FALSE(frmLogon.Loaded());
    EXPECT_TRUE(Traced("frmLogon::GetLogonID:posting to " + service.Url() + " with cmd=logon&username=jsmith\r\n"));
    EXPECT_TRUE(Traced("frmLogon::GetLogonID:retrieved LogonID = 1234, CompanyID = 56\r\n"));
}

TEST_F(LogonRequest, TheServiceReceivesTheFormByteForByte) {
    service.Reply(200, "OK", "logonid=1;companyid=2");
    WindowScript script;
    script.Expect(kDialog, LogOn(L"J Smith"));
    script.Expect(kMessage);
    frmLogon.Show();
    auto requests = service.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("POST", requests[0].method);
    EXPECT_EQ("/outlook/default.asp", requests[0].path);
    EXPECT_EQ("application/x-www-form-urlencoded", requests[0].Header("Content-Type"));
    EXPECT_EQ(std::string("cmd=logon&username=J+Smith&password=") + kPasswordSent + "&clientVersion=9.9.9",
              requests[0].body);
}

TEST_F(LogonRequest, AUserNameOfSpacesIsSentAsPlusSigns) {
    service.Reply(200, "OK", "logonid=1;companyid=2");
    WindowScript script;
    script.Expect(kDialog, LogOn(L"   "));
    script.Expect(kMessage);
    frmLogon.Show();
    ASSERT_EQ(1u, service.Requests().size());
    EXPECT_EQ(0u, service.Requests()[0].body.find("cmd=logon&username=+++&password="));
}

TEST_F(LogonRequest, FieldNamesInAnyCaseAreAccepted) {
    service.Reply(200, "OK", "CompanyId=77;LOGONID=88");
    SeenWindow message;
    {
        WindowScript script;
        script.Expect(kDialog, LogOn());
        script.Expect(kMessage);
        frmLogon.Show();
        message = script.Seen()[1];
    }
    EXPECT_EQ("Successfully retrieved initialization parameters!", message.text);
    EXPECT_EQ(88, LogonID);
    EXPECT_EQ(77, CompanyID);
}

TEST_F(LogonRequest, OnlyALogonIdMeansTheAccountIsNotConfigured) {
    service.Reply(200, "OK", "logonid=5");
    WindowScript script;
    script.Expect(kDialog, LogOn());
    script.Expect(kMessage);
    frmLogon.Show();
    EXPECT_EQ("Your account is not configured correctly to use this application!", script.Seen()[1].text);
    EXPECT_EQ(IDI_HAND, script.Seen()[1].icon);
    EXPECT_FALSE(frmLogon.Loaded());
    EXPECT_TRUE(Traced("GetLogonID:retrieved LogonID = 5 but no CompanyID\r\n"));
}

TEST_F(LogonRequest, ALogonIdOfZeroMeansTheAccountIsNotEnabled) {
    service.Reply(200, "OK", "logonid=0;companyid=9");
    WindowScript script;
    script.Expect(kDialog, LogOn());
    script.Expect(kMessage);
    frmLogon.Show();
    EXPECT_EQ("Your account is not enabled for this application!", script.Seen()[1].text);
    EXPECT_TRUE(Traced("GetLogonID:no LogonID was returned\r\n"));
    EXPECT_EQ(9, CompanyID);
}

TEST_F(LogonRequest, AnInvalidPasswordSelectsThePasswordAndKeepsTheDialogOpen) {
    service.Reply(200, "OK", "error:invalid password");
    SeenWindow message = AttemptWithMessage();
    EXPECT_EQ("The Password is not valid!", message.text);
    EXPECT_EQ(IDI_HAND, message.icon);
    EXPECT_EQ(kIdPassword, focusId);
    EXPECT_EQ((std::pair<DWORD, DWORD>{0, static_cast<DWORD>(wcslen(kPassword))}), selection);
    EXPECT_TRUE(Traced("GetLogonID:ResponseText = error:invalid password\r\n"));
    EXPECT_EQ(0, LogonID);
}

TEST_F(LogonRequest, AnInvalidUserNameSelectsTheUserName) {
    service.Reply(200, "OK", "error:invalid username");
    SeenWindow message = AttemptWithMessage();
    EXPECT_EQ("The User Name is not valid!", message.text);
    EXPECT_EQ(kIdUserName, focusId);
    EXPECT_EQ((std::pair<DWORD, DWORD>{0, 6}), selection);
}

TEST_F(LogonRequest, EveryKnownErrorCodeHasItsMessage) {
    const std::pair<const char*, const char*> codes[] = {
        {"error:inactive user", "The User account is no longer active!"},
        {"error:no offlineaccess for user", "Your account is not enabled for off-line access!"},
        {"error:emailhistoryaccess not enabled for user", "Your account is not enabled for this service!"},
        {"error:no active company", "Your account is not associated with an active workgroup!"},
        {"error:no offline-enabled company", "Your account is not associated with any offline-enabled workgroup!"},
        {"error:MULTIPLE active companies", "Your account is associated with more than one offline-enabled workgroup!"},
    };
    WindowScript script;
    for (const auto& [reply, message] : codes) {
        std::string body = reply;
        script.Expect(kDialog, [this, body](HWND window, SeenWindow& seen) {
            service.Reply(200, "OK", body);
            LogOn()(window, seen);
        });
        script.Expect(kMessage);
    }
    script.Expect(kDialog, WindowScript::ClickButton(IDCANCEL));
    frmLogon.Show();
    ASSERT_EQ(0u, script.Pending());
    for (size_t i = 0; i < std::size(codes); ++i) EXPECT_EQ(codes[i].second, script.Seen()[2 * i + 1].text);
}

// Any other error reply (the prefix in capitals is not removed, a space after the colon stays
// part of the code, "error" anywhere makes it an error reply, even inside a logon reply or an HTML
// page) shows the reply itself, cut to 200 characters, and leaves the dialog open.
TEST_F(LogonRequest, AnErrorReplyWithAnUnknownCodeShowsTheReply) {
    auto ofLength = [](size_t length) {
        std::string reply = "error:unheard of ";
        while (reply.size() < length) reply += static_cast<char>('0' + reply.size() % 10);
        return reply;
    };
    const std::string replies[] = {
        "Error:invalid password", "error: invalid password", "error: xyz", "logonid=1;companyid=2;error=none",
        "<html><body><h1>Server Error in '/outlook' Application.</h1></body></html>",
        ofLength(199), ofLength(200), ofLength(201),
    };
    WindowScript script;
    for (const std::string& reply : replies) {
        script.Expect(kDialog, [this, reply](HWND window, SeenWindow& seen) {
            service.Reply(200, "OK", reply);
            LogOn()(window, seen);
        });
        script.Expect(kMessage);
    }
    script.Expect(kDialog, WindowScript::ClickButton(IDCANCEL));
    script.Always(kDialog, WindowScript::ClickButton(IDCANCEL));  // a message that never comes
    frmLogon.Show();
    ASSERT_EQ(0u, script.Pending());
    for (size_t i = 0; i < std::size(replies); ++i) {
        SCOPED_TRACE(replies[i]);
        const SeenWindow& message = script.Seen()[2 * i + 1];
        EXPECT_EQ(kMessage, message.title);
        EXPECT_EQ("The server could not log you on: " + replies[i].substr(0, 200), message.text);
        EXPECT_EQ(IDI_EXCLAMATION, message.icon);
        EXPECT_TRUE(Traced("GetLogonID:ResponseText = " + replies[i] + "\r\n"));
    }
    EXPECT_EQ(0, LogonID);
    EXPECT_EQ(std::size(replies), service.Requests().size());
}

// Waiting for the answer leaves the focus where the user had it when the request went out
// (here: Enter pressed in a box), whatever the answer that keeps the dialog open.
TEST_F(LogonRequest, TheFocusStaysWhereTheUserHadIt) {
    const struct {
        int box;
        int status;
        const char* reply;
    } cases[] = {
        {kIdPassword, 200, "error:inactive user"}, {kIdUserName, 200, "error:inactive user"},
        {kIdPassword, 200, "error:unheard of"},    {kIdPassword, 200, "<html><body>Welcome</body></html>"},
        {kIdUserName, 404, "logonid=1;companyid=2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.box << " " << c.status << " " << c.reply);
        service.Reply(c.status, "OK", c.reply);
        focusId = 0;
        WindowScript script;
        script.Expect(kDialog, [&c](HWND window, SeenWindow&) {
            SetDlgItemTextW(window, kIdUserName, L"jsmith");
            SetDlgItemTextW(window, kIdPassword, kPassword);
            HWND box = GetDlgItem(window, c.box);
            SetFocus(box);
            PostMessageW(box, WM_KEYDOWN, VK_RETURN, 0);  // the dialog's default button: OK
        });
        script.Expect(kMessage);
        script.Expect(kDialog, NoteFocusThenCancel());
        script.Always(kDialog, WindowScript::ClickButton(IDCANCEL));  // a message that never comes
        frmLogon.Show();
        ASSERT_EQ(0u, script.Pending());
        EXPECT_EQ(c.box, focusId);
    }
    EXPECT_EQ(std::size(cases), service.Requests().size());
}

// Windows takes the focus from a control of a window being disabled (this Wine leaves it): the
// focus taken away while the request is out comes back, once it is answered, to the box the
// user pressed Enter in.
TEST_F(LogonRequest, TheFocusTakenDuringTheWaitComesBackToTheUsersBox) {
    service.Stall(true);
    service.Reply(200, "OK", "error:inactive user");
    for (int box : {kIdPassword, kIdUserName}) {
        SCOPED_TRACE(box);
        focusId = 0;
        HWND focusWhileWaiting = reinterpret_cast<HWND>(1);
        bool disabledWhileWaiting = false;
        WindowScript script;
        script.Expect(kDialog, [box](HWND window, SeenWindow&) {
            SetDlgItemTextW(window, kIdUserName, L"jsmith");
            SetDlgItemTextW(window, kIdPassword, kPassword);
            SetFocus(GetDlgItem(window, box));
            PostMessageW(GetDlgItem(window, box), WM_KEYDOWN, VK_RETURN, 0);
        });
        const size_t request = service.Requests().size() + 1;
        script.Expect(kDialog, [&](HWND window, SeenWindow&) {
            ASSERT_TRUE(service.WaitForRequests(request, 2000));  // it is out: the dialog waits for it
            disabledWhileWaiting = !IsWindowEnabled(window);
            SetFocus(nullptr);
            focusWhileWaiting = GetFocus();
            service.Stall(false);
        });
        script.Expect(kMessage);
        script.Expect(kDialog, NoteFocusThenCancel());
        frmLogon.Show();
        service.Stall(true);
        ASSERT_EQ(0u, script.Pending());
        EXPECT_EQ("The User account is no longer active!", script.Seen()[2].text);
        EXPECT_TRUE(disabledWhileWaiting);
        EXPECT_EQ(nullptr, focusWhileWaiting);
        EXPECT_EQ(box, focusId);
    }
    EXPECT_EQ(2u, service.Requests().size());
}

TEST_F(LogonRequest, AnHtmlPageNamesTheConfiguredAddress) {
    service.Reply(200, "OK", "<html><body>Welcome</body></html>");
    SeenWindow message = AttemptWithMessage();
    EXPECT_EQ("Unable to contact web server for initialization!\r\nPlease verify that " + service.Url() +
                  " is the correct URL.",
              message.text);
    EXPECT_TRUE(Traced("GetLogonID:ResponseText = <html><body>Welcome</body></html>\r\n"));
}

// Status 200 is success whatever its reason phrase (HTTP allows any, or none); every other
// status is a failure, even with the text "OK", and its line names that text.
TEST_F(LogonRequest, TheStatusNumberDecidesWhateverItsText) {
    const struct {
        int status;
        const char* text;
        bool succeeds;
    } cases[] = {
        {200, "OK", true},   {200, "ok", true},  {200, "", true},    {200, "Success", true},
        {200, "Fine", true}, {201, "OK", false}, {404, "OK", false}, {500, "OK", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.status << " \"" << c.text << "\"");
        LogonID = 0;
        CompanyID = 0;
        service.Reply(c.status, c.text, "logonid=3;companyid=4");
        const size_t statusLines = Count("GetLogonID:statusText = ");
        WindowScript script;
        script.Expect(kDialog, LogOn());
        script.Expect(kMessage);
        // Cancels the dialog whenever no step waits for it: after a failure, or when it stays
        // open after what should have been a success.
        script.Always(kDialog, WindowScript::ClickButton(IDCANCEL));
        frmLogon.Show();
        ASSERT_EQ(0u, script.Pending());
        EXPECT_EQ(c.succeeds ? "Successfully retrieved initialization parameters!"
                             : "Unable to contact server, please try again later",
                  script.Seen()[1].text);
        EXPECT_EQ(c.succeeds ? 3 : 0, LogonID);
        EXPECT_EQ(statusLines + (c.succeeds ? 0 : 1), Count("GetLogonID:statusText = "));
        if (!c.succeeds) {
            EXPECT_TRUE(Traced("GetLogonID:statusText = OK\r\n"));
        }
    }
}

TEST_F(LogonRequest, AMissingPageGivesItsStatusText) {
    SynchURL = FromAnsi(service.Url("/no/such/page.asp"));
    SeenWindow message = AttemptWithMessage();
    EXPECT_EQ("Unable to contact server, please try again later", message.text);
    EXPECT_TRUE(Traced("GetLogonID:statusText = Not Found\r\n"));
}

TEST_F(LogonRequest, AnUnreachableServerIsReportedWithItsTransportFailure) {
    service.RefuseConnections();
    SeenWindow message = AttemptWithMessage();
    EXPECT_EQ("Unable to contact server, please try again later", message.text);
    EXPECT_FALSE(Traced("statusText = "));
    EXPECT_TRUE(Traced("frmLogon::GetLogonID:error:-")) << Trace();
    EXPECT_EQ(0, LogonID);
}

TEST_F(LogonRequest, AServerThatNeverAnswersIsGivenUpWithoutFreezingAnything) {
    service.Stall(true);
    bool enabledWhileWaiting = true;
    WindowScript script;
    script.Expect(kDialog, LogOn());
    // While the request waits, window messages still run (this script is one), and the
    // dialog cannot be used.
    bool hourglassWhileWaiting = false;
    script.Expect(kDialog, [&](HWND window, SeenWindow&) {
        enabledWhileWaiting = IsWindowEnabled(window) != FALSE;
        SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
        SendMessageA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        hourglassWhileWaiting = GetCursor() == LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT));
    });
    script.Expect(kMessage);
    script.Expect(kDialog, WindowScript::ClickButton(IDCANCEL));
    frmLogon.Show();
    ASSERT_EQ(0u, script.Pending());
    EXPECT_FALSE(enabledWhileWaiting);
    EXPECT_TRUE(hourglassWhileWaiting);
    EXPECT_EQ("Unable to contact server, please try again later", script.Seen()[2].text);
    EXPECT_FALSE(Traced("statusText = "));
    EXPECT_TRUE(Traced("frmLogon::GetLogonID:error:-2147023436 The server did not answer within 2 seconds\r\n"))
        << Trace();
    EXPECT_EQ(1u, service.Requests().size());
    EXPECT_EQ(0, LogonID);
}

TEST_F(LogonRequest, AConnectionDroppedWithoutAnAnswerIsATransportFailure) {
    service.Stall(true);
    WindowScript script;
    script.Expect(kDialog, [this](HWND window, SeenWindow& seen) {
        LogOn()(window, seen);
    });
    // The service takes the request, then goes away without a word.
    script.Expect(kDialog, [this](HWND, SeenWindow&) {
        service.WaitForRequests(1, 2000);
        service.Stop();
    });
    script.Expect(kMessage);
    script.Expect(kDialog, WindowScript::ClickButton(IDCANCEL));
    LogonRequestTimeoutMs = 10000;
    frmLogon.Show();
    ASSERT_EQ(0u, script.Pending());
    EXPECT_EQ("Unable to contact server, please try again later", script.Seen()[2].text);
    EXPECT_FALSE(Traced("statusText = "));
    EXPECT_TRUE(Traced("frmLogon::GetLogonID:error:-2146697208 The server could not be reached (status 0)\r\n"))
        << Trace();
}

}  // namespace
}  // namespace vantrell
