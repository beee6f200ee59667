// The registered add-in loaded by the simulated Outlook by ProgID, as a user meets it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>

#include "outlook.h"
#include "tests/scenario/addin_fixture.h"

namespace vantrell::test {
namespace {

using sim::Outlook;
using sim::Start;

class Addin : public RegisteredAddinTest {
protected:
    size_t Count(const std::string& line) const {
        auto lines = TraceLines();
        return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
    }
};

TEST_F(Addin, AFirstStartWithoutSettingsMakesThemAndWithoutALogonTearsDownAtOnce) {
    Outlook outlook(L"11.0.8312");
    outlook.StartUp(Start::WithExplorer);

    EXPECT_EQ(std::optional<DWORD>(4), ReadNumber(HKEY_CURRENT_USER, kSettings, L"ErrorLogLevel"));
    std::vector<std::string> lines = TraceLines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ("", lines[0]);
    EXPECT_EQ(std::string(40, '='), lines[1]);
    EXPECT_EQ("Connect::OnConnection:Explorers.Count = 1; initializing base class", lines[2]);
    EXPECT_EQ("CRMAddIn::InitHandler:Add-in Version=1.0.7", lines[3]);
    EXPECT_EQ(1u, Count("CRMAddIn::InitHandler:Outlook Version=11.0.8312"));
    EXPECT_EQ(1u, Count("Connect::ConfirmLogon:missing LogonID, calling TearDown"));
    EXPECT_EQ(1u, Count("Connect::Teardown:Call UninitHandler"));
    EXPECT_EQ(1u, Count("CRMAddIn::UnInitHandler:completing cleanup"));
    // Torn down: the add-in keeps nothing of Outlook's.
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());

    outlook.ShutDown();
    EXPECT_EQ(1u, Count("Connect::OnBeginShutdown:"));
    EXPECT_EQ(1u, Count("Connect::OnDisconnection:"));
    EXPECT_EQ(1u, Count("Connect::Teardown:Call UninitHandler"));
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

TEST_F(Addin, LevelZeroOrSizeZeroTraceNothing) {
    SetSetting("ErrorLogLevel", 0);
    {
        Outlook outlook;
        outlook.StartUp();
        outlook.ShutDown();
    }
    EXPECT_FALSE(FileExists(temp.File("VantrellTrace.log")));
    SetSetting("ErrorLogLevel", 12);
    SetSetting("ErrorLogSize", 0);
    {
        Outlook outlook;
        outlook.StartUp();
        outlook.ShutDown();
    }
    EXPECT_FALSE(FileExists(temp.File("VantrellTrace.log")));
}

TEST_F(Addin, ResetLogonActsOnceAndIsRemoved) {
    SetSetting("ResetLogon", 1);
    Outlook outlook;
    outlook.StartUp();
    EXPECT_FALSE(ReadRaw(HKEY_CURRENT_USER, kSettings, "ResetLogon"));
    outlook.ShutDown();
}

TEST_F(Addin, AResetLogonThatIsFalseStays) {
    SetSetting("ResetLogon", "False");
    Outlook outlook;
    outlook.StartUp();
    EXPECT_TRUE(ReadRaw(HKEY_CURRENT_USER, kSettings, "ResetLogon"));
    outlook.ShutDown();
}

TEST_F(Addin, TheOldSettingsTreeIsRemovedWhenItsOutlookKeyHoldsNoValue) {
    WriteRaw(HKEY_CURRENT_USER, L"Software\\Quorvanes\\Outlook\\History\\Deeper", "x", REG_SZ, std::string("1\0", 2));
    WriteRaw(HKEY_CURRENT_USER, L"Software\\Quorvanes\\Outlook\\Other", "y", REG_SZ, std::string("2\0", 2));
    Outlook outlook;
    outlook.StartUp();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Quorvanes"));
    outlook.ShutDown();
}

TEST_F(Addin, AnOldOutlookKeyWithAValueKeepsAllButItsHistory) {
    WriteRaw(HKEY_CURRENT_USER, L"Software\\Quorvanes\\Outlook\\History", "x", REG_SZ, std::string("1\0", 2));
    WriteRaw(HKEY_CURRENT_USER, L"Software\\Quorvanes\\Outlook", "kept", REG_SZ, std::string("2\0", 2));
    WriteRaw(HKEY_CURRENT_USER, L"Software\\Quorvanes\\Outlook\\Other", "y", REG_SZ, std::string("3\0", 2));
    Outlook outlook;
    outlook.StartUp();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Quorvanes\\Outlook\\History"));
    EXPECT_TRUE(ReadRaw(HKEY_CURRENT_USER, L"Software\\Quorvanes\\Outlook", "kept"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Quorvanes\\Outlook\\Other"));
    outlook.ShutDown();
}

TEST_F(Addin, StartedWithoutAnExplorerItWaitsForOne) {
    Outlook outlook;
    outlook.StartUp(Start::Automation);
    EXPECT_EQ(1u, Count("Connect::OnConnection:Explorers.Count = 0; monitoring NewExplorer event"));
    EXPECT_EQ(0u, Count("CRMAddIn::InitHandler:exit InitHandler"));
    EXPECT_EQ(0u, Count("CRMAddIn::InitHandler:Add-in Version=1.0.7"));
    outlook.OpenExplorer(true);
    EXPECT_EQ(1u, Count("Connect::NewExplorer:found ActiveExplorer - calling InitHandler"));
    EXPECT_EQ(1u, Count("CRMAddIn::InitHandler:Add-in Version=1.0.7"));
    // Still no logon: torn down again, holding nothing.
    EXPECT_EQ(1u, Count("Connect::ConfirmLogon:missing LogonID, calling TearDown"));
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
    outlook.ShutDown();
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

TEST_F(Addin, TurningTheAddinOffAndOnInTheListDisconnectsAndConnectsIt) {
    Outlook outlook;
    outlook.StartUp(Start::Automation);
    outlook.SetAddinConnected(L"Vantrell.Connect", false);
    EXPECT_EQ(1u, Count("Connect::OnDisconnection:"));
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
    outlook.SetAddinConnected(L"Vantrell.Connect", true);
    EXPECT_EQ(2u, Count(std::string(40, '=')));
    EXPECT_EQ(2u, Count("Connect::OnConnection:Explorers.Count = 0; monitoring NewExplorer event"));
    outlook.ShutDown();
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

TEST_F(Addin, EnabledWhileTheMainWindowIsOpenItStartsAtOnce) {
    SetSetting("ErrorLogLevel", 8);
    Outlook outlook;
    outlook.StartUp(Start::WithExplorer);
    outlook.SetAddinConnected(L"Vantrell.Connect", false);
    outlook.SetAddinConnected(L"Vantrell.Connect", true);
    EXPECT_EQ(2u, Count("Connect::OnConnection:Explorers.Count = 1; initializing base class"));
    EXPECT_EQ(2u, Count("CRMAddIn::InitHandler:exit InitHandler"));
    outlook.ShutDown();
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

// HKEY_CURRENT_USER\Software without the add-in's own settings, which a start writes on purpose,
// and without the keys that tests running beside this one write meanwhile (their scratch keys,
// Wine's per-program settings).
RegistryTree SoftwareWithoutSettings() {
    RegistryTree tree = Snapshot(HKEY_CURRENT_USER, L"Software");
    std::erase_if(tree, [](const auto& entry) {
        for (const wchar_t* own : {L"Quorvane", L"VantrellTests", L"Wine"})
            if (entry.first == own || entry.first.starts_with(std::wstring(own) + L"\\") ||
                entry.first.starts_with(std::wstring(own) + L"|"))
                return true;
        return false;
    });
    return tree;
}

TEST_F(Addin, AStartWritesNothingToTheRegistryButItsSettings) {
    for (const wchar_t* version : {L"9.0.0.2814", L"12.0.6423.1000"}) {
        SCOPED_TRACE(testing::Message() << "Outlook " << std::string(version, version + std::wcslen(version)));
        for (const wchar_t* major : {L"9.0", L"12.0"})
            DeleteTree(HKEY_CURRENT_USER, std::wstring(L"Software\\Microsoft\\Office\\") + major + L"\\Outlook");
        const RegistryTree before = SoftwareWithoutSettings();
        {
            Outlook outlook(version);
            outlook.StartUp(Start::WithExplorer);
            outlook.ShutDown();
        }
        EXPECT_EQ(1u, Count("CRMAddIn::InitHandler:Security(Attachment/Level/Trust):  Trust"));
        EXPECT_EQ(before, SoftwareWithoutSettings());
        DeleteFileA(temp.File("VantrellTrace.log").c_str());
    }
}

}  // namespace
}  // namespace vantrell::test
