#include "support/reg_value.h"

#include <cstring>

#include "platform/ansi.h"
#include "platform/text.h"
#include "platform/type_library.h"

namespace vantrell {
namespace {

std::string ExpandEnvironment(const std::string& text) {
    std::string buffer(1024, '\0');
    for (;;) {
        DWORD n = ExpandEnvironmentStringsA(text.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        // Longer than the buffer: the call reports the size it needs; ask again with that.
        if (n > buffer.size()) {
            buffer.assign(n, '\0');
            continue;
        }
        return CutAtNul(buffer.substr(0, n - 1));
    }
}

// The size of one element of an array of `vt` whose values have a text form; 0 for every other
// element type (records, objects, errors ...): such arrays are not written.
ULONG TextElementSize(VARTYPE vt) {
    switch (vt) {
        case VT_I1: case VT_UI1: return 1;
        case VT_I2: case VT_UI2: case VT_BOOL: return 2;
        case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: return 4;
        case VT_I8: case VT_UI8: case VT_R8: case VT_CY: case VT_DATE: return 8;
        case VT_DECIMAL: return sizeof(DECIMAL);
        case VT_BSTR: return sizeof(BSTR);
        case VT_VARIANT: return sizeof(VARIANT);
        default: return 0;
    }
}

// The elements of an array, reachable while this lives.
class ArrayData {
public:
    explicit ArrayData(SAFEARRAY* array) : array_(array) {
        if (FAILED(SafeArrayAccessData(array_, &data_))) array_ = nullptr;
    }
    ~ArrayData() {
        if (array_) SafeArrayUnaccessData(array_);
    }
    ArrayData(const ArrayData&) = delete;
    ArrayData& operator=(const ArrayData&) = delete;
    BYTE* Get() const { return array_ ? static_cast<BYTE*>(data_) : nullptr; }

private:
    SAFEARRAY* array_;
    void* data_ = nullptr;
};

// The elements of a one-dimensional array value as texts, for a REG_MULTI_SZ write; false when
// the array, or any one of its elements (a nested array, a Null ...), has no text form.
bool ArrayTexts(const VARIANT& value, std::vector<std::wstring>& texts) {
    SAFEARRAY* array = (V_VT(&value) & VT_BYREF) ? (V_ARRAYREF(&value) ? *V_ARRAYREF(&value) : nullptr)
                                                 : V_ARRAY(&value);
    if (!array || SafeArrayGetDim(array) != 1) return false;
    VARTYPE vt = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(array, &vt))) return false;
    // The array's own element size must be the type's, or reading an element would overrun it.
    ULONG size = TextElementSize(vt);
    if (size == 0 || array->cbElements != size) return false;
    ArrayData data(array);
    if (!data.Get()) return false;
    for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i) {
        // A reference to the element where it lies: the conversion reads it by its own type.
        VARIANT reference;
        VariantInit(&reference);
        V_VT(&reference) = static_cast<VARTYPE>(vt | VT_BYREF);
        V_BYREF(&reference) = data.Get() + static_cast<size_t>(i) * size;
        com::Variant text = com::Variant::Take(reference);
        if (!text.ChangeType(VT_BSTR)) return false;
        texts.push_back(text.ToText());
    }
    return true;
}

// A REG_MULTI_SZ's texts: up to the empty text that ends the list, or, without one, every
// text up to the trailing NULs.
com::Variant DecodeMultiString(const std::string& data, long options) {
    size_t end = data.find(std::string("\0\0", 2));
    std::string text = end == std::string::npos ? data : data.substr(0, end);
    if (end == std::string::npos) {
        while (!text.empty() && text.back() == '\0') text.pop_back();
    }
    if (!(options & ReturnMultiStringsAsArrays)) return com::Variant(FromAnsi(text));
    std::vector<com::Variant> items;
    if (!text.empty()) {
        size_t from = 0;
        for (;;) {
            size_t nul = text.find('\0', from);
            items.emplace_back(FromAnsi(text.substr(from, nul - from)));
            if (nul == std::string::npos) break;
            from = nul + 1;
        }
    }
    return VariantArray(std::move(items));
}

}  // namespace

std::string CutAtNul(const std::string& data) { return data.substr(0, data.find('\0')); }

com::Variant DecodeValue(const RegistryData& data, long options) {
    switch (data.type) {
        case REG_SZ:
            return com::Variant(FromAnsi(CutAtNul(data.bytes)));
        case REG_EXPAND_SZ: {
            std::string text = CutAtNul(data.bytes);
            if (options & ExpandEnvironmentStrings) text = ExpandEnvironment(text);
            return com::Variant(FromAnsi(text));
        }
        case REG_DWORD: {
            DWORD number = 0;
            std::memcpy(&number, data.bytes.data(), data.bytes.size() < 4 ? data.bytes.size() : 4);
            return com::Variant(static_cast<long>(number));
        }
        case REG_MULTI_SZ:
            return DecodeMultiString(data.bytes, options);
        default:
            return com::Variant(L"(unsupported data format)");
    }
}

Encoded EncodeValue(const com::Variant& newValue, std::optional<DWORD> existing, bool isDefault, long options,
                    RegistryData& data) {
    com::Variant value(newValue);
    // A value that cannot take the type it must be stored as (an array for the default value
    // or over a text, a word over a number ...) is not written.
    bool convertible = true;
    if (existing) {
        switch (*existing) {
            case REG_SZ:
            case REG_EXPAND_SZ: convertible = value.ChangeType(VT_BSTR); break;
            case REG_DWORD: convertible = value.ChangeType(VT_I4); break;
            case REG_MULTI_SZ: break;
            default: return Encoded::ExistingUnsupported;
        }
    }
    if (convertible && (options & StoreNumbersAsStrings) && value.IsNumeric()) convertible = value.ChangeType(VT_BSTR);
    if (convertible && isDefault) convertible = value.ChangeType(VT_BSTR);
    std::vector<std::wstring> texts;
    if (convertible && value.IsArray()) convertible = ArrayTexts(*value.Get(), texts);
    if (!convertible) return Encoded::NotConvertible;

    data.type = REG_SZ;
    data.bytes.clear();
    if (value.IsArray()) {
        std::wstring joined;
        for (size_t i = 0; i < texts.size(); ++i) {
            if (i) joined += L'\0';
            joined += texts[i];
        }
        data.bytes = ToAnsi(joined);
        data.bytes.append(2, '\0');
        data.type = REG_MULTI_SZ;
    } else if (value.Type() == VT_I2 || value.Type() == VT_I4) {
        DWORD number = static_cast<DWORD>(value.Type() == VT_I2 ? V_I2(value.Get()) : V_I4(value.Get()));
        data.bytes.assign(reinterpret_cast<const char*>(&number), 4);
        data.type = REG_DWORD;
    } else {
        std::wstring text = value.ToText();
        if (value.Type() == VT_BSTR && NamesEnvironmentVariable(text)) data.type = REG_EXPAND_SZ;
        data.bytes = ToAnsi(text);
        data.bytes.push_back('\0');
    }
    return Encoded::Yes;
}

bool NamesEnvironmentVariable(std::wstring_view text) {
    size_t first = text.find(L'%');
    if (first == std::wstring_view::npos || text.find(L'%', first + 1) == std::wstring_view::npos) return false;
    std::wstring lowerText = Lower(text);
    wchar_t* block = GetEnvironmentStringsW();
    if (!block) return false;
    bool found = false;
    int seen = 0;
    for (const wchar_t* entry = block; *entry && seen < 100 && !found; entry += wcslen(entry) + 1, ++seen) {
        std::wstring_view line(entry);
        size_t equals = line.find(L'=', 1);  // a leading '=' belongs to the hidden drive entries
        if (equals == std::wstring_view::npos || line[0] == L'=') continue;
        std::wstring pattern = L"%" + Lower(line.substr(0, equals)) + L"%";
        found = lowerText.find(pattern) != std::wstring::npos;
    }
    FreeEnvironmentStringsW(block);
    return found;
}

com::Variant VariantArray(std::vector<com::Variant> items) {
    SAFEARRAYBOUND bound{static_cast<ULONG>(items.size()), 0};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 1, &bound);
    if (!array) throw std::bad_alloc();
    for (LONG i = 0; i < static_cast<LONG>(items.size()); ++i) {
        SafeArrayPutElement(array, &i, items[static_cast<size_t>(i)].GetMutable());
    }
    return com::Variant::AdoptArray(array, VT_VARIANT);
}

com::Variant NameValueArray(const std::vector<std::pair<std::wstring, com::Variant>>& entries) {
    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(entries.size()), 0}, {2, 0}};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
    if (!array) throw std::bad_alloc();
    for (LONG i = 0; i < static_cast<LONG>(entries.size()); ++i) {
        com::Variant name(entries[static_cast<size_t>(i)].first);
        com::Variant value(entries[static_cast<size_t>(i)].second);
        // SafeArrayPutElement takes the leftmost index first.
        LONG nameAt[2] = {i, 0};
        LONG valueAt[2] = {i, 1};
        SafeArrayPutElement(array, nameAt, name.GetMutable());
        SafeArrayPutElement(array, valueAt, value.GetMutable());
    }
    return com::Variant::AdoptArray(array, VT_VARIANT);
}

}  // namespace vantrell
