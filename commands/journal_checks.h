#pragma once
// The journal of logged messages as the commands use it: one for the process, opened by the
// first command that needs it (and again when the user's folder has changed, or after it
// could not be opened), so that the history window sees what the commands write while it is
// open; asked before a message is logged again; told of every log. A journal that cannot be
// used never stops a command: the message is logged all the same, and its failure is traced.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "support/journal.h"

namespace vantrell {

inline constexpr const wchar_t* kLogAgainQuestion = L"This message was logged on %1. Log it again?";

class CommandJournal {
public:
    CommandJournal();
    bool Usable() const noexcept { return opened_ == JournalResult::Done; }
    JournalResult Opened() const noexcept { return opened_; }
    Journal& Entries() noexcept { return journal_; }
    const Journal& Entries() const noexcept { return journal_; }

    // The newest entry of the message when it says the message was logged.
    std::optional<JournalEntry> LoggedBefore(std::wstring_view messageId) const;
    // One more entry: the message, now, with its subject and the command's outcome. Nothing
    // for a message without an id.
    void Remember(std::wstring_view messageId, std::wstring_view subject, bool logged, JournalCommand command);

private:
    Journal& journal_;
    JournalResult opened_;
};

// Log Message on a message logged before asks "This message was logged on <date>. Log it
// again?" over `owner`, No being the default; true when the command goes on (never logged,
// or Yes).
bool MayLogAgain(const CommandJournal& journal, std::wstring_view messageId, HWND owner);

// What the user is told when the journal cannot be used, empty when it can.
std::wstring JournalTrouble(const CommandJournal& journal);

}  // namespace vantrell
