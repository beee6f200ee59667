#pragma once
// The user's mailbox behind the simulated Outlook: folders (Inbox and the other default folders),
// their items and hidden (folder-associated) items, MAPI properties by tag, named properties, and
// entry IDs. A test makes one and hands it to Outlook; what is stored lives as long as the
// Mailbox does, so a second Outlook on the same Mailbox finds what the first stored.
//
// Storing follows MAPI: a write through an open item (the object model's or the store's private
// interface) is seen by that item at once and by everyone else once the item is saved.
//
// Mail moves as in Outlook: sending (MailItem.Send, or the helper's Send) takes the message out
// of its folder into the Outbox; delivery (the session's FlushOutbox, which the helper's
// DeliverNow calls, or the simulated Outlook's send/receive) moves it on to Sent Items as sent
// mail and hands what the recipients receive, as RFC 822 text, to the agent mailbox connected
// here when one of its addresses is among the recipients.
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/variant.h"

namespace vantrell::sim {

class AgentMailbox;

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

// Recipient types, as Outlook's OlMailRecipientType and MAPI's PR_RECIPIENT_TYPE have them.
inline constexpr long kTo = 1;
inline constexpr long kCc = 2;
inline constexpr long kBcc = 3;

struct MailAddress {
    std::wstring name;  // display name; empty: the address stands for it
    std::wstring address;
};

struct StoredRecipient {
    std::wstring name;
    std::wstring address;  // empty while unresolved
    long type = kTo;
};

// A message as a test puts it into the mailbox (AddReceivedMail, AddSentMail).
struct MailFields {
    std::wstring subject;
    MailAddress sender;  // sent mail: empty means the mailbox's owner
    std::vector<MailAddress> to, cc, bcc;
    std::wstring body;
    std::wstring htmlBody;  // empty: none
    std::wstring messageId;  // PR_INTERNET_MESSAGE_ID; empty: one is made up
    DATE submitTime = 0;     // PR_CLIENT_SUBMIT_TIME, UTC, to any fraction of a second; 0: the mailbox clock's now
    // Set after everything else, so they override it (PR_MESSAGE_TO_ME False, say).
    std::map<ULONG, com::Variant> properties;
    // Left off after everything else (any type of that id): PR_INTERNET_MESSAGE_ID for a message
    // without one, PR_TRANSPORT_MESSAGE_HEADERS or PR_MESSAGE_TO_ME for a received message that
    // lacks them, PR_CLIENT_SUBMIT_TIME...
    std::vector<ULONG> without;
};

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
    std::vector<StoredRecipient> recipients;

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
    // The store's own entry ID, as MAPIFolder.StoreID gives it.
    std::wstring StoreId() const;

    // Stores an item directly (as if delivered or saved earlier) and returns its entry ID.
    // `properties` by tag; std::invalid_argument for a type or value the store cannot keep.
    std::wstring AddItem(const std::wstring& messageClass, const std::wstring& subject,
                         const std::map<ULONG, com::Variant>& properties = {}, long folder = kInbox);
    std::wstring AddHiddenItem(const std::wstring& messageClass, const std::wstring& subject,
                               const std::map<ULONG, com::Variant>& properties = {}, long folder = kInbox);
    // What the add-in leaves in the Inbox of a user who has logged on: the hidden IPM.Note
    // "Vantrell Config" with the integers "LogonID" and "CompanyID" as named properties of
    // PS_PUBLIC_STRINGS. Returns its entry ID.
    std::wstring AddStoredLogon(long logonId, long companyId);

    // A message as a real store holds received mail (IPM.Note, read): subject, bodies (PR_BODY,
    // PR_BODY_HTML), sender (PR_SENDER_NAME, PR_SENDER_EMAIL_ADDRESS), the recipients with their
    // names and addresses (To and CC texts derived from them), PR_INTERNET_MESSAGE_ID,
    // PR_CLIENT_SUBMIT_TIME and PR_MESSAGE_DELIVERY_TIME, PR_TRANSPORT_MESSAGE_HEADERS (the
    // Internet headers it came with) and PR_MESSAGE_TO_ME (True when the owner is a To
    // recipient, False otherwise). Returns its entry ID.
    std::wstring AddReceivedMail(const MailFields& fields, long folder = kInbox);
    // A message the owner sent, as Sent Items holds it: the same without transport headers and
    // message-to-me; the sender is the owner unless `fields` names one.
    std::wstring AddSentMail(const MailFields& fields, long folder = kSentMail);
    // The item of an entry ID, wherever it is stored (std::out_of_range if none is).
    StoredItem Item(const std::wstring& entryId) const;

    // The mailbox's owner: the sender of what is sent from it ("Mailbox Owner",
    // owner@example.com unless set).
    void SetOwner(const MailAddress& owner);
    const MailAddress& Owner() const;
    // Where delivered mail for the service's logging agent goes (nothing is kept without one).
    void ConnectAgent(std::shared_ptr<AgentMailbox> agent);
    // The clock that stamps sent mail (UTC, as a VT_DATE, fractions of a second kept); the
    // system's clock, to the millisecond, unless set.
    void SetClock(std::function<DATE()> clock);

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
    // From now on every submission (MailItem.Send, the helper's Send) fails with `hr`.
    void FailSubmit(HRESULT hr);

    // What sessions of this mailbox were asked to do, in order: L"FlushOutbox <flags> <window>",
    // L"Logoff" (the simulated Outlook's own send/receive is not among them).
    const std::vector<std::wstring>& SessionCalls() const;

    // The simulator's own store objects work on this.
    StoreData& Data() noexcept { return *data_; }
    const StoreData& Data() const noexcept { return *data_; }

private:
    std::unique_ptr<StoreData> data_;
};

}  // namespace vantrell::sim
