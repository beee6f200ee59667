#pragma once
// The stand-in helper component's objects. They answer IDispatch by name from the component's
// own type library and reach the simulated message store only through its private COM
// interfaces (sim_store.idl), never through C++: the simulator is another module.
#include <windows.h>
#include <ole2.h>

#include <memory>

#include "OsbHelper.h"
#include "platform/com_object.h"
#include "platform/typelib_dispatch.h"
#include "sim_store.h"

namespace vantrell::sim::helper {

// "Ostrabin.OsbFolder": wraps a folder of the store.
class Folder : public com::Object<com::TypeLibDispatch<IOsbFolder>> {
public:
    STDMETHODIMP Attach(IDispatch* folder) noexcept override;
    STDMETHODIMP get_HiddenItems(IDispatch** items) noexcept override;

private:
    com::Ptr<ISimStoreFolder> folder_;
};

class HiddenItems : public com::Object<com::TypeLibDispatch<IOsbHiddenItems>> {
public:
    explicit HiddenItems(com::Ptr<ISimStoreFolder> folder) noexcept : folder_(std::move(folder)) {}

    STDMETHODIMP FindBySubject(BSTR subject, IDispatch** item) noexcept override;
    STDMETHODIMP AddItem(BSTR messageClass, IDispatch** item) noexcept override;

private:
    com::Ptr<ISimStoreFolder> folder_;
};

// A hidden item. Writes not yet saved are stored when the item is released, as the helper's
// contract has it.
class HiddenItem : public com::Object<com::TypeLibDispatch<IOsbHiddenItem>> {
public:
    explicit HiddenItem(com::Ptr<ISimStoreItem> item) noexcept : item_(std::move(item)) {}
    ~HiddenItem() override;

    STDMETHODIMP get_Subject(BSTR* subject) noexcept override;
    STDMETHODIMP put_Subject(BSTR subject) noexcept override;
    STDMETHODIMP NamedTag(BSTR propSetGuid, BSTR name, LONG* tag) noexcept override;
    STDMETHODIMP GetProperty(LONG tag, VARIANT* value) noexcept override;
    STDMETHODIMP SetProperty(LONG tag, VARIANT value) noexcept override;
    STDMETHODIMP Save() noexcept override;

private:
    com::Ptr<ISimStoreItem> item_;
    bool unsaved_ = false;
};

// The store item a mail item wraps, shared with the recipients it hands out. Writes not yet
// stored are stored when the mail item lets go of it (another Attach, its release), or, for a
// write through a recipient that outlives the mail item, when the last holder goes.
// What the mail items did, for tests: one line each for "Attach", "Save", "Send" and "Store when
// let go" (the writes of an item stored as it is released or another item is attached).
std::wstring& Journal() noexcept;
void NoteInJournal(const wchar_t* entry) noexcept;

struct Attachment {
    explicit Attachment(com::Ptr<ISimStoreItem> wrapped) noexcept : item(std::move(wrapped)) {}
    ~Attachment() { Store(); }
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;
    HRESULT Store() noexcept;

    com::Ptr<ISimStoreItem> item;
    bool unsaved = false;
};

// "Ostrabin.OsbMailItem": wraps an Outlook mail item. Failures are automation exceptions with
// the store's HRESULT: nothing attached (MAPI_E_NOT_INITIALIZED), a property that cannot be read
// or written, a message that cannot be sent (MAPI_E_NO_RECIPIENTS, MAPI_E_AMBIGUOUS_RECIP,
// MAPI_E_SUBMITTED), an item already sent (MAPI_E_OBJECT_DELETED).
class MailItem : public com::Object<com::TypeLibDispatch<IOsbMailItem>> {
public:
    ~MailItem() override;

    STDMETHODIMP Attach(IDispatch* item) noexcept override;
    STDMETHODIMP GetProperty(LONG tag, VARIANT* value) noexcept override;
    STDMETHODIMP SetProperty(LONG tag, VARIANT value) noexcept override;
    STDMETHODIMP NamedId(BSTR propSetGuid, BSTR name, LONG* id) noexcept override;
    STDMETHODIMP get_PlainBody(BSTR* text) noexcept override;
    STDMETHODIMP get_HtmlBody(BSTR* text) noexcept override;
    STDMETHODIMP get_SenderName(BSTR* text) noexcept override;
    STDMETHODIMP get_ToText(BSTR* text) noexcept override;
    STDMETHODIMP get_CcText(BSTR* text) noexcept override;
    STDMETHODIMP get_SenderEntry(IDispatch** entry) noexcept override;
    STDMETHODIMP get_Recipients(IDispatch** recipients) noexcept override;
    STDMETHODIMP Send() noexcept override;
    STDMETHODIMP Save() noexcept override;
    STDMETHODIMP DeleteProperty(LONG tag) noexcept override;

private:
    HRESULT Text(ULONG tag, BSTR* text) noexcept;
    std::shared_ptr<Attachment> attached_;
};

class AddressEntry : public com::Object<com::TypeLibDispatch<IOsbAddressEntry>> {
public:
    AddressEntry(std::wstring name, std::wstring address) : name_(std::move(name)), address_(std::move(address)) {}

    STDMETHODIMP get_Name(BSTR* name) noexcept override;
    STDMETHODIMP get_Address(BSTR* address) noexcept override;

private:
    std::wstring name_, address_;
};

class MailRecipients : public com::Object<com::TypeLibDispatch<IOsbRecipients>> {
public:
    explicit MailRecipients(std::shared_ptr<Attachment> attached) noexcept : attached_(std::move(attached)) {}

    STDMETHODIMP get_Count(LONG* count) noexcept override;
    STDMETHODIMP Add(BSTR address, IDispatch** recipient) noexcept override;
    STDMETHODIMP Item(LONG index, IDispatch** recipient) noexcept override;

private:
    std::shared_ptr<Attachment> attached_;
};

// One recipient, by its position in the item's list.
class MailRecipient : public com::Object<com::TypeLibDispatch<IOsbRecipient>> {
public:
    MailRecipient(std::shared_ptr<Attachment> attached, LONG index) noexcept
        : attached_(std::move(attached)), index_(index) {}

    STDMETHODIMP get_Name(BSTR* name) noexcept override;
    STDMETHODIMP get_Address(BSTR* address) noexcept override;
    STDMETHODIMP get_RecipientType(LONG* type) noexcept override;
    STDMETHODIMP put_RecipientType(LONG type) noexcept override;
    STDMETHODIMP Resolve(VARIANT_BOOL showDialog, VARIANT_BOOL* resolved) noexcept override;

private:
    HRESULT Read(BSTR* name, BSTR* address, LONG* type) noexcept;
    std::shared_ptr<Attachment> attached_;
    LONG index_;
};

// "Ostrabin.OsbUtils": the session-wide operations. It logs on to the running simulated
// Outlook's mailbox when it is made (again when first needed if none ran then) and logs off in
// Cleanup.
class Utils : public com::Object<com::TypeLibDispatch<IOsbUtils>> {
public:
    Utils() noexcept;

    STDMETHODIMP DeliverNow(LONG flags, LONG parentWindow) noexcept override;
    STDMETHODIMP Cleanup() noexcept override;

private:
    HRESULT Open() noexcept;
    com::Ptr<ISimStoreSession> session_;
};

}  // namespace vantrell::sim::helper
