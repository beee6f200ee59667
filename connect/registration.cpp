#include "connect/registration.h"

#include <objbase.h>

#include "connect/type_library.h"

namespace vantrell {
namespace {

constexpr const wchar_t* kClassesKey = L"Software\\Classes";
// The standard marshaller for dual interfaces described by a type library.
constexpr const wchar_t* kOleAutomationProxy = L"{00020424-0000-0000-C000-000000000046}";
constexpr const wchar_t* kTypeLibVersion = L"1.0";
constexpr const wchar_t* kLibraryName = L"Quorvane Email History";

struct DualInterface {
    const IID* iid;
    const wchar_t* name;
};

const DualInterface kInterfaces[] = {
    {&IID__Connect, L"_Connect"}, {&IID__CRMAddIn, L"_CRMAddIn"}, {&IID__InspWrap, L"_InspWrap"},
    {&IID__RegOp, L"_RegOp"},     {&IID__COpSysInfo, L"_COpSysInfo"},
};

class Key {
public:
    Key() = default;
    ~Key() {
        if (h_) RegCloseKey(h_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    LONG Create(HKEY parent, const std::wstring& path) {
        return RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr,
                               &h_, nullptr);
    }
    HKEY Get() const { return h_; }

private:
    HKEY h_ = nullptr;
};

LONG SetText(HKEY parent, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    Key key;
    LONG rc = key.Create(parent, path);
    if (rc != ERROR_SUCCESS) return rc;
    return RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LONG SetNumber(HKEY parent, const std::wstring& path, const wchar_t* name, DWORD value) {
    Key key;
    LONG rc = key.Create(parent, path);
    if (rc != ERROR_SUCCESS) return rc;
    return RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

// Deletes a key with everything below it; a key that is not there counts as deleted.
LONG DeleteTree(HKEY parent, const std::wstring& path) {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | KEY_WRITE, &key);
    if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    for (;;) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (DeleteTree(key, name) != ERROR_SUCCESS) break;
    }
    RegCloseKey(key);
    rc = RegDeleteKeyW(parent, path.c_str());
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

// Removes a container key only when nothing is left in it.
void DeleteIfEmpty(HKEY parent, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    DWORD subkeys = 0, values = 0;
    LONG rc = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                               nullptr, nullptr);
    // A key's unnamed default value counts only when set.
    RegCloseKey(key);
    if (rc == ERROR_SUCCESS && subkeys == 0 && values == 0) RegDeleteKeyW(parent, path.c_str());
}

std::wstring Folder(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

HRESULT FromWin32(LONG rc) { return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(rc)); }

HRESULT WriteAll(RegistrationScope scope, const std::wstring& modulePath) {
    HKEY root = ScopeRoot(scope);
    const std::wstring classes = kClassesKey;
    const std::wstring libid = GuidString(LIBID_Vantrell);
    LONG rc = ERROR_SUCCESS;
    auto step = [&](LONG result) {
        if (rc == ERROR_SUCCESS) rc = result;
    };

    for (const RegisteredClass& c : RegisteredClasses()) {
        const std::wstring clsid = GuidString(*c.clsid);
        const std::wstring classKey = classes + L"\\CLSID\\" + clsid;
        step(SetText(root, classKey, nullptr, c.progId));
        step(SetText(root, classKey + L"\\InprocServer32", nullptr, modulePath));
        step(SetText(root, classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"));
        step(SetText(root, classKey + L"\\ProgID", nullptr, c.progId));
        step(SetText(root, classKey + L"\\TypeLib", nullptr, libid));
        step(SetText(root, classes + L"\\" + c.progId, nullptr, c.progId));
        step(SetText(root, classes + L"\\" + c.progId + L"\\CLSID", nullptr, clsid));
    }

    const std::wstring libKey = classes + L"\\TypeLib\\" + libid + L"\\" + kTypeLibVersion;
    step(SetText(root, libKey, nullptr, kLibraryName));
    step(SetText(root, libKey + L"\\0\\win32", nullptr, modulePath));
    step(SetText(root, libKey + L"\\FLAGS", nullptr, L"0"));
    step(SetText(root, libKey + L"\\HELPDIR", nullptr, Folder(modulePath)));
    for (const DualInterface& i : kInterfaces) {
        const std::wstring key = classes + L"\\Interface\\" + GuidString(*i.iid);
        step(SetText(root, key, nullptr, i.name));
        step(SetText(root, key + L"\\ProxyStubClsid", nullptr, kOleAutomationProxy));
        step(SetText(root, key + L"\\ProxyStubClsid32", nullptr, kOleAutomationProxy));
        step(SetText(root, key + L"\\TypeLib", nullptr, libid));
        step(SetText(root, key + L"\\TypeLib", L"Version", kTypeLibVersion));
    }

    step(SetText(HKEY_CURRENT_USER, kAddinKey, L"FriendlyName", kAddinFriendlyName));
    step(SetText(HKEY_CURRENT_USER, kAddinKey, L"Description", kAddinDescription));
    step(SetNumber(HKEY_CURRENT_USER, kAddinKey, L"LoadBehavior", kAddinLoadAtStartup));
    return FromWin32(rc);
}

}  // namespace

std::wstring GuidString(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

const std::vector<RegisteredClass>& RegisteredClasses() {
    static const std::vector<RegisteredClass> classes = {
        {&CLSID_Connect, L"Vantrell.Connect"}, {&CLSID_CRMAddIn, L"Vantrell.CRMAddIn"},
        {&CLSID_InspWrap, L"Vantrell.InspWrap"}, {&CLSID_RegOp, L"Vantrell.RegOp"},
        {&CLSID_COpSysInfo, L"Vantrell.COpSysInfo"},
    };
    return classes;
}

RegistrationScope ScopeForThisProcess() noexcept {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return RegistrationScope::PerUser;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    BOOL known = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    if (known) return elevation.TokenIsElevated ? RegistrationScope::Machine : RegistrationScope::PerUser;
    // Before Vista there is no elevation: an administrator installs for the machine.
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    BOOL member = FALSE;
    if (AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                 &administrators)) {
        if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
        FreeSid(administrators);
    }
    return member ? RegistrationScope::Machine : RegistrationScope::PerUser;
}

HKEY ScopeRoot(RegistrationScope scope) noexcept {
    return scope == RegistrationScope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

HRESULT RegisterServer(RegistrationScope scope, const std::wstring& modulePath) noexcept {
    try {
        HRESULT hr = WriteAll(scope, modulePath);
        if (FAILED(hr)) UnregisterServer(scope);
        return hr;
    } catch (...) {
        UnregisterServer(scope);
        return E_OUTOFMEMORY;
    }
}

HRESULT UnregisterServer(RegistrationScope scope) noexcept {
    try {
        HKEY root = ScopeRoot(scope);
        const std::wstring classes = kClassesKey;
        LONG rc = ERROR_SUCCESS;
        auto step = [&](LONG result) {
            if (rc == ERROR_SUCCESS) rc = result;
        };
        for (const RegisteredClass& c : RegisteredClasses()) {
            step(DeleteTree(root, classes + L"\\CLSID\\" + GuidString(*c.clsid)));
            step(DeleteTree(root, classes + L"\\" + c.progId));
        }
        step(DeleteTree(root, classes + L"\\TypeLib\\" + GuidString(LIBID_Vantrell)));
        for (const DualInterface& i : kInterfaces) step(DeleteTree(root, classes + L"\\Interface\\" + GuidString(*i.iid)));
        for (const wchar_t* container : {L"\\CLSID", L"\\TypeLib", L"\\Interface"}) DeleteIfEmpty(root, classes + container);

        step(DeleteTree(HKEY_CURRENT_USER, kAddinKey));
        for (const wchar_t* container :
             {L"Software\\Microsoft\\Office\\Outlook\\Addins", L"Software\\Microsoft\\Office\\Outlook",
              L"Software\\Microsoft\\Office"})
            DeleteIfEmpty(HKEY_CURRENT_USER, container);
        return FromWin32(rc);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace vantrell
