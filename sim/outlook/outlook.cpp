#include "sim/outlook/outlook.h"

#include <cwchar>
#include <stdexcept>

#include "sim/outlook/host.h"
#include "sim/outlook/ribbon.h"
#include "sim/word/word.h"
#include "sim/word/word_host.h"

namespace vantrell::sim {

Outlook::Outlook(std::wstring version) : Outlook(std::move(version), std::make_shared<Mailbox>()) {}

Outlook::Outlook(std::wstring version, std::shared_ptr<Mailbox> mailbox)
    : host_(std::make_unique<Host>(std::move(version), std::move(mailbox))) {}

Outlook::~Outlook() {
    try {
        host_->ShutDown();
    } catch (...) {
        // A destructor lets nothing escape.
    }
}

void Outlook::Queue(std::function<void()> action) { host_->Queue(std::move(action)); }

void Outlook::StartUp(Start how) { host_->StartUp(how); }
int Outlook::MainExplorer() const { return host_->MainExplorer(); }
int Outlook::StartInspector() const { return host_->StartInspector(); }

int Outlook::OpenExplorer(bool activeAtOnce, const std::wstring& caption) {
    return host_->OpenExplorer(activeAtOnce, true, caption);
}
void Outlook::ActivateExplorer(int explorer) { host_->Activate(host_->FindExplorer(explorer)); }
void Outlook::CloseExplorer(int explorer) { host_->Close(host_->FindExplorer(explorer)); }
int Outlook::OpenInspector(const std::wstring& caption) { return host_->OpenInspector(true, caption); }
int Outlook::OpenItem(const std::wstring& entryId) { return host_->OpenItem(entryId); }
void Outlook::ActivateInspector(int inspector) { host_->Activate(host_->FindInspector(inspector)); }
void Outlook::CloseInspector(int inspector) { host_->Close(host_->FindInspector(inspector), SaveMode::Prompt); }
IDispatch* Outlook::Explorer(int explorer) const { return host_->FindExplorer(explorer)->Dispatch(); }
IDispatch* Outlook::Inspector(int inspector) const { return host_->FindInspector(inspector)->Dispatch(); }
IDispatch* Outlook::CurrentItem(int inspector) const { return host_->FindInspector(inspector)->Item()->Dispatch(); }
void Outlook::SendAndReceive() { host_->SendAndReceive(); }

void Outlook::UseWordMail(Word* word) {
    host_->UseWordMail(word ? word->State() : std::weak_ptr<word::WordHost>(), word != nullptr);
}

void Outlook::SetStandardBarHidden(bool hidden) { host_->SetStandardBarHidden(hidden); }

namespace {

CommandBarObject& BarOf(const Host& host, int inspector, const std::wstring& name) {
    CommandBarsObject* bars = host.FindInspector(inspector)->Bars();
    CommandBarObject* bar = bars ? bars->Find(name) : nullptr;
    if (!bar) throw std::out_of_range("the inspector shows no command bar of this name");
    return *bar;
}

}  // namespace

std::vector<ControlInfo> Outlook::BarControls(int inspector, const std::wstring& bar) const {
    return BarOf(*host_, inspector, bar).ControlInfos();
}

bool Outlook::BarVisible(int inspector, const std::wstring& bar) const { return BarOf(*host_, inspector, bar).Visible(); }

void Outlook::ClickButton(int inspector, const std::wstring& tag) { host_->ClickButton(host_->FindInspector(inspector), tag); }

std::vector<ControlInfo> Outlook::ExplorerBarControls(int explorer, const std::wstring& bar) const {
    CommandBarsObject* bars = host_->FindExplorer(explorer)->Bars();
    CommandBarObject* found = bars ? bars->Find(bar) : nullptr;
    if (!found) throw std::out_of_range("the explorer shows no command bar of this name");
    return found->ControlInfos();
}

void Outlook::ClickExplorerButton(int explorer, const std::wstring& tag, const std::wstring& bar) {
    host_->ClickButton(host_->FindExplorer(explorer), bar, tag);
}

void Outlook::ClickMenuButton(int explorer, const std::wstring& popup, const std::wstring& button,
                              const std::wstring& bar) {
    host_->ClickMenuButton(host_->FindExplorer(explorer), bar, popup, button);
}

void Outlook::SelectItems(int explorer, const std::vector<std::wstring>& entryIds) {
    ExplorerObject* window = host_->FindExplorer(explorer);
    std::vector<std::shared_ptr<MessageData>> items;
    for (const std::wstring& entryId : entryIds) {
        auto message = host_->Store().Find(entryId);
        if (!message) throw std::out_of_range("no stored item has this entry ID");
        if (!items.empty() && message->folder != items.front()->folder)
            throw std::invalid_argument("an explorer shows the items of one folder");
        items.push_back(std::move(message));
    }
    host_->Select(window, std::move(items));
}

std::vector<std::wstring> Outlook::SelectedItems(int explorer) const {
    std::vector<std::wstring> entryIds;
    for (const auto& message : host_->FindExplorer(explorer)->Selected()) entryIds.push_back(message->entryId);
    return entryIds;
}

void Outlook::DeleteItem(const std::wstring& entryId) {
    auto message = host_->Store().Find(entryId);
    if (!message) throw std::out_of_range("no stored item has this entry ID");
    host_->DeleteItem(message);
}

void Outlook::BeforeCall(const std::wstring& kind, const std::wstring& member, std::function<void()> action) {
    host_->BeforeCall(kind, member, std::move(action));
}

std::vector<RibbonControlState> Outlook::Ribbon(int inspector) const {
    return host_->Ribbon().Shown(host_->FindInspector(inspector));
}

std::vector<RibbonControlState> Outlook::ExplorerRibbon(int explorer) const {
    return host_->Ribbon().Shown(host_->FindExplorer(explorer));
}

void Outlook::ClickRibbon(int inspector, const std::wstring& controlId) {
    InspectorObject* window = host_->FindInspector(inspector);
    // A window that a modal box owns takes no clicks.
    if (!window->TakesClicks()) {
        host_->Note(L"Click ignored " + controlId);
        return;
    }
    host_->Ribbon().Click(window, controlId);
}

const std::vector<std::wstring>& Outlook::RibbonLog() const { return host_->Ribbon().Log(); }
std::wstring Outlook::RibbonXml(const std::wstring& ribbonId) const { return host_->Ribbon().Xml(ribbonId); }
IDispatch* Outlook::RibbonUI() const { return host_->Ribbon().Ui(); }
long Outlook::RibbonUIReferencesHeldOutside() const { return host_->Ribbon().UiReferencesHeldOutside(); }

com::Variant Outlook::CallRibbonCallback(const std::wstring& name, IDispatch* context, const std::wstring& controlId) {
    return host_->Ribbon().CallCallback(name, context, controlId);
}

void Outlook::SetAddinConnected(const std::wstring& progId, bool connected) {
    AddInObject* addIn = host_->FindAddIn(progId);
    if (!addIn) throw std::out_of_range("no such entry in the COM add-ins list");
    host_->SetConnected(addIn, connected);
}

void Outlook::ShutDown() { host_->ShutDown(); }

void Outlook::AddOtherAddIn(const std::wstring& progId, const std::wstring& description, bool connected) {
    host_->AddListedAddIn(progId, description, connected);
}

void Outlook::SetExchangeConnectionMode(long mode) { host_->SetExchangeConnectionMode(mode); }

void Outlook::ClearFaults() { host_->ClearFaults(); }
void Outlook::SetSinksLastFirst(bool lastFirst) { host_->SetSinksLastFirst(lastFirst); }

void Outlook::FailMember(const std::wstring& kind, const std::wstring& member, HRESULT hr,
                         const std::wstring& description) {
    host_->Fail(kind, member, hr, description);
}

namespace {

// The IRibbonUI objects live in a home of their own.
bool OfRibbonUi(const std::wstring& kind) { return _wcsicmp(kind.c_str(), L"RibbonUI") == 0; }

}  // namespace

void Outlook::FailOnce(const std::wstring& kind, const std::wstring& member, HRESULT hr,
                       const std::wstring& description) {
    if (OfRibbonUi(kind))
        host_->Ribbon().UiHome().FailOnce(kind, member, hr, description);
    else
        host_->FailOnce(kind, member, hr, description);
}

bool Outlook::FaultPending(const std::wstring& kind, const std::wstring& member) const {
    return OfRibbonUi(kind) ? host_->Ribbon().UiHome().FaultPending(kind, member) : host_->FaultPending(kind, member);
}

void Outlook::RecordCalls(bool on) {
    host_->RecordCalls(on);
    host_->Ribbon().UiHome().RecordCalls(on);
}

bool Outlook::RecordingCalls() const { return host_->RecordingCalls(); }

std::vector<MemberCall> Outlook::Calls() const {
    std::vector<MemberCall> calls = host_->Calls();
    for (const MemberCall& call : host_->Ribbon().UiHome().Calls()) calls.push_back(call);
    return calls;
}

void Outlook::ClearCalls() {
    host_->ClearCalls();
    host_->Ribbon().UiHome().ClearCalls();
}

IDispatch* Outlook::Application() { return host_->Application()->Dispatch(); }
const std::shared_ptr<Mailbox>& Outlook::UserMailbox() const { return host_->UserMailbox(); }
long Outlook::ReferencesHeldOutside() const { return host_->ReferencesHeldOutside(); }
std::wstring Outlook::DescribeHeldOutside() const { return host_->DescribeHeldOutside(); }
const std::vector<std::wstring>& Outlook::Log() const { return host_->Log(); }

void Outlook::ProcessMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool Outlook::IsRunning() const { return host_->Running(); }

}  // namespace vantrell::sim
