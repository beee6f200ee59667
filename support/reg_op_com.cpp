// RegOp's face to other programs, the members of _RegOp: each hands its arguments to the
// member the add-in calls (reg_op.cpp) and answers S_OK, E_POINTER for a missing out-pointer, or
// the HRESULT of anything thrown; an out-value is set to its neutral value first.
#include "support/reg_op.h"

namespace vantrell {
namespace {

std::wstring_view View(BSTR text) { return {text ? text : L"", SysStringLen(text)}; }

template <class Out, class Body>
HRESULT Answer(Out* out, Body&& body) noexcept {
    if (!out) return E_POINTER;
    return com::Guarded([&] {
        body(out);
        return S_OK;
    });
}
}  // namespace

STDMETHODIMP RegOp::put_Root(long root) noexcept {
    return com::Guarded([&] {
        SetRoot(root);
        return S_OK;
    });
}

STDMETHODIMP RegOp::put_Key(BSTR key) noexcept {
    return com::Guarded([&] {
        SetKey(View(key));
        return S_OK;
    });
}

STDMETHODIMP RegOp::put_Options(long options) noexcept {
    return com::Guarded([&] {
        SetOptions(options);
        return S_OK;
    });
}

STDMETHODIMP RegOp::get_Value(BSTR name, VARIANT* value) noexcept {
    if (value) VariantInit(value);
    return Answer(value, [&](VARIANT* out) { Value(View(name)).DetachTo(out); });
}

STDMETHODIMP RegOp::put_Value(BSTR name, VARIANT value) noexcept {
    return com::Guarded([&] {
        // A script hands its variables over by reference.
        com::Variant plain;
        VariantCopyInd(plain.Out(), &value);
        SetValue(View(name), plain);
        return S_OK;
    });
}

STDMETHODIMP RegOp::get_AllValues(VARIANT* values) noexcept {
    if (values) VariantInit(values);
    return Answer(values, [&](VARIANT* out) { AllValues().DetachTo(out); });
}

STDMETHODIMP RegOp::get_AllKeys(VARIANT* keys) noexcept {
    if (keys) VariantInit(keys);
    return Answer(keys, [&](VARIANT* out) { AllKeys().DetachTo(out); });
}

STDMETHODIMP RegOp::DeleteValue(BSTR name, VARIANT_BOOL* deleted) noexcept {
    if (deleted) *deleted = VARIANT_FALSE;
    return Answer(deleted, [&](VARIANT_BOOL* out) { *out = DeleteValue(View(name)) ? VARIANT_TRUE : VARIANT_FALSE; });
}

STDMETHODIMP RegOp::DeleteKey(VARIANT_BOOL* deleted) noexcept {
    if (deleted) *deleted = VARIANT_FALSE;
    return Answer(deleted, [&](VARIANT_BOOL* out) { *out = DeleteKey() ? VARIANT_TRUE : VARIANT_FALSE; });
}

STDMETHODIMP RegOp::get_ValueCount(long* count) noexcept {
    if (count) *count = 0;
    return Answer(count, [&](long* out) { *out = ValueCount(); });
}

STDMETHODIMP RegOp::get_KeyCount(long* count) noexcept {
    if (count) *count = 0;
    return Answer(count, [&](long* out) { *out = KeyCount(); });
}

}  // namespace vantrell
