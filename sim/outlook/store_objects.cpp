#include "sim/outlook/store_objects.h"

#include <mapidefs.h>
#include <mapicode.h>
#include <mapitags.h>

#include <algorithm>

#include "sim/outlook/host.h"
#include "sim/outlook/item_objects.h"
#include "sim/outlook/members.h"
#include "sim/outlook/transport.h"

namespace vantrell::sim {
namespace {

constexpr DISPID kCount = 0x50;
constexpr DISPID kItem = 0x51;

HRESULT CopyText(const std::wstring& text, BSTR* out) {
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

StoreData& StoreOf(Host& host) noexcept { return host.Store(); }

// ---- MAPIFolder ----

FolderObject::FolderObject(Host* host, long number) : StoreObject(host, L"MAPIFolder"), number_(number) {
    Add(Property(L"Name", 0x3001, [this] { return com::Variant(Data().name); }));
    Add(Property(L"EntryID", 0xF01E, [this] { return com::Variant(Data().entryId); }));
    Add(Property(L"StoreID", 0x3108, [this] { return com::Variant(host_->Store().StoreId()); }));
    Add(Property(L"Items", 0x3100, [this] { return NewObject<ItemsObject>(host_, number_); }));
}

FolderData& FolderObject::Data() const {
    FolderData* folder = host_->Store().Folder(number_);
    if (!folder) throw Raised{MAPI_E_NOT_FOUND, L"The folder does not exist."};
    return *folder;
}

STDMETHODIMP FolderObject::GetEntryID(BSTR* entryId) noexcept {
    return OnStore(L"GetEntryID", [&](StoreData&) { return CopyText(Data().entryId, entryId); });
}

STDMETHODIMP FolderObject::GetHiddenItemCount(LONG* count) noexcept {
    if (!count) return E_POINTER;
    *count = 0;
    return OnStore(L"GetHiddenItemCount", [&](StoreData&) {
        *count = static_cast<LONG>(Data().hidden.size());
        return S_OK;
    });
}

STDMETHODIMP FolderObject::OpenHiddenItem(LONG index, ISimStoreItem** item) noexcept {
    if (!item) return E_POINTER;
    *item = nullptr;
    return OnStore(L"OpenHiddenItem", [&](StoreData&) -> HRESULT {
        const auto& hidden = Data().hidden;
        if (index < 0 || static_cast<size_t>(index) >= hidden.size()) return E_INVALIDARG;
        *item = com::Make<ItemObject>(host_, hidden[index]).Detach();
        return S_OK;
    });
}

STDMETHODIMP FolderObject::CreateHiddenItem(LPCWSTR messageClass, ISimStoreItem** item) noexcept {
    if (!item) return E_POINTER;
    *item = nullptr;
    return OnStore(L"CreateHiddenItem", [&](StoreData& store) -> HRESULT {
        Data();  // the folder must exist
        auto message = store.NewMessage(number_, true, messageClass ? messageClass : L"");
        *item = com::Make<ItemObject>(host_, std::move(message)).Detach();
        return S_OK;
    });
}

// ---- Items ----

ItemsObject::ItemsObject(Host* host, long folder) : OutlookObject(host, L"Items"), folder_(folder) {
    auto items = [this]() -> const std::vector<std::shared_ptr<MessageData>>& {
        FolderData* folder = host_->Store().Folder(folder_);
        if (!folder) throw Raised{MAPI_E_NOT_FOUND, L"The folder does not exist."};
        return folder->items;
    };
    Add(Property(L"Count", kCount, [items] { return com::Variant(static_cast<long>(items().size())); }));
    // Item(Index): a 1-based position, or the subject of an item.
    Add(Method(L"Item", kItem, {VT_VARIANT}, [this, items](const Args& args) {
        const auto& list = items();
        const VARIANT* index = args[0].Get();
        if (V_VT(index) == VT_BSTR) {
            const wchar_t* subject = V_BSTR(index) ? V_BSTR(index) : L"";
            for (const auto& message : list)
                if (_wcsicmp(TextOf(message->properties, PROP_ID(PR_SUBJECT_W)).c_str(), subject) == 0)
                    return NewObject<ItemObject>(host_, message);
            throw Raised{MAPI_E_NOT_FOUND, L"The attempted operation failed.  An object could not be found."};
        }
        return NewObject<ItemObject>(host_, list[ItemPosition(index, list.size())]);
    }));
}

// ---- sessions ----

SessionObject::SessionObject(Host* host) : StoreObject(host, L"Session") {}

STDMETHODIMP SessionObject::FlushOutbox(LONG flags, LONG parentWindow) noexcept {
    return OnStore(L"FlushOutbox", [&](StoreData& store) {
        store.NoteSessionCall(L"FlushOutbox " + std::to_wstring(flags) + L" " + std::to_wstring(parentWindow));
        DeliverOutbox(store);
        return S_OK;
    });
}

STDMETHODIMP SessionObject::Logoff() noexcept {
    return OnStore(L"Logoff", [&](StoreData& store) {
        store.NoteSessionCall(L"Logoff");
        return S_OK;
    });
}

namespace {

// The simulated Outlooks alive now, most recent last, and the class object that answers for them
// (registered in this apartment while any lives).
std::vector<Host*> g_liveHosts;
DWORD g_sessionClassCookie = 0;

class SessionClass : public com::Object<IClassFactory> {
public:
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (g_liveHosts.empty()) return REGDB_E_CLASSNOTREG;
        return com::Guarded([&] { return com::Make<SessionObject>(g_liveHosts.back())->QueryInterface(iid, out); });
    }
    STDMETHODIMP LockServer(BOOL) noexcept override { return S_OK; }
};

}  // namespace

void PublishSession(Host* host) {
    g_liveHosts.push_back(host);
    if (g_sessionClassCookie) return;
    auto factory = com::Make<SessionClass>();
    if (FAILED(CoRegisterClassObject(CLSID_SimStoreSession, static_cast<IUnknown*>(factory.Get()),
                                     CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &g_sessionClassCookie)))
        g_sessionClassCookie = 0;  // COM is not running on this thread: nobody can ask either
}

void WithdrawSession(Host* host) noexcept {
    g_liveHosts.erase(std::remove(g_liveHosts.begin(), g_liveHosts.end(), host), g_liveHosts.end());
    if (g_liveHosts.empty() && g_sessionClassCookie) {
        CoRevokeClassObject(g_sessionClassCookie);
        g_sessionClassCookie = 0;
    }
}

}  // namespace vantrell::sim
