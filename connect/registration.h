#pragma once
// Self-registration: the classes of the class table (classes.h), their ProgIDs and the type
// library, either for the current user (HKCU\Software\Classes) or for the machine
// (HKLM\Software\Classes); and the Outlook add-in key, always in the current user's hive.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/com_registration.h"

namespace vantrell {

enum class RegistrationScope { PerUser, Machine };

// Machine-wide for an elevated process (an administrator's install), per-user otherwise.
RegistrationScope ScopeForThisProcess() noexcept;

// The classes key the scope writes to: HKCU or HKLM, "Software\Classes".
HKEY ScopeRoot(RegistrationScope scope) noexcept;

using com::GuidString;
using com::RegisteredClass;
// The class table's classes with their ProgIDs, in its order.
const std::vector<RegisteredClass>& RegisteredClasses();

inline constexpr const wchar_t* kAddinKey = L"Software\\Microsoft\\Office\\Outlook\\Addins\\Vantrell.Connect";
inline constexpr const wchar_t* kAddinFriendlyName = L"Quorvane Email History";
inline constexpr const wchar_t* kAddinDescription = L"Quorvane Email History for Outlook";
inline constexpr DWORD kAddinLoadAtStartup = 3;

// Writes every key; on a failure removes what it wrote and returns the failure.
HRESULT RegisterServer(RegistrationScope scope, const std::wstring& modulePath) noexcept;
// Removes exactly what RegisterServer writes (and the container keys it leaves empty).
HRESULT UnregisterServer(RegistrationScope scope) noexcept;

}  // namespace vantrell
