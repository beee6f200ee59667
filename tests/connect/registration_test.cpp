// Self-registration for each scope: what it writes, and that unregistering takes it all away.
#include <gtest/gtest.h>

#include "tests/common/registry_snapshot.h"
#include "connect/registration.h"
#include "platform/type_library.h"

namespace vantrell {
namespace {

using test::ReadNumber;
using test::ReadText;
using test::Snapshot;

const std::wstring kModule = L"C:\\Program Files\\Quorvane\\Vantrell.dll";

void ExpectRegisteredUnder(HKEY root) {
    const std::wstring classes = L"Software\\Classes\\";
    for (const RegisteredClass& c : RegisteredClasses()) {
        const std::wstring clsid = GuidString(*c.clsid);
        SCOPED_TRACE(c.progId);
        EXPECT_EQ(kModule, ReadText(root, classes + L"CLSID\\" + clsid + L"\\InprocServer32", nullptr));
        EXPECT_EQ(L"Apartment", ReadText(root, classes + L"CLSID\\" + clsid + L"\\InprocServer32", L"ThreadingModel"));
        EXPECT_EQ(std::wstring(c.progId), ReadText(root, classes + L"CLSID\\" + clsid + L"\\ProgID", nullptr));
        EXPECT_EQ(clsid, ReadText(root, classes + c.progId + L"\\CLSID", nullptr));
    }
    const std::wstring lib = classes + L"TypeLib\\" + GuidString(LIBID_Vantrell) + L"\\1.0";
    EXPECT_EQ(kModule, ReadText(root, lib + L"\\0\\win32", nullptr));
    EXPECT_EQ(L"{00020424-0000-0000-C000-000000000046}",
              ReadText(root, classes + L"Interface\\" + GuidString(IID__RegOp) + L"\\ProxyStubClsid32", nullptr));
}

void ExpectAddinKey() {
    EXPECT_EQ(L"Quorvane Email History", ReadText(HKEY_CURRENT_USER, kAddinKey, L"FriendlyName"));
    EXPECT_EQ(L"Quorvane Email History for Outlook", ReadText(HKEY_CURRENT_USER, kAddinKey, L"Description"));
    EXPECT_EQ(3u, ReadNumber(HKEY_CURRENT_USER, kAddinKey, L"LoadBehavior"));
}

// Each case starts from a prefix where the component is not registered (the demo may have
// registered it there).
class Registration : public testing::Test {
protected:
    void SetUp() override {
        UnregisterServer(RegistrationScope::PerUser);
        UnregisterServer(RegistrationScope::Machine);
    }
};

TEST_F(Registration, TheProgIdsAreTheComponentNameAndTheClassName) {
    std::vector<std::wstring> names;
    for (const RegisteredClass& c : RegisteredClasses()) names.push_back(c.progId);
    EXPECT_EQ((std::vector<std::wstring>{L"Vantrell.Connect", L"Vantrell.CRMAddIn", L"Vantrell.InspWrap",
                                         L"Vantrell.RegOp", L"Vantrell.COpSysInfo"}),
              names);
}

TEST_F(Registration, PerUserGoesToTheUsersClassesAndComesOutAgainExactly) {
    // Windows always has the user's classes key (it is a hive of its own); a new Wine prefix may not.
    HKEY userClasses = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_READ, nullptr, &userClasses, nullptr);
    RegCloseKey(userClasses);
    test::RegistryTree classesBefore = Snapshot(HKEY_CURRENT_USER, L"Software\\Classes");
    test::RegistryTree officeBefore = Snapshot(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office");
    test::RegistryTree machineBefore = Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Vantrell.RegOp");

    ASSERT_EQ(S_OK, RegisterServer(RegistrationScope::PerUser, kModule));
    ExpectRegisteredUnder(HKEY_CURRENT_USER);
    ExpectAddinKey();
    EXPECT_EQ(machineBefore, Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Vantrell.RegOp"));

    ASSERT_EQ(S_OK, UnregisterServer(RegistrationScope::PerUser));
    EXPECT_EQ(classesBefore, Snapshot(HKEY_CURRENT_USER, L"Software\\Classes"));
    EXPECT_EQ(officeBefore, Snapshot(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office"));
}

TEST_F(Registration, MachineWideGoesToTheMachinesClassesAndTheAddinStaysPerUser) {
    test::RegistryTree userClassesBefore = Snapshot(HKEY_CURRENT_USER, L"Software\\Classes");
    ASSERT_EQ(S_OK, RegisterServer(RegistrationScope::Machine, kModule));
    ExpectRegisteredUnder(HKEY_LOCAL_MACHINE);
    ExpectAddinKey();
    EXPECT_EQ(userClassesBefore, Snapshot(HKEY_CURRENT_USER, L"Software\\Classes"));

    ASSERT_EQ(S_OK, UnregisterServer(RegistrationScope::Machine));
    for (const RegisteredClass& c : RegisteredClasses()) {
        EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + std::wstring(c.progId)));
        EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID\\" + GuidString(*c.clsid)));
    }
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\TypeLib\\" + GuidString(LIBID_Vantrell)));
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Interface\\" + GuidString(IID__RegOp)));
    // The shared containers stay.
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID"));
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Interface"));
    EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, kAddinKey));
}

TEST_F(Registration, UnregisteringLeavesOtherAddinsAlone) {
    const std::wstring other = L"Software\\Microsoft\\Office\\Outlook\\Addins\\Someone.Else";
    test::WriteRaw(HKEY_CURRENT_USER, other, "LoadBehavior", REG_DWORD, std::string("\x03\0\0\0", 4));
    ASSERT_EQ(S_OK, RegisterServer(RegistrationScope::PerUser, kModule));
    ASSERT_EQ(S_OK, UnregisterServer(RegistrationScope::PerUser));
    EXPECT_EQ(3u, ReadNumber(HKEY_CURRENT_USER, other, L"LoadBehavior"));
    EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, kAddinKey));
    test::DeleteTree(HKEY_CURRENT_USER, other);
}

TEST_F(Registration, UnregisteringWhatWasNeverRegisteredSucceeds) {
    EXPECT_EQ(S_OK, UnregisterServer(RegistrationScope::PerUser));
}

TEST_F(Registration, WineRunsEveryProcessElevatedSoTheMachineScopeIsChosen) {
    EXPECT_EQ(RegistrationScope::Machine, ScopeForThisProcess());
}

}  // namespace
}  // namespace vantrell
