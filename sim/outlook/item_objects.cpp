#include "sim/outlook/item_objects.h"

#include <mapidefs.h>
#include <mapicode.h>

#include <algorithm>

#include "sim/outlook/host.h"
#include "sim/outlook/mapi_tags.h"
#include "sim/outlook/members.h"

namespace vantrell::sim {

const IID IID_ItemEvents = {0x0006303A, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_ItemEvents_10 = {0x0006302B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {

constexpr long kMailClass = 43;
constexpr DISPID kCount = 0x50;
constexpr DISPID kItem = 0x51;

const wchar_t kMovedOrDeleted[] = L"The item has been moved or deleted.";
const wchar_t kInvalidValue[] = L"Could not complete the operation. One or more parameter values are not valid.";

const wchar_t* KindOf(long objectClass) {
    switch (objectClass) {
        case 26: return L"AppointmentItem";
        case 40: return L"ContactItem";
        case 42: return L"JournalItem";
        case 45: return L"PostItem";
        case 46: return L"ReportItem";
        case 48: return L"TaskItem";
        case 53: return L"MeetingItem";
        case 113: return L"StorageItem";
        default: return L"MailItem";
    }
}

HRESULT CopyText(const std::wstring& text, BSTR* out) {
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

bool IsStringType(ULONG type) { return type == PT_STRING8 || type == PT_UNICODE || type == PT_UNSPECIFIED; }

}  // namespace

long ClassOf(const std::wstring& messageClass, bool associated) {
    if (associated) return 113;  // olStorageItem
    struct Entry {
        const wchar_t* prefix;
        long objectClass;
    };
    static const Entry kClasses[] = {
        {L"IPM.Schedule.Meeting.Request", 53}, {L"IPM.Appointment", 26}, {L"IPM.Contact", 40},
        {L"IPM.Activity", 42},                 {L"IPM.Post", 45},        {L"IPM.Task", 48},
        {L"REPORT", 46},
    };
    for (const Entry& entry : kClasses) {
        const size_t n = wcslen(entry.prefix);
        if (messageClass.size() >= n && _wcsnicmp(messageClass.c_str(), entry.prefix, n) == 0 &&
            (messageClass.size() == n || messageClass[n] == L'.'))
            return entry.objectClass;
    }
    return kMailClass;
}

// ---- ItemObject ----

ItemObject::ItemObject(Host* host, std::shared_ptr<MessageData> message)
    : StoreObject(host, KindOf(ClassOf(TextOf(message->properties, tags::IdOf(tags::kMessageClass)), message->associated))),
      message_(std::move(message)),
      objectClass_(ClassOf(TextOf(message_->properties, tags::IdOf(tags::kMessageClass)), message_->associated)) {
    const long objectClass = objectClass_;
    AddLive(Property(L"Class", 0xF00A, [objectClass] { return com::Variant(objectClass); }));
    AddTextProperty(L"Subject", 0x37, tags::kSubject, true);
    AddTextProperty(L"MessageClass", 0x1A, tags::kMessageClass, true);
    AddLive(Property(L"EntryID", 0xF01E, [this] {
        // A new item has no entry ID until it is saved, as in Outlook.
        return com::Variant(message_->stored ? message_->entryId : std::wstring());
    }));
    AddLive(Property(L"Saved", 0xF0A3, [this] {
        return com::Variant::Boolean(message_->stored && changes_.empty() && !recipientChanges_);
    }));
    AddLive(Method(L"Save", 0xF048, {}, [this](const Args&) {
        Commit();
        return com::Variant();
    }));
    if (message_->associated) return;
    AddTextProperty(L"Body", 0x9100, tags::kBody, true);
    AddLive(Property(L"GetInspector", 0xF03E, [this] {
        InspectorObject* inspector = host_->InspectorShowing(this);
        if (!inspector) throw Raised{E_FAIL, L"No open window shows this item."};
        return ObjectOf(inspector);
    }));
    if (objectClass == kMailClass) AddMailMembers();
    Offer(IID_ItemEvents);
    if (host_->OffersNewEvents()) Offer(IID_ItemEvents_10);
}

void ItemObject::AddMailMembers() {
    AddTextProperty(L"HTMLBody", 0xF404, tags::kBodyHtml, true);
    AddTextProperty(L"To", 0xE04, tags::kDisplayTo, false);
    AddTextProperty(L"CC", 0xE03, tags::kDisplayCc, false);
    AddTextProperty(L"BCC", 0xE02, tags::kDisplayBcc, false);
    AddTextProperty(L"SenderName", 0xC1A, tags::kSenderName, false);
    AddLive(Property(L"Recipients", 0xF814, [this] { return NewObject<RecipientsObject>(host_, this); }));
    AddLive(Property(L"Sent", 0xF0A2, [this] { return com::Variant::Boolean(!Unsent()); }));
    AddLive(Method(L"Forward", 0xF813, {}, [this](const Args&) { return Forward(); }));
    AddLive(Method(L"Send", 0xF075, {}, [this](const Args&) {
        Send();
        return com::Variant();
    }));
}

void ItemObject::AddLive(Member member) {
    auto get = std::move(member.get);
    member.get = [this, get = std::move(get)](const Args& args) {
        RequireLive();
        return get(args);
    };
    if (member.put) {
        auto put = std::move(member.put);
        member.put = [this, put = std::move(put)](const com::Variant& value) {
            RequireLive();
            put(value);
        };
    }
    Add(std::move(member));
}

void ItemObject::AddTextProperty(const wchar_t* name, DISPID id, ULONG tag, bool writable) {
    Member member = Property(name, id, [this, tag] { return com::Variant(Text(tag)); });
    if (writable) {
        member.access = Access::GetPut;
        member.putType = VT_BSTR;
        member.put = [this, tag](const com::Variant& value) { Write(tag, value); };
    }
    AddLive(std::move(member));
}

void ItemObject::RequireLive() const {
    if (message_->gone) throw Raised{MAPI_E_OBJECT_DELETED, kMovedOrDeleted};
}

const RecipientList& ItemObject::Recipients() const noexcept {
    return recipientChanges_ ? *recipientChanges_ : message_->recipients;
}

RecipientList& ItemObject::EditRecipients() {
    if (!recipientChanges_) recipientChanges_ = message_->recipients;
    return *recipientChanges_;
}

bool ItemObject::Resolve(RecipientData& recipient) {
    if (!recipient.address.empty()) return true;
    std::wstring address;
    if (!ResolveName(recipient.name, address)) return false;
    recipient.name = address;  // a one-off address shows as itself
    recipient.address = address;
    return true;
}

HRESULT ItemObject::Read(ULONG tag, com::Variant& value) const {
    if (message_->gone) return MAPI_E_OBJECT_DELETED;
    HRESULT fault = host_->Store().ReadFault(tag);
    if (FAILED(fault)) return fault;
    if (const long type = DisplayListType(PROP_ID(tag))) {
        if (!IsStringType(PROP_TYPE(tag))) return MAPI_E_NOT_FOUND;
        value = com::Variant(DisplayList(Recipients(), type));
        return S_OK;
    }
    return ReadProperty(&changes_, message_->properties, tag, value);
}

HRESULT ItemObject::WriteTag(ULONG tag, const VARIANT& value) {
    if (message_->gone) return MAPI_E_OBJECT_DELETED;
    HRESULT fault = host_->Store().WriteFault(tag);
    if (FAILED(fault)) return fault;
    if (DisplayListType(PROP_ID(tag))) return MAPI_E_COMPUTED;
    return host_->Store().Assign(changes_, message_->properties, tag, value);
}

std::wstring ItemObject::Text(ULONG tag) const {
    com::Variant value;
    HRESULT hr = Read(tag, value);
    if (hr == MAPI_E_NOT_FOUND) return {};
    if (FAILED(hr)) throw Raised{hr, L"The property could not be read."};
    return value.ToText();
}

void ItemObject::Write(ULONG tag, const com::Variant& value) {
    HRESULT hr = WriteTag(tag, *value.Get());
    if (FAILED(hr)) throw Raised{hr, L"The property could not be written."};
}

bool ItemObject::Unsent() const {
    com::Variant flags;
    return SUCCEEDED(Read(tags::kMessageFlags, flags)) && (flags.ToLong() & tags::kFlagUnsent) != 0;
}

void ItemObject::Commit() {
    host_->Store().Save(message_, changes_, recipientChanges_ ? &*recipientChanges_ : nullptr);
    changes_.clear();
    recipientChanges_.reset();
}

com::Variant ItemObject::Forward() {
    StoreData& store = host_->Store();
    // A new unsent message that joins Drafts when saved.
    auto forward = store.NewUnsent(kDrafts, L"IPM.Note");
    PropertyMap& p = forward->properties;
    store.Assign(p, p, tags::kSubject, *com::Variant(L"FW: " + Text(tags::kSubject)).Get());
    store.Assign(p, p, tags::kBody, *com::Variant(Text(tags::kBody)).Get());
    if (std::wstring html = Text(tags::kBodyHtml); !html.empty())
        store.Assign(p, p, tags::kBodyHtml, *com::Variant(html).Get());
    return NewObject<ItemObject>(host_, std::move(forward));
}

void ItemObject::Send() {
    if (!Unsent()) throw Raised{MAPI_E_SUBMITTED, L"The item has already been sent."};
    RecipientList recipients = Recipients();
    if (recipients.empty())
        throw Raised{E_FAIL, L"There must be at least one name or contact group in the To, Cc, or Bcc box."};
    // Outlook resolves what the user typed before it sends.
    for (RecipientData& recipient : recipients)
        if (!Resolve(recipient)) throw Raised{E_FAIL, L"Outlook does not recognize one or more names. "};
    HRESULT hr = host_->Store().Submit(message_, changes_, recipients);
    if (FAILED(hr)) throw Raised{hr, L"The message could not be sent."};
    changes_.clear();
    recipientChanges_.reset();
    host_->ScheduleSendReceive();
}

// ---- the private interface ----

template <class Body>
HRESULT ItemObject::OnLiveStore(const wchar_t* method, Body&& body) noexcept {
    return OnStore(method, [&](StoreData& store) -> HRESULT {
        if (message_->gone) return MAPI_E_OBJECT_DELETED;
        return body(store);
    });
}

STDMETHODIMP ItemObject::GetEntryID(BSTR* entryId) noexcept {
    return OnStore(L"GetEntryID", [&](StoreData&) { return CopyText(message_->entryId, entryId); });
}

STDMETHODIMP ItemObject::IsAssociated(BOOL* associated) noexcept {
    if (!associated) return E_POINTER;
    *associated = message_->associated ? TRUE : FALSE;
    return host_ ? S_OK : RPC_E_DISCONNECTED;
}

STDMETHODIMP ItemObject::GetProperty(ULONG tag, VARIANT* value) noexcept {
    if (!value) return E_POINTER;
    VariantInit(value);
    return OnStore(L"GetProperty", [&](StoreData&) {
        com::Variant read;
        HRESULT hr = Read(tag, read);
        if (SUCCEEDED(hr)) read.DetachTo(value);
        return hr;
    });
}

STDMETHODIMP ItemObject::SetProperty(ULONG tag, const VARIANT* value) noexcept {
    if (!value) return E_POINTER;
    return OnStore(L"SetProperty", [&](StoreData&) { return WriteTag(tag, *value); });
}

STDMETHODIMP ItemObject::GetIDFromName(REFGUID propertySet, LPCWSTR name, BOOL create, ULONG* id) noexcept {
    if (!id) return E_POINTER;
    *id = 0;
    if (!name || !*name) return E_INVALIDARG;
    return OnLiveStore(L"GetIDFromName", [&](StoreData& store) {
        HRESULT fault = store.MappingFault(propertySet, name);
        return FAILED(fault) ? fault : store.IdFromName(propertySet, name, create != FALSE, *id);
    });
}

STDMETHODIMP ItemObject::SaveChanges() noexcept {
    return OnLiveStore(L"SaveChanges", [&](StoreData&) {
        Commit();
        return S_OK;
    });
}

STDMETHODIMP ItemObject::GetRecipientCount(LONG* count) noexcept {
    if (!count) return E_POINTER;
    *count = 0;
    return OnLiveStore(L"GetRecipientCount", [&](StoreData&) {
        *count = static_cast<LONG>(Recipients().size());
        return S_OK;
    });
}

STDMETHODIMP ItemObject::GetRecipient(LONG index, BSTR* name, BSTR* address, LONG* type) noexcept {
    if (!name || !address || !type) return E_POINTER;
    *name = *address = nullptr;
    *type = 0;
    return OnLiveStore(L"GetRecipient", [&](StoreData&) -> HRESULT {
        const RecipientList& list = Recipients();
        if (index < 0 || static_cast<size_t>(index) >= list.size()) return E_INVALIDARG;
        const RecipientData& r = list[static_cast<size_t>(index)];
        if (FAILED(CopyText(r.name, name)) || FAILED(CopyText(r.address, address))) {
            SysFreeString(*name);
            *name = nullptr;
            return E_OUTOFMEMORY;
        }
        *type = r.type;
        return S_OK;
    });
}

STDMETHODIMP ItemObject::AddRecipient(LPCWSTR name, LONG* index) noexcept {
    if (!index) return E_POINTER;
    *index = -1;
    if (!name || !*name) return E_INVALIDARG;
    return OnLiveStore(L"AddRecipient", [&](StoreData& store) {
        RecipientList& list = EditRecipients();
        list.push_back({store.NextSequence(), name, L"", kTo});
        *index = static_cast<LONG>(list.size() - 1);
        return S_OK;
    });
}

STDMETHODIMP ItemObject::SetRecipientType(LONG index, LONG type) noexcept {
    return OnLiveStore(L"SetRecipientType", [&](StoreData&) -> HRESULT {
        if (index < 0 || static_cast<size_t>(index) >= Recipients().size() || type < kTo || type > kBcc)
            return E_INVALIDARG;
        EditRecipients()[static_cast<size_t>(index)].type = type;
        return S_OK;
    });
}

STDMETHODIMP ItemObject::ResolveRecipient(LONG index) noexcept {
    return OnLiveStore(L"ResolveRecipient", [&](StoreData&) -> HRESULT {
        if (index < 0 || static_cast<size_t>(index) >= Recipients().size()) return E_INVALIDARG;
        RecipientData copy = Recipients()[static_cast<size_t>(index)];
        if (!Resolve(copy)) return MAPI_E_NOT_FOUND;
        EditRecipients()[static_cast<size_t>(index)] = std::move(copy);
        return S_OK;
    });
}

STDMETHODIMP ItemObject::Submit() noexcept {
    return OnLiveStore(L"Submit", [&](StoreData& store) {
        HRESULT hr = store.Submit(message_, changes_, Recipients());
        if (SUCCEEDED(hr)) {
            changes_.clear();
            recipientChanges_.reset();
            submittedBeneath_ = true;
        }
        return hr;
    });
}

STDMETHODIMP ItemObject::DeleteProperty(ULONG tag) noexcept {
    return OnLiveStore(L"DeleteProperty", [&](StoreData& store) -> HRESULT {
        HRESULT fault = store.WriteFault(tag);
        if (FAILED(fault)) return fault;
        const ULONG id = PROP_ID(tag);
        // Written here only: the write goes. Stored: the deletion waits for the next save.
        if (message_->properties.count(id))
            changes_[id] = PropertyValue{PT_NULL, com::Variant(), 0};
        else
            changes_.erase(id);
        return S_OK;
    });
}

// ---- Recipients ----

RecipientsObject::RecipientsObject(Host* host, ItemObject* item) : OutlookObject(host, L"Recipients"), item_(item) {
    Add(Property(L"Count", kCount, [this] {
        item_->RequireLive();
        return com::Variant(static_cast<long>(item_->Recipients().size()));
    }));
    // Item(Index): a 1-based position, or a recipient's name.
    Add(Method(L"Item", kItem, {VT_VARIANT}, [this](const Args& args) {
        item_->RequireLive();
        const RecipientList& list = item_->Recipients();
        const VARIANT* index = args[0].Get();
        if (V_VT(index) == VT_BSTR) {
            for (const RecipientData& r : list)
                if (_wcsicmp(r.name.c_str(), V_BSTR(index) ? V_BSTR(index) : L"") == 0)
                    return NewObject<RecipientObject>(host_, item_.Get(), r.rowId);
            throw Raised{MAPI_E_NOT_FOUND, L"The attempted operation failed.  An object could not be found."};
        }
        return NewObject<RecipientObject>(host_, item_.Get(), list[ItemPosition(index, list.size())].rowId);
    }));
    // Add(Name): a new To recipient, unresolved until resolved (or sent).
    Add(Method(L"Add", 0x6F, {VT_BSTR}, [this](const Args& args) {
        item_->RequireLive();
        const std::wstring name = args[0].ToText();
        if (name.empty()) throw Raised{E_INVALIDARG, kInvalidValue};
        RecipientList& list = item_->EditRecipients();
        list.push_back({host_->Store().NextSequence(), name, L"", kTo});
        return NewObject<RecipientObject>(host_, item_.Get(), list.back().rowId);
    }));
    Add(Method(L"Remove", 0x54, {VT_I4}, [this](const Args& args) {
        item_->RequireLive();
        const long position = V_I4(args[0].Get());
        if (position < 1 || static_cast<size_t>(position) > item_->Recipients().size()) OutOfBounds();
        RecipientList& list = item_->EditRecipients();
        list.erase(list.begin() + (position - 1));
        return com::Variant();
    }));
    Add(Method(L"ResolveAll", 0x7E, {}, [this](const Args&) {
        item_->RequireLive();
        RecipientList list = item_->Recipients();
        bool all = true;
        for (RecipientData& r : list) all = ItemObject::Resolve(r) && all;
        item_->EditRecipients() = std::move(list);
        return com::Variant::Boolean(all);
    }));
}

// ---- Recipient ----

RecipientObject::RecipientObject(Host* host, ItemObject* item, unsigned long rowId)
    : OutlookObject(host, L"Recipient"), item_(item), rowId_(rowId) {
    Add(Property(L"Name", 0x3001, [this] { return com::Variant(Read().name); }));
    Add(Property(L"Address", 0x3003, [this] { return com::Variant(Read().address); }));
    Add(Property(L"Resolved", 0x64, [this] { return com::Variant::Boolean(!Read().address.empty()); }));
    Member type = Property(L"Type", 0xC15, [this] { return com::Variant(Read().type); });
    type.access = Access::GetPut;
    type.putType = VT_I4;
    type.put = [this](const com::Variant& value) {
        const long wanted = V_I4(value.Get());
        if (wanted < kTo || wanted > kBcc) throw Raised{E_INVALIDARG, kInvalidValue};
        Edit().type = wanted;
    };
    Add(std::move(type));
    Add(Method(L"Resolve", 0x71, {}, [this](const Args&) {
        RecipientData copy = Read();
        if (!ItemObject::Resolve(copy)) return com::Variant::Boolean(false);
        Edit() = std::move(copy);
        return com::Variant::Boolean(true);
    }));
}

const RecipientData& RecipientObject::Read() const {
    item_->RequireLive();
    for (const RecipientData& r : item_->Recipients())
        if (r.rowId == rowId_) return r;
    throw Raised{MAPI_E_NOT_FOUND, L"The recipient has been removed."};
}

RecipientData& RecipientObject::Edit() {
    Read();  // it must still be there
    for (RecipientData& r : item_->EditRecipients())
        if (r.rowId == rowId_) return r;
    throw Raised{MAPI_E_NOT_FOUND, L"The recipient has been removed."};
}

}  // namespace vantrell::sim
