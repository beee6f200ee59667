// Logging a message: the forward to the service's logging agent and its X-headers.
#include <windows.h>
#include <oleauto.h>

#include <cmath>
#include <utility>

#include "helper_api/helper_api.h"
#include "platform/ansi.h"
#include "platform/failure.h"
#include "session/crm_addin.h"
#include "session/rfc822.h"
#include "support/shared_state.h"
#include "support/trace.h"

namespace vantrell {
namespace {

constexpr std::wstring_view kModule = L"CRMAddIn";
constexpr std::wstring_view kProcedure = L"ForwardToEmailAgent";
constexpr std::wstring_view kHeaderPrefix = L"X-Quorvanes-";

void Trace(std::wstring_view text, long level) { WriteTrace(kModule, kProcedure, text, level); }

bool HasValue(const com::Variant& value) {
    if (value.IsEmpty() || value.IsNull()) return false;
    return value.Type() != VT_BSTR || !value.ToText().empty();
}

}  // namespace

std::wstring CRMAddIn::FormatRFC822Date(double date) {
    // VariantTimeToSystemTime may take a NaN for a date (Wine's gives 30 Dec 1899 with a wrong day
    // of the week): not a date.
    SYSTEMTIME time{};
    if (!std::isfinite(date) || !VariantTimeToSystemTime(date, &time)) return {};
    // The time is rounded to the second, and in a day's last half second that is the next day:
    // the system's day of the week is that of the day before (Wine's), so it is taken from the
    // date as printed.
    return RFC822Date({time.wYear, time.wMonth, DayOfWeek(time.wYear, time.wMonth, time.wDay), time.wDay, time.wHour,
                       time.wMinute, time.wSecond});
}

bool CRMAddIn::IsIncoming(const com::LateBound& helperItem) {
    ProcedureScope scope;
    com::LateBound item(helperItem);
    // A read that fails counts as no value.
    com::Variant value;
    if (item.TryCall(L"GetProperty", {com::Variant(helper::PR_TRANSPORT_MESSAGE_HEADERS)}, value) && HasValue(value))
        return true;
    // Present at all, whatever its value (False included): the message came in.
    value = com::Variant();
    return item.TryCall(L"GetProperty", {com::Variant(helper::PR_MESSAGE_TO_ME)}, value) && !value.IsEmpty() &&
           !value.IsNull();
}

bool CRMAddIn::AddXHeader(const com::LateBound& helperItem, std::wstring_view name, std::wstring_view value) {
    ProcedureScope scope;
    com::LateBound item(helperItem);
    std::wstring headerName = std::wstring(kHeaderPrefix) + std::wstring(name);
    com::Variant id;
    if (!item.TryCall(L"NamedId", {com::Variant(helper::kInternetHeaders), com::Variant(headerName)}, id)) return false;
    long tag = 0;
    // A lookup that gave no id must not become a tag: the value would land in a junk property.
    if (!id.TryLong(tag) || tag == 0) return false;
    // An 8-bit string where the ANSI code page holds the text, as ever; otherwise a Unicode one,
    // which MAPI does not turn into "?" where the code page lacks a character (a name in another
    // script). A helper or store that refuses the Unicode type gets the 8-bit string after all.
    const std::wstring text = OneLine(value);
    std::string ansi;
    com::Variant ignored;
    if (!ToAnsiExact(text, ansi) &&
        item.TryCall(L"SetProperty", {com::Variant(tag | helper::kTypeUnicode), com::Variant(text)}, ignored))
        return true;
    return item.TryCall(L"SetProperty", {com::Variant(tag | helper::kTypeString8), com::Variant(text)}, ignored);
}

bool CRMAddIn::RemoveXHeader(const com::LateBound& helperItem, std::wstring_view name) {
    ProcedureScope scope;
    com::LateBound item(helperItem);
    com::Variant id;
    if (!item.TryCall(L"NamedId", {com::Variant(helper::kInternetHeaders), com::Variant(std::wstring(kHeaderPrefix) + std::wstring(name))}, id))
        return false;
    long tag = 0;
    if (!id.TryLong(tag) || tag == 0) return false;
    // AddXHeader wrote an 8-bit or a Unicode string, by the text: both go, and a type that was
    // not written is no failure.
    com::Variant ignored;
    const bool eightBit = item.TryCall(L"DeleteProperty", {com::Variant(tag | helper::kTypeString8)}, ignored);
    const bool unicode = item.TryCall(L"DeleteProperty", {com::Variant(tag | helper::kTypeUnicode)}, ignored);
    return eightBit && unicode;
}

namespace {

// The id through the helper item wrapping `item`'s message, else the item's EntryID.
std::wstring MessageIdThrough(com::LateBound& helperItem, com::LateBound& item) {
    std::wstring messageId = helperItem.Call(L"GetProperty", {com::Variant(helper::PR_INTERNET_MESSAGE_ID)}).ToText();
    if (messageId.empty()) messageId = item.Get(L"EntryID").ToText();
    return messageId;
}

}  // namespace

std::wstring CRMAddIn::OriginalMessageID(const com::LateBound& source) {
    ProcedureScope scope;
    com::LateBound item(source);
    com::LateBound helperItem = com::CreateObject(helper::kMailItemProgId);
    helperItem.Call(L"Attach", {com::Variant(item.Get())});
    std::wstring id = MessageIdThrough(helperItem, item);
    ClearFailure();
    return id;
}

bool CRMAddIn::ForwardToEmailAgent(const com::LateBound& source, Failure* reason) {
    ProcedureScope scope;
    com::Ptr<IUnknown> keep(Identity());  // sending may let Outlook process its messages
    com::LateBound item(source);
    const com::Variant subjectValue = item.Get(L"Subject");
    const std::wstring subject = subjectValue.ToText();

    // Without a forward there is nothing to address or stamp: the helper would go on wrapping
    // the source message, and the agent and the headers would land on the user's own message.
    ClearFailure();
    com::LateBound forward(item.Call(L"Forward"));
    if (!forward || HasPendingFailure()) {
        const Failure failure = HasPendingFailure() ? PendingFailure() : MakeFailure(E_POINTER, L"No forward");
        Trace(L"error forwarding '" + subject + L"': " + FailureText(failure, FailureFormat::Spaced), kTraceFailure);
        if (reason) *reason = failure;
        return false;
    }
    forward.Put(L"Subject", subjectValue);
    com::LateBound helperItem = com::CreateObject(helper::kMailItemProgId);
    helperItem.Call(L"Attach", {com::Variant(item.Get())});
    forward.Put(L"Body", helperItem.Get(L"PlainBody"));
    forward.Put(L"HTMLBody", helperItem.Get(L"HtmlBody"));

    const std::wstring messageId = MessageIdThrough(helperItem, item);
    const bool incoming = IsIncoming(helperItem);
    const std::wstring sender = helperItem.Get(L"SenderName").ToText() + L" <" +
                                com::LateBound(helperItem.Get(L"SenderEntry")).Get(L"Address").ToText() + L">";
    const std::wstring toText = helperItem.Get(L"ToText").ToText();
    const std::wstring ccText = helperItem.Get(L"CcText").ToText();
    com::Variant submitted = helperItem.Call(L"GetProperty", {com::Variant(helper::PR_CLIENT_SUBMIT_TIME)});
    double submitTime = 0;  // a missing or unreadable time is the zero date
    if (submitted.ChangeType(VT_DATE)) submitTime = V_DATE(submitted.Get());
    const std::wstring dateSent = FormatRFC822Date(submitTime);

    forward.Call(L"Save");
    helperItem.Call(L"Attach", {com::Variant(forward.Get())});

    // Without the agent as its recipient, or without the user's identifiers, the forward would
    // go nowhere or reach the service as nobody's: it is not sent, and the user is told.
    ClearFailure();
    com::LateBound recipient(com::LateBound(helperItem.Get(L"Recipients")).Call(L"Add", {com::Variant(LoggingAddress)}));
    Failure stopped;
    bool stop = HasPendingFailure() || !recipient;
    if (stop) stopped = HasPendingFailure() ? PendingFailure() : MakeFailure(E_POINTER, L"No recipient");
    if (recipient) recipient.Call(L"Resolve", {com::Variant::Boolean(false)});  // its answer is not needed

    const std::pair<std::wstring_view, std::wstring> headers[] = {
        {L"OriginalMessageID", messageId},
        {L"Incoming", incoming ? L"True" : L"False"},
        {L"OriginalSender", sender},
        {L"OriginalTo", toText},
        {L"OriginalCC", ccText},
        {L"OriginalDateSent", dateSent},
        {L"LogonID", std::to_wstring(LogonID)},
        {L"CompanyID", std::to_wstring(CompanyID)},
        {L"Version", AddinVersionText()},
    };
    for (const auto& [name, value] : headers) {
        bool written = AddXHeader(helperItem, name, value);
        if (!written && !stop && (name == L"LogonID" || name == L"CompanyID")) {
            stop = true;
            stopped = MakeFailure(E_FAIL, L"The header X-Quorvanes-" + std::wstring(name) + L" could not be written");
        }
    }

    Trace((incoming ? L"logging existing received message '" : L"logging existing sent message '") + subject + L"'",
          kTraceMilestone);
    Trace(L"Subject=" + subject + L"; OriginalMessageID=" + messageId + L"; Incoming=" +
              (incoming ? L"True" : L"False") + L"; OriginalSender=" + sender + L"; OriginalTo=" + toText +
              L"; OriginalCC=" + ccText + L"; OriginalDateSent=" + dateSent,
          kTraceStep);

    if (stop) {
        Trace(L"error forwarding '" + subject + L"': " + FailureText(stopped, FailureFormat::Spaced), kTraceFailure);
        if (reason) *reason = stopped;
        return false;
    }

    // Only a failure of the send itself decides the result.
    ClearFailure();
    if (HostIsExactlyOutlook2007()) {
        // Outlook sends the stored message, recipient and headers as the helper left them.
        com::Variant entryId = forward.Get(L"EntryID");
        helperItem.Reset();
        forward = com::LateBound(
            com::LateBound(com::LateBound(gobjOutlook).Get(L"Session")).Call(L"GetItemFromID", {entryId}));
        forward.Call(L"Send");
        forward.Reset();
    } else {
        helperItem.Call(L"Send");
        forward.Reset();
        helperItem.Reset();
        if (!HasPendingFailure()) {
            // Sent: the forward waits in the Outbox and goes with Outlook's next send/receive, so
            // a failed flush does not undo the log.
            mobjUtils.Call(L"DeliverNow", {com::Variant(0L), com::Variant(0L)});
            if (HasPendingFailure())
                Trace(L"error delivering '" + subject + L"': " + FailureText(PendingFailure(), FailureFormat::Spaced),
                      kTraceFailure);
            return true;
        }
    }
    if (!HasPendingFailure()) return true;
    Trace(L"error forwarding '" + subject + L"': " + FailureText(PendingFailure(), FailureFormat::Spaced),
          kTraceFailure);
    if (reason) *reason = PendingFailure();
    return false;
}

}  // namespace vantrell
