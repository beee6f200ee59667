#include "sim/outlook/custom_ui.h"

#include <windows.h>
#include <msxml2.h>

#include <stdexcept>

#include "platform/com_ptr.h"
#include "platform/variant.h"

namespace vantrell::sim {

const wchar_t kCustomUiNamespace[] = L"http://schemas.microsoft.com/office/2006/01/customui";

namespace {

com::Ptr<IXMLDOMDocument> NewDocument() {
    for (const wchar_t* progId : {L"Msxml2.DOMDocument.6.0", L"Msxml2.DOMDocument.3.0"}) {
        CLSID clsid;
        if (FAILED(CLSIDFromProgID(progId, &clsid))) continue;
        com::Ptr<IXMLDOMDocument> document;
        if (SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                       reinterpret_cast<void**>(document.ReleaseAndGetAddressOf()))) &&
            document)
            return document;
    }
    throw std::runtime_error("no MSXML document can be created");
}

std::wstring Trimmed(std::wstring text) {
    while (!text.empty() && iswspace(text.back())) text.pop_back();
    return text;
}

// Why MSXML could not load the markup, as its parse error tells it.
std::wstring ParseFailure(IXMLDOMDocument* document) {
    com::Ptr<IXMLDOMParseError> error;
    com::Bstr reason;
    long line = 0, position = 0;
    if (SUCCEEDED(document->get_parseError(error.ReleaseAndGetAddressOf())) && error) {
        error->get_reason(reason.Out());
        error->get_line(&line);
        error->get_linepos(&position);
    }
    std::wstring text = Trimmed(reason.Text());
    if (text.empty()) text = L"the markup is not well-formed";
    if (line > 0) text += L" (line " + std::to_wstring(line) + L", position " + std::to_wstring(position) + L")";
    return text;
}

std::wstring BaseName(IXMLDOMNode* node) {
    com::Bstr name;
    node->get_baseName(name.Out());
    return name.Text();
}

std::wstring NamespaceOf(IXMLDOMNode* node) {
    com::Bstr uri;
    node->get_namespaceURI(uri.Out());
    return uri.Text();
}

// An element of the custom-UI namespace with this local name.
bool IsUiElement(IXMLDOMNode* node, const wchar_t* name) {
    DOMNodeType type = NODE_INVALID;
    return SUCCEEDED(node->get_nodeType(&type)) && type == NODE_ELEMENT && BaseName(node) == name &&
           NamespaceOf(node) == kCustomUiNamespace;
}

std::vector<com::Ptr<IXMLDOMNode>> ChildNodes(IXMLDOMNode* node) {
    std::vector<com::Ptr<IXMLDOMNode>> children;
    com::Ptr<IXMLDOMNodeList> list;
    long length = 0;
    if (FAILED(node->get_childNodes(list.ReleaseAndGetAddressOf())) || !list || FAILED(list->get_length(&length)))
        return children;
    for (long i = 0; i < length; ++i) {
        com::Ptr<IXMLDOMNode> child;
        if (SUCCEEDED(list->get_item(i, child.ReleaseAndGetAddressOf())) && child) children.push_back(child);
    }
    return children;
}

// The child elements of `node` of the custom-UI namespace named `name`.
std::vector<com::Ptr<IXMLDOMNode>> UiChildren(IXMLDOMNode* node, const wchar_t* name) {
    std::vector<com::Ptr<IXMLDOMNode>> found;
    for (auto& child : ChildNodes(node))
        if (IsUiElement(child.Get(), name)) found.push_back(std::move(child));
    return found;
}

std::wstring Attribute(IXMLDOMNode* node, const wchar_t* name) {
    com::Ptr<IXMLDOMElement> element;
    if (FAILED(node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(element.ReleaseAndGetAddressOf()))) ||
        !element)
        return {};
    com::Bstr attributeName(name);
    com::Variant value;
    if (element->getAttribute(attributeName.Get(), value.Out()) != S_OK || value.Type() != VT_BSTR) return {};
    return value.ToText();
}

RibbonControlDef ControlOf(IXMLDOMNode* node, bool group, size_t groupIndex) {
    RibbonControlDef control;
    control.group = group;
    control.groupIndex = groupIndex;
    control.id = Attribute(node, L"id");
    control.label = Attribute(node, L"label");
    control.getVisible = Attribute(node, L"getVisible");
    control.onAction = Attribute(node, L"onAction");
    control.tag = Attribute(node, L"tag");
    return control;
}

// The buttons inside a group, wherever they sit in it (boxes, button groups, menus), in order.
void CollectButtons(IXMLDOMNode* node, size_t groupIndex, std::vector<RibbonControlDef>& into) {
    for (const auto& child : ChildNodes(node)) {
        if (IsUiElement(child.Get(), L"button")) into.push_back(ControlOf(child.Get(), false, groupIndex));
        CollectButtons(child.Get(), groupIndex, into);
    }
}

}  // namespace

std::optional<CustomUi> ParseCustomUi(const std::wstring& xml, std::wstring& reason) {
    com::Ptr<IXMLDOMDocument> document = NewDocument();
    document->put_async(VARIANT_FALSE);
    com::Bstr text(xml);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(document->loadXML(text.Get(), &loaded)) || loaded == VARIANT_FALSE) {
        reason = ParseFailure(document.Get());
        return std::nullopt;
    }
    com::Ptr<IXMLDOMElement> root;
    if (FAILED(document->get_documentElement(root.ReleaseAndGetAddressOf())) || !root) {
        reason = L"the markup has no root element";
        return std::nullopt;
    }
    if (!IsUiElement(root.Get(), L"customUI")) {
        const std::wstring uri = NamespaceOf(root.Get());
        reason = L"the root element is " + BaseName(root.Get()) + L" in " +
                 (uri.empty() ? std::wstring(L"no namespace") : L"the namespace " + uri) + L", not customUI in " +
                 kCustomUiNamespace;
        return std::nullopt;
    }
    CustomUi ui;
    ui.onLoad = Attribute(root.Get(), L"onLoad");
    for (const auto& ribbon : UiChildren(root.Get(), L"ribbon"))
        for (const auto& tabs : UiChildren(ribbon.Get(), L"tabs"))
            for (const auto& tab : UiChildren(tabs.Get(), L"tab"))
                for (const auto& group : UiChildren(tab.Get(), L"group")) {
                    const size_t index = ui.controls.size();
                    ui.controls.push_back(ControlOf(group.Get(), true, index));
                    CollectButtons(group.Get(), index, ui.controls);
                }
    return ui;
}

}  // namespace vantrell::sim
