// COpSysInfo: the flags and texts derived from a version record, and the real
// GetVersionExA path under each Windows version Wine can be told to report.
#include <gtest/gtest.h>

#include <map>

#include "tests/common/registry_snapshot.h"
#include "platform/com_object.h"
#include "support/op_sys_info.h"

namespace vantrell {
namespace {

OSVERSIONINFOEXA Record(DWORD platform, DWORD major, DWORD minor, DWORD build, const char* servicePack = "") {
    OSVERSIONINFOEXA record{};
    record.dwOSVersionInfoSize = sizeof record;
    record.dwPlatformId = platform;
    record.dwMajorVersion = major;
    record.dwMinorVersion = minor;
    record.dwBuildNumber = build;
    lstrcpynA(record.szCSDVersion, servicePack, sizeof record.szCSDVersion);
    return record;
}

com::Ptr<COpSysInfo> From(const OSVERSIONINFOEXA& record) { return com::Make<COpSysInfo>(record); }

TEST(OpSysInfo, TellsTheNineXFamilyApartByMinorVersionAndBuild) {
    auto me = From(Record(VER_PLATFORM_WIN32_WINDOWS, 4, 90, (4u << 24) | (90u << 16) | 3000));
    EXPECT_TRUE(me->IsWin95());
    EXPECT_TRUE(me->IsWin98());
    EXPECT_TRUE(me->IsWinME());
    EXPECT_TRUE(me->IsWin9x());
    EXPECT_EQ(L"Windows Me", me->Platform());
    EXPECT_EQ(3000, me->BuildNumber());  // the high word repeats the version

    auto nineEight = From(Record(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 1998));
    EXPECT_EQ(L"Windows 98", nineEight->Platform());
    EXPECT_FALSE(nineEight->IsWinME());
    EXPECT_EQ(L"Windows 95", From(Record(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950))->Platform());
}

TEST(OpSysInfo, NamesTheNtFamilyByItsVersionTests) {
    EXPECT_EQ(L"Windows NT", From(Record(VER_PLATFORM_WIN32_NT, 4, 0, 1381))->Platform());
    EXPECT_EQ(L"Windows 2000", From(Record(VER_PLATFORM_WIN32_NT, 5, 0, 2195))->Platform());
    auto xp = From(Record(VER_PLATFORM_WIN32_NT, 5, 1, 2600, "Service Pack 2"));
    EXPECT_EQ(L"Windows XP", xp->Platform());
    EXPECT_EQ(L"Windows XP v5.1, Build 2600", xp->Version());
    // The tests are only "major at least 5" and "major at least 5 and minor at least 1".
    auto six = From(Record(VER_PLATFORM_WIN32_NT, 6, 0, 6002));
    EXPECT_FALSE(six->IsWinXP());
    EXPECT_EQ(L"Windows 2000", six->Platform());
    EXPECT_EQ(L"Windows XP", From(Record(VER_PLATFORM_WIN32_NT, 6, 1, 7601))->Platform());
    EXPECT_FALSE(xp->IsWin9x());
}

TEST(OpSysInfo, AnUnknownPlatformSetsNoFlag) {
    auto odd = From(Record(7, 1, 2, 3));
    EXPECT_EQ(L"", odd->Platform());
    EXPECT_EQ(L" v1.2, Build 3", odd->Version());
    EXPECT_FALSE(odd->IsWinNT() || odd->IsWin9x());
}

TEST(OpSysInfo, ABuildWithTheHighBitOfItsLowWordSetIsNegative) {
    EXPECT_EQ(-32768, From(Record(VER_PLATFORM_WIN32_NT, 5, 1, 0x8000))->BuildNumber());
    EXPECT_EQ(-1, From(Record(VER_PLATFORM_WIN32_NT, 5, 1, 0x1FFFF))->BuildNumber());
}

TEST(OpSysInfo, SuiteBitsAndProductTypeOfTheExtendedRecord) {
    OSVERSIONINFOEXA record = Record(VER_PLATFORM_WIN32_NT, 5, 2, 3790);
    record.wSuiteMask = 0x0002 | 0x0010 | 0x0080;
    record.wProductType = 3;
    record.wServicePackMajor = 2;
    auto server = From(record);
    EXPECT_TRUE(server->HasSuite(kSuiteEnterprise));
    EXPECT_TRUE(server->HasSuite(kSuiteTerminal));
    EXPECT_TRUE(server->HasSuite(kSuiteDatacenter));
    EXPECT_FALSE(server->HasSuite(kSuiteSmallBusiness));
    EXPECT_FALSE(server->HasSuite(kSuiteBackOffice));
    EXPECT_FALSE(server->HasSuite(kSuiteSmallBusinessRestricted));
    EXPECT_EQ(L"NT Server", server->ProductTypeName());
    EXPECT_EQ(2, server->ServicePackMajor());

    record.wProductType = 2;
    EXPECT_EQ(L"Domain Controller", From(record)->ProductTypeName());
    record.wProductType = 9;
    EXPECT_EQ(L"", From(record)->ProductTypeName());
    EXPECT_EQ(9, From(record)->ProductType());
    record.wSuiteMask = 0x8000;
    EXPECT_EQ(-32768, From(record)->SuiteMask());
}

TEST(OpSysInfo, AShortRecordLeavesTheExtendedFieldsAtZero) {
    auto shortOnly = From(Record(VER_PLATFORM_WIN32_NT, 4, 0, 1381));
    EXPECT_EQ(0, shortOnly->ServicePackMajor());
    EXPECT_EQ(0, shortOnly->SuiteMask());
    EXPECT_EQ(L"Unknown", shortOnly->ProductTypeName());
}

TEST(OpSysInfo, TheServicePackTextIsCutAtItsNulAndTrimmed) {
    EXPECT_EQ(L"Service Pack 2", From(Record(VER_PLATFORM_WIN32_NT, 5, 1, 1, "  Service Pack 2  "))->CSDVersion());
    EXPECT_EQ(L"", From(Record(VER_PLATFORM_WIN32_NT, 5, 1, 1, ""))->CSDVersion());
    OSVERSIONINFOEXA full = Record(VER_PLATFORM_WIN32_NT, 5, 1, 1);
    memset(full.szCSDVersion, 'x', sizeof full.szCSDVersion);  // no NUL at all
    EXPECT_EQ(std::wstring(128, L'x'), From(full)->CSDVersion());
}

// Runs the version probe with Wine reporting `version`, and reads what it printed.
std::map<std::string, std::string> ProbeUnder(const char* version) {
    const std::wstring setting = L"Software\\Wine\\AppDefaults\\version_probe.exe";
    test::WriteRaw(HKEY_CURRENT_USER, setting, "Version", REG_SZ, std::string(version) + '\0');

    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string probe = self;
    probe = probe.substr(0, probe.find_last_of('\\') + 1) + "version_probe.exe";

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process{};
    std::string command = "\"" + probe + "\"";
    BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                  &process);
    CloseHandle(writeEnd);
    std::string output;
    if (started) {
        char buffer[512];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got) output.append(buffer, got);
        WaitForSingleObject(process.hProcess, 30000);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(readEnd);
    test::DeleteTree(HKEY_CURRENT_USER, setting);

    std::map<std::string, std::string> values;
    size_t from = 0;
    while (from < output.size()) {
        size_t end = output.find('\n', from);
        std::string line = output.substr(from, end - from);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t equals = line.find('=');
        if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
        if (end == std::string::npos) break;
        from = end + 1;
    }
    return values;
}

TEST(OpSysInfoUnderWine, Windows95) {
    auto v = ProbeUnder("win95");
    EXPECT_EQ("1", v["PlatformID"]);
    EXPECT_EQ("Windows 95", v["Platform"]);
    EXPECT_EQ("True", v["IsWin9x"]);
    EXPECT_EQ("False", v["IsWin98"]);
    EXPECT_EQ("Windows 95 v4.0, Build 950", v["Version"]);
}

TEST(OpSysInfoUnderWine, Windows98AndMeAreToldApart) {
    auto ninetyEight = ProbeUnder("win98");
    EXPECT_EQ("Windows 98", ninetyEight["Platform"]);
    EXPECT_EQ("True", ninetyEight["IsWin95"]);
    EXPECT_EQ("False", ninetyEight["IsWinME"]);
    auto me = ProbeUnder("winme");
    EXPECT_EQ("Windows Me", me["Platform"]);
    EXPECT_EQ("True", me["IsWin98"]);
    EXPECT_EQ("Windows Me v4.90, Build 3000", me["Version"]);
}

TEST(OpSysInfoUnderWine, WindowsNt4) {
    auto v = ProbeUnder("nt40");
    EXPECT_EQ("2", v["PlatformID"]);
    EXPECT_EQ("Windows NT v4.0, Build 1381", v["Version"]);
    EXPECT_EQ("False", v["IsWin2K"]);
    EXPECT_EQ("Service Pack 6a", v["CSDVersion"]);
}

TEST(OpSysInfoUnderWine, Windows2000) {
    auto v = ProbeUnder("win2k");
    EXPECT_EQ("Windows 2000 v5.0, Build 2195", v["Version"]);
    EXPECT_EQ("NT Workstation", v["ProductTypeName"]);
    EXPECT_EQ("4", v["ServicePackMajor"]);
}

TEST(OpSysInfoUnderWine, WindowsXpAndLater) {
    EXPECT_EQ("Windows XP v5.1, Build 2600", ProbeUnder("winxp")["Version"]);
    EXPECT_EQ("Windows 2000 v6.0, Build 6002", ProbeUnder("vista")["Version"]);
    auto seven = ProbeUnder("win7");
    EXPECT_EQ("Windows XP v6.1, Build 7601", seven["Version"]);
    EXPECT_EQ("True", seven["IsWinNT"]);
}

}  // namespace
}  // namespace vantrell
