// The simulated Outlook against a recording add-in: start-up order, strict dispatch, events
// through real sinks, Outlook 2000's event interfaces, fault injection, the COM add-ins list,
// shut-down and reference accounting.
#include <gtest/gtest.h>

#include <ole2.h>
#include <olectl.h>

#include "platform/events.h"
#include "platform/failure.h"
#include "platform/late_bound.h"
#include "tests/sim/fake_addin.h"
#include "tests/sim/raw_invoke.h"
#include "sim/outlook/outlook.h"

namespace vantrell::sim {
namespace {

using com::LateBound;
using com::Ptr;
using com::Variant;
using test::Script;
using Log = std::vector<std::wstring>;

const IID kExplorersEvents = {0x00063078, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kExplorerEvents = {0x0006304F, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kExplorerEvents10 = {0x0006300F, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kInspectorsEvents = {0x00063079, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kInspectorEvents = {0x0006307D, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kInspectorEvents10 = {0x0006302A, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const wchar_t kProgId[] = L"SimTest.AddIn";

using test::Invoke;
using test::kGet;
using test::kMethod;
using test::kVbGet;
using test::Raw;

LateBound Object(IDispatch* object) { return LateBound(Ptr<IDispatch>(object)); }

class SimOutlook : public testing::Test {
protected:
    void SetUp() override { Script() = test::AddInScript{}; }
    void TearDown() override { Script() = test::AddInScript{}; }

    test::RegisteredAddIn registered{kProgId};
};

// ---- start-up ----

TEST_F(SimOutlook, StartUpWithExplorerLoadsTheAddInsBeforeActivatingTheExplorer) {
    Outlook outlook(L"12.0.6423.1000");
    long countDuring = -1;
    bool activeDuring = true;
    std::wstring progIdDuring;
    Script().onConnection = [&](IDispatch* application, IDispatch* addInInst) {
        LateBound app = Object(application);
        countDuring = LateBound(app.Get(L"Explorers")).Get(L"Count").ToLong();
        activeDuring = app.Call(L"ActiveExplorer").IsObject();
        progIdDuring = Object(addInInst).Get(L"ProgId").ToText();
    };
    outlook.StartUp(Start::WithExplorer);
    EXPECT_EQ((Log{L"OnConnection SimTest.AddIn 1", L"OnStartupComplete SimTest.AddIn", L"Explorer.Activate"}),
              outlook.Log());
    EXPECT_EQ((Log{L"OnConnection 1", L"OnStartupComplete"}), Script().calls);
    EXPECT_TRUE(Script().customWasEmptyVariantArray);
    EXPECT_EQ(1, countDuring);
    EXPECT_FALSE(activeDuring);
    EXPECT_EQ(kProgId, progIdDuring);
    LateBound app = Object(outlook.Application());
    EXPECT_TRUE(com::SameObject(outlook.Explorer(outlook.MainExplorer()), app.Call(L"ActiveExplorer").ToDispatch().Get()));
    EXPECT_EQ(L"12.0.6423.1000", app.Get(L"Version").ToText());
    EXPECT_TRUE(outlook.IsRunning());
}

TEST_F(SimOutlook, StartUpWithInactiveExplorerLeavesActiveExplorerNothingUntilActivated) {
    Outlook outlook;
    Ptr<IDispatch> firstDuring;
    bool activeDuring = true;
    Script().onConnection = [&](IDispatch* application, IDispatch*) {
        LateBound app = Object(application);
        firstDuring = LateBound(app.Get(L"Explorers")).Call(L"Item", {1}).ToDispatch();
        activeDuring = app.Call(L"ActiveExplorer").IsObject();
    };
    outlook.StartUp(Start::WithInactiveExplorer);
    EXPECT_FALSE(activeDuring);
    EXPECT_TRUE(com::SameObject(outlook.Explorer(outlook.MainExplorer()), firstDuring.Get()));
    LateBound app = Object(outlook.Application());
    EXPECT_FALSE(app.Call(L"ActiveExplorer").IsObject());
    outlook.ActivateExplorer(outlook.MainExplorer());
    EXPECT_TRUE(com::SameObject(firstDuring.Get(), app.Call(L"ActiveExplorer").ToDispatch().Get()));
    EXPECT_EQ((Log{L"OnConnection SimTest.AddIn 1", L"OnStartupComplete SimTest.AddIn", L"Explorer.Activate"}),
              outlook.Log());
}

TEST_F(SimOutlook, StartUpWithoutExplorerOffersNoneOrOneInspector) {
    for (Start how : {Start::Automation, Start::SingleInspector}) {
        Outlook outlook;
        long explorers = -1, inspectors = -1;
        Script().onConnection = [&](IDispatch* application, IDispatch*) {
            LateBound app = Object(application);
            explorers = LateBound(app.Get(L"Explorers")).Get(L"Count").ToLong();
            inspectors = LateBound(app.Get(L"Inspectors")).Get(L"Count").ToLong();
        };
        outlook.StartUp(how);
        EXPECT_EQ(0, explorers);
        EXPECT_EQ(how == Start::SingleInspector ? 1 : 0, inspectors);
        EXPECT_EQ(0, outlook.MainExplorer());
        EXPECT_EQ((Log{L"OnConnection SimTest.AddIn 1", L"OnStartupComplete SimTest.AddIn"}), outlook.Log());
    }
}

TEST_F(SimOutlook, AnAddInThatFailsToCreateOrConnectIsListedAsNotConnected) {
    test::RegisteredAddIn missing(L"SimTest.Missing", 3, false);
    {
        Script().createResult = E_FAIL;
        Outlook outlook;
        outlook.StartUp(Start::Automation);
        const Log& log = outlook.Log();
        EXPECT_NE(log.end(), std::find(log.begin(), log.end(), L"Create failed SimTest.AddIn 0x80004005"));
        EXPECT_NE(log.end(), std::find(log.begin(), log.end(), L"Create failed SimTest.Missing 0x800401F3"));
        EXPECT_EQ(2u, log.size());
        LateBound addIns(Object(outlook.Application()).Get(L"COMAddIns"));
        EXPECT_EQ(2, addIns.Get(L"Count").ToLong());
        EXPECT_FALSE(LateBound(addIns.Call(L"Item", {kProgId})).Get(L"Connect").ToBool());
    }
    Script() = test::AddInScript{};
    Script().connectResult = E_ABORT;
    Outlook outlook;
    outlook.StartUp(Start::Automation);
    const Log& log = outlook.Log();
    EXPECT_NE(log.end(), std::find(log.begin(), log.end(), L"OnConnection failed SimTest.AddIn 0x80004004"));
    EXPECT_EQ(log.end(), std::find(log.begin(), log.end(), L"OnStartupComplete SimTest.AddIn"));
    EXPECT_EQ(0, Script().live);
    LateBound addIn(LateBound(Object(outlook.Application()).Get(L"COMAddIns")).Call(L"Item", {kProgId}));
    EXPECT_FALSE(addIn.Get(L"Connect").ToBool());
    EXPECT_FALSE(addIn.Get(L"Object").IsObject());
}

// ---- strict dispatch ----

TEST_F(SimOutlook, DispatchIsStrictAboutNamesCountsTypesAndAccess) {
    Outlook outlook;
    outlook.StartUp(Start::WithExplorer);
    IDispatch* app = outlook.Application();
    Ptr<IDispatch> explorers = Invoke(app, L"explorers", kGet).result.ToDispatch();  // names ignore case
    ASSERT_TRUE(explorers);

    EXPECT_EQ(DISP_E_UNKNOWNNAME, Invoke(app, L"NoSuchMember", kVbGet).hr);
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Invoke(explorers.Get(), L"Item", kMethod).hr);
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Invoke(explorers.Get(), L"Item", kMethod, {1, 2}).hr);
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Invoke(explorers.Get(), L"Count", kGet, {1}).hr);
    Raw mismatch = Invoke(explorers.Get(), L"Item", kMethod, {L"first"});
    EXPECT_EQ(DISP_E_TYPEMISMATCH, mismatch.hr);
    EXPECT_EQ(0u, mismatch.argError);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Invoke(app, L"Version", DISPATCH_PROPERTYPUT, {L"1.0"}).hr);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Invoke(app, L"ActiveExplorer", kGet).hr);  // a method, not a property
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Invoke(explorers.Get(), L"Count", kMethod).hr);
    EXPECT_EQ(S_OK, Invoke(app, L"ActiveExplorer", kVbGet).hr);
    Raw outOfRange = Invoke(explorers.Get(), L"Item", kMethod, {2});
    EXPECT_EQ(DISP_E_EXCEPTION, outOfRange.hr);
    EXPECT_EQ(DISP_E_BADINDEX, outOfRange.scode);

    // By-reference arguments are read through, and text that reads as a number converts.
    long index = 1;
    VARIANT byRef;
    V_VT(&byRef) = VT_I4 | VT_BYREF;
    V_I4REF(&byRef) = &index;
    EXPECT_TRUE(Invoke(explorers.Get(), L"Item", kMethod, {Variant(byRef)}).result.IsObject());
    EXPECT_TRUE(Invoke(explorers.Get(), L"Item", kMethod, {L"1"}).result.IsObject());

    Ptr<IDispatch> inspector(outlook.Inspector(outlook.OpenInspector()));
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Invoke(inspector.Get(), L"Close", kMethod).hr);
    EXPECT_EQ(S_OK, Invoke(inspector.Get(), L"Close", kMethod, {1}).hr);
    EXPECT_EQ(DISP_E_EXCEPTION, Invoke(inspector.Get(), L"Activate", kMethod).hr);  // closed by now
    EXPECT_EQ(L"Untitled - Message", Invoke(inspector.Get(), L"Caption", kGet).result.ToText());
}

TEST_F(SimOutlook, ExchangeConnectionModeExistsFromOutlook2003On) {
    for (auto [version, offered] : {std::pair{L"9.0.0.2814", false}, std::pair{L"10.0.2627", false},
                                    std::pair{L"11.0.8312", true}, std::pair{L"14.0.7015.1000", true}}) {
        Outlook outlook(version);
        outlook.SetExchangeConnectionMode(700);
        Ptr<IDispatch> session = Invoke(outlook.Application(), L"Session", kGet).result.ToDispatch();
        EXPECT_TRUE(com::SameObject(session.Get(),
                                    Invoke(outlook.Application(), L"GetNamespace", kMethod, {L"MAPI"}).result.ToDispatch().Get()));
        Raw mode = Invoke(session.Get(), L"ExchangeConnectionMode", kGet);
        if (!offered) {
            EXPECT_EQ(DISP_E_UNKNOWNNAME, mode.hr) << version;
        } else {
            EXPECT_EQ(700, mode.result.ToLong()) << version;
            EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Invoke(session.Get(), L"ExchangeConnectionMode", DISPATCH_PROPERTYPUT, {0}).hr);
        }
    }
}

// ---- events ----

struct WindowWatcher {
    WindowWatcher(const IID& primary, const IID& fallback, std::vector<std::wstring>& heard, std::wstring name)
        : field(primary, fallback), heard(heard), name(std::move(name)) {
        field.On(0xF001, this, &WindowWatcher::OnActivate);
        field.On(0xF006, this, &WindowWatcher::OnDeactivate);
        field.On(0xF008, this, &WindowWatcher::OnClose);
    }
    void OnActivate(const com::EventArgs&) { heard.push_back(name + L".Activate"); }
    void OnDeactivate(const com::EventArgs&) { heard.push_back(name + L".Deactivate"); }
    void OnClose(const com::EventArgs&) {
        heard.push_back(name + L".Close");
        field.Reset();  // a handler may drop its own subscription
    }
    com::WithEvents field;
    std::vector<std::wstring>& heard;
    std::wstring name;
};

struct CollectionWatcher {
    CollectionWatcher(const IID& events, const IID& windowEvents, const IID& windowEvents10, IDispatch* application,
                      std::vector<std::wstring>& heard)
        : field(events), windowEvents(windowEvents), windowEvents10(windowEvents10), application(application), heard(heard) {
        field.On(0xF001, this, &CollectionWatcher::OnNew);
    }
    void OnNew(const com::EventArgs& args) {
        Ptr<IDispatch> window = args.Object(0);
        heard.push_back(L"New " + Object(window.Get()).Get(L"Caption").ToText());
        activeDuringNew = Object(application).Call(L"ActiveExplorer").ToDispatch();
        windows.push_back(std::make_unique<WindowWatcher>(windowEvents, windowEvents10, heard, L"W" + std::to_wstring(windows.size() + 1)));
        windows.back()->field.Set(window);
    }
    com::WithEvents field;
    IID windowEvents, windowEvents10;
    IDispatch* application;
    std::vector<std::wstring>& heard;
    Ptr<IDispatch> activeDuringNew;
    std::vector<std::unique_ptr<WindowWatcher>> windows;
};

TEST_F(SimOutlook, ExplorerEventsReachRealSinksInOutlooksOrder) {
    Outlook outlook;
    outlook.StartUp(Start::WithExplorer);
    std::vector<std::wstring> heard;
    WindowWatcher main(kExplorerEvents, kExplorerEvents10, heard, L"Main");
    ASSERT_EQ(S_OK, main.field.Set(Ptr<IDispatch>(outlook.Explorer(outlook.MainExplorer()))));
    CollectionWatcher explorers(kExplorersEvents, kExplorerEvents, kExplorerEvents10, outlook.Application(), heard);
    ASSERT_EQ(S_OK, explorers.field.Set(Invoke(outlook.Application(), L"Explorers", kGet).result.ToDispatch()));

    int second = outlook.OpenExplorer(true, L"Calendar - Microsoft Outlook");
    EXPECT_TRUE(com::SameObject(outlook.Explorer(second), explorers.activeDuringNew.Get()));
    int third = outlook.OpenExplorer(false, L"Contacts");
    EXPECT_FALSE(com::SameObject(outlook.Explorer(third), explorers.activeDuringNew.Get()));
    outlook.ActivateExplorer(outlook.MainExplorer());
    EXPECT_EQ(S_OK, Invoke(outlook.Explorer(third), L"Activate", kMethod).hr);
    outlook.CloseExplorer(third);
    EXPECT_TRUE(com::SameObject(outlook.Explorer(second),
                                Invoke(outlook.Application(), L"ActiveExplorer", kMethod).result.ToDispatch().Get()));
    EXPECT_EQ((Log{L"New Calendar - Microsoft Outlook", L"Main.Deactivate", L"W1.Activate", L"New Contacts",
                   L"W1.Deactivate", L"Main.Activate", L"Main.Deactivate", L"W2.Activate", L"W2.Close"}),
              heard);
    EXPECT_EQ(2, Object(explorers.field.Object().Get()).Get(L"Count").ToLong());
    EXPECT_TRUE(IsEqualIID(kExplorerEvents, main.field.Connected()));
}

// What the application showed while an explorer's Close fired.
struct CloseWatcher {
    explicit CloseWatcher(IDispatch* application) : field(kExplorerEvents), application(application) {
        field.On(0xF008, this, &CloseWatcher::OnClose);
    }
    void OnClose(const com::EventArgs&) {
        activeDuringClose = Object(application).Call(L"ActiveExplorer").ToDispatch();
        countDuringClose = LateBound(Object(application).Get(L"Explorers")).Get(L"Count").ToLong();
    }
    com::WithEvents field;
    IDispatch* application;
    Ptr<IDispatch> activeDuringClose;
    long countDuringClose = -1;
};

TEST_F(SimOutlook, WhileCloseFiresActiveExplorerHasAlreadyMovedOn) {
    Outlook outlook;
    outlook.StartUp(Start::WithExplorer);
    int second = outlook.OpenExplorer(true);
    CloseWatcher watcher(outlook.Application());
    watcher.field.Set(Ptr<IDispatch>(outlook.Explorer(second)));
    outlook.CloseExplorer(second);
    EXPECT_TRUE(com::SameObject(outlook.Explorer(outlook.MainExplorer()), watcher.activeDuringClose.Get()));
    EXPECT_EQ(2, watcher.countDuringClose);

    watcher.field.Set(Ptr<IDispatch>(outlook.Explorer(outlook.MainExplorer())));
    outlook.CloseExplorer(outlook.MainExplorer());
    EXPECT_FALSE(watcher.activeDuringClose);
    EXPECT_EQ(1, watcher.countDuringClose);
    EXPECT_TRUE(outlook.IsRunning());  // only ShutDown ends it
}

TEST_F(SimOutlook, InspectorEventsReachRealSinks) {
    Outlook outlook;
    outlook.StartUp(Start::WithExplorer);
    std::vector<std::wstring> heard;
    CollectionWatcher inspectors(kInspectorsEvents, kInspectorEvents, kInspectorEvents10, outlook.Application(), heard);
    ASSERT_EQ(S_OK, inspectors.field.Set(Invoke(outlook.Application(), L"Inspectors", kGet).result.ToDispatch()));
    int first = outlook.OpenInspector(L"Hello - Message");
    outlook.OpenInspector(L"Re: Hello - Message");
    outlook.ActivateInspector(first);
    outlook.CloseInspector(first);
    EXPECT_EQ((Log{L"New Hello - Message", L"W1.Activate", L"New Re: Hello - Message", L"W1.Deactivate",
                   L"W2.Activate", L"W2.Deactivate", L"W1.Activate", L"W1.Close", L"W2.Activate"}),
              heard);  // the other window comes to the front
    EXPECT_THROW(outlook.Inspector(first), std::out_of_range);
}

TEST_F(SimOutlook, ConnectionPointsFollowTheRules) {
    Outlook outlook;
    outlook.StartUp(Start::WithExplorer);
    Ptr<IConnectionPointContainer> container =
        Ptr<IDispatch>(outlook.Explorer(outlook.MainExplorer())).As<IConnectionPointContainer>();
    ASSERT_TRUE(container);
    Ptr<IConnectionPoint> point;
    EXPECT_EQ(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(kExplorersEvents, point.ReleaseAndGetAddressOf()));
    ASSERT_EQ(S_OK, container->FindConnectionPoint(kExplorerEvents10, point.ReleaseAndGetAddressOf()));
    Ptr<IConnectionPointContainer> back;
    ASSERT_EQ(S_OK, point->GetConnectionPointContainer(back.ReleaseAndGetAddressOf()));
    EXPECT_TRUE(com::SameObject(container.Get(), back.Get()));

    auto sink = com::Make<com::EventSink>(kExplorerEvents10, IID_NULL);
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, point->Advise(static_cast<IDispatch*>(sink.Get()), &cookie));
    EXPECT_NE(0u, cookie);
    EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(cookie + 1));
    EXPECT_EQ(S_OK, point->Unadvise(cookie));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(cookie));

    // An object without events is no container at all.
    Ptr<IDispatch> session = Invoke(outlook.Application(), L"Session", kGet).result.ToDispatch();
    EXPECT_FALSE(session.As<IConnectionPointContainer>());
}

TEST_F(SimOutlook, Outlook2000OffersOnlyTheOriginalWindowEvents) {
    for (const wchar_t* version : {L"9.0.0.2814", L"10.0.2627"}) {
        const bool outlook2000 = version[0] == L'9';
        Outlook outlook(version);
        outlook.StartUp(Start::WithExplorer);
        int inspector = outlook.OpenInspector();
        for (auto [window, old, v10] : {std::tuple{outlook.Explorer(1), kExplorerEvents, kExplorerEvents10},
                                        std::tuple{outlook.Inspector(inspector), kInspectorEvents, kInspectorEvents10}}) {
            Ptr<IConnectionPointContainer> container = Ptr<IDispatch>(window).As<IConnectionPointContainer>();
            Ptr<IConnectionPoint> point;
            EXPECT_EQ(S_OK, container->FindConnectionPoint(old, point.ReleaseAndGetAddressOf())) << version;
            EXPECT_EQ(outlook2000 ? CONNECT_E_NOCONNECTION : S_OK,
                      container->FindConnectionPoint(v10, point.ReleaseAndGetAddressOf()))
                << version;
            // The add-in's way: ask for _10 first and fall back to the original.
            com::WithEvents field(v10, old);
            EXPECT_EQ(S_OK, field.Set(Ptr<IDispatch>(window)));
            EXPECT_TRUE(IsEqualIID(outlook2000 ? old : v10, field.Connected())) << version;
        }
    }
}

// ---- fault injection ----

TEST_F(SimOutlook, AFailedMemberRaisesTheChosenException) {
    Outlook outlook;
    outlook.StartUp(Start::WithExplorer);
    outlook.FailMember(L"explorers", L"COUNT", static_cast<HRESULT>(0x80040109), L"The operation failed.");
    IDispatch* app = outlook.Application();
    Raw failed = Invoke(Invoke(app, L"Explorers", kGet).result.ToDispatch().Get(), L"Count", kGet);
    EXPECT_EQ(DISP_E_EXCEPTION, failed.hr);
    EXPECT_EQ(static_cast<HRESULT>(0x80040109), failed.scode);
    EXPECT_EQ(L"The operation failed.", failed.description);
    EXPECT_EQ(0, Invoke(Invoke(app, L"Inspectors", kGet).result.ToDispatch().Get(), L"Count", kGet).result.ToLong());

    FailureObserver observer;
    LateBound(Object(app).Get(L"Explorers")).Get(L"Count");
    ASSERT_FALSE(observer.Seen().empty());
    EXPECT_EQ(static_cast<long>(0x80040109), observer.Seen().back().number);
    EXPECT_EQ(L"The operation failed.", observer.Seen().back().description);
}

TEST_F(SimOutlook, AMemberSetToFailOnceFailsItsNextCallOnly) {
    Outlook outlook;
    outlook.StartUp(Start::WithExplorer);
    outlook.FailOnce(L"Explorers", L"Count", static_cast<HRESULT>(0x80040109), L"Once.");
    EXPECT_TRUE(outlook.FaultPending(L"explorers", L"count"));
    IDispatch* explorers = Invoke(outlook.Application(), L"Explorers", kGet).result.ToDispatch().Get();
    Raw failed = Invoke(explorers, L"Count", kGet);
    EXPECT_EQ(DISP_E_EXCEPTION, failed.hr);
    EXPECT_EQ(static_cast<HRESULT>(0x80040109), failed.scode);
    EXPECT_EQ(L"Once.", failed.description);
    EXPECT_FALSE(outlook.FaultPending(L"Explorers", L"Count"));
    EXPECT_EQ(1, Invoke(explorers, L"Count", kGet).result.ToLong());
    // A fault of FailMember stays after a one-shot one of the same member.
    outlook.FailMember(L"Explorers", L"Count", E_ACCESSDENIED, L"Always.");
    outlook.FailOnce(L"Explorers", L"Count", E_ABORT, L"Once.");
    EXPECT_EQ(E_ABORT, Invoke(explorers, L"Count", kGet).scode);
    EXPECT_EQ(E_ACCESSDENIED, Invoke(explorers, L"Count", kGet).scode);
    outlook.ClearFaults();
    EXPECT_EQ(S_OK, Invoke(explorers, L"Count", kGet).hr);
}

TEST_F(SimOutlook, TheCallsRecorderListsEachMemberOnceWhileOn) {
    Outlook outlook;
    outlook.StartUp(Start::WithExplorer);
    IDispatch* app = outlook.Application();
    Invoke(app, L"Version", kGet);  // before the recorder is on
    outlook.RecordCalls(true);
    EXPECT_TRUE(outlook.RecordingCalls());
    IDispatch* explorers = Invoke(app, L"Explorers", kGet).result.ToDispatch().Get();
    Invoke(explorers, L"Count", kGet);
    Invoke(app, L"Explorers", kGet);
    outlook.FailOnce(L"Explorers", L"Item", E_ABORT, L"Once.");
    Invoke(explorers, L"Item", DISPATCH_METHOD, {1});  // a failed call counts too
    outlook.RecordCalls(false);
    Invoke(app, L"Inspectors", kGet);
    EXPECT_EQ((std::vector<MemberCall>{{L"Application", L"Explorers"}, {L"Explorers", L"Count"},
                                            {L"Explorers", L"Item"}}),
              outlook.Calls());
    outlook.ClearCalls();
    EXPECT_TRUE(outlook.Calls().empty());
}

TEST_F(SimOutlook, AFailedCallIntoTheAddInIsLogged) {
    Script().connectResult = E_ABORT;
    Outlook outlook;
    outlook.StartUp(Start::Automation);
    const Log& log = outlook.Log();
    EXPECT_NE(log.end(), std::find(log.begin(), log.end(), L"Add-in call failed OnConnection SimTest.AddIn 0x80004004"));
}

// ---- the COM add-ins list ----

TEST_F(SimOutlook, TheUserDisconnectsAndReconnectsTheAddIn) {
    Outlook outlook;
    outlook.AddOtherAddIn(L"Other.Connect", L"Another add-in", true);
    outlook.StartUp(Start::WithExplorer);
    LateBound addIns(Object(outlook.Application()).Get(L"COMAddIns"));
    ASSERT_EQ(2, addIns.Get(L"Count").ToLong());
    LateBound other(addIns.Call(L"Item", {1}));
    EXPECT_EQ(L"Another add-in", other.Get(L"Description").ToText());
    LateBound ours(addIns.Call(L"Item", {L"simtest.addin"}));
    EXPECT_EQ(L"Fake add-in", ours.Get(L"Description").ToText());
    EXPECT_TRUE(ours.Get(L"Object").IsObject());

    outlook.SetAddinConnected(kProgId, false);
    EXPECT_EQ(0, Script().live);
    EXPECT_FALSE(ours.Get(L"Connect").ToBool());
    EXPECT_FALSE(ours.Get(L"Object").IsObject());
    outlook.SetAddinConnected(kProgId, true);
    EXPECT_TRUE(ours.Get(L"Connect").ToBool());
    EXPECT_TRUE(ours.Put(L"Connect", Variant::Boolean(false)));  // as the COM add-ins dialog does
    EXPECT_EQ(DISP_E_TYPEMISMATCH, Invoke(ours.Get(), L"Connect", DISPATCH_PROPERTYPUT, {L"perhaps"}).hr);
    EXPECT_TRUE(other.Put(L"Connect", Variant::Boolean(false)));
    EXPECT_FALSE(other.Get(L"Connect").ToBool());

    EXPECT_EQ((Log{L"OnConnection 1", L"OnStartupComplete", L"OnDisconnection 1", L"OnConnection 0",
                   L"OnDisconnection 1"}),
              Script().calls);
}

// ---- shut-down and references ----

TEST_F(SimOutlook, ShutDownClosesWindowsThenShutsTheAddInsDown) {
    Outlook outlook;
    outlook.StartUp(Start::WithExplorer);
    outlook.OpenInspector();
    outlook.OpenExplorer(false);
    size_t before = outlook.Log().size();
    outlook.ShutDown();
    Log tail(outlook.Log().begin() + static_cast<long>(before), outlook.Log().end());
    EXPECT_EQ((Log{L"Item.Close", L"Inspector.Close", L"Explorer.Close", L"Explorer.Close", L"OnBeginShutdown SimTest.AddIn",
                   L"OnDisconnection SimTest.AddIn 0"}),
              tail);
    EXPECT_FALSE(outlook.IsRunning());
    EXPECT_EQ(0, Script().live);
    EXPECT_EQ(0, Invoke(Invoke(outlook.Application(), L"Explorers", kGet).result.ToDispatch().Get(), L"Count", kGet)
                     .result.ToLong());
}

TEST_F(SimOutlook, ReferencesHeldOutsideCountWhatTheAddInKeepsUntilItLetsGo) {
    Outlook outlook;
    Script().onConnection = [](IDispatch* application, IDispatch*) {
        Script().held.push_back(Invoke(application, L"Explorers", kGet).result.ToDispatch());
    };
    outlook.StartUp(Start::WithExplorer);
    EXPECT_EQ(3, outlook.ReferencesHeldOutside());  // Application, its COMAddIn, Explorers

    int second = outlook.OpenExplorer(true);
    Script().held.push_back(Ptr<IDispatch>(outlook.Explorer(second)));
    outlook.CloseExplorer(second);
    EXPECT_EQ(4, outlook.ReferencesHeldOutside());  // a closed explorer still held counts

    Ptr<IDispatch> mine(outlook.Explorer(outlook.MainExplorer()));
    outlook.ShutDown();
    EXPECT_EQ(1, outlook.ReferencesHeldOutside());  // the test's own
    mine.Reset();
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

// An inspector is a window of this thread (IOleWindow, as Outlook's): a modal box it owns
// disables it, and a disabled window takes no clicks.
TEST_F(SimOutlook, AnInspectorIsAWindowThatTakesNoClicksWhileDisabled) {
    Outlook outlook(L"14.0.7015.1000");
    outlook.StartUp(Start::WithExplorer);
    const int window = outlook.OpenInspector();
    Ptr<IOleWindow> ole = Ptr<IDispatch>(outlook.Inspector(window)).As<IOleWindow>();
    ASSERT_TRUE(ole);
    EXPECT_TRUE(com::SameObject(ole.Get(), outlook.Inspector(window)));
    HWND handle = nullptr;
    ASSERT_EQ(S_OK, ole->GetWindow(&handle));
    EXPECT_TRUE(IsWindow(handle));
    EnableWindow(handle, FALSE);
    outlook.ClickButton(window, L"CRM.Any");
    EXPECT_EQ(L"Click ignored CRM.Any", outlook.Log().back());
    EnableWindow(handle, TRUE);
    outlook.CloseInspector(window);
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(E_FAIL, ole->GetWindow(&handle));
    ole.Reset();
    outlook.ShutDown();
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

}  // namespace
}  // namespace vantrell::sim
