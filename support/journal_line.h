#pragma once
// One entry of the journal of logged messages, and its line in the journal file: UTF-8, five
// fields separated by tabs, ended by LF:
//   2026-12-09T11:30:05Z <TAB> logged <TAB> log-message <TAB> <id@host> <TAB> Subject <LF>
// time (UTC), outcome ("logged", "failed"), command ("log-message", "send-and-log",
// "selection"), the message's id, its subject. In the id and the subject a backslash, tab, LF
// and CR are written \\, \t, \n and \r; any other control character becomes a space.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

enum class JournalOutcome { Logged, Failed };
enum class JournalCommand { LogMessage, SendAndLog, Selection };

struct JournalEntry {
    // The message's Internet message id, or its EntryID (hexadecimal) where it has none.
    std::wstring messageId;
    SYSTEMTIME when{};  // UTC, whole seconds
    std::wstring subject;
    JournalOutcome outcome = JournalOutcome::Logged;
    JournalCommand command = JournalCommand::LogMessage;
};

// The entry's line, without its LF.
std::string JournalLine(const JournalEntry& entry);
// The id as JournalLine writes it (escaped UTF-8): the key of the journal's index.
std::string JournalKey(std::wstring_view messageId);

// The line at the start of `text` (the rest of a journal file): its length before its LF (or
// CR LF), where the next line starts, whether it has its LF, whether it is a well-formed entry
// (LF aside), and then its id field as written (its key). One pass over the line.
struct JournalScan {
    size_t length = 0, next = 0;
    bool ended = false, valid = false;
    std::string_view key;
};
JournalScan ScanJournalLine(std::string_view text) noexcept;

// Whether `line` (without its LF) is a whole, well-formed entry, and its id field as written
// (its key); much cheaper than ParseJournalLine.
bool IsJournalLine(std::string_view line, std::string_view* key = nullptr) noexcept;
// The entry of a well-formed line; nothing for any other.
std::optional<JournalEntry> ParseJournalLine(std::string_view line);

// The result column's text: "Logged (Log Message)", "Failed (Send & Log)", "Logged (Selection)".
std::wstring JournalResultText(const JournalEntry& entry);

}  // namespace vantrell
