#pragma once
// Fresh identifiers as 32 upper-case hexadecimal digits, the keys of the inspector wrappers.
#include <windows.h>

#include <string>

namespace vantrell {

// A new GUID as text, or empty (and a trace line) when none could be made.
std::wstring GetGUID();

// The same, from a given generator (CoCreateGuid for GetGUID).
using GuidGenerator = HRESULT(WINAPI*)(GUID*);
std::wstring GetGUIDFrom(GuidGenerator generate);

// The generator GetGUID uses (CoCreateGuid unless a test put another in); returns the one it
// replaces. Null restores CoCreateGuid.
GuidGenerator UseGuidGenerator(GuidGenerator generate) noexcept;

// 1A2B3C4D-0506-0708-090A-0B0C0D0E0F10 as 1A2B3C4D05060708090A0B0C0D0E0F10.
std::wstring GuidText(const GUID& guid);

}  // namespace vantrell
