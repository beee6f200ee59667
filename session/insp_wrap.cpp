#include "session/insp_wrap.h"

#include "platform/failure.h"
#include "platform/late_bound.h"
#include "platform/message_loop.h"
#include "platform/office_ids.h"
#include "platform/outlook.h"
#include "session/crm_addin.h"
#include "session/mod_insp_wrap.h"
#include "session/session_state.h"
#include "support/shared_state.h"
#include "support/trace.h"

namespace vantrell {
namespace {

constexpr std::wstring_view kModule = L"InspWrap";

// The bar the buttons go into, in Outlook's item windows and in Word's (shared by every
// WordMail window).
constexpr const wchar_t* kStandardBar = L"Standard";

// Deletes a button from its bar; a field that holds none fails and is skipped.
void DeleteButton(const com::WithEvents& button) { com::LateBound(button.Object()).Call(L"Delete"); }

// The bar a button sits in; empty for a field that holds none.
com::Ptr<IDispatch> BarOf(const com::WithEvents& button) {
    if (!button) return {};
    return com::LateBound(button.Object()).Get(L"Parent").ToDispatch();
}

}  // namespace

void InspWrap::DeleteOursFromBar(const com::Ptr<IDispatch>& bar) {
    ProcedureScope scope;
    com::LateBound sharedBar(bar);
    for (const CommandDefinition& definition : ItemCommands()) {
        // A delete that fails would find the same control again: a few rounds are plenty.
        for (int round = 0; round < 4; ++round) {
            com::Variant control, ignored;
            if (!sharedBar.TryCall(L"FindControl",
                                {com::Variant::Missing(), com::Variant::Missing(), com::Variant(definition.tag)},
                                control) ||
                !control.IsObject() || !com::LateBound(control).TryCall(L"Delete", {}, ignored))
                break;
        }
    }
}

com::Ptr<IDispatch> InspWrap::ButtonBar() const {
    for (const ButtonField& field : buttons_)
        if (field.events) return BarOf(field.events);
    return {};
}

void InspWrap::DeleteButtons() {
    for (ButtonField& field : buttons_) DeleteButton(field.events);
}

namespace {

bool IsWordMail(const com::Ptr<IDispatch>& inspector) {
    return com::LateBound(inspector).Call(L"IsWordMail").ToBool();
}

}  // namespace

InspWrap::InspWrap()
    : mobjInsp(outlook::kInspectorEvents, outlook::kInspectorEvents10),
      mobjMail(outlook::kItemEvents, outlook::kItemEvents10),
      mobjPost(outlook::kItemEvents, outlook::kItemEvents10),
      mobjAppt(outlook::kItemEvents, outlook::kItemEvents10),
      mobjContact(outlook::kItemEvents, outlook::kItemEvents10),
      mobjTask(outlook::kItemEvents, outlook::kItemEvents10),
      mobjJournal(outlook::kItemEvents, outlook::kItemEvents10) {
    mobjInsp.On(outlook::kActivate, this, &InspWrap::mobjInsp_Activate);
    mobjInsp.On(outlook::kClose, this, &InspWrap::mobjInsp_Close);
    mobjMail.On(outlook::kItemOpen, this, &InspWrap::mobjMail_Open);
    mobjMail.On(outlook::kItemClose, this, &InspWrap::mobjMail_Close);
    mobjPost.On(outlook::kItemClose, this, &InspWrap::mobjPost_Close);
    mobjAppt.On(outlook::kItemClose, this, &InspWrap::mobjAppt_Close);
    mobjContact.On(outlook::kItemClose, this, &InspWrap::mobjContact_Close);
    mobjJournal.On(outlook::kItemClose, this, &InspWrap::mobjJournal_Close);
    for (const CommandDefinition& definition : ItemCommands()) {
        const ItemCommand command = definition.command;
        Field(command).On(office::kClick, [this, command](const com::EventArgs& args) { ButtonClicked(command, args); });
    }
}

// A wrapper destroyed while its window is still open (the session ended first) takes its
// buttons away; after a normal close the fields are already empty.
InspWrap::~InspWrap() {
    try {
        ProcedureScope scope;
        DeleteButtons();
        for (ButtonField& field : buttons_) field.events.Reset();
        mobjInsp.Reset();
        mobjMail.Reset();
        mobjAppt.Reset();
        mobjTask.Reset();
        mobjJournal.Reset();
        mobjPost.Reset();
        mobjContact.Reset();
    } catch (...) {
        // Nothing may leave a destructor; the fields' own destructors let go of what is left.
    }
}

// ---- the published interface ----

HRESULT InspWrap::Assign(com::WithEvents& field, IDispatch* object) noexcept {
    return com::Guarded([&] {
        ProcedureScope scope;
        field.Set(com::Ptr<IDispatch>(object));
        return S_OK;
    });
}

STDMETHODIMP InspWrap::putref_MailItem(IDispatch* objMail) noexcept { return Assign(mobjMail, objMail); }
STDMETHODIMP InspWrap::putref_PostItem(IDispatch* objPost) noexcept { return Assign(mobjPost, objPost); }
STDMETHODIMP InspWrap::putref_TaskItem(IDispatch* objTask) noexcept { return Assign(mobjTask, objTask); }
STDMETHODIMP InspWrap::putref_AppointmentItem(IDispatch* objAppt) noexcept { return Assign(mobjAppt, objAppt); }
STDMETHODIMP InspWrap::putref_ContactItem(IDispatch* objContact) noexcept { return Assign(mobjContact, objContact); }
STDMETHODIMP InspWrap::putref_JournalItem(IDispatch* objJournal) noexcept { return Assign(mobjJournal, objJournal); }
STDMETHODIMP InspWrap::putref_Inspector(IDispatch* objInspector) noexcept { return Assign(mobjInsp, objInspector); }

STDMETHODIMP InspWrap::get_Inspector(IDispatch** objInspector) noexcept {
    if (!objInspector) return E_POINTER;
    *objInspector = com::Ptr<IDispatch>(mobjInsp.Object()).Detach();
    return S_OK;
}

STDMETHODIMP InspWrap::put_Key(BSTR strID) noexcept {
    return com::Guarded([&] {
        mstrID.assign(strID ? strID : L"", strID ? SysStringLen(strID) : 0);
        return S_OK;
    });
}

STDMETHODIMP InspWrap::get_Key(BSTR* strID) noexcept {
    if (!strID) return E_POINTER;
    *strID = SysAllocStringLen(mstrID.data(), static_cast<UINT>(mstrID.size()));
    return *strID ? S_OK : E_OUTOFMEMORY;
}

// ---- the item opens: its button ----

void InspWrap::mobjMail_Open(const com::EventArgs&) {
    ProcedureScope scope;
    com::Ptr<IUnknown> keep(Identity());
    if (closing_) return;
    // Signed out: the window gets its buttons when the user signs in again.
    if (LogonID == 0 || CompanyID == 0) return;
    PutButtons();
}

void InspWrap::ShowButtons(bool shown) {
    ProcedureScope scope;
    com::Ptr<IUnknown> keep(Identity());
    if (closing_ || !mobjMail) return;
    if (shown) {
        PutButtons();
        return;
    }
    for (const CommandDefinition& definition : ItemCommands()) {
        const com::WithEvents& field = Field(definition.command);
        if (field) com::LateBound(field.Object()).Put(L"Visible", com::Variant::Boolean(false));
    }
}

void InspWrap::PutButtons() {
    com::LateBound mail(mobjMail.Object());
    com::LateBound inspector(mail.Call(L"GetInspector"));
    com::LateBound bars(inspector.Get(L"CommandBars"));
    com::LateBound bar(bars.Call(L"Item", {com::Variant(kStandardBar)}));
    if (!bar.Get(L"Visible").ToBool()) bar.Put(L"Visible", com::Variant::Boolean(true));

    const bool sent = mail.Get(L"Sent").ToBool();
    for (const CommandDefinition& definition : ItemCommands())
        if (OfferedFor(definition, sent)) PutButton(definition, bar);
}

void InspWrap::PutButton(const CommandDefinition& definition, com::LateBound& bar) {
    com::WithEvents& field = Field(definition.command);
    // FindControl(Type, Id, Tag): only the tag is given.
    field.Set(bar.Call(L"FindControl", {com::Variant::Missing(), com::Variant::Missing(), com::Variant(definition.tag)})
                  .ToDispatch());
    if (field) {
        // A button left in the bar (Word's shared one, or one whose delete failed) may be spent
        // from the message it served before: it shows this message's state.
        com::LateBound button(field.Object());
        button.Put(L"Visible", com::Variant::Boolean(true));
        if (definition.spentWhenDone) button.Put(L"Enabled", com::Variant::Boolean(!logged_));
        button.Put(L"Parameter", com::Variant(mstrID));
        return;
    }

    const long before = definition.beforeInOutlook == definition.beforeInWord ? definition.beforeInOutlook
                        : IsWordMail(mobjInsp.Object())                       ? definition.beforeInWord
                                                                               : definition.beforeInOutlook;
    com::LateBound controls(bar.Get(L"Controls"));
    field.Set(controls
                  .Call(L"Add", {com::Variant(office::msoControlButton), com::Variant::Missing(), com::Variant(mstrID),
                                 com::Variant(before), com::Variant::Boolean(true)})
                  .ToDispatch());
    com::LateBound button(field.Object());
    for (ButtonProperty property : definition.newButton) {
        switch (property) {
            case ButtonProperty::Tag: button.Put(L"Tag", com::Variant(definition.tag)); break;
            case ButtonProperty::Parameter: button.Put(L"Parameter", com::Variant(mstrID)); break;
            case ButtonProperty::Style: button.Put(L"Style", com::Variant(office::msoButtonIconAndCaption)); break;
            case ButtonProperty::BeginGroup: button.Put(L"BeginGroup", com::Variant::Boolean(true)); break;
            case ButtonProperty::FaceId: button.Put(L"FaceId", com::Variant(definition.faceId)); break;
            case ButtonProperty::Caption: button.Put(L"Caption", com::Variant(definition.caption)); break;
            case ButtonProperty::TooltipText: button.Put(L"TooltipText", com::Variant(definition.tooltip)); break;
            case ButtonProperty::Visible: button.Put(L"Visible", com::Variant::Boolean(true)); break;
        }
    }
}

// ---- the window comes to the front ----

// WordMail windows share Word's bar, so its button names the wrapper that claimed it last.
// The window the user brings to the front claims its button again: a click then acts on the
// message the user sees, not on the last one opened, and Log Message is spent only when that
// message has been logged.
void InspWrap::mobjInsp_Activate(const com::EventArgs&) {
    ProcedureScope scope;
    com::Ptr<IUnknown> keep(Identity());
    if (closing_ || !SharesWordsBar(mobjInsp.Object())) return;
    if (LogonID == 0 || CompanyID == 0) return;  // signed out: hidden until the user signs in
    for (const CommandDefinition& definition : ItemCommands()) {
        const com::WithEvents& field = Field(definition.command);
        if (!field) continue;
        com::LateBound button(field.Object());
        button.Put(L"Visible", com::Variant::Boolean(true));
        button.Put(L"Parameter", com::Variant(mstrID));
        if (definition.spentWhenDone) button.Put(L"Enabled", com::Variant::Boolean(!logged_));
    }
}

// ---- the window closes ----

void InspWrap::mobjInsp_Close(const com::EventArgs&) {
    ProcedureScope scope;
    com::Ptr<IUnknown> keep(Identity());
    constexpr std::wstring_view kProcedure = L"mobjInsp_Close";
    if (closing_) return;
    closing_ = true;
    WriteTrace(kModule, kProcedure, L" mstrID=" + mstrID, kTraceStep);

    // KillInsp traces each failure it meets (level 1) and, as every procedure of the add-in,
    // returns with the failure record cleared: nothing is left for this procedure to report.
    KillInsp(mstrID, this);

    if (SharesWordsBar(mobjInsp.Object())) {
        // Word's bar serves every WordMail window: the buttons go with the last of them.
        --gintWordMailCount;
        if (gintWordMailCount == 0) {
            com::Ptr<IDispatch> bar = ButtonBar();
            DeleteButtons();
            if (bar) DeleteOursFromBar(bar);
            if (gobjCRMAddIn) gobjCRMAddIn->SetWMTemplateState();
        }
    } else {
        DeleteButtons();
    }
    for (ButtonField& field : buttons_) field.events.Reset();
    ProcessPendingMessages();
    mobjInsp.Reset();
}

void InspWrap::mobjMail_Close(const com::EventArgs&) { mobjMail.Reset(); }
void InspWrap::mobjPost_Close(const com::EventArgs&) { mobjPost.Reset(); }
void InspWrap::mobjAppt_Close(const com::EventArgs&) { mobjAppt.Reset(); }
void InspWrap::mobjContact_Close(const com::EventArgs&) { mobjContact.Reset(); }
void InspWrap::mobjJournal_Close(const com::EventArgs&) { mobjJournal.Reset(); }

// ---- clicks ----

// Office tells every button object with the same tag about a click, whichever window it came
// from: only the wrapper whose key the clicked button carries acts on it (exact comparison).
void InspWrap::ButtonClicked(ItemCommand command, const com::EventArgs& args) {
    ProcedureScope scope;
    com::Ptr<IUnknown> keep(Identity());
    if (closing_) return;
    com::Ptr<IDispatch> ctrl = args.Object(0);
    if (com::LateBound(ctrl).Get(L"Parameter").ToText() != mstrID) return;
    if (auto action = ActionsOf(command).fromButton) action(*this, ctrl.Get());
}

}  // namespace vantrell
