// The configuration message in the simulated mailbox, through the stand-in helper component.
#include <gtest/gtest.h>

#include "logon/config_message.h"
#include "platform/ansi.h"
#include "platform/late_bound.h"
#include "mailbox.h"
#include "outlook.h"
#include "tests/scenario/addin_fixture.h"
#include "tests/common/registered_helper.h"
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

// A failed lookup of a named property or a failed write stores nothing under a wrong tag and is
// reported, never traced as saved: the user would otherwise be asked to log on at every start
// while the trace claims the logon was kept.
TEST_F(ConfigMessage, AFailedLookupOrWriteIsReportedAndNothingIsWrittenElsewhere) {
    enum class Fault { Lookup, Write };
    const struct {
        Fault fault;
        const wchar_t* name;
        HRESULT hr;
        const char* expected;
    } cases[] = {
        {Fault::Lookup, L"LogonID", static_cast<HRESULT>(0x80040102),
         " err saving logon data to hidden message: -2147221246 desc=The named property could not be mapped."},
        {Fault::Lookup, L"CompanyID", static_cast<HRESULT>(0x80040102),
         " err saving logon data to hidden message: -2147221246 desc=The named property could not be mapped."},
        {Fault::Write, L"LogonID", static_cast<HRESULT>(0x80040305),
         " err saving logon data to hidden message: -2147220731 desc=The property could not be written."},
        {Fault::Write, L"CompanyID", static_cast<HRESULT>(0x80040305),
         " err saving logon data to hidden message: -2147220731 desc=The property could not be written."},
    };
    RegisteredHelper helper;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.fault == Fault::Lookup ? "lookup of " : "write of ")
                                        << ToAnsi(c.name));
        auto box = std::make_shared<Mailbox>();
        if (c.fault == Fault::Lookup)
            box->FailNameMapping(kPublicStrings, c.name, c.hr);
        else
            box->FailPropertyWrite(box->NamedId(kPublicStrings, c.name) << 16, c.hr);
        const size_t linesBefore = Lines("SetConfigMessage").size();
        Outlook outlook(L"11.0.8312", box);
        LogonID = 1234;
        CompanyID = 56;
        SetConfigMessage(Session(outlook));
        const std::vector<std::string> lines = Lines("SetConfigMessage");
        EXPECT_EQ((std::vector<std::string>{"", c.expected}),
                  std::vector<std::string>(lines.begin() + static_cast<long>(linesBefore), lines.end()));
        for (const sim::StoredItem& item : box->HiddenItems()) {
            for (const auto& [tag, value] : item.properties) EXPECT_NE(0u, tag >> 16) << "junk at " << tag;
            EXPECT_EQ(nullptr, item.FindNamed(kPublicStrings, c.name));
        }
        outlook.ShutDown();
        EXPECT_EQ(0, outlook.ReferencesHeldOutside());
    }
}

// Likewise a failed lookup never reads another property into an identifier.
TEST_F(ConfigMessage, AFailedLookupReadsNothing) {
    RegisteredHelper helper;
    const ULONG logon = mailbox->NamedId(kPublicStrings, L"LogonID") << 16 | 0x0003;
    const ULONG company = mailbox->NamedId(kPublicStrings, L"CompanyID") << 16 | 0x0003;
    // The tag a failed lookup would give (id 0, typed as an integer), as an earlier version
    // could leave it.
    mailbox->AddHiddenItem(L"IPM.Note", L"Vantrell Config",
                           {{logon, com::Variant(1234L)}, {company, com::Variant(56L)}, {0x0003, com::Variant(77L)}});
    mailbox->FailNameMapping(kPublicStrings, L"LogonID", static_cast<HRESULT>(0x80040102));
    Outlook outlook(L"11.0.8312", mailbox);
    LogonID = 0;
    CompanyID = 0;
    EXPECT_FALSE(GetConfigMessage(Session(outlook)));
    EXPECT_EQ(0, LogonID);
    EXPECT_EQ(0, CompanyID);
    EXPECT_EQ(" error reading data from hidden message The named property could not be mapped.",
              Lines("GetConfigMessage").back());
}

}  // namespace
}  // namespace vantrell::test
