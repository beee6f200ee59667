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

// Whether `line` (without its LF) is a whole, well-formed entry; cheaper than ParseJournalLine.
bool IsJournalLine(std::string_view line) noexcept;
// The id field of a line that IsJournalLine accepts, as written.
std::string_view JournalLineKey(std::string_view line) noexcept;
// The entry of a well-formed line; nothing for any other.
std::optional<JournalEntry> ParseJournalLine(std::string_view line);

// The result column's text: "Logged (Log Message)", "Failed (Send & Log)", "Logged (Selection)".
std::wstring JournalResultText(const JournalEntry& entry);

}  // namespace vantrell
