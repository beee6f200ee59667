#include "platform/com_registration.h"

#include <objbase.h>

namespace vantrell::com {
namespace {

constexpr const wchar_t* kClassesKey = L"Software\\Classes";
constexpr const wchar_t* kOleAutomationProxy = L"{00020424-0000-0000-C000-000000000046}";
constexpr const wchar_t* kTypeLibVersion = L"1.0";

std::wstring Folder(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// Keeps the first failure of a run of steps.
class Steps {
public:
    void operator()(LONG result) {
        if (rc_ == ERROR_SUCCESS) rc_ = result;
    }
    LONG Result() const { return rc_; }

private:
    LONG rc_ = ERROR_SUCCESS;
};

}  // namespace

std::wstring GuidString(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

LONG SetRegistryText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return rc;
}

LONG SetRegistryNumber(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
    return rc;
}

LONG DeleteRegistryTree(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WRITE, &key);
    if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    for (;;) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (DeleteRegistryTree(key, name) != ERROR_SUCCESS) break;
    }
    RegCloseKey(key);
    rc = RegDeleteKeyW(root, path.c_str());
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

void DeleteRegistryKeyIfEmpty(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    DWORD subkeys = 0, values = 0;
    LONG rc = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                               nullptr, nullptr);
    RegCloseKey(key);
    if (rc == ERROR_SUCCESS && subkeys == 0 && values == 0) RegDeleteKeyW(root, path.c_str());
}

LONG WriteServerEntries(HKEY root, const ServerEntries& server, const std::wstring& modulePath) {
    const std::wstring classes = kClassesKey;
    const std::wstring libid = GuidString(*server.library);
    Steps step;
    for (const RegisteredClass& c : server.classes) {
        const std::wstring clsid = GuidString(*c.clsid);
        const std::wstring classKey = classes + L"\\CLSID\\" + clsid;
        step(SetRegistryText(root, classKey, nullptr, c.progId));
        step(SetRegistryText(root, classKey + L"\\InprocServer32", nullptr, modulePath));
        step(SetRegistryText(root, classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"));
        step(SetRegistryText(root, classKey + L"\\ProgID", nullptr, c.progId));
        step(SetRegistryText(root, classKey + L"\\TypeLib", nullptr, libid));
        step(SetRegistryText(root, classes + L"\\" + c.progId, nullptr, c.progId));
        step(SetRegistryText(root, classes + L"\\" + c.progId + L"\\CLSID", nullptr, clsid));
    }
    const std::wstring libKey = classes + L"\\TypeLib\\" + libid + L"\\" + kTypeLibVersion;
    step(SetRegistryText(root, libKey, nullptr, server.libraryName));
    step(SetRegistryText(root, libKey + L"\\0\\win32", nullptr, modulePath));
    step(SetRegistryText(root, libKey + L"\\FLAGS", nullptr, L"0"));
    step(SetRegistryText(root, libKey + L"\\HELPDIR", nullptr, Folder(modulePath)));
    for (const DualInterface& i : server.interfaces) {
        const std::wstring key = classes + L"\\Interface\\" + GuidString(*i.iid);
        step(SetRegistryText(root, key, nullptr, i.name));
        step(SetRegistryText(root, key + L"\\ProxyStubClsid", nullptr, kOleAutomationProxy));
        step(SetRegistryText(root, key + L"\\ProxyStubClsid32", nullptr, kOleAutomationProxy));
        step(SetRegistryText(root, key + L"\\TypeLib", nullptr, libid));
        step(SetRegistryText(root, key + L"\\TypeLib", L"Version", kTypeLibVersion));
    }
    return step.Result();
}

LONG DeleteServerEntries(HKEY root, const ServerEntries& server) {
    const std::wstring classes = kClassesKey;
    Steps step;
    for (const RegisteredClass& c : server.classes) {
        step(DeleteRegistryTree(root, classes + L"\\CLSID\\" + GuidString(*c.clsid)));
        step(DeleteRegistryTree(root, classes + L"\\" + c.progId));
    }
    step(DeleteRegistryTree(root, classes + L"\\TypeLib\\" + GuidString(*server.library)));
    for (const DualInterface& i : server.interfaces)
        step(DeleteRegistryTree(root, classes + L"\\Interface\\" + GuidString(*i.iid)));
    for (const wchar_t* container : {L"\\CLSID", L"\\TypeLib", L"\\Interface"})
        DeleteRegistryKeyIfEmpty(root, classes + container);
    return step.Result();
}

bool IsElevated() noexcept {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    BOOL known = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    if (known) return elevation.TokenIsElevated != 0;
    // Before Vista there is no elevation: an administrator installs for the machine.
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    BOOL member = FALSE;
    if (AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                 &administrators)) {
        if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
        FreeSid(administrators);
    }
    return member != FALSE;
}

}  // namespace vantrell::com
