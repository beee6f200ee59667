#include "commands/log_selection.h"

#include <optional>

#include "commands/commands.h"
#include "commands/journal_checks.h"
#include "platform/failure.h"
#include "platform/late_bound.h"
#include "platform/message_box.h"
#include "platform/outlook.h"
#include "platform/progress_window.h"
#include "session/crm_addin.h"
#include "session/session_state.h"
#include "support/trace.h"

namespace vantrell {
namespace {

std::wstring Number(std::size_t n) { return std::to_wstring(n); }

// What the user reads of a failure: its text, or its number when it has none.
std::wstring ReasonOf(const Failure& failure) {
    if (!failure.description.empty()) return failure.description;
    return L"error " + std::to_wstring(failure.number);
}

// The window to own the summary: the explorer's, unless it closed during the run.
HWND StillOpen(HWND window) { return window && IsWindow(window) ? window : nullptr; }

}  // namespace

std::wstring SummaryText(const SelectionTally& tally) {
    std::wstring text;
    if (tally.cancelled)
        text = L"Stopped before the end: " + Number(tally.logged) + L" of the " + Number(tally.selected) +
               L" selected items were logged.\n\n";
    text += L"Logged: " + Number(tally.logged) + L"\n";
    text += L"Skipped: " + Number(tally.notMail + tally.loggedBefore) + L" (" + Number(tally.notMail) +
            L" not mail, " + Number(tally.loggedBefore) + L" already logged)\n";
    text += L"Failed: " + Number(tally.failed);
    if (!tally.reasons.empty()) text += L"\n";
    for (std::size_t i = 0; i < tally.reasons.size() && i < kReasonsShown; ++i) text += L"\n" + tally.reasons[i];
    if (tally.reasons.size() > kReasonsShown)
        text += L"\n... and " + Number(tally.reasons.size() - kReasonsShown) + L" more (see the trace file)";
    if (!tally.journalTrouble.empty())
        text += L"\n\n" + tally.journalTrouble + L" Messages logged before could not be recognised.";
    return text;
}

void LogSelectedMessages(const com::Ptr<IDispatch>& explorer) {
    constexpr std::wstring_view kModule = L"LogSelection";
    constexpr std::wstring_view kProcedure = L"LogSelectedMessages";
    ProcedureScope scope;
    CommandRun run;
    if (!run) return;
    const HWND owner = WindowOf(explorer);
    if (!PassLogonGate(owner)) return;
    com::Ptr<CRMAddIn> controller = gobjCRMAddIn;
    if (!controller) return;

    ClearFailure();
    com::LateBound selection(com::LateBound(explorer).Get(L"Selection"));
    const long count = selection.Get(L"Count").ToLong();
    if (HasPendingFailure() || !selection) {
        const Failure failure = HasPendingFailure() ? PendingFailure() : MakeFailure(E_POINTER, L"No selection");
        WriteTrace(kModule, kProcedure, FailureText(failure, FailureFormat::ErrorColon), kTraceFailure);
        ShowMessage(L"The selection could not be read: " + ReasonOf(failure), MessageIcon::Exclamation, owner);
        return;
    }
    if (count <= 0) {
        ShowMessage(kNothingSelectedMessage, MessageIcon::Information, owner);
        return;
    }
    const std::size_t total = static_cast<std::size_t>(count);
    if (total > kAskAbove &&
        !AskYesNo(L"Log the " + Number(total) +
                      L" selected items? This may take a while; you can stop it at any time with Cancel.",
                  true, owner))
        return;

    SelectionTally tally;
    tally.selected = total;
    CommandJournal journal;
    tally.journalTrouble = JournalTrouble(journal);
    std::optional<ProgressWindow> progress;
    if (total > kQuietRun) progress.emplace(owner, total);

    for (std::size_t done = 0; done < total; ++done) {
        if (progress) {
            progress->Step(done, L"Logging item " + Number(done + 1) + L" of " + Number(total) + L"...");
            if (progress->Cancelled()) tally.cancelled = true;
        }
        // Outlook closing during the run stops the session: nothing more can be sent.
        if (!controller->Initialized()) tally.cancelled = true;
        if (tally.cancelled) break;

        ClearFailure();
        com::LateBound item(selection.Call(L"Item", {com::Variant(static_cast<long>(done + 1))}));
        long itemClass = 0;
        if (!item || !item.Get(L"Class").TryLong(itemClass) || HasPendingFailure()) {
            // Deleted or moved since it was selected.
            const Failure failure = HasPendingFailure() ? PendingFailure() : MakeFailure(E_POINTER, L"No item");
            ++tally.failed;
            tally.reasons.push_back(L"Item " + Number(done + 1) + L": " + ReasonOf(failure));
            ClearFailure();
            continue;
        }
        if (itemClass != outlook::olMail) {
            ++tally.notMail;
            continue;
        }
        const std::wstring subject = item.Get(L"Subject").ToText();
        ClearFailure();
        const std::wstring messageId = CRMAddIn::OriginalMessageID(item);
        if (journal.LoggedBefore(messageId)) {
            ++tally.loggedBefore;
            continue;
        }
        Failure why;
        const bool logged = controller->ForwardToEmailAgent(item, &why);
        journal.Remember(messageId, subject, logged, JournalCommand::Selection);
        if (logged) {
            ++tally.logged;
        } else {
            ++tally.failed;
            tally.reasons.push_back((subject.empty() ? L"(no subject)" : subject) + L": " + ReasonOf(why));
        }
    }
    progress.reset();
    ClearFailure();

    WriteTrace(kModule, kProcedure,
               L"selected=" + Number(tally.selected) + L" logged=" + Number(tally.logged) + L" notMail=" +
                   Number(tally.notMail) + L" loggedBefore=" + Number(tally.loggedBefore) + L" failed=" +
                   Number(tally.failed) + (tally.cancelled ? L" cancelled" : L""),
               kTraceMilestone);
    ShowMessage(SummaryText(tally), tally.failed > 0 ? MessageIcon::Exclamation : MessageIcon::Information,
                StillOpen(owner));
}

}  // namespace vantrell
