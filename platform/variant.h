#pragma once
// RAII holders for BSTR, VARIANT and EXCEPINFO, and conversions that behave like the
// automation language the add-in's logic is written for (numeric conversion of text,
// Boolean True = -1). A conversion that fails records a pending failure and gives the
// neutral value, so the next statement runs.
#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com_ptr.h"

namespace vantrell::com {

class Bstr {
public:
    Bstr() noexcept = default;
    Bstr(std::wstring_view text);
    Bstr(const wchar_t* text) : Bstr(std::wstring_view(text ? text : L"")) {}
    Bstr(const Bstr& other);
    Bstr(Bstr&& other) noexcept : b_(std::exchange(other.b_, nullptr)) {}
    ~Bstr() { Reset(); }
    Bstr& operator=(const Bstr& other);
    Bstr& operator=(Bstr&& other) noexcept;

    static Bstr Attach(BSTR b) noexcept;
    BSTR Detach() noexcept { return std::exchange(b_, nullptr); }
    void Reset() noexcept;
    // Frees what is held, then hands out the address for an out-parameter.
    BSTR* Out() noexcept;

    BSTR Get() const noexcept { return b_; }
    UINT Length() const noexcept { return b_ ? SysStringLen(b_) : 0; }
    std::wstring_view View() const noexcept { return {b_ ? b_ : L"", Length()}; }
    std::wstring Text() const { return std::wstring(View()); }

private:
    BSTR b_ = nullptr;
};

class Variant {
public:
    Variant() noexcept { VariantInit(&v_); }
    Variant(const VARIANT& v);
    Variant(const Variant& other) : Variant(other.v_) {}
    Variant(Variant&& other) noexcept;
    ~Variant() { VariantClear(&v_); }
    Variant& operator=(const Variant& other);
    Variant& operator=(Variant&& other) noexcept;

    // Typed constructors: the automation types an argument or a value is made of.
    Variant(int value) noexcept : Variant(static_cast<long>(value)) {}
    Variant(bool) = delete;  // say Variant::Boolean: a bool is not a number here
    Variant(long value) noexcept;
    Variant(std::int16_t value) noexcept;
    Variant(double value) noexcept;
    Variant(std::wstring_view text);
    Variant(const std::wstring& text) : Variant(std::wstring_view(text)) {}
    Variant(const wchar_t* text) : Variant(std::wstring_view(text ? text : L"")) {}
    // An object reference (VT_DISPATCH, or VT_UNKNOWN for a null or a non-dispatch object).
    Variant(IDispatch* object) noexcept;
    static Variant Boolean(bool value) noexcept;
    static Variant Date(double date) noexcept;
    // VT_BOOL | VT_BYREF pointing at `target`; the variant does not own the target.
    static Variant BoolRef(VARIANT_BOOL* target) noexcept;
    // VT_ERROR DISP_E_PARAMNOTFOUND: an optional argument that is left out.
    static Variant Missing() noexcept;
    // Adopts the value in `v` and leaves `v` empty.
    static Variant Take(VARIANT& v) noexcept;
    // Takes ownership of `array`, whose elements are of type `element` (VT_VARIANT, VT_UI1 ...).
    static Variant AdoptArray(SAFEARRAY* array, VARTYPE element) noexcept;

    // Clears, then hands out the address for an out-parameter.
    VARIANT* Out() noexcept;
    const VARIANT* Get() const noexcept { return &v_; }
    VARIANT* GetMutable() noexcept { return &v_; }
    // Moves the value into `out` (which must be uninitialised or empty) and leaves this Empty.
    void DetachTo(VARIANT* out) noexcept;

    VARTYPE Type() const noexcept { return V_VT(&v_); }
    bool IsEmpty() const noexcept { return V_VT(&v_) == VT_EMPTY; }
    bool IsNull() const noexcept { return V_VT(&v_) == VT_NULL; }
    bool IsArray() const noexcept { return (V_VT(&v_) & VT_ARRAY) != 0; }
    // An object variable that refers to something (VB's `Not x Is Nothing`).
    bool IsObject() const noexcept;
    // A number, or a text that reads as one (VB's IsNumeric).
    bool IsNumeric() const noexcept;

    // Conversions; each records a pending failure and returns the neutral value on failure.
    long ToLong() const;
    std::int16_t ToInt() const;
    double ToDouble() const;
    bool ToBool() const;
    std::wstring ToText() const;
    Ptr<IDispatch> ToDispatch() const;

    // The same conversions, telling whether they worked (a failure is still recorded) and
    // leaving `out` alone when they did not.
    bool TryLong(long& out) const;
    bool TryInt(std::int16_t& out) const;
    bool TryBool(bool& out) const;

    // Converts to the automation type `vt` in place; false (and a pending failure) if impossible.
    bool ChangeType(VARTYPE vt);

private:
    VARIANT v_;
};

// Owns an EXCEPINFO: runs its deferred fill-in and frees its three strings.
class ExcepInfo {
public:
    ExcepInfo() noexcept { Zero(); }
    ~ExcepInfo() { Clear(); }
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;

    EXCEPINFO* Out() noexcept {
        Clear();
        return &e_;
    }
    // Runs the deferred fill-in once, if the raiser asked for one.
    void Fill() noexcept;
    // The exception's code: scode, or the wCode mapped to an HRESULT; `fallback` when both are 0.
    HRESULT Code(HRESULT fallback) noexcept;
    std::wstring Description() noexcept;
    const EXCEPINFO& Raw() const noexcept { return e_; }

private:
    void Zero() noexcept;
    void Clear() noexcept;
    EXCEPINFO e_;
};

// The system's text for an HRESULT, without the trailing line break; empty when it has none.
std::wstring SystemMessage(HRESULT hr);

}  // namespace vantrell::com
