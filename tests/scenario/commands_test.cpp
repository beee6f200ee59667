// The two commands as the user meets them in Outlook 2010, where both forms exist: the
// recipient test, a send that fails, the logon gate, and callbacks that arrive for a window
// that is not what they expect.
#include <gtest/gtest.h>

#include <mapicode.h>

#include <ole2.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "agent_mailbox.h"
#include "tests/common/logon_script.h"
#include "tests/common/registered_helper.h"
#include "commands/commands.h"
#include "mailbox.h"
#include "mapi_tags.h"
#include "outlook.h"
#include "service_double.h"
#include "platform/late_bound.h"
#include "tests/scenario/addin_fixture.h"
#include "session/crm_addin.h"
#include "session/session_state.h"
#include "support/shared_state.h"

namespace vantrell::test {
namespace {

using sim::Outlook;


class Commands : public RegisteredAddinTest {
protected:
    void SetUp() override {
        RegisteredAddinTest::SetUp();
        SetSetting("ErrorLogLevel", 8);
        mailbox->ConnectAgent(agent);
        ASSERT_NE(0, service.Start());
        SetSetting("SynchURL", service.Url());
    }
    void StoreLogon() {
        mailbox->AddStoredLogon(4321, 65);
    }
    void Start(sim::Start how = sim::Start::WithExplorer) {
        outlook = std::make_unique<Outlook>(L"14.0.7015.1000", mailbox);
        outlook->StartUp(how);
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
    // A new message addressed as given (type 1 To, 3 Bcc), resolved as Outlook resolves it.
    int Compose(std::vector<std::pair<std::wstring, long>> recipients) {
        const int window = outlook->OpenInspector();
        com::LateBound item(com::Ptr<IDispatch>(outlook->CurrentItem(window)));
        item.Put(L"Subject", com::Variant(L"Terms"));
        com::LateBound list(item.Get(L"Recipients"));
        for (const auto& [address, type] : recipients) {
            com::LateBound recipient(list.Call(L"Add", {com::Variant(address)}));
            recipient.Put(L"Type", com::Variant(type));
        }
        list.Call(L"ResolveAll");
        return window;
    }
    void Click(int window, bool ribbon) {
        if (ribbon)
            outlook->ClickRibbon(window, L"QuorvaneSendAndLog");
        else
            outlook->ClickButton(window, L"CRM.SendAndLog");
    }
    bool Open(int window) const {
        try {
            outlook->Inspector(window);
            return true;
        } catch (const std::out_of_range&) {
            return false;
        }
    }
    size_t Lines(const std::string& text) const {
        auto lines = TraceLines();
        return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.rfind(text, 0) == 0;
        }));
    }

    // What the window shows of the message, and what its stored copy carries: the agent or
    // X-headers left behind show here.
    struct Message {
        std::wstring bcc;
        size_t recipients = 0;
        size_t storedRecipients = 0;
        size_t xHeaders = 0;
    };
    Message Look(int window) const {
        com::LateBound item(com::Ptr<IDispatch>(outlook->CurrentItem(window)));
        Message m;
        m.bcc = item.Get(L"BCC").ToText();
        m.recipients = static_cast<size_t>(com::LateBound(item.Get(L"Recipients")).Get(L"Count").ToLong());
        const sim::StoredItem stored = mailbox->Item(item.Get(L"EntryID").ToText());
        m.storedRecipients = stored.recipients.size();
        for (const auto& named : stored.named) m.xHeaders += named.name.rfind(L"X-Quorvanes-", 0) == 0 ? 1 : 0;
        return m;
    }
    HWND WindowHandle(int window) const {
        com::Ptr<IOleWindow> ole = com::Ptr<IDispatch>(outlook->Inspector(window)).As<IOleWindow>();
        HWND handle = nullptr;
        return ole && SUCCEEDED(ole->GetWindow(&handle)) ? handle : nullptr;
    }
    static std::wstring Text(const SeenWindow& seen) { return std::wstring(seen.text.begin(), seen.text.end()); }
    bool Logged(const std::wstring& entry) const {
        const auto& log = outlook->Log();
        return std::find(log.begin(), log.end(), entry) != log.end();
    }
    // What the stand-in helper's mail items did, one line each.
    static std::wstring HelperJournal() {
        using Journal = const wchar_t*(WINAPI*)();
        auto journal = reinterpret_cast<Journal>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(RegisteredHelper::DllPath().c_str()), "OsbJournal")));
        return journal ? journal() : L"";
    }

    std::optional<RegisteredHelper> helper{std::in_place};
    sim::ServiceDouble service;
    std::shared_ptr<sim::Mailbox> mailbox = std::make_shared<sim::Mailbox>();
    std::shared_ptr<sim::AgentMailbox> agent =
        std::make_shared<sim::AgentMailbox>(std::vector<std::wstring>{L"log@history.quorvane.com"});
    std::unique_ptr<Outlook> outlook;
};

// ---- who the message is for ----

struct RecipientCase {
    const char* name;
    bool ribbon;
    std::vector<std::pair<std::wstring, long>> recipients;
    bool sent;
};

class SendAndLogRecipients : public Commands, public testing::WithParamInterface<RecipientCase> {};

TEST_P(SendAndLogRecipients, AMessageWithoutVisibleRecipientIsRefusedByTheButtonOnly) {
    const RecipientCase& c = GetParam();
    StoreLogon();
    Start();
    const int window = Compose(c.recipients);
    if (!c.sent) windows.Expect(kMessageBoxTitle);
    Click(window, c.ribbon);
    outlook->SendAndReceive();
    EXPECT_EQ(c.sent ? 1u : 0u, agent->Count());
    EXPECT_EQ(!c.sent, Open(window));
    if (c.sent) {
        EXPECT_TRUE(windows.Seen().empty());
        // Closed discarding: olSave fails on the message sent beneath the window, olPromptForSave asks.
        EXPECT_FALSE(Logged(L"Save prompt"));
        // The ribbon form's re-fetched message carries what the helper's Save stored, not what
        // its release would have.
        const std::wstring journal = HelperJournal();
        EXPECT_EQ(std::wstring::npos, journal.find(L"Store when let go")) << journal;
        if (c.ribbon) {
            EXPECT_NE(std::wstring::npos, journal.find(L"Save")) << journal;
        }
    } else {
        ASSERT_EQ(1u, windows.Seen().size());
        EXPECT_EQ(kNoRecipientMessage, std::wstring(windows.Seen()[0].text.begin(), windows.Seen()[0].text.end()));
        EXPECT_EQ(IDI_HAND, windows.Seen()[0].icon);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SendAndLogRecipients,
    testing::Values(RecipientCase{"ButtonWithoutRecipients", false, {}, false},
                    RecipientCase{"ButtonWithBlindCopyOnly", false, {{L"bob@example.com", 3}}, false},
                    RecipientCase{"ButtonWithCopyOnly", false, {{L"bob@example.com", 2}}, true},
                    RecipientCase{"RibbonWithoutRecipients", true, {}, false},
                    RecipientCase{"RibbonWithBlindCopyOnly", true, {{L"bob@example.com", 3}}, true}),
    [](const testing::TestParamInfo<RecipientCase>& info) { return std::string(info.param.name); });

// ---- a send that fails keeps the message ----

class FailedSend : public Commands, public testing::WithParamInterface<bool> {};

TEST_P(FailedSend, KeepsTheWindowOpenAndTellsTheUser) {
    const bool ribbon = GetParam();
    StoreLogon();
    Start();
    const int window = Compose({{L"bob@example.com", 1}});
    mailbox->FailSubmit(MAPI_E_NO_ACCESS);
    windows.Expect(kMessageBoxTitle);
    Click(window, ribbon);
    EXPECT_TRUE(Open(window));
    ASSERT_EQ(1u, windows.Seen().size());
    EXPECT_EQ(kSendFailedMessage, std::wstring(windows.Seen()[0].text.begin(), windows.Seen()[0].text.end()));
    EXPECT_EQ(IDI_HAND, windows.Seen()[0].icon);
    EXPECT_EQ(1u, Lines(ribbon ? "Connect::SendAndLog_OnClick:error:" : "InspWrap::mcbbSendAndLog_Click:error:"));
    // The message is still there as the user wrote it.
    com::LateBound item(com::Ptr<IDispatch>(outlook->CurrentItem(window)));
    EXPECT_EQ(L"Terms", item.Get(L"Subject").ToText());
    EXPECT_EQ(L"bob@example.com", item.Get(L"To").ToText());
    EXPECT_EQ(0u, agent->Count());
    // Unchanged: no agent in the window or in the stored message, no header stored.
    const Message kept = Look(window);
    EXPECT_EQ(L"", kept.bcc);
    EXPECT_EQ(1u, kept.recipients);
    EXPECT_EQ(1u, kept.storedRecipients);
    EXPECT_EQ(0u, kept.xHeaders);
    // A retry sends the message with the agent once.
    mailbox->FailSubmit(S_OK);
    Click(window, ribbon);
    outlook->SendAndReceive();
    EXPECT_FALSE(Open(window));
    ASSERT_EQ(1u, agent->Count());
    ASSERT_EQ(1u, mailbox->Items(sim::kSentMail).size());
    EXPECT_EQ(2u, mailbox->Items(sim::kSentMail)[0].recipients.size());
    EXPECT_EQ("4321", agent->Read(0).Header("X-Quorvanes-LogonID"));
}

INSTANTIATE_TEST_SUITE_P(Forms, FailedSend, testing::Bool(), [](const testing::TestParamInfo<bool>& info) {
    return std::string(info.param ? "Ribbon" : "Button");
});

// ---- not logged on ----

struct GateCase {
    const char* name;
    const wchar_t* callback;
    bool received;
};

class LogonGate : public Commands, public testing::WithParamInterface<GateCase> {};

TEST_P(LogonGate, CancelledLeavesTheMessageAsItWas) {
    const GateCase& c = GetParam();
    // No stored logon: the start-up logon is cancelled (the fixture's script) and the add-in
    // stays inert; the ribbon callback still reaches the gate.
    Start();
    const size_t startWindows = windows.Seen().size();
    sim::MailFields fields;
    fields.subject = L"Order";
    fields.sender = {L"Ann", L"ann@customer.example"};
    const int window = c.received ? outlook->OpenItem(mailbox->AddReceivedMail(fields))
                                  : Compose({{L"bob@example.com", 1}});
    const size_t drafts = mailbox->Items(sim::kDrafts).size();
    outlook->CallRibbonCallback(c.callback, outlook->Inspector(window), L"Quorvane");
    // The gate showed the logon dialog once more (cancelled), and nothing else.
    ASSERT_EQ(startWindows + 1, windows.Seen().size());
    EXPECT_EQ(kLogonDialogTitle, windows.Seen().back().title);
    EXPECT_EQ(0u, agent->Count());
    EXPECT_EQ(drafts, mailbox->Items(sim::kDrafts).size());  // nothing saved
    EXPECT_TRUE(Open(window));
}

INSTANTIATE_TEST_SUITE_P(Callbacks, LogonGate,
                         testing::Values(GateCase{"LogMessage", L"LogMessage_OnClick", true},
                                         GateCase{"SendAndLog", L"SendAndLog_OnClick", false}),
                         [](const testing::TestParamInfo<GateCase>& info) { return std::string(info.param.name); });

// ---- a message that cannot be logged is not sent ----

struct NotLoggedCase {
    const char* name;
    bool ribbon;
    std::function<void(Outlook&, sim::Mailbox&)> fault;
};

class NotLogged : public Commands, public testing::WithParamInterface<NotLoggedCase> {};

TEST_P(NotLogged, NothingIsSentAndTheMessageStaysAsItWas) {
    const NotLoggedCase& c = GetParam();
    StoreLogon();
    Start();
    const int window = Compose({{L"bob@example.com", 1}});
    c.fault(*outlook, *mailbox);
    windows.Expect(kMessageBoxTitle);
    Click(window, c.ribbon);
    outlook->SendAndReceive();
    EXPECT_EQ(0u, agent->Count());
    EXPECT_TRUE(mailbox->Items(sim::kSentMail).empty());
    ASSERT_TRUE(Open(window));
    ASSERT_EQ(1u, windows.Seen().size());
    EXPECT_EQ(kNotLoggedMessage, Text(windows.Seen()[0]));
    EXPECT_EQ(IDI_HAND, windows.Seen()[0].icon);
    const Message kept = Look(window);
    EXPECT_EQ(L"", kept.bcc);
    EXPECT_EQ(1u, kept.recipients);
    EXPECT_EQ(1u, kept.storedRecipients);
    EXPECT_EQ(0u, kept.xHeaders);
}

void NoAgent(Outlook& outlook, sim::Mailbox&) {
    outlook.FailMember(L"MailItem", L"Store.AddRecipient", MAPI_E_NO_ACCESS, L"");
}
void NoHeader(sim::Mailbox& mailbox, const wchar_t* name) {
    mailbox.FailNameMapping(sim::tags::kInternetHeaders, name, MAPI_E_NO_ACCESS);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, NotLogged,
    testing::Values(
        NotLoggedCase{"ButtonNoAgent", false, NoAgent},
        NotLoggedCase{"ButtonNoLogonID", false, [](Outlook&, sim::Mailbox& m) { NoHeader(m, L"X-Quorvanes-LogonID"); }},
        NotLoggedCase{"ButtonNoCompanyID", false, [](Outlook&, sim::Mailbox& m) { NoHeader(m, L"X-Quorvanes-CompanyID"); }},
        NotLoggedCase{"RibbonNoAgent", true, NoAgent},
        NotLoggedCase{"RibbonNoLogonID", true, [](Outlook&, sim::Mailbox& m) { NoHeader(m, L"X-Quorvanes-LogonID"); }},
        NotLoggedCase{"RibbonNoCompanyID", true, [](Outlook&, sim::Mailbox& m) { NoHeader(m, L"X-Quorvanes-CompanyID"); }}),
    [](const testing::TestParamInfo<NotLoggedCase>& info) { return std::string(info.param.name); });

// ---- without the helper component ----

class WithoutHelper : public Commands, public testing::WithParamInterface<bool> {};

TEST_P(WithoutHelper, SendAndLogSaysTheHelperIsMissingAndSendsNothing) {
    StoreLogon();
    Start();
    helper.reset();  // uninstalled while Outlook runs: no helper item can be made from now on
    const int window = Compose({{L"bob@example.com", 1}});
    windows.Expect(kMessageBoxTitle);
    Click(window, GetParam());
    outlook->SendAndReceive();
    EXPECT_EQ(0u, agent->Count());
    EXPECT_TRUE(mailbox->Items(sim::kSentMail).empty());
    EXPECT_TRUE(Open(window));
    ASSERT_EQ(1u, windows.Seen().size());
    EXPECT_EQ(kNoHelperMessage, Text(windows.Seen()[0]));
    EXPECT_EQ(IDI_HAND, windows.Seen()[0].icon);
}

INSTANTIATE_TEST_SUITE_P(Forms, WithoutHelper, testing::Bool(), [](const testing::TestParamInfo<bool>& info) {
    return std::string(info.param ? "Ribbon" : "Button");
});

// ---- a command does not run again while it runs ----

struct AgainCase {
    const char* name;
    bool ribbon;
    bool log;          // Log Message (else Send && Log)
    bool loggedOn;     // else the logon gate's dialog is up (and cancelled) when the click comes
};

class ClickedAgain : public Commands, public testing::WithParamInterface<AgainCase> {};

TEST_P(ClickedAgain, WhileItsWindowIsUpDoesNothing) {
    const AgainCase& c = GetParam();
    if (c.loggedOn) StoreLogon();
    Start();
    int window = 0;
    if (c.log) {
        sim::MailFields fields;
        fields.subject = L"Order";
        fields.sender = {L"Ann", L"ann@customer.example"};
        window = outlook->OpenItem(mailbox->AddReceivedMail(fields));
    } else {
        window = Compose({{L"bob@example.com", 1}});
        mailbox->FailSubmit(MAPI_E_NO_ACCESS);  // the box that says so stays up
    }
    const std::wstring tag = c.log ? L"CRM.EmailLog" : L"CRM.SendAndLog";
    const std::wstring control = c.log ? L"QuorvaneLogMessage" : L"QuorvaneSendAndLog";
    const std::wstring callback = c.log ? L"LogMessage_OnClick" : L"SendAndLog_OnClick";
    auto click = [&] {
        if (!c.loggedOn)
            outlook->CallRibbonCallback(callback, outlook->Inspector(window), control);
        else if (c.ribbon)
            outlook->ClickRibbon(window, control);
        else
            outlook->ClickButton(window, tag);
    };
    const size_t before = windows.Seen().size();
    windows.Always(kMessageBoxTitle, WindowScript::ClickButton(IDOK));  // a second box, if one comes
    // The second click waits in Outlook's message queue: it comes while the first one's box is up.
    outlook->Queue(click);
    if (c.loggedOn) windows.Expect(kMessageBoxTitle);
    click();
    outlook->SendAndReceive();
    ASSERT_EQ(before + 1, windows.Seen().size());
    EXPECT_EQ(c.log && c.loggedOn ? 1u : 0u, agent->Count());
    if (c.loggedOn) {
        EXPECT_EQ(WindowHandle(window), windows.Seen().back().owner);  // the box is the window's
    } else {
        EXPECT_EQ(kLogonDialogTitle, windows.Seen().back().title);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ClickedAgain,
    testing::Values(AgainCase{"ButtonLogMessage", false, true, true}, AgainCase{"ButtonSendAndLog", false, false, true},
                    AgainCase{"RibbonLogMessage", true, true, true}, AgainCase{"RibbonSendAndLog", true, false, true},
                    AgainCase{"LogonGateLogMessage", true, true, false},
                    AgainCase{"LogonGateSendAndLog", true, false, false}),
    [](const testing::TestParamInfo<AgainCase>& info) { return std::string(info.param.name); });

// ---- what the last failure of the button's Send && Log is ----

TEST_F(Commands, AFailedSubjectReadIsTheButtonsLastError) {
    StoreLogon();
    Start();
    const int window = Compose({{L"bob@example.com", 1}});
    outlook->FailMember(L"MailItem", L"Subject", MAPI_E_NO_ACCESS, L"No subject today.");
    Click(window, false);
    EXPECT_FALSE(Open(window));
    EXPECT_EQ(1u, Lines("InspWrap::mcbbSendAndLog_Click:error:-2147024891 No subject today."));
}

// ---- a logon made at the gate ----

// Outlook started by a mail window alone (a message sent from another program, say) runs no
// session until an explorer opens, and nobody has logged on yet: the ribbon's commands meet
// the gate, and a logon that succeeds there lets them go on.
class LogonAtTheGate : public Commands, public testing::WithParamInterface<GateCase> {};

TEST_P(LogonAtTheGate, ThatSucceedsGoesOnWithTheCommand) {
    const GateCase& c = GetParam();
    Start(sim::Start::SingleInspector);
    sim::MailFields fields;
    fields.subject = L"Order";
    fields.sender = {L"Ann", L"ann@customer.example"};
    int window = outlook->StartInspector();
    if (c.received) {
        window = outlook->OpenItem(mailbox->AddReceivedMail(fields));
    } else {
        com::LateBound item(com::Ptr<IDispatch>(outlook->CurrentItem(window)));
        item.Put(L"Subject", com::Variant(L"Terms"));
        com::LateBound(item.Get(L"Recipients")).Call(L"Add", {com::Variant(L"bob@example.com")});
    }
    service.Reply(200, "OK", "logonid=4321;companyid=65");
    windows.Expect(kLogonDialogTitle, FillLogon(L"jsmith", L"Pw!0wZ"));
    windows.Expect(kMessageBoxTitle);  // the logon's success
    if (c.received) windows.Expect(kMessageBoxTitle);  // the log's
    outlook->CallRibbonCallback(c.callback, outlook->Inspector(window), L"Quorvane");
    outlook->SendAndReceive();
    EXPECT_EQ(0u, windows.Pending());
    ASSERT_EQ(1u, agent->Count());
    EXPECT_EQ("4321", agent->Read(0).Header("X-Quorvanes-LogonID"));
    EXPECT_EQ(!c.received, !Open(window));  // Send && Log closed its window
    if (c.received) {
        EXPECT_EQ(kLoggedMessage, Text(windows.Seen().back()));
    }
}

INSTANTIATE_TEST_SUITE_P(Callbacks, LogonAtTheGate,
                         testing::Values(GateCase{"LogMessage", L"LogMessage_OnClick", true},
                                         GateCase{"SendAndLog", L"SendAndLog_OnClick", false}),
                         [](const testing::TestParamInfo<GateCase>& info) { return std::string(info.param.name); });

// The buttons meet the gate only in a session whose identifiers are gone (they appear only once
// the user has logged on): linked in, the session's identifiers are cleared after the windows
// are wrapped, and a logon at the gate lets the command go on.
class ButtonLogonAtTheGate : public LinkedAddinTest, public testing::WithParamInterface<bool> {
protected:
    void TearDown() override {
        if (controller) controller->UnInitHandler();
        if (outlook) {
            outlook->ShutDown();
            EXPECT_EQ(0, outlook->ReferencesHeldOutside());
        }
        controller.Reset();
        gobjCRMAddIn.Reset();
        outlook.reset();
        service.Stop();
        LinkedAddinTest::TearDown();
    }
    RegisteredHelper helper;
    sim::ServiceDouble service;
    std::shared_ptr<sim::Mailbox> mailbox = std::make_shared<sim::Mailbox>();
    std::shared_ptr<sim::AgentMailbox> agent =
        std::make_shared<sim::AgentMailbox>(std::vector<std::wstring>{kDefaultLoggingAddress});
    std::unique_ptr<Outlook> outlook;
    com::Ptr<CRMAddIn> controller;
};

TEST_P(ButtonLogonAtTheGate, ThatSucceedsGoesOnWithTheCommand) {
    const bool received = GetParam();
    ASSERT_NE(0, service.Start());
    const std::string url = service.Url();
    SynchURL.assign(url.begin(), url.end());
    LoggingAddress = kDefaultLoggingAddress;
    mailbox->AddStoredLogon(4321, 65);
    mailbox->ConnectAgent(agent);
    outlook = std::make_unique<Outlook>(L"11.0.8312", mailbox);
    outlook->StartUp();
    controller = com::Make<CRMAddIn>();
    gobjCRMAddIn = controller;
    controller->InitHandler(com::Ptr<IDispatch>(outlook->Application()));
    sim::MailFields fields;
    fields.subject = L"Order";
    fields.sender = {L"Ann", L"ann@customer.example"};
    int window = 0;
    if (received) {
        window = outlook->OpenItem(mailbox->AddReceivedMail(fields));
    } else {
        window = outlook->OpenInspector();
        com::LateBound item(com::Ptr<IDispatch>(outlook->CurrentItem(window)));
        com::LateBound recipients(item.Get(L"Recipients"));
        recipients.Call(L"Add", {com::Variant(L"bob@example.com")});
        recipients.Call(L"ResolveAll");
    }
    LogonID = CompanyID = 0;
    service.Reply(200, "OK", "logonid=4321;companyid=65");
    windows.Expect(kLogonDialogTitle, FillLogon(L"jsmith", L"Pw!0wZ"));
    windows.Expect(kMessageBoxTitle);  // the logon's success
    if (received) windows.Expect(kMessageBoxTitle);  // the log's
    outlook->ClickButton(window, received ? L"CRM.EmailLog" : L"CRM.SendAndLog");
    outlook->SendAndReceive();
    EXPECT_EQ(0u, windows.Pending());
    EXPECT_EQ(4321, LogonID);
    ASSERT_EQ(1u, agent->Count());
    EXPECT_EQ("4321", agent->Read(0).Header("X-Quorvanes-LogonID"));
}

INSTANTIATE_TEST_SUITE_P(Commands, ButtonLogonAtTheGate, testing::Bool(), [](const testing::TestParamInfo<bool>& info) {
    return std::string(info.param ? "LogMessage" : "SendAndLog");
});

// ---- callbacks for the wrong window ----

TEST_F(Commands, CallbacksForAWindowThatIsNoMailWindowStayQuietOrSayTheLogFailed) {
    StoreLogon();
    Start();
    IDispatch* explorer = outlook->Explorer(outlook->MainExplorer());
    EXPECT_FALSE(outlook->CallRibbonCallback(L"QuorvaneGroup_GetVisible", explorer, L"QuorvaneGroup").ToBool());
    EXPECT_FALSE(outlook->CallRibbonCallback(L"LogMessage_GetVisible", nullptr, L"QuorvaneLogMessage").ToBool());
    EXPECT_TRUE(outlook->CallRibbonCallback(L"SendAndLog_GetVisible", explorer, L"QuorvaneSendAndLog").ToBool());
    // Log Message on the main window: nothing to forward, and the user is told.
    windows.Expect(kMessageBoxTitle);
    outlook->CallRibbonCallback(L"LogMessage_OnClick", explorer, L"QuorvaneLogMessage");
    ASSERT_EQ(1u, windows.Seen().size());
    EXPECT_EQ(kLogFailedMessage, std::wstring(windows.Seen()[0].text.begin(), windows.Seen()[0].text.end()));
    EXPECT_EQ(0u, agent->Count());
}

}  // namespace
}  // namespace vantrell::test
