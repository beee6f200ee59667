#pragma once
// RegOp: one open registry key with named access to its values and subkeys. The add-in uses
// it for all its own registry reads and writes; other programs may create it by ProgID
// ("Vantrell.RegOp") and use the same members through IDispatch. Errors never reach the
// caller: each is traced and the member gives its neutral result. The registry work is in
// reg_op.cpp, the values' conversion in reg_value.h, the _RegOp members in reg_op_com.cpp.
#include <windows.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/type_library.h"
#include "platform/com_object.h"
#include "platform/typelib_dispatch.h"
#include "platform/variant.h"

namespace vantrell {

class RegOp : public com::Object<com::TypeLibDispatch<_RegOp>> {
public:
    RegOp();
    ~RegOp() override;

    // The members, as the add-in calls them.
    void SetRoot(long root);
    void SetKey(std::wstring_view key);
    void SetOptions(long options);
    com::Variant Value(std::wstring_view name = {});
    void SetValue(std::wstring_view name, const com::Variant& value);
    com::Variant AllValues();
    com::Variant AllKeys();
    bool DeleteValue(std::wstring_view name = {});
    bool DeleteKey();
    long ValueCount();
    long KeyCount();

    // For the add-in's own readers that must leave the registry as they found it: from now on
    // opening never creates the key, and a key that does not exist reads silently as one
    // without values or subkeys. Not part of the public interface, whose opening creates.
    void OpenExistingOnly() noexcept { openExistingOnly_ = true; }

    // _RegOp
    STDMETHODIMP put_Root(long root) noexcept override;
    STDMETHODIMP put_Key(BSTR key) noexcept override;
    STDMETHODIMP put_Options(long options) noexcept override;
    STDMETHODIMP get_Value(BSTR name, VARIANT* value) noexcept override;
    STDMETHODIMP put_Value(BSTR name, VARIANT value) noexcept override;
    STDMETHODIMP get_AllValues(VARIANT* values) noexcept override;
    STDMETHODIMP get_AllKeys(VARIANT* keys) noexcept override;
    STDMETHODIMP DeleteValue(BSTR name, VARIANT_BOOL* deleted) noexcept override;
    STDMETHODIMP DeleteKey(VARIANT_BOOL* deleted) noexcept override;
    STDMETHODIMP get_ValueCount(long* count) noexcept override;
    STDMETHODIMP get_KeyCount(long* count) noexcept override;

private:
    bool EnsureOpen();
    void Reopen();
    void Close() noexcept;
    void RefreshInfo();
    void LoadValues();
    bool ReadEnumerated(DWORD index, std::wstring& name, com::Variant& value);
    void Report(std::wstring_view message);
    void Request(REGSAM ntAccess) noexcept {
        if (isNT_) requested_ = ntAccess;
    }

    long root_ = static_cast<long>(REGOP_HKEY_CURRENT_USER);
    std::wstring key_;
    long options_ = 0;
    HKEY handle_ = nullptr;
    REGSAM requested_ = 0;
    REGSAM opened_ = 0;
    DWORD subkeyCount_ = 0;
    DWORD valueCount_ = 0;
    DWORD maxSubkeyName_ = 0;
    DWORD maxValueName_ = 0;
    DWORD maxValueData_ = 0;
    bool isNT_ = false;
    bool openExistingOnly_ = false;
    // Values by name, in the order the key enumerated them; names compare without case.
    std::vector<std::pair<std::wstring, com::Variant>> cache_;
};

// The predefined key a Root value names (0 is the current user), as the registry functions
// expect its handle on either architecture.
HKEY RootKey(long root);

}  // namespace vantrell
