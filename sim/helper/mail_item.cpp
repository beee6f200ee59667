// The helper's mail item, its sender entry and its recipients, over the store's private item
// interface.
#include <mapidefs.h>
#include <mapicode.h>
#include <mapitags.h>

#include "platform/variant.h"
#include "sim/helper/helper_objects.h"
#include "sim/helper/helper_support.h"

namespace vantrell::sim::helper {
namespace {

constexpr ULONG kBodyHtml = PROP_TAG(PT_UNICODE, 0x1013);  // PR_BODY_HTML
constexpr ULONG kDisplayTo = PROP_TAG(PT_UNICODE, 0x0E04);  // PR_DISPLAY_TO

HRESULT NotAttached() noexcept { return Raise(MAPI_E_NOT_INITIALIZED, L"No item has been attached."); }

// A string property's text: "" when the item has none (`present` tells which).
HRESULT ReadText(ISimStoreItem& item, ULONG tag, std::wstring& text, bool* present = nullptr) {
    text.clear();
    if (present) *present = false;
    com::Variant value;
    HRESULT hr = item.GetProperty(tag, value.Out());
    if (hr == MAPI_E_NOT_FOUND) return S_OK;
    if (FAILED(hr)) return hr;
    if (present) *present = true;
    if (value.Type() == VT_BSTR) text = TextOf(V_BSTR(value.Get()));
    return S_OK;
}

const wchar_t* SendFailure(HRESULT hr) noexcept {
    switch (hr) {
        case MAPI_E_NO_RECIPIENTS: return L"The message has no recipients.";
        case MAPI_E_AMBIGUOUS_RECIP: return L"A recipient of the message is not resolved.";
        case MAPI_E_SUBMITTED: return L"The message has already been sent.";
        case MAPI_E_OBJECT_DELETED: return L"The item has been moved or deleted.";
        default: return L"The message could not be sent.";
    }
}

}  // namespace

std::wstring& Journal() noexcept {
    static std::wstring journal;
    return journal;
}

void NoteInJournal(const wchar_t* entry) noexcept {
    try {
        Journal().append(entry).push_back(L'\n');
    } catch (...) {
        // Out of memory: the journal is for tests only.
    }
}

HRESULT Attachment::Store() noexcept {
    if (!unsaved) return S_OK;
    unsaved = false;
    NoteInJournal(L"Store when let go");
    return item->SaveChanges();
}

// ---- MailItem ----

MailItem::~MailItem() {
    if (attached_) attached_->Store();
}

STDMETHODIMP MailItem::Attach(IDispatch* item) noexcept {
    if (!item) return Raise(E_INVALIDARG, L"No item was given.");
    NoteInJournal(L"Attach");
    return com::Guarded([&]() -> HRESULT {
        com::Ptr<ISimStoreItem> store;
        if (FAILED(item->QueryInterface(IID_ISimStoreItem, reinterpret_cast<void**>(store.ReleaseAndGetAddressOf()))) ||
            !store)
            return Raise(E_INVALIDARG, L"The object is not an item of the message store.");
        // What was written to the item held so far is stored as it is let go.
        if (attached_) attached_->Store();
        attached_ = std::make_shared<Attachment>(std::move(store));
        return S_OK;
    });
}

STDMETHODIMP MailItem::GetProperty(LONG tag, VARIANT* value) noexcept {
    if (!value) return E_POINTER;
    VariantInit(value);
    if (!attached_) return NotAttached();
    HRESULT hr = attached_->item->GetProperty(static_cast<ULONG>(tag), value);
    if (hr == MAPI_E_NOT_FOUND) return S_OK;  // Empty
    if (FAILED(hr)) return Raise(hr, L"The property could not be read.");
    return S_OK;
}

// Of the tag's type, as MAPI writes it: an 8-bit string keeps what the ANSI code page holds, a
// Unicode one everything (the store converts as MAPI does).
STDMETHODIMP MailItem::SetProperty(LONG tag, VARIANT value) noexcept {
    if (!attached_) return NotAttached();
    HRESULT hr = attached_->item->SetProperty(static_cast<ULONG>(tag), &value);
    if (FAILED(hr)) return Raise(hr, L"The property could not be written.");
    attached_->unsaved = true;
    return S_OK;
}

STDMETHODIMP MailItem::NamedId(BSTR propSetGuid, BSTR name, LONG* id) noexcept {
    if (!id) return E_POINTER;
    *id = 0;
    if (!attached_) return NotAttached();
    return com::Guarded([&]() -> HRESULT {
        GUID propertySet;
        if (!PropertySetOf(propSetGuid, propertySet)) return Raise(E_INVALIDARG, L"The property set is not a GUID.");
        const std::wstring named = TextOf(name);
        if (named.empty()) return Raise(E_INVALIDARG, L"The property has no name.");
        ULONG mapped = 0;
        HRESULT hr = attached_->item->GetIDFromName(propertySet, named.c_str(), TRUE, &mapped);
        if (FAILED(hr)) return Raise(hr, L"The named property could not be mapped.");
        *id = static_cast<LONG>(PROP_TAG(PT_UNSPECIFIED, mapped));
        return S_OK;
    });
}

HRESULT MailItem::Text(ULONG tag, BSTR* text) noexcept {
    if (!text) return E_POINTER;
    *text = nullptr;
    if (!attached_) return NotAttached();
    return com::Guarded([&]() -> HRESULT {
        std::wstring found;
        HRESULT hr = ReadText(*attached_->item.Get(), tag, found);
        if (FAILED(hr)) return Raise(hr, L"The property could not be read.");
        return CopyText(found, text);
    });
}

STDMETHODIMP MailItem::get_PlainBody(BSTR* text) noexcept { return Text(PR_BODY_W, text); }
STDMETHODIMP MailItem::get_HtmlBody(BSTR* text) noexcept { return Text(kBodyHtml, text); }
STDMETHODIMP MailItem::get_SenderName(BSTR* text) noexcept { return Text(PR_SENDER_NAME_W, text); }
STDMETHODIMP MailItem::get_ToText(BSTR* text) noexcept { return Text(kDisplayTo, text); }
STDMETHODIMP MailItem::get_CcText(BSTR* text) noexcept { return Text(PR_DISPLAY_CC_W, text); }

STDMETHODIMP MailItem::get_SenderEntry(IDispatch** entry) noexcept {
    if (!entry) return E_POINTER;
    *entry = nullptr;
    if (!attached_) return NotAttached();
    return com::Guarded([&]() -> HRESULT {
        std::wstring name, address;
        bool hasName = false, hasAddress = false;
        HRESULT hr = ReadText(*attached_->item.Get(), PR_SENDER_NAME_W, name, &hasName);
        if (SUCCEEDED(hr)) hr = ReadText(*attached_->item.Get(), PR_SENDER_EMAIL_ADDRESS_W, address, &hasAddress);
        if (FAILED(hr)) return Raise(hr, L"The sender could not be read.");
        if (!hasName && !hasAddress) return S_OK;  // Nothing: an item nobody has sent yet
        return HandOut<AddressEntry>(entry, std::move(name), std::move(address));
    });
}

STDMETHODIMP MailItem::get_Recipients(IDispatch** recipients) noexcept {
    if (!recipients) return E_POINTER;
    *recipients = nullptr;
    if (!attached_) return NotAttached();
    return com::Guarded([&] { return HandOut<MailRecipients>(recipients, attached_); });
}

STDMETHODIMP MailItem::Send() noexcept {
    NoteInJournal(L"Send");
    if (!attached_) return NotAttached();
    HRESULT hr = attached_->item->Submit();
    if (FAILED(hr)) return Raise(hr, SendFailure(hr));
    attached_->unsaved = false;  // submitted with everything written
    return S_OK;
}

STDMETHODIMP MailItem::Save() noexcept {
    NoteInJournal(L"Save");
    if (!attached_) return NotAttached();
    // Stores whatever the item holds, written here or not.
    HRESULT hr = attached_->item->SaveChanges();
    if (FAILED(hr)) return Raise(hr, L"The item could not be saved.");
    attached_->unsaved = false;
    return S_OK;
}

STDMETHODIMP MailItem::DeleteProperty(LONG tag) noexcept {
    if (!attached_) return NotAttached();
    HRESULT hr = attached_->item->DeleteProperty(static_cast<ULONG>(tag));
    if (FAILED(hr)) return Raise(hr, L"The property could not be deleted.");
    attached_->unsaved = true;
    return S_OK;
}

// ---- AddressEntry ----

STDMETHODIMP AddressEntry::get_Name(BSTR* name) noexcept { return name ? CopyText(name_, name) : E_POINTER; }
STDMETHODIMP AddressEntry::get_Address(BSTR* address) noexcept {
    return address ? CopyText(address_, address) : E_POINTER;
}

// ---- MailRecipients ----

STDMETHODIMP MailRecipients::get_Count(LONG* count) noexcept {
    if (!count) return E_POINTER;
    *count = 0;
    HRESULT hr = attached_->item->GetRecipientCount(count);
    return FAILED(hr) ? Raise(hr, L"The recipients could not be read.") : S_OK;
}

STDMETHODIMP MailRecipients::Add(BSTR address, IDispatch** recipient) noexcept {
    if (!recipient) return E_POINTER;
    *recipient = nullptr;
    return com::Guarded([&]() -> HRESULT {
        const std::wstring name = TextOf(address);
        if (name.empty()) return Raise(E_INVALIDARG, L"No address was given.");
        LONG index = -1;
        HRESULT hr = attached_->item->AddRecipient(name.c_str(), &index);
        if (FAILED(hr)) return Raise(hr, L"The recipient could not be added.");
        attached_->unsaved = true;
        return HandOut<MailRecipient>(recipient, attached_, index);
    });
}

STDMETHODIMP MailRecipients::Item(LONG index, IDispatch** recipient) noexcept {
    if (!recipient) return E_POINTER;
    *recipient = nullptr;
    return com::Guarded([&]() -> HRESULT {
        LONG count = 0;
        HRESULT hr = attached_->item->GetRecipientCount(&count);
        if (FAILED(hr)) return Raise(hr, L"The recipients could not be read.");
        if (index < 1 || index > count) return Raise(DISP_E_BADINDEX, L"There is no recipient at this position.");
        return HandOut<MailRecipient>(recipient, attached_, index - 1);
    });
}

// ---- MailRecipient ----

HRESULT MailRecipient::Read(BSTR* name, BSTR* address, LONG* type) noexcept {
    com::Bstr n, a;
    LONG t = 0;
    HRESULT hr = attached_->item->GetRecipient(index_, n.Out(), a.Out(), &t);
    if (FAILED(hr)) return Raise(hr, L"The recipient could not be read.");
    if (name) *name = n.Detach();
    if (address) *address = a.Detach();
    if (type) *type = t;
    return S_OK;
}

STDMETHODIMP MailRecipient::get_Name(BSTR* name) noexcept {
    if (!name) return E_POINTER;
    *name = nullptr;
    return Read(name, nullptr, nullptr);
}

STDMETHODIMP MailRecipient::get_Address(BSTR* address) noexcept {
    if (!address) return E_POINTER;
    *address = nullptr;
    return Read(nullptr, address, nullptr);
}

STDMETHODIMP MailRecipient::get_RecipientType(LONG* type) noexcept {
    if (!type) return E_POINTER;
    *type = 0;
    return Read(nullptr, nullptr, type);
}

STDMETHODIMP MailRecipient::put_RecipientType(LONG type) noexcept {
    HRESULT hr = attached_->item->SetRecipientType(index_, type);
    if (FAILED(hr)) return Raise(hr, L"The recipient type could not be set.");
    attached_->unsaved = true;
    return S_OK;
}

STDMETHODIMP MailRecipient::Resolve(VARIANT_BOOL, VARIANT_BOOL* resolved) noexcept {
    if (!resolved) return E_POINTER;
    *resolved = VARIANT_FALSE;
    HRESULT hr = attached_->item->ResolveRecipient(index_);
    if (hr == MAPI_E_NOT_FOUND) return S_OK;
    if (FAILED(hr)) return Raise(hr, L"The recipient could not be resolved.");
    attached_->unsaved = true;
    *resolved = VARIANT_TRUE;
    return S_OK;
}

}  // namespace vantrell::sim::helper
