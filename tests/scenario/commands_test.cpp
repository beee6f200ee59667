// The two commands as the user meets them in Outlook 2010, where both forms exist: the
// recipient test, a send that fails, the logon gate, and callbacks that arrive for a window
// that is not what they expect.
#include <gtest/gtest.h>

#include <mapicode.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "agent_mailbox.h"
#include "common/logon_script.h"
#include "common/registered_helper.h"
#include "inspector/commands.h"
#include "mailbox.h"
#include "outlook.h"
#include "platform/late_bound.h"
#include "scenario/addin_fixture.h"

namespace vantrell::test {
namespace {

using sim::Outlook;


class Commands : public RegisteredAddinTest {
protected:
    void SetUp() override {
        RegisteredAddinTest::SetUp();
        SetSetting("ErrorLogLevel", 8);
        mailbox->ConnectAgent(agent);
    }
    void StoreLogon() {
        mailbox->AddStoredLogon(4321, 65);
    }
    void Start() {
        outlook = std::make_unique<Outlook>(L"14.0.7015.1000", mailbox);
        outlook->StartUp();
    }
    void TearDown() override {
        if (outlook) {
            outlook->ShutDown();
            EXPECT_EQ(0, outlook->ReferencesHeldOutside()) << outlook->DescribeHeldOutside();
        }
        outlook.reset();
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

    RegisteredHelper helper;
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
