// CRMAddIn's handlers of window events: Outlook's explorers and inspectors opening and closing,
// and Word's WindowActivate while Word edits the mail.
#include "session/command_table.h"
#include "session/insp_wrap.h"
#include "platform/failure.h"
#include "platform/late_bound.h"
#include "platform/message_loop.h"
#include "platform/outlook.h"
#include "session/crm_addin.h"
#include "session/mod_insp_wrap.h"
#include "session/outlook_windows.h"
#include "session/session_state.h"
#include "support/shared_state.h"
#include "support/trace.h"

namespace vantrell {
namespace {

constexpr std::wstring_view kModule = L"CRMAddIn";

com::LateBound App() { return com::LateBound(gobjOutlook); }

}  // namespace

bool AskActiveExplorer(com::LateBound application, com::Ptr<IDispatch>& explorer) {
    com::Variant answer;
    explorer.Reset();
    if (!application.TryCall(L"ActiveExplorer", {}, answer)) return false;
    if (answer.IsObject()) explorer = answer.ToDispatch();
    return true;
}

bool AskInspectorCount(com::LateBound application, long& count) {
    com::Variant inspectors, value;
    return application.TryGet(L"Inspectors", inspectors) && com::LateBound(inspectors).TryGet(L"Count", value) &&
           value.TryLong(count);
}

com::Ptr<IDispatch> ExplorerAfterClose(com::LateBound application, const com::Ptr<IDispatch>& closing,
                                       bool& answered) {
    com::Ptr<IDispatch> explorer;
    answered = AskActiveExplorer(application, explorer);
    if (answered) return explorer;
    // Outlook still lists the closing explorer while its Close fires: take the newest other one.
    com::LateBound explorers(application.Get(L"Explorers"));
    com::Variant count;
    long n = 0;
    if (!explorers.TryGet(L"Count", count) || !count.TryLong(n)) return {};
    for (long i = n; i >= 1; --i) {
        com::Variant item;
        if (!explorers.TryCall(L"Item", {com::Variant(i)}, item) || !item.IsObject()) continue;
        com::Ptr<IDispatch> candidate = item.ToDispatch();
        if (!com::SameObject(candidate.Get(), closing.Get())) return candidate;
    }
    return {};
}

namespace {

// True only when Outlook said there is no main window in front; a read that failed says nothing.
bool NoActiveExplorer() {
    com::Ptr<IDispatch> explorer;
    return AskActiveExplorer(App(), explorer) && !explorer;
}

// The number of open inspectors; false when Outlook could not tell.
bool InspectorCount(long& count) { return AskInspectorCount(App(), count); }

// Whether a Word document is the message a wrapped WordMail window shows. Word answers
// CurrentEmailAuthor only for a message being written, so a received message read in Word
// is known as an e-mail this way only.
bool ShownInAWrappedWindow(const com::Ptr<IDispatch>& doc) {
    if (!gcolInspWrap || !doc) return false;
    for (long i = 1; i <= gcolInspWrap->Count(); ++i) {
        com::Ptr<InspWrap> wrapper = gcolInspWrap->Item(i);
        if (!wrapper || !wrapper->Inspector()) continue;
        com::LateBound inspector(wrapper->Inspector());
        com::Variant wordMail, editor;
        if (inspector.TryCall(L"IsWordMail", {}, wordMail) && wordMail.ToBool() &&
            inspector.TryGet(L"WordEditor", editor) && editor.IsObject() &&
            com::SameObject(editor.ToDispatch().Get(), doc.Get()))
            return true;
    }
    return false;
}

}  // namespace

void CRMAddIn::mcolExpl_NewExplorer(const com::EventArgs& args) {
    ProcedureScope scope;
    com::Ptr<IUnknown> keep(Identity());
    if (!mobjExpl) mobjExpl.Set(args.Object(0));
    if (mblnInitialized) explorerMenus_.Add(args.Object(0));
}

void CRMAddIn::mobjExpl_Close(const com::EventArgs&) {
    ProcedureScope scope;
    com::Ptr<IUnknown> keep(Identity());
    // No explorer and no inspector left: stop. A failed read leaves the session up, watching
    // another explorer Outlook still lists; if Outlook is going away, its shutdown stops the
    // session anyway.
    bool answered = false;
    com::Ptr<IDispatch> closing = mobjExpl.Object();
    // Its menu goes with it, whichever of the two hears the Close first.
    explorerMenus_.Closing(closing);
    mobjExpl.Set(ExplorerAfterClose(App(), closing, answered));
    closing.Reset();
    long inspectors = 0;
    if (answered && !mobjExpl && InspectorCount(inspectors) && inspectors == 0) UnInitHandler();
}

void CRMAddIn::mcolInsp_NewInspector(const com::EventArgs& args) {
    ProcedureScope scope;
    com::Ptr<IUnknown> keep(Identity());
    com::Ptr<IDispatch> inspector = args.Object(0);
    mobjInsp.Set(inspector);
    if (HostIsExactlyOutlook2007()) return;

    com::LateBound window(inspector);
    if (SharesWordsBar(inspector)) {
        // A Word whose process has ended answers nothing any more: the Word running now, if
        // any, is the one to follow.
        com::Variant name;
        if (mappWd && !com::LateBound(mappWd.Object()).TryGet(L"Name", name)) mappWd.Reset();
        if (!mappWd) {
            // GetActiveObject finds a Word that runs already; nothing here starts one. From
            // Outlook 2007 on, the Word it would find is one the user runs beside Outlook.
            mappWd.Set(com::GetActiveObjectOf(L"Word.Application").Pointer());
            ProcessPendingMessages();
        }
    }

    com::Variant itemClass = com::LateBound(window.Get(L"CurrentItem")).Get(L"Class");
    long number = 0;
    if (!itemClass.TryLong(number)) number = 0;
    switch (number) {
        case outlook::olMail:
            AddInsp(inspector);
            break;
        case outlook::olPost:
        case outlook::olAppointment:
        case outlook::olContact:
        case outlook::olTask:
        case outlook::olJournal:
            break;
        default:
            mobjInsp.Reset();
            break;
    }
}

void CRMAddIn::mobjInsp_Close(const com::EventArgs&) {
    ProcedureScope scope;
    com::Ptr<IUnknown> keep(Identity());
    // The closing window is still in Outlook's Inspectors, so a count of one means none is left.
    // A failed read leaves the session up.
    long inspectors = 0;
    if (NoActiveExplorer() && InspectorCount(inspectors) && inspectors <= 1) UnInitHandler();
    // A closed window fires nothing more: holding it would only keep Outlook's object alive.
    mobjInsp.Reset();
}

// Word's bar is one for all its windows: switching to a plain document hides our button.
void CRMAddIn::mappWd_WindowActivate(const com::EventArgs& args) {
    ProcedureScope scope;
    com::Ptr<IUnknown> keep(Identity());
    constexpr std::wstring_view kProcedure = L"mappWd_WindowActivate";
    com::LateBound doc(args.Object(0));

    com::Variant author;
    if (com::LateBound(doc.Get(L"Email")).TryGet(L"CurrentEmailAuthor", author) && !author.IsEmpty()) return;
    if (ShownInAWrappedWindow(doc.Pointer())) return;
    ClearFailure();
    const std::wstring name = doc.Get(L"Name").ToText();
    WriteTrace(kModule, kProcedure, L"unable to access CurrentEmailAuthor for " + name, kTraceStep);

    com::LateBound bar(com::LateBound(doc.Get(L"CommandBars")).Call(L"Item", {com::Variant(L"Standard")}));
    auto find = [&](const wchar_t* tag) {
        // FindControl(Type, Id, Tag, Visible, Recursive): nested controls too.
        return com::LateBound(bar.Call(L"FindControl", {com::Variant::Missing(), com::Variant::Missing(),
                                                        com::Variant(tag), com::Variant::Missing(),
                                                        com::Variant::Boolean(true)}));
    };
    // The first of the commands' buttons found is hidden.
    for (const CommandDefinition& definition : ItemCommands()) {
        com::LateBound control = find(definition.tag);
        if (!control) continue;
        WriteTrace(kModule, kProcedure, std::wstring(L"hiding ") + definition.hidingName + L" button for " + name,
                   kTraceStep);
        control.Put(L"Visible", com::Variant::Boolean(false));
        com::LateBound(doc.Get(L"AttachedTemplate")).Put(L"Saved", com::Variant::Boolean(true));
        return;
    }
}

// Word quits: the next WordMail window attaches to the Word running then.
void CRMAddIn::mappWd_Quit(const com::EventArgs&) {
    ProcedureScope scope;
    com::Ptr<IUnknown> keep(Identity());
    mappWd.Reset();
}

void CRMAddIn::SetWMTemplateState() {
    ProcedureScope scope;
    com::LateBound word(mappWd.Object());
    com::LateBound wordTemplate(com::LateBound(word.Get(L"ActiveDocument")).Get(L"AttachedTemplate"));
    com::Variant saved;
    if (wordTemplate.TryGet(L"Saved", saved) && saved.ToBool()) return;
    WriteTrace(kModule, L"SetWMTemplateState", L"clearing template dirty flag", kTraceStep);
    wordTemplate.Put(L"Saved", com::Variant::Boolean(true));
}

}  // namespace vantrell
