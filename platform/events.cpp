#include "platform/events.h"

#include <olectl.h>

namespace vantrell::com {

// ---- EventArgs ----

const VARIANT* EventArgs::At(UINT index) const noexcept {
    if (index >= params_.cArgs) return nullptr;
    // IDispatch passes arguments last-first.
    const VARIANT* v = &params_.rgvarg[params_.cArgs - 1 - index];
    if (V_VT(v) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    return v;
}

Ptr<IDispatch> EventArgs::Object(UINT index) const {
    const VARIANT* v = At(index);
    return v ? Variant(*v).ToDispatch() : Ptr<IDispatch>();
}

Variant EventArgs::Value(UINT index) const {
    const VARIANT* v = At(index);
    return v ? Variant(*v) : Variant();
}

bool EventArgs::SetBool(UINT index, bool value) const noexcept {
    const VARIANT* v = At(index);
    if (!v || V_VT(v) != (VT_BOOL | VT_BYREF) || !V_BOOLREF(v)) return false;
    *V_BOOLREF(v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return true;
}

// ---- EventSink ----

void EventSink::On(DISPID id, EventHandler handler) { handlers_.emplace_back(id, std::move(handler)); }

void* EventSink::QueryOther(REFIID iid) noexcept {
    if (IsEqualIID(iid, primary_) || (!IsEqualIID(fallback_, IID_NULL) && IsEqualIID(iid, fallback_)))
        return static_cast<IDispatch*>(this);
    return nullptr;
}

STDMETHODIMP EventSink::GetTypeInfoCount(UINT* count) noexcept {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** out) noexcept {
    if (out) *out = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept {
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                               UINT*) noexcept {
    if (result) VariantInit(result);
    // A handler may drop the subscription that brought it here, and with it the source's
    // reference to this sink: stay alive until the call is over.
    Ptr<EventSink> keep(this);
    try {
        EventHandler handler;
        for (const auto& entry : handlers_) {
            if (entry.first == id) {
                handler = entry.second;
                break;
            }
        }
        if (handler) {
            DISPPARAMS none{};
            EventArgs args(params ? *params : none);
            handler(args);
        }
    } catch (...) {
        // An event handler's failure stays inside the add-in.
    }
    return S_OK;
}

// ---- Subscription ----

Subscription::Subscription(Subscription&& other) noexcept
    : point_(std::move(other.point_)), cookie_(std::exchange(other.cookie_, 0)) {}

Subscription& Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        Reset();
        point_ = std::move(other.point_);
        cookie_ = std::exchange(other.cookie_, 0);
    }
    return *this;
}

HRESULT Subscription::Advise(IUnknown* source, const IID& iid, IUnknown* sink) noexcept {
    Reset();
    if (!source || !sink) return E_POINTER;
    Ptr<IConnectionPointContainer> container;
    HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer,
                                        reinterpret_cast<void**>(container.ReleaseAndGetAddressOf()));
    if (FAILED(hr)) return hr;
    Ptr<IConnectionPoint> point;
    hr = container->FindConnectionPoint(iid, point.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    if (!point) return CONNECT_E_NOCONNECTION;
    DWORD cookie = 0;
    hr = point->Advise(sink, &cookie);
    if (FAILED(hr)) return hr;
    point_ = std::move(point);
    cookie_ = cookie;
    return S_OK;
}

void Subscription::Reset() noexcept {
    DWORD cookie = std::exchange(cookie_, 0);
    Ptr<IConnectionPoint> point(std::move(point_));
    if (point && cookie) point->Unadvise(cookie);
}

// ---- WithEvents ----

WithEvents::WithEvents(const IID& primary, const IID& fallback) : sink_(Make<EventSink>(primary, fallback)) {}

WithEvents::~WithEvents() {
    Reset();
    sink_->Detach();
}

HRESULT WithEvents::Set(Ptr<IDispatch> object) {
    Reset();
    object_ = std::move(object);
    if (!object_) return S_OK;
    IUnknown* sink = static_cast<IDispatch*>(sink_.Get());
    HRESULT hr = subscription_.Advise(object_.Get(), sink_->Primary(), sink);
    if (SUCCEEDED(hr)) {
        connected_ = sink_->Primary();
        return hr;
    }
    if (!IsEqualIID(sink_->Fallback(), IID_NULL)) {
        HRESULT fallback = subscription_.Advise(object_.Get(), sink_->Fallback(), sink);
        if (SUCCEEDED(fallback)) {
            connected_ = sink_->Fallback();
            return fallback;
        }
    }
    return hr;
}

void WithEvents::Reset() noexcept {
    subscription_.Reset();
    connected_ = IID_NULL;
    // Release the object after the subscription, and clear the member before releasing.
    Ptr<IDispatch> old(std::move(object_));
}

}  // namespace vantrell::com
