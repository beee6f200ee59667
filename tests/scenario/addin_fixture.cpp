#include "tests/scenario/addin_fixture.h"

#include <objbase.h>

#include "tests/common/program_files.h"

#include "session/crm_addin.h"
#include "session/session_state.h"
#include "support/shared_state.h"

namespace vantrell::test {
namespace {

void ResetSharedState() {
    ErrorLogSize = 0;
    ErrorLogLevel = 0;
    SynchURL.clear();
    LoggingAddress = kDefaultLoggingAddress;
    ResetLogon = false;
    IsOutlook12 = false;
    LogonID = 0;
    CompanyID = 0;
    gobjOutlook.Reset();
    gobjRibbon.Reset();
    gobjCRMAddIn.Reset();
}

// Where the shell finds the user's folders; the scenario programs run one at a time (their
// lock), so that one test's folder is never another's.
constexpr const wchar_t* kUserShellFolders = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

bool ReadAppData(std::wstring& value) {
    wchar_t buffer[MAX_PATH * 2] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, kUserShellFolders, L"AppData", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ |
                     RRF_NOEXPAND, nullptr, buffer, &size) != ERROR_SUCCESS)
        return false;
    value = buffer;
    return true;
}

void WriteAppData(const std::wstring& value, DWORD type) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kUserShellFolders, L"AppData", type, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

void AddinTest::SetUp() {
    windows.Always("Initialize Quorvane Email History", WindowScript::ClickButton(IDCANCEL));
    DeleteTree(HKEY_CURRENT_USER, L"Software\\Quorvane");
    DeleteTree(HKEY_CURRENT_USER, L"Software\\Quorvanes");
    hadAppData_ = ReadAppData(oldAppData_);
    const std::string folder = AppData();
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteAppData(std::wstring(folder.begin(), folder.end() - 1), REG_SZ);
}

void AddinTest::TearDown() {
    DeleteTree(HKEY_CURRENT_USER, L"Software\\Quorvane");
    DeleteTree(HKEY_CURRENT_USER, L"Software\\Quorvanes");
    if (hadAppData_)
        WriteAppData(oldAppData_, REG_EXPAND_SZ);
    else
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kUserShellFolders, L"AppData");
}

std::vector<std::string> AddinTest::TraceLines() const {
    std::vector<std::string> lines;
    std::string text = Trace();
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find("\r\n", from);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(from, end - from);
        // Drop the time stamp: everything up to the space before "module::".
        size_t colons = line.find("::");
        if (colons != std::string::npos) {
            size_t space = line.rfind(' ', colons);
            line = line.substr(space == std::string::npos ? 0 : space + 1);
        }
        lines.push_back(line);
        from = end + 2;
    }
    return lines;
}

void AddinTest::SetSetting(const char* name, DWORD value) {
    WriteRaw(HKEY_CURRENT_USER, kSettings, name, REG_DWORD, std::string(reinterpret_cast<const char*>(&value), 4));
}

void AddinTest::SetSetting(const char* name, const std::string& text) {
    WriteRaw(HKEY_CURRENT_USER, kSettings, name, REG_SZ, text + '\0');
}

void RegisteredAddinTest::SetUp() {
    AddinTest::SetUp();
    dll_ = LoadLibraryW(BesideThisProgram(L"Vantrell.dll").c_str());
    ASSERT_NE(nullptr, dll_);
    ASSERT_EQ(S_OK, CallEntryPoint(dll_, "DllRegisterServer"));
}

void RegisteredAddinTest::TearDown() {
    if (dll_) {
        CallEntryPoint(dll_, "DllUnregisterServer");
        CoFreeUnusedLibraries();
        FreeLibrary(dll_);
    }
    AddinTest::TearDown();
}

void LinkedAddinTest::SetUp() {
    AddinTest::SetUp();
    // The linked code stands alone: an add-in entry left by an interrupted run of the
    // registered tests would have the simulated Outlook load the DLL beside it.
    DeleteTree(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office\\Outlook\\Addins\\Vantrell.Connect");
    ResetSharedState();
}

void LinkedAddinTest::TearDown() {
    ResetSharedState();
    AddinTest::TearDown();
}

}  // namespace vantrell::test
