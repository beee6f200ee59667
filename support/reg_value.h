#pragma once
// RegOp's values between the registry's data and VARIANTs: a value read answers as a text, a
// Long or an array of texts (by RegOp's Options), a value written is stored as REG_SZ,
// REG_EXPAND_SZ, REG_DWORD or REG_MULTI_SZ, and the lists RegOp answers are SAFEARRAYs of
// VARIANTs. Texts are in the system ANSI code page in the registry, as the A functions take them.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/variant.h"

namespace vantrell {

// One value's data as the registry functions give and take it.
struct RegistryData {
    DWORD type = REG_NONE;
    std::string bytes;
};

// A registry text up to its first NUL.
std::string CutAtNul(const std::string& data);

// The value RegOp answers for `data`, by its `options` (ExpandEnvironmentStrings,
// ReturnMultiStringsAsArrays); a type it does not read answers "(unsupported data format)".
com::Variant DecodeValue(const RegistryData& data, long options);

enum class Encoded {
    Yes,
    ExistingUnsupported,  // the value it would replace has a type RegOp does not write
    NotConvertible,       // the value cannot take the type it must be stored as
};
// `value` as the data it is written as, over a value of type `existing` (none: a new value);
// `isDefault`: the key's unnamed value, which takes only a text. By `options`
// (StoreNumbersAsStrings).
Encoded EncodeValue(const com::Variant& value, std::optional<DWORD> existing, bool isDefault, long options,
                    RegistryData& data);

// Whether a text names an environment variable as %NAME% (the test that makes it REG_EXPAND_SZ).
bool NamesEnvironmentVariable(std::wstring_view text);

// A one-dimensional array of VARIANTs holding `items`.
com::Variant VariantArray(std::vector<com::Variant> items);
// A two-dimensional array of VARIANTs: one row per entry, its name then its value.
com::Variant NameValueArray(const std::vector<std::pair<std::wstring, com::Variant>>& entries);

}  // namespace vantrell
