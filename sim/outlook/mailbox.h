#pragma once
// The user's mailbox behind the simulated Outlook: folders (Inbox and the other default folders),
// their items and hidden (folder-associated) items, MAPI properties by tag, named properties, and
// entry IDs. A test makes one and hands it to Outlook; what is stored lives as long as the
// Mailbox does, so a second Outlook on the same Mailbox finds what the first stored.
//
// Storing follows MAPI: a write through an open item (the object model's or the store's private
// interface) is seen by that item at once and by everyone else once the item is saved.
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/variant.h"

namespace vantrell::sim {

// Folder numbers as Outlook's GetDefaultFolder takes them.
inline constexpr long kDeletedItems = 3;
inline constexpr long kOutbox = 4;
inline constexpr long kSentMail = 5;
inline constexpr long kInbox = 6;
inline constexpr long kCalendar = 9;
inline constexpr long kContacts = 10;
inline constexpr long kJournal = 11;
inline constexpr long kNotes = 12;
inline constexpr long kTasks = 13;
inline constexpr long kDrafts = 16;

// What a stored item holds, as a test reads it.
struct StoredItem {
    struct Named {
        GUID propertySet;
        std::wstring name;
        ULONG tag;  // the mapped id << 16 | the stored type
        com::Variant value;
    };

    std::wstring entryId;
    std::wstring messageClass;
    std::wstring subject;
    // Every property by its tag (id << 16 | stored type), subject and message class included.
    std::map<ULONG, com::Variant> properties;
    // The named properties among them (ids 0x8000 and up that the mailbox has mapped).
    std::vector<Named> named;

    // The value of a property; PT_STRING8 and PT_UNICODE stand for each other. nullptr if absent.
    const com::Variant* Find(ULONG tag) const;
    // The value of a named property, whatever its type. nullptr if absent.
    const com::Variant* FindNamed(const GUID& propertySet, std::wstring_view name) const;
};

class StoreData;

class Mailbox {
public:
    Mailbox();
    ~Mailbox();
    Mailbox(const Mailbox&) = delete;
    Mailbox& operator=(const Mailbox&) = delete;

    // The stored items of a folder (std::out_of_range for a number that names none), in the
    // order they were first stored.
    std::vector<StoredItem> Items(long folder = kInbox) const;
    std::vector<StoredItem> HiddenItems(long folder = kInbox) const;
    std::wstring FolderEntryId(long folder = kInbox) const;

    // Stores an item directly (as if delivered or saved earlier) and returns its entry ID.
    // `properties` by tag; std::invalid_argument for a type or value the store cannot keep.
    std::wstring AddItem(const std::wstring& messageClass, const std::wstring& subject,
                         const std::map<ULONG, com::Variant>& properties = {}, long folder = kInbox);
    std::wstring AddHiddenItem(const std::wstring& messageClass, const std::wstring& subject,
                               const std::map<ULONG, com::Variant>& properties = {}, long folder = kInbox);

    // The id of a named property, mapped now if the pair is new (as MAPI_CREATE does).
    ULONG NamedId(const GUID& propertySet, const std::wstring& name);
    // How many (property set, name) pairs the mailbox has mapped.
    size_t NamedCount() const;

    // From now on every read of `tag` through the store fails with `hr` (type PT_UNSPECIFIED 0:
    // the property id whatever the type). The object model's item properties read through the
    // same path and raise `hr` as an automation exception.
    void FailPropertyRead(ULONG tag, HRESULT hr);
    // Likewise for every write of `tag` through the store, and the object model's puts.
    void FailPropertyWrite(ULONG tag, HRESULT hr);
    // From now on an item's mapping of (property set, name) to an id fails with `hr`;
    // NamedId above still answers.
    void FailNameMapping(const GUID& propertySet, const std::wstring& name, HRESULT hr);

    // What sessions of this mailbox were asked to do, in order: L"FlushOutbox <flags> <window>",
    // L"Logoff".
    const std::vector<std::wstring>& SessionCalls() const;

    // The simulator's own store objects work on this.
    StoreData& Data() noexcept { return *data_; }
    const StoreData& Data() const noexcept { return *data_; }

private:
    std::unique_ptr<StoreData> data_;
};

}  // namespace vantrell::sim
