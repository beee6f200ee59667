#include "sim/helper/registration.h"

#include <objbase.h>

#include "OsbHelper.h"

namespace vantrell::sim::helper {

const HelperClass kHelperClasses[3] = {
    {&CLSID_OsbFolder, L"Ostrabin.OsbFolder"},
    {&CLSID_OsbMailItem, L"Ostrabin.OsbMailItem"},
    {&CLSID_OsbUtils, L"Ostrabin.OsbUtils"},
};

namespace {

constexpr const wchar_t* kClasses = L"Software\\Classes";
// The standard marshaller for dual interfaces described by a type library.
constexpr const wchar_t* kOleAutomationProxy = L"{00020424-0000-0000-C000-000000000046}";
constexpr const wchar_t* kTypeLibVersion = L"1.0";

struct DualInterface {
    const IID* iid;
    const wchar_t* name;
};
const DualInterface kInterfaces[] = {
    {&IID_IOsbFolder, L"IOsbFolder"},     {&IID_IOsbHiddenItems, L"IOsbHiddenItems"},
    {&IID_IOsbHiddenItem, L"IOsbHiddenItem"}, {&IID_IOsbMailItem, L"IOsbMailItem"},
    {&IID_IOsbUtils, L"IOsbUtils"},
};

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// Machine-wide for an elevated process, per-user otherwise.
HKEY Root() noexcept {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return HKEY_CURRENT_USER;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    BOOL known = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    return known && elevation.TokenIsElevated ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

LONG SetText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return rc;
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

void DeleteIfEmpty(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    DWORD subkeys = 0, values = 0;
    LONG rc = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                               nullptr, nullptr);
    RegCloseKey(key);
    if (rc == ERROR_SUCCESS && subkeys == 0 && values == 0) RegDeleteKeyW(root, path.c_str());
}

std::wstring Folder(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

LONG WriteAll(HKEY root, const std::wstring& modulePath) {
    const std::wstring classes = kClasses;
    const std::wstring libid = GuidText(LIBID_OsbHelper);
    LONG rc = ERROR_SUCCESS;
    auto step = [&](LONG result) {
        if (rc == ERROR_SUCCESS) rc = result;
    };
    for (const HelperClass& c : kHelperClasses) {
        const std::wstring clsid = GuidText(*c.clsid);
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
    step(SetText(root, libKey, nullptr, L"Ostrabin helper component (simulated)"));
    step(SetText(root, libKey + L"\\0\\win32", nullptr, modulePath));
    step(SetText(root, libKey + L"\\FLAGS", nullptr, L"0"));
    step(SetText(root, libKey + L"\\HELPDIR", nullptr, Folder(modulePath)));
    for (const DualInterface& i : kInterfaces) {
        const std::wstring key = classes + L"\\Interface\\" + GuidText(*i.iid);
        step(SetText(root, key, nullptr, i.name));
        step(SetText(root, key + L"\\ProxyStubClsid", nullptr, kOleAutomationProxy));
        step(SetText(root, key + L"\\ProxyStubClsid32", nullptr, kOleAutomationProxy));
        step(SetText(root, key + L"\\TypeLib", nullptr, libid));
        step(SetText(root, key + L"\\TypeLib", L"Version", kTypeLibVersion));
    }
    return rc;
}

HRESULT FromWin32(LONG rc) { return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(rc)); }

}  // namespace

HRESULT Register(const std::wstring& modulePath) noexcept {
    try {
        HRESULT hr = FromWin32(WriteAll(Root(), modulePath));
        if (FAILED(hr)) Unregister();
        return hr;
    } catch (...) {
        Unregister();
        return E_OUTOFMEMORY;
    }
}

HRESULT Unregister() noexcept {
    try {
        const HKEY root = Root();
        const std::wstring classes = kClasses;
        LONG rc = ERROR_SUCCESS;
        auto step = [&](LONG result) {
            if (rc == ERROR_SUCCESS) rc = result;
        };
        for (const HelperClass& c : kHelperClasses) {
            step(DeleteTree(root, classes + L"\\CLSID\\" + GuidText(*c.clsid)));
            step(DeleteTree(root, classes + L"\\" + c.progId));
        }
        step(DeleteTree(root, classes + L"\\TypeLib\\" + GuidText(LIBID_OsbHelper)));
        for (const DualInterface& i : kInterfaces) step(DeleteTree(root, classes + L"\\Interface\\" + GuidText(*i.iid)));
        for (const wchar_t* container : {L"\\CLSID", L"\\TypeLib", L"\\Interface"}) DeleteIfEmpty(root, classes + container);
        return FromWin32(rc);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace vantrell::sim::helper
