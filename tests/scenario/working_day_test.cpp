// A working day with the registered add-in, as a user meets it: Outlook starts and loads the
// add-in by ProgID, the user logs a received message and sends a new one with Send && Log,
// closes everything and quits; then what the service received, what the user saw, and that
// nothing of Outlook's or Word's is still held.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "agent_mailbox.h"
#include "common/logon_script.h"
#include "common/registered_helper.h"
#include "mailbox.h"
#include "outlook.h"
#include "platform/late_bound.h"
#include "scenario/addin_fixture.h"
#include "sim/word/word.h"

namespace vantrell::test {
namespace {

using sim::Outlook;

const GUID kPublicStrings = {0x00020329, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct Day {
    const char* name;
    const wchar_t* version;
    bool wordMail;
};

class WorkingDay : public RegisteredAddinTest, public testing::WithParamInterface<Day> {};

TEST_P(WorkingDay, LogsAReceivedMessageAndSendsANewOneWithTheButtons) {
    const Day& day = GetParam();
    RegisteredHelper helper;
    auto mailbox = std::make_shared<sim::Mailbox>();
    auto agent = std::make_shared<sim::AgentMailbox>(std::vector<std::wstring>{L"log@history.quorvane.com"});
    mailbox->ConnectAgent(agent);
    mailbox->AddHiddenItem(L"IPM.Note", L"Vantrell Config",
                           {{mailbox->NamedId(kPublicStrings, L"LogonID") << 16 | 0x0003, com::Variant(4321L)},
                            {mailbox->NamedId(kPublicStrings, L"CompanyID") << 16 | 0x0003, com::Variant(65L)}});
    sim::MailFields received;
    received.subject = L"Order 1177";
    received.sender = {L"Ann Buyer", L"ann@customer.example"};
    received.to = {{L"", L"owner@example.com"}};
    const std::wstring entryId = mailbox->AddReceivedMail(received);

    sim::Word word;
    if (day.wordMail) word.Start();
    {
        Outlook outlook(day.version, mailbox);
        if (day.wordMail) outlook.UseWordMail(&word);
        outlook.StartUp();
        auto bar = [&](int window) { return day.wordMail ? word.BarControls(L"Standard") : outlook.BarControls(window); };

        const int reading = outlook.OpenItem(entryId);
        windows.Expect(kMessageBoxTitle);
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
        size_t buttons = 0;
        for (const sim::ControlInfo& control : bar(writing))
            if (control.tag == L"CRM.SendAndLog" && control.visible) ++buttons;
        EXPECT_EQ(1u, buttons);
        outlook.ClickButton(writing, L"CRM.SendAndLog");
        EXPECT_THROW(outlook.Inspector(writing), std::out_of_range);  // closed once sent

        outlook.ShutDown();
        EXPECT_EQ(0, outlook.ReferencesHeldOutside()) << outlook.DescribeHeldOutside();
    }
    EXPECT_EQ(0, word.ReferencesHeldOutside());
    if (day.wordMail) {
        EXPECT_TRUE(word.BarControls(L"Standard").size() > 0);
        for (const sim::ControlInfo& control : word.BarControls(L"Standard")) EXPECT_NE(0u, control.tag.find(L"CRM."));
        EXPECT_TRUE(word.TemplateSaved());
    }

    ASSERT_EQ(1u, windows.Seen().size());
    EXPECT_EQ("A copy of this message has been forwarded for logging", windows.Seen()[0].text);
    EXPECT_EQ(IDI_ASTERISK, windows.Seen()[0].icon);

    ASSERT_EQ(2u, agent->Count());
    const sim::ReceivedMail logged = agent->Read(0);
    EXPECT_EQ("Order 1177", logged.Header("Subject"));
    EXPECT_EQ("4321", logged.Header("X-Quorvanes-LogonID"));
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
}

INSTANTIATE_TEST_SUITE_P(Outlooks, WorkingDay,
                         testing::Values(Day{"Outlook2003", L"11.0.8312", false},
                                         Day{"Outlook2003WithWordMail", L"11.0.8312", true}),
                         [](const testing::TestParamInfo<Day>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vantrell::test
