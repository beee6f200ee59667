#pragma once
// The build's programs and DLLs sit side by side: finding one, and calling a DLL's
// argument-less entry point (DllRegisterServer and friends).
#include <windows.h>

#include <string>

namespace vantrell::test {

inline std::wstring BesideThisProgram(const wchar_t* name) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L'\\') + 1) + name;
}

inline HRESULT CallEntryPoint(HMODULE dll, const char* name) {
    using EntryPoint = HRESULT(WINAPI*)();
    auto entry = reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
    return entry ? entry() : E_NOTIMPL;
}

}  // namespace vantrell::test
