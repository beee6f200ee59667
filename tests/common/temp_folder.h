#pragma once
// A fresh folder that GetTempPath reports while the test runs (TMP and TEMP point at it).
#include <string>

namespace vantrell::test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // With a trailing backslash, as GetTempPath gives it.
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
    std::string oldTmp_, oldTemp_;
    bool hadTmp_ = false, hadTemp_ = false;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

}  // namespace vantrell::test
