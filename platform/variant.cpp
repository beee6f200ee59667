#include "platform/variant.h"

#include <new>

#include "platform/failure.h"

namespace vantrell::com {

// ---- Bstr ----

Bstr::Bstr(std::wstring_view text) {
    b_ = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!b_) throw std::bad_alloc();
}

Bstr::Bstr(const Bstr& other) {
    if (other.b_) {
        b_ = SysAllocStringLen(other.b_, other.Length());
        if (!b_) throw std::bad_alloc();
    }
}

Bstr& Bstr::operator=(const Bstr& other) {
    if (this != &other) {
        Bstr copy(other);
        std::swap(b_, copy.b_);
    }
    return *this;
}

Bstr& Bstr::operator=(Bstr&& other) noexcept {
    if (this != &other) {
        Reset();
        b_ = std::exchange(other.b_, nullptr);
    }
    return *this;
}

Bstr Bstr::Attach(BSTR b) noexcept {
    Bstr result;
    result.b_ = b;
    return result;
}

void Bstr::Reset() noexcept {
    if (BSTR old = std::exchange(b_, nullptr)) SysFreeString(old);
}

BSTR* Bstr::Out() noexcept {
    Reset();
    return &b_;
}

// ---- Variant ----

Variant::Variant(const VARIANT& v) {
    VariantInit(&v_);
    HRESULT hr = VariantCopy(&v_, const_cast<VARIANT*>(&v));
    if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
    if (FAILED(hr)) RecordHResult(hr, L"VariantCopy");
}

Variant::Variant(Variant&& other) noexcept {
    v_ = other.v_;
    VariantInit(&other.v_);
}

Variant& Variant::operator=(const Variant& other) {
    if (this != &other) {
        Variant copy(other);
        std::swap(v_, copy.v_);
    }
    return *this;
}

Variant& Variant::operator=(Variant&& other) noexcept {
    if (this != &other) {
        VariantClear(&v_);
        v_ = other.v_;
        VariantInit(&other.v_);
    }
    return *this;
}

Variant::Variant(long value) noexcept {
    VariantInit(&v_);
    V_VT(&v_) = VT_I4;
    V_I4(&v_) = value;
}

Variant::Variant(std::int16_t value) noexcept {
    VariantInit(&v_);
    V_VT(&v_) = VT_I2;
    V_I2(&v_) = value;
}

Variant::Variant(double value) noexcept {
    VariantInit(&v_);
    V_VT(&v_) = VT_R8;
    V_R8(&v_) = value;
}

Variant::Variant(std::wstring_view text) {
    VariantInit(&v_);
    BSTR b = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!b) throw std::bad_alloc();
    V_VT(&v_) = VT_BSTR;
    V_BSTR(&v_) = b;
}

Variant::Variant(IDispatch* object) noexcept {
    VariantInit(&v_);
    V_VT(&v_) = VT_DISPATCH;
    V_DISPATCH(&v_) = object;
    if (object) object->AddRef();
}

Variant Variant::Boolean(bool value) noexcept {
    Variant result;
    V_VT(&result.v_) = VT_BOOL;
    V_BOOL(&result.v_) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return result;
}

Variant Variant::Date(double date) noexcept {
    Variant result;
    V_VT(&result.v_) = VT_DATE;
    V_DATE(&result.v_) = date;
    return result;
}

Variant Variant::BoolRef(VARIANT_BOOL* target) noexcept {
    Variant result;
    V_VT(&result.v_) = VT_BOOL | VT_BYREF;
    V_BOOLREF(&result.v_) = target;
    return result;
}

Variant Variant::Missing() noexcept {
    Variant result;
    V_VT(&result.v_) = VT_ERROR;
    V_ERROR(&result.v_) = DISP_E_PARAMNOTFOUND;
    return result;
}

Variant Variant::Take(VARIANT& v) noexcept {
    Variant result;
    result.v_ = v;
    VariantInit(&v);
    return result;
}

Variant Variant::AdoptArray(SAFEARRAY* array, VARTYPE element) noexcept {
    Variant result;
    V_VT(&result.v_) = static_cast<VARTYPE>(VT_ARRAY | element);
    V_ARRAY(&result.v_) = array;
    return result;
}

VARIANT* Variant::Out() noexcept {
    VariantClear(&v_);
    return &v_;
}

void Variant::DetachTo(VARIANT* out) noexcept {
    *out = v_;
    VariantInit(&v_);
}

bool Variant::IsObject() const noexcept {
    VARTYPE vt = V_VT(&v_);
    if (vt == VT_DISPATCH) return V_DISPATCH(&v_) != nullptr;
    if (vt == VT_UNKNOWN) return V_UNKNOWN(&v_) != nullptr;
    if (vt == (VT_DISPATCH | VT_BYREF)) return V_DISPATCHREF(&v_) && *V_DISPATCHREF(&v_);
    if (vt == (VT_UNKNOWN | VT_BYREF)) return V_UNKNOWNREF(&v_) && *V_UNKNOWNREF(&v_);
    return false;
}

bool Variant::IsNumeric() const noexcept {
    switch (V_VT(&v_) & ~VT_BYREF) {
        case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_UI1: case VT_UI2: case VT_UI4:
        case VT_UI8: case VT_INT: case VT_UINT: case VT_R4: case VT_R8: case VT_CY:
        case VT_DECIMAL: case VT_BOOL: case VT_EMPTY:
            return true;
        case VT_BSTR: {
            VARIANT copy;
            VariantInit(&copy);
            bool numeric = SUCCEEDED(VariantChangeType(&copy, const_cast<VARIANT*>(&v_), 0, VT_R8));
            VariantClear(&copy);
            return numeric;
        }
        default:
            return false;
    }
}

namespace {
// VB's conversions of Boolean to text say True/False.
constexpr USHORT kConversionFlags = VARIANT_ALPHABOOL;

bool Convert(const VARIANT& from, VARTYPE vt, VARIANT& to) {
    HRESULT hr = VariantChangeType(&to, const_cast<VARIANT*>(&from), kConversionFlags, vt);
    if (FAILED(hr)) {
        RecordHResult(hr, L"conversion");
        return false;
    }
    return true;
}
}  // namespace

long Variant::ToLong() const {
    Variant r;
    return Convert(v_, VT_I4, *r.Out()) ? V_I4(r.Get()) : 0;
}

std::int16_t Variant::ToInt() const {
    Variant r;
    return Convert(v_, VT_I2, *r.Out()) ? V_I2(r.Get()) : 0;
}

double Variant::ToDouble() const {
    Variant r;
    return Convert(v_, VT_R8, *r.Out()) ? V_R8(r.Get()) : 0.0;
}

bool Variant::ToBool() const {
    Variant r;
    return Convert(v_, VT_BOOL, *r.Out()) && V_BOOL(r.Get()) != VARIANT_FALSE;
}

std::wstring Variant::ToText() const {
    if (V_VT(&v_) == VT_BSTR) return std::wstring(V_BSTR(&v_) ? V_BSTR(&v_) : L"", SysStringLen(V_BSTR(&v_)));
    Variant r;
    if (!Convert(v_, VT_BSTR, *r.Out())) return {};
    return std::wstring(V_BSTR(r.Get()), SysStringLen(V_BSTR(r.Get())));
}

Ptr<IDispatch> Variant::ToDispatch() const {
    const VARIANT* v = &v_;
    if (V_VT(v) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    IUnknown* unknown = nullptr;
    switch (V_VT(v)) {
        case VT_DISPATCH: unknown = V_DISPATCH(v); break;
        case VT_UNKNOWN: unknown = V_UNKNOWN(v); break;
        case VT_DISPATCH | VT_BYREF: unknown = V_DISPATCHREF(v) ? *V_DISPATCHREF(v) : nullptr; break;
        case VT_UNKNOWN | VT_BYREF: unknown = V_UNKNOWNREF(v) ? *V_UNKNOWNREF(v) : nullptr; break;
        case VT_EMPTY: return {};
        default: RecordHResult(DISP_E_TYPEMISMATCH, L"object conversion"); return {};
    }
    if (!unknown) return {};
    Ptr<IDispatch> result;
    HRESULT hr = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(result.ReleaseAndGetAddressOf()));
    if (FAILED(hr)) RecordHResult(hr, L"object conversion");
    return result;
}

bool Variant::TryLong(long& out) const {
    Variant r;
    if (!Convert(v_, VT_I4, *r.Out())) return false;
    out = V_I4(r.Get());
    return true;
}

bool Variant::TryInt(std::int16_t& out) const {
    Variant r;
    if (!Convert(v_, VT_I2, *r.Out())) return false;
    out = V_I2(r.Get());
    return true;
}

bool Variant::TryBool(bool& out) const {
    Variant r;
    if (!Convert(v_, VT_BOOL, *r.Out())) return false;
    out = V_BOOL(r.Get()) != VARIANT_FALSE;
    return true;
}

bool Variant::ChangeType(VARTYPE vt) {
    Variant r;
    if (!Convert(v_, vt, *r.Out())) return false;
    *this = std::move(r);
    return true;
}

// ---- ExcepInfo ----

void ExcepInfo::Zero() noexcept { ZeroMemory(&e_, sizeof e_); }

void ExcepInfo::Clear() noexcept {
    SysFreeString(e_.bstrSource);
    SysFreeString(e_.bstrDescription);
    SysFreeString(e_.bstrHelpFile);
    Zero();
}

void ExcepInfo::Fill() noexcept {
    if (e_.pfnDeferredFillIn) {
        auto fill = e_.pfnDeferredFillIn;
        e_.pfnDeferredFillIn = nullptr;
        fill(&e_);
    }
}

HRESULT ExcepInfo::Code(HRESULT fallback) noexcept {
    Fill();
    if (e_.scode != 0) return e_.scode;
    if (e_.wCode != 0) return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, e_.wCode);
    return fallback;
}

std::wstring ExcepInfo::Description() noexcept {
    Fill();
    try {
        return e_.bstrDescription ? std::wstring(e_.bstrDescription, SysStringLen(e_.bstrDescription)) : std::wstring();
    } catch (...) {
        return {};
    }
}

// ---- system text ----

std::wstring SystemMessage(HRESULT hr) {
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (n && buffer) text.assign(buffer, n);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    if (!text.empty()) return text;
    // Some systems have no text for the automation codes: use the language's own.
    switch (hr) {
        case DISP_E_TYPEMISMATCH: return L"Type mismatch";
        case DISP_E_OVERFLOW: return L"Overflow";
        case DISP_E_UNKNOWNNAME:
        case DISP_E_MEMBERNOTFOUND: return L"Object doesn't support this property or method";
        case DISP_E_BADPARAMCOUNT: return L"Wrong number of arguments or invalid property assignment";
        case DISP_E_PARAMNOTOPTIONAL: return L"Argument not optional";
        case DISP_E_BADINDEX: return L"Subscript out of range";
        case E_POINTER: return L"Object variable not set";
        default: return text;
    }
}

}  // namespace vantrell::com
