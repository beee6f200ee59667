// RegOp's work on the registry: opening its key with the access each member needs, reading
// and caching the values, writing and deleting them, listing and deleting subkeys. The values'
// conversion to and from VARIANTs is in reg_value.cpp, the _RegOp members in reg_op_com.cpp.
#include "support/reg_op.h"

#include <optional>

#include "platform/ansi.h"
#include "platform/failure.h"
#include "platform/text.h"
#include "support/reg_value.h"
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
    value = DecodeValue({type, std::move(data)}, options_);
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
    DWORD existing = REG_NONE;
    LONG rc = RegQueryValueExA(handle_, ansiName.c_str(), nullptr, &existing, nullptr, nullptr);
    std::optional<DWORD> replaced;
    if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) replaced = existing;
    RegistryData data;
    switch (EncodeValue(newValue, replaced, name.empty(), options_, data)) {
        case Encoded::Yes: break;
        case Encoded::ExistingUnsupported: Report(kUnsupportedType); return;
        case Encoded::NotConvertible: Report(kNotConvertible); return;
    }
    RegSetValueExA(handle_, ansiName.c_str(), 0, data.type, reinterpret_cast<const BYTE*>(data.bytes.data()),
                   static_cast<DWORD>(data.bytes.size()));
    RefreshInfo();
    cache_.clear();
}

com::Variant RegOp::AllValues() {
    ProcedureScope scope;
    Request(kReadAccess);
    if (!EnsureOpen() || valueCount_ == 0) return {};
    if (cache_.empty()) LoadValues();
    if (cache_.empty()) return {};
    return NameValueArray(cache_);
}

com::Variant RegOp::AllKeys() {
    ProcedureScope scope;
    Request(kReadAccess);
    if (!EnsureOpen() || subkeyCount_ == 0) return {};
    // A subkey that cannot be read (deleted meanwhile) leaves its element Empty.
    std::vector<com::Variant> names(subkeyCount_);
    for (DWORD i = 0; i < names.size(); ++i) {
        std::string name(maxSubkeyName_ + 1, '\0');
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumKeyExA(handle_, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
            names[i] = com::Variant(FromAnsi(CutAtNul(name.substr(0, length))));
    }
    return VariantArray(std::move(names));
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

}  // namespace vantrell
