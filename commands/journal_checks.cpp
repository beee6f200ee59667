#include "commands/journal_checks.h"

#include "platform/message_box.h"

namespace vantrell {

namespace {

Journal& ProcessJournal() {
    static Journal journal;
    return journal;
}

JournalResult Reopened(Journal& journal) {
    const std::wstring folder = JournalFolder();
    if (journal.IsOpen() && !folder.empty() && journal.Path() == folder + std::wstring(kJournalFileName))
        return JournalResult::Done;
    return journal.Open(folder);
}

}  // namespace

CommandJournal::CommandJournal() : journal_(ProcessJournal()), opened_(Reopened(journal_)) {}

std::optional<JournalEntry> CommandJournal::LoggedBefore(std::wstring_view messageId) const {
    if (!Usable() || messageId.empty()) return std::nullopt;
    std::optional<JournalEntry> entry = journal_.Find(messageId);
    if (!entry || entry->outcome != JournalOutcome::Logged) return std::nullopt;
    return entry;
}

void CommandJournal::Remember(std::wstring_view messageId, std::wstring_view subject, bool logged,
                              JournalCommand command) {
    if (messageId.empty()) return;
    JournalEntry entry;
    entry.messageId = messageId;
    entry.subject = subject;
    entry.outcome = logged ? JournalOutcome::Logged : JournalOutcome::Failed;
    entry.command = command;
    // A journal that could not be opened is tried again by the write; a failed write is traced
    // by the journal and loses nothing but this entry.
    journal_.Append(std::move(entry));
}

bool MayLogAgain(const CommandJournal& journal, std::wstring_view messageId, HWND owner) {
    std::optional<JournalEntry> before = journal.LoggedBefore(messageId);
    if (!before) return true;
    std::wstring question = kLogAgainQuestion;
    question.replace(question.find(L"%1"), 2, JournalDateText(*before));
    return AskYesNo(question, false, owner);
}

std::wstring JournalTrouble(const CommandJournal& journal) {
    switch (journal.Opened()) {
        case JournalResult::Done: return {};
        case JournalResult::FolderUnavailable:
            return L"The list of logged messages cannot be kept: the folder of " + journal.Entries().Path() +
                   L" cannot be created.";
        default:
            return L"The list of logged messages " + journal.Entries().Path() + L" cannot be read.";
    }
}

}  // namespace vantrell
