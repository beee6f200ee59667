#pragma once
// The explorers' menu commands beside Log Selected Messages (commands/log_selection.h): the
// journal's window, and signing out of the service and in again.
#include <oaidl.h>

#include "platform/com_ptr.h"

namespace vantrell {

// "Logged Messages...": the journal's window over the explorer.
void ShowLoggedMessagesOf(const com::Ptr<IDispatch>& explorer);
// "Sign Out": the identifiers are forgotten, in memory and in the mailbox's configuration
// message; the mail windows' buttons and the ribbon group hide, as when Outlook starts without
// a logon, and the next command or start asks for a logon again. The password is kept nowhere.
void SignOut(const com::Ptr<IDispatch>& explorer);
// "Sign In...": the logon dialog over the explorer; a logon made is stored as at start-up,
// and the buttons show again.
void SignIn(const com::Ptr<IDispatch>& explorer);

}  // namespace vantrell
