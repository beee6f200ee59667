#include "tests/common/registry_snapshot.h"

#include <vector>

namespace vantrell::test {
namespace {

void Collect(HKEY key, const std::wstring& prefix, RegistryTree& tree) {
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameLength = 16384;
        DWORD type = 0;
        DWORD size = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        std::vector<BYTE> data(size + 2);
        nameLength = 16384;
        DWORD dataSize = size;
        RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &dataSize);
        std::wstring text = std::to_wstring(type) + L":";
        for (DWORD b = 0; b < dataSize; ++b) {
            wchar_t hex[3];
            swprintf(hex, 3, L"%02X", data[b]);
            text += hex;
        }
        tree[prefix + L"|" + name] = text;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        std::wstring sub = prefix.empty() ? name : prefix + L"\\" + name;
        tree[sub] = L"";
        HKEY child = nullptr;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
            Collect(child, sub, tree);
            RegCloseKey(child);
        }
    }
}

}  // namespace

RegistryTree Snapshot(HKEY root, const std::wstring& path) {
    RegistryTree tree;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return tree;
    tree[L"."] = L"";
    Collect(key, L"", tree);
    RegCloseKey(key);
    return tree;
}

bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::optional<std::wstring> ReadText(HKEY root, const std::wstring& path, const wchar_t* name) {
    wchar_t buffer[4096];
    DWORD size = sizeof buffer;
    DWORD type = 0;
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &type, buffer,
                     &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}

std::optional<DWORD> ReadNumber(HKEY root, const std::wstring& path, const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

std::optional<RawValue> ReadRaw(HKEY root, const std::wstring& path, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
    std::optional<RawValue> result;
    if (rc == ERROR_SUCCESS) {
        std::string bytes(size, '\0');
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size);
        bytes.resize(size);
        result = RawValue{type, bytes};
    }
    RegCloseKey(key);
    return result;
}

void WriteRaw(HKEY root, const std::wstring& path, const char* name, DWORD type, const std::string& bytes) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) return;
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
}

void DeleteTree(HKEY root, const std::wstring& path) {
    RegDeleteTreeW(root, path.c_str());  // empties the key
    RegDeleteKeyW(root, path.c_str());
}

ScratchKey::ScratchKey(const std::wstring& name) : path_(L"Software\\VantrellTests\\" + name) {
    DeleteTree(HKEY_CURRENT_USER, path_);
}

ScratchKey::~ScratchKey() {
    DeleteTree(HKEY_CURRENT_USER, path_);
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VantrellTests");
}

}  // namespace vantrell::test
