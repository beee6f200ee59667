#pragma once
// Reading and comparing registry trees in tests.
#include <windows.h>

#include <map>
#include <optional>
#include <string>

namespace vantrell::test {

// Every key and value below root\path: "sub\key" -> "" for keys, "sub\key|name" -> "type:data".
using RegistryTree = std::map<std::wstring, std::wstring>;
RegistryTree Snapshot(HKEY root, const std::wstring& path);

bool KeyExists(HKEY root, const std::wstring& path);
std::optional<std::wstring> ReadText(HKEY root, const std::wstring& path, const wchar_t* name);
std::optional<DWORD> ReadNumber(HKEY root, const std::wstring& path, const wchar_t* name);
// The raw value: its type and bytes, or nullopt when absent.
struct RawValue {
    DWORD type;
    std::string bytes;
};
std::optional<RawValue> ReadRaw(HKEY root, const std::wstring& path, const char* name);
void WriteRaw(HKEY root, const std::wstring& path, const char* name, DWORD type, const std::string& bytes);
void DeleteTree(HKEY root, const std::wstring& path);

// A scratch key under HKCU\Software that is removed when the test ends.
class ScratchKey {
public:
    explicit ScratchKey(const std::wstring& name);
    ~ScratchKey();
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

}  // namespace vantrell::test
