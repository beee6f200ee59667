#pragma once
// The user's journal of logged messages: what was logged, when, by which command, with what
// result. One file, "journal.txt" in %APPDATA%\Quorvane\Email History\, one line per entry
// (support/journal_line.h), appended and flushed entry by entry, so that a crash or a full disk
// leaves every earlier entry readable. Opening reads the whole file once and keeps its lines,
// with an index from message id to the newest entry of that id; the file keeps the newest
// kJournalKeep entries, rewritten beside itself and put in its place in one step when it holds
// a tenth more. Damaged lines are skipped, each with a failure trace line. Nothing here throws.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/journal_line.h"

namespace vantrell {

inline constexpr size_t kJournalKeep = 100000;
inline constexpr std::wstring_view kJournalFolderName = L"Quorvane\\Email History";
inline constexpr std::wstring_view kJournalFileName = L"journal.txt";

enum class JournalResult {
    Done,
    FolderUnavailable,  // the journal's folder does not exist and cannot be made
    Unreadable,         // the journal file exists but cannot be read (locked, denied, too large)
    WriteFailed,        // the entry could not be written (read-only file, full disk); the file is as it was
    NoMessageId,        // an entry without an id is not written
};

// How many entries the file keeps, and how many more it may hold before it is rewritten.
struct JournalLimits {
    size_t keep = kJournalKeep;
    size_t slack = kJournalKeep / 10;
};

// The user's journal folder, %APPDATA%\Quorvane\Email History\ with a trailing backslash; empty
// when the system gives no application-data folder.
std::wstring JournalFolder();

class Journal {
public:
    explicit Journal(JournalLimits limits = {}) : limits_(limits) {}
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Opens the journal in `folder` (with or without a trailing backslash; JournalFolder() when
    // empty), making the folder when it is missing, and reads its entries. A missing file is an
    // empty journal. On failure the journal is closed and empty, and the file is untouched.
    JournalResult Open(std::wstring folder = {});
    bool IsOpen() const noexcept { return open_; }
    const std::wstring& Path() const noexcept { return path_; }

    // Writes one entry at the end of the file and flushes it; a `when` left zero is now. A
    // closed journal is opened again first (in the folder last given). On failure nothing is
    // added, in memory or in the file.
    JournalResult Append(JournalEntry entry);

    // The newest entry of a message id: whether it was logged, and when.
    std::optional<JournalEntry> Find(std::wstring_view messageId) const;

    // The entries, newest first: row 0 is the newest.
    size_t Count() const noexcept { return lines_.size(); }
    std::optional<JournalEntry> Row(size_t row) const;
    // The rows' text for the clipboard: per row (in the order given) its local date, subject and
    // result, separated by tabs, ended by CR LF; rows out of range are left out.
    std::wstring CopyText(const std::vector<size_t>& rows) const;

    // Lines of the file skipped as damaged or unfinished when it was last read.
    size_t SkippedLines() const noexcept { return skipped_; }

private:
    // An entry's line (without its LF) where it lies in memory, its key's place in it, and the
    // key's hash.
    struct Line {
        const char* data;
        std::uint32_t size, keyAt, keyLength, hash;
        std::string_view Text() const noexcept { return {data, size}; }
        std::string_view Key() const noexcept { return {data + keyAt, keyLength}; }
    };

    void Close() noexcept;
    void Add(std::string_view text, std::string_view key);
    void Index(std::uint32_t line);
    void ReserveIndex(size_t keys);
    const Line* Newest(std::string_view key) const noexcept;
    void CompactWhenOver();
    bool Compact();

    JournalLimits limits_;
    std::wstring folder_, path_;
    bool open_ = false;
    size_t skipped_ = 0;
    // The next entry count at which the file is rewritten (after a failed rewrite, later).
    size_t compactAt_ = 0;
    std::unique_ptr<char[]> read_;   // the file as read (or as last rewritten), its lines in place
    std::deque<std::string> added_;  // the lines appended since (a deque never moves them)
    std::vector<Line> lines_;        // every entry, oldest first
    // The index: open addressing over a power-of-two table, each slot 0 (free) or 1 + the
    // position in lines_ of the newest entry of one key.
    std::vector<std::uint32_t> slots_;
    size_t keys_ = 0;
};

// The date column's text: the entry's time in the user's time zone, in the General Date form.
std::wstring JournalDateText(const JournalEntry& entry);

}  // namespace vantrell
