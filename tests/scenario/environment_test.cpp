// The environment report's probes against the simulated Outlook and Outlook's registry values.
#include <gtest/gtest.h>

#include "outlook.h"
#include "tests/scenario/addin_fixture.h"
#include "support/environment.h"
#include "support/shared_state.h"

namespace vantrell::test {
namespace {

using sim::Outlook;

class Environment : public LinkedAddinTest {
protected:
    void TearDown() override {
        ForgetOutlookSettings();
        gobjOutlook.Reset();
        LinkedAddinTest::TearDown();
    }
    // Outlook's own settings of every version the tests use (0.0: a version that cannot be read).
    static void ForgetOutlookSettings() {
        for (const wchar_t* version : {L"0.0", L"9.0", L"10.0", L"11.0", L"12.0"})
            DeleteTree(HKEY_CURRENT_USER, std::wstring(L"Software\\Microsoft\\Office\\") + version + L"\\Outlook");
        DeleteTree(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office\\0.0");
    }
    void Use(Outlook& outlook) {
        outlook.StartUp(sim::Start::Automation);
        gobjOutlook = com::Ptr<IDispatch>(outlook.Application());
    }
    void Put(const std::wstring& key, const char* name, DWORD value) {
        WriteRaw(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office\\" + key, name, REG_DWORD,
                 std::string(reinterpret_cast<const char*>(&value), 4));
    }
};

TEST(OutlookVersion, TheMajorVersionIsTheLeadingNumber) {
    EXPECT_EQ(L"9", OutlookMajorVersion(L"9.0.0.2814"));
    EXPECT_EQ(L"11", OutlookMajorVersion(L"11.0.8312"));
    EXPECT_EQ(L"12", OutlookMajorVersion(L"12.0.6423.1000"));
    EXPECT_EQ(12.0, LeadingNumber(L"12.0.6423.1000"));
    EXPECT_EQ(0.0, LeadingNumber(L"unknown"));
}

TEST_F(Environment, Outlook2000ReportsItsMailSupportMode) {
    Outlook outlook(L"9.0.0.2814");
    Use(outlook);
    EXPECT_EQ(L"Internet Only", GetOutlookMode());
    Put(L"9.0\\Outlook\\Setup", "MailSupport", 1);
    EXPECT_EQ(L"Corporate/Workgroup", GetOutlookMode());
    Put(L"9.0\\Outlook\\Setup", "MailSupport", 2);
    EXPECT_EQ(L"PIM Only", GetOutlookMode());
    Put(L"9.0\\Outlook\\Setup", "MailSupport", 5);
    EXPECT_EQ(L"", GetOutlookMode());
    EXPECT_EQ(L"Not Applicable", GetConnectionMode());
}

TEST_F(Environment, Outlook2002HasNeitherMode) {
    Outlook outlook(L"10.0.2627");
    Use(outlook);
    EXPECT_EQ(L"Not Applicable", GetOutlookMode());
    EXPECT_EQ(L"Not Applicable", GetConnectionMode());
}

TEST_F(Environment, LaterVersionsReportTheExchangeConnectionMode) {
    Outlook outlook(L"11.0.8312");
    Use(outlook);
    EXPECT_EQ(L"Not Applicable", GetOutlookMode());
    EXPECT_EQ(L"No Exchange", GetConnectionMode());
    outlook.SetExchangeConnectionMode(800);
    EXPECT_EQ(L"Online", GetConnectionMode());
    outlook.SetExchangeConnectionMode(700);
    EXPECT_EQ(L"Cached Connected Full", GetConnectionMode());
    outlook.SetExchangeConnectionMode(150);
    EXPECT_EQ(L"Unknown", GetConnectionMode());
}

TEST_F(Environment, AConnectionModeThatCannotBeReadCountsAsNoExchange) {
    Outlook outlook(L"12.0.6423.1000");
    Use(outlook);
    outlook.SetExchangeConnectionMode(800);
    outlook.FailMember(L"NameSpace", L"ExchangeConnectionMode", E_FAIL, L"The server is not available.");
    EXPECT_EQ(L"No Exchange", GetConnectionMode());
}

TEST_F(Environment, SecuritySettingsRunTogether) {
    Outlook outlook(L"11.0.8312");
    Use(outlook);
    EXPECT_EQ(L" Trust", GetSecuritySettings());
    Put(L"11.0\\Outlook\\Options\\General", "AttachmentSafety", 1);
    Put(L"11.0\\Outlook\\Security", "Level", 3);
    Put(L"11.0\\Outlook\\Security", "DontTrustInstalledFiles", 1);
    EXPECT_EQ(L"1 High No Trust", GetSecuritySettings());
    Put(L"11.0\\Outlook\\Options\\General", "AttachmentSafety", 2);
    Put(L"11.0\\Outlook\\Security", "Level", 2);
    Put(L"11.0\\Outlook\\Security", "DontTrustInstalledFiles", 7);
    EXPECT_EQ(L"2 Medium", GetSecuritySettings());
    Put(L"11.0\\Outlook\\Security", "Level", 4);
    EXPECT_EQ(L"2 Very High", GetSecuritySettings());
}

TEST_F(Environment, ConnectedAddinsAreListedInOrderWithoutTheDisconnectedOnes) {
    Outlook outlook;
    outlook.AddOtherAddIn(L"A.Connect", L"A", true);
    outlook.AddOtherAddIn(L"B.Connect", L"B", true);
    outlook.AddOtherAddIn(L"D.Connect", L"D", false);
    outlook.AddOtherAddIn(L"C.Connect", L"C", true);
    Use(outlook);
    EXPECT_EQ(L"A,B,C", GetConnectedAddIns());
}

TEST_F(Environment, WithoutAConnectedAddinTheListIsEmpty) {
    Outlook outlook;
    outlook.AddOtherAddIn(L"D.Connect", L"D", false);
    Use(outlook);
    EXPECT_EQ(L"", GetConnectedAddIns());
}

TEST_F(Environment, ADescriptionThatCannotBeReadIsListedEmpty) {
    Outlook outlook;
    outlook.AddOtherAddIn(L"A.Connect", L"A", true);
    outlook.AddOtherAddIn(L"D.Connect", L"D", false);
    outlook.AddOtherAddIn(L"B.Connect", L"B", true);
    outlook.AddOtherAddIn(L"C.Connect", L"C", true);
    outlook.FailMember(L"COMAddIn", L"Description", E_FAIL, L"Not available.");
    Use(outlook);
    EXPECT_EQ(L",,", GetConnectedAddIns());
}

TEST_F(Environment, TheProbesLeaveTheRegistryAsTheyFoundIt) {
    struct Case {
        const char* what;
        const wchar_t* version;
        bool versionFails;
    } cases[] = {
        {"Outlook 2000", L"9.0.0.2814", false},
        {"Outlook 2007", L"12.0.6423.1000", false},
        {"a version that cannot be read", L"12.0.6423.1000", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ForgetOutlookSettings();
        Outlook outlook(c.version);
        if (c.versionFails) outlook.FailMember(L"Application", L"Version", E_FAIL, L"Not available.");
        Use(outlook);
        const RegistryTree before = Snapshot(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office");
        GetOutlookMode();
        GetConnectionMode();
        EXPECT_EQ(L" Trust", GetSecuritySettings());
        GetConnectedAddIns();
        EXPECT_EQ(before, Snapshot(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office"));
        gobjOutlook.Reset();
    }
}

TEST_F(Environment, WithoutOutlookEveryProbeGivesItsEmptyAnswer) {
    gobjOutlook.Reset();
    EXPECT_EQ(L"Not Applicable", GetOutlookMode());
    EXPECT_EQ(L"Not Applicable", GetConnectionMode());
    EXPECT_EQ(L"", GetConnectedAddIns());
}

}  // namespace
}  // namespace vantrell::test
