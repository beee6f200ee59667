#pragma once
// Building blocks of the simulated objects' member tables.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "sim/outlook/sim_object.h"

namespace vantrell::sim {

using Args = std::vector<com::Variant>;

inline com::Variant Nothing() { return com::Variant(static_cast<IDispatch*>(nullptr)); }
inline com::Variant ObjectOf(SimObject* object) { return com::Variant(object ? object->Dispatch() : nullptr); }

// An optional argument that was left out.
inline bool IsMissing(const com::Variant& value) {
    return value.Type() == VT_ERROR && V_ERROR(value.Get()) == DISP_E_PARAMNOTFOUND;
}

inline Member Property(std::wstring name, DISPID id, std::function<com::Variant()> get) {
    Member m;
    m.name = std::move(name);
    m.id = id;
    m.access = Access::Get;
    m.get = [get = std::move(get)](const Args&) { return get(); };
    return m;
}

inline Member Method(std::wstring name, DISPID id, std::vector<VARTYPE> params,
                     std::function<com::Variant(const Args&)> body) {
    Member m;
    m.name = std::move(name);
    m.id = id;
    m.access = Access::Method;
    m.params = std::move(params);
    m.get = std::move(body);
    return m;
}

// Makes a new simulated object and hands it out as an automation value (the value holds its
// only reference).
template <class T, class... Args>
com::Variant NewObject(Args&&... args) {
    com::Ptr<T> object = com::Make<T>(std::forward<Args>(args)...);
    return com::Variant(object->Dispatch());
}

[[noreturn]] inline void OutOfBounds() { throw Raised{DISP_E_BADINDEX, L"Array index out of bounds."}; }

// A collection's Item(Index) given as a number (or anything that converts to one): its 1-based
// position among `count` items, as a 0-based index; a type mismatch or an index out of bounds
// is refused as Outlook refuses it.
inline size_t ItemPosition(const VARIANT* index, size_t count) {
    VARIANT number;
    VariantInit(&number);
    if (FAILED(VariantChangeType(&number, const_cast<VARIANT*>(index), 0, VT_I4))) throw Refused{DISP_E_TYPEMISMATCH};
    const long position = V_I4(&number);
    if (position < 1 || static_cast<size_t>(position) > count) OutOfBounds();
    return static_cast<size_t>(position - 1);
}

}  // namespace vantrell::sim
