#include "tests/common/temp_folder.h"

#include <windows.h>

#include <fstream>
#include <sstream>

namespace vantrell::test {
namespace {

bool ReadEnv(const char* name, std::string& value) {
    char buffer[4096];
    DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return false;
    value.assign(buffer, n);
    return true;
}

void RemoveFolder(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = folder + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolder(path + "\\");
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

TempFolder::TempFolder() {
    hadTmp_ = ReadEnv("TMP", oldTmp_);
    hadTemp_ = ReadEnv("TEMP", oldTemp_);
    char base[MAX_PATH + 1];
    GetTempPathA(sizeof base, base);
    char unique[32];
    snprintf(unique, sizeof unique, "vt%lu_%lu\\", GetCurrentProcessId(), GetTickCount());
    path_ = std::string(base) + unique;
    CreateDirectoryA(path_.c_str(), nullptr);
    std::string withoutSlash = path_.substr(0, path_.size() - 1);
    SetEnvironmentVariableA("TMP", withoutSlash.c_str());
    SetEnvironmentVariableA("TEMP", withoutSlash.c_str());
}

TempFolder::~TempFolder() {
    SetEnvironmentVariableA("TMP", hadTmp_ ? oldTmp_.c_str() : nullptr);
    SetEnvironmentVariableA("TEMP", hadTemp_ ? oldTemp_.c_str() : nullptr);
    RemoveFolder(path_);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace vantrell::test
