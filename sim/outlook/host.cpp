#include "sim/outlook/host.h"

#include <mapicode.h>

#include "sim/outlook/mapi_tags.h"
#include "sim/outlook/ribbon.h"
#include "sim/outlook/store_objects.h"
#include "sim/outlook/transport.h"
#include "sim/word/word_host.h"

#include <algorithm>
#include <cwchar>
#include <stdexcept>

namespace vantrell::sim {
namespace {

const wchar_t kAddInsKey[] = L"Software\\Microsoft\\Office\\Outlook\\Addins";
constexpr UINT kRunQueued = WM_APP + 1;
constexpr const wchar_t* kQueueClass = L"VantrellSimOutlookQueue";

// The bars of an inspector, with their built-in buttons.
std::vector<BarLayout> InspectorBars(bool standardHidden) {
    return {{L"Standard", !standardHidden, {{2617, L"&Send"}, {354, L"&Reply"}, {355, L"Reply to A&ll"}, {356, L"For&ward"}}},
            {L"Formatting", true, {{113, L"&Bold"}, {114, L"&Italic"}}}};
}

// The bars of an explorer, with their built-in controls (the menu bar's are popups).
std::vector<BarLayout> ExplorerBars() {
    return {{L"Menu Bar",
             true,
             {{30002, L"&File", kControlPopup},
              {30003, L"&Edit", kControlPopup},
              {30004, L"&View", kControlPopup},
              {30007, L"&Tools", kControlPopup},
              {30010, L"&Help", kControlPopup}}},
            {L"Standard",
             true,
             {{4, L"&Print"}, {478, L"&Delete"}, {354, L"&Reply"}, {355, L"Reply to A&ll"}, {356, L"For&ward"}}},
            {L"Advanced", false, {}}};
}

int MajorOf(const std::wstring& version) { return static_cast<int>(wcstol(version.c_str(), nullptr, 10)); }

template <class T>
void Erase(std::vector<Owned<T>>& list, T* item) {
    list.erase(std::remove_if(list.begin(), list.end(), [item](const Owned<T>& p) { return p.Get() == item; }),
               list.end());
}

// The most recently opened window of `list` that is still open, other than `closing`.
template <class T>
T* LastOpenOtherThan(const std::vector<Owned<T>>& list, T* closing) {
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        if (it->Get() != closing && (*it)->IsOpen()) return it->Get();
    return nullptr;
}

// The `custom` argument of the IDTExtensibility2 calls: an empty array of variants.
class CustomArray {
public:
    CustomArray() : array_(SafeArrayCreateVector(VT_VARIANT, 0, 0)) {}
    ~CustomArray() {
        if (array_) SafeArrayDestroy(array_);
    }
    CustomArray(const CustomArray&) = delete;
    CustomArray& operator=(const CustomArray&) = delete;
    SAFEARRAY** Address() noexcept { return &array_; }

private:
    SAFEARRAY* array_;
};

struct Registered {
    std::wstring progId;
    std::wstring description;
    DWORD loadBehavior = 0;
};

std::wstring ReadText(HKEY key, const wchar_t* name) {
    wchar_t text[1024];
    DWORD size = sizeof text - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    text[size / sizeof(wchar_t)] = L'\0';
    return text;
}

// The entries of Outlook's add-in key, in the order the registry lists them.
std::vector<Registered> ReadAddInKey() {
    std::vector<Registered> found;
    HKEY addIns = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kAddInsKey, 0, KEY_READ, &addIns) != ERROR_SUCCESS) return found;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(addIns, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY entry = nullptr;
        if (RegOpenKeyExW(addIns, name, 0, KEY_READ, &entry) != ERROR_SUCCESS) continue;
        Registered r;
        r.progId = name;
        DWORD size = sizeof r.loadBehavior;
        DWORD type = 0;
        if (RegQueryValueExW(entry, L"LoadBehavior", nullptr, &type, reinterpret_cast<BYTE*>(&r.loadBehavior),
                             &size) != ERROR_SUCCESS ||
            type != REG_DWORD)
            r.loadBehavior = 0;
        // The COM add-ins list shows the friendly name.
        r.description = ReadText(entry, L"FriendlyName");
        if (r.description.empty()) r.description = ReadText(entry, L"Description");
        if (r.description.empty()) r.description = r.progId;
        RegCloseKey(entry);
        found.push_back(std::move(r));
    }
    RegCloseKey(addIns);
    return found;
}

}  // namespace

Host::Host(std::wstring version, std::shared_ptr<Mailbox> mailbox)
    : ObjectHome(L"Microsoft Outlook"), version_(std::move(version)), major_(MajorOf(version_)),
      mailbox_(std::move(mailbox)) {
    if (!mailbox_) throw std::invalid_argument("the simulated Outlook needs a mailbox");
    application_ = MakeOwned<ApplicationObject>(this);
    explorers_ = MakeOwned<ExplorersObject>(this);
    inspectors_ = MakeOwned<InspectorsObject>(this);
    session_ = MakeOwned<NameSpaceObject>(this, major_);
    addIns_ = MakeOwned<AddInsObject>(this);
    ribbons_ = std::make_unique<Ribbons>(*this, major_);
    PublishSession(this);
}

Host::~Host() {
    WithdrawSession(this);
    // The ribbon lets go of the add-ins first; an IRibbonUI an add-in keeps is cut off.
    ribbons_.reset();
    activeExplorer_ = nullptr;
    activeInspector_ = nullptr;
    openInspectors_.clear();
    openExplorers_.clear();
    // Add-ins still connected here were never shut down: they are only let go.
    for (const auto& entry : std::vector<Owned<AddInObject>>(addInEntries_)) entry->Detach();
    addInEntries_.clear();
    addIns_.Reset();
    session_.Reset();
    inspectors_.Reset();
    explorers_.Reset();
    application_.Reset();
    OrphanAll();
    if (queueWindow_) DestroyWindow(queueWindow_);
}

void Host::Queue(std::function<void()> action) {
    if (!queueWindow_) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &Host::QueueProcedure;
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

LRESULT CALLBACK Host::QueueProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message != kRunQueued) return DefWindowProcW(window, message, w, l);
    auto* self = reinterpret_cast<Host*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self || self->queued_.empty()) return 0;
    std::function<void()> action = std::move(self->queued_.front());
    self->queued_.pop_front();
    // Called by the system: nothing may unwind through it; a failure is logged for the test.
    try {
        action();
    } catch (...) {
        self->Note(L"Queued action failed");
    }
    return 0;
}

// ---- mail ----

void Host::SendAndReceive() {
    sendReceiveQueued_ = false;
    DeliverOutbox(Store());
}

void Host::ScheduleSendReceive() {
    if (sendReceiveQueued_) return;
    sendReceiveQueued_ = true;
    Queue([this] {
        if (sendReceiveQueued_) SendAndReceive();
    });
}

void Host::NoteAddInCall(const std::wstring& what, HRESULT hr) {
    if (FAILED(hr)) Note(L"Add-in call failed " + what + L" " + Hex(hr));
}

void Host::RequireRunning() const {
    if (!running_) throw std::logic_error("the simulated Outlook is not running");
}

// ---- the session ----

void Host::StartUp(Start how) {
    if (started_) throw std::logic_error("the simulated Outlook has already started");
    started_ = running_ = true;
    if (how == Start::WithExplorer || how == Start::WithInactiveExplorer)
        mainExplorer_ = OpenExplorer(false, false, L"Inbox - Microsoft Outlook");
    if (how == Start::SingleInspector) startInspector_ = OpenInspector(false, L"Untitled - Message");
    LoadAddIns();
    if (how == Start::WithExplorer) {
        for (const auto& explorer : openExplorers_) {
            if (explorer->Handle() == mainExplorer_) {
                Activate(explorer.Get());
                break;
            }
        }
    }
}

void Host::ShutDown() {
    if (!running_) return;
    if (sendReceiveQueued_) SendAndReceive();
    while (!openInspectors_.empty()) Close(openInspectors_.front().Get(), SaveMode::Discard, true);
    while (!openExplorers_.empty()) Close(openExplorers_.front().Get());
    const std::vector<Owned<AddInObject>> entries(addInEntries_);
    for (const auto& entry : entries) {
        com::Ptr<_IDTExtensibility2> instance = entry->Instance();
        if (!entry->Connected() || !instance) continue;
        Note(L"OnBeginShutdown " + entry->ProgId());
        CustomArray custom;
        NoteAddInCall(L"OnBeginShutdown " + entry->ProgId(), instance->OnBeginShutdown(custom.Address()));
    }
    for (const auto& entry : entries) Disconnect(entry.Get(), ext_dm_HostShutdown);
    running_ = false;
}

// ---- windows ----

ExplorerObject* Host::FindExplorer(int handle) const {
    for (const auto& explorer : openExplorers_)
        if (explorer->Handle() == handle) return explorer.Get();
    throw std::out_of_range("no open explorer has this handle");
}

InspectorObject* Host::FindInspector(int handle) const {
    for (const auto& inspector : openInspectors_)
        if (inspector->Handle() == handle) return inspector.Get();
    throw std::out_of_range("no open inspector has this handle");
}

int Host::OpenExplorer(bool activeAtOnce, bool announce, std::wstring caption) {
    RequireRunning();
    auto explorer = MakeOwned<ExplorerObject>(this, ++lastExplorerHandle_, std::move(caption), OffersNewEvents());
    explorer->SetBars(MakeOwned<CommandBarsObject>(this, ExplorerBars(), nullptr));
    openExplorers_.push_back(explorer);
    Owned<ExplorerObject> previous(activeExplorer_);
    if (activeAtOnce) activeExplorer_ = explorer.Get();
    if (announce) {
        Note(L"NewExplorer");
        explorers_->Fire(kNewWindow, {explorer->Dispatch()});
    }
    // The window's ribbon loads before it activates.
    if (explorer->IsOpen()) ribbons_->Opened(explorer.Get());
    // A NewExplorer handler may have closed it or activated another one.
    if (activeAtOnce && explorer->IsOpen() && activeExplorer_ == explorer.Get()) {
        if (previous && previous->IsOpen()) {
            Note(L"Explorer.Deactivate");
            previous->Fire(kDeactivate);
        }
        Note(L"Explorer.Activate");
        explorer->Fire(kActivate);
    }
    return explorer->Handle();
}

void Host::Activate(ExplorerObject* explorer) {
    if (!explorer->IsOpen() || activeExplorer_ == explorer) return;
    Owned<ExplorerObject> keep(explorer);
    Owned<ExplorerObject> previous(activeExplorer_);
    activeExplorer_ = explorer;
    if (previous) {
        Note(L"Explorer.Deactivate");
        previous->Fire(kDeactivate);
    }
    Note(L"Explorer.Activate");
    explorer->Fire(kActivate);
}

void Host::Close(ExplorerObject* explorer) {
    if (!explorer->IsOpen()) return;
    Owned<ExplorerObject> keep(explorer);
    explorer->MarkClosed();
    // While Close fires, ActiveExplorer already answers another explorer or Nothing (add-ins
    // tell "the last window has gone" that way); Explorers still counts the closing one.
    if (activeExplorer_ == explorer) activeExplorer_ = LastOpenOtherThan(openExplorers_, explorer);
    Note(L"Explorer.Close");
    explorer->Fire(kClose);
    Erase(openExplorers_, explorer);
    ribbons_->Closed(explorer);
    explorer->CloseBars();
    explorer->DestroyWindow();
}

int Host::OpenInspector(bool announce, std::wstring caption, std::shared_ptr<MessageData> message) {
    RequireRunning();
    if (!message) message = Store().NewUnsent(kDrafts, L"IPM.Note");
    const std::wstring subject = TextOf(message->properties, tags::IdOf(tags::kSubject));
    auto item = MakeOwned<ItemObject>(this, std::move(message));
    // From Outlook 2007 (12) on, Word hosted inside Outlook is the only mail editor: every mail
    // window is WordMail, with bars of its own; a Word the user runs beside Outlook takes no part.
    const bool wordInside = major_ >= 12;
    const bool wordMail = (wordInside || useWordMail_) && item->Kind() == L"MailItem";
    auto word = wordMail && !wordInside ? word_.lock() : nullptr;
    if (word && !word->Running()) word.reset();
    auto inspector = MakeOwned<InspectorObject>(this, ++lastInspectorHandle_, std::move(caption), OffersNewEvents(),
                                                item, wordMail);
    if (word)
        inspector->UseWordBars(word);
    else
        inspector->SetOwnBars(MakeOwned<CommandBarsObject>(this, InspectorBars(standardBarHidden_), nullptr));
    openInspectors_.push_back(inspector);
    if (!announce) {
        activeInspector_ = inspector.Get();
        ribbons_->Opened(inspector.Get());
    } else {
        // Outlook's order: the new inspector, then the item opens in it, then the window activates.
        Note(L"NewInspector");
        inspectors_->Fire(kNewWindow, {inspector->Dispatch()});
        if (!inspector->IsOpen()) return inspector->Handle();
        Note(L"Item.Open");
        if (item->FireCancelable(kItemOpen)) {
            // The item does not open: its window goes again (the item never opened, so no item Close).
            Note(L"Item.Open cancelled");
            inspector->ReleaseItem();
            Close(inspector.Get(), SaveMode::Discard, true);
            return inspector->Handle();
        }
        // The window's ribbon loads after the item's Open, before the window activates.
        ribbons_->Opened(inspector.Get());
        Activate(inspector.Get());
    }
    // Word's window for the message comes last: the document, which the inspector's WordEditor
    // answers from then on, then its activation in Word. A received or sent message is read in
    // Word; a new one is being written.
    if (word && inspector->IsOpen() && word->Running()) {
        const int document = word->Create(subject.empty() ? L"Untitled Message" : subject,
                                          item->Sent() ? word::DocumentKind::EmailRead
                                                       : word::DocumentKind::EmailBeingWritten);
        inspector->SetWordDocument(document);
        if (word->Running()) word->Activate(word->Find(document));
    }
    return inspector->Handle();
}

int Host::OpenItem(const std::wstring& entryId) {
    auto message = Store().Find(entryId);
    if (!message) throw std::out_of_range("no stored item has this entry ID");
    std::wstring subject = TextOf(message->properties, tags::IdOf(tags::kSubject));
    return OpenInspector(true, (subject.empty() ? L"Untitled" : subject) + L" - Message", std::move(message));
}

void Host::Activate(InspectorObject* inspector) {
    if (!inspector->IsOpen() || activeInspector_ == inspector) return;
    Owned<InspectorObject> keep(inspector);
    Owned<InspectorObject> previous(activeInspector_);
    activeInspector_ = inspector;
    if (previous) {
        Note(L"Inspector.Deactivate");
        previous->Fire(kDeactivate);
    }
    Note(L"Inspector.Activate");
    inspector->Fire(kActivate);
}

void Host::Close(InspectorObject* inspector, SaveMode mode, bool forced) {
    if (!inspector->IsOpen()) return;
    Owned<InspectorObject> keep(inspector);
    if (Owned<ItemObject> item(inspector->Item()); item) {
        Note(L"Item.Close");
        if (item->FireCancelable(kItemClose) && !forced) {
            Note(L"Item.Close cancelled");
            return;
        }
        if (!inspector->IsOpen()) return;  // a handler closed it meanwhile
        if (mode == SaveMode::Save) {
            // A changed item whose message has gone (sent beneath the window) cannot be saved:
            // the close fails and the window stays.
            if (item->Gone() && item->HasChanges())
                throw Raised{MAPI_E_OBJECT_DELETED, L"The item has been moved or deleted."};
            if (!item->Gone()) item->SaveChanges();
        } else {
            // Outlook would ask the user whether to save; nobody answers here, so the changes go.
            if (mode == SaveMode::Prompt && item->HasChanges()) Note(L"Save prompt");
            item->DropChanges();
        }
    }
    inspector->MarkClosed();
    const bool wasActive = activeInspector_ == inspector;
    if (wasActive) activeInspector_ = LastOpenOtherThan(openInspectors_, inspector);
    Note(L"Inspector.Close");
    inspector->Fire(kClose);
    Erase(openInspectors_, inspector);
    ribbons_->Closed(inspector);
    inspector->ReleaseItem();
    inspector->CloseBars();
    inspector->DestroyWindow();
    // Word's window for the message closes after the inspector.
    if (auto word = inspector->Word().lock(); word && word->Running() && inspector->WordDocument()) {
        for (const auto& document : word->Documents()) {
            if (document->Handle() == inspector->WordDocument()) {
                word->Close(document.Get());
                break;
            }
        }
    }
    // The window the user closed was in front: the next one comes to the front (not while
    // Outlook closes them all).
    if (wasActive && !forced && activeInspector_ && activeInspector_->IsOpen()) {
        Owned<InspectorObject> next(activeInspector_);
        Note(L"Inspector.Activate");
        next->Fire(kActivate);
    }
}

// ---- command bars and WordMail ----

void Host::UseWordMail(std::weak_ptr<word::WordHost> word, bool use) {
    word_ = std::move(word);
    useWordMail_ = use;
}

InspectorObject* Host::InspectorShowing(const ItemObject* item) const {
    for (const auto& inspector : openInspectors_)
        if (inspector->IsOpen() && inspector->Item() == item) return inspector.Get();
    return nullptr;
}

void Host::ClickButton(InspectorObject* inspector, const std::wstring& tag) {
    bool clicked = false;
    // A window that a modal box owns takes no clicks.
    if (!inspector->TakesClicks()) {
        Note(L"Click ignored " + tag);
        return;
    }
    if (auto word = inspector->Word().lock()) {
        clicked = word->Running() && word->Click(tag);
    } else if (CommandBarsObject* bars = inspector->Bars()) {
        clicked = sim::ClickButton(*bars, L"Standard", tag, AllBars());
    }
    Clicked(clicked, tag);
}

std::vector<CommandBarsObject*> Host::AllBars() const {
    // A click is heard by the same-tagged buttons of every window's own bars.
    std::vector<CommandBarsObject*> all;
    for (const auto& open : openExplorers_)
        if (open->Bars()) all.push_back(open->Bars());
    for (const auto& open : openInspectors_)
        if (!open->Word().lock() && open->Bars()) all.push_back(open->Bars());
    return all;
}

void Host::Clicked(bool clicked, const std::wstring& what) { Note((clicked ? L"Click " : L"Click ignored ") + what); }

void Host::ClickButton(ExplorerObject* explorer, const std::wstring& bar, const std::wstring& tag) {
    Owned<ExplorerObject> keep(explorer);
    Clicked(explorer->TakesClicks() && explorer->Bars() && sim::ClickButton(*explorer->Bars(), bar, tag, AllBars()),
            tag);
}

void Host::ClickMenuButton(ExplorerObject* explorer, const std::wstring& bar, const std::wstring& popup,
                           const std::wstring& button) {
    Owned<ExplorerObject> keep(explorer);
    std::wstring tag;
    const bool clicked = explorer->TakesClicks() && explorer->Bars() &&
                         sim::ClickMenuButton(*explorer->Bars(), bar, popup, button, AllBars(), tag);
    Clicked(clicked, clicked && !tag.empty() ? tag : popup + L"/" + button);
}

// ---- the explorers' selection ----

void Host::Select(ExplorerObject* explorer, std::vector<std::shared_ptr<MessageData>> items) {
    if (!explorer->IsOpen() || items == explorer->Selected()) return;
    Owned<ExplorerObject> keep(explorer);
    explorer->SetSelected(std::move(items));
    Note(L"Explorer.SelectionChange");
    explorer->Fire(kSelectionChange);
}

void Host::DeleteItem(const std::shared_ptr<MessageData>& message) {
    Store().Remove(message);
    // The explorers as they are now: a handler may open or close one.
    const std::vector<Owned<ExplorerObject>> explorers(openExplorers_);
    for (const auto& explorer : explorers) {
        std::vector<std::shared_ptr<MessageData>> left = explorer->Selected();
        left.erase(std::remove(left.begin(), left.end(), message), left.end());
        Select(explorer.Get(), std::move(left));
    }
}

// ---- add-ins ----

AddInObject* Host::FindAddIn(const std::wstring& progId) const {
    for (const auto& entry : addInEntries_)
        if (_wcsicmp(entry->ProgId().c_str(), progId.c_str()) == 0) return entry.Get();
    return nullptr;
}

void Host::AddListedAddIn(const std::wstring& progId, const std::wstring& description, bool connected) {
    auto entry = MakeOwned<AddInObject>(this, progId, description, false);
    entry->SetListedConnected(connected);
    addInEntries_.push_back(std::move(entry));
}

void Host::LoadAddIns() {
    std::vector<Owned<AddInObject>> toLoad;
    for (const Registered& r : ReadAddInKey()) {
        auto entry = MakeOwned<AddInObject>(this, r.progId, r.description, true);
        addInEntries_.push_back(entry);
        if (r.loadBehavior == 3) toLoad.push_back(entry);
    }
    std::vector<Owned<AddInObject>> connected;
    for (const auto& entry : toLoad)
        if (Connect(entry.Get(), ext_cm_Startup)) connected.push_back(entry);
    for (const auto& entry : connected) {
        com::Ptr<_IDTExtensibility2> instance = entry->Instance();
        if (!instance) continue;  // disconnected again during another add-in's start-up
        Note(L"OnStartupComplete " + entry->ProgId());
        CustomArray custom;
        NoteAddInCall(L"OnStartupComplete " + entry->ProgId(), instance->OnStartupComplete(custom.Address()));
    }
}

void Host::SetConnected(AddInObject* addIn, bool connected) {
    if (connected == addIn->Connected()) return;
    if (!addIn->Loadable()) {
        addIn->SetListedConnected(connected);
        return;
    }
    if (connected)
        Connect(addIn, ext_cm_AfterStartup);
    else
        Disconnect(addIn, ext_dm_UserClosed);
}

bool Host::Connect(AddInObject* addIn, ext_ConnectMode mode) {
    Owned<AddInObject> keep(addIn);
    const std::wstring& progId = addIn->ProgId();
    CLSID clsid;
    com::Ptr<IUnknown> created;
    com::Ptr<_IDTExtensibility2> instance;
    HRESULT hr = CLSIDFromProgID(progId.c_str(), &clsid);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              reinterpret_cast<void**>(created.ReleaseAndGetAddressOf()));
    if (SUCCEEDED(hr))
        hr = created->QueryInterface(IID__IDTExtensibility2, reinterpret_cast<void**>(instance.ReleaseAndGetAddressOf()));
    created.Reset();
    if (FAILED(hr) || !instance) {
        Note(L"Create failed " + progId + L" " + Hex(FAILED(hr) ? hr : E_NOINTERFACE));
        return false;
    }
    addIn->Attach(instance);
    Note(L"OnConnection " + progId + L" " + std::to_wstring(static_cast<int>(mode)));
    CustomArray custom;
    hr = instance->OnConnection(application_->Dispatch(), mode, addIn->Dispatch(), custom.Address());
    if (FAILED(hr)) {
        Note(L"OnConnection failed " + progId + L" " + Hex(hr));
        NoteAddInCall(L"OnConnection " + progId, hr);
        addIn->Detach();
        return false;
    }
    // Office asks a connected add-in for its ribbon right away; open windows show it.
    ribbons_->Connected(addIn);
    return true;
}

void Host::Disconnect(AddInObject* addIn, ext_DisconnectMode mode) {
    com::Ptr<_IDTExtensibility2> instance = addIn->Instance();
    if (!addIn->Connected() || !instance) return;
    Owned<AddInObject> keep(addIn);
    Note(L"OnDisconnection " + addIn->ProgId() + L" " + std::to_wstring(static_cast<int>(mode)));
    CustomArray custom;
    NoteAddInCall(L"OnDisconnection " + addIn->ProgId(), instance->OnDisconnection(mode, custom.Address()));
    ribbons_->Disconnected(addIn);
    addIn->Detach();
    // The last reference Outlook holds goes here.
    instance.Reset();
}

}  // namespace vantrell::sim
