#include "sim/outlook/sim_object.h"

#include <olectl.h>

#include <algorithm>
#include <cwchar>

namespace vantrell::sim {
namespace {

// Conversions of arguments follow English (United States) rules, whatever the machine's locale.
const LCID kConversionLocale = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);

// One argument as the member wants it: by-reference values read through, then converted to
// `type`; DISP_E_TYPEMISMATCH when it cannot be, DISP_E_PARAMNOTOPTIONAL when it was left out.
HRESULT Convert(const VARIANT& in, VARTYPE type, com::Variant& out) {
    VARIANT plain;
    VariantInit(&plain);
    if (FAILED(VariantCopyInd(&plain, const_cast<VARIANT*>(&in)))) return DISP_E_TYPEMISMATCH;
    out = com::Variant::Take(plain);
    if (out.Type() == VT_ERROR && V_ERROR(out.Get()) == DISP_E_PARAMNOTFOUND) return DISP_E_PARAMNOTOPTIONAL;
    if (type == VT_VARIANT || out.Type() == type) return S_OK;
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeTypeEx(&converted, out.GetMutable(), kConversionLocale, 0, type)))
        return DISP_E_TYPEMISMATCH;
    out = com::Variant::Take(converted);
    return S_OK;
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
    return text;
}

}  // namespace

std::wstring Hex(HRESULT hr) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

void FillException(EXCEPINFO* exception, HRESULT code, const std::wstring& description, const std::wstring& source) {
    if (!exception) return;
    ZeroMemory(exception, sizeof *exception);
    exception->scode = code;
    exception->bstrSource = SysAllocString(source.c_str());
    exception->bstrDescription = SysAllocString(description.c_str());
}

// ---- ObjectHome ----

void ObjectHome::Remember(SimObject* object) { live_.push_back(object); }

void ObjectHome::Forget(SimObject* object) noexcept {
    auto it = std::find(live_.begin(), live_.end(), object);
    if (it != live_.end()) live_.erase(it);
}

long ObjectHome::ReferencesHeldOutside() const {
    long total = 0;
    for (SimObject* object : std::vector<SimObject*>(live_)) total += object->ReferencesOutside();
    return total;
}

std::wstring ObjectHome::DescribeHeldOutside() const {
    std::wstring text;
    for (SimObject* object : std::vector<SimObject*>(live_)) {
        const long held = object->ReferencesOutside();
        if (held == 0) continue;
        if (!text.empty()) text += L", ";
        text += object->Kind() + L" x" + std::to_wstring(held);
    }
    return text;
}

void ObjectHome::Fail(const std::wstring& kind, const std::wstring& member, HRESULT hr,
                      const std::wstring& description) {
    faults_[Lower(kind) + L"." + Lower(member)] = Raised{hr, description};
}

void ObjectHome::FailOnce(const std::wstring& kind, const std::wstring& member, HRESULT hr,
                          const std::wstring& description) {
    once_[Lower(kind) + L"." + Lower(member)] = Raised{hr, description};
}

bool ObjectHome::FaultPending(const std::wstring& kind, const std::wstring& member) const {
    return once_.count(Lower(kind) + L"." + Lower(member)) != 0;
}

void ObjectHome::BeforeCall(const std::wstring& kind, const std::wstring& member, std::function<void()> action) {
    before_[Lower(kind) + L"." + Lower(member)] = std::move(action);
}

std::optional<Raised> ObjectHome::Enter(const std::wstring& kind, const std::wstring& member, bool record) {
    if (!recording_ && faults_.empty() && once_.empty() && before_.empty()) return std::nullopt;
    const std::wstring key = Lower(kind) + L"." + Lower(member);
    if (record && recording_ && seen_.insert(key).second) calls_.push_back({kind, member});
    if (auto before = before_.find(key); before != before_.end()) {
        std::function<void()> action = std::move(before->second);
        before_.erase(before);
        try {
            action();
        } catch (...) {
            Note(L"Action before " + kind + L"." + member + L" failed");
        }
    }
    if (auto once = once_.find(key); once != once_.end()) {
        Raised fault = std::move(once->second);
        once_.erase(once);
        return fault;
    }
    if (auto it = faults_.find(key); it != faults_.end()) return it->second;
    return std::nullopt;
}

void ObjectHome::OrphanAll() noexcept {
    // What others still hold outlives the application, cut off from it.
    for (SimObject* object : live_) object->Orphan();
    live_.clear();
}

// ---- connection points ----

// A connection point lives as long as its container: its references are the container's.
class SimObject::Point final : public IConnectionPoint {
public:
    Point(SimObject& owner, const IID& iid) noexcept : owner_(owner), iid_(iid) {}
    Point(const Point&) = delete;
    Point& operator=(const Point&) = delete;
    virtual ~Point() = default;

    const IID& Iid() const noexcept { return iid_; }
    void CopySinks(std::vector<com::Ptr<IDispatch>>& into) const {
        for (const auto& entry : sinks_) into.push_back(entry.second);
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IConnectionPoint)) return E_NOINTERFACE;
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return owner_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() noexcept override { return owner_.Release(); }

    STDMETHODIMP GetConnectionInterface(IID* out) noexcept override {
        if (!out) return E_POINTER;
        *out = iid_;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) noexcept override {
        if (!out) return E_POINTER;
        *out = static_cast<IConnectionPointContainer*>(&owner_);
        (*out)->AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) noexcept override {
        if (!cookie) return E_POINTER;
        *cookie = 0;
        if (!sink) return E_POINTER;
        return com::Guarded([&]() -> HRESULT {
            if (owner_.home_)
                if (auto fault = owner_.home_->Enter(owner_.Kind(), L"Advise", false)) return fault->code;
            // The sink is asked for the event interface first, then for plain IDispatch.
            com::Ptr<IDispatch> events;
            if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(events.ReleaseAndGetAddressOf()))) ||
                !events) {
                if (FAILED(sink->QueryInterface(IID_IDispatch,
                                                reinterpret_cast<void**>(events.ReleaseAndGetAddressOf()))) ||
                    !events)
                    return CONNECT_E_CANNOTCONNECT;
            }
            sinks_.emplace_back(++lastCookie_, std::move(events));
            *cookie = lastCookie_;
            return S_OK;
        });
    }
    STDMETHODIMP Unadvise(DWORD cookie) noexcept override {
        for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
            if (it->first != cookie) continue;
            // Release the sink only once it is out of the list: its release may reach back here.
            com::Ptr<IDispatch> leaving = std::move(it->second);
            sinks_.erase(it);
            return S_OK;
        }
        return CONNECT_E_NOCONNECTION;
    }
    STDMETHODIMP EnumConnections(IEnumConnections** out) noexcept override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

private:
    SimObject& owner_;
    IID iid_;
    DWORD lastCookie_ = 0;  // cookies start at 1: 0 never names a connection
    std::vector<std::pair<DWORD, com::Ptr<IDispatch>>> sinks_;
};

// ---- SimObject ----

SimObject::SimObject(ObjectHome* home, std::wstring kind) : home_(home), kind_(std::move(kind)) {
    if (home_) home_->Remember(this);
}

SimObject::~SimObject() {
    if (home_) home_->Forget(this);
}

long SimObject::ReferencesOutside() noexcept {
    AddRef();
    long count = static_cast<long>(Release());
    return count - own_;
}

void SimObject::Add(Member member) { members_.push_back(std::move(member)); }

void SimObject::Offer(const IID& events) { points_.push_back(std::make_unique<Point>(*this, events)); }

std::vector<com::Ptr<IDispatch>> SimObject::Sinks() const {
    std::vector<com::Ptr<IDispatch>> sinks;
    for (const auto& point : points_) point->CopySinks(sinks);
    if (home_ && home_->SinksLastFirst()) std::reverse(sinks.begin(), sinks.end());
    return sinks;
}

void SimObject::Fire(DISPID id, std::initializer_list<IDispatch*> arguments) {
    std::vector<VARIANT> values;
    for (IDispatch* object : arguments) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_DISPATCH;
        V_DISPATCH(&v) = object;
        values.push_back(v);
    }
    FireWith(id, values);
}

bool SimObject::FireCancelable(DISPID id) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT flag;
    VariantInit(&flag);
    V_VT(&flag) = VT_BOOL | VT_BYREF;
    V_BOOLREF(&flag) = &cancel;
    FireWith(id, {flag});
    return cancel != VARIANT_FALSE;
}

void SimObject::FireWith(DISPID id, const std::vector<VARIANT>& arguments) {
    // A handler may drop the last outside reference to this object.
    Owned<SimObject> keep(this);
    for (const auto& sink : Sinks()) {
        // Fresh copies of the (lent) arguments for every sink, last first as IDispatch wants them.
        std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
        DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()),
                          0};
        com::Variant result;
        com::ExcepInfo exception;
        UINT argError = 0;
        HRESULT hr = sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.Out(),
                                  exception.Out(), &argError);
        if (FAILED(hr) && home_) home_->Note(L"Add-in call failed " + kind_ + L" event " + std::to_wstring(id) + L" " + Hex(hr));
    }
}

STDMETHODIMP SimObject::QueryInterface(REFIID iid, void** out) noexcept {
    // Only an object that publishes events is a connection point container.
    if (IsEqualIID(iid, IID_IConnectionPointContainer) && points_.empty()) {
        if (out) *out = nullptr;
        return out ? E_NOINTERFACE : E_POINTER;
    }
    return Object::QueryInterface(iid, out);
}

STDMETHODIMP SimObject::GetTypeInfoCount(UINT* count) noexcept {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP SimObject::GetTypeInfo(UINT, LCID, ITypeInfo** out) noexcept {
    if (out) *out = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP SimObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept {
    if (!names || !ids) return E_POINTER;
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (count == 0) return E_INVALIDARG;
    HRESULT hr = S_OK;
    ids[0] = DISPID_UNKNOWN;
    for (const Member& member : members_) {
        if (names[0] && _wcsicmp(member.name.c_str(), names[0]) == 0) {
            ids[0] = member.id;
            break;
        }
    }
    if (ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    // No member takes named arguments.
    for (UINT i = 1; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

STDMETHODIMP SimObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                               EXCEPINFO* exception, UINT* argError) noexcept {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (result) VariantInit(result);
    if (!home_) return RPC_E_DISCONNECTED;
    if (home_->Disconnected()) return home_->DisconnectedWith();
    const Member* member = nullptr;
    for (const Member& candidate : members_) {
        if (candidate.id == id) {
            member = &candidate;
            break;
        }
    }
    if (!member) return DISP_E_MEMBERNOTFOUND;
    DISPPARAMS none{};
    // The call may close this object and with it the simulator's own reference.
    Owned<SimObject> keep(this);
    return com::Guarded([&] { return Call(*member, flags, params ? *params : none, result, exception, argError); });
}

HRESULT SimObject::Call(const Member& member, WORD flags, DISPPARAMS& params, VARIANT* result, EXCEPINFO* exception,
                        UINT* argError) {
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (put) {
        const bool accepted = (flags & DISPATCH_PROPERTYPUT) || (member.putByReference && (flags & DISPATCH_PROPERTYPUTREF));
        if (member.access != Access::GetPut || !accepted) return DISP_E_MEMBERNOTFOUND;
    } else if (member.access == Access::MethodOrGet ? !(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))
               : member.access == Access::Method     ? !(flags & DISPATCH_METHOD)
                                                     : !(flags & DISPATCH_PROPERTYGET)) {
        return DISP_E_MEMBERNOTFOUND;
    }
    if (std::optional<Raised> fault = home_->Enter(kind_, member.name)) {
        FillException(exception, fault->code, fault->description, home_->Source());
        return DISP_E_EXCEPTION;
    }
    try {
        if (put) {
            if (params.cNamedArgs != 1 || !params.rgdispidNamedArgs ||
                params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
                return DISP_E_PARAMNOTOPTIONAL;
            if (params.cArgs != 1) return DISP_E_BADPARAMCOUNT;
            com::Variant value;
            HRESULT hr = Convert(params.rgvarg[0], member.putType, value);
            if (FAILED(hr)) {
                if (argError) *argError = 0;
                return hr;
            }
            member.put(value);
            return S_OK;
        }
        if (params.cNamedArgs != 0) return DISP_E_NONAMEDARGS;
        const size_t required = member.params.size() - member.optional;
        if (params.cArgs > member.params.size() || params.cArgs < required) return DISP_E_BADPARAMCOUNT;
        std::vector<com::Variant> args(member.params.size(), com::Variant::Missing());
        for (UINT i = 0; i < params.cArgs; ++i) {
            UINT slot = params.cArgs - 1 - i;  // IDispatch passes arguments last-first
            const VARIANT& given = params.rgvarg[slot];
            if (i >= required && V_VT(&given) == VT_ERROR && V_ERROR(&given) == DISP_E_PARAMNOTFOUND) continue;
            HRESULT hr = Convert(given, member.params[i], args[i]);
            if (FAILED(hr)) {
                if (argError) *argError = slot;
                return hr;
            }
        }
        com::Variant value = member.get(args);
        if (result) value.DetachTo(result);
        return S_OK;
    } catch (const Refused& refused) {
        return refused.code;
    } catch (const Raised& raised) {
        FillException(exception, raised.code, raised.description, home_ ? home_->Source() : std::wstring());
        return DISP_E_EXCEPTION;
    }
}

STDMETHODIMP SimObject::EnumConnectionPoints(IEnumConnectionPoints** out) noexcept {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP SimObject::FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const auto& point : points_) {
        if (IsEqualIID(point->Iid(), iid)) {
            *out = point.get();
            point->AddRef();
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

}  // namespace vantrell::sim
