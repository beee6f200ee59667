// Connect's lifecycle with the add-in's code linked in: the simulated Outlook fires its
// events at a Connect made here, so the shared state can be checked along the way.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "connect/connect.h"
#include "session/insp_wrap.h"
#include "outlook.h"
#include "tests/scenario/addin_fixture.h"
#include "session/crm_addin.h"
#include "session/session_state.h"
#include "support/shared_state.h"

namespace vantrell::test {
namespace {

using sim::Outlook;
using sim::Start;

class ConnectLifecycle : public LinkedAddinTest {
protected:
    // Outlook with its windows as `how` says, and Connect connected to it.
    void Connect(Outlook& outlook, Start how) {
        outlook.StartUp(how);
        connect = com::Make<vantrell::Connect>();
        ASSERT_EQ(S_OK, connect->OnConnection(outlook.Application(), ext_cm_Startup, nullptr, nullptr));
    }
    // Outlook shuts down: its windows close, then the add-in hears of it.
    void ShutDown(Outlook& outlook) {
        outlook.ShutDown();
        connect->OnBeginShutdown(nullptr);
        connect->OnDisconnection(ext_dm_HostShutdown, nullptr);
        connect.Reset();
    }
    void LoggedOn() {
        LogonID = 1001;
        CompanyID = 2002;
    }
    bool Running() const { return gobjCRMAddIn && gobjCRMAddIn->Initialized(); }
    size_t Count(const std::string& line) const {
        auto lines = TraceLines();
        return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
    }

    com::Ptr<vantrell::Connect> connect;
};

TEST_F(ConnectLifecycle, SettingsTakeTheirDefaultsWhenThereAreNone) {
    Outlook outlook;
    Connect(outlook, Start::Automation);
    EXPECT_EQ(1048576, ErrorLogSize);
    EXPECT_EQ(4, ErrorLogLevel);
    EXPECT_EQ(L"https://crm.quorvane.com/outlook/default.asp", SynchURL);
    EXPECT_EQ(L"log@history.quorvane.com", LoggingAddress);
    EXPECT_FALSE(ResetLogon);
    ShutDown(outlook);
    // Only the trace level is written back.
    EXPECT_FALSE(ReadText(HKEY_CURRENT_USER, kSettings, L"LoggingAddress"));
}

TEST_F(ConnectLifecycle, SettingsAreReadFromTheRegistry) {
    SetSetting("ErrorLogSize", 5000);
    SetSetting("ErrorLogLevel", "12");
    SetSetting("SynchURL", "https://example.test/outlook/default.asp");
    SetSetting("LoggingAddress", "agent@example.test");
    SetSetting("ResetLogon", 1);
    Outlook outlook;
    Connect(outlook, Start::Automation);
    EXPECT_EQ(5000, ErrorLogSize);
    EXPECT_EQ(12, ErrorLogLevel);
    EXPECT_EQ(L"https://example.test/outlook/default.asp", SynchURL);
    EXPECT_EQ(L"agent@example.test", LoggingAddress);
    EXPECT_TRUE(ResetLogon);
    ShutDown(outlook);

    // The next connection finds the flag gone; an empty address means the built-in one.
    SetSetting("LoggingAddress", "");
    Outlook again;
    Connect(again, Start::Automation);
    EXPECT_FALSE(ResetLogon);
    EXPECT_EQ(L"log@history.quorvane.com", LoggingAddress);
    ShutDown(again);
}

TEST_F(ConnectLifecycle, AValueThatIsNoNumberLeavesItsSettingAsItWas) {
    SetSetting("ErrorLogLevel", "verbose");
    Outlook outlook;
    Connect(outlook, Start::Automation);
    EXPECT_EQ(0, ErrorLogLevel);  // tracing stays off
    EXPECT_EQ(std::string(), Trace());
    ShutDown(outlook);
}

TEST_F(ConnectLifecycle, OnlyVersionTwelveIsOutlook12) {
    for (auto [version, expected] : {std::pair{L"12.0.6423.1000", true}, std::pair{L"14.0.7015.1000", false},
                                     std::pair{L"11.0.8312", false}}) {
        IsOutlook12 = false;
        Outlook outlook(version);
        Connect(outlook, Start::Automation);
        EXPECT_EQ(expected, IsOutlook12) << std::string(version, version + wcslen(version));
        ShutDown(outlook);
    }
}

TEST_F(ConnectLifecycle, AtStartUpTheInactiveMainWindowIsTakenAsTheExplorer) {
    LoggedOn();
    Outlook outlook;
    Connect(outlook, Start::WithInactiveExplorer);
    EXPECT_TRUE(Running());
    EXPECT_EQ(1u, Count("Connect::OnConnection:Explorers.Count = 1; initializing base class"));
    EXPECT_EQ(1u, Count("CRMAddIn::InitHandler:No ActiveExplorer"));
    EXPECT_EQ(1u, Count("CRMAddIn::InitHandler:assigning Explorer.Item(1)"));
    EXPECT_GT(outlook.ReferencesHeldOutside(), 0);
    ShutDown(outlook);
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

TEST_F(ConnectLifecycle, WithoutAnExplorerItStartsWhenOneOpensActive) {
    LoggedOn();
    Outlook outlook;
    Connect(outlook, Start::Automation);
    EXPECT_FALSE(Running());
    EXPECT_EQ(1u, Count("Connect::OnConnection:Explorers.Count = 0; monitoring NewExplorer event"));
    outlook.OpenExplorer(true);
    EXPECT_TRUE(Running());
    EXPECT_EQ(1u, Count("Connect::NewExplorer:found ActiveExplorer - calling InitHandler"));
    // Activate follows NewExplorer, and finds the controller already started.
    EXPECT_EQ(0u, Count("Connect::molExplorer_Activate:call InitHandler"));
    ShutDown(outlook);
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

TEST_F(ConnectLifecycle, AnExplorerActiveOnlyLaterStartsItOnItsFirstActivation) {
    LoggedOn();
    Outlook outlook;
    Connect(outlook, Start::Automation);
    int explorer = outlook.OpenExplorer(false);
    EXPECT_FALSE(Running());
    EXPECT_EQ(1u, Count("Connect::NewExplorer:no ActiveExplorer"));
    outlook.ActivateExplorer(explorer);
    EXPECT_TRUE(Running());
    EXPECT_EQ(1u, Count("Connect::molExplorer_Activate:call InitHandler"));
    ShutDown(outlook);
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

TEST_F(ConnectLifecycle, ClosingTheOnlyExplorerWithAMessageWindowOpenKeepsItRunning) {
    LoggedOn();
    Outlook outlook;
    Connect(outlook, Start::WithExplorer);
    outlook.OpenInspector();
    outlook.CloseExplorer(outlook.MainExplorer());
    EXPECT_TRUE(Running());
    EXPECT_EQ(0u, Count("Connect::molExplorer_Close:no Explorers or Inspectors"));
    ShutDown(outlook);
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

TEST_F(ConnectLifecycle, ClosingTheLastWindowStopsItAndANewExplorerStartsItAgain) {
    LoggedOn();
    Outlook outlook;
    Connect(outlook, Start::WithExplorer);
    outlook.CloseExplorer(outlook.MainExplorer());
    EXPECT_FALSE(Running());
    EXPECT_EQ(1u, Count("Connect::molExplorer_Close:no Explorers or Inspectors"));
    EXPECT_EQ(1u, Count("Connect::molExplorer_Close:Base class still initialized - calling UninitHandler"));
    EXPECT_TRUE(gobjCRMAddIn);  // the controller itself survives
    outlook.OpenExplorer(true);
    EXPECT_TRUE(Running());
    EXPECT_EQ(1u, Count("Connect::NewExplorer:found ActiveExplorer - calling InitHandler"));
    ShutDown(outlook);
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

// An explorer closes while a window is left, and Outlook cannot answer one of the questions
// that tell "none is left": the session keeps running, whichever subscriber hears the Close
// first, and still ends when the last window goes.
struct FailedQuestion {
    const char* name;
    const wchar_t* kind;
    const wchar_t* member;
    bool secondExplorer;  // the window left is the main explorer (else a message window)
    bool lastFirst;       // the controller hears the Close before Connect
};
class ExplorerClosesUnanswered : public ConnectLifecycle, public testing::WithParamInterface<FailedQuestion> {};

TEST_P(ExplorerClosesUnanswered, KeepsTheSessionUntilTheLastWindowGoes) {
    const FailedQuestion& c = GetParam();
    LoggedOn();
    Outlook outlook;
    outlook.SetSinksLastFirst(c.lastFirst);
    Connect(outlook, Start::WithExplorer);
    const int closing = c.secondExplorer ? outlook.OpenExplorer(true) : outlook.MainExplorer();
    const int inspector = c.secondExplorer ? 0 : outlook.OpenInspector();
    outlook.FailMember(c.kind, c.member, RPC_E_CALL_REJECTED, L"Outlook is busy.");
    outlook.CloseExplorer(closing);
    outlook.ClearFaults();
    EXPECT_TRUE(Running());
    EXPECT_EQ(0u, Count("Connect::molExplorer_Close:no Explorers or Inspectors"));
    if (c.secondExplorer)
        outlook.CloseExplorer(outlook.MainExplorer());
    else
        outlook.CloseInspector(inspector);
    EXPECT_FALSE(Running());
    ShutDown(outlook);
    EXPECT_EQ(0, outlook.ReferencesHeldOutside()) << outlook.DescribeHeldOutside();
}

INSTANTIATE_TEST_SUITE_P(
    ConnectLifecycle, ExplorerClosesUnanswered,
    testing::Values(FailedQuestion{"InspectorCount", L"Inspectors", L"Count", false, false},
                    FailedQuestion{"InspectorCountControllerFirst", L"Inspectors", L"Count", false, true},
                    FailedQuestion{"Inspectors", L"Application", L"Inspectors", false, false},
                    FailedQuestion{"ActiveExplorerWithAMessageWindow", L"Application", L"ActiveExplorer", false, false},
                    FailedQuestion{"ActiveExplorer", L"Application", L"ActiveExplorer", true, false},
                    FailedQuestion{"ActiveExplorerControllerFirst", L"Application", L"ActiveExplorer", true, true}),
    [](const testing::TestParamInfo<FailedQuestion>& info) { return std::string(info.param.name); });

TEST_F(ConnectLifecycle, ShutDownTearsDownTwiceButStopsTheControllerOnce) {
    LoggedOn();
    Outlook outlook;
    Connect(outlook, Start::WithExplorer);
    // Outlook tells the add-in it is shutting down while its window is still open.
    connect->OnBeginShutdown(nullptr);
    connect->OnDisconnection(ext_dm_HostShutdown, nullptr);
    EXPECT_EQ(1u, Count("Connect::OnBeginShutdown:"));
    EXPECT_EQ(1u, Count("Connect::OnDisconnection:"));
    EXPECT_EQ(1u, Count("Connect::Teardown:Call UninitHandler"));
    EXPECT_EQ(1u, Count("CRMAddIn::UnInitHandler:completing cleanup"));
    EXPECT_FALSE(gobjCRMAddIn);
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
    ShutDown(outlook);
    EXPECT_EQ(1u, Count("Connect::Teardown:Call UninitHandler"));
}

TEST_F(ConnectLifecycle, ClosingTheLastWindowBeforeShutDownLeavesTheTeardownNothingToStop) {
    LoggedOn();
    Outlook outlook;
    Connect(outlook, Start::WithExplorer);
    ShutDown(outlook);
    EXPECT_EQ(1u, Count("Connect::molExplorer_Close:Base class still initialized - calling UninitHandler"));
    EXPECT_EQ(0u, Count("Connect::Teardown:Call UninitHandler"));
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

TEST_F(ConnectLifecycle, DisconnectedFromTheAddinsListItStopsAndReleasesEverything) {
    LoggedOn();
    Outlook outlook;
    Connect(outlook, Start::WithExplorer);
    ASSERT_TRUE(Running());
    connect->OnDisconnection(ext_dm_UserClosed, nullptr);
    EXPECT_FALSE(gobjCRMAddIn);
    EXPECT_EQ(1u, Count("Connect::Teardown:Call UninitHandler"));
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
    ShutDown(outlook);
}

TEST_F(ConnectLifecycle, AMissingCompanyIdIsTracedOnlyAtLevelEight) {
    LogonID = 1001;
    Outlook outlook;
    Connect(outlook, Start::WithExplorer);
    EXPECT_FALSE(gobjCRMAddIn);
    EXPECT_EQ(0u, Count("Connect::ConfirmLogon:missing CompanyID, calling TearDown"));
    ShutDown(outlook);

    SetSetting("ErrorLogLevel", 8);
    Outlook again;
    Connect(again, Start::WithExplorer);
    EXPECT_EQ(1u, Count("Connect::ConfirmLogon:missing CompanyID, calling TearDown"));
    ShutDown(again);
}

TEST_F(ConnectLifecycle, DisconnectedWhileTheLogonDialogIsOpenItFinishesSafely) {
    Outlook outlook;
    // Not logged on: the dialog opens inside OnConnection; meanwhile the user turns the add-in
    // off and Outlook lets go of it.
    long liveBefore = -1, liveAfter = -2;
    windows.Expect("Initialize Quorvane Email History", [&](HWND, SeenWindow&) {
        connect->OnDisconnection(ext_dm_UserClosed, nullptr);
        liveBefore = com::ModuleLockCount();
        connect.Reset();
        // Connect and its controller are still running their start-up below this dialog:
        // neither may go before they return.
        liveAfter = com::ModuleLockCount();
    });
    Connect(outlook, Start::WithExplorer);
    EXPECT_EQ(0u, windows.Pending());
    EXPECT_EQ(liveBefore, liveAfter);
    EXPECT_FALSE(connect);
    EXPECT_FALSE(gobjCRMAddIn);
    EXPECT_EQ(1u, Count("Connect::OnDisconnection:"));
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
    outlook.ShutDown();
}

// Office may call Connect's IDTExtensibility2 members through IDispatch by their DISPIDs,
// 1 (OnConnection) to 5 (OnBeginShutdown); DISPIDs either side of that range are not theirs.
TEST_F(ConnectLifecycle, AnswersItsConnectionEventsByDispid) {
    LoggedOn();
    Outlook outlook;
    outlook.StartUp(Start::WithExplorer);
    connect = com::Make<vantrell::Connect>();
    com::Ptr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, connect->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.ReleaseAndGetAddressOf())));
    SAFEARRAY* customArray = SafeArrayCreateVector(VT_VARIANT, 0, 0);
    VARIANT custom;
    VariantInit(&custom);
    V_VT(&custom) = VT_ARRAY | VT_VARIANT | VT_BYREF;
    V_ARRAYREF(&custom) = &customArray;
    // Arguments in DISPPARAMS order: the last one first.
    auto invoke = [&](DISPID id, std::vector<VARIANT> reversed) {
        DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        return dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    };
    auto number = [](long value) {
        VARIANT v;
        V_VT(&v) = VT_I4;
        V_I4(&v) = value;
        return v;
    };
    VARIANT application, nothing;
    V_VT(&application) = VT_DISPATCH;
    V_DISPATCH(&application) = outlook.Application();
    V_VT(&nothing) = VT_DISPATCH;
    V_DISPATCH(&nothing) = nullptr;

    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, invoke(0, {custom}));
    EXPECT_EQ(S_OK, invoke(1, {custom, nothing, number(ext_cm_Startup), application}));
    EXPECT_TRUE(Running());
    EXPECT_EQ(S_OK, invoke(4, {custom}));
    EXPECT_EQ(S_OK, invoke(3, {custom}));
    EXPECT_EQ(S_OK, invoke(5, {custom}));
    EXPECT_EQ(1u, Count("Connect::OnBeginShutdown:"));
    EXPECT_FALSE(gobjCRMAddIn);
    EXPECT_EQ(S_OK, invoke(2, {custom, number(ext_dm_HostShutdown)}));
    EXPECT_EQ(1u, Count("Connect::OnDisconnection:"));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, invoke(6, {custom}));
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
    SafeArrayDestroy(customArray);
    connect.Reset();
    outlook.ShutDown();
}

// Stopping the session lets Outlook process its queued window messages; explorer events queued
// meanwhile (a new explorer, an activation) must not start the session again while it is being
// ended, whichever way it ends.
enum class StopBy { UserDisconnects, LogonCancelled, LastWindowCloses };
struct QueuedStart {
    const char* name;
    StopBy stop;
};
void PrintTo(const QueuedStart& c, std::ostream* out) { *out << c.name; }
class EventsQueuedWhileStopping : public ConnectLifecycle, public testing::WithParamInterface<QueuedStart> {};

TEST_P(EventsQueuedWhileStopping, StartNothingAndLeaveNoReference) {
    const StopBy stop = GetParam().stop;
    Outlook outlook;
    int opened = 0;
    // A new explorer (NewExplorer while the main one is active), then its activation.
    auto queueExplorerEvents = [&] {
        outlook.Queue([&] { opened = outlook.OpenExplorer(false); });
        outlook.Queue([&] { outlook.ActivateExplorer(opened); });
    };
    if (stop == StopBy::LogonCancelled) {
        // Queued after the click, so that they arrive once the dialog has gone.
        windows.Expect("Initialize Quorvane Email History", [&](HWND window, SeenWindow& seen) {
            WindowScript::ClickButton(IDCANCEL)(window, seen);
            queueExplorerEvents();
        });
    } else {
        LoggedOn();
    }
    Connect(outlook, Start::WithExplorer);
    if (stop == StopBy::UserDisconnects) {
        ASSERT_TRUE(Running());
        queueExplorerEvents();
        connect->OnDisconnection(ext_dm_UserClosed, nullptr);
    } else if (stop == StopBy::LastWindowCloses) {
        ASSERT_TRUE(Running());
        // A message window's wrapper: stopping removes it and yields once after it.
        gcolInspWrap->Add(L"A", com::Make<InspWrap>());
        queueExplorerEvents();
        outlook.CloseExplorer(outlook.MainExplorer());
    }
    // The queued events did arrive, inside the stop.
    ASSERT_NE(0, opened);
    EXPECT_EQ(0u, windows.Pending());
    EXPECT_EQ(stop == StopBy::LogonCancelled ? 1u : 0u, windows.Seen().size());  // no (second) logon dialog
    EXPECT_EQ(1u, Count("CRMAddIn::UnInitHandler:completing cleanup"));
    EXPECT_EQ(0u, Count("Connect::NewExplorer:found ActiveExplorer - calling InitHandler") +
                      Count("Connect::molExplorer_Activate:call InitHandler"));
    EXPECT_FALSE(Running());
    if (stop == StopBy::LastWindowCloses) {
        // The controller waits for the next window, which starts it as usual.
        outlook.OpenExplorer(true);
        EXPECT_TRUE(Running());
    } else {
        // Torn down: nothing of Outlook's is held any more.
        EXPECT_FALSE(gobjCRMAddIn);
        EXPECT_EQ(0, outlook.ReferencesHeldOutside());
    }
    ShutDown(outlook);
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
    for (const std::wstring& entry : outlook.Log()) EXPECT_NE(L"Queued action failed", entry);
}

INSTANTIATE_TEST_SUITE_P(ConnectLifecycle, EventsQueuedWhileStopping,
                         testing::Values(QueuedStart{"UserDisconnects", StopBy::UserDisconnects},
                                         QueuedStart{"LogonCancelled", StopBy::LogonCancelled},
                                         QueuedStart{"LastWindowCloses", StopBy::LastWindowCloses}),
                         [](const testing::TestParamInfo<QueuedStart>& info) { return info.param.name; });

}  // namespace
}  // namespace vantrell::test
