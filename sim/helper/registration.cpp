#include "sim/helper/registration.h"

#include <objbase.h>

#include "OsbHelper.h"
#include "platform/com_registration.h"

namespace vantrell::sim::helper {

const HelperClass kHelperClasses[3] = {
    {&CLSID_OsbFolder, L"Ostrabin.OsbFolder"},
    {&CLSID_OsbMailItem, L"Ostrabin.OsbMailItem"},
    {&CLSID_OsbUtils, L"Ostrabin.OsbUtils"},
};

namespace {

const com::ServerEntries& Entries() {
    static const com::ServerEntries entries = {
        {kHelperClasses[0], kHelperClasses[1], kHelperClasses[2]},
        &LIBID_OsbHelper,
        L"Ostrabin helper component (simulated)",
        {{&IID_IOsbFolder, L"IOsbFolder"},
         {&IID_IOsbHiddenItems, L"IOsbHiddenItems"},
         {&IID_IOsbHiddenItem, L"IOsbHiddenItem"},
         {&IID_IOsbMailItem, L"IOsbMailItem"},
         {&IID_IOsbUtils, L"IOsbUtils"}},
    };
    return entries;
}

// Machine-wide for an elevated process, per-user otherwise.
HKEY Root() noexcept { return com::IsElevated() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

HRESULT FromWin32(LONG rc) { return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(rc)); }

}  // namespace

HRESULT Register(const std::wstring& modulePath) noexcept {
    try {
        HRESULT hr = FromWin32(com::WriteServerEntries(Root(), Entries(), modulePath));
        if (FAILED(hr)) Unregister();
        return hr;
    } catch (...) {
        Unregister();
        return E_OUTOFMEMORY;
    }
}

HRESULT Unregister() noexcept {
    try {
        return FromWin32(com::DeleteServerEntries(Root(), Entries()));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace vantrell::sim::helper
