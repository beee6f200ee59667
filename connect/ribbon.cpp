// The ribbon of item windows (Outlook 2007 and later): the add-in's group with its two buttons,
// and the callbacks that decide what the user sees. The callbacks answer quietly: no trace, no
// failure reaches the ribbon.
#include "connect/connect.h"
#include "session/command_table.h"
#include "platform/failure.h"
#include "platform/late_bound.h"
#include "platform/outlook.h"
#include "support/shared_state.h"

namespace vantrell {
namespace {

constexpr const wchar_t* kCustomUiNamespace = L"http://schemas.microsoft.com/office/2006/01/customui";

struct RibbonTab {
    const wchar_t* ribbonId;
    const wchar_t* tab;  // nullptr: the ribbon is left as it is
};

constexpr RibbonTab kRibbonTabs[] = {
    {L"Microsoft.Outlook.Mail.Read", L"TabReadMessage"},
    {L"Microsoft.Outlook.Mail.Compose", L"TabNewMailMessage"},
    {L"Microsoft.Outlook.MeetingRequest.Read", L"TabReadMessage"},
    {L"Microsoft.Outlook.MeetingRequest.Compose", L"TabNewMailMessage"},
    {L"Microsoft.Outlook.Appointment", L"TabAppointment"},
    {L"Microsoft.Outlook.Contact", L"TabContact"},
    {L"Microsoft.Outlook.Journal", L"TabJournal"},
    {L"Microsoft.Outlook.Task", L"TabTask"},
    {L"Microsoft.Outlook.DistributionList", L"TabDistributionList"},
    {L"Microsoft.Outlook.Report", nullptr},
    {L"Microsoft.Outlook.Resend", L"TabNewMailMessage"},
    {L"Microsoft.Outlook.Response.Read", L"TabReadMessage"},
    {L"Microsoft.Outlook.Response.Compose", L"TabNewMailMessage"},
    {L"Microsoft.Outlook.Response.CounterPropose", L"TabReadMessage"},
    {L"Microsoft.Outlook.RSS", nullptr},
    {L"Microsoft.Outlook.Post.Read", L"TabReadMessage"},
    {L"Microsoft.Outlook.Post.Compose", L"TabNewMailMessage"},
    {L"Microsoft.Outlook.Sharing.Read", L"TabReadMessage"},
    {L"Microsoft.Outlook.Sharing.Compose", L"TabNewMailMessage"},
};

VARIANT_BOOL AsVariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// The item of the window a ribbon control belongs to (its Context is the item's inspector).
com::LateBound ItemOf(IDispatch* control) {
    com::LateBound context(com::LateBound(com::Ptr<IDispatch>(control)).Get(L"Context"));
    return com::LateBound(context.Get(L"CurrentItem"));
}

// Whether the control's item has been sent or received; an item that cannot be read as a mail
// item counts as one being written.
bool ItemSent(IDispatch* control) {
    com::Variant sent;
    return ItemOf(control).TryGet(L"Sent", sent) && sent.ToBool();
}

template <class Body>
HRESULT Visibility(VARIANT_BOOL* visible, Body&& body) noexcept {
    if (!visible) return E_POINTER;
    *visible = VARIANT_FALSE;
    return com::Guarded([&] {
        ProcedureScope scope;
        *visible = AsVariantBool(body());
        return S_OK;
    });
}

// One command's button, its attributes in the order its record gives.
void AppendButton(std::wstring& xml, const CommandDefinition& command) {
    xml += L"<button ";
    for (RibbonAttribute attribute : command.attributes) {
        struct Named {
            const wchar_t* name;
            const wchar_t* value;
        };
        const Named named = [&]() -> Named {
            switch (attribute) {
                case RibbonAttribute::Id: return {L"id", command.ribbonId};
                case RibbonAttribute::Label: return {L"label", command.label};
                case RibbonAttribute::Size: return {L"size", command.size};
                case RibbonAttribute::Screentip: return {L"screentip", command.screentip};
                case RibbonAttribute::Supertip: return {L"supertip", command.supertip};
                case RibbonAttribute::GetVisible: return {L"getVisible", command.getVisible};
                case RibbonAttribute::OnAction: return {L"onAction", command.onAction};
                case RibbonAttribute::ImageMso: return {L"imageMso", command.imageMso};
            }
            return {L"", L""};
        }();
        xml += named.name;
        xml += L" = \"";
        xml += named.value;
        xml += L"\" ";
    }
    xml += L"/>";
}

}  // namespace

std::wstring Connect::BuildRibbonXml(std::wstring_view tab) {
    const std::wstring before = tab == L"TabNewMailMessage" ? L"GroupClipboard" : L"GroupRespond";
    std::wstring xml;
    xml += L"<customUI xmlns=\"";
    xml += kCustomUiNamespace;
    xml += L"\"";
    xml += L" onLoad=\"Ribbon_OnLoad\">";
    xml += L"<ribbon><tabs>";
    xml += L"<tab idMso=\"";
    xml += tab;
    xml += L"\" > ";
    xml += L"<group ";
    xml += L"id=\"QuorvaneGroup\" label=\"Quorvane\" ";
    xml += L"getVisible=\"QuorvaneGroup_GetVisible\" ";
    xml += L"insertBeforeMso=\"";
    xml += before;
    xml += L"\" >";
    for (const CommandDefinition* command : InRibbonOrder()) AppendButton(xml, *command);
    xml += L"</group></tab></tabs></ribbon></customUI>";
    return xml;
}

std::wstring Connect::IRibbonExtensibility_GetCustomUI(std::wstring_view ribbonId) {
    for (const RibbonTab& entry : kRibbonTabs)
        if (ribbonId == entry.ribbonId) return entry.tab ? BuildRibbonXml(entry.tab) : std::wstring();
    return {};
}

STDMETHODIMP Connect::GetCustomUI(BSTR RibbonID, BSTR* RibbonXml) noexcept {
    if (!RibbonXml) return E_POINTER;
    *RibbonXml = nullptr;
    return com::Guarded([&] {
        std::wstring xml = IRibbonExtensibility_GetCustomUI({RibbonID ? RibbonID : L"", RibbonID ? SysStringLen(RibbonID) : 0});
        *RibbonXml = SysAllocStringLen(xml.data(), static_cast<UINT>(xml.size()));
        return *RibbonXml ? S_OK : E_OUTOFMEMORY;
    });
}

STDMETHODIMP Connect::Ribbon_OnLoad(IDispatch* Ribbon) noexcept {
    return com::Guarded([&] {
        gobjRibbon = com::Ptr<IDispatch>(Ribbon);
        return S_OK;
    });
}

STDMETHODIMP Connect::QuorvaneGroup_GetVisible(IDispatch* control, VARIANT_BOOL* visible) noexcept {
    return Visibility(visible, [&] {
        if (LogonID == 0 || CompanyID == 0) return false;
        long itemClass = 0;
        return ItemOf(control).Get(L"Class").TryLong(itemClass) && itemClass == outlook::olMail;
    });
}

STDMETHODIMP Connect::SendAndLog_GetVisible(IDispatch* control, VARIANT_BOOL* visible) noexcept {
    return CommandVisibility(ItemCommand::SendAndLog, control, visible);
}

STDMETHODIMP Connect::LogMessage_GetVisible(IDispatch* control, VARIANT_BOOL* visible) noexcept {
    return CommandVisibility(ItemCommand::LogMessage, control, visible);
}

STDMETHODIMP Connect::LogMessage_OnClick(IDispatch* control) noexcept { return RunCommand(ItemCommand::LogMessage, control); }

STDMETHODIMP Connect::SendAndLog_OnClick(IDispatch* control) noexcept { return RunCommand(ItemCommand::SendAndLog, control); }

// A command button is shown for the messages its record names.
HRESULT Connect::CommandVisibility(ItemCommand command, IDispatch* control, VARIANT_BOOL* visible) noexcept {
    return Visibility(visible, [&] { return OfferedFor(Definition(command), ItemSent(control)); });
}

// A click runs the command's ribbon form (commands/).
HRESULT Connect::RunCommand(ItemCommand command, IDispatch* control) noexcept {
    return com::Guarded([&] {
        ProcedureScope scope;
        com::Ptr<IUnknown> keep = KeepAlive();
        if (auto action = ActionsOf(command).fromRibbon) action(com::Ptr<IDispatch>(control), mobjOutlook);
        return S_OK;
    });
}

}  // namespace vantrell
