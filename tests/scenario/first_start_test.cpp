// A user's first start of Outlook with the add-in: no stored logon, the logon dialog, a
// successful logon against the service double, the identifiers stored in the mailbox; then
// the next start, which asks nothing.
#include <gtest/gtest.h>

#include <algorithm>

#include "mailbox.h"
#include "outlook.h"
#include "tests/scenario/addin_fixture.h"
#include "service_double.h"
#include "tests/common/logon_script.h"
#include "tests/common/registered_helper.h"

namespace vantrell::test {
namespace {

using sim::Mailbox;
using sim::Outlook;

constexpr const char* kDialog = kLogonDialogTitle;
constexpr const char* kMessage = kMessageBoxTitle;
const GUID kPublicStrings = {0x00020329, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

WindowScript::Action LogOn(const wchar_t* user, const wchar_t* password) { return FillLogon(user, password); }

class FirstStart : public RegisteredAddinTest {
protected:
    void SetUp() override {
        RegisteredAddinTest::SetUp();
        ASSERT_NE(0, service.Start());
        SetSetting("SynchURL", service.Url());
        SetSetting("ErrorLogLevel", 8);
    }
    void TearDown() override {
        service.Stop();
        RegisteredAddinTest::TearDown();
    }
    size_t Count(const std::string& line) const {
        auto lines = TraceLines();
        return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
    }

    RegisteredHelper helper;
    sim::ServiceDouble service;
    std::shared_ptr<Mailbox> mailbox = std::make_shared<Mailbox>();
};

TEST_F(FirstStart, TheUserLogsOnOnceAndIsNotAskedAgain) {
    service.Reply(200, "OK", "logonid=4321;companyid=65");
    windows.Expect(kDialog, LogOn(L"jsmith", L"Pw!0wZ"));
    windows.Expect(kMessage);
    {
        Outlook outlook(L"11.0.8312", mailbox);
        outlook.StartUp();
        ASSERT_EQ(0u, windows.Pending());
        EXPECT_EQ("Successfully retrieved initialization parameters!", windows.Seen()[1].text);
        EXPECT_EQ(1u, Count("CRMAddIn::InitHandler:unable to retrieve configuration message"));
        EXPECT_EQ(1u, Count("CRMAddIn::InitHandler:launch frmLogon"));
        EXPECT_EQ(1u, Count("modCRM::SetConfigMessage: saved logon data to hidden message"));
        EXPECT_EQ(0u, Count("Connect::ConfirmLogon:missing LogonID, calling TearDown"));
        EXPECT_EQ(1u, Count("CRMAddIn::InitHandler:instantiated mobjUtils object"));
        EXPECT_GT(outlook.ReferencesHeldOutside(), 0);  // running
        outlook.ShutDown();
        EXPECT_EQ(0, outlook.ReferencesHeldOutside());
        // Stopping cleaned the helper's utilities object up before letting it go.
        const std::vector<std::wstring>& calls = mailbox->SessionCalls();
        EXPECT_NE(calls.end(), std::find(calls.begin(), calls.end(), L"Logoff"));
    }
    ASSERT_EQ(1u, mailbox->HiddenItems().size());
    EXPECT_EQ(4321, mailbox->HiddenItems()[0].FindNamed(kPublicStrings, L"LogonID")->ToLong());
    EXPECT_EQ(65, mailbox->HiddenItems()[0].FindNamed(kPublicStrings, L"CompanyID")->ToLong());
    // The password went to the service and nowhere else: not into the message, nor the trace.
    const std::vector<sim::StoredItem> stored = mailbox->HiddenItems();
    for (const auto& [tag, value] : stored[0].properties)
        EXPECT_EQ(std::wstring::npos, value.ToText().find(L"Pw!0wZ")) << std::hex << tag;
    EXPECT_EQ(std::string::npos, Trace().find("Pw!0wZ"));
    EXPECT_NE(std::string::npos, service.Requests()[0].body.find("password=Pw!0wZ&"));

    size_t windowsSeen = windows.Seen().size();
    Outlook again(L"11.0.8312", mailbox);
    again.StartUp();
    EXPECT_EQ(windowsSeen, windows.Seen().size());  // no dialog this time
    EXPECT_EQ(1u, Count("CRMAddIn::InitHandler:retrieved configuration message"));
    EXPECT_EQ(1u, Count("CRMAddIn::InitHandler:launch frmLogon"));
    EXPECT_EQ(1u, service.Requests().size());
    again.ShutDown();
    EXPECT_EQ(0, again.ReferencesHeldOutside());
    EXPECT_EQ(1u, mailbox->HiddenItems().size());
}

TEST_F(FirstStart, CancellingTheDialogLeavesTheAddinInert) {
    windows.Expect(kDialog, WindowScript::ClickButton(IDCANCEL));
    Outlook outlook(L"11.0.8312", mailbox);
    outlook.StartUp();
    EXPECT_EQ(0u, windows.Pending());
    EXPECT_EQ(1u, Count("Connect::ConfirmLogon:missing LogonID, calling TearDown"));
    EXPECT_TRUE(mailbox->HiddenItems().empty());
    EXPECT_TRUE(service.Requests().empty());
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
    outlook.ShutDown();
}

TEST_F(FirstStart, ResetLogonForgetsTheStoredIdentifiersBeforeAsking) {
    service.Reply(200, "OK", "logonid=4321;companyid=65");
    windows.Expect(kDialog, LogOn(L"jsmith", L"Pw!0wZ"));
    windows.Expect(kMessage);
    {
        Outlook outlook(L"11.0.8312", mailbox);
        outlook.StartUp();
        outlook.ShutDown();
    }
    SetSetting("ResetLogon", 1);
    windows.Expect(kDialog, WindowScript::ClickButton(IDCANCEL));
    Outlook outlook(L"11.0.8312", mailbox);
    outlook.StartUp();
    EXPECT_EQ(0u, windows.Pending());
    EXPECT_EQ(1u, Count("CRMAddIn::InitHandler:ResetLogon flag is set; clearing any existing values and forcing logon"));
    // Cancelled: the stored identifiers are zeros now, so the next start asks again.
    ASSERT_EQ(1u, mailbox->HiddenItems().size());
    EXPECT_EQ(0, mailbox->HiddenItems()[0].FindNamed(kPublicStrings, L"LogonID")->ToLong());
    EXPECT_EQ(0, mailbox->HiddenItems()[0].FindNamed(kPublicStrings, L"CompanyID")->ToLong());
    EXPECT_EQ(1u, Count("Connect::ConfirmLogon:missing LogonID, calling TearDown"));
    outlook.ShutDown();
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

}  // namespace
}  // namespace vantrell::test
