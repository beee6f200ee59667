#include "sim/helper/helper_objects.h"

#include <mapidefs.h>
#include <mapicode.h>
#include <mapitags.h>

#include <string>

#include "platform/variant.h"
#include "sim/helper/helper_support.h"

namespace vantrell::sim::helper {
// ---- shared ----

HRESULT Raise(HRESULT hr, const wchar_t* description) noexcept {
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetSource(const_cast<LPOLESTR>(L"Ostrabin.OsbHelper"));
        create->SetDescription(const_cast<LPOLESTR>(description));
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    return hr;
}

std::wstring TextOf(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }

HRESULT CopyText(const std::wstring& text, BSTR* out) noexcept {
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

bool PropertySetOf(BSTR text, GUID& propertySet) {
    std::wstring guid = TextOf(text);
    if (!guid.empty() && guid.front() != L'{') guid = L"{" + guid + L"}";
    return SUCCEEDED(IIDFromString(guid.c_str(), &propertySet));
}

// ---- Folder ----

STDMETHODIMP Folder::Attach(IDispatch* folder) noexcept {
    if (!folder) return Raise(E_INVALIDARG, L"No folder was given.");
    com::Ptr<ISimStoreFolder> store;
    if (FAILED(folder->QueryInterface(IID_ISimStoreFolder, reinterpret_cast<void**>(store.ReleaseAndGetAddressOf()))) ||
        !store)
        return Raise(E_INVALIDARG, L"The object is not a folder of the message store.");
    folder_ = std::move(store);
    return S_OK;
}

STDMETHODIMP Folder::get_HiddenItems(IDispatch** items) noexcept {
    if (!items) return E_POINTER;
    *items = nullptr;
    if (!folder_) return S_OK;  // Nothing until a folder is attached
    return com::Guarded([&] { return HandOut<HiddenItems>(items, folder_); });
}

// ---- HiddenItems ----

STDMETHODIMP HiddenItems::FindBySubject(BSTR subject, IDispatch** item) noexcept {
    if (!item) return E_POINTER;
    *item = nullptr;
    return com::Guarded([&]() -> HRESULT {
        const std::wstring wanted = TextOf(subject);
        LONG count = 0;
        HRESULT hr = folder_->GetHiddenItemCount(&count);
        if (FAILED(hr)) return Raise(hr, L"The folder's hidden items could not be read.");
        for (LONG i = 0; i < count; ++i) {
            com::Ptr<ISimStoreItem> candidate;
            hr = folder_->OpenHiddenItem(i, candidate.ReleaseAndGetAddressOf());
            if (FAILED(hr)) return Raise(hr, L"A hidden item could not be opened.");
            com::Variant found;
            hr = candidate->GetProperty(PR_SUBJECT_W, found.Out());
            if (hr == MAPI_E_NOT_FOUND) continue;
            if (FAILED(hr)) return Raise(hr, L"The subject of a hidden item could not be read.");
            if (found.Type() == VT_BSTR && _wcsicmp(TextOf(V_BSTR(found.Get())).c_str(), wanted.c_str()) == 0)
                return HandOut<HiddenItem>(item, std::move(candidate));
        }
        return S_OK;  // Nothing
    });
}

STDMETHODIMP HiddenItems::AddItem(BSTR messageClass, IDispatch** item) noexcept {
    if (!item) return E_POINTER;
    *item = nullptr;
    return com::Guarded([&]() -> HRESULT {
        com::Ptr<ISimStoreItem> created;
        HRESULT hr = folder_->CreateHiddenItem(TextOf(messageClass).c_str(), created.ReleaseAndGetAddressOf());
        if (FAILED(hr)) return Raise(hr, L"The hidden item could not be created.");
        return HandOut<HiddenItem>(item, std::move(created));
    });
}

// ---- HiddenItem ----

HiddenItem::~HiddenItem() {
    if (unsaved_) item_->SaveChanges();
}

STDMETHODIMP HiddenItem::get_Subject(BSTR* subject) noexcept {
    if (!subject) return E_POINTER;
    *subject = nullptr;
    com::Variant value;
    HRESULT hr = item_->GetProperty(PR_SUBJECT_W, value.Out());
    if (hr == MAPI_E_NOT_FOUND) return CopyText(L"", subject);
    if (FAILED(hr)) return Raise(hr, L"The subject could not be read.");
    if (value.Type() != VT_BSTR) return Raise(MAPI_E_BAD_VALUE, L"The subject is not text.");
    *subject = V_BSTR(value.GetMutable());
    V_VT(value.GetMutable()) = VT_EMPTY;  // the caller owns the text now
    return S_OK;
}

STDMETHODIMP HiddenItem::put_Subject(BSTR subject) noexcept {
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = subject;  // lent for the call
    HRESULT hr = item_->SetProperty(PR_SUBJECT_W, &value);
    if (FAILED(hr)) return Raise(hr, L"The subject could not be written.");
    unsaved_ = true;
    return S_OK;
}

STDMETHODIMP HiddenItem::NamedTag(BSTR propSetGuid, BSTR name, LONG* tag) noexcept {
    if (!tag) return E_POINTER;
    *tag = 0;
    return com::Guarded([&]() -> HRESULT {
        GUID propertySet;
        if (!PropertySetOf(propSetGuid, propertySet)) return Raise(E_INVALIDARG, L"The property set is not a GUID.");
        const std::wstring named = TextOf(name);
        if (named.empty()) return Raise(E_INVALIDARG, L"The property has no name.");
        ULONG id = 0;
        HRESULT hr = item_->GetIDFromName(propertySet, named.c_str(), TRUE, &id);
        if (FAILED(hr)) return Raise(hr, L"The named property could not be mapped.");
        *tag = static_cast<LONG>(PROP_TAG(PT_UNSPECIFIED, id));
        return S_OK;
    });
}

STDMETHODIMP HiddenItem::GetProperty(LONG tag, VARIANT* value) noexcept {
    if (!value) return E_POINTER;
    VariantInit(value);
    HRESULT hr = item_->GetProperty(static_cast<ULONG>(tag), value);
    if (hr == MAPI_E_NOT_FOUND) return Raise(hr, L"The property was not found.");
    if (FAILED(hr)) return Raise(hr, L"The property could not be read.");
    return S_OK;
}

STDMETHODIMP HiddenItem::SetProperty(LONG tag, VARIANT value) noexcept {
    HRESULT hr = item_->SetProperty(static_cast<ULONG>(tag), &value);
    if (FAILED(hr)) return Raise(hr, L"The property could not be written.");
    unsaved_ = true;
    return S_OK;
}

STDMETHODIMP HiddenItem::Save() noexcept {
    HRESULT hr = item_->SaveChanges();
    if (FAILED(hr)) return Raise(hr, L"The item could not be saved.");
    unsaved_ = false;
    return S_OK;
}

// ---- Utils ----

Utils::Utils() noexcept { Open(); }

HRESULT Utils::Open() noexcept {
    if (session_) return S_OK;
    HRESULT hr = CoCreateInstance(CLSID_SimStoreSession, nullptr, CLSCTX_INPROC_SERVER, IID_ISimStoreSession,
                                  reinterpret_cast<void**>(session_.ReleaseAndGetAddressOf()));
    // No Outlook runs, so there is no profile to log on to.
    return hr == REGDB_E_CLASSNOTREG ? MAPI_E_NOT_INITIALIZED : hr;
}

STDMETHODIMP Utils::DeliverNow(LONG flags, LONG parentWindow) noexcept {
    HRESULT hr = Open();
    if (FAILED(hr)) return Raise(hr, L"The message store is not available.");
    hr = session_->FlushOutbox(flags, parentWindow);
    if (FAILED(hr)) return Raise(hr, L"The outbox could not be sent.");
    return S_OK;
}

STDMETHODIMP Utils::Cleanup() noexcept {
    if (com::Ptr<ISimStoreSession> session = std::move(session_)) session->Logoff();
    return S_OK;
}

}  // namespace vantrell::sim::helper
