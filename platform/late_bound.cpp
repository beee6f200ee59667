#include "platform/late_bound.h"

#include <objbase.h>

#include "platform/failure.h"

namespace vantrell::com {

DispatchArguments::DispatchArguments(std::initializer_list<Variant> args, const Variant* putValue) {
    slots_.reserve(args.size() + 1);
    if (putValue) slots_.push_back(*putValue);
    for (auto it = std::rbegin(args); it != std::rend(args); ++it) slots_.push_back(*it);
    static_assert(sizeof(Variant) == sizeof(VARIANT), "a Variant is laid out as its VARIANT");
    params_.cArgs = static_cast<UINT>(slots_.size());
    params_.rgvarg = slots_.empty() ? nullptr : slots_.front().GetMutable();
    if (putValue) {
        params_.cNamedArgs = 1;
        params_.rgdispidNamedArgs = &putId_;
    }
}

bool LateBound::IdOf(std::wstring_view name, DISPID& id) {
    if (!object_) {
        RecordFailure(static_cast<long>(E_POINTER), L"Object variable not set", std::wstring(name));
        return false;
    }
    for (const auto& entry : ids_) {
        if (entry.first == name) {
            id = entry.second;
            return true;
        }
    }
    std::wstring text(name);
    LPOLESTR names[] = {text.data()};
    HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
        RecordHResult(hr, std::move(text));
        return false;
    }
    ids_.emplace_back(std::move(text), id);
    return true;
}

Variant LateBound::Invoke(std::wstring_view name, WORD flags, const Variant* value,
                          std::initializer_list<Variant> args, bool& ok) {
    ok = false;
    Variant result;
    DISPID id = DISPID_UNKNOWN;
    if (!IdOf(name, id)) return result;
    DispatchArguments arguments(args, value);
    ExcepInfo exception;
    UINT badArgument = 0;
    // The host may release its last reference to itself while we call it.
    Ptr<IDispatch> keep(object_);
    HRESULT hr = keep->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, arguments.Params(),
                              value ? nullptr : result.Out(), exception.Out(), &badArgument);
    if (hr == DISP_E_EXCEPTION) {
        HRESULT code = exception.Code(hr);
        RecordFailure(static_cast<long>(code), exception.Description(), std::wstring(name));
        return Variant();
    }
    if (FAILED(hr)) {
        RecordHResult(hr, std::wstring(name));
        return Variant();
    }
    ok = true;
    return result;
}

namespace {
// The class of a ProgID; false, with the failure recorded, when it is not registered.
bool ClassOf(const std::wstring& progId, CLSID& clsid) {
    HRESULT hr = CLSIDFromProgID(progId.c_str(), &clsid);
    if (SUCCEEDED(hr)) return true;
    RecordHResult(hr, progId);
    return false;
}
}  // namespace

LateBound CreateObject(std::wstring_view progId) {
    std::wstring name(progId);
    CLSID clsid;
    if (!ClassOf(name, clsid)) return {};
    Ptr<IDispatch> object;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                  reinterpret_cast<void**>(object.ReleaseAndGetAddressOf()));
    if (FAILED(hr)) {
        RecordHResult(hr, name);
        return {};
    }
    return LateBound(std::move(object));
}

LateBound GetActiveObjectOf(std::wstring_view progId) {
    std::wstring name(progId);
    CLSID clsid;
    if (!ClassOf(name, clsid)) return {};
    Ptr<IUnknown> running;
    HRESULT hr = GetActiveObject(clsid, nullptr, running.ReleaseAndGetAddressOf());
    Ptr<IDispatch> object;
    if (SUCCEEDED(hr)) hr = running->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(object.ReleaseAndGetAddressOf()));
    if (FAILED(hr)) {
        RecordHResult(hr, name);
        return {};
    }
    return LateBound(std::move(object));
}

Variant LateBound::Get(std::wstring_view name, std::initializer_list<Variant> args) {
    bool ok = false;
    return Invoke(name, DISPATCH_PROPERTYGET, nullptr, args, ok);
}

bool LateBound::Put(std::wstring_view name, const Variant& value, std::initializer_list<Variant> args) {
    bool ok = false;
    Invoke(name, DISPATCH_PROPERTYPUT, &value, args, ok);
    return ok;
}

bool LateBound::PutRef(std::wstring_view name, const Variant& value, std::initializer_list<Variant> args) {
    bool ok = false;
    Invoke(name, DISPATCH_PROPERTYPUTREF, &value, args, ok);
    return ok;
}

bool LateBound::TryGet(std::wstring_view name, Variant& result) {
    bool ok = false;
    result = Invoke(name, DISPATCH_PROPERTYGET, nullptr, {}, ok);
    return ok;
}

bool LateBound::TryCall(std::wstring_view name, std::initializer_list<Variant> args, Variant& result) {
    bool ok = false;
    result = Invoke(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, nullptr, args, ok);
    return ok;
}

Variant LateBound::Call(std::wstring_view name, std::initializer_list<Variant> args) {
    bool ok = false;
    return Invoke(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, nullptr, args, ok);
}

}  // namespace vantrell::com
