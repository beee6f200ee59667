#pragma once
// The stand-in helper component's objects. They answer IDispatch by name from the component's
// own type library and reach the simulated message store only through its private COM
// interfaces (sim_store.idl), never through C++: the simulator is another module.
#include <windows.h>
#include <ole2.h>

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

// "Ostrabin.OsbMailItem": creatable; its members come with the mail work.
class MailItem : public com::Object<com::TypeLibDispatch<IOsbMailItem>> {};

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
