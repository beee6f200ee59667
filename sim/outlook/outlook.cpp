#include "sim/outlook/outlook.h"

#include <stdexcept>

#include "sim/outlook/host.h"

namespace vantrell::sim {

Outlook::Outlook(std::wstring version) : Outlook(std::move(version), std::make_shared<Mailbox>()) {}

Outlook::Outlook(std::wstring version, std::shared_ptr<Mailbox> mailbox)
    : host_(std::make_unique<Host>(std::move(version), std::move(mailbox))) {}

namespace {
constexpr UINT kRunQueued = WM_APP + 1;
constexpr const wchar_t* kQueueClass = L"VantrellSimOutlookQueue";
}  // namespace

Outlook::~Outlook() {
    try {
        host_->ShutDown();
    } catch (...) {
        // A destructor lets nothing escape.
    }
    if (queueWindow_) DestroyWindow(queueWindow_);
}

void Outlook::Queue(std::function<void()> action) {
    if (!queueWindow_) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &Outlook::QueueProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kQueueClass;
        RegisterClassW(&windowClass);  // fails harmlessly when already registered
        queueWindow_ = CreateWindowExW(0, kQueueClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       windowClass.hInstance, nullptr);
        if (!queueWindow_) throw std::runtime_error("cannot create the simulator's queue window");
        SetWindowLongPtrW(queueWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    queued_.push_back(std::move(action));
    PostMessageW(queueWindow_, kRunQueued, 0, 0);
}

LRESULT CALLBACK Outlook::QueueProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message != kRunQueued) return DefWindowProcW(window, message, w, l);
    auto* self = reinterpret_cast<Outlook*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self || self->queued_.empty()) return 0;
    std::function<void()> action = std::move(self->queued_.front());
    self->queued_.pop_front();
    // Called by the system: nothing may unwind through it; a failure is logged for the test.
    try {
        action();
    } catch (...) {
        self->host_->Note(L"Queued action failed");
    }
    return 0;
}

void Outlook::StartUp(Start how) { host_->StartUp(how); }
int Outlook::MainExplorer() const { return host_->MainExplorer(); }
int Outlook::StartInspector() const { return host_->StartInspector(); }

int Outlook::OpenExplorer(bool activeAtOnce, const std::wstring& caption) {
    return host_->OpenExplorer(activeAtOnce, true, caption);
}
void Outlook::ActivateExplorer(int explorer) { host_->Activate(host_->FindExplorer(explorer)); }
void Outlook::CloseExplorer(int explorer) { host_->Close(host_->FindExplorer(explorer)); }
int Outlook::OpenInspector(const std::wstring& caption) { return host_->OpenInspector(true, caption); }
void Outlook::ActivateInspector(int inspector) { host_->Activate(host_->FindInspector(inspector)); }
void Outlook::CloseInspector(int inspector) { host_->Close(host_->FindInspector(inspector)); }
IDispatch* Outlook::Explorer(int explorer) const { return host_->FindExplorer(explorer)->Dispatch(); }
IDispatch* Outlook::Inspector(int inspector) const { return host_->FindInspector(inspector)->Dispatch(); }

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

void Outlook::FailMember(const std::wstring& kind, const std::wstring& member, HRESULT hr,
                         const std::wstring& description) {
    host_->Fail(kind, member, hr, description);
}

IDispatch* Outlook::Application() { return host_->Application()->Dispatch(); }
const std::shared_ptr<Mailbox>& Outlook::UserMailbox() const { return host_->UserMailbox(); }
long Outlook::ReferencesHeldOutside() const { return host_->ReferencesHeldOutside(); }
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
