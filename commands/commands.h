#pragma once
// What the two commands share in both their forms (command-bar button and ribbon button).
#include <windows.h>

#include <string_view>
#include <vector>

#include "platform/failure.h"
#include "platform/late_bound.h"

namespace vantrell {

class InspWrap;

// The command-bar forms (the buttons of an InspWrap's window); `ctrl` is the clicked button.
void LogMessageFromButton(InspWrap& wrapper, IDispatch* ctrl);
void SendAndLogFromButton(InspWrap& wrapper, IDispatch* ctrl);

// The ribbon forms (Outlook 2007 and later): `control` is the clicked ribbon control, whose
// Context is the message's window; `outlook` is the Application the add-in was connected to.
void LogMessageFromRibbon(const com::Ptr<IDispatch>& control, com::LateBound& outlook);
void SendAndLogFromRibbon(const com::Ptr<IDispatch>& control, com::LateBound& outlook);

// Hands each command's forms to the command table, through which the buttons' clicks and the
// ribbon's run them; done before the first object of the add-in is made (the class factory
// does it).
void InstallCommandActions() noexcept;

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

// One command at a time: while a command runs (its logon dialog or a message box is up, or
// Outlook dispatches messages during a send) another click on either command, in either
// form, does nothing.
class CommandRun {
public:
    CommandRun() noexcept;
    ~CommandRun();
    CommandRun(const CommandRun&) = delete;
    CommandRun& operator=(const CommandRun&) = delete;
    // False when another command is running: this one must end at once.
    explicit operator bool() const noexcept { return entered_; }

private:
    bool entered_;
};

// What Send && Log added to a message, so that a message it does not send can be given back
// as it was.
struct AgentAdditions {
    bool agent = false;                       // the logging agent was added as a recipient
    std::vector<std::wstring_view> headers;   // the X-headers written, in order
    bool complete = false;                    // agent as a blind copy, LogonID and CompanyID all there
};

// Send && Log's additions to the message a helper mail item wraps: the logging agent as a
// blind copy, and the user's identifiers and the add-in's version as X-headers; failures are
// noted in `last`.
AgentAdditions AddAgentAndHeaders(com::LateBound& helperItem, LastFailure& last);
// Takes them off again: the headers through the helper item, the agent through the Outlook
// item's own Recipients; failures are noted in `last`. The caller stores the message.
void RemoveAgentAndHeaders(const com::LateBound& mail, const com::LateBound& helperItem, const AgentAdditions& added,
                           LastFailure& last);

// The user messages of the commands.
inline constexpr const wchar_t* kLoggedMessage = L"A copy of this message has been forwarded for logging";
inline constexpr const wchar_t* kLogFailedMessage = L"There was an error while attempting to log this message";
inline constexpr const wchar_t* kNoRecipientMessage = L"You must enter at least one recipient to send this message!";
inline constexpr const wchar_t* kSendFailedMessage =
    L"The message could not be sent. It is still open so that you can try again.";
inline constexpr const wchar_t* kNotLoggedMessage =
    L"The message could not be prepared for logging, so it has not been sent. You can send it as usual, "
    L"or try again.";
inline constexpr const wchar_t* kNoHelperMessage =
    L"The message has not been sent: the add-in's helper component is missing, so it cannot be logged. "
    L"You can send it as usual.";

}  // namespace vantrell
