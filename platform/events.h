#pragma once
// The with-events field: a member that holds an event source and keeps its owner's handlers
// connected to it. Assigning another object moves the subscription; assigning nothing drops
// it. The sink knows its owner only through the handlers the owner registered, and the field
// cuts them off when it is destroyed, so a source that still holds the sink calls nothing.
#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <utility>
#include <vector>

#include "platform/com_object.h"
#include "platform/com_ptr.h"
#include "platform/variant.h"

namespace vantrell::com {

// The arguments of one event call, in the order the event's signature lists them.
class EventArgs {
public:
    explicit EventArgs(DISPPARAMS& params) noexcept : params_(params) {}
    UINT Count() const noexcept { return params_.cArgs; }
    // The argument at `index` (0 = first in the signature), looking through VT_BYREF|VT_VARIANT.
    const VARIANT* At(UINT index) const noexcept;
    Ptr<IDispatch> Object(UINT index) const;
    Variant Value(UINT index) const;
    // Writes a Boolean through a by-reference argument (Cancel, CancelDefault); false if the
    // argument is not a by-reference Boolean.
    bool SetBool(UINT index, bool value) const noexcept;

private:
    DISPPARAMS& params_;
};

using EventHandler = std::function<void(const EventArgs&)>;

class EventSink : public Object<IDispatch> {
public:
    EventSink(const IID& primary, const IID& fallback) noexcept : primary_(primary), fallback_(fallback) {}

    void On(DISPID id, EventHandler handler);
    // Cuts the sink off from its owner: later calls reach no handler.
    void Detach() noexcept { handlers_.clear(); }
    const IID& Primary() const noexcept { return primary_; }
    const IID& Fallback() const noexcept { return fallback_; }

    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) noexcept override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) noexcept override;

protected:
    void* QueryOther(REFIID iid) noexcept override;

private:
    IID primary_;
    IID fallback_;
    std::vector<std::pair<DISPID, EventHandler>> handlers_;
};

// One advise on one connection point; move-only; unadvises when reset or destroyed.
class Subscription {
public:
    Subscription() noexcept = default;
    Subscription(Subscription&& other) noexcept;
    Subscription& operator=(Subscription&& other) noexcept;
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { Reset(); }

    // Advises `sink` on the source's connection point for `iid`; S_OK or the failure.
    HRESULT Advise(IUnknown* source, const IID& iid, IUnknown* sink) noexcept;
    void Reset() noexcept;
    bool Active() const noexcept { return cookie_ != 0; }
    DWORD Cookie() const noexcept { return cookie_; }

private:
    Ptr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

class WithEvents {
public:
    // `fallback` is tried when the source refuses `primary` (IID_NULL: no fallback).
    explicit WithEvents(const IID& primary, const IID& fallback = IID_NULL);
    ~WithEvents();
    WithEvents(const WithEvents&) = delete;
    WithEvents& operator=(const WithEvents&) = delete;

    template <class Owner>
    void On(DISPID id, Owner* owner, void (Owner::*handler)(const EventArgs&)) {
        sink_->On(id, [owner, handler](const EventArgs& args) { (owner->*handler)(args); });
    }
    // A handler that is not a member of the owner; it must not outlive what it refers to (the
    // field cuts it off when destroyed).
    void On(DISPID id, EventHandler handler) { sink_->On(id, std::move(handler)); }

    // Holds `object` and subscribes to it (dropping the old subscription first). The object
    // is held even when it offers no connection (its events are then not heard); the result
    // says whether the subscription took.
    HRESULT Set(Ptr<IDispatch> object);
    // Unsubscribes and lets go of the object.
    void Reset() noexcept;

    const Ptr<IDispatch>& Object() const noexcept { return object_; }
    explicit operator bool() const noexcept { return static_cast<bool>(object_); }
    bool Subscribed() const noexcept { return subscription_.Active(); }
    // The event interface the subscription took (the primary or the fallback), IID_NULL if none.
    const IID& Connected() const noexcept { return connected_; }

private:
    Ptr<EventSink> sink_;
    Ptr<IDispatch> object_;
    Subscription subscription_;
    IID connected_ = IID_NULL;
};

}  // namespace vantrell::com
