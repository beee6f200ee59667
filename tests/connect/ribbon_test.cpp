// The ribbon as Office meets it: the definition answered for each ribbon id (parsed as Office
// parses it), and the visibility callbacks called by name through Connect's IDispatch.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "connect/connect.h"
#include "tests/platform/fake_dispatch.h"
#include "platform/late_bound.h"
#include "support/shared_state.h"

namespace vantrell {
namespace {

using com::LateBound;
using com::Variant;

constexpr const wchar_t* kNamespace = L"http://schemas.microsoft.com/office/2006/01/customui";

// The definition for the read tab, written out whole.
constexpr const wchar_t* kReadDefinition =
    L"<customUI xmlns=\"http://schemas.microsoft.com/office/2006/01/customui\" onLoad=\"Ribbon_OnLoad\">"
    L"<ribbon><tabs><tab idMso=\"TabReadMessage\" > <group id=\"QuorvaneGroup\" label=\"Quorvane\" "
    L"getVisible=\"QuorvaneGroup_GetVisible\" insertBeforeMso=\"GroupRespond\" >"
    L"<button id = \"QuorvaneSendAndLog\" label = \"Send &amp;&amp; Log\" size = \"large\" "
    L"screentip = \"Send &amp;&amp; Log\" supertip = \"Send this message and log a copy in your Leads database\" "
    L"getVisible = \"SendAndLog_GetVisible\" onAction = \"SendAndLog_OnClick\" imageMso = \"SaveSentItemsMenu\" />"
    L"<button id = \"QuorvaneLogMessage\" label = \"Log Message \" size = \"large\" "
    L"getVisible = \"LogMessage_GetVisible\" onAction = \"LogMessage_OnClick\" screentip = \"Log Message\" "
    L"supertip = \"Log a copy of this message in your Leads database\" imageMso = \"CreateMailRule\" />"
    L"</group></tab></tabs></ribbon></customUI>";

// What MSXML makes of a definition: the root's namespace, the tab, the group's reference and
// the buttons' labels; empty when it does not parse.
struct Parsed {
    std::wstring rootNamespace, tab, before, sendLabel, logLabel;
};

Parsed Parse(const std::wstring& xml) {
    Parsed parsed;
    LateBound document = com::CreateObject(L"Msxml2.DOMDocument.3.0");
    if (!document || !document.Call(L"loadXML", {Variant(xml)}).ToBool()) return parsed;
    document.Call(L"setProperty", {Variant(L"SelectionNamespaces"),
                                   Variant(std::wstring(L"xmlns:c='") + kNamespace + L"'")});
    LateBound root(document.Get(L"documentElement"));
    parsed.rootNamespace = root.Get(L"namespaceURI").ToText();
    auto attribute = [&](const wchar_t* path, const wchar_t* name) {
        LateBound node(document.Call(L"selectSingleNode", {Variant(path)}));
        return node ? node.Call(L"getAttribute", {Variant(name)}).ToText() : std::wstring();
    };
    parsed.tab = attribute(L"/c:customUI/c:ribbon/c:tabs/c:tab", L"idMso");
    parsed.before = attribute(L"//c:group", L"insertBeforeMso");
    parsed.sendLabel = attribute(L"//c:button[@id='QuorvaneSendAndLog']", L"label");
    parsed.logLabel = attribute(L"//c:button[@id='QuorvaneLogMessage']", L"label");
    return parsed;
}

class Ribbon : public testing::Test {
protected:
    void TearDown() override {
        LogonID = 0;
        CompanyID = 0;
        gobjRibbon.Reset();
    }
    // The add-in's object as the host holds it after asking for IRibbonExtensibility.
    com::Ptr<Connect> connect = com::Make<Connect>();
    LateBound AsRibbonHost() {
        com::Ptr<IRibbonExtensibility> extensibility = connect.As<IRibbonExtensibility>();
        return LateBound(com::Ptr<IDispatch>(static_cast<IDispatch*>(extensibility.Get())));
    }
};

struct Definition {
    const wchar_t* ribbonId;
    const wchar_t* tab;  // nullptr: no definition
    const wchar_t* before;
};

class RibbonDefinition : public Ribbon, public testing::WithParamInterface<Definition> {};

TEST_P(RibbonDefinition, NamesItsTabAndReferenceGroupAndParses) {
    const Definition& d = GetParam();
    com::Ptr<IRibbonExtensibility> extensibility = connect.As<IRibbonExtensibility>();
    ASSERT_TRUE(extensibility);
    com::Bstr id(d.ribbonId);
    com::Bstr xml;
    ASSERT_EQ(S_OK, extensibility->GetCustomUI(id.Get(), xml.Out()));
    if (!d.tab) {
        EXPECT_EQ(0u, xml.Length());
        return;
    }
    EXPECT_EQ(Connect::BuildRibbonXml(d.tab), xml.Text());
    const Parsed parsed = Parse(xml.Text());
    EXPECT_EQ(kNamespace, parsed.rootNamespace);
    EXPECT_EQ(d.tab, parsed.tab);
    EXPECT_EQ(d.before, parsed.before);
    EXPECT_EQ(L"Send && Log", parsed.sendLabel);
    EXPECT_EQ(L"Log Message ", parsed.logLabel);
}

INSTANTIATE_TEST_SUITE_P(
    Ids, RibbonDefinition,
    testing::Values(Definition{L"Microsoft.Outlook.Mail.Read", L"TabReadMessage", L"GroupRespond"},
                    Definition{L"Microsoft.Outlook.Mail.Compose", L"TabNewMailMessage", L"GroupClipboard"},
                    Definition{L"Microsoft.Outlook.MeetingRequest.Read", L"TabReadMessage", L"GroupRespond"},
                    Definition{L"Microsoft.Outlook.MeetingRequest.Compose", L"TabNewMailMessage", L"GroupClipboard"},
                    Definition{L"Microsoft.Outlook.Appointment", L"TabAppointment", L"GroupRespond"},
                    Definition{L"Microsoft.Outlook.Contact", L"TabContact", L"GroupRespond"},
                    Definition{L"Microsoft.Outlook.Journal", L"TabJournal", L"GroupRespond"},
                    Definition{L"Microsoft.Outlook.Task", L"TabTask", L"GroupRespond"},
                    Definition{L"Microsoft.Outlook.DistributionList", L"TabDistributionList", L"GroupRespond"},
                    Definition{L"Microsoft.Outlook.Report", nullptr, nullptr},
                    Definition{L"Microsoft.Outlook.Resend", L"TabNewMailMessage", L"GroupClipboard"},
                    Definition{L"Microsoft.Outlook.Response.Read", L"TabReadMessage", L"GroupRespond"},
                    Definition{L"Microsoft.Outlook.Response.Compose", L"TabNewMailMessage", L"GroupClipboard"},
                    Definition{L"Microsoft.Outlook.Response.CounterPropose", L"TabReadMessage", L"GroupRespond"},
                    Definition{L"Microsoft.Outlook.RSS", nullptr, nullptr},
                    Definition{L"Microsoft.Outlook.Post.Read", L"TabReadMessage", L"GroupRespond"},
                    Definition{L"Microsoft.Outlook.Post.Compose", L"TabNewMailMessage", L"GroupClipboard"},
                    Definition{L"Microsoft.Outlook.Sharing.Read", L"TabReadMessage", L"GroupRespond"},
                    Definition{L"Microsoft.Outlook.Sharing.Compose", L"TabNewMailMessage", L"GroupClipboard"},
                    Definition{L"Microsoft.Outlook.Explorer", nullptr, nullptr},
                    Definition{L"microsoft.outlook.mail.read", nullptr, nullptr},
                    Definition{L"", nullptr, nullptr}));

TEST_F(Ribbon, TheReadDefinitionIsExactlyTheTextOfficeIsGiven) {
    EXPECT_EQ(kReadDefinition, Connect::IRibbonExtensibility_GetCustomUI(L"Microsoft.Outlook.Mail.Read"));
}

TEST_F(Ribbon, EveryInterfaceConnectHandsOutAnswersTheCallbacksByName) {
    com::Ptr<IDispatch> own(static_cast<IDispatch*>(static_cast<_Connect*>(connect.Get())));
    com::Ptr<IDispatch> extensibility(static_cast<IDispatch*>(static_cast<_IDTExtensibility2*>(connect.Get())));
    for (const com::Ptr<IDispatch>& face : {own, extensibility, AsRibbonHost().Pointer()}) {
        LateBound host(face);
        EXPECT_EQ(Connect::BuildRibbonXml(L"TabTask"),
                  host.Call(L"GetCustomUI", {Variant(L"Microsoft.Outlook.Task")}).ToText());
        auto ribbonUi = com::Make<test::FakeDispatch>();
        host.Call(L"Ribbon_OnLoad", {Variant(static_cast<IDispatch*>(ribbonUi.Get()))});
        EXPECT_EQ(gobjRibbon.Get(), static_cast<IDispatch*>(ribbonUi.Get()));
        gobjRibbon.Reset();
    }
}

// ---- visibility ----

struct Window {
    const char* name;
    bool loggedOn;
    long itemClass;      // 0: the item cannot be read
    bool sent;
    bool group, sendAndLog, logMessage;
};

class RibbonVisibility : public Ribbon, public testing::WithParamInterface<Window> {};

TEST_P(RibbonVisibility, FollowsTheLogonAndTheItemOfTheWindow) {
    const Window& w = GetParam();
    LogonID = w.loggedOn ? 4321 : 0;
    CompanyID = 65;
    auto item = com::Make<test::FakeDispatch>();
    if (w.itemClass) {
        item->Member(L"Class", 0xF00A, Variant(w.itemClass));
        item->Member(L"Sent", 0xF0A2, Variant::Boolean(w.sent));
    }
    auto inspector = com::Make<test::FakeDispatch>();
    inspector->Member(L"CurrentItem", 0x2102, Variant(static_cast<IDispatch*>(item.Get())));
    auto control = com::Make<test::FakeDispatch>();
    control->Member(L"Context", 2, Variant(static_cast<IDispatch*>(inspector.Get())));

    LateBound host = AsRibbonHost();
    const Variant argument(static_cast<IDispatch*>(control.Get()));
    EXPECT_EQ(w.group, host.Call(L"QuorvaneGroup_GetVisible", {argument}).ToBool());
    EXPECT_EQ(w.sendAndLog, host.Call(L"SendAndLog_GetVisible", {argument}).ToBool());
    EXPECT_EQ(w.logMessage, host.Call(L"LogMessage_GetVisible", {argument}).ToBool());
}

INSTANTIATE_TEST_SUITE_P(Windows, RibbonVisibility,
                         testing::Values(Window{"NewMessage", true, 43, false, true, true, false},
                                         Window{"ReceivedMessage", true, 43, true, true, false, true},
                                         Window{"Appointment", true, 26, false, false, true, false},
                                         Window{"Contact", true, 40, false, false, true, false},
                                         Window{"NotLoggedOn", false, 43, true, false, false, true},
                                         Window{"UnreadableItem", true, 0, false, false, true, false}),
                         [](const testing::TestParamInfo<Window>& info) { return std::string(info.param.name); });

TEST_F(Ribbon, AContextThatIsNoInspectorHidesTheGroupQuietly) {
    LogonID = 4321;
    CompanyID = 65;
    auto explorer = com::Make<test::FakeDispatch>();  // no CurrentItem
    auto control = com::Make<test::FakeDispatch>();
    control->Member(L"Context", 2, Variant(static_cast<IDispatch*>(explorer.Get())));
    LateBound host = AsRibbonHost();
    const Variant argument(static_cast<IDispatch*>(control.Get()));
    Variant group;
    EXPECT_TRUE(host.TryCall(L"QuorvaneGroup_GetVisible", {argument}, group));
    EXPECT_FALSE(group.ToBool());
    EXPECT_TRUE(host.Call(L"SendAndLog_GetVisible", {Variant(static_cast<IDispatch*>(nullptr))}).ToBool());
}

}  // namespace
}  // namespace vantrell
