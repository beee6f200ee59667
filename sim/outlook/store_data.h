#pragma once
// The mailbox's contents as the simulator's store objects work on them: folders, messages with
// their properties by id and their recipients, the named-property map, the mail's way through
// the Outbox, the faults a test set, what sessions were asked.
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/variant.h"
#include "sim/outlook/mailbox.h"

namespace vantrell::sim {

struct PropertyValue {
    ULONG type = 0;  // PT_*
    com::Variant value;
    unsigned long order = 0;  // when the message first got this property (the store's sequence)
};
using PropertyMap = std::map<ULONG, PropertyValue>;  // by property id (the tag's high 16 bits)

struct RecipientData {
    unsigned long rowId = 0;  // the same for the same recipient in every copy of the list
    std::wstring name;
    std::wstring address;  // empty while unresolved
    long type = kTo;
};
using RecipientList = std::vector<RecipientData>;

struct MessageData {
    std::wstring entryId;
    long folder = 0;
    bool associated = false;
    bool stored = false;  // has joined its folder (at its first save)
    bool gone = false;    // moved on (sent) or deleted: open items of it fail from now on
    PropertyMap properties;
    RecipientList recipients;
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
// Applies an open item's unsaved `changes` to `properties`: writes, and deletions (a change of
// type PT_NULL).
void MergeChanges(PropertyMap& properties, const PropertyMap& changes);
// Reads `tag` from `changes` (may be null), then from `stored`: S_OK or MAPI_E_NOT_FOUND (also
// for a property deleted in `changes`).
HRESULT ReadProperty(const PropertyMap* changes, const PropertyMap& stored, ULONG tag, com::Variant& out);
// The text of a string property, empty when absent.
std::wstring TextOf(const PropertyMap& properties, ULONG id);
// PR_DISPLAY_TO, _CC, _BCC: computed from the recipients, never written. Gives the recipient
// type an id stands for, or 0 for any other id.
long DisplayListType(ULONG id) noexcept;
// The display names of the recipients of `type`, joined by "; " as Outlook joins them.
std::wstring DisplayList(const RecipientList& recipients, long type);
// The address book: a name that is an SMTP address resolves to itself; nothing else resolves.
bool ResolveName(const std::wstring& name, std::wstring& address);

class StoreData {
public:
    StoreData();

    // The entry ID of the store itself (Folder.StoreID).
    const std::wstring& StoreId() const noexcept { return storeId_; }
    FolderData* Folder(long number) noexcept;  // null for a number that names no folder
    const FolderData& FolderOrThrow(long number) const;

    // A message of `folder` that joins it when saved.
    std::shared_ptr<MessageData> NewMessage(long folder, bool associated, const std::wstring& messageClass);
    // A new unsent message (a draft) of `folder`, as the user composes it.
    std::shared_ptr<MessageData> NewUnsent(long folder, const std::wstring& messageClass);
    // Stores `changes` (and the recipient list, when given) into `message`; a new message joins
    // its folder.
    void Save(const std::shared_ptr<MessageData>& message, const PropertyMap& changes,
              const RecipientList* recipients = nullptr);
    // The stored message of an entry ID in any folder (hidden items included), or null.
    std::shared_ptr<MessageData> Find(const std::wstring& entryId) const;
    // Takes a message out of its folder for good: its open items fail from now on.
    void Remove(const std::shared_ptr<MessageData>& message);
    // Stores the writes and submits the message: a copy of it (a new entry ID) waits in the
    // Outbox, the message itself is gone. MAPI_E_NO_RECIPIENTS, MAPI_E_AMBIGUOUS_RECIP for an
    // unresolved recipient, MAPI_E_SUBMITTED for one already sent, or the injected fault.
    HRESULT Submit(const std::shared_ptr<MessageData>& message, const PropertyMap& changes,
                   const RecipientList& recipients);
    void FailSubmit(HRESULT hr) noexcept { submitFault_ = hr; }

    // Converts `value` (as ToStored) and writes it into `changes`, keeping the order in which
    // the message (`stored`, may be the same map) first got the property.
    HRESULT Assign(PropertyMap& changes, const PropertyMap& stored, ULONG tag, const VARIANT& value);
    // The store's sequence: the order properties were first set in, recipients' row ids.
    unsigned long NextSequence() noexcept { return ++sequence_; }
    // A new PR_INTERNET_MESSAGE_ID at the owner's domain.
    std::wstring NewInternetMessageId();

    const MailAddress& Owner() const noexcept { return owner_; }
    void SetOwner(MailAddress owner) { owner_ = std::move(owner); }
    DATE Now() const;
    void SetClock(std::function<DATE()> clock) { clock_ = std::move(clock); }
    AgentMailbox* Agent() const noexcept { return agent_.get(); }
    void ConnectAgent(std::shared_ptr<AgentMailbox> agent) { agent_ = std::move(agent); }

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
    std::wstring storeId_;
    unsigned long lastEntry_ = 0;
    std::map<long, FolderData> folders_;
    // (property set text, name as compared) -> id, and back.
    std::map<std::pair<std::wstring, std::wstring>, ULONG> names_;
    std::map<ULONG, std::pair<GUID, std::wstring>> namesById_;
    ULONG nextNamedId_ = 0x8000;
    std::map<ULONG, HRESULT> readFaults_;
    std::map<ULONG, HRESULT> writeFaults_;
    std::map<std::pair<std::wstring, std::wstring>, HRESULT> mappingFaults_;  // keyed as names_
    HRESULT submitFault_ = S_OK;
    std::vector<std::wstring> sessionCalls_;
    unsigned long sequence_ = 0;
    MailAddress owner_{L"Mailbox Owner", L"owner@example.com"};
    std::function<DATE()> clock_;
    std::shared_ptr<AgentMailbox> agent_;
};

}  // namespace vantrell::sim
