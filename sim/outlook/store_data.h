#pragma once
// The mailbox's contents as the simulator's store objects work on them: folders, messages with
// their properties by id, the named-property map, the faults a test set, what sessions were asked.
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/variant.h"

namespace vantrell::sim {

struct PropertyValue {
    ULONG type = 0;  // PT_*
    com::Variant value;
};
using PropertyMap = std::map<ULONG, PropertyValue>;  // by property id (the tag's high 16 bits)

struct MessageData {
    std::wstring entryId;
    long folder = 0;
    bool associated = false;
    bool stored = false;  // has joined its folder (at its first save)
    PropertyMap properties;
};

struct FolderData {
    long number = 0;
    std::wstring name;
    std::wstring entryId;
    std::vector<std::shared_ptr<MessageData>> items;
    std::vector<std::shared_ptr<MessageData>> hidden;
};

// Converts `value` to what the store keeps under `tag`: S_OK, MAPI_E_INVALID_TYPE for a type it
// does not keep, MAPI_E_BAD_VALUE for a value that does not convert.
HRESULT ToStored(ULONG tag, const VARIANT& value, PropertyValue& out);
// Reads `tag` from `changes` (may be null), then from `stored`: S_OK or MAPI_E_NOT_FOUND.
HRESULT ReadProperty(const PropertyMap* changes, const PropertyMap& stored, ULONG tag, com::Variant& out);
// The text of a string property, empty when absent.
std::wstring TextOf(const PropertyMap& properties, ULONG id);

class StoreData {
public:
    StoreData();

    FolderData* Folder(long number) noexcept;  // null for a number that names no folder
    const FolderData& FolderOrThrow(long number) const;

    // A message of `folder` that joins it when saved.
    std::shared_ptr<MessageData> NewMessage(long folder, bool associated, const std::wstring& messageClass);
    // Stores `changes` into `message`; a new message joins its folder.
    void Save(const std::shared_ptr<MessageData>& message, const PropertyMap& changes);

    // The id of a named property (0x8000 and up): S_OK, or MAPI_E_NOT_FOUND for a new pair
    // when `create` is false.
    HRESULT IdFromName(const GUID& propertySet, const std::wstring& name, bool create, ULONG& id);
    bool NameOf(ULONG id, GUID& propertySet, std::wstring& name) const;
    size_t NamedCount() const noexcept { return names_.size(); }

    // Faults a test set: S_OK when reads, writes of `tag` or the mapping of the pair work.
    void FailRead(ULONG tag, HRESULT hr) { readFaults_[tag] = hr; }
    void FailWrite(ULONG tag, HRESULT hr) { writeFaults_[tag] = hr; }
    void FailMapping(const GUID& propertySet, const std::wstring& name, HRESULT hr);
    HRESULT ReadFault(ULONG tag) const noexcept;
    HRESULT WriteFault(ULONG tag) const noexcept;
    HRESULT MappingFault(const GUID& propertySet, const std::wstring& name) const;

    void NoteSessionCall(std::wstring call) { sessionCalls_.push_back(std::move(call)); }
    const std::vector<std::wstring>& SessionCalls() const noexcept { return sessionCalls_; }

private:
    std::wstring NewEntryId();

    std::wstring uid_;  // the mailbox's part of every entry ID
    unsigned long lastEntry_ = 0;
    std::map<long, FolderData> folders_;
    // (property set text, name as compared) -> id, and back.
    std::map<std::pair<std::wstring, std::wstring>, ULONG> names_;
    std::map<ULONG, std::pair<GUID, std::wstring>> namesById_;
    ULONG nextNamedId_ = 0x8000;
    std::map<ULONG, HRESULT> readFaults_;
    std::map<ULONG, HRESULT> writeFaults_;
    std::map<std::pair<std::wstring, std::wstring>, HRESULT> mappingFaults_;  // keyed as names_
    std::vector<std::wstring> sessionCalls_;
};

}  // namespace vantrell::sim
