// The simulated Outlook's ribbon against a recording add-in that answers IRibbonExtensibility:
// definitions asked once per ribbon id, refused markup, onLoad and its IRibbonUI, visibility
// asked group first, invalidation at the next dispatch of messages, clicks; and the save modes
// of Inspector.Close.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/late_bound.h"
#include "tests/sim/fake_addin.h"
#include "sim/outlook/mapi_tags.h"
#include "sim/outlook/outlook.h"
#include "tests/sim/raw_invoke.h"

namespace vantrell::sim {
namespace {

using com::LateBound;
using com::Ptr;
using com::Variant;
using test::Invoke;
using test::kMethod;
using test::Script;
using Log = std::vector<std::wstring>;
using Shown = std::vector<RibbonControlState>;

const wchar_t kProgId[] = L"SimTest.AddIn";
const wchar_t kRead[] = L"Microsoft.Outlook.Mail.Read";
const wchar_t kCompose[] = L"Microsoft.Outlook.Mail.Compose";
const std::wstring kNamespace = L"http://schemas.microsoft.com/office/2006/01/customui";

// A group with two buttons, the second inside a box; labels with entities.
std::wstring Definition(const std::wstring& ns = kNamespace, const std::wstring& root = L"customUI") {
    return L"<" + root + L" xmlns=\"" + ns + L"\" onLoad=\"Ribbon_OnLoad\"><ribbon><tabs><tab idMso=\"TabMail\">"
           L"<group id=\"G\" label=\"Group\" tag=\"grp\" getVisible=\"G_Visible\">"
           L"<button id=\"B1\" label=\"Send &amp;&amp; Log\" tag=\"one\" getVisible=\"B1_Visible\" onAction=\"B1_Click\"/>"
           L"<box id=\"X\"><button id=\"B2\" label=\"Second\" getVisible=\"B2_Visible\" onAction=\"B2_Click\"/></box>"
           L"</group></tab></tabs></ribbon></" + root + L">";
}

Variant Error(HRESULT hr) {
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_ERROR;
    V_ERROR(&value) = hr;
    return Variant::Take(value);
}

MailFields Subject(const wchar_t* subject) {
    MailFields fields;
    fields.subject = subject;
    return fields;
}

// What a callback was given, read by name as an add-in reads it.
struct Seen {
    std::wstring callback, id, tag;
    Ptr<IDispatch> context;
};

class SimRibbon : public testing::Test {
protected:
    void SetUp() override {
        Script() = test::AddInScript{};
        Script().ribbon = true;
        for (const wchar_t* id : {kRead, kCompose, L"Microsoft.Outlook.Explorer"}) Script().customUi[id] = Definition();
        Script().callbacks[L"Ribbon_OnLoad"] = [this](IDispatch* ribbon) {
            ui = Ptr<IDispatch>(ribbon);
            logAtLoad = outlook ? outlook->Log() : Log{};
            return Variant();
        };
        for (const wchar_t* name : {L"G_Visible", L"B1_Visible", L"B2_Visible", L"B1_Click", L"B2_Click"})
            Script().callbacks[name] = [this, name = std::wstring(name)](IDispatch* control) {
                LateBound c{Ptr<IDispatch>(control)};
                seen.push_back({name, c.Get(L"Id").ToText(), c.Get(L"Tag").ToText(), c.Get(L"Context").ToDispatch()});
                auto answer = answers.find(name);
                return answer == answers.end() ? Variant::Boolean(true) : answer->second;
            };
    }
    void TearDown() override {
        ui.Reset();
        seen.clear();
        Script() = test::AddInScript{};
    }
    Outlook& Start(const wchar_t* version = L"12.0.6423.1000", Start how = Start::Automation) {
        outlook = std::make_unique<Outlook>(version);
        outlook->StartUp(how);
        return *outlook;
    }
    int OpenReceived() { return outlook->OpenItem(outlook->UserMailbox()->AddReceivedMail(Subject(L"Quarterly figures"))); }
    std::vector<std::wstring> Calls(const std::wstring& prefix) const {
        std::vector<std::wstring> found;
        for (const auto& entry : outlook->RibbonLog())
            if (entry.starts_with(prefix)) found.push_back(entry);
        return found;
    }

    test::RegisteredAddIn registered{kProgId};
    std::unique_ptr<Outlook> outlook;
    std::map<std::wstring, Variant> answers;  // by callback; True when not listed
    std::vector<Seen> seen;
    Ptr<IDispatch> ui;
    Log logAtLoad;
};

// ---- definitions ----

TEST_F(SimRibbon, EachRibbonIdIsAskedOnceWhenItsFirstWindowOpens) {
    struct Kind {
        const wchar_t* messageClass;
        bool unsent;
        const wchar_t* ribbonId;
    };
    const Kind kinds[] = {{L"IPM.Note", true, kCompose},
                          {L"IPM.Post", false, L"Microsoft.Outlook.Post.Read"},
                          {L"IPM.Post", true, L"Microsoft.Outlook.Post.Compose"},
                          {L"IPM.Appointment", false, L"Microsoft.Outlook.Appointment"},
                          {L"IPM.Contact", false, L"Microsoft.Outlook.Contact"},
                          {L"IPM.Task", false, L"Microsoft.Outlook.Task"},
                          {L"IPM.Activity", false, L"Microsoft.Outlook.Journal"},
                          {L"REPORT.IPM.Note.NDR", false, L"Microsoft.Outlook.Report"},
                          {L"IPM.Schedule.Meeting.Request", false, L"Microsoft.Outlook.MeetingRequest.Read"}};
    Start();
    OpenReceived();  // asked after the item's Open, before the window activates
    EXPECT_EQ(L"Item.Open", logAtLoad.back());
    EXPECT_EQ(L"Inspector.Activate", outlook->Log().back());
    Log expected{std::wstring(L"GetCustomUI ") + kRead};
    for (const Kind& kind : kinds) {
        std::map<ULONG, Variant> properties;
        if (kind.unsent) properties[tags::kMessageFlags] = Variant(tags::kFlagUnsent);
        for (int twice = 0; twice < 2; ++twice)
            outlook->OpenItem(outlook->UserMailbox()->AddItem(kind.messageClass, L"Item", properties));
        expected.push_back(std::wstring(L"GetCustomUI ") + kind.ribbonId);
    }
    outlook->OpenInspector();  // a new message: Compose, asked already
    Log asked = Script().ribbonCalls;
    std::erase_if(asked, [](const std::wstring& call) { return !call.starts_with(L"GetCustomUI "); });
    EXPECT_EQ(expected, asked);
    EXPECT_EQ(expected, Calls(L"GetCustomUI"));
    EXPECT_EQ(Definition(), outlook->RibbonXml(kRead));
    EXPECT_EQ(L"", outlook->RibbonXml(L"Microsoft.Outlook.Explorer"));  // never asked on 2007
}

TEST_F(SimRibbon, ExplorersHaveARibbonFromOutlook2010On) {
    for (const wchar_t* version : {L"12.0.6423.1000", L"14.0.7015.1000"}) {
        const bool has = version[1] == L'4';
        Start(version, Start::WithExplorer);
        const int second = outlook->OpenExplorer(true);
        EXPECT_EQ(has ? Log{L"GetCustomUI Microsoft.Outlook.Explorer"} : Log{}, Calls(L"GetCustomUI"));
        EXPECT_EQ(has ? 3u : 0u, outlook->ExplorerRibbon(second).size());
        EXPECT_EQ(has ? 6u : 0u, Calls(L"getVisible").size());
        if (has) {
            EXPECT_TRUE(com::SameObject(outlook->Explorer(second), seen.back().context.Get()));
        }
        seen.clear();
        outlook.reset();
    }
}

TEST_F(SimRibbon, Outlook2003AsksNothing) {
    Start(L"11.0.8312");
    const int window = OpenReceived();
    EXPECT_TRUE(Script().ribbonCalls.empty());
    EXPECT_TRUE(outlook->RibbonLog().empty());
    EXPECT_TRUE(outlook->Ribbon(window).empty());
    EXPECT_EQ(nullptr, outlook->RibbonUI());
    EXPECT_THROW(outlook->ClickRibbon(window, L"B1"), std::logic_error);
}

TEST_F(SimRibbon, MarkupOfficeRefusesShowsNothing) {
    const std::wstring refused = std::wstring(L"Ribbon refused ") + kRead + L": ";
    struct Case {
        std::wstring xml, reason;  // reason empty: whatever the parser says
    } cases[] = {
        {L"<customUI xmlns=\"" + kNamespace + L"\"><ribbon>", L""},
        {Definition(L"http://schemas.microsoft.com/office/2009/07/customui"),
         L"the root element is customUI in the namespace http://schemas.microsoft.com/office/2009/07/customui, "
         L"not customUI in " + kNamespace},
        {Definition(kNamespace, L"ribbonUI"), L"the root element is ribbonUI in the namespace " + kNamespace +
                                                  L", not customUI in " + kNamespace},
    };
    for (const Case& c : cases) {
        Script().customUi[kRead] = c.xml;
        Start();
        const int window = OpenReceived();
        OpenReceived();
        ASSERT_EQ(2u, outlook->RibbonLog().size());
        EXPECT_EQ(std::wstring(L"GetCustomUI ") + kRead, outlook->RibbonLog()[0]);
        if (c.reason.empty())
            EXPECT_TRUE(outlook->RibbonLog()[1].starts_with(refused)) << outlook->RibbonLog()[1];
        else
            EXPECT_EQ(refused + c.reason, outlook->RibbonLog()[1]);
        EXPECT_TRUE(outlook->Ribbon(window).empty());
        EXPECT_EQ(c.xml, outlook->RibbonXml(kRead));
        outlook.reset();
    }
    // An empty answer: nothing at all.
    Script().customUi.erase(kRead);
    Start();
    EXPECT_TRUE(outlook->Ribbon(OpenReceived()).empty());
    EXPECT_EQ((Log{std::wstring(L"GetCustomUI ") + kRead}), outlook->RibbonLog());
}

// ---- onLoad and the IRibbonUI ----

TEST_F(SimRibbon, OnLoadGetsTheAddInsOneRibbonUiWhichIsNotCountedAsHeld) {
    Start();
    const long before = outlook->ReferencesHeldOutside();
    OpenReceived();
    Ptr<IDispatch> first = ui;
    outlook->OpenInspector();
    EXPECT_EQ(2u, Calls(L"onLoad").size());
    EXPECT_TRUE(com::SameObject(first.Get(), ui.Get()));
    EXPECT_TRUE(com::SameObject(outlook->RibbonUI(), ui.Get()));
    EXPECT_EQ(2, outlook->RibbonUIReferencesHeldOutside());
    first.Reset();
    seen.clear();
    EXPECT_EQ(1, outlook->RibbonUIReferencesHeldOutside());
    EXPECT_EQ(before, outlook->ReferencesHeldOutside());

    // Dual: the vtable reaches what the names reach; the names are checked strictly.
    Ptr<IRibbonUI> dual = ui.As<IRibbonUI>();
    ASSERT_TRUE(dual);
    EXPECT_EQ(S_OK, dual->InvalidateControl(com::Bstr(L"B2").Get()));
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Invoke(ui.Get(), L"Invalidate", kMethod, {1}).hr);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Invoke(ui.Get(), L"InvalidateControl", test::kGet, {L"B1"}).hr);
    dual.Reset();
    EXPECT_EQ((Log{L"InvalidateControl B2"}), Calls(L"Invalidate"));

    // Disconnected, the add-in's ribbon goes and its IRibbonUI changes nothing; once Outlook has
    // gone, its calls fail as calls into a closed server.
    outlook->SetAddinConnected(kProgId, false);
    EXPECT_EQ(nullptr, outlook->RibbonUI());
    EXPECT_EQ(S_OK, Invoke(ui.Get(), L"Invalidate", kMethod).hr);
    EXPECT_EQ(1u, Calls(L"Invalidate").size());
    outlook.reset();
    EXPECT_EQ(RPC_E_DISCONNECTED, Invoke(ui.Get(), L"Invalidate", kMethod).hr);
}

// ---- visibility ----

TEST_F(SimRibbon, VisibilityIsAskedGroupFirstWithTheWindowAsContext) {
    Start();
    const long before = outlook->ReferencesHeldOutside();
    const int window = OpenReceived();
    EXPECT_EQ((Log{L"getVisible G_Visible G", L"getVisible B1_Visible B1", L"getVisible B2_Visible B2"}),
              Calls(L"getVisible"));
    ASSERT_EQ(3u, seen.size());
    for (const Seen& s : seen) EXPECT_TRUE(com::SameObject(outlook->Inspector(window), s.context.Get()));
    EXPECT_EQ((std::vector<std::wstring>{seen[0].id, seen[0].tag, seen[1].id, seen[1].tag, seen[2].id, seen[2].tag}),
              (std::vector<std::wstring>{L"G", L"grp", L"B1", L"one", L"B2", L""}));
    EXPECT_EQ((Shown{{L"G", L"Group", true}, {L"B1", L"Send && Log", true}, {L"B2", L"Second", true}}),
              outlook->Ribbon(window));
    // The controls went after their calls; only what the test kept of the window remains.
    EXPECT_EQ(before + 3, outlook->ReferencesHeldOutside());
    seen.clear();
    EXPECT_EQ(before, outlook->ReferencesHeldOutside());
}

TEST_F(SimRibbon, AHiddenGroupHidesItsButtonsAndAnUnusableAnswerShows) {
    const Variant yes = Variant::Boolean(true), no = Variant::Boolean(false);
    struct Case {
        Variant group, first, second;
        std::vector<bool> shown;
        Log complaints;
    } cases[] = {
        {no, yes, yes, {false, false, false}, {}},
        {yes, no, yes, {true, false, true}, {}},
        {yes, yes, no, {true, true, false}, {}},
        // A failing callback and one answering a number: shown, as Office shows them.
        {Error(E_FAIL), Variant(0L), no, {true, true, false},
         {L"getVisible failed G_Visible G 0x80004005", L"getVisible answered no Boolean B1_Visible B1"}},
    };
    for (const Case& c : cases) {
        answers = {{L"G_Visible", c.group}, {L"B1_Visible", c.first}, {L"B2_Visible", c.second}};
        Start();
        const int window = OpenReceived();
        std::vector<bool> shown;
        for (const auto& control : outlook->Ribbon(window)) shown.push_back(control.visible);
        EXPECT_EQ(c.shown, shown);
        EXPECT_EQ(3u, seen.size());  // the buttons of a hidden group are asked too
        Log complaints = Calls(L"getVisible failed");
        for (const auto& entry : Calls(L"getVisible answered")) complaints.push_back(entry);
        EXPECT_EQ(c.complaints, complaints);
        seen.clear();
        outlook.reset();
    }
}

TEST_F(SimRibbon, InvalidateControlAsksAgainAtTheNextDispatchInEveryOpenWindow) {
    Start();
    const int read = OpenReceived();
    const int compose = outlook->OpenInspector();
    const int closed = OpenReceived();
    outlook->CloseInspector(closed);
    seen.clear();
    LateBound ribbon(ui);
    ribbon.Call(L"InvalidateControl", {L"B1"});
    ribbon.Call(L"InvalidateControl", {L"B1"});
    EXPECT_TRUE(seen.empty());  // not inside the add-in's call
    EXPECT_EQ(L"InvalidateControl B1", outlook->Log().back());
    answers[L"B1_Visible"] = Variant::Boolean(false);
    outlook->ProcessMessages();
    ASSERT_EQ(2u, seen.size());  // only B1, once per open window
    EXPECT_EQ(L"B1_Visible", seen[0].callback);
    EXPECT_TRUE(com::SameObject(outlook->Inspector(read), seen[0].context.Get()));
    EXPECT_TRUE(com::SameObject(outlook->Inspector(compose), seen[1].context.Get()));
    for (int window : {read, compose}) EXPECT_FALSE(outlook->Ribbon(window)[1].visible);

    // Invalidate: every control with a getVisible, group first, in every open window.
    seen.clear();
    ribbon.Call(L"Invalidate");
    outlook->ProcessMessages();
    std::vector<std::wstring> asked;
    for (const Seen& s : seen) asked.push_back(s.id);
    EXPECT_EQ((std::vector<std::wstring>{L"G", L"B1", L"B2", L"G", L"B1", L"B2"}), asked);
}

// ---- clicks ----

TEST_F(SimRibbon, AClickCallsOnActionWithTheInspectorAndAHiddenButtonRefusesIt) {
    answers[L"B2_Visible"] = Variant::Boolean(false);
    Start();
    const long before = outlook->ReferencesHeldOutside();
    const int window = OpenReceived();
    seen.clear();
    outlook->ClickRibbon(window, L"B1");
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(L"B1_Click", seen[0].callback);
    EXPECT_EQ(L"one", seen[0].tag);
    EXPECT_TRUE(com::SameObject(outlook->Inspector(window), seen[0].context.Get()));
    EXPECT_EQ(L"onAction B1_Click B1", outlook->RibbonLog().back());
    seen.clear();
    EXPECT_EQ(before, outlook->ReferencesHeldOutside());
    for (const wchar_t* unclickable : {L"B2", L"G", L"Nothing"})
        EXPECT_THROW(outlook->ClickRibbon(window, unclickable), std::logic_error);
    EXPECT_TRUE(seen.empty());
}

TEST_F(SimRibbon, ATestCallsACallbackWithAContextItChooses) {
    Start();
    OpenReceived();
    seen.clear();
    answers[L"B2_Visible"] = Variant::Boolean(false);
    EXPECT_FALSE(outlook->CallRibbonCallback(L"B2_Visible", outlook->Application(), L"B1").ToBool());
    ASSERT_EQ(1u, seen.size());
    EXPECT_TRUE(com::SameObject(outlook->Application(), seen[0].context.Get()));
    EXPECT_EQ(L"one", seen[0].tag);
}

// ---- closing with a save mode ----

TEST(SimClose, OnlyAChangedItemClosedWithPromptForSaveOrByTheUserAsksToSave) {
    struct Case {
        long mode;  // -1: the user closes the window
        bool change, prompted, saved;
    } cases[] = {{0, true, false, true},  {1, true, false, false}, {2, true, true, false},
                 {2, false, false, false}, {-1, true, true, false}, {-1, false, false, false}};
    for (const Case& c : cases) {
        Outlook outlook;
        outlook.StartUp(Start::Automation);
        const std::wstring id = outlook.UserMailbox()->AddReceivedMail(Subject(L"Before"));
        const int window = outlook.OpenItem(id);
        if (c.change) LateBound(Ptr<IDispatch>(outlook.CurrentItem(window))).Put(L"Subject", L"After");
        if (c.mode < 0)
            outlook.CloseInspector(window);
        else
            EXPECT_EQ(S_OK, Invoke(outlook.Inspector(window), L"Close", kMethod, {c.mode}).hr);
        const Log& log = outlook.Log();
        EXPECT_EQ(c.prompted, std::find(log.begin(), log.end(), L"Save prompt") != log.end()) << c.mode;
        EXPECT_EQ(c.saved ? L"After" : L"Before", outlook.UserMailbox()->Item(id).subject) << c.mode;
    }
    Outlook outlook;
    outlook.StartUp(Start::Automation);
    const int window = outlook.OpenInspector();
    for (long mode : {-1L, 3L}) {
        test::Raw refused = Invoke(outlook.Inspector(window), L"Close", kMethod, {mode});
        EXPECT_EQ(DISP_E_EXCEPTION, refused.hr);
        EXPECT_EQ(E_INVALIDARG, refused.scode);
    }
    EXPECT_NO_THROW(outlook.Inspector(window));  // still open
}

}  // namespace
}  // namespace vantrell::sim
