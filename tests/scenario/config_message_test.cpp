// The configuration message in the simulated mailbox, through the stand-in helper component.
#include <gtest/gtest.h>

#include "logon/config_message.h"
#include "platform/late_bound.h"
#include "mailbox.h"
#include "outlook.h"
#include "scenario/addin_fixture.h"
#include "common/registered_helper.h"
#include "support/shared_state.h"

namespace vantrell::test {
namespace {

using sim::Mailbox;
using sim::Outlook;

const GUID kPublicStrings = {0x00020329, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class ConfigMessage : public LinkedAddinTest {
protected:
    void SetUp() override {
        LinkedAddinTest::SetUp();
        ErrorLogSize = 1 << 20;
        ErrorLogLevel = 12;
    }
    com::Ptr<IDispatch> Session(Outlook& outlook) {
        if (!outlook.IsRunning()) outlook.StartUp(sim::Start::Automation);
        com::LateBound application(com::Ptr<IDispatch>(outlook.Application()));
        return application.Get(L"Session").ToDispatch();
    }
    std::vector<std::string> Lines(const std::string& procedure) const {
        std::vector<std::string> own;
        const std::string prefix = "modCRM::" + procedure + ":";
        for (const std::string& line : TraceLines())
            if (line.rfind(prefix, 0) == 0) own.push_back(line.substr(prefix.size()));
        return own;
    }

    std::shared_ptr<Mailbox> mailbox = std::make_shared<Mailbox>();
};

TEST_F(ConfigMessage, TheFirstRunFindsNoneAndStoringCreatesExactlyOne) {
    RegisteredHelper helper;
    Outlook outlook(L"11.0.8312", mailbox);
    {
        com::Ptr<IDispatch> session = Session(outlook);
        EXPECT_FALSE(GetConfigMessage(session));
        LogonID = 1234;
        CompanyID = 56;
        SetConfigMessage(session);
    }
    EXPECT_EQ((std::vector<std::string>{"", " unable to get hidden message "}), Lines("GetConfigMessage"));
    EXPECT_EQ((std::vector<std::string>{"", " saved logon data to hidden message"}), Lines("SetConfigMessage"));
    std::vector<sim::StoredItem> hidden = mailbox->HiddenItems();
    ASSERT_EQ(1u, hidden.size());
    EXPECT_EQ(L"IPM.Note", hidden[0].messageClass);
    EXPECT_EQ(L"Vantrell Config", hidden[0].subject);
    const com::Variant* logon = hidden[0].FindNamed(kPublicStrings, L"LogonID");
    const com::Variant* company = hidden[0].FindNamed(kPublicStrings, L"CompanyID");
    ASSERT_TRUE(logon && company);
    EXPECT_EQ(1234, logon->ToLong());
    EXPECT_EQ(56, company->ToLong());
    EXPECT_TRUE(mailbox->Items().empty());  // hidden, not among the Inbox's messages
    outlook.ShutDown();
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

TEST_F(ConfigMessage, ALaterStartLoadsItAndStoringUpdatesTheSameMessage) {
    RegisteredHelper helper;
    {
        Outlook first(L"11.0.8312", mailbox);
        LogonID = 1234;
        CompanyID = 56;
        SetConfigMessage(Session(first));
        first.ShutDown();
    }
    LogonID = 0;
    CompanyID = 0;
    Outlook second(L"11.0.8312", mailbox);
    {
        com::Ptr<IDispatch> session = Session(second);
        EXPECT_TRUE(GetConfigMessage(session));
        EXPECT_EQ(1234, LogonID);
        EXPECT_EQ(56, CompanyID);
        LogonID = 99;
        SetConfigMessage(session);
    }
    EXPECT_EQ(" successfully read data from hidden message", Lines("GetConfigMessage").back());
    ASSERT_EQ(1u, mailbox->HiddenItems().size());
    EXPECT_EQ(99, mailbox->HiddenItems()[0].FindNamed(kPublicStrings, L"LogonID")->ToLong());
    second.ShutDown();
    EXPECT_EQ(0, second.ReferencesHeldOutside());
}

TEST_F(ConfigMessage, StoredZerosLoadAsZeros) {
    RegisteredHelper helper;
    Outlook outlook(L"11.0.8312", mailbox);
    com::Ptr<IDispatch> session = Session(outlook);
    SetConfigMessage(session);  // after a reset: both 0
    LogonID = 5;
    CompanyID = 6;
    EXPECT_TRUE(GetConfigMessage(session));
    EXPECT_EQ(0, LogonID);
    EXPECT_EQ(0, CompanyID);
}

TEST_F(ConfigMessage, AnInboxThatCannotBeOpenedStopsBoth) {
    RegisteredHelper helper;
    Outlook outlook(L"11.0.8312", mailbox);
    com::Ptr<IDispatch> session = Session(outlook);
    outlook.FailMember(L"NameSpace", L"GetDefaultFolder", static_cast<HRESULT>(0x8004011D),
                       L"The server is not available.");
    EXPECT_FALSE(GetConfigMessage(session));
    SetConfigMessage(session);
    EXPECT_EQ((std::vector<std::string>{"", " err getting Inbox: -2147221219 desc=The server is not available."}),
              Lines("GetConfigMessage"));
    EXPECT_EQ(Lines("GetConfigMessage"), Lines("SetConfigMessage"));
    EXPECT_TRUE(mailbox->HiddenItems().empty());
}

TEST_F(ConfigMessage, WithoutTheHelperComponentBothStop) {
    Outlook outlook(L"11.0.8312", mailbox);
    com::Ptr<IDispatch> session = Session(outlook);
    LogonID = 7;
    EXPECT_FALSE(GetConfigMessage(session));
    SetConfigMessage(session);
    ASSERT_EQ(2u, Lines("GetConfigMessage").size());
    EXPECT_EQ(0u, Lines("GetConfigMessage")[1].find("err creating OsbFolder: -2147221005 desc="));
    ASSERT_EQ(2u, Lines("SetConfigMessage").size());
    EXPECT_EQ(0u, Lines("SetConfigMessage")[1].find("err creating OsbFolder: "));
    EXPECT_EQ(7, LogonID);
    EXPECT_TRUE(mailbox->HiddenItems().empty());
}

TEST_F(ConfigMessage, AnUnreadablePropertyMakesTheLoadFailAndKeepsItsIdentifier) {
    RegisteredHelper helper;
    Outlook outlook(L"11.0.8312", mailbox);
    com::Ptr<IDispatch> session = Session(outlook);
    LogonID = 1234;
    CompanyID = 56;
    SetConfigMessage(session);
    mailbox->FailPropertyRead(mailbox->NamedId(kPublicStrings, L"CompanyID") << 16, static_cast<HRESULT>(0x8004010F));
    LogonID = 0;
    CompanyID = 3;
    EXPECT_FALSE(GetConfigMessage(session));
    EXPECT_EQ(1234, LogonID);
    EXPECT_EQ(3, CompanyID);
    EXPECT_EQ(0u, Lines("GetConfigMessage").back().find(" error reading data from hidden message "));
}

}  // namespace
}  // namespace vantrell::test
