#include "platform/text.h"

#include <windows.h>

namespace vantrell {

std::wstring Lower(std::wstring_view text) {
    std::wstring lower(text);
    if (!lower.empty()) CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
    return lower;
}

bool SameText(std::wstring_view a, std::wstring_view b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

bool ContainsNoCase(std::wstring_view text, std::wstring_view part) {
    return Lower(text).find(Lower(part)) != std::wstring::npos;
}

std::wstring RemoveAll(std::wstring text, std::wstring_view part, bool anyCase) {
    if (part.empty()) return text;
    const std::wstring lowerPart = Lower(part);
    for (size_t at = 0;;) {
        size_t found = anyCase ? Lower(text).find(lowerPart, at) : text.find(part, at);
        if (found == std::wstring::npos) return text;
        text.erase(found, part.size());
        at = found;
    }
}

}  // namespace vantrell
