#pragma once
// Late-bound calls by name over IDispatch, the only way the add-in talks to Outlook, Office
// and Word. Every failure (no such member, a refused argument, an exception raised by the
// host) is recorded as the pending failure and gives an empty result, so the caller's next
// statement runs.
#include <windows.h>
#include <oaidl.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/com_ptr.h"
#include "platform/variant.h"

namespace vantrell::com {

class LateBound {
public:
    LateBound() = default;
    explicit LateBound(Ptr<IDispatch> object) : object_(std::move(object)) {}
    // An object held in a variant; empty (and a pending failure) when it holds no object.
    explicit LateBound(const Variant& value) : object_(value.ToDispatch()) {}

    explicit operator bool() const noexcept { return static_cast<bool>(object_); }
    IDispatch* Get() const noexcept { return object_.Get(); }
    const Ptr<IDispatch>& Pointer() const noexcept { return object_; }
    void Reset() noexcept {
        object_.Reset();
        ids_.clear();
    }

    // Property get: obj.Name(args...).
    Variant Get(std::wstring_view name, std::initializer_list<Variant> args = {});
    // The same, telling whether the read itself worked (its failure is recorded either way).
    bool TryGet(std::wstring_view name, Variant& result);
    // Property put: obj.Name(args...) = value.
    bool Put(std::wstring_view name, const Variant& value, std::initializer_list<Variant> args = {});
    // Property put by reference: Set obj.Name(args...) = value.
    bool PutRef(std::wstring_view name, const Variant& value, std::initializer_list<Variant> args = {});
    // Method call: obj.Name(args...), with its result (Empty for none).
    Variant Call(std::wstring_view name, std::initializer_list<Variant> args = {});
    // The same, telling whether the call itself worked (its failure is recorded either way).
    bool TryCall(std::wstring_view name, std::initializer_list<Variant> args, Variant& result);

    // The DISPID of a member (cached after the first lookup); false and a pending failure
    // when the object has no such member.
    bool IdOf(std::wstring_view name, DISPID& id);

private:
    Variant Invoke(std::wstring_view name, WORD flags, const Variant* value, std::initializer_list<Variant> args,
                   bool& ok);

    Ptr<IDispatch> object_;
    std::vector<std::pair<std::wstring, DISPID>> ids_;
};

// Creates an object by its ProgID, as CreateObject does; empty, with the failure recorded,
// when the class is not registered or refuses to be made.
LateBound CreateObject(std::wstring_view progId);
// The running instance registered for a ProgID, as GetObject(, progId) finds it; never starts
// the program. Empty, with the failure recorded, when it is not running.
LateBound GetActiveObjectOf(std::wstring_view progId);

// The pieces of one IDispatch::Invoke: arguments are given in source order and stored in the
// reverse order IDispatch expects; a put adds its value as the named DISPID_PROPERTYPUT.
class DispatchArguments {
public:
    DispatchArguments(std::initializer_list<Variant> args, const Variant* putValue);
    DispatchArguments(const DispatchArguments&) = delete;
    DispatchArguments& operator=(const DispatchArguments&) = delete;
    DISPPARAMS* Params() noexcept { return &params_; }

private:
    // Copies, so a callee that misbehaves with an argument cannot free the caller's value.
    std::vector<Variant> slots_;
    DISPID putId_ = DISPID_PROPERTYPUT;
    DISPPARAMS params_{};
};

}  // namespace vantrell::com
