// The explorers' menu as the user meets it in Outlook 2010 (both forms of the mail windows'
// commands): a message logged again only when the user says so, the history window, a run
// over the selection stopped by Cancel or finding nothing to do, signing out and in again, and
// a journal that cannot be kept.
#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "agent_mailbox.h"
#include "commands/logged_messages_window.h"
#include "mailbox.h"
#include "outlook.h"
#include "platform/late_bound.h"
#include "platform/progress_window.h"
#include "service_double.h"
#include "tests/common/logon_script.h"
#include "tests/common/registered_helper.h"
#include "tests/scenario/addin_fixture.h"

namespace vantrell::test {
namespace {

using sim::Outlook;

const GUID kPublicStrings = {0x00020329, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const WindowScript::Action kLeaveOpen = [](HWND, SeenWindow&) {};

class ExplorerCommands : public RegisteredAddinTest {
protected:
    void SetUp() override {
        RegisteredAddinTest::SetUp();
        SetSetting("ErrorLogLevel", 8);
        mailbox->ConnectAgent(agent);
        ASSERT_NE(0, service.Start());
        SetSetting("SynchURL", service.Url());
    }
    void TearDown() override {
        if (outlook) {
            outlook->ShutDown();
            EXPECT_EQ(0, outlook->ReferencesHeldOutside()) << outlook->DescribeHeldOutside();
        }
        outlook.reset();
        service.Stop();
        RegisteredAddinTest::TearDown();
    }
    void Start() {
        outlook = std::make_unique<Outlook>(L"14.0.7015.1000", mailbox);
        outlook->StartUp();
    }
    std::wstring Received(const std::wstring& subject) {
        sim::MailFields mail;
        mail.subject = subject;
        mail.sender = {L"Ann Buyer", L"ann@customer.example"};
        mail.to = {{L"", L"owner@example.com"}};
        return mailbox->AddReceivedMail(mail);
    }
    void Menu(const wchar_t* tag) { outlook->ClickMenuButton(outlook->MainExplorer(), L"CRM.Menu", tag); }
    // The menu's buttons shown now, by tag.
    std::vector<std::wstring> MenuShown() {
        std::vector<std::wstring> shown;
        for (const sim::ControlInfo& control : outlook->ExplorerBarControls(outlook->MainExplorer()))
            if (control.tag == L"CRM.Menu")
                for (const sim::ControlInfo& button : control.controls)
                    if (button.visible) shown.push_back(button.tag);
        return shown;
    }
    std::vector<std::wstring> Buttons(int window) {
        std::vector<std::wstring> tags;
        for (const sim::ControlInfo& control : outlook->BarControls(window))
            if (control.tag.rfind(L"CRM.", 0) == 0 && control.visible) tags.push_back(control.tag);
        for (const sim::RibbonControlState& control : outlook->Ribbon(window))
            if (control.visible) tags.push_back(control.id);
        return tags;
    }
    long StoredLogonId() {
        std::vector<sim::StoredItem> hidden = mailbox->HiddenItems();
        if (hidden.empty()) return -1;
        const com::Variant* logon = hidden[0].FindNamed(kPublicStrings, L"LogonID");
        return logon ? logon->ToLong() : -1;
    }

    RegisteredHelper helper;
    sim::ServiceDouble service;
    std::shared_ptr<sim::Mailbox> mailbox = std::make_shared<sim::Mailbox>();
    std::shared_ptr<sim::AgentMailbox> agent =
        std::make_shared<sim::AgentMailbox>(std::vector<std::wstring>{L"log@history.quorvane.com"});
    std::unique_ptr<Outlook> outlook;
};

// The question, its buttons and its default, then the answer given.
WindowScript::Action Answer(int button, bool& noIsDefault) {
    return [button, &noIsDefault](HWND window, SeenWindow& seen) {
        HWND no = GetDlgItem(window, IDNO);
        noIsDefault = no && (GetWindowLongA(no, GWL_STYLE) & BS_DEFPUSHBUTTON) == BS_DEFPUSHBUTTON;
        (void)seen;
        WindowScript::ClickButton(button)(window, seen);
    };
}

TEST_F(ExplorerCommands, AMessageLoggedBeforeIsLoggedAgainOnlyWhenTheUserSaysYes) {
    struct Case {
        const char* name;
        bool ribbon;
        int answer;
        size_t forwards;
    };
    const Case cases[] = {
        {"ButtonNo", false, IDNO, 1},
        {"ButtonYes", false, IDYES, 2},
        {"RibbonNo", true, IDNO, 1},
        {"RibbonYes", true, IDYES, 2},
    };
    mailbox->AddStoredLogon(4321, 65);
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t before = agent->Count();
        const size_t seenBefore = windows.Seen().size();
        const std::wstring entryId = Received(L"Offer " + std::wstring(c.name, c.name + strlen(c.name)));
        bool noIsDefault = false;
        windows.Expect(kMessageBoxTitle);  // logged
        windows.Expect(kMessageBoxTitle, Answer(c.answer, noIsDefault));
        if (c.answer == IDYES) windows.Expect(kMessageBoxTitle);
        for (int round = 0; round < 2; ++round) {
            const int window = outlook->OpenItem(entryId);
            if (c.ribbon)
                outlook->ClickRibbon(window, L"QuorvaneLogMessage");
            else
                outlook->ClickButton(window, L"CRM.EmailLog");
            outlook->CloseInspector(window);
        }
        EXPECT_EQ(0u, windows.Pending());
        EXPECT_EQ(before + c.forwards, agent->Count());
        ASSERT_LT(seenBefore + 1, windows.Seen().size());
        const SeenWindow& question = windows.Seen()[seenBefore + 1];
        EXPECT_EQ(0u, question.text.rfind("This message was logged on ", 0)) << question.text;
        EXPECT_NE(std::string::npos, question.text.find(". Log it again?")) << question.text;
        EXPECT_EQ(IDI_QUESTION, question.icon);
        EXPECT_TRUE(noIsDefault);
    }
}

TEST_F(ExplorerCommands, TheHistoryWindowListsWhatWasLoggedNewestFirst) {
    mailbox->AddStoredLogon(4321, 65);
    const std::wstring first = Received(L"First"), second = Received(L"Second");
    Start();
    windows.Expect(kMessageBoxTitle);
    outlook->SelectItems(outlook->MainExplorer(), {first, second});
    Menu(L"CRM.LogSelected");
    std::vector<std::string> rows;
    windows.Expect(kLoggedMessagesTitle, [&rows](HWND window, SeenWindow&) {
        HWND list = FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr);
        const int count = list ? static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) : 0;
        for (int row = 0; row < count; ++row) {
            char subject[256] = {}, result[64] = {};
            LVITEMA item{};
            item.iSubItem = 1;
            item.pszText = subject;
            item.cchTextMax = sizeof subject;
            SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
            item.iSubItem = 2;
            item.pszText = result;
            item.cchTextMax = sizeof result;
            SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
            rows.push_back(std::string(subject) + " | " + result);
        }
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    Menu(L"CRM.LoggedMessages");
    EXPECT_EQ(0u, windows.Pending());
    EXPECT_EQ((std::vector<std::string>{"Second | Logged (Selection)", "First | Logged (Selection)"}), rows);
}

TEST_F(ExplorerCommands, ARunOverTheSelectionStopsAtCancelOrWhenNothingIsSelected) {
    mailbox->AddStoredLogon(4321, 65);
    std::vector<std::wstring> selected;
    for (int i = 0; i < 30; ++i) selected.push_back(Received(L"Lead " + std::to_wstring(i)));
    Start();
    windows.Expect(kMessageBoxTitle);  // nothing selected
    outlook->SelectItems(outlook->MainExplorer(), {});
    Menu(L"CRM.LogSelected");
    ASSERT_EQ(1u, windows.Seen().size());
    EXPECT_EQ("Select the messages to log in the message list first.", windows.Seen()[0].text);
    EXPECT_EQ(0u, agent->Count());

    windows.Expect(kProgressTitle, WindowScript::ClickButton(IDCANCEL));
    windows.Expect(kMessageBoxTitle);
    outlook->SelectItems(outlook->MainExplorer(), selected);
    Menu(L"CRM.LogSelected");
    ASSERT_EQ(3u, windows.Seen().size());
    const size_t logged = agent->Count();
    EXPECT_GE(logged, 1u);
    EXPECT_LT(logged, selected.size());
    EXPECT_EQ(0u, windows.Seen()[2].text.rfind("Stopped before the end: " + std::to_string(logged) +
                                                 " of the 30 selected items were logged.\n\nLogged: " +
                                                 std::to_string(logged) + "\n", 0))
        << windows.Seen()[2].text;
}

TEST_F(ExplorerCommands, TheRunKeepsToWhatWasSelectedWhenTheClickCameAndCountsAMessageDeletedMeanwhile) {
    mailbox->AddStoredLogon(4321, 65);
    std::vector<std::wstring> selected;
    for (int i = 0; i < 30; ++i) selected.push_back(Received(L"Lead " + std::to_wstring(i)));
    const std::wstring other = Received(L"Other");
    Start();
    // While the progress window is up the user selects another message and deletes one the run
    // has not reached yet.
    windows.Expect(kProgressTitle, [&](HWND, SeenWindow&) {
        outlook->SelectItems(outlook->MainExplorer(), {other});
        outlook->DeleteItem(selected[28]);
    });
    windows.Expect(kMessageBoxTitle);
    outlook->SelectItems(outlook->MainExplorer(), selected);
    Menu(L"CRM.LogSelected");
    ASSERT_EQ(2u, windows.Seen().size());
    EXPECT_EQ("Logged: 29\nSkipped: 0 (0 not mail, 0 already logged)\nFailed: 1\n\n"
              "Item 29: The item has been moved or deleted.",
              windows.Seen()[1].text);
    EXPECT_EQ(29u, agent->Count());
}

TEST_F(ExplorerCommands, MoreThan500SelectedItemsAreLoggedOnlyOnceTheUserSaysSo) {
    mailbox->AddStoredLogon(4321, 65);
    std::vector<std::wstring> selected;
    for (int i = 0; i < 501; ++i) selected.push_back(mailbox->AddItem(L"IPM.Note", L"Note " + std::to_wstring(i)));
    Start();
    // 501: asked, and No logs nothing.
    windows.Expect(kMessageBoxTitle, WindowScript::ClickButton(IDNO));
    outlook->SelectItems(outlook->MainExplorer(), selected);
    Menu(L"CRM.LogSelected");
    ASSERT_EQ(1u, windows.Seen().size());
    EXPECT_EQ("Log the 501 selected items? This may take a while; you can stop it at any time with Cancel.",
              windows.Seen()[0].text);
    EXPECT_EQ(0u, agent->Count());
    // 500: no question; the run starts at once (and is stopped at once).
    selected.pop_back();
    windows.Expect(kProgressTitle, WindowScript::ClickButton(IDCANCEL));
    windows.Expect(kMessageBoxTitle);
    outlook->SelectItems(outlook->MainExplorer(), selected);
    Menu(L"CRM.LogSelected");
    ASSERT_EQ(3u, windows.Seen().size());
    EXPECT_EQ(kProgressTitle, windows.Seen()[1].title);
    EXPECT_EQ(0u, windows.Seen()[2].text.rfind("Stopped before the end: ", 0)) << windows.Seen()[2].text;
}

TEST_F(ExplorerCommands, SigningOutHidesTheCommandsUntilTheUserSignsInAgain) {
    mailbox->AddStoredLogon(4321, 65);
    const std::wstring entryId = Received(L"Order 1177");
    Start();
    const int open = outlook->OpenItem(entryId);
    EXPECT_EQ((std::vector<std::wstring>{L"CRM.EmailLog", L"QuorvaneGroup", L"QuorvaneLogMessage"}), Buttons(open));
    EXPECT_EQ((std::vector<std::wstring>{L"CRM.LogSelected", L"CRM.LoggedMessages", L"CRM.SignOut"}), MenuShown());

    Menu(L"CRM.SignOut");
    outlook->ProcessMessages();  // the ribbon asks again when Outlook next dispatches its messages
    EXPECT_EQ(std::vector<std::wstring>{}, Buttons(open));
    EXPECT_EQ((std::vector<std::wstring>{L"CRM.LogSelected", L"CRM.LoggedMessages", L"CRM.SignIn"}), MenuShown());
    EXPECT_EQ(0, StoredLogonId());
    const int openedSignedOut = outlook->OpenItem(Received(L"Order 1178"));
    EXPECT_EQ(std::vector<std::wstring>{}, Buttons(openedSignedOut));

    service.Reply(200, "OK", "logonid=4321;companyid=65");
    windows.Expect(kLogonDialogTitle, FillLogon(L"jsmith", L"Pw!0wZ"));
    windows.Expect(kMessageBoxTitle);  // the logon worked
    Menu(L"CRM.SignIn");
    outlook->ProcessMessages();
    EXPECT_EQ(0u, windows.Pending());
    EXPECT_EQ((std::vector<std::wstring>{L"CRM.EmailLog", L"QuorvaneGroup", L"QuorvaneLogMessage"}), Buttons(open));
    EXPECT_EQ((std::vector<std::wstring>{L"CRM.EmailLog", L"QuorvaneGroup", L"QuorvaneLogMessage"}),
              Buttons(openedSignedOut));
    EXPECT_EQ((std::vector<std::wstring>{L"CRM.LogSelected", L"CRM.LoggedMessages", L"CRM.SignOut"}), MenuShown());
    EXPECT_EQ(4321, StoredLogonId());
    windows.Expect(kMessageBoxTitle);
    outlook->ClickButton(openedSignedOut, L"CRM.EmailLog");
    EXPECT_EQ(1u, agent->Count());
    EXPECT_EQ(std::string::npos, Trace().find("Pw!0wZ"));

    // Signed out at the end of the day: the next start asks for a logon.
    Menu(L"CRM.SignOut");
    outlook->ShutDown();
    EXPECT_EQ(0, outlook->ReferencesHeldOutside()) << outlook->DescribeHeldOutside();
    const size_t seen = windows.Seen().size();
    Start();
    ASSERT_LT(seen, windows.Seen().size());
    EXPECT_EQ(kLogonDialogTitle, windows.Seen()[seen].title);
}

TEST_F(ExplorerCommands, AJournalThatCannotBeKeptLosesNoMessage) {
    // The application-data folder is a file: the journal's folder cannot be made.
    const std::string folder = AppData();
    RemoveDirectoryA(folder.c_str());
    WriteFileBytes(folder.substr(0, folder.size() - 1), "not a folder");
    mailbox->AddStoredLogon(4321, 65);
    const std::wstring entryId = Received(L"Order 1177");
    Start();
    windows.Expect(kMessageBoxTitle);
    const int window = outlook->OpenItem(entryId);
    outlook->ClickButton(window, L"CRM.EmailLog");
    outlook->CloseInspector(window);
    EXPECT_EQ(1u, agent->Count());
    EXPECT_EQ("A copy of this message has been forwarded for logging", windows.Seen().back().text);

    windows.Expect(kMessageBoxTitle);
    outlook->SelectItems(outlook->MainExplorer(), {entryId});
    Menu(L"CRM.LogSelected");
    EXPECT_EQ(2u, agent->Count());  // not recognised as logged, but logged
    EXPECT_NE(std::string::npos, windows.Seen().back().text.find("cannot be kept")) << windows.Seen().back().text;

    windows.Expect(kMessageBoxTitle);
    Menu(L"CRM.LoggedMessages");
    EXPECT_EQ(0u, windows.Seen().back().text.rfind("The list of logged messages cannot be kept", 0))
        << windows.Seen().back().text;
    EXPECT_TRUE(Traced("Journal::Open:")) << "the journal's failure is traced";
}

}  // namespace
}  // namespace vantrell::test
