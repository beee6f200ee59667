#pragma once
// Ribbon definitions (customUI markup) read as Office reads them: parsed by MSXML, refused unless
// the root element is customUI in the 2006 custom-UI namespace, and reduced to what the simulated
// ribbon shows: the load callback and the groups and buttons of the definition's tabs.
#include <optional>
#include <string>
#include <vector>

namespace vantrell::sim {

extern const wchar_t kCustomUiNamespace[];

// A group or a button of a definition; the attributes as the parser gives them (entities
// decoded), empty when missing.
struct RibbonControlDef {
    bool group = false;
    std::wstring id, label, getVisible, onAction, tag;
    size_t groupIndex = 0;  // a button's group: its position in CustomUi::controls
};

struct CustomUi {
    std::wstring onLoad;
    // Every <group> of ribbon/tabs/tab, each followed by the <button>s inside it (at any depth),
    // in document order.
    std::vector<RibbonControlDef> controls;
};

// Parses a definition with MSXML ("Msxml2.DOMDocument.6.0", or "Msxml2.DOMDocument.3.0" where 6.0
// is not installed). Answers nothing, with `reason` saying why, for markup that does not parse or
// whose root is not customUI in kCustomUiNamespace. Throws std::runtime_error when neither MSXML
// can be created.
std::optional<CustomUi> ParseCustomUi(const std::wstring& xml, std::wstring& reason);

}  // namespace vantrell::sim
