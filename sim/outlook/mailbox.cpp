#include "sim/outlook/mailbox.h"

#include <objbase.h>
#include <mapidefs.h>
#include <mapicode.h>
#include <mapitags.h>

#include <algorithm>
#include <cwchar>
#include <stdexcept>

#include "sim/outlook/mapi_tags.h"
#include "sim/outlook/store_data.h"
#include "sim/outlook/transport.h"

namespace vantrell::sim {
namespace {

constexpr ULONG kSubjectId = PROP_ID(PR_SUBJECT_W);
constexpr ULONG kMessageClassId = PROP_ID(PR_MESSAGE_CLASS_W);
// The headers' property set: its names compare without regard to case, as header names do.
using tags::kInternetHeaders;
// Conversions follow English (United States) rules, whatever the machine's locale.
const LCID kConversionLocale = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);

bool IsString(ULONG type) noexcept { return type == PT_STRING8 || type == PT_UNICODE; }

// Text as an 8-bit string of the ANSI code page holds it, as MAPI converts a PT_STRING8 value:
// a character the code page lacks becomes "?" (or a look-alike).
std::wstring ThroughAnsi(const std::wstring& text) {
    if (text.empty()) return text;
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::wstring(text.size(), L'?');
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), size, bytes.data(), n, nullptr, nullptr);
    const int m = MultiByteToWideChar(CP_ACP, 0, bytes.data(), n, nullptr, 0);
    std::wstring back(static_cast<size_t>(m > 0 ? m : 0), L'\0');
    if (m > 0) MultiByteToWideChar(CP_ACP, 0, bytes.data(), n, back.data(), m);
    return back;
}

com::Variant ThroughAnsi(const com::Variant& value) {
    if (value.Type() != VT_BSTR) return value;
    const BSTR text = V_BSTR(value.Get());
    return com::Variant(ThroughAnsi(text ? std::wstring(text, SysStringLen(text)) : std::wstring()));
}

// The automation type a property type is kept as; VT_EMPTY for a type the store does not keep.
VARTYPE VariantTypeOf(ULONG type) noexcept {
    switch (type) {
        case PT_I2: return VT_I2;
        case PT_LONG: return VT_I4;
        case PT_DOUBLE: return VT_R8;
        case PT_BOOLEAN: return VT_BOOL;
        case PT_STRING8:
        case PT_UNICODE: return VT_BSTR;
        case PT_SYSTIME: return VT_DATE;
        case PT_BINARY: return VT_ARRAY | VT_UI1;
        default: return VT_EMPTY;
    }
}

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
    return text;
}

struct FolderName {
    long number;
    const wchar_t* name;
};
const FolderName kFolders[] = {
    {kDeletedItems, L"Deleted Items"}, {kOutbox, L"Outbox"},   {kSentMail, L"Sent Items"}, {kInbox, L"Inbox"},
    {kCalendar, L"Calendar"},          {kContacts, L"Contacts"}, {kJournal, L"Journal"},   {kNotes, L"Notes"},
    {kTasks, L"Tasks"},                {kDrafts, L"Drafts"},
};

StoredItem Snapshot(const StoreData& store, const MessageData& message) {
    StoredItem item;
    item.entryId = message.entryId;
    item.messageClass = TextOf(message.properties, kMessageClassId);
    item.subject = TextOf(message.properties, kSubjectId);
    for (const auto& [id, property] : message.properties) {
        const ULONG tag = PROP_TAG(property.type, id);
        item.properties.emplace(tag, property.value);
        StoredItem::Named named;
        if (store.NameOf(id, named.propertySet, named.name)) {
            named.tag = tag;
            named.value = property.value;
            item.named.push_back(std::move(named));
        }
    }
    for (const RecipientData& r : message.recipients) item.recipients.push_back({r.name, r.address, r.type});
    return item;
}

std::vector<StoredItem> SnapshotAll(const StoreData& store, const std::vector<std::shared_ptr<MessageData>>& list) {
    std::vector<StoredItem> items;
    for (const auto& message : list) items.push_back(Snapshot(store, *message));
    return items;
}

// The named-property map's key: names of the Internet-headers set compare in any case.
std::pair<std::wstring, std::wstring> NameKey(const GUID& propertySet, const std::wstring& name) {
    return {GuidText(propertySet), IsEqualGUID(propertySet, kInternetHeaders) ? Lower(name) : name};
}

// The fault set for `tag`, or for its id whatever the type (PT_UNSPECIFIED); S_OK when none.
HRESULT FaultOf(const std::map<ULONG, HRESULT>& faults, ULONG tag) noexcept {
    if (faults.empty()) return S_OK;
    auto exact = faults.find(tag);
    if (exact != faults.end()) return exact->second;
    auto anyType = faults.find(PROP_TAG(PT_UNSPECIFIED, PROP_ID(tag)));
    return anyType == faults.end() ? S_OK : anyType->second;
}

}  // namespace

// ---- properties ----

HRESULT ToStored(ULONG tag, const VARIANT& value, PropertyValue& out) {
    const ULONG type = PROP_TYPE(tag);
    const VARTYPE vt = VariantTypeOf(type);
    if (vt == VT_EMPTY) return MAPI_E_INVALID_TYPE;
    VARIANT plain;
    VariantInit(&plain);
    if (FAILED(VariantCopyInd(&plain, const_cast<VARIANT*>(&value)))) return MAPI_E_BAD_VALUE;
    com::Variant held = com::Variant::Take(plain);
    if (held.Type() != vt) {
        // A binary value must come as bytes; the other types convert as automation converts.
        if (vt == (VT_ARRAY | VT_UI1)) return MAPI_E_BAD_VALUE;
        VARIANT converted;
        VariantInit(&converted);
        if (FAILED(VariantChangeTypeEx(&converted, held.GetMutable(), kConversionLocale, 0, vt))) return MAPI_E_BAD_VALUE;
        held = com::Variant::Take(converted);
    }
    out.type = type;
    out.value = type == PT_STRING8 ? ThroughAnsi(held) : std::move(held);
    return S_OK;
}

void MergeChanges(PropertyMap& properties, const PropertyMap& changes) {
    for (const auto& [id, property] : changes) {
        if (property.type == PT_NULL)
            properties.erase(id);
        else
            properties[id] = property;
    }
}

HRESULT ReadProperty(const PropertyMap* changes, const PropertyMap& stored, ULONG tag, com::Variant& out) {
    const ULONG id = PROP_ID(tag);
    const ULONG type = PROP_TYPE(tag);
    const PropertyValue* found = nullptr;
    if (changes) {
        auto it = changes->find(id);
        if (it != changes->end()) found = &it->second;
    }
    if (!found) {
        auto it = stored.find(id);
        if (it != stored.end()) found = &it->second;
    }
    if (!found || found->type == PT_NULL) return MAPI_E_NOT_FOUND;  // PT_NULL: deleted, not saved yet
    const bool matches =
        type == PT_UNSPECIFIED || type == found->type || (IsString(type) && IsString(found->type));
    if (!matches) return MAPI_E_NOT_FOUND;
    // A Unicode string read as an 8-bit one comes in the ANSI code page.
    out = type == PT_STRING8 && found->type == PT_UNICODE ? ThroughAnsi(found->value) : found->value;
    return S_OK;
}

std::wstring TextOf(const PropertyMap& properties, ULONG id) {
    auto it = properties.find(id);
    if (it == properties.end() || it->second.value.Type() != VT_BSTR) return {};
    const BSTR text = V_BSTR(it->second.value.Get());
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

long DisplayListType(ULONG id) noexcept {
    switch (id) {
        case tags::IdOf(tags::kDisplayTo): return kTo;
        case tags::IdOf(tags::kDisplayCc): return kCc;
        case tags::IdOf(tags::kDisplayBcc): return kBcc;
        default: return 0;
    }
}

std::wstring DisplayList(const RecipientList& recipients, long type) {
    std::wstring text;
    for (const RecipientData& r : recipients) {
        if (r.type != type) continue;
        if (!text.empty()) text += L"; ";
        text += r.name;
    }
    return text;
}

bool ResolveName(const std::wstring& name, std::wstring& address) {
    const size_t at = name.find(L'@');
    const bool smtp = at != std::wstring::npos && at > 0 && at + 1 < name.size() &&
                      name.find(L'@', at + 1) == std::wstring::npos && name.find(L'.', at) != std::wstring::npos &&
                      name.find_first_of(L" \t<>,;\"") == std::wstring::npos;
    if (smtp) address = name;
    return smtp;
}

// ---- StoreData ----

StoreData::StoreData() {
    GUID uid{};
    CoCreateGuid(&uid);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&uid);
    for (size_t i = 0; i < sizeof uid; ++i) {
        wchar_t hex[3];
        swprintf(hex, 3, L"%02X", bytes[i]);
        uid_ += hex;
    }
    storeId_ = L"0000000038A1BB1005E5101AA1BB08002B2A56C2" + uid_;
    for (const FolderName& f : kFolders) {
        FolderData& folder = folders_[f.number];
        folder.number = f.number;
        folder.name = f.name;
        folder.entryId = NewEntryId();
    }
}

std::wstring StoreData::NewEntryId() {
    wchar_t serial[9];
    swprintf(serial, 9, L"%08lX", ++lastEntry_);
    return L"00000000" + uid_ + serial;
}

FolderData* StoreData::Folder(long number) noexcept {
    auto it = folders_.find(number);
    return it == folders_.end() ? nullptr : &it->second;
}

const FolderData& StoreData::FolderOrThrow(long number) const {
    auto it = folders_.find(number);
    if (it == folders_.end()) throw std::out_of_range("the mailbox has no such folder");
    return it->second;
}

std::shared_ptr<MessageData> StoreData::NewMessage(long folder, bool associated, const std::wstring& messageClass) {
    auto message = std::make_shared<MessageData>();
    message->entryId = NewEntryId();
    message->folder = folder;
    message->associated = associated;
    message->properties[kMessageClassId] = PropertyValue{PT_UNICODE, com::Variant(messageClass)};
    return message;
}

std::shared_ptr<MessageData> StoreData::NewUnsent(long folder, const std::wstring& messageClass) {
    auto message = NewMessage(folder, false, messageClass);
    Assign(message->properties, message->properties, tags::kMessageFlags, *com::Variant(tags::kFlagUnsent).Get());
    return message;
}

void StoreData::Save(const std::shared_ptr<MessageData>& message, const PropertyMap& changes,
                     const RecipientList* recipients) {
    MergeChanges(message->properties, changes);
    if (recipients) message->recipients = *recipients;
    if (message->stored) return;
    FolderData* folder = Folder(message->folder);
    if (!folder) return;
    (message->associated ? folder->hidden : folder->items).push_back(message);
    message->stored = true;
}

HRESULT StoreData::Assign(PropertyMap& changes, const PropertyMap& stored, ULONG tag, const VARIANT& value) {
    PropertyValue converted;
    HRESULT hr = ToStored(tag, value, converted);
    if (FAILED(hr)) return hr;
    const ULONG id = PROP_ID(tag);
    if (auto it = changes.find(id); it != changes.end() && it->second.type != PT_NULL)
        converted.order = it->second.order;
    else if (auto before = stored.find(id); before != stored.end())
        converted.order = before->second.order;
    else
        converted.order = NextSequence();
    changes[id] = std::move(converted);
    return S_OK;
}

std::shared_ptr<MessageData> StoreData::Find(const std::wstring& entryId) const {
    for (const auto& [number, folder] : folders_) {
        for (const auto* list : {&folder.items, &folder.hidden})
            for (const auto& message : *list)
                if (_wcsicmp(message->entryId.c_str(), entryId.c_str()) == 0) return message;
    }
    return nullptr;
}

void StoreData::Remove(const std::shared_ptr<MessageData>& message) {
    message->gone = true;
    FolderData* folder = Folder(message->folder);
    if (!folder || !message->stored) return;
    auto& list = message->associated ? folder->hidden : folder->items;
    list.erase(std::remove(list.begin(), list.end(), message), list.end());
}

HRESULT StoreData::Submit(const std::shared_ptr<MessageData>& message, const PropertyMap& changes,
                          const RecipientList& recipients) {
    if (message->gone) return MAPI_E_OBJECT_DELETED;
    if (FAILED(submitFault_)) return submitFault_;
    PropertyMap properties = message->properties;
    MergeChanges(properties, changes);
    const auto flags = properties.find(tags::IdOf(tags::kMessageFlags));
    const bool unsent = flags != properties.end() && (flags->second.value.ToLong() & tags::kFlagUnsent);
    if (!unsent || message->associated) return MAPI_E_SUBMITTED;
    if (recipients.empty()) return MAPI_E_NO_RECIPIENTS;
    for (const RecipientData& r : recipients)
        if (r.address.empty()) return MAPI_E_AMBIGUOUS_RECIP;
    flags->second.value = com::Variant(flags->second.value.ToLong() | tags::kFlagSubmit);
    auto queued = NewMessage(kOutbox, false, L"");
    queued->properties = std::move(properties);
    queued->recipients = recipients;
    Save(queued, {});
    Remove(message);
    return S_OK;
}

std::wstring StoreData::NewInternetMessageId() {
    const std::wstring& address = owner_.address;
    const size_t at = address.find(L'@');
    wchar_t serial[16];
    swprintf(serial, 16, L"%08lX", NextSequence());
    return L"<" + uid_ + L"." + serial + L"@" + (at == std::wstring::npos ? L"example.com" : address.substr(at + 1)) +
           L">";
}

DATE StoreData::Now() const {
    if (clock_) return clock_();
    // To the millisecond, as the store's own times are: Windows' SystemTimeToVariantTime drops
    // the milliseconds, so they are added here.
    SYSTEMTIME now;
    GetSystemTime(&now);
    const WORD milliseconds = now.wMilliseconds;
    now.wMilliseconds = 0;
    DATE date = 0;
    SystemTimeToVariantTime(&now, &date);
    return date + milliseconds / 86400000.0;
}

HRESULT StoreData::IdFromName(const GUID& propertySet, const std::wstring& name, bool create, ULONG& id) {
    auto key = NameKey(propertySet, name);
    auto it = names_.find(key);
    if (it != names_.end()) {
        id = it->second;
        return S_OK;
    }
    if (!create) return MAPI_E_NOT_FOUND;
    if (nextNamedId_ > 0xFFFE) return MAPI_E_TOO_BIG;
    id = nextNamedId_++;
    names_.emplace(std::move(key), id);
    namesById_.emplace(id, std::make_pair(propertySet, name));
    return S_OK;
}

bool StoreData::NameOf(ULONG id, GUID& propertySet, std::wstring& name) const {
    auto it = namesById_.find(id);
    if (it == namesById_.end()) return false;
    propertySet = it->second.first;
    name = it->second.second;
    return true;
}

void StoreData::FailMapping(const GUID& propertySet, const std::wstring& name, HRESULT hr) {
    mappingFaults_[NameKey(propertySet, name)] = hr;
}

HRESULT StoreData::MappingFault(const GUID& propertySet, const std::wstring& name) const {
    if (mappingFaults_.empty()) return S_OK;
    auto it = mappingFaults_.find(NameKey(propertySet, name));
    return it == mappingFaults_.end() ? S_OK : it->second;
}

HRESULT StoreData::ReadFault(ULONG tag) const noexcept { return FaultOf(readFaults_, tag); }
HRESULT StoreData::WriteFault(ULONG tag) const noexcept { return FaultOf(writeFaults_, tag); }

// ---- StoredItem ----

const com::Variant* StoredItem::Find(ULONG tag) const {
    auto it = properties.find(tag);
    if (it != properties.end()) return &it->second;
    const ULONG type = PROP_TYPE(tag);
    if (IsString(type)) {
        it = properties.find(PROP_TAG(type == PT_UNICODE ? PT_STRING8 : PT_UNICODE, PROP_ID(tag)));
        if (it != properties.end()) return &it->second;
    }
    return nullptr;
}

const com::Variant* StoredItem::FindNamed(const GUID& propertySet, std::wstring_view name) const {
    const bool anyCase = IsEqualGUID(propertySet, kInternetHeaders);
    for (const Named& entry : named) {
        if (!IsEqualGUID(entry.propertySet, propertySet)) continue;
        const bool same = anyCase ? Lower(entry.name) == Lower(std::wstring(name)) : entry.name == name;
        if (same) return &entry.value;
    }
    return nullptr;
}

// ---- Mailbox ----

Mailbox::Mailbox() : data_(std::make_unique<StoreData>()) {}
Mailbox::~Mailbox() = default;

std::vector<StoredItem> Mailbox::Items(long folder) const {
    return SnapshotAll(*data_, data_->FolderOrThrow(folder).items);
}

std::vector<StoredItem> Mailbox::HiddenItems(long folder) const {
    return SnapshotAll(*data_, data_->FolderOrThrow(folder).hidden);
}

std::wstring Mailbox::FolderEntryId(long folder) const { return data_->FolderOrThrow(folder).entryId; }
std::wstring Mailbox::StoreId() const { return data_->StoreId(); }

namespace {

void Put(StoreData& store, PropertyMap& properties, ULONG tag, const com::Variant& value) {
    if (FAILED(store.Assign(properties, properties, tag, *value.Get())))
        throw std::invalid_argument("the store cannot keep this property");
}

std::wstring Add(StoreData& store, bool associated, const std::wstring& messageClass, const std::wstring& subject,
                 const std::map<ULONG, com::Variant>& properties, long folder) {
    store.FolderOrThrow(folder);
    PropertyMap changes;
    Put(store, changes, tags::kSubject, com::Variant(subject));
    for (const auto& [tag, value] : properties) Put(store, changes, tag, value);
    auto message = store.NewMessage(folder, associated, messageClass);
    store.Save(message, changes);
    return message->entryId;
}

RecipientList RecipientsOf(StoreData& store, const MailFields& fields) {
    RecipientList list;
    for (const auto& [type, addresses] : {std::pair{kTo, &fields.to}, std::pair{kCc, &fields.cc}, std::pair{kBcc, &fields.bcc}})
        for (const MailAddress& a : *addresses)
            list.push_back({store.NextSequence(), a.name.empty() ? a.address : a.name, a.address, type});
    return list;
}

std::wstring AddMail(StoreData& store, const MailFields& fields, long folder, bool received) {
    store.FolderOrThrow(folder);
    auto message = store.NewMessage(folder, false, L"IPM.Note");
    message->recipients = RecipientsOf(store, fields);
    const MailAddress sender = received || !fields.sender.address.empty() || !fields.sender.name.empty()
                                   ? fields.sender
                                   : store.Owner();
    const DATE submitted = fields.submitTime != 0 ? fields.submitTime : store.Now();
    PropertyMap& p = message->properties;
    Put(store, p, tags::kSubject, com::Variant(fields.subject));
    Put(store, p, tags::kMessageFlags, com::Variant(tags::kFlagRead));
    Put(store, p, tags::kSenderName, com::Variant(sender.name.empty() ? sender.address : sender.name));
    Put(store, p, tags::kSenderAddressType, com::Variant(L"SMTP"));
    Put(store, p, tags::kSenderAddress, com::Variant(sender.address));
    Put(store, p, tags::kBody, com::Variant(fields.body));
    if (!fields.htmlBody.empty()) Put(store, p, tags::kBodyHtml, com::Variant(fields.htmlBody));
    Put(store, p, tags::kInternetMessageId,
        com::Variant(fields.messageId.empty() ? store.NewInternetMessageId() : fields.messageId));
    Put(store, p, tags::kClientSubmitTime, com::Variant::Date(submitted));
    Put(store, p, tags::kDeliveryTime, com::Variant::Date(submitted));
    if (received) {
        bool toMe = false;
        for (const MailAddress& a : fields.to) toMe = toMe || _wcsicmp(a.address.c_str(), store.Owner().address.c_str()) == 0;
        Put(store, p, tags::kMessageToMe, com::Variant::Boolean(toMe));
        // What the Internet transport handed over: the message's own header block.
        Put(store, p, tags::kTransportHeaders, com::Variant(TransportHeaders(store, *message)));
    }
    for (const auto& [tag, value] : fields.properties) Put(store, p, tag, value);
    for (ULONG tag : fields.without) p.erase(PROP_ID(tag));
    store.Save(message, {});
    return message->entryId;
}

}  // namespace

std::wstring Mailbox::AddItem(const std::wstring& messageClass, const std::wstring& subject,
                              const std::map<ULONG, com::Variant>& properties, long folder) {
    return Add(*data_, false, messageClass, subject, properties, folder);
}

std::wstring Mailbox::AddHiddenItem(const std::wstring& messageClass, const std::wstring& subject,
                                    const std::map<ULONG, com::Variant>& properties, long folder) {
    return Add(*data_, true, messageClass, subject, properties, folder);
}

std::wstring Mailbox::AddStoredLogon(long logonId, long companyId) {
    static const GUID kPublicStrings = {0x00020329, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    return AddHiddenItem(L"IPM.Note", L"Vantrell Config",
                         {{NamedId(kPublicStrings, L"LogonID") << 16 | PT_LONG, com::Variant(logonId)},
                          {NamedId(kPublicStrings, L"CompanyID") << 16 | PT_LONG, com::Variant(companyId)}});
}

std::wstring Mailbox::AddReceivedMail(const MailFields& fields, long folder) { return AddMail(*data_, fields, folder, true); }
std::wstring Mailbox::AddSentMail(const MailFields& fields, long folder) { return AddMail(*data_, fields, folder, false); }

StoredItem Mailbox::Item(const std::wstring& entryId) const {
    auto message = data_->Find(entryId);
    if (!message) throw std::out_of_range("no stored item has this entry ID");
    return Snapshot(*data_, *message);
}

void Mailbox::SetOwner(const MailAddress& owner) { data_->SetOwner(owner); }
const MailAddress& Mailbox::Owner() const { return data_->Owner(); }
void Mailbox::ConnectAgent(std::shared_ptr<AgentMailbox> agent) { data_->ConnectAgent(std::move(agent)); }
void Mailbox::SetClock(std::function<DATE()> clock) { data_->SetClock(std::move(clock)); }
void Mailbox::FailPropertyWrite(ULONG tag, HRESULT hr) { data_->FailWrite(tag, hr); }
void Mailbox::FailSubmit(HRESULT hr) { data_->FailSubmit(hr); }

ULONG Mailbox::NamedId(const GUID& propertySet, const std::wstring& name) {
    ULONG id = 0;
    if (FAILED(data_->IdFromName(propertySet, name, true, id))) throw std::length_error("no named property id is left");
    return id;
}

size_t Mailbox::NamedCount() const { return data_->NamedCount(); }

void Mailbox::FailPropertyRead(ULONG tag, HRESULT hr) { data_->FailRead(tag, hr); }

void Mailbox::FailNameMapping(const GUID& propertySet, const std::wstring& name, HRESULT hr) {
    data_->FailMapping(propertySet, name, hr);
}

const std::vector<std::wstring>& Mailbox::SessionCalls() const { return data_->SessionCalls(); }

}  // namespace vantrell::sim
