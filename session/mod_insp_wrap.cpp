#include "session/mod_insp_wrap.h"

#include <vector>

#include "session/insp_wrap.h"
#include "session/command_table.h"
#include "platform/failure.h"
#include "platform/late_bound.h"
#include "platform/outlook.h"
#include "session/session_state.h"
#include "support/guid.h"
#include "support/shared_state.h"
#include "support/trace.h"

namespace vantrell {

std::int16_t gintWordMailCount = 0;
bool wordInsideOutlook = false;

bool SharesWordsBar(const com::Ptr<IDispatch>& inspector) {
    return !wordInsideOutlook && com::LateBound(inspector).Call(L"IsWordMail").ToBool();
}

namespace {

constexpr std::wstring_view kModule = L"modInspWrap";

std::wstring FailureText() {
    return L" " + vantrell::FailureText(PendingFailure(), FailureFormat::ErrDesc);
}

// The collection's Item(key) and Add(key), failing as a keyed collection does.
com::Ptr<InspWrap> Lookup(const std::wstring& key) {
    com::Ptr<InspWrap> found = gcolInspWrap ? gcolInspWrap->Item(key) : com::Ptr<InspWrap>();
    if (!found) RecordFailure(5, L"Invalid procedure call or argument", L"gcolInspWrap.Item");
    return found;
}

}  // namespace

std::wstring AddInsp(const com::Ptr<IDispatch>& inspector) {
    ProcedureScope scope;
    constexpr std::wstring_view kProcedure = L"AddInsp";
    WriteTrace(kModule, kProcedure, L"", kTraceDetail);
    com::LateBound window(inspector);
    com::Ptr<IDispatch> item = window.Get(L"CurrentItem").ToDispatch();

    std::wstring strID = GetGUID();
    if (Lookup(strID)) strID = GetGUID();
    ClearFailure();

    auto objInspWrap = com::Make<InspWrap>();
    com::Bstr key(strID);
    if (FAILED(objInspWrap->put_Key(key.Get()))) RecordFailure(7, L"Out of memory", L"objInspWrap.Key");
    if (HasPendingFailure())
        WriteTrace(kModule, kProcedure, L" error setting objInspWrap.Key to " + strID + FailureText(), kTraceFailure);
    else
        WriteTrace(kModule, kProcedure, L" objInspWrap.Key=" + strID, kTraceStep);

    objInspWrap->putref_Inspector(inspector.Get());

    // The item goes into the property of its class.
    struct ItemClass {
        long number;
        const wchar_t* trace;
        HRESULT (STDMETHODCALLTYPE InspWrap::*put)(IDispatch*);
    };
    static const ItemClass kClasses[] = {
        {outlook::olMail, L" class: MailItem", &InspWrap::putref_MailItem},
        {outlook::olPost, L" class: PostItem", &InspWrap::putref_PostItem},
        {outlook::olAppointment, L" class: AppointmentItem messageclass=", &InspWrap::putref_AppointmentItem},
        {outlook::olTask, L" class: TaskItem", &InspWrap::putref_TaskItem},
        {outlook::olContact, L" class: ContactItem", &InspWrap::putref_ContactItem},
        {outlook::olJournal, L" class: JournalItem", &InspWrap::putref_JournalItem},
    };
    com::LateBound shownItem(item);
    com::Variant itemClass = shownItem.Get(L"Class");
    long number = 0;
    if (itemClass.TryLong(number)) {
        for (const ItemClass& entry : kClasses) {
            if (entry.number != number) continue;
            std::wstring text = entry.trace;
            if (number == outlook::olAppointment) text += shownItem.Get(L"MessageClass").ToText();
            WriteTrace(kModule, kProcedure, text, kTraceDetail);
            (objInspWrap.Get()->*entry.put)(item.Get());
            break;
        }
    }
    ClearFailure();

    if (!gcolInspWrap)
        RecordFailure(static_cast<long>(E_POINTER), L"Object variable not set", L"gcolInspWrap.Add");
    else if (!gcolInspWrap->Add(strID, objInspWrap))
        RecordFailure(457, L"This key is already associated with an element of this collection", L"gcolInspWrap.Add");
    if (SharesWordsBar(inspector)) ++gintWordMailCount;
    if (HasPendingFailure())
        WriteTrace(kModule, kProcedure, L" gcolInspWrap.Add strID=" + strID + FailureText(), kTraceFailure);
    else
        WriteTrace(kModule, kProcedure, L" gcolInspWrap.Add strID=" + strID, kTraceStep);
    return strID;
}

void KillInsp(const std::wstring& strID, InspWrap* objInspWrap) {
    ProcedureScope scope;
    constexpr std::wstring_view kProcedure = L"KillInsp";
    WriteTrace(kModule, kProcedure, L"", kTraceDetail);
    com::Ptr<InspWrap> found = Lookup(strID);
    if (!found || found.Get() != objInspWrap) {
        WriteTrace(kModule, kProcedure, L" unexpected Error in KillInsp", kTraceFailure);
        return;
    }
    ClearFailure();
    gcolInspWrap->Remove(strID);
    found.Reset();
    InvalidateCommandButtons();
    if (HasPendingFailure())
        WriteTrace(kModule, kProcedure, L" gcolInspWrap.Remove strID=" + strID + FailureText(), kTraceFailure);
    else
        WriteTrace(kModule, kProcedure, L"success", kTraceDetail);
}

void ShowCommandButtons(bool shown) {
    ProcedureScope scope;
    if (!gcolInspWrap || shown == !gcolInspWrap->buttonsHidden) return;
    gcolInspWrap->buttonsHidden = !shown;
    {
        // A wrapper may leave the collection while its buttons are made (its window closes).
        std::vector<com::Ptr<InspWrap>> wrappers;
        for (long i = 1; i <= gcolInspWrap->Count(); ++i) wrappers.push_back(gcolInspWrap->Item(i));
        for (const com::Ptr<InspWrap>& wrapper : wrappers)
            if (wrapper) wrapper->ShowButtons(shown);
    }
    com::LateBound(gobjRibbon).Call(L"Invalidate");
    ClearFailure();
}

}  // namespace vantrell
