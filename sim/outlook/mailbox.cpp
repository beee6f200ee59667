#include "sim/outlook/mailbox.h"

#include <objbase.h>
#include <mapidefs.h>
#include <mapicode.h>
#include <mapitags.h>

#include <cwchar>
#include <stdexcept>

#include "sim/outlook/store_data.h"

namespace vantrell::sim {
namespace {

constexpr ULONG kSubjectId = PROP_ID(PR_SUBJECT_W);
constexpr ULONG kMessageClassId = PROP_ID(PR_MESSAGE_CLASS_W);
// The headers' property set: its names compare without regard to case, as header names do.
const GUID kInternetHeaders = {0x00020386, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// Conversions follow English (United States) rules, whatever the machine's locale.
const LCID kConversionLocale = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);

bool IsString(ULONG type) noexcept { return type == PT_STRING8 || type == PT_UNICODE; }

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
    out.value = std::move(held);
    return S_OK;
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
    if (!found) return MAPI_E_NOT_FOUND;
    const bool matches =
        type == PT_UNSPECIFIED || type == found->type || (IsString(type) && IsString(found->type));
    if (!matches) return MAPI_E_NOT_FOUND;
    out = found->value;
    return S_OK;
}

std::wstring TextOf(const PropertyMap& properties, ULONG id) {
    auto it = properties.find(id);
    if (it == properties.end() || it->second.value.Type() != VT_BSTR) return {};
    const BSTR text = V_BSTR(it->second.value.Get());
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
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

void StoreData::Save(const std::shared_ptr<MessageData>& message, const PropertyMap& changes) {
    for (const auto& [id, property] : changes) message->properties[id] = property;
    if (message->stored) return;
    FolderData* folder = Folder(message->folder);
    if (!folder) return;
    (message->associated ? folder->hidden : folder->items).push_back(message);
    message->stored = true;
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

HRESULT StoreData::ReadFault(ULONG tag) const noexcept { return FaultOf(readFaults_, tag); }

HRESULT StoreData::WriteFault(ULONG tag) const noexcept { return FaultOf(writeFaults_, tag); }

void StoreData::FailMapping(const GUID& propertySet, const std::wstring& name, HRESULT hr) {
    mappingFaults_[NameKey(propertySet, name)] = hr;
}

HRESULT StoreData::MappingFault(const GUID& propertySet, const std::wstring& name) const {
    if (mappingFaults_.empty()) return S_OK;
    auto it = mappingFaults_.find(NameKey(propertySet, name));
    return it == mappingFaults_.end() ? S_OK : it->second;
}

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

namespace {

std::wstring Add(StoreData& store, bool associated, const std::wstring& messageClass, const std::wstring& subject,
                 const std::map<ULONG, com::Variant>& properties, long folder) {
    store.FolderOrThrow(folder);
    PropertyMap changes;
    changes[kSubjectId] = PropertyValue{PT_UNICODE, com::Variant(subject)};
    for (const auto& [tag, value] : properties) {
        PropertyValue stored;
        if (FAILED(ToStored(tag, *value.Get(), stored))) throw std::invalid_argument("the store cannot keep this property");
        changes[PROP_ID(tag)] = std::move(stored);
    }
    auto message = store.NewMessage(folder, associated, messageClass);
    store.Save(message, changes);
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

ULONG Mailbox::NamedId(const GUID& propertySet, const std::wstring& name) {
    ULONG id = 0;
    if (FAILED(data_->IdFromName(propertySet, name, true, id))) throw std::length_error("no named property id is left");
    return id;
}

size_t Mailbox::NamedCount() const { return data_->NamedCount(); }

void Mailbox::FailPropertyRead(ULONG tag, HRESULT hr) { data_->FailRead(tag, hr); }

void Mailbox::FailPropertyWrite(ULONG tag, HRESULT hr) { data_->FailWrite(tag, hr); }

void Mailbox::FailNameMapping(const GUID& propertySet, const std::wstring& name, HRESULT hr) {
    data_->FailMapping(propertySet, name, hr);
}

const std::vector<std::wstring>& Mailbox::SessionCalls() const { return data_->SessionCalls(); }

}  // namespace vantrell::sim
