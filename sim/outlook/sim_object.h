#pragma once
// The base of every simulated Office object (Outlook's, the command bars', Word's): IDispatch by
// name over a table of members with strict argument checking (as a type-library driven host
// checks them), connection points for the event interfaces the object publishes, and the
// bookkeeping that tells the simulator's own references from the references add-ins and tests
// hold. Each object lives in the home of the simulated application that made it.
#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/com_object.h"
#include "platform/variant.h"

namespace vantrell::sim {

// What a member throws to fail the call as an automation exception (DISP_E_EXCEPTION with
// `code` as the EXCEPINFO's scode).
struct Raised {
    HRESULT code;
    std::wstring description;
};

// What a member throws to fail the call with a plain HRESULT (DISP_E_TYPEMISMATCH for an
// argument it cannot use, as the argument checks would).
struct Refused {
    HRESULT code;
};

enum class Access {
    Method,       // called with DISPATCH_METHOD
    Get,          // read-only property
    GetPut,       // property that can also be assigned (DISPATCH_PROPERTYPUT)
    MethodOrGet,  // a default member with an index, reached either way (Office's CommandBars(index))
};

struct Member {
    std::wstring name;
    DISPID id = DISPID_UNKNOWN;
    Access access = Access::Get;
    // The automation types of the arguments, in source order (VT_VARIANT: taken as it comes).
    std::vector<VARTYPE> params;
    // How many of the last ones may be left out (VT_VARIANT: they arrive as VT_ERROR
    // DISP_E_PARAMNOTFOUND, as VB passes a missing argument).
    size_t optional = 0;
    // The method, or the property's get; the arguments arrive converted to `params`.
    std::function<com::Variant(const std::vector<com::Variant>& args)> get;
    // The property's put; the value arrives converted to `putType`.
    VARTYPE putType = VT_EMPTY;
    std::function<void(const com::Variant& value)> put;
    // The put also accepts DISPATCH_PROPERTYPUTREF (VB's Set) for an object value.
    bool putByReference = false;
};

// A member called on an object of a kind, as the calls recorder of a home lists it.
struct MemberCall {
    std::wstring kind;
    std::wstring member;
    bool operator==(const MemberCall&) const = default;
};

class SimObject;

// The bookkeeping of one simulated application: every object of it still alive, the members set
// to fail, and the log of what happened. The objects reach it through a plain pointer; when it
// goes, the objects that others still hold are cut off from it.
class ObjectHome {
public:
    // `source` is what the application's automation exceptions name as their source.
    explicit ObjectHome(std::wstring source) : source_(std::move(source)) {}
    virtual ~ObjectHome() { OrphanAll(); }
    ObjectHome(const ObjectHome&) = delete;
    ObjectHome& operator=(const ObjectHome&) = delete;

    void Remember(SimObject* object);
    void Forget(SimObject* object) noexcept;
    // References held outside the simulator, summed over the objects still alive.
    long ReferencesHeldOutside() const;
    // The objects held from outside, as "Kind xN, ..." (for a test's failure message).
    std::wstring DescribeHeldOutside() const;
    void Fail(const std::wstring& kind, const std::wstring& member, HRESULT hr, const std::wstring& description);
    // The next call of the member (on any object of the kind) fails as Fail would have it fail;
    // the calls after it work again (unless Fail set the member to fail too).
    void FailOnce(const std::wstring& kind, const std::wstring& member, HRESULT hr, const std::wstring& description);
    // A fault of FailOnce still waits for its call.
    bool FaultPending(const std::wstring& kind, const std::wstring& member) const;
    // `action` runs once, at the next call of the member (on any object of the kind), before the
    // member does (and before a fault of it): a user's action that lands in the middle of a
    // client's work. An action that throws is logged as L"Action before <kind>.<member> failed".
    void BeforeCall(const std::wstring& kind, const std::wstring& member, std::function<void()> action);
    // Every member works again (the faults of FailOnce not yet met go too).
    void ClearFaults() noexcept {
        faults_.clear();
        once_.clear();
    }
    // The checked path of every call of a member: records the call while the recorder is on, and
    // answers the fault it meets (a fault of FailOnce before one of Fail, and used up), or none.
    // SimObject::Call goes through it before a member runs; so do the private store interfaces.
    // A connection point's Advise goes through it as the member L"Advise" of its object's kind,
    // unrecorded (`record` false): a subscription can be failed, but the recorder lists members.
    std::optional<Raised> Enter(const std::wstring& kind, const std::wstring& member, bool record = true);

    // The calls recorder: while on, every member called through Enter is listed once, as
    // (kind, member) with the names as the object and its table spell them, in the order first
    // seen. Switching it on or off keeps what is listed; ClearCalls empties the list.
    void RecordCalls(bool on) noexcept { recording_ = on; }
    bool RecordingCalls() const noexcept { return recording_; }
    const std::vector<MemberCall>& Calls() const noexcept { return calls_; }
    void ClearCalls() noexcept {
        calls_.clear();
        seen_.clear();
    }
    void Note(std::wstring entry) { log_.push_back(std::move(entry)); }
    const std::vector<std::wstring>& Log() const noexcept { return log_; }
    const std::wstring& Source() const noexcept { return source_; }

    // The application has quit: every call on its objects fails from now on as a call into a
    // closed server does (RPC_E_DISCONNECTED; 0x800706BA "The RPC server is unavailable" when
    // its process ended without quitting), while the references others hold still count.
    void Disconnect(HRESULT code = RPC_E_DISCONNECTED) noexcept {
        disconnected_ = true;
        disconnectedWith_ = code;
    }
    bool Disconnected() const noexcept { return disconnected_; }
    HRESULT DisconnectedWith() const noexcept { return disconnectedWith_; }

    // The order in which an event reaches its sinks: the order they advised in (the default),
    // or the last advised first. COM's connection points promise no order, and add-ins that
    // subscribe to the same object must not depend on one.
    void SetSinksLastFirst(bool lastFirst) noexcept { sinksLastFirst_ = lastFirst; }
    bool SinksLastFirst() const noexcept { return sinksLastFirst_; }

protected:
    // Cuts every object still alive off from this home (its owner's last step).
    void OrphanAll() noexcept;

private:
    std::wstring source_;
    bool disconnected_ = false;
    HRESULT disconnectedWith_ = RPC_E_DISCONNECTED;
    bool sinksLastFirst_ = false;
    std::vector<std::wstring> log_;
    std::map<std::wstring, Raised> faults_;  // by "kind.member", lower case
    std::map<std::wstring, Raised> once_;    // the same, each for one call
    std::map<std::wstring, std::function<void()>> before_;  // the same, the actions of BeforeCall
    bool recording_ = false;
    std::vector<MemberCall> calls_;
    std::set<std::wstring> seen_;  // the keys of calls_
    std::vector<SimObject*> live_;
};

// A reference the simulator itself holds. The object counts these, so what the rest of the
// world holds is its reference count minus its owned references.
template <class T>
class Owned {
public:
    Owned() noexcept = default;
    explicit Owned(T* p) noexcept : p_(p) {
        if (p_) {
            p_->AddRef();
            ++Base(p_)->own_;
        }
    }
    Owned(const Owned& other) noexcept : Owned(other.p_) {}
    Owned(Owned&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~Owned() { Reset(); }
    Owned& operator=(Owned other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }

    // Takes over the first reference of a new object.
    static Owned Adopt(T* fresh) noexcept {
        Owned result;
        result.p_ = fresh;
        ++Base(fresh)->own_;
        return result;
    }
    void Reset() noexcept {
        if (T* old = std::exchange(p_, nullptr)) {
            --Base(old)->own_;
            old->Release();
        }
    }
    T* Get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

private:
    static SimObject* Base(T* p) noexcept { return p; }
    T* p_ = nullptr;
};

template <class T, class... Args>
Owned<T> MakeOwned(Args&&... args) {
    return Owned<T>::Adopt(new T(std::forward<Args>(args)...));
}

class SimObject : public com::Object<IDispatch, IConnectionPointContainer> {
public:
    // `kind` names the object's class for fault injection ("Explorer", "COMAddIn", ...).
    SimObject(ObjectHome* home, std::wstring kind);
    ~SimObject() override;

    const std::wstring& Kind() const noexcept { return kind_; }
    // References held outside the simulator: the reference count less the simulator's own.
    long ReferencesOutside() noexcept;
    // The home has gone: every call fails from now on as a call into a closed server does.
    virtual void Orphan() noexcept { home_ = nullptr; }
    // References the simulator holds other than through Owned (an active-object registration).
    void CountAsOwn(long references) noexcept { own_ += references; }
    IDispatch* Dispatch() noexcept { return static_cast<IDispatch*>(this); }

    // Calls every sink advised on any of this object's event interfaces with DISPATCH_METHOD;
    // the arguments (objects, in the event's order) are lent to the sinks for the call. A sink
    // that answers a failure is noted in the home's log as L"Add-in call failed <Kind> event
    // <dispid> 0x<hr>" (as do FireCancelable and FireWith).
    void Fire(DISPID id, std::initializer_list<IDispatch*> arguments = {});
    // Calls every sink with one argument, Cancel (VT_BOOL by reference, False at first, the
    // same flag for all of them); true when a sink set it.
    bool FireCancelable(DISPID id);
    // Calls every sink with `arguments` (in the event's order); they are lent to the sinks, so a
    // by-reference argument is the same variable for all of them.
    void FireWith(DISPID id, const std::vector<VARIANT>& arguments);

    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override;

    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) noexcept override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) noexcept override;

    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override;
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept override;

protected:
    void Add(Member member);
    // Publishes an event interface: FindConnectionPoint answers it from now on.
    void Offer(const IID& events);
    ObjectHome* home_;

private:
    template <class>
    friend class Owned;
    class Point;

    HRESULT Call(const Member& member, WORD flags, DISPPARAMS& params, VARIANT* result, EXCEPINFO* exception,
                 UINT* argError);
    // The sinks advised now on any of the event interfaces (a handler may unadvise while we call).
    std::vector<com::Ptr<IDispatch>> Sinks() const;

    std::wstring kind_;
    std::vector<Member> members_;
    std::vector<std::unique_ptr<Point>> points_;
    long own_ = 0;
};

// An HRESULT as the simulators' logs write it: L"0x8004010F".
std::wstring Hex(HRESULT hr);

// Fills an EXCEPINFO for an automation exception raised by the simulated application `source`.
void FillException(EXCEPINFO* exception, HRESULT code, const std::wstring& description,
                   const std::wstring& source = L"Microsoft Outlook");

}  // namespace vantrell::sim
