#include "sim/outlook/objects.h"

#include <mapicode.h>

#include <algorithm>
#include <new>

#include "sim/outlook/host.h"
#include "sim/outlook/mapi_tags.h"
#include "sim/outlook/members.h"
#include "sim/outlook/store_objects.h"
#include "sim/word/word_host.h"

namespace vantrell::sim {

const IID IID_ExplorersEvents = {0x00063078, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_ExplorerEvents = {0x0006304F, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_ExplorerEvents_10 = {0x0006300F, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_InspectorsEvents = {0x00063079, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_InspectorEvents = {0x0006307D, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_InspectorEvents_10 = {0x0006302A, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {

const wchar_t kInvalidValue[] = L"Could not complete the operation. One or more parameter values are not valid.";

// Outlook's DISPIDs where the members share them across objects.
constexpr DISPID kItem = 0x51;
constexpr DISPID kCount = 0x50;
constexpr DISPID kCaption = 0x2111;

// Item(index) of a collection of open windows, 1-based.
template <class Window>
com::Variant ItemOf(const std::vector<Owned<Window>>& windows, long index) {
    if (index < 1 || static_cast<size_t>(index) > windows.size()) OutOfBounds();
    return ObjectOf(windows[index - 1].Get());
}

// An enumerator over a snapshot of objects (the collection's _NewEnum).
class Enumerator : public com::Object<IEnumVARIANT> {
public:
    explicit Enumerator(std::vector<com::Variant> items, size_t next = 0) : items_(std::move(items)), next_(next) {}

    STDMETHODIMP Next(ULONG count, VARIANT* out, ULONG* fetched) noexcept override {
        if (!out) return E_POINTER;
        ULONG done = 0;
        for (; done < count && next_ < items_.size(); ++done, ++next_) {
            VariantInit(&out[done]);
            VariantCopy(&out[done], const_cast<VARIANT*>(items_[next_].Get()));
        }
        if (fetched) *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) noexcept override {
        next_ = std::min<size_t>(items_.size(), next_ + count);
        return next_ < items_.size() ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() noexcept override {
        next_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumVARIANT** out) noexcept override {
        if (!out) return E_POINTER;
        return com::Guarded([&] {
            *out = com::Make<Enumerator>(items_, next_).Detach();
            return S_OK;
        });
    }

private:
    std::vector<com::Variant> items_;
    size_t next_;
};

}  // namespace

OutlookObject::OutlookObject(Host* host, std::wstring kind) : SimObject(host, std::move(kind)), host_(host) {}

// ---- Application ----

ApplicationObject::ApplicationObject(Host* host) : OutlookObject(host, L"Application") {
    Add(Property(L"Version", 0x116, [this] { return com::Variant(host_->Version()); }));
    Add(Property(L"Explorers", 0x2112, [this] { return ObjectOf(host_->Explorers()); }));
    Add(Method(L"ActiveExplorer", 0x111, {}, [this](const Args&) {
        return host_->ActiveExplorer() ? ObjectOf(host_->ActiveExplorer()) : Nothing();
    }));
    Add(Property(L"Inspectors", 0x2210, [this] { return ObjectOf(host_->Inspectors()); }));
    Add(Property(L"Session", 0xF00B, [this] { return ObjectOf(host_->Session()); }));
    Add(Method(L"GetNamespace", 0x110, {VT_BSTR}, [this](const Args& args) {
        if (_wcsicmp(V_BSTR(args[0].Get()) ? V_BSTR(args[0].Get()) : L"", L"MAPI") != 0)
            throw Raised{E_INVALIDARG, kInvalidValue};
        return ObjectOf(host_->Session());
    }));
    Add(Property(L"COMAddIns", 0x118, [this] { return ObjectOf(host_->AddIns()); }));
    // CreateItem(ItemType): a new unsent item of olMailItem 0, olAppointmentItem 1,
    // olContactItem 2, olTaskItem 3, olJournalItem 4 or olPostItem 6, not stored until saved.
    Add(Method(L"CreateItem", 0x10A, {VT_I4}, [this](const Args& args) {
        struct Kind {
            long type;
            const wchar_t* messageClass;
            long folder;
        };
        static const Kind kKinds[] = {{0, L"IPM.Note", kDrafts},   {1, L"IPM.Appointment", kCalendar},
                                      {2, L"IPM.Contact", kContacts}, {3, L"IPM.Task", kTasks},
                                      {4, L"IPM.Activity", kJournal}, {6, L"IPM.Post", kDrafts}};
        for (const Kind& kind : kKinds)
            if (kind.type == V_I4(args[0].Get()))
                return NewObject<ItemObject>(host_, host_->Store().NewUnsent(kind.folder, kind.messageClass));
        throw Raised{E_INVALIDARG, kInvalidValue};
    }));
}

// ---- Explorers, Inspectors ----

ExplorersObject::ExplorersObject(Host* host) : OutlookObject(host, L"Explorers") {
    Add(Property(L"Count", kCount, [this] { return com::Variant(static_cast<long>(host_->OpenExplorers().size())); }));
    Add(Method(L"Item", kItem, {VT_I4},
               [this](const Args& args) { return ItemOf(host_->OpenExplorers(), V_I4(args[0].Get())); }));
    Offer(IID_ExplorersEvents);
}

InspectorsObject::InspectorsObject(Host* host) : OutlookObject(host, L"Inspectors") {
    Add(Property(L"Count", kCount,
                 [this] { return com::Variant(static_cast<long>(host_->OpenInspectors().size())); }));
    Add(Method(L"Item", kItem, {VT_I4},
               [this](const Args& args) { return ItemOf(host_->OpenInspectors(), V_I4(args[0].Get())); }));
    Offer(IID_InspectorsEvents);
}

// ---- NameSpace ----

NameSpaceObject::NameSpaceObject(Host* host, int major) : OutlookObject(host, L"NameSpace") {
    Add(Property(L"Type", 0x2101, [] { return com::Variant(L"MAPI"); }));
    // GetDefaultFolder(FolderType): olFolderInbox 6 and the other default folders of the mailbox.
    Add(Method(L"GetDefaultFolder", 0x20B, {VT_I4}, [this](const Args& args) {
        const long number = V_I4(args[0].Get());
        if (!host_->Store().Folder(number)) throw Raised{E_INVALIDARG, kInvalidValue};
        return NewObject<FolderObject>(host_, number);
    }));
    // GetItemFromID(EntryIDItem, [EntryIDStore]): the stored item, wherever it is.
    Member getItem = Method(L"GetItemFromID", 0x2109, {VT_BSTR, VT_VARIANT}, [this](const Args& args) {
        StoreData& store = host_->Store();
        const VARIANT* storeId = args[1].Get();
        const bool otherStore = !(V_VT(storeId) == VT_ERROR && V_ERROR(storeId) == DISP_E_PARAMNOTFOUND) &&
                                _wcsicmp(args[1].ToText().c_str(), store.StoreId().c_str()) != 0;
        auto message = otherStore ? nullptr : store.Find(args[0].ToText());
        if (!message) throw Raised{MAPI_E_NOT_FOUND, L"The operation failed. An object could not be found."};
        return NewObject<ItemObject>(host_, std::move(message));
    });
    getItem.optional = 1;
    Add(std::move(getItem));
    if (major >= 11)
        Add(Property(L"ExchangeConnectionMode", 0x2122, [this] { return com::Variant(host_->ExchangeConnectionMode()); }));
}

// ---- windows ----

WindowObject::WindowObject(Host* host, const wchar_t* kind, int handle, std::wstring caption)
    : OutlookObject(host, kind), handle_(handle), caption_(std::move(caption)) {
    window_ = CreateWindowExW(0, L"STATIC", kind, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr),
                              nullptr);
    Add(Property(L"Caption", kCaption, [this] { return com::Variant(caption_); }));
}

WindowObject::~WindowObject() { DestroyWindow(); }

void WindowObject::DestroyWindow() noexcept {
    if (window_) ::DestroyWindow(window_);
    window_ = nullptr;
}

void WindowObject::RequireOpen() const {
    if (!open_) throw Raised{E_FAIL, L"The window has been closed."};
}

ExplorerObject::ExplorerObject(Host* host, int handle, std::wstring caption, bool newEvents)
    : WindowObject(host, L"Explorer", handle, std::move(caption)) {
    Add(Property(L"CommandBars", 0x2100, [this] {
        RequireOpen();
        if (!bars_) throw Raised{E_FAIL, L"The command bars are not available."};
        return ObjectOf(bars_.Get());
    }));
    Add(Property(L"Selection", 0x2202, [this] {
        RequireOpen();
        return NewObject<SelectionObject>(host_, this);
    }));
    Add(Method(L"Activate", 0x2113, {}, [this](const Args&) {
        RequireOpen();
        host_->Activate(this);
        return com::Variant();
    }));
    Add(Method(L"Close", 0x2103, {}, [this](const Args&) {
        RequireOpen();
        host_->Close(this);
        return com::Variant();
    }));
    Offer(IID_ExplorerEvents);
    if (newEvents) Offer(IID_ExplorerEvents_10);
}

InspectorObject::InspectorObject(Host* host, int handle, std::wstring caption, bool newEvents, Owned<ItemObject> item,
                                 bool wordMail)
    : WindowObject(host, L"Inspector", handle, std::move(caption)), item_(std::move(item)), wordMail_(wordMail) {
    Add(Property(L"CurrentItem", 0x2102, [this] {
        if (!item_) throw Raised{E_FAIL, L"The window has been closed."};
        return ObjectOf(item_.Get());
    }));
    Add(Method(L"Activate", 0x2113, {}, [this](const Args&) {
        RequireOpen();
        host_->Activate(this);
        return com::Variant();
    }));
    // Close(SaveMode): olSave 0 saves the item first; olDiscard 1 drops its unsaved changes;
    // olPromptForSave 2 would ask the user when there are any (no one to ask here: they go).
    Add(Method(L"Close", 0x2103, {VT_I4}, [this](const Args& args) {
        const long mode = V_I4(args[0].Get());
        if (mode < 0 || mode > 2) throw Raised{E_INVALIDARG, kInvalidValue};
        RequireOpen();
        host_->Close(this, static_cast<SaveMode>(mode));
        return com::Variant();
    }));
    Add(Property(L"CommandBars", 0x2100, [this] {
        RequireOpen();
        CommandBarsObject* bars = Bars();
        if (!bars) throw Raised{E_FAIL, L"The command bars are not available."};
        return ObjectOf(bars);
    }));
    Add(Method(L"IsWordMail", 0x2105, {}, [this](const Args&) { return com::Variant::Boolean(wordMail_); }));
    // WordEditor: the Word document a WordMail window shows (Nothing for any other window).
    Add(Property(L"WordEditor", 0x2106, [this] {
        RequireOpen();
        auto word = word_.lock();
        if (!word || !wordDocument_ || !word->Running()) return Nothing();
        for (const auto& document : word->Documents())
            if (document->Handle() == wordDocument_) return ObjectOf(document.Get());
        return Nothing();
    }));
    Offer(IID_InspectorEvents);
    if (newEvents) Offer(IID_InspectorEvents_10);
}

namespace {

// IOleWindow of an explorer or an inspector: a tear-off that keeps the window object while it is
// held and answers every other interface (IUnknown included) as the window object.
class OleWindow final : public IOleWindow {
public:
    explicit OleWindow(WindowObject* window) noexcept : owner_(window) { owner_->AddRef(); }
    ~OleWindow() { owner_->Release(); }
    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IOleWindow)) {
            AddRef();
            *out = static_cast<IOleWindow*>(this);
            return S_OK;
        }
        return owner_->QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return ++count_; }
    STDMETHODIMP_(ULONG) Release() noexcept override {
        const ULONG left = --count_;
        if (left == 0) delete this;
        return left;
    }
    STDMETHODIMP GetWindow(HWND* window) noexcept override {
        if (!window) return E_POINTER;
        *window = owner_->Window();
        return *window ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }

private:
    WindowObject* owner_;
    ULONG count_ = 1;
};

}  // namespace

STDMETHODIMP WindowObject::QueryInterface(REFIID iid, void** out) noexcept {
    if (out && IsEqualIID(iid, IID_IOleWindow)) {
        *out = nullptr;
        if (!window_) return E_NOINTERFACE;
        *out = static_cast<IOleWindow*>(new (std::nothrow) OleWindow(this));
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    return OutlookObject::QueryInterface(iid, out);
}

CommandBarsObject* InspectorObject::Bars() const {
    if (bars_) return bars_.Get();
    auto word = word_.lock();
    return word ? word->Bars() : nullptr;
}

void InspectorObject::CloseBars() noexcept {
    if (bars_) bars_->Close();
}

// ---- Selection ----

SelectionObject::SelectionObject(Host* host, ExplorerObject* explorer)
    : OutlookObject(host, L"Selection"), explorer_(explorer), items_(explorer->Selected()) {
    Add(Property(L"Count", kCount, [this] { return com::Variant(static_cast<long>(items_.size())); }));
    Add(Method(L"Item", kItem, {VT_VARIANT}, [this](const Args& args) {
        return NewObject<ItemObject>(host_, items_[ItemPosition(args[0].Get(), items_.size())]);
    }));
    Add(Property(L"_NewEnum", DISPID_NEWENUM, [this] {
        std::vector<com::Variant> items;
        for (const auto& message : items_) items.push_back(NewObject<ItemObject>(host_, message));
        com::Variant result;
        VARIANT* out = result.Out();
        V_VT(out) = VT_UNKNOWN;
        V_UNKNOWN(out) = com::Make<Enumerator>(std::move(items)).Detach();
        return result;
    }));
    Add(Property(L"Class", 0xF00A, [] { return com::Variant(74L); }));  // olSelection
    Add(Property(L"Parent", 0xF001, [this] { return ObjectOf(explorer_.Get()); }));
    Add(Property(L"Application", 0xF000, [this] { return ObjectOf(host_->Application()); }));
    Add(Property(L"Session", 0xF00B, [this] { return ObjectOf(host_->Session()); }));
}

// ---- COMAddIns ----

AddInsObject::AddInsObject(Host* host) : OutlookObject(host, L"COMAddIns") {
    Add(Property(L"Count", 1, [this] { return com::Variant(static_cast<long>(host_->AddInEntries().size())); }));
    // Item(Index): a 1-based position, or the add-in's ProgID.
    Add(Method(L"Item", DISPID_VALUE, {VT_VARIANT}, [this](const Args& args) {
        const VARIANT* index = args[0].Get();
        if (V_VT(index) == VT_BSTR) {
            AddInObject* found = host_->FindAddIn(V_BSTR(index) ? V_BSTR(index) : L"");
            if (!found) OutOfBounds();
            return ObjectOf(found);
        }
        VARIANT number;
        VariantInit(&number);
        if (FAILED(VariantChangeType(&number, const_cast<VARIANT*>(index), 0, VT_I4))) throw Refused{DISP_E_TYPEMISMATCH};
        return ItemOf(host_->AddInEntries(), V_I4(&number));
    }));
    Add(Property(L"_NewEnum", DISPID_NEWENUM, [this] {
        std::vector<com::Variant> items;
        for (const auto& entry : host_->AddInEntries()) items.push_back(ObjectOf(entry.Get()));
        com::Variant result;
        VARIANT* out = result.Out();
        V_VT(out) = VT_UNKNOWN;
        V_UNKNOWN(out) = com::Make<Enumerator>(std::move(items)).Detach();
        return result;
    }));
}

AddInObject::AddInObject(Host* host, std::wstring progId, std::wstring description, bool loadable)
    : OutlookObject(host, L"COMAddIn"), progId_(std::move(progId)), description_(std::move(description)),
      loadable_(loadable) {
    Add(Property(L"Description", 0, [this] { return com::Variant(description_); }));
    Add(Property(L"ProgId", 3, [this] { return com::Variant(progId_); }));
    Member connect = Property(L"Connect", 6, [this] { return com::Variant::Boolean(connected_); });
    connect.access = Access::GetPut;
    connect.putType = VT_BOOL;
    connect.put = [this](const com::Variant& value) { host_->SetConnected(this, V_BOOL(value.Get()) != VARIANT_FALSE); };
    Add(std::move(connect));
    // The add-in's object while it is connected; an add-in may set another one, as Office allows.
    Member object = Property(L"Object", 7, [this] { return connected_ && object_ ? com::Variant(object_.Get()) : Nothing(); });
    object.access = Access::GetPut;
    object.putType = VT_DISPATCH;
    object.putByReference = true;
    object.put = [this](const com::Variant& value) {
        if (!connected_) throw Raised{E_FAIL, L"The add-in is not connected."};
        object_ = com::Ptr<IDispatch>(V_DISPATCH(value.Get()));
    };
    Add(std::move(object));
}

void AddInObject::Attach(com::Ptr<_IDTExtensibility2> instance) {
    instance_ = std::move(instance);
    object_ = instance_.As<IDispatch>();
    connected_ = true;
}

com::Ptr<_IDTExtensibility2> AddInObject::Detach() noexcept {
    connected_ = false;
    object_.Reset();
    return std::move(instance_);
}

}  // namespace vantrell::sim
