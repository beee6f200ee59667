#pragma once
// The message store in the simulated Outlook's object model: MAPIFolder and Items (the items
// themselves are in item_objects.h), each also answering the store's private interface
// (sim_store.idl) to QueryInterface, and the session the private session class hands out.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "sim/outlook/outlook_object.h"
#include "sim/outlook/store_data.h"
#include "sim_store.h"

namespace vantrell::sim {

// The store of a live simulated Outlook.
StoreData& StoreOf(Host& host) noexcept;

// A simulated object that also answers one private store interface, with one identity.
template <class Private>
class StoreObject : public OutlookObject, public Private {
public:
    using OutlookObject::OutlookObject;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override { return SimObject::QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return SimObject::AddRef(); }
    STDMETHODIMP_(ULONG) Release() noexcept override { return SimObject::Release(); }

protected:
    void* QueryOther(REFIID iid) noexcept override {
        return IsEqualIID(iid, __uuidof(Private)) ? static_cast<Private*>(this) : nullptr;
    }
    // Runs the private method `method` on the store: RPC_E_DISCONNECTED once the simulated
    // Outlook has gone, and no C++ exception gets out. The call takes the checked path of the
    // object model's members as member L"Store.<method>" of the object's kind (recorded, and
    // failing with the fault's HRESULT itself when one is set: Outlook::FailMember, FailOnce).
    template <class Body>
    HRESULT OnStore(const wchar_t* method, Body&& body) noexcept {
        if (!this->host_) return RPC_E_DISCONNECTED;
        return com::Guarded([&]() -> HRESULT {
            if (std::optional<Raised> fault = this->home_->Enter(this->Kind(), std::wstring(L"Store.") + method))
                return fault->code;
            return body(StoreOf(*this->host_));
        });
    }
};

// One of the mailbox's folders (kind "MAPIFolder"): Name, EntryID, StoreID, Items.
class FolderObject : public StoreObject<ISimStoreFolder> {
public:
    FolderObject(Host* host, long number);

    STDMETHODIMP GetEntryID(BSTR* entryId) noexcept override;
    STDMETHODIMP GetHiddenItemCount(LONG* count) noexcept override;
    STDMETHODIMP OpenHiddenItem(LONG index, ISimStoreItem** item) noexcept override;
    STDMETHODIMP CreateHiddenItem(LPCWSTR messageClass, ISimStoreItem** item) noexcept override;

private:
    FolderData& Data() const;
    long number_;
};

// A folder's ordinary items (kind "Items"): Count, Item(index or subject).
class ItemsObject : public OutlookObject {
public:
    ItemsObject(Host* host, long folder);

private:
    long folder_;
};

// A session on the mailbox, for the private session class.
class SessionObject : public StoreObject<ISimStoreSession> {
public:
    explicit SessionObject(Host* host);

    STDMETHODIMP FlushOutbox(LONG flags, LONG parentWindow) noexcept override;
    STDMETHODIMP Logoff() noexcept override;
};

// While a simulated Outlook lives, the private session class answers with a session on its
// mailbox (the most recently started one's when several live).
void PublishSession(Host* host);
void WithdrawSession(Host* host) noexcept;

}  // namespace vantrell::sim
