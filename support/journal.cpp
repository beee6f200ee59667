#include "support/journal.h"

#include <windows.h>

#include <cstring>
#include <functional>

#include "support/trace.h"

namespace vantrell {
namespace {

constexpr std::wstring_view kModule = L"Journal";
// More than this is never read: only the newest lines of a file grown past it (by another
// program, or by rewrites that kept failing), so that a stray file cannot fill Outlook's memory.
constexpr long long kMostRead = 64LL * 1024 * 1024;
// Damaged lines traced one by one at an opening; the rest are counted in one line.
constexpr size_t kTracedDamage = 10;

std::wstring Number(unsigned long long value) {
    wchar_t digits[24];
    size_t at = sizeof digits / sizeof digits[0];
    do {
        digits[--at] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    return std::wstring(digits + at, sizeof digits / sizeof digits[0] - at);
}

void TraceFailure(std::wstring_view procedure, std::wstring text) { WriteTrace(kModule, procedure, text, kTraceFailure); }

// "cannot write C:\...\journal.txt (error 5)"
void TraceSystemFailure(std::wstring_view procedure, std::wstring_view what, const std::wstring& path, DWORD error) {
    TraceFailure(procedure, std::wstring(what) + L" " + path + L" (error " + Number(error) + L")");
}

class File {
public:
    File(const std::wstring& path, DWORD access, DWORD share, DWORD disposition) noexcept
        : h_(CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr)),
          error_(h_ == INVALID_HANDLE_VALUE ? GetLastError() : 0) {}
    ~File() { Close(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool Valid() const noexcept { return h_ != INVALID_HANDLE_VALUE; }
    DWORD Error() const noexcept { return error_; }
    long long Size() noexcept {
        LARGE_INTEGER size{};
        return Keep(GetFileSizeEx(h_, &size)) ? size.QuadPart : -1;
    }
    bool Seek(long long offset) noexcept {
        LARGE_INTEGER at{};
        at.QuadPart = offset;
        return Keep(SetFilePointerEx(h_, at, nullptr, FILE_BEGIN));
    }
    bool Read(char* data, size_t size) noexcept {
        while (size > 0) {
            DWORD chunk = size > (1u << 24) ? (1u << 24) : static_cast<DWORD>(size), got = 0;
            if (!Keep(ReadFile(h_, data, chunk, &got, nullptr))) return false;
            if (got == 0) return Fail(ERROR_HANDLE_EOF);  // shorter than its size said
            data += got;
            size -= got;
        }
        return true;
    }
    // Writes and flushes to the disk.
    bool Write(std::string_view bytes) noexcept {
        const char* data = bytes.data();
        size_t size = bytes.size();
        while (size > 0) {
            DWORD chunk = size > (1u << 24) ? (1u << 24) : static_cast<DWORD>(size), written = 0;
            if (!Keep(WriteFile(h_, data, chunk, &written, nullptr))) return false;
            if (written == 0) return Fail(ERROR_DISK_FULL);
            data += written;
            size -= written;
        }
        return Keep(FlushFileBuffers(h_));
    }
    bool Truncate(long long length) noexcept { return Seek(length) && Keep(SetEndOfFile(h_)); }
    // Closes the handle; false when the system reports that the close failed.
    bool Close() noexcept {
        if (!Valid()) return false;
        bool closed = Keep(CloseHandle(h_));
        h_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    bool Keep(BOOL done) noexcept {
        if (!done && error_ == 0) error_ = GetLastError();
        return done != FALSE;
    }
    bool Fail(DWORD error) noexcept {
        if (error_ == 0) error_ = error;
        return false;
    }

    HANDLE h_;
    DWORD error_;
};

bool IsFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Makes the folder and the missing ones above it; `folder` ends with a backslash.
bool MakeFolders(const std::wstring& folder, DWORD& error) {
    std::wstring trimmed = folder.substr(0, folder.size() - 1);
    if (IsFolder(trimmed)) return true;
    // Each prefix ending before a backslash, past a drive or share root that CreateDirectory
    // refuses; a level that already exists fails harmlessly.
    for (size_t at = trimmed.find(L'\\', 1); at != std::wstring::npos; at = trimmed.find(L'\\', at + 1)) {
        std::wstring level = trimmed.substr(0, at);
        if (level.size() > 2 && level.back() != L':' && !IsFolder(level)) CreateDirectoryW(level.c_str(), nullptr);
    }
    if (CreateDirectoryW(trimmed.c_str(), nullptr) || IsFolder(trimmed)) return true;
    error = GetLastError();
    return false;
}

using FolderPathFunction = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);

// SHGetFolderPathW, looked up in Shell32 (loaded in Outlook's process anyway), which the add-in
// does not import; it stays loaded once found.
FolderPathFunction ShellFolderPath() {
    static FolderPathFunction function = []() -> FolderPathFunction {
        HMODULE shell = LoadLibraryW(L"shell32.dll");
        if (!shell) return nullptr;
        auto found = reinterpret_cast<FolderPathFunction>(reinterpret_cast<void*>(GetProcAddress(shell, "SHGetFolderPathW")));
        if (!found) FreeLibrary(shell);
        return found;
    }();
    return function;
}

}  // namespace

std::wstring JournalFolder() {
    constexpr int kAppData = 0x001a;  // CSIDL_APPDATA
    FolderPathFunction folderPath = ShellFolderPath();
    wchar_t path[MAX_PATH] = {};
    if (!folderPath || folderPath(nullptr, kAppData, nullptr, 0, path) != S_OK || path[0] == 0) return {};
    std::wstring folder(path);
    if (folder.back() != L'\\') folder += L'\\';
    return folder + std::wstring(kJournalFolderName) + L'\\';
}

std::wstring JournalDateText(const JournalEntry& entry) {
    SYSTEMTIME local;
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &entry.when, &local)) local = entry.when;
    return GeneralDate(local);
}

void Journal::Close() noexcept {
    open_ = false;
    lines_.clear();
    slots_.clear();
    keys_ = 0;
    added_.clear();
    read_.reset();
}

void Journal::Add(std::string_view text, std::string_view key) {
    lines_.push_back({text.data(), static_cast<std::uint32_t>(text.size()),
                      static_cast<std::uint32_t>(key.data() - text.data()), static_cast<std::uint32_t>(key.size()),
                      static_cast<std::uint32_t>(std::hash<std::string_view>{}(key))});
    Index(static_cast<std::uint32_t>(lines_.size() - 1));
}

// Makes the table at least twice as large as `keys`, so that probes stay short.
void Journal::ReserveIndex(size_t keys) {
    size_t size = 16;
    while (size < 2 * keys) size *= 2;
    if (size <= slots_.size()) return;
    std::vector<std::uint32_t> old(size, 0);
    old.swap(slots_);
    for (std::uint32_t slot : old) {
        if (slot == 0) continue;
        size_t at = lines_[slot - 1].hash & (slots_.size() - 1);
        while (slots_[at] != 0) at = (at + 1) & (slots_.size() - 1);
        slots_[at] = slot;
    }
}

void Journal::Index(std::uint32_t line) {
    if (2 * (keys_ + 1) > slots_.size()) ReserveIndex(2 * (keys_ + 1));
    const Line& added = lines_[line];
    size_t at = added.hash & (slots_.size() - 1);
    for (; slots_[at] != 0; at = (at + 1) & (slots_.size() - 1)) {
        const Line& held = lines_[slots_[at] - 1];
        if (held.hash == added.hash && held.Key() == added.Key()) {
            slots_[at] = line + 1;
            return;
        }
    }
    slots_[at] = line + 1;
    ++keys_;
}

const Journal::Line* Journal::Newest(std::string_view key) const noexcept {
    if (slots_.empty()) return nullptr;
    const auto hash = static_cast<std::uint32_t>(std::hash<std::string_view>{}(key));
    for (size_t at = hash & (slots_.size() - 1); slots_[at] != 0; at = (at + 1) & (slots_.size() - 1)) {
        const Line& held = lines_[slots_[at] - 1];
        if (held.hash == hash && held.Key() == key) return &held;
    }
    return nullptr;
}

JournalResult Journal::Open(std::wstring folder) {
    try {
        Close();
        skipped_ = 0;
        if (folder.empty()) folder = folder_.empty() ? JournalFolder() : folder_;
        if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
        folder_ = folder;
        path_ = folder + std::wstring(kJournalFileName);
        DWORD error = ERROR_PATH_NOT_FOUND;
        if (folder.empty() || !MakeFolders(folder, error)) {
            TraceSystemFailure(L"Open", L"cannot make the folder", folder, error);
            return JournalResult::FolderUnavailable;
        }
        long long from = 0;
        size_t length = 0;
        {
            // Closed before a rewrite may replace the file.
            File file(path_, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
            if (!file.Valid() && file.Error() != ERROR_FILE_NOT_FOUND) {
                TraceSystemFailure(L"Open", L"cannot read", path_, file.Error());
                return JournalResult::Unreadable;
            }
            long long size = file.Valid() ? file.Size() : 0;
            from = size > kMostRead ? size - kMostRead : 0;
            length = size > 0 ? static_cast<size_t>(size - from) : 0;
            read_.reset(new char[length + 1]);
            if (size < 0 || (size > 0 && (!file.Seek(from) || !file.Read(read_.get(), length)))) {
                TraceSystemFailure(L"Open", L"cannot read", path_, file.Error());
                Close();
                return JournalResult::Unreadable;
            }
        }
        {
            // Read from part way: the first line is cut and not counted.
            std::string_view text(read_.get(), length);
            if (from > 0) {
                size_t first = text.find('\n');
                text.remove_prefix(first == std::string_view::npos ? text.size() : first + 1);
            }
            lines_.reserve(text.size() / 100 + 16);
            ReserveIndex(text.size() / 100 + 16);
            size_t number = 0;
            while (!text.empty()) {
                ++number;
                JournalScan scan = ScanJournalLine(text);
                std::string_view line = text.substr(0, scan.length);
                text.remove_prefix(scan.next);
                if (line.empty()) continue;
                if (scan.valid && scan.ended) {
                    Add(line, scan.key);
                    continue;
                }
                if (++skipped_ <= kTracedDamage)
                    TraceFailure(L"Open", std::wstring(scan.ended ? L"skipped damaged line " : L"skipped unfinished last line ") +
                                              Number(number) + L" of " + path_);
            }
            if (skipped_ > kTracedDamage)
                TraceFailure(L"Open", L"skipped " + Number(skipped_) + L" damaged lines in all of " + path_);
        }
        open_ = true;
        compactAt_ = limits_.keep + limits_.slack + 1;
        CompactWhenOver();
        return JournalResult::Done;
    } catch (...) {  // out of memory
        Close();
        TraceFailure(L"Open", L"cannot read " + path_ + L" (out of memory)");
        return JournalResult::Unreadable;
    }
}

JournalResult Journal::Append(JournalEntry entry) {
    try {
        if (entry.messageId.empty()) return JournalResult::NoMessageId;
        if (!open_) {
            JournalResult opened = Open(folder_);
            if (opened != JournalResult::Done) return opened;
        }
        if (entry.when.wYear == 0) GetSystemTime(&entry.when);
        entry.when.wMilliseconds = 0;
        std::string line = JournalLine(entry);
        // Shared for reading only: no other program writes between the check of the last byte
        // and the write.
        File file(path_, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS);
        long long size = file.Valid() ? file.Size() : -1;
        // An unfinished last line (a crash during a write) is ended first, so that it stays the
        // one damaged line and this entry starts a line of its own.
        char last = '\n';
        bool positioned = size >= 0 && (size == 0 || (file.Seek(size - 1) && file.Read(&last, 1))) && file.Seek(size);
        std::string bytes = last == '\n' ? line + '\n' : '\n' + line + '\n';
        if (!positioned || !file.Write(bytes) || !file.Close()) {
            TraceSystemFailure(L"Append", L"cannot write", path_, file.Error());
            // What a full disk let through is cut off again, where the file lets it.
            if (size >= 0 && file.Valid()) file.Truncate(size);
            return JournalResult::WriteFailed;
        }
        added_.push_back(std::move(line));
        std::string_view added = added_.back(), key;
        IsJournalLine(added, &key);
        Add(added, key);
        CompactWhenOver();
        return JournalResult::Done;
    } catch (...) {  // out of memory
        TraceFailure(L"Append", L"cannot add an entry (out of memory)");
        Close();  // the file has the entry, or not; reading it again tells
        return JournalResult::WriteFailed;
    }
}

void Journal::CompactWhenOver() {
    if (lines_.size() < compactAt_) return;
    if (Compact()) {
        compactAt_ = limits_.keep + limits_.slack + 1;
    } else {
        // Tried again once the slack has passed once more, not at every entry.
        compactAt_ = lines_.size() + limits_.slack + 1;
    }
}

// The newest `keep` lines go to a file beside the journal, which then takes its place in one
// step; until then the journal is untouched, and on any failure it stays as it was.
bool Journal::Compact() {
    const size_t drop = lines_.size() > limits_.keep ? lines_.size() - limits_.keep : 0;
    size_t length = 0;
    for (size_t i = drop; i < lines_.size(); ++i) length += lines_[i].size + 1;
    std::unique_ptr<char[]> kept(new char[length + 1]);
    std::vector<Line> keptLines(lines_.begin() + static_cast<std::ptrdiff_t>(drop), lines_.end());
    char* at = kept.get();
    for (Line& line : keptLines) {
        std::memcpy(at, line.data, line.size);
        line.data = at;
        at += line.size;
        *at++ = '\n';
    }
    const std::wstring temporary = path_ + L".tmp";
    File copy(temporary, GENERIC_WRITE, 0, CREATE_ALWAYS);
    bool written = copy.Valid() && copy.Write(std::string_view(kept.get(), length)) && copy.Close();
    DWORD error = copy.Error();
    if (!written ||
        !MoveFileExW(temporary.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        if (written) error = GetLastError();
        DeleteFileW(temporary.c_str());
        TraceSystemFailure(L"Compact", L"cannot rewrite", path_, error);
        return false;
    }
    read_ = std::move(kept);
    added_.clear();
    lines_.swap(keptLines);
    slots_.assign(slots_.size(), 0);
    keys_ = 0;
    for (std::uint32_t i = 0; i < lines_.size(); ++i) Index(i);
    return true;
}

std::optional<JournalEntry> Journal::Find(std::wstring_view messageId) const {
    try {
        const Line* found = Newest(JournalKey(messageId));
        if (!found) return std::nullopt;
        return ParseJournalLine(found->Text());
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<JournalEntry> Journal::Row(size_t row) const {
    try {
        if (row >= lines_.size()) return std::nullopt;
        return ParseJournalLine(lines_[lines_.size() - 1 - row].Text());
    } catch (...) {
        return std::nullopt;
    }
}

std::wstring Journal::CopyText(const std::vector<size_t>& rows) const {
    try {
        std::wstring text;
        for (size_t row : rows) {
            std::optional<JournalEntry> entry = Row(row);
            if (!entry) continue;
            std::wstring subject = entry->subject;
            for (wchar_t& c : subject)
                if (c == L'\t' || c == L'\r' || c == L'\n') c = L' ';
            text += JournalDateText(*entry) + L'\t' + subject + L'\t' + JournalResultText(*entry) + L"\r\n";
        }
        return text;
    } catch (...) {
        return {};
    }
}

}  // namespace vantrell
