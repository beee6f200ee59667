#pragma once
// Self-registration of the helper's three classes, their ProgIDs, its type library and its dual
// interfaces: for the machine (HKLM\Software\Classes) when the process is elevated, for the
// current user (HKCU\Software\Classes) otherwise.
#include <windows.h>

#include <string>

namespace vantrell::sim::helper {

struct HelperClass {
    const CLSID* clsid;
    const wchar_t* progId;
};
extern const HelperClass kHelperClasses[3];

// Writes every key; on a failure removes what it wrote and returns the failure.
HRESULT Register(const std::wstring& modulePath) noexcept;
// Removes exactly what Register writes (and the container keys it leaves empty).
HRESULT Unregister() noexcept;

}  // namespace vantrell::sim::helper
