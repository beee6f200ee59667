#include "session/explorer_wrap.h"

#include <algorithm>
#include <utility>

#include "platform/failure.h"
#include "platform/outlook.h"
#include "support/trace.h"

namespace vantrell {
namespace {

constexpr std::wstring_view kModule = L"ExplMenu";

// The wrappers holding a menu now (RefreshExplorerMenus reaches them here).
std::vector<ExplorerWrap*> live;

// Traces the pending failure of `procedure` (level 1) and clears it; true when there was one.
bool Failed(std::wstring_view procedure) {
    if (!HasPendingFailure()) return false;
    const Failure failure = PendingFailure();
    WriteTrace(kModule, procedure, failure.action + L" " + FailureText(failure, FailureFormat::ErrDesc), kTraceFailure);
    ClearFailure();
    return true;
}

// The object a call answered; a failure is pending when it answered none.
com::Ptr<IDispatch> ObjectOf(const com::Variant& answer, const wchar_t* member) {
    com::Ptr<IDispatch> object = answer.ToDispatch();
    if (!object && !HasPendingFailure())
        RecordFailure(static_cast<long>(E_POINTER), L"Object variable not set", member);
    return object;
}

// Controls.Add(Type, , , , Temporary:=True): the control goes with its window at the latest.
com::Ptr<IDispatch> AddControl(com::LateBound& controls, long type) {
    return ObjectOf(controls.Call(L"Add", {com::Variant(type), com::Variant::Missing(), com::Variant::Missing(),
                                           com::Variant::Missing(), com::Variant::Boolean(true)}),
                    L"Add");
}

// Each wrapper's buttons carry a key of their own.
std::wstring NextKey() {
    static unsigned long made = 0;
    return L"CRM.Explorer." + std::to_wstring(++made);
}

}  // namespace

// ---- the wrapper ----

ExplorerWrap::ExplorerWrap(ClosedHandler closed)
    : explorer_(outlook::kExplorerEvents10, outlook::kExplorerEvents), key_(NextKey()), closed_(std::move(closed)) {
    explorer_.On(outlook::kClose, this, &ExplorerWrap::ExplorerClose);
    for (const MenuDefinition& definition : MenuCommands()) {
        const MenuCommand command = definition.command;
        buttons_[static_cast<size_t>(command)].events.On(
            office::kClick, [this, command](const com::EventArgs& args) { ButtonClicked(command, args); });
    }
}

ExplorerWrap::~ExplorerWrap() {
    try {
        ProcedureScope scope;
        if (popup_) DeleteMenu(L"Remove");
        LetGo();
    } catch (...) {
        // Nothing may leave a destructor; the fields' own destructors let go of what is left.
    }
}

com::Ptr<ExplorerWrap> ExplorerWrap::Make(const com::Ptr<IDispatch>& explorer, ClosedHandler closed) {
    ProcedureScope scope;
    com::Ptr<ExplorerWrap> wrapper = com::Make<ExplorerWrap>(std::move(closed));
    if (wrapper->MakeMenu(explorer)) {
        live.push_back(wrapper.Get());
    } else {
        wrapper->LetGo();
    }
    return wrapper;
}

bool ExplorerWrap::MakeMenu(const com::Ptr<IDispatch>& explorer) {
    constexpr std::wstring_view kProcedure = L"MakeMenu";
    // Its Close first: from here on the wrapper lets go when the explorer goes.
    if (const HRESULT hr = explorer_.Set(explorer); FAILED(hr) || !explorer_) {
        RecordHResult(FAILED(hr) ? hr : E_POINTER, L"Explorer events");
        Failed(kProcedure);
        return false;
    }
    com::LateBound bars(ObjectOf(com::LateBound(explorer).Get(L"CommandBars"), L"CommandBars"));
    com::LateBound bar;
    if (bars) bar = com::LateBound(ObjectOf(bars.Call(L"Item", {com::Variant(kMenuBar)}), L"Item"));
    bars.Reset();
    if (Failed(kProcedure)) return false;

    // A menu of ours whose delete failed in an earlier session: the bar shows one menu only.
    for (int round = 0; round < 4; ++round) {
        com::Variant control, ignored;
        if (!bar.TryCall(L"FindControl", {com::Variant::Missing(), com::Variant::Missing(), com::Variant(kMenuTag)},
                         control) ||
            !control.IsObject() || !com::LateBound(control).TryCall(L"Delete", {}, ignored))
            break;
    }
    Failed(kProcedure);

    com::LateBound controls(ObjectOf(bar.Get(L"Controls"), L"Controls"));
    bar.Reset();
    if (controls) popup_ = AddControl(controls, office::msoControlPopup);
    controls.Reset();
    if (Failed(kProcedure)) return false;

    com::LateBound popup(popup_);
    popup.Put(L"Tag", com::Variant(kMenuTag));
    popup.Put(L"Caption", com::Variant(kMenuCaption));
    com::LateBound menu;
    if (!HasPendingFailure()) menu = com::LateBound(ObjectOf(popup.Get(L"Controls"), L"Controls"));
    bool made = !HasPendingFailure();
    for (const MenuDefinition& definition : MenuCommands()) {
        if (!made) break;
        made = AddButton(definition, menu);
    }
    // A failed step, or the explorer closed meanwhile (a user's action let in by a call).
    if (Failed(kProcedure) || !made || !explorer_) {
        DeleteMenu(kProcedure);
        return false;
    }
    return true;
}

bool ExplorerWrap::AddButton(const MenuDefinition& definition, com::LateBound& menu) {
    com::WithEvents& field = buttons_[static_cast<size_t>(definition.command)].events;
    com::Ptr<IDispatch> made = AddControl(menu, office::msoControlButton);
    if (!made) return false;
    com::LateBound button(made);
    button.Put(L"Tag", com::Variant(definition.tag));
    button.Put(L"Parameter", com::Variant(key_));
    button.Put(L"Caption", com::Variant(definition.caption));
    button.Put(L"BeginGroup", com::Variant::Boolean(definition.beginGroup));
    button.Put(L"Visible", com::Variant::Boolean(ShownNow(definition)));
    if (HasPendingFailure()) return false;
    if (const HRESULT hr = field.Set(made); FAILED(hr)) {
        field.Reset();
        RecordHResult(hr, L"CommandBarButton events");
        return false;
    }
    return true;
}

void ExplorerWrap::DeleteMenu(std::wstring_view procedure) {
    if (popup_) {
        com::LateBound(popup_).Call(L"Delete");
        Failed(procedure);
    }
    LetGo();
}

void ExplorerWrap::LetGo() noexcept {
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    for (ButtonField& field : buttons_) field.events.Reset();
    popup_.Reset();
    explorer_.Reset();
}

void ExplorerWrap::Remove() {
    ProcedureScope scope;
    closed_ = nullptr;
    DeleteMenu(L"Remove");
}

void ExplorerWrap::ShowLogonState() {
    ProcedureScope scope;
    for (const MenuDefinition& definition : MenuCommands()) {
        const com::WithEvents& field = buttons_[static_cast<size_t>(definition.command)].events;
        if (definition.shownWhen == ShownWhen::Always || !field) continue;
        com::LateBound(field.Object()).Put(L"Visible", com::Variant::Boolean(ShownNow(definition)));
        Failed(L"ShowLogonState");
    }
}

std::vector<com::Ptr<ExplorerWrap>> ExplorerWrap::Live() {
    std::vector<com::Ptr<ExplorerWrap>> wrappers;
    for (ExplorerWrap* wrapper : live) wrappers.emplace_back(wrapper);
    return wrappers;
}

// ---- events ----

// The explorer's bars go with it: nothing is deleted, everything let go at once.
void ExplorerWrap::ExplorerClose(const com::EventArgs&) {
    ProcedureScope scope;
    com::Ptr<IUnknown> keep(Identity());
    ClosedHandler closed = std::exchange(closed_, nullptr);
    LetGo();
    if (closed) closed(*this);
}

// Office tells every button of the tag about a click, whichever explorer's menu it came from:
// only the wrapper whose key the clicked button carries runs the command.
void ExplorerWrap::ButtonClicked(MenuCommand command, const com::EventArgs& args) {
    ProcedureScope scope;
    com::Ptr<IUnknown> keep(Identity());
    if (!buttons_[static_cast<size_t>(command)].events) return;
    com::Variant parameter;
    if (!com::LateBound(args.Object(0)).TryGet(L"Parameter", parameter)) {
        Failed(L"ButtonClicked");
        return;
    }
    if (parameter.ToText() != key_) return;
    // Held for the action: the explorer may close while it runs.
    const com::Ptr<IDispatch> explorer = explorer_.Object();
    if (MenuAction action = MenuActionOf(command)) action(explorer);
}

// ---- the session's wrappers ----

ExplorerMenus::~ExplorerMenus() { RemoveAll(); }

void ExplorerMenus::AddEvery(const com::Ptr<IDispatch>& explorers) {
    ProcedureScope scope;
    com::LateBound collection(explorers);
    com::Variant count;
    long n = 0;
    if (!collection.TryGet(L"Count", count) || !count.TryLong(n)) {
        Failed(L"AddEvery");
        return;
    }
    for (long i = 1; i <= n; ++i) {
        com::Variant item;
        if (!collection.TryCall(L"Item", {com::Variant(i)}, item) || !item.IsObject()) {
            Failed(L"AddEvery");
            continue;
        }
        Add(item.ToDispatch());
    }
}

void ExplorerMenus::Add(const com::Ptr<IDispatch>& explorer) {
    ProcedureScope scope;
    if (!explorer) return;
    for (const com::Ptr<ExplorerWrap>& wrapper : wrappers_)
        if (com::SameObject(wrapper->Explorer().Get(), explorer.Get())) return;
    com::Ptr<ExplorerWrap> wrapper = ExplorerWrap::Make(explorer, [this](ExplorerWrap& closed) { Forget(closed); });
    if (wrapper->HasMenu()) wrappers_.push_back(std::move(wrapper));
}

void ExplorerMenus::Closing(const com::Ptr<IDispatch>& explorer) noexcept {
    if (!explorer) return;
    for (size_t i = 0; i < wrappers_.size(); ++i) {
        if (!com::SameObject(wrappers_[i]->Explorer().Get(), explorer.Get())) continue;
        com::Ptr<ExplorerWrap> closing = std::move(wrappers_[i]);
        wrappers_.erase(wrappers_.begin() + static_cast<long>(i));
        closing->LetGo();
        return;
    }
}

void ExplorerMenus::RemoveAll() noexcept {
    // Out of reach first: a wrapper's calls may let in an explorer's Close.
    std::vector<com::Ptr<ExplorerWrap>> leaving;
    leaving.swap(wrappers_);
    for (const com::Ptr<ExplorerWrap>& wrapper : leaving) {
        try {
            wrapper->Remove();
        } catch (...) {
            // The wrapper lets go of the rest as it is destroyed.
        }
    }
}

void ExplorerMenus::Forget(ExplorerWrap& wrapper) noexcept {
    auto it = std::find_if(wrappers_.begin(), wrappers_.end(),
                           [&](const com::Ptr<ExplorerWrap>& held) { return held.Get() == &wrapper; });
    if (it == wrappers_.end()) return;
    com::Ptr<ExplorerWrap> leaving = std::move(*it);
    wrappers_.erase(it);
}

}  // namespace vantrell
