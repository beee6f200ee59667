#include "support/trace.h"

#include <oleauto.h>

#include <string>

#include "platform/ansi.h"
#include "platform/failure.h"
#include "support/shared_state.h"

namespace vantrell {
namespace {

class File {
public:
    explicit File(HANDLE h) noexcept : h_(h) {}
    ~File() {
        if (Valid()) CloseHandle(h_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool Valid() const noexcept { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const noexcept { return h_; }

private:
    HANDLE h_;
};

bool WriteAll(HANDLE h, const char* data, size_t size) {
    while (size > 0) {
        DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(h, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

// Appends `bytes`; returns the file's length after the write, or -1 when nothing was written.
long long AppendLine(const std::string& path, const std::string& bytes) {
    File file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return -1;
    LARGE_INTEGER zero{}, end{};
    if (!SetFilePointerEx(file.Get(), zero, &end, FILE_END)) return -1;
    if (!WriteAll(file.Get(), bytes.data(), bytes.size())) return -1;
    return end.QuadPart + static_cast<long long>(bytes.size());
}

// Reads the last `count` bytes of a file that is `length` bytes long.
bool ReadTail(const std::string& path, long long length, long long count, std::string& out) {
    File file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return false;
    LARGE_INTEGER from{};
    from.QuadPart = length - count;
    if (!SetFilePointerEx(file.Get(), from, nullptr, FILE_BEGIN)) return false;
    out.assign(static_cast<size_t>(count), '\0');
    size_t done = 0;
    while (done < out.size()) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), out.data() + done, static_cast<DWORD>(out.size() - done), &got, nullptr)) return false;
        if (got == 0) break;
        done += got;
    }
    // The file changed under us (another writer): keep it as it is.
    return done == out.size();
}

// Replaces the file's content in one step: the new text goes to a file beside it, which
// then takes the original's place. Any failure leaves the original untouched.
bool ReplaceContent(const std::string& path, std::string_view content) {
    std::string temporary = path + ".tmp";
    bool written = false;
    {
        File file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
        if (!file.Valid()) return false;
        written = WriteAll(file.Get(), content.data(), content.size());
    }
    if (!written) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    if (MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    if (GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) {
        // Windows 9x has no replacing move: the gap between the two steps is unavoidable there.
        if (DeleteFileA(path.c_str()) && MoveFileA(temporary.c_str(), path.c_str())) return true;
    }
    DeleteFileA(temporary.c_str());
    return false;
}

// Keeps the newest lines: the last cap + 1 bytes, from their first line boundary on, with
// the newest line's CR LF written back. Reads only that tail and writes it once.
void Trim(const std::string& path, long long length, long long cap) {
    std::string kept;
    if (!ReadTail(path, length, cap + 1, kept)) return;
    size_t boundary = kept.find("\r\n");
    size_t start = boundary == std::string::npos ? 1 : boundary + 2;
    std::string_view body(kept);
    body.remove_prefix(start < kept.size() ? start : kept.size());
    // The kept text ends with the newest line's CR LF, which is dropped and written again:
    // the bytes are the same, so the tail goes out as it is.
    if (body.size() >= 2 && body.substr(body.size() - 2) == "\r\n") {
        ReplaceContent(path, body);
        return;
    }
    std::string rebuilt(body.substr(0, body.size() >= 2 ? body.size() - 2 : 0));
    rebuilt += "\r\n";
    ReplaceContent(path, rebuilt);
}

std::string LineFor(std::wstring_view module, std::wstring_view procedure, std::wstring_view text) {
    if (text == kTraceSeparator) return ToAnsi(text) + "\r\n";
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::wstring line = GeneralDate(now);
    line.reserve(line.size() + module.size() + procedure.size() + text.size() + 6);
    line += L' ';
    line += module;
    line += L"::";
    line += procedure;
    line += L':';
    line += text;
    line += L"\r\n";
    return ToAnsi(line);
}

}  // namespace

std::wstring GeneralDate(const SYSTEMTIME& time) {
    SYSTEMTIME whole = time;
    whole.wMilliseconds = 0;  // whole seconds, so the text never rounds up to the next one
    double date = 0;
    if (!SystemTimeToVariantTime(&whole, &date)) return {};
    BSTR text = nullptr;
    if (FAILED(VarBstrFromDate(date, LOCALE_USER_DEFAULT, 0, &text)) || !text) return {};
    std::wstring result(text, SysStringLen(text));
    SysFreeString(text);
    return result;
}

std::wstring GetTempDir() {
    char buffer[255] = {};
    DWORD n = GetTempPathA(sizeof buffer, buffer);
    if (n == 0) return {};
    // A path that does not fit is reported by its length and not written: the text is empty.
    return FromAnsi(std::string_view(buffer, strnlen(buffer, sizeof buffer)));
}

std::wstring TracePath() { return GetTempDir() + std::wstring(kTraceFileName); }

void WriteTrace(std::wstring_view module, std::wstring_view procedure, std::wstring_view text, long level) noexcept {
    ProcedureScope scope;
    try {
        if (level > ErrorLogLevel || ErrorLogSize == 0) return;
        std::string path = ToAnsi(TracePath());
        long long length = AppendLine(path, LineFor(module, procedure, text));
        if (length < 0) return;
        if (ErrorLogSize > 0 && length > ErrorLogSize) Trim(path, length, ErrorLogSize);
    } catch (...) {
        // The trace never interrupts the add-in.
    }
}

}  // namespace vantrell
