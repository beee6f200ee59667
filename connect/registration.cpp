#include "connect/registration.h"

#include "platform/type_library.h"
#include "connect/classes.h"

namespace vantrell {
namespace {

// The classes of the table with their ProgIDs, and their default interfaces.
const com::ServerEntries& Entries() {
    static const com::ServerEntries entries = [] {
        com::ServerEntries server{RegisteredClasses(), &LIBID_Vantrell, L"Quorvane Email History", {}};
        for (const ClassEntry& c : Classes()) server.interfaces.push_back({c.defaultInterface, c.interfaceName});
        return server;
    }();
    return entries;
}

HRESULT FromWin32(LONG rc) { return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(rc)); }

LONG WriteAll(RegistrationScope scope, const std::wstring& modulePath) {
    LONG rc = com::WriteServerEntries(ScopeRoot(scope), Entries(), modulePath);
    for (LONG step : {com::SetRegistryText(HKEY_CURRENT_USER, kAddinKey, L"FriendlyName", kAddinFriendlyName),
                      com::SetRegistryText(HKEY_CURRENT_USER, kAddinKey, L"Description", kAddinDescription),
                      com::SetRegistryNumber(HKEY_CURRENT_USER, kAddinKey, L"LoadBehavior", kAddinLoadAtStartup)})
        if (rc == ERROR_SUCCESS) rc = step;
    return rc;
}

}  // namespace

const std::vector<RegisteredClass>& RegisteredClasses() {
    static const std::vector<RegisteredClass> classes = [] {
        std::vector<RegisteredClass> list;
        for (const ClassEntry& c : Classes()) list.push_back({c.clsid, c.progId});
        return list;
    }();
    return classes;
}

RegistrationScope ScopeForThisProcess() noexcept {
    return com::IsElevated() ? RegistrationScope::Machine : RegistrationScope::PerUser;
}

HKEY ScopeRoot(RegistrationScope scope) noexcept {
    return scope == RegistrationScope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

HRESULT RegisterServer(RegistrationScope scope, const std::wstring& modulePath) noexcept {
    try {
        HRESULT hr = FromWin32(WriteAll(scope, modulePath));
        if (FAILED(hr)) UnregisterServer(scope);
        return hr;
    } catch (...) {
        UnregisterServer(scope);
        return E_OUTOFMEMORY;
    }
}

HRESULT UnregisterServer(RegistrationScope scope) noexcept {
    try {
        LONG rc = com::DeleteServerEntries(ScopeRoot(scope), Entries());
        LONG addin = com::DeleteRegistryTree(HKEY_CURRENT_USER, kAddinKey);
        if (rc == ERROR_SUCCESS) rc = addin;
        for (const wchar_t* container :
             {L"Software\\Microsoft\\Office\\Outlook\\Addins", L"Software\\Microsoft\\Office\\Outlook",
              L"Software\\Microsoft\\Office"})
            com::DeleteRegistryKeyIfEmpty(HKEY_CURRENT_USER, container);
        return FromWin32(rc);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace vantrell
