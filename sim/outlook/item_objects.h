#pragma once
// Outlook's items in the simulated object model, each also answering the store's private item
// interface (sim_store.idl): mail items with their recipients, the other item classes, and
// hidden items.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "sim/outlook/store_objects.h"

namespace vantrell::sim {

// The item events and their DISPIDs (Open and Close take Cancel by reference).
extern const IID IID_ItemEvents;
extern const IID IID_ItemEvents_10;
constexpr DISPID kItemOpen = 0xF003;
constexpr DISPID kItemClose = 0xF004;

// Outlook's object class (OlObjectClass) of a message class: olMail 43 for IPM.Note and for any
// class it does not know, olAppointment 26, olContact 40, olJournal 42, olPost 45, olReport 46,
// olTask 48, olMeetingRequest 53; olStorageItem 113 for a hidden item.
long ClassOf(const std::wstring& messageClass, bool associated);

// An open item. Its kind (for FailMember) follows its class: "MailItem", "AppointmentItem",
// "ContactItem", "JournalItem", "PostItem", "ReportItem", "TaskItem", "MeetingItem", or
// "StorageItem" for a hidden item.
//
// Every item: Class, Subject, MessageClass, EntryID (empty until first saved), Saved, Save.
// Every item but a hidden one: Body, GetInspector (the open inspector showing this very item
// object; E_FAIL "No open window shows this item." when none does), and the connection points
// of ItemEvents (and ItemEvents_10 from Outlook 2002 on). A mail item also: HTMLBody, To, CC, BCC (read-only: the recipients'
// display names joined by "; "), Recipients, Sent, SenderName, Forward, Send.
//
// Writes stay with this open item until it is saved. Once its message has been sent (by this
// item, another one or the store's private interface), every member fails as Outlook's do:
// MAPI_E_OBJECT_DELETED, "The item has been moved or deleted."
class ItemObject : public StoreObject<ISimStoreItem> {
public:
    ItemObject(Host* host, std::shared_ptr<MessageData> message);

    STDMETHODIMP GetEntryID(BSTR* entryId) noexcept override;
    STDMETHODIMP IsAssociated(BOOL* associated) noexcept override;
    STDMETHODIMP GetProperty(ULONG tag, VARIANT* value) noexcept override;
    STDMETHODIMP SetProperty(ULONG tag, const VARIANT* value) noexcept override;
    STDMETHODIMP GetIDFromName(REFGUID propertySet, LPCWSTR name, BOOL create, ULONG* id) noexcept override;
    STDMETHODIMP SaveChanges() noexcept override;
    STDMETHODIMP GetRecipientCount(LONG* count) noexcept override;
    STDMETHODIMP GetRecipient(LONG index, BSTR* name, BSTR* address, LONG* type) noexcept override;
    STDMETHODIMP AddRecipient(LPCWSTR name, LONG* index) noexcept override;
    STDMETHODIMP SetRecipientType(LONG index, LONG type) noexcept override;
    STDMETHODIMP ResolveRecipient(LONG index) noexcept override;
    STDMETHODIMP Submit() noexcept override;
    STDMETHODIMP DeleteProperty(ULONG tag) noexcept override;

    // Its message has been sent (moved on): every call fails.
    bool Gone() const noexcept { return message_->gone; }
    // Outlook's object class of the item (see ClassOf).
    long ObjectClass() const noexcept { return objectClass_; }
    // A mail or post item that has been sent or received (not one being written).
    bool Sent() const { return !Unsent(); }
    // Writes or recipient changes not saved yet; also what the window showed of a message that
    // was submitted beneath it through the store's private interface (Outlook's item does not
    // know it went, and still counts its own copy as changed).
    bool HasChanges() const noexcept {
        return !changes_.empty() || recipientChanges_.has_value() || submittedBeneath_;
    }
    // Forgets the writes and recipient changes not saved yet (a close that discards them).
    void DropChanges() noexcept {
        changes_.clear();
        recipientChanges_.reset();
        submittedBeneath_ = false;
    }
    // Raises the error every call on a sent (moved) item gets.
    void RequireLive() const;
    // The recipients as this open item sees them.
    const RecipientList& Recipients() const noexcept;
    // This item's own copy of them, stored with its next save.
    RecipientList& EditRecipients();
    // Resolves one recipient through the address book; false when it resolves to nobody.
    static bool Resolve(RecipientData& recipient);

private:
    // Adds a member that fails once the item is gone.
    void AddLive(Member member);
    void AddTextProperty(const wchar_t* name, DISPID id, ULONG tag, bool writable);
    void AddMailMembers();

    HRESULT Read(ULONG tag, com::Variant& value) const;
    HRESULT WriteTag(ULONG tag, const VARIANT& value);
    // The object model's string properties: a missing one reads as empty text.
    std::wstring Text(ULONG tag) const;
    void Write(ULONG tag, const com::Variant& value);
    bool Unsent() const;
    void Commit();
    com::Variant Forward();
    void Send();
    // Runs a private method: MAPI_E_OBJECT_DELETED once the message has been sent.
    template <class Body>
    HRESULT OnLiveStore(const wchar_t* method, Body&& body) noexcept;

    std::shared_ptr<MessageData> message_;
    long objectClass_;
    PropertyMap changes_;
    std::optional<RecipientList> recipientChanges_;
    bool submittedBeneath_ = false;
};

// A mail item's Recipients (kind "Recipients"): Count, Item(index or name), Add(name),
// Remove(index), ResolveAll.
class RecipientsObject : public OutlookObject {
public:
    RecipientsObject(Host* host, ItemObject* item);

private:
    Owned<ItemObject> item_;
};

// One recipient (kind "Recipient"): Name, Address (empty while unresolved), Type (olTo 1, olCC 2,
// olBCC 3; also put), Resolved, Resolve. Fails once it has been removed.
class RecipientObject : public OutlookObject {
public:
    RecipientObject(Host* host, ItemObject* item, unsigned long rowId);

private:
    const RecipientData& Read() const;
    RecipientData& Edit();
    Owned<ItemObject> item_;
    unsigned long rowId_;
};

}  // namespace vantrell::sim
