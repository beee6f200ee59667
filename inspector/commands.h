#pragma once
// What the two commands share in both their forms (command-bar button and ribbon button).
#include <windows.h>

#include "platform/late_bound.h"

namespace vantrell {

// Before a command runs the user must be logged on to the service: when either identifier is
// still 0 the logon dialog is shown (over `owner`). True when both are set afterwards; a logon
// made here is stored in the mailbox as one made at start-up is.
bool PassLogonGate(HWND owner);

// The window behind a command bar or an Outlook window, for owning a dialog; none when the
// object does not say.
HWND WindowOf(const com::Ptr<IDispatch>& object);

// The user messages of the commands.
inline constexpr const wchar_t* kLoggedMessage = L"A copy of this message has been forwarded for logging";
inline constexpr const wchar_t* kLogFailedMessage = L"There was an error while attempting to log this message";
inline constexpr const wchar_t* kNoRecipientMessage = L"You must enter at least one recipient to send this message!";
inline constexpr const wchar_t* kSendFailedMessage =
    L"The message could not be sent. It is still open so that you can try again.";

}  // namespace vantrell
