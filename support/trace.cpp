#include "support/trace.h"

#include <oleauto.h>

#include <memory>
#include <string>

#include "platform/ansi.h"
#include "platform/failure.h"
#include "support/shared_state.h"
#include "support/trace_trim.h"

namespace vantrell {
namespace {

// The kept text is copied through a buffer of this size: small enough that the heap hands the
// same block back call after call (a buffer of the whole cap was a fresh mapping of 1 MiB,
// zero-filled, for every line at the cap).
constexpr DWORD kChunk = 64 * 1024;

// The trace's one home for file operations. Every handle shares reading and writing, so other
// programs can read the file meanwhile, and the trim can rewrite it under such a reader.
class File {
public:
    File(const std::string& path, DWORD access, DWORD disposition) noexcept
        : h_(CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~File() {
        if (Valid()) CloseHandle(h_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool Valid() const noexcept { return h_ != INVALID_HANDLE_VALUE; }

    // Writes at the end; returns the file's length after the write, or -1 when it failed.
    long long Append(const std::string& bytes) const noexcept {
        LARGE_INTEGER zero{}, end{};
        if (!Valid() || !SetFilePointerEx(h_, zero, &end, FILE_END)) return -1;
        return Write(bytes.data(), bytes.size()) ? end.QuadPart + static_cast<long long>(bytes.size()) : -1;
    }
    // Reads up to `size` bytes at `offset`; returns how many it read (0 at the end or on failure).
    DWORD ReadAt(long long offset, char* data, DWORD size) const noexcept {
        DWORD got = 0;
        return Seek(offset) && ReadFile(h_, data, size, &got, nullptr) ? got : 0;
    }
    bool WriteAt(long long offset, const char* data, size_t size) const noexcept {
        return Seek(offset) && Write(data, size);
    }
    long long Size() const noexcept {
        LARGE_INTEGER size{};
        return GetFileSizeEx(h_, &size) ? size.QuadPart : -1;
    }
    bool Truncate(long long length) const noexcept { return Seek(length) && SetEndOfFile(h_); }

private:
    // The file pointer, not an offset given with each call: under Wine that is the cheaper.
    bool Seek(long long offset) const noexcept {
        LARGE_INTEGER at{};
        at.QuadPart = offset;
        return SetFilePointerEx(h_, at, nullptr, FILE_BEGIN);
    }
    bool Write(const char* data, size_t size) const noexcept {
        while (size > 0) {
            DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
            DWORD written = 0;
            if (!WriteFile(h_, data, chunk, &written, nullptr) || written == 0) return false;
            data += written;
            size -= written;
        }
        return true;
    }

    HANDLE h_;
};

// Writes the text the trim keeps from `log` (`length` bytes long, ending with the newest line
// and its CR LF) to the start of `target`, which may be `log` itself; returns its size, or -1
// when a read or a write failed. The kept text is what follows the first CR LF in the last
// cap + 1 bytes, the newest line's own CR LF aside. When there is no other, the newest line is
// cap bytes or longer and the last cap bytes are kept: its end, cut from its start, though
// never shorter than its CR LF. Copied forwards, so an overlapping target is safe.
long long WriteKept(const File& log, long long length, long long cap, const File& target, char* buffer) {
    const long long from = TraceKeptFrom(
        length, cap, [&log](long long offset, char* data, size_t size) {
            return static_cast<size_t>(log.ReadAt(offset, data, static_cast<DWORD>(size)));
        },
        buffer, kChunk);
    for (long long at = from; at < length;) {
        DWORD got = log.ReadAt(at, buffer, static_cast<DWORD>(length - at < kChunk ? length - at : kChunk));
        // Read short: the file changed under us (another writer); the trim gives up.
        if (got == 0 || !target.WriteAt(at - from, buffer, got)) return -1;
        at += got;
    }
    return length - from;
}

// The kept text goes to a file beside the log, which then takes the log's place in one step.
// Until then the log is untouched; on any failure it stays as it was.
bool ReplaceWithKept(const std::string& path, long long length, long long cap, char* buffer) {
    std::string temporary = path + ".tmp";
    bool written = false;
    {
        File log(path, GENERIC_READ, OPEN_EXISTING);
        File copy(temporary, GENERIC_WRITE, CREATE_ALWAYS);
        written = log.Valid() && copy.Valid() && WriteKept(log, length, cap, copy, buffer) >= 0;
    }
    if (written && MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    DeleteFileA(temporary.c_str());
    return false;
}

// For when the log cannot be replaced: another program holds it open (a viewer, a scanner),
// or the system has no replacing move. The kept text is written over the log's start, copied
// forwards, and the rest cut off. A program that refuses writers leaves the file as it was; a
// write refused part way leaves it uncut, its newest lines still at its end, so nothing the
// cap keeps is lost either way.
void RewriteInPlace(const std::string& path, long long length, long long cap, char* buffer) {
    File log(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    if (!log.Valid() || log.Size() != length) return;
    long long kept = WriteKept(log, length, cap, log, buffer);
    if (kept >= 0) log.Truncate(kept);
}

// Keeps the newest lines within the cap (see WriteKept); never deletes the log.
void Trim(const std::string& path, long long length, long long cap) {
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    if (!ReplaceWithKept(path, length, cap, buffer.get())) RewriteInPlace(path, length, cap, buffer.get());
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
        // Opened for this line alone: closed again before the trim, which may replace the file.
        long long length = File(path, GENERIC_WRITE, OPEN_ALWAYS).Append(LineFor(module, procedure, text));
        if (length < 0) return;
        if (ErrorLogSize > 0 && length > ErrorLogSize) Trim(path, length, ErrorLogSize);
    } catch (...) {
        // The trace never interrupts the add-in.
    }
}

}  // namespace vantrell
