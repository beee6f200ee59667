// A working day with the registered add-in in every generation of Outlook the simulator can be:
// the first start with the logon dialog against the service double, Log Message on a received
// message, Send && Log on a new one, with the command-bar buttons or the ribbon as that Outlook
// has them, then everything closed and Outlook shut down. Checked afterwards: what the service
// received, what the user saw, the trace, and that nothing of Outlook's or Word's is still held.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "agent_mailbox.h"
#include "tests/common/logon_script.h"
#include "tests/common/registered_helper.h"
#include "mailbox.h"
#include "outlook.h"
#include "platform/late_bound.h"
#include "platform/progress_window.h"
#include "tests/scenario/addin_fixture.h"
#include "tests/scenario/working_days.h"
#include "service_double.h"
#include "sim/word/word.h"

namespace vantrell::test {
namespace {

using sim::Outlook;

class WorkingDay : public RegisteredAddinTest, public testing::WithParamInterface<Day> {
protected:
    void SetUp() override {
        RegisteredAddinTest::SetUp();
        ASSERT_NE(0, service.Start());
        SetSetting("SynchURL", service.Url());
        SetSetting("ErrorLogLevel", 8);
        mailbox->ConnectAgent(agent);
    }
    void TearDown() override {
        service.Stop();
        RegisteredAddinTest::TearDown();
    }
    // The add-in's buttons in a window's bar (Word's in WordMail), visible ones only.
    std::vector<std::wstring> BarButtons(Outlook& outlook, int window) {
        std::vector<std::wstring> tags;
        for (const sim::ControlInfo& control :
             GetParam().wordMail ? word.BarControls(L"Standard") : outlook.BarControls(window))
            if (control.tag.rfind(L"CRM.", 0) == 0 && control.visible) tags.push_back(control.tag);
        return tags;
    }
    std::vector<std::wstring> RibbonButtons(Outlook& outlook, int window) {
        std::vector<std::wstring> shown;
        for (const sim::RibbonControlState& control : outlook.Ribbon(window))
            if (control.visible) shown.push_back(control.id);
        return shown;
    }
    static std::vector<std::wstring> Shown(bool present, std::vector<std::wstring> controls) {
        return present ? controls : std::vector<std::wstring>{};
    }
    // The customer's message the days log, received in the Inbox; its EntryID.
    std::wstring AddCustomersOrder() {
        sim::MailFields received;
        received.subject = L"Order 1177";
        received.sender = {L"Ann Buyer", L"ann@customer.example"};
        received.to = {{L"", L"owner@example.com"}};
        return mailbox->AddReceivedMail(received);
    }
    size_t Count(const std::string& line) const {
        auto lines = TraceLines();
        return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
    }

    RegisteredHelper helper;
    sim::ServiceDouble service;
    std::shared_ptr<sim::Mailbox> mailbox = std::make_shared<sim::Mailbox>();
    std::shared_ptr<sim::AgentMailbox> agent =
        std::make_shared<sim::AgentMailbox>(std::vector<std::wstring>{L"log@history.quorvane.com"});
    sim::Word word;
};

TEST_P(WorkingDay, LogsAReceivedMessageAndSendsANewOne) {
    const Day& day = GetParam();
    const std::wstring entryId = AddCustomersOrder();
    service.Reply(200, "OK", "logonid=4321;companyid=65");
    windows.Expect(kLogonDialogTitle, FillLogon(L"jsmith", L"Pw!0wZ"));
    windows.Expect(kMessageBoxTitle);  // the logon worked
    windows.Expect(kMessageBoxTitle);  // the message was logged

    if (day.wordMail) word.Start();
    {
        Outlook outlook(day.version, mailbox);
        if (day.wordMail) outlook.UseWordMail(&word);
        outlook.StartUp();
        ASSERT_EQ(1u, windows.Pending());

        const int reading = outlook.OpenItem(entryId);
        EXPECT_EQ(Shown(day.bars, {L"CRM.EmailLog"}), BarButtons(outlook, reading));
        EXPECT_EQ(Shown(day.ribbon, {L"QuorvaneGroup", L"QuorvaneLogMessage"}), RibbonButtons(outlook, reading));
        if (day.form == Form::Ribbon)
            outlook.ClickRibbon(reading, L"QuorvaneLogMessage");
        else
            outlook.ClickButton(reading, L"CRM.EmailLog");
        outlook.CloseInspector(reading);

        const int writing = outlook.OpenInspector();
        {
            com::LateBound item(com::Ptr<IDispatch>(outlook.CurrentItem(writing)));
            item.Put(L"Subject", com::Variant(L"Your offer"));
            com::LateBound recipients(item.Get(L"Recipients"));
            recipients.Call(L"Add", {com::Variant(L"ann@customer.example")});
            recipients.Call(L"ResolveAll");
        }
        EXPECT_EQ(Shown(day.bars, {L"CRM.SendAndLog"}), BarButtons(outlook, writing));
        EXPECT_EQ(Shown(day.ribbon, {L"QuorvaneGroup", L"QuorvaneSendAndLog"}), RibbonButtons(outlook, writing));
        if (day.form == Form::Ribbon)
            outlook.ClickRibbon(writing, L"QuorvaneSendAndLog");
        else
            outlook.ClickButton(writing, L"CRM.SendAndLog");
        EXPECT_THROW(outlook.Inspector(writing), std::out_of_range);  // closed once sent
        const std::vector<std::wstring>& log = outlook.Log();
        EXPECT_EQ(log.end(), std::find(log.begin(), log.end(), L"Save prompt"));
        if (day.bars && day.ribbon) {
            // A closing wrapper has the ribbon ask for both buttons again.
            const std::vector<std::wstring>& ribbonLog = outlook.RibbonLog();
            EXPECT_NE(ribbonLog.end(), std::find(ribbonLog.begin(), ribbonLog.end(), L"InvalidateControl QuorvaneSendAndLog"));
        }

        outlook.ShutDown();
        EXPECT_EQ(0, outlook.ReferencesHeldOutside()) << outlook.DescribeHeldOutside();
        EXPECT_EQ(0, outlook.RibbonUIReferencesHeldOutside());  // let go at disconnection
    }
    EXPECT_EQ(0, word.ReferencesHeldOutside()) << word.DescribeHeldOutside();
    if (day.wordMail) {
        for (const sim::ControlInfo& control : word.BarControls(L"Standard"))
            EXPECT_NE(0u, control.tag.find(L"CRM.")) << "left in Word's bar";
        EXPECT_TRUE(word.TemplateSaved());
    }

    // What the user saw.
    ASSERT_EQ(3u, windows.Seen().size());
    EXPECT_EQ("Successfully retrieved initialization parameters!", windows.Seen()[1].text);
    EXPECT_EQ("A copy of this message has been forwarded for logging", windows.Seen()[2].text);
    EXPECT_EQ(IDI_ASTERISK, windows.Seen()[2].icon);

    // What the service received: the forward with its nine headers, and the message itself
    // with the agent as a blind copy and exactly three headers.
    ASSERT_EQ(2u, agent->Count());
    const sim::ReceivedMail logged = agent->Read(0);
    EXPECT_EQ("Order 1177", logged.Header("Subject"));
    std::vector<std::string> names;
    for (const auto& [name, value] : logged.headers)
        if (name.rfind("X-Quorvanes-", 0) == 0) names.push_back(name.substr(12));
    EXPECT_EQ((std::vector<std::string>{"OriginalMessageID", "Incoming", "OriginalSender", "OriginalTo", "OriginalCC",
                                        "OriginalDateSent", "LogonID", "CompanyID", "Version"}),
              names);
    const sim::ReceivedMail sent = agent->Read(1);
    EXPECT_EQ("Your offer", sent.Header("Subject"));
    EXPECT_EQ("ann@customer.example", sent.Header("To"));
    EXPECT_EQ(0u, sent.Count("Bcc"));
    std::vector<std::string> xHeaders;
    for (const auto& [name, value] : sent.headers)
        if (name.rfind("X-Quorvanes-", 0) == 0) xHeaders.push_back(name + "=" + value);
    EXPECT_EQ((std::vector<std::string>{"X-Quorvanes-LogonID=4321", "X-Quorvanes-CompanyID=65",
                                        "X-Quorvanes-Version=1.0.7"}),
              xHeaders);

    // The trace: the command-bar forms write their own lines, the ribbon forms none.
    const bool barClicks = day.form == Form::Bars;
    EXPECT_EQ(barClicks ? 1u : 0u, Count("InspWrap::mcbbEmailLog_Click:"));
    EXPECT_EQ(barClicks ? 1u : 0u, Count("InspWrap::mcbbSendAndLog_Click:Subject=Your offer"));
    EXPECT_EQ(std::string::npos, Trace().find("Pw!0wZ"));
}

// From the message list: three messages logged first, then a selection of fifty (two of them no
// mail, the three among them, one whose forward fails) logged in one run with its progress
// window, and each run's summary; the service has every message logged once.
TEST_P(WorkingDay, LogsTheSelectedMessagesOnceEach) {
    mailbox->AddStoredLogon(4321, 65);
    std::vector<std::wstring> selected;
    for (int i = 0; i < 48; ++i) {
        sim::MailFields mail;
        mail.subject = L"Lead " + std::to_wstring(i);
        mail.sender = {L"Ann Buyer", L"ann@customer.example"};
        mail.to = {{L"", L"owner@example.com"}};
        selected.push_back(mailbox->AddReceivedMail(mail));
    }
    selected.insert(selected.begin() + 5, mailbox->AddItem(L"IPM.Appointment", L"Visit"));
    selected.insert(selected.begin() + 30, mailbox->AddItem(L"IPM.Contact", L"Ann Buyer"));
    windows.Expect(kMessageBoxTitle);  // the first run's summary
    windows.Expect(kProgressTitle, [](HWND, SeenWindow&) {});
    windows.Expect(kMessageBoxTitle);  // the second's

    if (GetParam().wordMail) word.Start();
    {
        Outlook outlook(GetParam().version, mailbox);
        if (GetParam().wordMail) outlook.UseWordMail(&word);
        outlook.StartUp();
        const int explorer = outlook.MainExplorer();
        outlook.SelectItems(explorer, {selected[0], selected[1], selected[2]});
        outlook.ClickMenuButton(explorer, L"CRM.Menu", L"CRM.LogSelected");
        ASSERT_EQ(1u, windows.Seen().size());
        outlook.SelectItems(explorer, selected);
        // The forward of the first message not logged before fails.
        outlook.FailOnce(L"MailItem", L"Forward", E_FAIL, L"The server is unavailable.");
        outlook.ClickMenuButton(explorer, L"CRM.Menu", L"CRM.LogSelected");
        outlook.ShutDown();
        EXPECT_EQ(0, outlook.ReferencesHeldOutside()) << outlook.DescribeHeldOutside();
    }
    ASSERT_EQ(3u, windows.Seen().size());
    EXPECT_EQ("Logged: 3\nSkipped: 0 (0 not mail, 0 already logged)\nFailed: 0", windows.Seen()[0].text);
    EXPECT_EQ(IDI_ASTERISK, windows.Seen()[0].icon);
    EXPECT_EQ((std::vector<std::string>{"Cancel"}), windows.Seen()[1].buttons);
    EXPECT_EQ("Logged: 44\nSkipped: 5 (2 not mail, 3 already logged)\nFailed: 1\n\n"
              "Lead 3: The server is unavailable.",
              windows.Seen()[2].text);
    EXPECT_EQ(IDI_EXCLAMATION, windows.Seen()[2].icon);
    ASSERT_EQ(47u, agent->Count());
    std::vector<std::string> subjects;
    for (size_t i = 0; i < agent->Count(); ++i) subjects.push_back(agent->Read(i).Header("Subject"));
    std::sort(subjects.begin(), subjects.end());
    EXPECT_EQ(subjects.end(), std::adjacent_find(subjects.begin(), subjects.end())) << "a message logged twice";
    EXPECT_EQ(subjects.end(), std::find(subjects.begin(), subjects.end(), "Lead 3"));
    EXPECT_EQ(1u, Count("LogSelection::LogSelectedMessages:selected=50 logged=44 notMail=2 loggedBefore=3 failed=1"));
    EXPECT_EQ(0, word.ReferencesHeldOutside()) << word.DescribeHeldOutside();
}

// Log Message twice on one message (the second time asked first, and answered No), then Sign
// Out (the window's commands go, in Word's bar too) and Sign In against the service (they come
// back, and log).
TEST_P(WorkingDay, AsksBeforeLoggingAgainAndSignsOutAndIn) {
    const Day& day = GetParam();
    mailbox->AddStoredLogon(4321, 65);
    const std::wstring entryId = AddCustomersOrder();
    service.Reply(200, "OK", "logonid=4321;companyid=65");
    windows.Expect(kMessageBoxTitle);                                     // logged
    windows.Expect(kMessageBoxTitle, WindowScript::ClickButton(IDNO));    // logged before: No
    windows.Expect(kLogonDialogTitle, FillLogon(L"jsmith", L"Pw!0wZ"));  // Sign In
    windows.Expect(kMessageBoxTitle);                                     // the logon worked
    windows.Expect(kMessageBoxTitle, WindowScript::ClickButton(IDYES));   // logged before: Yes
    windows.Expect(kMessageBoxTitle);                                     // logged again

    if (day.wordMail) word.Start();
    {
        Outlook outlook(day.version, mailbox);
        if (day.wordMail) outlook.UseWordMail(&word);
        outlook.StartUp();
        auto click = [&](int window) {
            if (day.form == Form::Ribbon)
                outlook.ClickRibbon(window, L"QuorvaneLogMessage");
            else
                outlook.ClickButton(window, L"CRM.EmailLog");
        };
        for (int round = 0; round < 2; ++round) {
            const int window = outlook.OpenItem(entryId);
            click(window);
            outlook.CloseInspector(window);
        }
        EXPECT_EQ(1u, agent->Count());

        const int window = outlook.OpenItem(entryId);
        const int explorer = outlook.MainExplorer();
        outlook.ClickMenuButton(explorer, L"CRM.Menu", L"CRM.SignOut");
        outlook.ProcessMessages();
        EXPECT_EQ(std::vector<std::wstring>{}, BarButtons(outlook, window));
        EXPECT_EQ(std::vector<std::wstring>{}, RibbonButtons(outlook, window));
        outlook.ClickMenuButton(explorer, L"CRM.Menu", L"CRM.SignIn");
        outlook.ProcessMessages();
        EXPECT_EQ(Shown(day.bars, {L"CRM.EmailLog"}), BarButtons(outlook, window));
        EXPECT_EQ(Shown(day.ribbon, {L"QuorvaneGroup", L"QuorvaneLogMessage"}), RibbonButtons(outlook, window));
        click(window);
        outlook.CloseInspector(window);
        outlook.ShutDown();
        EXPECT_EQ(0, outlook.ReferencesHeldOutside()) << outlook.DescribeHeldOutside();
    }
    EXPECT_EQ(0u, windows.Pending());
    EXPECT_EQ(2u, agent->Count());
    EXPECT_EQ(0, word.ReferencesHeldOutside()) << word.DescribeHeldOutside();
    EXPECT_EQ(std::string::npos, Trace().find("Pw!0wZ"));
}

INSTANTIATE_TEST_SUITE_P(Outlooks, WorkingDay, testing::ValuesIn(kWorkingDays), DayName);

}  // namespace
}  // namespace vantrell::test
