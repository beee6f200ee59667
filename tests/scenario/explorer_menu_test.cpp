// The explorers' menu in the simulated Outlook: the popup and its buttons on every explorer, the
// clicks, the Sign Out / Sign In buttons as the logon stands, the explorer's close and the end of
// the session in both orders, and the menu's members failing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "outlook.h"
#include "session/crm_addin.h"
#include "session/explorer_menu.h"
#include "session/session_state.h"
#include "support/shared_state.h"
#include "tests/common/logon_script.h"
#include "tests/common/registered_helper.h"
#include "tests/scenario/addin_fixture.h"

namespace vantrell::test {
namespace {

using sim::ControlInfo;
using sim::Outlook;

constexpr const wchar_t* kOutlook2000 = L"9.0.0.2814";
constexpr const wchar_t* kOutlook2003 = L"11.0.8312";
constexpr const wchar_t* kOutlook2010 = L"14.0.7015.1000";

// What the user sees of the menu's buttons, in order.
struct ShownButton {
    const wchar_t* tag;
    const wchar_t* caption;
    bool beginGroup;
    bool shownLoggedOn, shownSignedOut;
};
const ShownButton kButtons[] = {
    {L"CRM.LogSelected", L"Log &Selected Messages", false, true, true},
    {L"CRM.LoggedMessages", L"&Logged Messages...", false, true, true},
    {L"CRM.SignOut", L"Sign &Out", true, true, false},
    {L"CRM.SignIn", L"Sign &In...", true, false, true},
};

// The clicks the recording actions heard: the command and the explorer it was given.
std::vector<std::pair<MenuCommand, IDispatch*>> heard;
template <MenuCommand command>
void Recording(const com::Ptr<IDispatch>& explorer) {
    heard.emplace_back(command, explorer.Get());
}
constexpr MenuAction kRecording[] = {Recording<MenuCommand::LogSelected>, Recording<MenuCommand::LoggedMessages>,
                                     Recording<MenuCommand::SignOut>, Recording<MenuCommand::SignIn>};

// The controller linked in, running in the simulated Outlook, with recording menu actions.
class ExplorerMenu : public LinkedAddinTest {
protected:
    void SetUp() override {
        LinkedAddinTest::SetUp();
        ErrorLogSize = 1 << 20;
        ErrorLogLevel = 12;
        for (size_t i = 0; i < kMenuCommandCount; ++i) {
            saved[i] = MenuActionOf(static_cast<MenuCommand>(i));
            SetMenuAction(static_cast<MenuCommand>(i), kRecording[i]);
        }
        heard.clear();
    }
    void TearDown() override {
        for (size_t i = 0; i < kMenuCommandCount; ++i) SetMenuAction(static_cast<MenuCommand>(i), saved[i]);
        heard.clear();
        if (controller) controller->UnInitHandler();
        if (outlook) {
            outlook->ShutDown();
            EXPECT_EQ(0, outlook->ReferencesHeldOutside()) << outlook->DescribeHeldOutside();
        }
        controller.Reset();
        gobjCRMAddIn.Reset();
        outlook.reset();
        LinkedAddinTest::TearDown();
    }
    // Logged on: the logon stored in the mailbox; signed out: the logon dialog is cancelled.
    void Start(bool loggedOn, const wchar_t* version = kOutlook2003, sim::Start how = sim::Start::WithExplorer) {
        if (loggedOn) mailbox->AddStoredLogon(4321, 65);
        outlook = std::make_unique<Outlook>(version, mailbox);
        outlook->StartUp(how);
        controller = com::Make<CRMAddIn>();
        gobjCRMAddIn = controller;
        controller->InitHandler(com::Ptr<IDispatch>(outlook->Application()));
        ASSERT_EQ(loggedOn, LogonID != 0);
    }
    // The add-in's popups on the explorer's "Standard" bar.
    std::vector<ControlInfo> Menus(int explorer) const {
        std::vector<ControlInfo> menus;
        for (const ControlInfo& control : outlook->ExplorerBarControls(explorer))
            if (control.tag == L"CRM.Menu") menus.push_back(control);
        return menus;
    }
    // The menu at the end of the bar, its buttons in order, Sign Out or Sign In as the logon stands.
    void ExpectMenu(int explorer, bool loggedOn) const {
        const std::vector<ControlInfo> bar = outlook->ExplorerBarControls(explorer);
        ASSERT_EQ(6u, bar.size());  // the five of Outlook's own, then ours
        const ControlInfo& popup = bar.back();
        EXPECT_EQ(L"CRM.Menu", popup.tag);
        EXPECT_EQ(10, popup.type);
        EXPECT_EQ(L"&Quorvane", popup.caption);
        EXPECT_TRUE(popup.temporary && popup.visible);
        ASSERT_EQ(std::size(kButtons), popup.controls.size());
        for (size_t i = 0; i < std::size(kButtons); ++i) {
            const ControlInfo& button = popup.controls[i];
            EXPECT_EQ(kButtons[i].tag, button.tag) << i;
            EXPECT_EQ(kButtons[i].caption, button.caption) << i;
            EXPECT_EQ(1, button.type) << i;
            EXPECT_EQ(kButtons[i].beginGroup, button.beginGroup) << i;
            EXPECT_EQ(loggedOn ? kButtons[i].shownLoggedOn : kButtons[i].shownSignedOut, button.visible) << i;
            EXPECT_TRUE(button.temporary && button.enabled) << i;
        }
    }
    bool MenuTraced() const { return Traced("ExplMenu::"); }

    std::shared_ptr<sim::Mailbox> mailbox = std::make_shared<sim::Mailbox>();
    RegisteredHelper helper;
    std::unique_ptr<Outlook> outlook;
    com::Ptr<CRMAddIn> controller;
    MenuAction saved[kMenuCommandCount] = {};
};

// ---- the menu of an explorer ----

enum class Opened { AtStart, NewActiveAtOnce, NewActiveLater };

struct MenuCase {
    const char* name;
    const wchar_t* version;
    bool loggedOn;
    Opened opened;
};

class MenuOfAnExplorer : public ExplorerMenu, public testing::WithParamInterface<MenuCase> {};

TEST_P(MenuOfAnExplorer, HasItsButtonsInOrderAndGoesWithTheExplorerHoldingNothing) {
    const MenuCase& c = GetParam();
    Start(c.loggedOn, c.version);
    ExpectMenu(outlook->MainExplorer(), c.loggedOn);
    if (c.opened != Opened::AtStart) {
        const long before = outlook->ReferencesHeldOutside();
        const int second = outlook->OpenExplorer(c.opened == Opened::NewActiveAtOnce);
        if (c.opened == Opened::NewActiveLater) outlook->ActivateExplorer(second);
        ExpectMenu(second, c.loggedOn);
        EXPECT_EQ(1u, Menus(outlook->MainExplorer()).size());
        outlook->CloseExplorer(second);
        EXPECT_EQ(before, outlook->ReferencesHeldOutside()) << outlook->DescribeHeldOutside();
        EXPECT_TRUE(controller->Initialized());
    }
    EXPECT_FALSE(MenuTraced());
}

INSTANTIATE_TEST_SUITE_P(
    Explorers, MenuOfAnExplorer,
    testing::Values(MenuCase{"Outlook2000AtStart", kOutlook2000, true, Opened::AtStart},
                    MenuCase{"Outlook2003SignedOutAtStart", kOutlook2003, false, Opened::AtStart},
                    MenuCase{"Outlook2010NewActiveAtOnce", kOutlook2010, true, Opened::NewActiveAtOnce},
                    MenuCase{"Outlook2003SignedOutNewActiveLater", kOutlook2003, false, Opened::NewActiveLater},
                    MenuCase{"Outlook2000NewActiveLater", kOutlook2000, true, Opened::NewActiveLater}),
    [](const testing::TestParamInfo<MenuCase>& info) { return std::string(info.param.name); });

// ---- clicks and the logon state ----

TEST_F(ExplorerMenu, EachButtonRunsItsCommandWithTheExplorerWhoseMenuWasClicked) {
    Start(true);
    const int second = outlook->OpenExplorer(false);
    const int explorers[] = {outlook->MainExplorer(), second};
    const wchar_t* captions[] = {L"Log Selected Messages", L"Logged Messages...", L"Sign Out", L"Sign In..."};
    for (size_t i = 0; i < kMenuCommandCount; ++i) {
        // Sign In shows only once signed out.
        if (i == static_cast<size_t>(MenuCommand::SignIn)) {
            outlook->ClickMenuButton(second, L"Quorvane", captions[i]);
            EXPECT_EQ(L"Click ignored Quorvane/Sign In...", outlook->Log().back());
            LogonID = 0;
            RefreshExplorerMenus();
        }
        for (int explorer : explorers) {
            heard.clear();
            outlook->ClickMenuButton(explorer, L"CRM.Menu", captions[i]);
            EXPECT_EQ(std::wstring(L"Click ") + kButtons[i].tag, outlook->Log().back());
            ASSERT_EQ(1u, heard.size()) << i;
            EXPECT_EQ(static_cast<MenuCommand>(i), heard[0].first);
            EXPECT_TRUE(com::SameObject(outlook->Explorer(explorer), heard[0].second)) << i;
        }
    }
    // Without an action handed in, a click does nothing.
    heard.clear();
    SetMenuAction(MenuCommand::LogSelected, nullptr);
    outlook->ClickMenuButton(second, L"Quorvane", L"Log Selected Messages");
    EXPECT_TRUE(heard.empty());
    EXPECT_FALSE(MenuTraced());
}

TEST_F(ExplorerMenu, RefreshShowsSignOutOnlyWithBothIdentifiersInEveryExplorer) {
    Start(false);
    const int second = outlook->OpenExplorer(true);
    struct Logon {
        std::int32_t logonId, companyId;
        bool loggedOn;
    };
    for (const Logon& logon :
         {Logon{1, 2, true}, Logon{1, 0, false}, Logon{0, 2, false}, Logon{4321, 65, true}, Logon{0, 0, false}}) {
        LogonID = logon.logonId;
        CompanyID = logon.companyId;
        RefreshExplorerMenus();
        ExpectMenu(outlook->MainExplorer(), logon.loggedOn);
        ExpectMenu(second, logon.loggedOn);
    }
    // A button that cannot be shown stays as it was; the next is brought up to date.
    LogonID = CompanyID = 3;
    outlook->FailOnce(L"CommandBarButton", L"Visible", E_FAIL, L"The menu is busy.");
    RefreshExplorerMenus();
    EXPECT_TRUE(Traced("ExplMenu::ShowLogonState:Visible err=-2147467259 desc=The menu is busy."));
    const std::vector<ControlInfo> shown = Menus(outlook->MainExplorer())[0].controls;
    EXPECT_FALSE(shown[2].visible);  // Sign Out failed: still hidden
    EXPECT_FALSE(shown[3].visible);  // Sign In hidden all the same
    ExpectMenu(second, true);
    // No session, no menus: nothing to refresh, nothing held.
    controller->UnInitHandler();
    RefreshExplorerMenus();
    EXPECT_TRUE(Menus(outlook->MainExplorer()).empty());
    EXPECT_TRUE(Menus(second).empty());
    EXPECT_EQ(0, outlook->ReferencesHeldOutside()) << outlook->DescribeHeldOutside();
}

// An explorer opened while the logon dialog is up gets its menu at once, and the logon shows in
// it when the dialog is done: one menu per explorer.
TEST_F(ExplorerMenu, AnExplorerOpenedDuringTheLogonShowsTheLogonOnceItIsDone) {
    int second = 0;
    windows.Expect(kLogonDialogTitle, [&](HWND dialog, SeenWindow&) {
        second = outlook->OpenExplorer(false);
        ExpectMenu(second, false);
        LogonID = 7;
        CompanyID = 8;
        SendMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    });
    outlook = std::make_unique<Outlook>(kOutlook2003, mailbox);
    outlook->StartUp();
    controller = com::Make<CRMAddIn>();
    controller->InitHandler(com::Ptr<IDispatch>(outlook->Application()));
    ASSERT_NE(0, second);
    ExpectMenu(outlook->MainExplorer(), true);
    ExpectMenu(second, true);
}

// ---- the explorer closes, the session stops ----

class ClosingExplorers : public ExplorerMenu, public testing::WithParamInterface<bool> {};

// Whichever hears an explorer's Close first, the wrapper or the controller (which stops the
// session when the last window goes), the menu's references go at once and nothing is deleted
// from a closing window.
TEST_P(ClosingExplorers, LetGoOfTheirMenusAtOnceAndTheLastOneStopsTheSession) {
    Start(true);
    outlook->SetSinksLastFirst(GetParam());
    const long before = outlook->ReferencesHeldOutside();
    const int second = outlook->OpenExplorer(true);
    EXPECT_GT(outlook->ReferencesHeldOutside(), before);
    outlook->RecordCalls(true);
    outlook->CloseExplorer(second);
    EXPECT_EQ(before, outlook->ReferencesHeldOutside()) << outlook->DescribeHeldOutside();
    outlook->CloseExplorer(outlook->MainExplorer());
    const std::vector<sim::MemberCall> calls = outlook->Calls();
    EXPECT_EQ(calls.end(), std::find(calls.begin(), calls.end(), sim::MemberCall{L"CommandBarPopup", L"Delete"}));
    outlook->RecordCalls(false);
    EXPECT_FALSE(controller->Initialized());
    EXPECT_EQ(0, outlook->ReferencesHeldOutside()) << outlook->DescribeHeldOutside();
    EXPECT_FALSE(MenuTraced());
    // The next explorer starts nothing here (the connection would): no menu.
    EXPECT_TRUE(Menus(outlook->OpenExplorer(true)).empty());
}

// The session stops with explorers open: their menus are deleted; an explorer closing after
// that finds nothing to let go of.
TEST_P(ClosingExplorers, ThatAreStillOpenWhenTheSessionStopsLoseTheirMenus) {
    Start(true);
    outlook->SetSinksLastFirst(GetParam());
    const int second = outlook->OpenExplorer(false);
    controller->UnInitHandler();
    EXPECT_TRUE(Menus(outlook->MainExplorer()).empty());
    EXPECT_TRUE(Menus(second).empty());
    EXPECT_EQ(5u, outlook->ExplorerBarControls(second).size());
    EXPECT_EQ(0, outlook->ReferencesHeldOutside()) << outlook->DescribeHeldOutside();
    outlook->CloseExplorer(second);
    EXPECT_EQ(0, outlook->ReferencesHeldOutside());
    // Started again, every explorer open gets its menu again.
    controller->InitHandler(com::Ptr<IDispatch>(outlook->Application()));
    ExpectMenu(outlook->MainExplorer(), true);
    EXPECT_FALSE(MenuTraced());
}

INSTANTIATE_TEST_SUITE_P(SinkOrders, ClosingExplorers, testing::Bool(), [](const testing::TestParamInfo<bool>& info) {
    return std::string(info.param ? "LastFirst" : "InOrder");
});

// A menu whose delete failed is left in the bar (it goes with the explorer): the next session
// takes it away before it puts its own, so the bar shows one.
TEST_F(ExplorerMenu, AMenuLeftByAFailedDeleteIsReplacedByTheNextSession) {
    Start(true);
    outlook->FailOnce(L"CommandBarPopup", L"Delete", E_FAIL, L"The bar is busy.");
    controller->UnInitHandler();
    EXPECT_TRUE(Traced("ExplMenu::Remove:Delete err=-2147467259 desc=The bar is busy."));
    EXPECT_EQ(1u, Menus(outlook->MainExplorer()).size());
    EXPECT_EQ(0, outlook->ReferencesHeldOutside()) << outlook->DescribeHeldOutside();
    controller->InitHandler(com::Ptr<IDispatch>(outlook->Application()));
    ExpectMenu(outlook->MainExplorer(), true);
}

// ---- failing members ----

struct MenuFault {
    const char* name;
    const wchar_t* kind;
    const wchar_t* member;
    bool always;  // FailMember until cleared, or FailOnce
    bool menuAnyway;
    const char* traced;  // what the menu's trace says, or nothing
    // The fault is armed at the call of this member of this kind (at once when none).
    const wchar_t* armedAtKind = nullptr;
    const wchar_t* armedAt = nullptr;
};

class FailingMenu : public ExplorerMenu, public testing::WithParamInterface<MenuFault> {};

TEST_P(FailingMenu, LeavesThatExplorerWithoutAMenuHoldingNothingAndTheNextGetsOne) {
    const MenuFault& c = GetParam();
    Start(true);
    const long before = outlook->ReferencesHeldOutside();
    auto arm = [&] {
        if (c.always)
            outlook->FailMember(c.kind, c.member, E_INVALIDARG, L"Invalid procedure call or argument.");
        else
            outlook->FailOnce(c.kind, c.member, E_INVALIDARG, L"Invalid procedure call or argument.");
    };
    if (c.armedAt)
        outlook->BeforeCall(c.armedAtKind, c.armedAt, arm);
    else
        arm();
    const int failed = outlook->OpenExplorer(true);
    outlook->ClearFaults();
    EXPECT_EQ(c.menuAnyway ? 1u : 0u, Menus(failed).size());
    if (!c.menuAnyway) {
        EXPECT_EQ(5u, outlook->ExplorerBarControls(failed).size());
        EXPECT_EQ(before, outlook->ReferencesHeldOutside()) << outlook->DescribeHeldOutside();
    }
    if (*c.traced) {
        EXPECT_TRUE(Traced(c.traced)) << Trace();
    }
    const int next = outlook->OpenExplorer(true);
    ExpectMenu(next, true);
    outlook->ClickMenuButton(next, L"Quorvane", L"Logged Messages...");
    ASSERT_EQ(1u, heard.size());
    EXPECT_TRUE(com::SameObject(outlook->Explorer(next), heard[0].second));
    outlook->CloseExplorer(failed);
    outlook->CloseExplorer(next);
    EXPECT_EQ(before, outlook->ReferencesHeldOutside()) << outlook->DescribeHeldOutside();
}

INSTANTIATE_TEST_SUITE_P(
    Members, FailingMenu,
    testing::Values(
        MenuFault{"ExplorerCommandBars", L"Explorer", L"CommandBars", false, false, "ExplMenu::MakeMenu:CommandBars"},
        MenuFault{"StandardBarMissing", L"CommandBars", L"Item", false, false,
                  "ExplMenu::MakeMenu:Item err=-2147024809 desc=Invalid procedure call or argument."},
        MenuFault{"PopupNotAdded", L"CommandBarControls", L"Add", false, false, "ExplMenu::MakeMenu:Add"},
        MenuFault{"ButtonNotAdded", L"CommandBarControls", L"Add", false, false, "ExplMenu::MakeMenu:Add",
                  L"CommandBarPopup", L"Controls"},
        MenuFault{"PopupCaption", L"CommandBarPopup", L"Caption", false, false, "ExplMenu::MakeMenu:Caption"},
        MenuFault{"PopupControls", L"CommandBarPopup", L"Controls", false, false, "ExplMenu::MakeMenu:Controls"},
        MenuFault{"ButtonCaption", L"CommandBarButton", L"Caption", false, false, "ExplMenu::MakeMenu:Caption"},
        MenuFault{"ButtonVisible", L"CommandBarButton", L"Visible", false, false, "ExplMenu::MakeMenu:Visible"},
        MenuFault{"ButtonEvents", L"CommandBarButton", L"Advise", true, false,
                  "ExplMenu::MakeMenu:CommandBarButton events err="},
        MenuFault{"ExplorerEvents", L"Explorer", L"Advise", true, false, "ExplMenu::MakeMenu:Explorer events err="},
        MenuFault{"FindControl", L"CommandBar", L"FindControl", false, true, "ExplMenu::MakeMenu:FindControl"},
        // Outlook 2000's explorer events are the fallback: the menu is made all the same.
        MenuFault{"NewExplorerEventsOnce", L"Explorer", L"Advise", false, true, ""}),
    [](const testing::TestParamInfo<MenuFault>& info) { return std::string(info.param.name); });

// ---- the registered add-in ----

// The add-in as Outlook loads it: the menus go when it is unticked in the COM add-ins list, and
// with the explorers when Outlook shuts down.
class RegisteredMenu : public RegisteredAddinTest, public testing::WithParamInterface<bool> {};

TEST_P(RegisteredMenu, GoesWhenTheAddinIsTurnedOffOrOutlookShutsDown) {
    const bool untick = GetParam();
    RegisteredHelper helper;
    auto mailbox = std::make_shared<sim::Mailbox>();
    mailbox->AddStoredLogon(4321, 65);
    Outlook outlook(kOutlook2010, mailbox);
    outlook.StartUp();
    const int second = outlook.OpenExplorer(true);
    for (int explorer : {outlook.MainExplorer(), second}) {
        const auto bar = outlook.ExplorerBarControls(explorer);
        ASSERT_EQ(6u, bar.size());
        EXPECT_EQ(L"CRM.Menu", bar.back().tag);
        EXPECT_EQ(4u, bar.back().controls.size());
    }
    if (untick) {
        outlook.SetAddinConnected(L"Vantrell.Connect", false);
        EXPECT_EQ(5u, outlook.ExplorerBarControls(outlook.MainExplorer()).size());
        EXPECT_EQ(5u, outlook.ExplorerBarControls(second).size());
        EXPECT_EQ(0, outlook.ReferencesHeldOutside()) << outlook.DescribeHeldOutside();
    }
    outlook.ShutDown();
    EXPECT_EQ(0, outlook.ReferencesHeldOutside()) << outlook.DescribeHeldOutside();
    for (const std::wstring& entry : outlook.Log()) EXPECT_EQ(std::wstring::npos, entry.find(L"Add-in call failed"));
    EXPECT_EQ(std::string::npos, Trace().find("ExplMenu::"));
}

INSTANTIATE_TEST_SUITE_P(Ends, RegisteredMenu, testing::Bool(), [](const testing::TestParamInfo<bool>& info) {
    return std::string(info.param ? "Unticked" : "ShutDown");
});

}  // namespace
}  // namespace vantrell::test
