#pragma once
// Text comparisons without regard to letter case, as the add-in's logic makes them (registry
// names, collection keys, the service's replies).
#include <string>
#include <string_view>

namespace vantrell {

std::wstring Lower(std::wstring_view text);
// Equal when letter case is ignored.
bool SameText(std::wstring_view a, std::wstring_view b);

}  // namespace vantrell
