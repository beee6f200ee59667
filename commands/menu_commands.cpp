#include "commands/menu_commands.h"

#include "commands/commands.h"
#include "commands/journal_checks.h"
#include "commands/logged_messages_window.h"
#include "logon/config_message.h"
#include "platform/failure.h"
#include "platform/late_bound.h"
#include "platform/message_box.h"
#include "session/explorer_menu.h"
#include "session/mod_insp_wrap.h"
#include "support/shared_state.h"
#include "support/trace.h"

namespace vantrell {
namespace {

constexpr std::wstring_view kModule = L"ExplMenu";

}  // namespace

void ShowLoggedMessagesOf(const com::Ptr<IDispatch>& explorer) {
    ProcedureScope scope;
    // Only looks: the commands go on while it is open, and what they log joins its list.
    const HWND owner = WindowOf(explorer);
    CommandJournal journal;
    if (!journal.Usable()) {
        ShowMessage(JournalTrouble(journal), MessageIcon::Exclamation, owner);
        return;
    }
    ShowLoggedMessages(owner, journal.Entries());
}

void SignOut(const com::Ptr<IDispatch>&) {
    ProcedureScope scope;
    CommandRun run;
    if (!run) return;
    if (LogonID != 0 || CompanyID != 0) {
        LogonID = 0;
        CompanyID = 0;
        // The configuration message keeps no logon either: the next start asks for one.
        SetConfigMessage(com::LateBound(gobjOutlook).Get(L"Session").ToDispatch());
        ClearFailure();
        WriteTrace(kModule, L"SignOut", L"signed out", kTraceMilestone);
    }
    ShowCommandButtons(false);
    RefreshExplorerMenus();
}

void SignIn(const com::Ptr<IDispatch>& explorer) {
    ProcedureScope scope;
    CommandRun run;
    if (!run) return;
    // A logon made by the gate shows the buttons again and refreshes the menus itself.
    PassLogonGate(WindowOf(explorer));
}

}  // namespace vantrell
