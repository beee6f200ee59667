#include "logon/config_message.h"

#include <string>

#include "helper_api/helper_api.h"
#include "platform/failure.h"
#include "platform/late_bound.h"
#include "platform/outlook.h"
#include "support/shared_state.h"
#include "support/trace.h"

namespace vantrell {
namespace {

using com::LateBound;
using com::Variant;

void Trace(std::wstring_view procedure, std::wstring_view text, long level) {
    WriteTrace(L"modCRM", procedure, text, level);
}

std::wstring NumberAndDescription() {
    return FailureText(PendingFailure(), FailureFormat::Desc);
}

// The Inbox's hidden items through a new helper folder object, or empty after tracing why.
LateBound HiddenItems(const com::Ptr<IDispatch>& nameSpace, std::wstring_view procedure) {
    LateBound inbox(LateBound(nameSpace).Call(L"GetDefaultFolder", {Variant(outlook::olFolderInbox)}));
    if (HasPendingFailure() || !inbox) {
        Trace(procedure, L" err getting Inbox: " + NumberAndDescription(), kTraceFailure);
        return {};
    }
    ClearFailure();
    LateBound folder = com::CreateObject(helper::kFolderProgId);
    if (HasPendingFailure() || !folder) {
        Trace(procedure, L"err creating OsbFolder: " + NumberAndDescription(), kTraceFailure);
        return {};
    }
    folder.Call(L"Attach", {Variant(inbox.Get())});
    ClearFailure();
    LateBound hidden(folder.Get(L"HiddenItems"));
    if (HasPendingFailure() || !hidden) {
        Trace(procedure, L" err getting HiddenItems: " + NumberAndDescription(), kTraceFailure);
        return {};
    }
    return hidden;
}

// The tag of a named property of the public-strings set, typed as a 32-bit integer. When the
// lookup fails (its failure pending) the result names no property of ours: never read or write it.
long LongTag(LateBound& item, const wchar_t* name) {
    return item.Call(L"NamedTag", {Variant(helper::kPublicStrings), Variant(name)}).ToLong() | helper::kTypeLong;
}

}  // namespace

bool GetConfigMessage(const com::Ptr<IDispatch>& nameSpace) {
    ProcedureScope scope;
    constexpr std::wstring_view kProcedure = L"GetConfigMessage";
    Trace(kProcedure, L"", kTraceDetail);
    LateBound hidden = HiddenItems(nameSpace, kProcedure);
    if (!hidden) return false;

    ClearFailure();
    LateBound item(hidden.Call(L"FindBySubject", {Variant(kConfigSubject)}));
    if (HasPendingFailure() || !item) {
        Trace(kProcedure, L" unable to get hidden message " + PendingFailure().description, kTraceFailure);
        return false;
    }
    long logonTag = LongTag(item, L"LogonID");
    long companyTag = LongTag(item, L"CompanyID");
    // A lookup, read or conversion that fails leaves the identifiers as they were; its failure
    // stays pending for the check below.
    if (!HasPendingFailure()) {
        Variant stored;
        long value = 0;
        if (item.TryCall(L"GetProperty", {Variant(logonTag)}, stored) && stored.TryLong(value)) LogonID = value;
        if (item.TryCall(L"GetProperty", {Variant(companyTag)}, stored) && stored.TryLong(value)) CompanyID = value;
    }
    item.Reset();
    if (HasPendingFailure()) {
        Trace(kProcedure, L" error reading data from hidden message " + PendingFailure().description, kTraceFailure);
        return false;
    }
    Trace(kProcedure, L" successfully read data from hidden message", kTraceDetail);
    return true;
}

void SetConfigMessage(const com::Ptr<IDispatch>& nameSpace) {
    ProcedureScope scope;
    constexpr std::wstring_view kProcedure = L"SetConfigMessage";
    Trace(kProcedure, L"", kTraceDetail);
    LateBound hidden = HiddenItems(nameSpace, kProcedure);
    if (!hidden) return;

    LateBound item(hidden.Call(L"FindBySubject", {Variant(kConfigSubject)}));
    ClearFailure();  // a failed lookup counts as a missing message
    if (!item) {
        item = LateBound(hidden.Call(L"AddItem", {Variant(L"IPM.Note")}));
        item.Put(L"Subject", Variant(kConfigSubject));
    }
    if (HasPendingFailure() || !item) {
        Trace(kProcedure, L" err getting hidden message: " + NumberAndDescription(), kTraceFailure);
        return;
    }
    long logonTag = LongTag(item, L"LogonID");
    long companyTag = LongTag(item, L"CompanyID");
    // Each step runs only while the ones before it worked: the first failure is reported below
    // instead of the saved line.
    if (!HasPendingFailure()) item.Call(L"SetProperty", {Variant(logonTag), Variant(static_cast<long>(LogonID))});
    if (!HasPendingFailure()) item.Call(L"SetProperty", {Variant(companyTag), Variant(static_cast<long>(CompanyID))});
    if (!HasPendingFailure()) item.Call(L"Save");
    item.Reset();
    if (HasPendingFailure()) {
        Trace(kProcedure, L" err saving logon data to hidden message: " + NumberAndDescription(), kTraceFailure);
    } else {
        Trace(kProcedure, L" saved logon data to hidden message", kTraceStep);
    }
}

}  // namespace vantrell
