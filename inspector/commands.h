#pragma once
// What the two commands share in both their forms (command-bar button and ribbon button).
#include <windows.h>

#include <string_view>

#include "platform/failure.h"
#include "platform/late_bound.h"

namespace vantrell {

// Before a command runs the user must be logged on to the service: when either identifier is
// still 0 the logon dialog is shown (over `owner`). True when both are set afterwards; a logon
// made here is stored in the mailbox as one made at start-up is.
bool PassLogonGate(HWND owner);

// The window behind a command bar or an Outlook window, for owning a dialog; none when the
// object does not say.
HWND WindowOf(const com::Ptr<IDispatch>& object);

// The last failure of a command's own steps (Note after each), reported once at its end as
// "error:<number> <description>" at level 1.
struct LastFailure {
    Failure failure;
    void Note() noexcept;
    void Report(std::wstring_view module, std::wstring_view procedure) const;
};

// Send && Log's additions to the message a helper mail item wraps: the logging agent as a
// blind copy, and the user's identifiers and the add-in's version as X-headers; a failure to
// add the agent is noted in `last`.
void AddAgentAndHeaders(com::LateBound& helperItem, LastFailure& last);

// The user messages of the commands.
inline constexpr const wchar_t* kLoggedMessage = L"A copy of this message has been forwarded for logging";
inline constexpr const wchar_t* kLogFailedMessage = L"There was an error while attempting to log this message";
inline constexpr const wchar_t* kNoRecipientMessage = L"You must enter at least one recipient to send this message!";
inline constexpr const wchar_t* kSendFailedMessage =
    L"The message could not be sent. It is still open so that you can try again.";

}  // namespace vantrell
