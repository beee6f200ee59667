#pragma once
// Self-registration of the helper's three classes, their ProgIDs, its type library and its dual
// interfaces: for the machine (HKLM\Software\Classes) when the process is elevated, for the
// current user (HKCU\Software\Classes) otherwise.
#include <windows.h>

#include <string>

#include "platform/com_registration.h"

namespace vantrell::sim::helper {

using HelperClass = com::RegisteredClass;
extern const HelperClass kHelperClasses[3];

// Writes every key; on a failure removes what it wrote and returns the failure.
HRESULT Register(const std::wstring& modulePath) noexcept;
// Removes exactly what Register writes (and the container keys it leaves empty).
HRESULT Unregister() noexcept;

}  // namespace vantrell::sim::helper
