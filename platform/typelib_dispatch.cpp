// The dispatcher behind TypeLibDispatch: the type information of an object's interfaces, the
// DISPID bank each answers in, and the type library's own name lookup and invocation on the
// interface a DISPID belongs to.
#include "platform/typelib_dispatch.h"

namespace vantrell::com::dispatch {
namespace {

struct Loaded {
    Ptr<ITypeInfo> info;
    DISPID bank = 0;
};

// Calls `visit` with each member's FUNCDESC until it answers true; whether one did.
template <class Visit>
bool AnyMember(ITypeInfo* info, Visit&& visit) noexcept {
    TYPEATTR* attributes = nullptr;
    if (FAILED(info->GetTypeAttr(&attributes))) return false;
    const WORD count = attributes->cFuncs;
    info->ReleaseTypeAttr(attributes);
    for (WORD i = 0; i < count; ++i) {
        FUNCDESC* function = nullptr;
        if (FAILED(info->GetFuncDesc(i, &function))) continue;
        const bool found = visit(*function);
        info->ReleaseFuncDesc(function);
        if (found) return true;
    }
    return false;
}

bool HasMember(ITypeInfo* info, DISPID id) noexcept {
    return AnyMember(info, [&](const FUNCDESC& f) { return f.memid == id; });
}

// The members an interface declares itself: those it inherits from IUnknown and IDispatch are
// restricted, and the same in every dual interface.
bool IsOwn(const FUNCDESC& f) noexcept { return (f.wFuncFlags & FUNCFLAG_FRESTRICTED) == 0; }

// Whether a member the interface declares has the DISPID of a member declared by an interface
// before it that keeps its published DISPIDs.
bool Collides(ITypeInfo* info, const Loaded* earlier, std::size_t count) noexcept {
    return AnyMember(info, [&](const FUNCDESC& mine) {
        if (!IsOwn(mine)) return false;
        for (std::size_t k = 0; k < count; ++k) {
            if (earlier[k].bank != 0) continue;
            if (AnyMember(earlier[k].info.Get(), [&](const FUNCDESC& f) { return IsOwn(f) && f.memid == mine.memid; }))
                return true;
        }
        return false;
    });
}

HRESULT Load(const Face* faces, std::size_t count, Loaded* loaded) noexcept {
    if (count == 0 || count > kMaxInterfaces) return E_UNEXPECTED;
    DISPID moved = 0;
    for (std::size_t k = 0; k < count; ++k) {
        HRESULT hr = OwnTypeInfo(*faces[k].iid, loaded[k].info.ReleaseAndGetAddressOf());
        if (FAILED(hr)) return hr;
        if (k > 0 && Collides(loaded[k].info.Get(), loaded, k)) loaded[k].bank = ++moved * kDispidBank;
    }
    return S_OK;
}

// The interface that answers `id`, and the DISPID it publishes for it: a moved interface's
// bank first, then the first unmoved interface with that member; the default interface for
// an id no interface has (it answers DISP_E_MEMBERNOTFOUND).
std::size_t Owner(const Loaded* loaded, std::size_t count, DISPID& id) noexcept {
    for (std::size_t k = 0; k < count; ++k) {
        const DISPID bank = loaded[k].bank;
        if (bank != 0 && id >= bank && id - bank < kDispidBank && HasMember(loaded[k].info.Get(), id - bank)) {
            id -= bank;
            return k;
        }
    }
    for (std::size_t k = 0; k < count; ++k) {
        if (loaded[k].bank == 0 && HasMember(loaded[k].info.Get(), id)) return k;
    }
    return 0;
}

}  // namespace

HRESULT GetIDsOfNames(const Face* faces, std::size_t count, REFIID iid, LPOLESTR* names, UINT nameCount,
                      DISPID* ids) noexcept {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (!ids || (nameCount > 0 && !names)) return E_POINTER;
    Loaded loaded[kMaxInterfaces];
    HRESULT hr = Load(faces, count, loaded);
    if (FAILED(hr)) return hr;
    for (std::size_t k = 0; k < count; ++k) {
        hr = DispGetIDsOfNames(loaded[k].info.Get(), names, nameCount, ids);
        if (SUCCEEDED(hr)) {
            if (nameCount > 0) ids[0] += loaded[k].bank;  // the member; the others name its arguments
            return hr;
        }
    }
    return hr;
}

HRESULT Invoke(const Face* faces, std::size_t count, DISPID id, REFIID iid, WORD flags, DISPPARAMS* params,
               VARIANT* result, EXCEPINFO* exception, UINT* badArgument) noexcept {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    Loaded loaded[kMaxInterfaces];
    HRESULT hr = Load(faces, count, loaded);
    if (FAILED(hr)) return hr;
    const std::size_t owner = count > 1 ? Owner(loaded, count, id) : 0;
    return DispInvoke(faces[owner].self, loaded[owner].info.Get(), id, flags, params, result, exception, badArgument);
}

}  // namespace vantrell::com::dispatch
