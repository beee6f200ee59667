#include "support/reg_op.h"

#include <cstring>

#include "platform/ansi.h"
#include "platform/failure.h"
#include "platform/text.h"
#include "support/trace.h"

namespace vantrell {
namespace {

constexpr REGSAM kReadAccess = 0x20019;   // KEY_READ
constexpr REGSAM kWriteAccess = 0x2001F;  // KEY_READ | KEY_WRITE
constexpr REGSAM kFullAccess = 0xF003F;   // KEY_ALL_ACCESS

constexpr std::wstring_view kNoKeyName = L"No Key name specified!";
constexpr std::wstring_view kCannotOpen = L"Could not open Registry Key!";
constexpr std::wstring_view kUnsupportedType = L"Existing value has unsupported data type and will not be overwritten";
constexpr std::wstring_view kNotConvertible = L"Value has unsupported data type and will not be written";

bool IsRoot(long root) {
    return root == static_cast<long>(REGOP_HKEY_CLASSES_ROOT) || root == static_cast<long>(REGOP_HKEY_CURRENT_USER) ||
           root == static_cast<long>(REGOP_HKEY_LOCAL_MACHINE);
}

bool IsPlatformNT() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;  // the 148-byte record
    return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

std::string CutAtNul(const std::string& data) { return data.substr(0, data.find('\0')); }

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

com::Variant TextArray(const std::vector<std::wstring>& items) {
    SAFEARRAYBOUND bound{static_cast<ULONG>(items.size()), 0};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 1, &bound);
    if (!array) throw std::bad_alloc();
    for (LONG i = 0; i < static_cast<LONG>(items.size()); ++i) {
        com::Variant item(items[static_cast<size_t>(i)]);
        SafeArrayPutElement(array, &i, item.GetMutable());
    }
    return com::Variant::AdoptArray(array, VT_VARIANT);
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

using DeleteTreeFunction = DWORD(WINAPI*)(HKEY, LPCSTR);

// SHDeleteKeyA, looked up once: Shlwapi stays loaded for the process once found, as loading
// and unloading it for every deletion costs milliseconds where nothing else holds it.
DeleteTreeFunction ShlwapiDeleteTree() {
    static DeleteTreeFunction function = [] () -> DeleteTreeFunction {
        HMODULE shlwapi = LoadLibraryA("Shlwapi");
        if (!shlwapi) return nullptr;
        auto found = reinterpret_cast<DeleteTreeFunction>(reinterpret_cast<void*>(GetProcAddress(shlwapi, "SHDeleteKeyA")));
        if (!found) FreeLibrary(shlwapi);
        return found;
    }();
    return function;
}

}  // namespace

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

RegOp::RegOp() : isNT_(IsPlatformNT()) { requested_ = isNT_ ? kReadAccess : 0; }

RegOp::~RegOp() { Close(); }

void RegOp::Report(std::wstring_view message) {
    WriteTrace(L"RegOp", L"ShowErrMsg", std::wstring(message) + L" Error ", kTraceDetail);
}

// Nothing read from a key outlives its handle: a later open that fails must not answer from it.
void RegOp::Close() noexcept {
    if (handle_) RegCloseKey(std::exchange(handle_, nullptr));
    opened_ = 0;
    subkeyCount_ = valueCount_ = maxSubkeyName_ = maxValueName_ = maxValueData_ = 0;
    cache_.clear();
}

void RegOp::RefreshInfo() {
    subkeyCount_ = valueCount_ = maxSubkeyName_ = maxValueName_ = maxValueData_ = 0;
    if (handle_)
        RegQueryInfoKeyA(handle_, nullptr, nullptr, nullptr, &subkeyCount_, &maxSubkeyName_, nullptr, &valueCount_,
                         &maxValueName_, &maxValueData_, nullptr, nullptr);
}

HKEY RootKey(long root) {
    if (root == 0) root = static_cast<long>(REGOP_HKEY_CURRENT_USER);
    // The predefined keys are 32-bit values sign-extended to a handle, as windows.h defines
    // them: on 64-bit Windows HKEY_CURRENT_USER is 0xFFFFFFFF80000001.
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(root)));
}

bool RegOp::EnsureOpen() {
    if (key_.empty()) {
        Report(kNoKeyName);
        return false;
    }
    if (handle_ && opened_ != requested_) Close();
    if (handle_) return true;
    HKEY root = RootKey(root_);
    HKEY opened = nullptr;
    std::string path = ToAnsi(key_);
    LONG rc = openExistingOnly_
                  ? RegOpenKeyExA(root, path.c_str(), 0, requested_, &opened)
                  : RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, requested_, nullptr,
                                    &opened, nullptr);
    if (rc == ERROR_SUCCESS) {
        handle_ = opened;
        opened_ = requested_;
        RefreshInfo();
        return true;
    }
    // A key that is not there is what a reader that must not create it expects to meet.
    if (!(openExistingOnly_ && rc == ERROR_FILE_NOT_FOUND)) Report(kCannotOpen);
    return false;
}

void RegOp::Reopen() {
    Close();
    EnsureOpen();
}

void RegOp::SetRoot(long root) {
    ProcedureScope scope;
    if (!IsRoot(root)) root = static_cast<long>(REGOP_HKEY_CURRENT_USER);
    if (root == root_) return;
    root_ = root;
    if (!key_.empty()) Reopen();
}

void RegOp::SetKey(std::wstring_view key) {
    ProcedureScope scope;
    if (key.empty()) return;
    if (key_.empty()) {
        key_ = key;
        return;
    }
    if (SameText(key_, key)) return;
    key_ = key;
    Reopen();
}

void RegOp::SetOptions(long options) {
    ProcedureScope scope;
    if (options >= 0 && options <= 15) options_ = options;
}

bool RegOp::ReadEnumerated(DWORD index, std::wstring& name, com::Variant& value) {
    std::string nameBuffer, data;
    DWORD nameLength = 0, dataLength = 0, type = 0;
    LONG rc = ERROR_MORE_DATA;
    // Sizes come from the last open; a value written since by someone else may be longer.
    for (int attempt = 0; attempt < 2 && rc == ERROR_MORE_DATA; ++attempt) {
        if (attempt > 0) RefreshInfo();
        nameBuffer.assign(maxValueName_ + 1, '\0');
        data.assign(maxValueData_ + 1, '\0');
        nameLength = static_cast<DWORD>(nameBuffer.size());
        dataLength = static_cast<DWORD>(data.size());
        rc = RegEnumValueA(handle_, index, nameBuffer.data(), &nameLength, nullptr, &type,
                           reinterpret_cast<BYTE*>(data.data()), &dataLength);
    }
    if (rc != ERROR_SUCCESS) return false;
    name = FromAnsi(CutAtNul(nameBuffer.substr(0, nameLength)));
    data.resize(dataLength < data.size() ? dataLength : data.size());
    switch (type) {
        case REG_SZ:
            value = com::Variant(FromAnsi(CutAtNul(data)));
            break;
        case REG_EXPAND_SZ: {
            std::string text = CutAtNul(data);
            if (options_ & ExpandEnvironmentStrings) text = ExpandEnvironment(text);
            value = com::Variant(FromAnsi(text));
            break;
        }
        case REG_DWORD: {
            DWORD number = 0;
            std::memcpy(&number, data.data(), data.size() < 4 ? data.size() : 4);
            value = com::Variant(static_cast<long>(number));
            break;
        }
        case REG_MULTI_SZ: {
            size_t end = data.find(std::string("\0\0", 2));
            std::string text = end == std::string::npos ? data : data.substr(0, end);
            if (end == std::string::npos) {
                while (!text.empty() && text.back() == '\0') text.pop_back();
            }
            if (options_ & ReturnMultiStringsAsArrays) {
                std::vector<std::wstring> items;
                if (!text.empty()) {
                    size_t from = 0;
                    for (;;) {
                        size_t nul = text.find('\0', from);
                        items.push_back(FromAnsi(text.substr(from, nul - from)));
                        if (nul == std::string::npos) break;
                        from = nul + 1;
                    }
                }
                value = TextArray(items);
            } else {
                value = com::Variant(FromAnsi(text));
            }
            break;
        }
        default:
            value = com::Variant(L"(unsupported data format)");
            break;
    }
    return true;
}

void RegOp::LoadValues() {
    if (key_.empty()) {
        Report(kNoKeyName);
        return;
    }
    Request(kReadAccess);
    if (!EnsureOpen() || valueCount_ == 0) return;
    cache_.clear();
    DWORD count = valueCount_;
    for (DWORD i = 0; i < count; ++i) {
        std::wstring name;
        com::Variant value;
        if (ReadEnumerated(i, name, value)) cache_.emplace_back(std::move(name), std::move(value));
    }
}

com::Variant RegOp::Value(std::wstring_view name) {
    ProcedureScope scope;
    if (cache_.empty()) LoadValues();
    for (const auto& entry : cache_) {
        if (SameText(entry.first, name)) return entry.second;
    }
    return {};
}

void RegOp::SetValue(std::wstring_view name, const com::Variant& newValue) {
    ProcedureScope scope;
    if (newValue.IsEmpty()) return;
    Request(kWriteAccess);
    if (!EnsureOpen()) return;

    std::string ansiName = ToAnsi(name);
    com::Variant value(newValue);
    DWORD existing = REG_NONE;
    LONG rc = RegQueryValueExA(handle_, ansiName.c_str(), nullptr, &existing, nullptr, nullptr);
    // A value that cannot take the type it must be stored as (an array for the default value
    // or over a text, a word over a number ...) is not written.
    bool convertible = true;
    if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
        switch (existing) {
            case REG_SZ:
            case REG_EXPAND_SZ: convertible = value.ChangeType(VT_BSTR); break;
            case REG_DWORD: convertible = value.ChangeType(VT_I4); break;
            case REG_MULTI_SZ: break;
            default: Report(kUnsupportedType); return;
        }
    }
    if (convertible && (options_ & StoreNumbersAsStrings) && value.IsNumeric()) convertible = value.ChangeType(VT_BSTR);
    if (convertible && name.empty()) convertible = value.ChangeType(VT_BSTR);
    std::vector<std::wstring> texts;
    if (convertible && value.IsArray()) convertible = ArrayTexts(*value.Get(), texts);
    if (!convertible) {
        Report(kNotConvertible);
        return;
    }

    DWORD type = REG_SZ;
    std::string bytes;
    if (value.IsArray()) {
        std::wstring joined;
        for (size_t i = 0; i < texts.size(); ++i) {
            if (i) joined += L'\0';
            joined += texts[i];
        }
        bytes = ToAnsi(joined);
        bytes.append(2, '\0');
        type = REG_MULTI_SZ;
    } else if (value.Type() == VT_I2 || value.Type() == VT_I4) {
        DWORD number = static_cast<DWORD>(value.Type() == VT_I2 ? V_I2(value.Get()) : V_I4(value.Get()));
        bytes.assign(reinterpret_cast<const char*>(&number), 4);
        type = REG_DWORD;
    } else {
        std::wstring text = value.ToText();
        if (value.Type() == VT_BSTR && NamesEnvironmentVariable(text)) type = REG_EXPAND_SZ;
        bytes = ToAnsi(text);
        bytes.push_back('\0');
    }
    RegSetValueExA(handle_, ansiName.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RefreshInfo();
    cache_.clear();
}

com::Variant RegOp::AllValues() {
    ProcedureScope scope;
    Request(kReadAccess);
    if (!EnsureOpen() || valueCount_ == 0) return {};
    if (cache_.empty()) LoadValues();
    if (cache_.empty()) return {};
    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(cache_.size()), 0}, {2, 0}};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
    if (!array) throw std::bad_alloc();
    for (LONG i = 0; i < static_cast<LONG>(cache_.size()); ++i) {
        com::Variant name(cache_[static_cast<size_t>(i)].first);
        com::Variant value(cache_[static_cast<size_t>(i)].second);
        // SafeArrayPutElement takes the leftmost index first.
        LONG nameAt[2] = {i, 0};
        LONG valueAt[2] = {i, 1};
        SafeArrayPutElement(array, nameAt, name.GetMutable());
        SafeArrayPutElement(array, valueAt, value.GetMutable());
    }
    return com::Variant::AdoptArray(array, VT_VARIANT);
}

com::Variant RegOp::AllKeys() {
    ProcedureScope scope;
    Request(kReadAccess);
    if (!EnsureOpen() || subkeyCount_ == 0) return {};
    DWORD count = subkeyCount_;
    SAFEARRAYBOUND bound{count, 0};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 1, &bound);
    if (!array) throw std::bad_alloc();
    for (LONG i = 0; i < static_cast<LONG>(count); ++i) {
        std::string name(maxSubkeyName_ + 1, '\0');
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumKeyExA(handle_, static_cast<DWORD>(i), name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            continue;
        com::Variant item(FromAnsi(CutAtNul(name.substr(0, length))));
        SafeArrayPutElement(array, &i, item.GetMutable());
    }
    return com::Variant::AdoptArray(array, VT_VARIANT);
}

bool RegOp::DeleteValue(std::wstring_view name) {
    ProcedureScope scope;
    Request(kFullAccess);
    if (!EnsureOpen()) return false;
    if (RegDeleteValueA(handle_, ToAnsi(name).c_str()) != ERROR_SUCCESS) return false;
    RefreshInfo();
    cache_.clear();
    return true;
}

bool RegOp::DeleteKey() {
    ProcedureScope scope;
    if (key_.empty()) {
        Report(kNoKeyName);
        return false;
    }
    size_t slash = key_.rfind(L'\\');
    if (slash == std::wstring::npos || slash + 1 == key_.size()) return false;
    std::string subkey = ToAnsi(key_.substr(slash + 1));
    key_.resize(slash);
    Request(kFullAccess);
    Close();
    if (!EnsureOpen()) return false;

    // Shlwapi deletes the whole subtree; without it only a key with no subkeys can go.
    DeleteTreeFunction deleteTree = ShlwapiDeleteTree();
    LONG rc = deleteTree ? static_cast<LONG>(deleteTree(handle_, subkey.c_str())) : RegDeleteKeyA(handle_, subkey.c_str());
    if (rc != ERROR_SUCCESS) return false;
    RefreshInfo();
    cache_.clear();
    return true;
}

long RegOp::ValueCount() {
    ProcedureScope scope;
    return EnsureOpen() ? static_cast<long>(valueCount_) : 0;
}

long RegOp::KeyCount() {
    ProcedureScope scope;
    return EnsureOpen() ? static_cast<long>(subkeyCount_) : 0;
}

// ---- _RegOp ----

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
