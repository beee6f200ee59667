#include "commands/commands.h"

#include <ole2.h>

#include <algorithm>

#include "commands/journal_checks.h"
#include "commands/log_selection.h"
#include "commands/menu_commands.h"
#include "helper_api/helper_api.h"
#include "logon/config_message.h"
#include "logon/logon_dialog.h"
#include "platform/failure.h"
#include "platform/message_box.h"
#include "platform/outlook.h"
#include "platform/text.h"
#include "session/command_table.h"
#include "session/crm_addin.h"
#include "session/explorer_menu.h"
#include "session/insp_wrap.h"
#include "session/mod_insp_wrap.h"
#include "session/session_state.h"
#include "support/shared_state.h"
#include "support/trace.h"

namespace vantrell {
namespace {

constexpr std::wstring_view kModule = L"InspWrap";

bool LoggedOn() { return LogonID != 0 && CompanyID != 0; }

}  // namespace

void LastFailure::Note() noexcept {
    if (HasPendingFailure()) failure = PendingFailure();
    ClearFailure();
}

void LastFailure::Report(std::wstring_view module, std::wstring_view procedure) const {
    if (failure.number != 0)
        WriteTrace(module, procedure, FailureText(failure, FailureFormat::ErrorColon), kTraceFailure);
}

namespace {
bool commandRunning = false;
}  // namespace

CommandRun::CommandRun() noexcept : entered_(!commandRunning) { commandRunning = true; }
CommandRun::~CommandRun() {
    if (entered_) commandRunning = false;
}

AgentAdditions AddAgentAndHeaders(com::LateBound& helperItem, LastFailure& last) {
    AgentAdditions added;
    ClearFailure();
    com::LateBound recipient(com::LateBound(helperItem.Get(L"Recipients")).Call(L"Add", {com::Variant(LoggingAddress)}));
    added.agent = recipient && !HasPendingFailure();
    last.Note();
    recipient.Put(L"RecipientType", com::Variant(outlook::olBCC));
    // An agent that is not a blind copy would show in every recipient's copy of the message.
    const bool blind = added.agent && !HasPendingFailure();
    last.Note();
    recipient.Call(L"Resolve", {com::Variant::Boolean(false)});
    last.Note();  // the header writes below clear the record as they start
    bool identifiers = true;
    for (std::wstring_view name : {std::wstring_view(L"LogonID"), std::wstring_view(L"CompanyID"), std::wstring_view(L"Version")}) {
        const std::wstring value = name == L"LogonID"     ? std::to_wstring(LogonID)
                                   : name == L"CompanyID" ? std::to_wstring(CompanyID)
                                                          : AddinVersionText();
        if (CRMAddIn::AddXHeader(helperItem, name, value))
            added.headers.push_back(name);
        else if (name != L"Version")
            identifiers = false;
    }
    added.complete = blind && identifiers;
    return added;
}

void RemoveAgentAndHeaders(const com::LateBound& mail, const com::LateBound& helperItem, const AgentAdditions& added,
                           LastFailure& last) {
    for (std::wstring_view name : added.headers) CRMAddIn::RemoveXHeader(helperItem, name);
    if (!added.agent) return;
    // The agent came last; the user may have the same address among their own recipients.
    ClearFailure();
    com::LateBound item(mail);
    com::LateBound recipients(item.Get(L"Recipients"));
    for (long index = recipients.Get(L"Count").ToLong(); index >= 1 && !HasPendingFailure(); --index) {
        com::LateBound recipient(recipients.Call(L"Item", {com::Variant(index)}));
        if (SameText(recipient.Get(L"Address").ToText(), LoggingAddress) ||
            SameText(recipient.Get(L"Name").ToText(), LoggingAddress)) {
            recipients.Call(L"Remove", {com::Variant(index)});
            break;
        }
    }
    last.Note();
}

bool PassLogonGate(HWND owner) {
    if (LoggedOn()) return true;
    frmLogon.Show(owner);
    frmLogon.Unload();
    if (!LoggedOn()) return false;
    // Remembered in the mailbox, so that the next start of Outlook needs no logon.
    SetConfigMessage(com::LateBound(gobjOutlook).Get(L"Session").ToDispatch());
    // After a sign out the windows' buttons were hidden and the menu offered Sign In.
    ShowCommandButtons(true);
    RefreshExplorerMenus();
    return true;
}

HWND WindowOf(const com::Ptr<IDispatch>& object) {
    com::Ptr<IOleWindow> window = object.As<IOleWindow>();
    HWND handle = nullptr;
    if (window && SUCCEEDED(window->GetWindow(&handle))) return handle;
    return nullptr;
}

namespace {

// Send && Log's helper mail item. Without the helper component nothing can be logged: the user
// is told, the failure traced, and the caller ends with nothing sent.
com::LateBound HelperItemOrSay(LastFailure& last, HWND window, std::wstring_view module, std::wstring_view procedure) {
    com::LateBound helperItem = com::CreateObject(helper::kMailItemProgId);
    last.Note();
    if (!helperItem) {
        ShowMessage(kNoHelperMessage, MessageIcon::Critical, window);
        last.Report(module, procedure);
    }
    return helperItem;
}

// A message Send && Log did not send: what it added comes off, the message is stored as it was
// before the click, and the user is told why it was not sent.
void GiveBackUnsent(const com::LateBound& mail, com::LateBound& helperItem, const AgentAdditions& added,
                    LastFailure& last, HWND window) {
    RemoveAgentAndHeaders(mail, helperItem, added, last);
    helperItem.Call(L"Save");
    last.Note();
    helperItem.Reset();
    ShowMessage(added.complete ? kSendFailedMessage : kNotLoggedMessage, MessageIcon::Critical, window);
}

}  // namespace

namespace {

enum class LogOutcome { Logged, Failed, NotAgain };

// Log Message's forward, asked first when the journal says the message was logged before, and
// told to the journal.
LogOutcome LogMessageOnce(const com::LateBound& item, HWND window) {
    com::Ptr<CRMAddIn> controller = gobjCRMAddIn;
    if (!controller) return LogOutcome::Failed;
    CommandJournal journal;
    const std::wstring messageId = CRMAddIn::OriginalMessageID(item);
    if (!MayLogAgain(journal, messageId, window)) return LogOutcome::NotAgain;
    const bool logged = controller->ForwardToEmailAgent(item);
    const std::wstring subject = com::LateBound(item).Get(L"Subject").ToText();
    ClearFailure();
    journal.Remember(messageId, subject, logged, JournalCommand::LogMessage);
    return logged ? LogOutcome::Logged : LogOutcome::Failed;
}

}  // namespace

// Log Message: a forward of the message to the logging agent; the button is spent once it
// has worked.
void LogMessageFromButton(InspWrap& wrapper, IDispatch*) {
    CommandRun run;
    if (!run) return;
    if (!PassLogonGate(nullptr)) return;
    WriteTrace(kModule, L"mcbbEmailLog_Click", L"", kTraceStep);
    const HWND window = WindowOf(wrapper.Inspector());
    const LogOutcome outcome = LogMessageOnce(com::LateBound(wrapper.Mail()), window);
    if (outcome == LogOutcome::NotAgain) return;
    const bool logged = outcome == LogOutcome::Logged;
    if (logged) {
        wrapper.MarkLogged();
        ShowMessage(kLoggedMessage, MessageIcon::Information, window);
        com::LateBound(wrapper.Button(ItemCommand::LogMessage)).Put(L"Enabled", com::Variant::Boolean(false));
    } else {
        ShowMessage(kLogFailedMessage, MessageIcon::Exclamation, window);
    }
}

// Send && Log: the message itself goes out with the logging agent as a blind copy and the
// user's identifiers in its headers; its window closes once it has been sent. A message that
// is not sent keeps its window open and is given back as it was before the click.
void SendAndLogFromButton(InspWrap& wrapper, IDispatch* ctrl) {
    constexpr std::wstring_view kProcedure = L"mcbbSendAndLog_Click";
    CommandRun run;
    if (!run) return;
    com::Ptr<IDispatch> bar = com::LateBound(com::Ptr<IDispatch>(ctrl)).Get(L"Parent").ToDispatch();
    ClearFailure();
    if (!PassLogonGate(WindowOf(bar))) return;

    LastFailure last;
    const HWND window = WindowOf(wrapper.Inspector());
    com::LateBound mail(wrapper.Mail());
    mail.Call(L"Save");
    last.Note();
    const std::wstring subject = mail.Get(L"Subject").ToText();
    last.Note();  // the trace writer clears the record as it starts
    WriteTrace(kModule, kProcedure, L"Subject=" + subject, kTraceMilestone);
    // The journal knows a message being written by its EntryID: it has no Internet id yet.
    const std::wstring entryId = mail.Get(L"EntryID").ToText();
    ClearFailure();

    com::LateBound helperItem = HelperItemOrSay(last, window, kModule, kProcedure);
    if (!helperItem) return;
    helperItem.Call(L"Attach", {com::Variant(mail.Get())});
    last.Note();
    const std::wstring to = helperItem.Get(L"ToText").ToText();
    const std::wstring cc = helperItem.Get(L"CcText").ToText();
    last.Note();
    if (to.empty() && cc.empty()) {
        ShowMessage(kNoRecipientMessage, MessageIcon::Critical, window);
        return;
    }

    const AgentAdditions added = AddAgentAndHeaders(helperItem, last);
    com::Variant ignored;
    const bool sent = added.complete && helperItem.TryCall(L"Send", {}, ignored);
    last.Note();
    if (sent) {
        helperItem.Reset();
        CommandJournal().Remember(entryId, subject, true, JournalCommand::SendAndLog);
        if (gobjCRMAddIn) gobjCRMAddIn->Utils().Call(L"DeliverNow", {com::Variant(0L), com::Variant(0L)});
        last.Note();
        // Sent: the window has nothing left to keep, and no save prompt is wanted.
        com::LateBound(wrapper.Inspector()).Call(L"Close", {com::Variant(outlook::olDiscard)});
        last.Note();
    } else {
        // Not sent: the window stays open with the message as the user wrote it.
        GiveBackUnsent(mail, helperItem, added, last, window);
    }
    last.Report(kModule, kProcedure);
}

}  // namespace vantrell

// ---- the ribbon forms (Outlook 2007 and later) ----

namespace vantrell {

void LogMessageFromRibbon(const com::Ptr<IDispatch>& control, com::LateBound&) {
    CommandRun run;
    if (!run) return;
    if (!PassLogonGate(nullptr)) return;
    com::LateBound inspector(com::LateBound(control).Get(L"Context"));
    com::LateBound item(inspector.Get(L"CurrentItem"));
    const HWND window = WindowOf(com::Ptr<IDispatch>(inspector.Get()));
    const LogOutcome outcome = LogMessageOnce(item, window);
    if (outcome == LogOutcome::NotAgain) return;
    const bool logged = outcome == LogOutcome::Logged;
    ShowMessage(logged ? kLoggedMessage : kLogFailedMessage,
                logged ? MessageIcon::Information : MessageIcon::Exclamation, window);
}

void SendAndLogFromRibbon(const com::Ptr<IDispatch>& control, com::LateBound& outlook) {
    constexpr std::wstring_view kRibbonModule = L"Connect";
    constexpr std::wstring_view kProcedure = L"SendAndLog_OnClick";
    CommandRun run;
    if (!run) return;
    if (!PassLogonGate(nullptr)) return;
    LastFailure last;

    com::LateBound inspector(com::LateBound(control).Get(L"Context"));
    com::LateBound mail(inspector.Get(L"CurrentItem"));
    const HWND window = WindowOf(com::Ptr<IDispatch>(inspector.Get()));
    mail.Call(L"Save");
    last.Note();
    com::LateBound helperItem = HelperItemOrSay(last, window, kRibbonModule, kProcedure);
    if (!helperItem) return;
    helperItem.Call(L"Attach", {com::Variant(mail.Get())});
    last.Note();
    const size_t addressed = mail.Get(L"To").ToText().size() + mail.Get(L"CC").ToText().size() +
                             static_cast<size_t>(std::max(0L, com::LateBound(helperItem.Get(L"Recipients")).Get(L"Count").ToLong()));
    last.Note();
    if (addressed == 0) {
        ShowMessage(kNoRecipientMessage, MessageIcon::Critical, window);
        return;
    }

    const AgentAdditions added = AddAgentAndHeaders(helperItem, last);
    bool sent = false;
    std::wstring entryId, subject;
    if (added.complete) {
        helperItem.Call(L"Save");
        last.Note();
        helperItem.Reset();

        // Outlook 2007 sends what it has stored: the item is fetched again and sent by Outlook.
        entryId = mail.Get(L"EntryID").ToText();
        subject = mail.Get(L"Subject").ToText();
        com::LateBound session(outlook.Get(L"Session"));
        com::LateBound stored(session.Call(L"GetItemFromID", {com::Variant(entryId)}));
        last.Note();
        com::Variant ignored;
        sent = stored.TryCall(L"Send", {}, ignored);
        last.Note();
        stored.Reset();
    }

    if (sent) {
        CommandJournal().Remember(entryId, subject, true, JournalCommand::SendAndLog);
        inspector.Call(L"Close", {com::Variant(outlook::olDiscard)});
        last.Note();
    } else {
        // Not sent: what was added (and stored by the helper's Save) comes off again.
        if (!helperItem) {
            helperItem = com::CreateObject(helper::kMailItemProgId);
            helperItem.Call(L"Attach", {com::Variant(mail.Get())});
            last.Note();
        }
        GiveBackUnsent(mail, helperItem, added, last, window);
    }
    last.Report(kRibbonModule, kProcedure);
}

void InstallCommandActions() noexcept {
    SetCommandActions(ItemCommand::LogMessage, {&LogMessageFromButton, &LogMessageFromRibbon});
    SetCommandActions(ItemCommand::SendAndLog, {&SendAndLogFromButton, &SendAndLogFromRibbon});
    SetMenuAction(MenuCommand::LogSelected, &LogSelectedMessages);
    SetMenuAction(MenuCommand::LoggedMessages, &ShowLoggedMessagesOf);
    SetMenuAction(MenuCommand::SignOut, &SignOut);
    SetMenuAction(MenuCommand::SignIn, &SignIn);
}

}  // namespace vantrell
