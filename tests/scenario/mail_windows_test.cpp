// Mail windows in the simulated Outlook: the wrapper of each window, its button in the
// window's "Standard" bar (Word's, in WordMail), the close, and the end of the session.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "agent_mailbox.h"
#include "tests/common/logon_script.h"
#include "tests/common/registered_helper.h"
#include "connect/connect.h"
#include "commands/commands.h"
#include "session/insp_wrap.h"
#include "mailbox.h"
#include "mapi_tags.h"
#include "outlook.h"
#include "platform/events.h"
#include "tests/platform/fake_dispatch.h"
#include "platform/failure.h"
#include "platform/outlook.h"
#include "tests/scenario/addin_fixture.h"
#include "session/crm_addin.h"
#include "session/mod_insp_wrap.h"
#include "session/session_state.h"
#include "support/guid.h"
#include "support/shared_state.h"
#include "sim/word/word.h"

namespace vantrell::test {
namespace {

using sim::ControlInfo;
using sim::Outlook;

constexpr const wchar_t* kOutlook2003 = L"11.0.8312";

// The user at work, logged on, with the helper installed and the controller running in the
// simulated Outlook; Word running beside it when a test wants WordMail.
class MailWindows : public LinkedAddinTest {
protected:
    void SetUp() override {
        LinkedAddinTest::SetUp();
        mailbox->AddStoredLogon(4321, 65);
        mailbox->ConnectAgent(agent);
        ErrorLogSize = 1 << 20;
        ErrorLogLevel = 12;
    }
    void TearDown() override {
        if (controller) controller->UnInitHandler();
        if (outlook) {
            outlook->ShutDown();
            EXPECT_EQ(0, outlook->ReferencesHeldOutside());
        }
        EXPECT_EQ(0, word.ReferencesHeldOutside());
        controller.Reset();
        gobjCRMAddIn.Reset();
        outlook.reset();
        UseGuidGenerator(nullptr);
        LinkedAddinTest::TearDown();
    }
    void Start(const wchar_t* version = kOutlook2003, bool wordMail = false) {
        outlook = std::make_unique<Outlook>(version, mailbox);
        if (wordMail) outlook->UseWordMail(&word);
        outlook->StartUp();
        IsOutlook12 = std::wstring(version).rfind(L"12.", 0) == 0;
        controller = com::Make<CRMAddIn>();
        gobjCRMAddIn = controller;
        controller->InitHandler(com::Ptr<IDispatch>(outlook->Application()));
        ASSERT_EQ(4321, LogonID);
    }
    int OpenReceived(const std::wstring& subject = L"Quote") {
        sim::MailFields fields;
        fields.subject = subject;
        fields.sender = {L"Ann Buyer", L"ann@example.com"};
        fields.to = {{L"", L"owner@example.com"}};
        return outlook->OpenItem(mailbox->AddReceivedMail(fields));
    }
    // A new message with a recipient and a subject, as the user writes it.
    int Compose(const std::wstring& subject = L"Offer", const std::wstring& to = L"bob@example.com") {
        int window = outlook->OpenInspector();
        com::LateBound item(com::Ptr<IDispatch>(outlook->CurrentItem(window)));
        item.Put(L"Subject", com::Variant(subject));
        if (!to.empty()) {
            // Outlook resolves an address the user types as the cursor leaves the line.
            com::LateBound recipients(item.Get(L"Recipients"));
            recipients.Call(L"Add", {com::Variant(to)});
            recipients.Call(L"ResolveAll");
        }
        return window;
    }
    // The add-in's controls of a bar, with their 1-based positions.
    static std::vector<std::pair<size_t, ControlInfo>> Ours(const std::vector<ControlInfo>& bar) {
        std::vector<std::pair<size_t, ControlInfo>> ours;
        for (size_t i = 0; i < bar.size(); ++i)
            if (bar[i].tag.rfind(L"CRM.", 0) == 0) ours.emplace_back(i + 1, bar[i]);
        return ours;
    }
    std::vector<std::string> Lines(const std::string& procedure) const {
        std::vector<std::string> own;
        for (const std::string& line : TraceLines())
            if (line.rfind(procedure + ":", 0) == 0) own.push_back(line.substr(procedure.size() + 1));
        return own;
    }
    // Runs `probe` when the window's Close has reached the add-in (the test listens last).
    void AfterClose(int window, std::function<void()> probe) {
        closeProbe.run = std::move(probe);
        closeProbe.events.Set(com::Ptr<IDispatch>(outlook->Inspector(window)));
    }
    long WrapperCount() const { return gcolInspWrap ? gcolInspWrap->Count() : -1; }
    // Whether the helper has no object alive, as COM asks it before unloading it.
    static bool HelperIdle() {
        using CanUnload = HRESULT(WINAPI*)();
        HMODULE module = GetModuleHandleW(RegisteredHelper::DllPath().c_str());
        auto canUnload = reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
        return canUnload && canUnload() == S_OK;
    }

    std::shared_ptr<sim::Mailbox> mailbox = std::make_shared<sim::Mailbox>();
    std::shared_ptr<sim::AgentMailbox> agent =
        std::make_shared<sim::AgentMailbox>(std::vector<std::wstring>{kDefaultLoggingAddress});
    RegisteredHelper helper;
    sim::Word word;
    std::unique_ptr<Outlook> outlook;
    com::Ptr<CRMAddIn> controller;

    struct CloseProbe {
        CloseProbe() { events.On(outlook::kClose, this, &CloseProbe::Closed); }
        void Closed(const com::EventArgs&) {
            if (run) run();
            events.Reset();
        }
        std::function<void()> run;
        com::WithEvents events{outlook::kInspectorEvents, outlook::kInspectorEvents10};
    } closeProbe;
};

// ---- the button of a window ----

struct ButtonCase {
    const char* name;
    bool received;
    bool wordMail;
    const wchar_t* tag;
    size_t position;
    const wchar_t* caption;
    long faceId;
    const wchar_t* tip;
};

class ButtonOfAWindow : public MailWindows, public testing::WithParamInterface<ButtonCase> {};

TEST_P(ButtonOfAWindow, StandsInItsPlaceWithItsPropertiesAndGoesWithTheWindow) {
    const ButtonCase& c = GetParam();
    if (c.wordMail) word.Start();
    Start(kOutlook2003, c.wordMail);
    const long before = outlook->ReferencesHeldOutside();
    const int window = c.received ? OpenReceived() : Compose();
    auto bar = [&] { return c.wordMail ? word.BarControls(L"Standard") : outlook->BarControls(window); };

    ASSERT_EQ(1, WrapperCount());
    const std::wstring key = gcolInspWrap->Item(1)->Key();
    EXPECT_EQ(32u, key.size());
    auto ours = Ours(bar());
    ASSERT_EQ(1u, ours.size());
    const ControlInfo& button = ours[0].second;
    EXPECT_EQ(c.position, ours[0].first);
    EXPECT_EQ(c.tag, button.tag);
    EXPECT_EQ(key, button.parameter);
    EXPECT_EQ(c.caption, button.caption);
    EXPECT_EQ(c.faceId, button.faceId);
    EXPECT_EQ(c.tip, button.tooltip);
    EXPECT_EQ(1, button.type);
    EXPECT_EQ(3, button.style);
    EXPECT_TRUE(button.beginGroup);
    EXPECT_TRUE(button.visible);
    EXPECT_TRUE(button.enabled);
    EXPECT_TRUE(button.temporary);

    // What the bar holds once the wrapper has handled the window's Close.
    std::vector<ControlInfo> atClose;
    AfterClose(window, [&] { atClose = bar(); });
    outlook->CloseInspector(window);
    EXPECT_EQ(0, WrapperCount());
    EXPECT_TRUE(Ours(atClose).empty());
    EXPECT_FALSE(atClose.empty());
    if (c.wordMail) {
        EXPECT_TRUE(word.TemplateSaved());
    }
    // Everything the window's wrapper held has gone with the window; the controller keeps
    // only Word's application.
    EXPECT_EQ(before, outlook->ReferencesHeldOutside());
    // Word's application stays with the controller: the object and its event connection.
    EXPECT_EQ(c.wordMail ? 2 : 0, word.ReferencesHeldOutside()) << word.DescribeHeldOutside();
}

INSTANTIATE_TEST_SUITE_P(
    Windows, ButtonOfAWindow,
    testing::Values(ButtonCase{"Received", true, false, L"CRM.EmailLog", 1, L"Log Message", 2039,
                               L"Log a copy of this message in your Leads database"},
                    ButtonCase{"Composed", false, false, L"CRM.SendAndLog", 3, L"Send && Log", 1677,
                               L"Send this message and log a copy in your Leads database"},
                    ButtonCase{"ComposedInWord", false, true, L"CRM.SendAndLog", 1, L"Send && Log", 1677,
                               L"Send this message and log a copy in your Leads database"}),
    [](const testing::TestParamInfo<ButtonCase>& info) { return std::string(info.param.name); });

// ---- a bar that is hidden, or already holds the button ----

TEST_F(MailWindows, AHiddenStandardBarIsShownWhenAMessageOpens) {
    Start();
    outlook->SetStandardBarHidden(true);
    const int window = OpenReceived();
    EXPECT_TRUE(outlook->BarVisible(window));
    EXPECT_EQ(1u, Ours(outlook->BarControls(window)).size());
}

TEST_F(MailWindows, AButtonAlreadyInTheBarIsTakenOverAndNotAddedAgain) {
    word.Start();
    {
        // Left in Word's bar by an earlier session: hidden, at position 2, with its own caption.
        com::LateBound app(com::Ptr<IDispatch>(word.Application()));
        com::LateBound bar(com::LateBound(app.Get(L"CommandBars")).Call(L"Item", {com::Variant(L"Standard")}));
        com::LateBound old(com::LateBound(bar.Get(L"Controls"))
                               .Call(L"Add", {com::Variant(1L), com::Variant::Missing(), com::Variant::Missing(),
                                              com::Variant(2L), com::Variant::Boolean(true)}));
        old.Put(L"Tag", com::Variant(L"CRM.SendAndLog"));
        old.Put(L"Caption", com::Variant(L"Old"));
        old.Put(L"Parameter", com::Variant(L"stale"));
        old.Put(L"Visible", com::Variant::Boolean(false));
    }
    Start(kOutlook2003, true);
    Compose();
    auto ours = Ours(word.BarControls(L"Standard"));
    ASSERT_EQ(1u, ours.size());
    EXPECT_EQ(2u, ours[0].first);
    EXPECT_EQ(L"Old", ours[0].second.caption);
    EXPECT_TRUE(ours[0].second.visible);
    EXPECT_EQ(gcolInspWrap->Item(1)->Key(), ours[0].second.parameter);
}

// ---- WordMail: one bar for all windows ----

class TwoWordMailWindows : public MailWindows, public testing::WithParamInterface<bool> {};

TEST_P(TwoWordMailWindows, ShareOneButtonThatGoesWithTheLastOfThem) {
    word.Start();
    Start(kOutlook2003, true);
    const int first = Compose(L"First");
    const int second = Compose(L"Second");
    const std::wstring firstKey = gcolInspWrap->Item(1)->Key();
    const std::wstring secondKey = gcolInspWrap->Item(2)->Key();
    auto ours = Ours(word.BarControls(L"Standard"));
    ASSERT_EQ(1u, ours.size());
    EXPECT_EQ(secondKey, ours[0].second.parameter);  // the newest window took it over
    EXPECT_EQ(2, gintWordMailCount);

    const bool firstGoesFirst = GetParam();
    const int remaining = firstGoesFirst ? second : first;
    outlook->CloseInspector(firstGoesFirst ? first : second);  // the other comes to the front
    ours = Ours(word.BarControls(L"Standard"));
    ASSERT_EQ(1u, ours.size());  // still serving the other window, which claims it again
    EXPECT_EQ(firstGoesFirst ? secondKey : firstKey, ours[0].second.parameter);
    EXPECT_FALSE(word.TemplateSaved());
    EXPECT_TRUE(Lines("CRMAddIn::SetWMTemplateState").empty());

    outlook->CloseInspector(remaining);
    EXPECT_TRUE(Ours(word.BarControls(L"Standard")).empty());
    EXPECT_TRUE(word.TemplateSaved());
    EXPECT_EQ(std::vector<std::string>{"clearing template dirty flag"}, Lines("CRMAddIn::SetWMTemplateState"));
    EXPECT_EQ(0, gintWordMailCount);
}

INSTANTIATE_TEST_SUITE_P(BothOrders, TwoWordMailWindows, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "FirstClosedFirst" : "SecondClosedFirst");
                         });

// Send && Log in Word's shared bar acts for the window that claimed the button last: the
// newest one, then the one the user brings to the front.
TEST_F(MailWindows, ASharedButtonActsForTheWindowThatClaimedItLast) {
    word.Start();
    Start(kOutlook2003, true);
    const int first = Compose(L"First");
    const int second = Compose(L"Second");
    outlook->ClickButton(second, L"CRM.SendAndLog");
    ASSERT_EQ(1u, agent->Count());
    EXPECT_EQ("Second", agent->Read(0).Header("Subject"));
    EXPECT_EQ(1, WrapperCount());
    EXPECT_EQ(1u, Ours(word.BarControls(L"Standard")).size());

    outlook->ClickButton(first, L"CRM.SendAndLog");  // the first came to the front
    ASSERT_EQ(2u, agent->Count());
    EXPECT_EQ("First", agent->Read(1).Header("Subject"));
    EXPECT_EQ(0, WrapperCount());
    EXPECT_TRUE(Ours(word.BarControls(L"Standard")).empty());
}

// Word's one Log Message button shows the state of the message in front: spent only for a
// message that has been logged, whichever window enabled or spent it last.
TEST_F(MailWindows, ASharedLogButtonShowsTheStateOfTheMessageInFront) {
    windows.Always(kMessageBoxTitle, WindowScript::ClickButton(IDOK));
    word.Start();
    Start(kOutlook2003, true);
    auto enabled = [&] { return Ours(word.BarControls(L"Standard")).at(0).second.enabled; };
    const int a = OpenReceived(L"A");
    const int b = OpenReceived(L"B");
    outlook->ClickButton(b, L"CRM.EmailLog");
    ASSERT_EQ(1u, agent->Count());
    EXPECT_FALSE(enabled());
    outlook->ActivateInspector(a);  // never logged
    EXPECT_TRUE(enabled());
    outlook->ClickButton(a, L"CRM.EmailLog");
    ASSERT_EQ(2u, agent->Count());
    EXPECT_EQ("A", agent->Read(1).Header("Subject"));
    OpenReceived(L"C");  // enables the button for its own message
    EXPECT_TRUE(enabled());
    outlook->ActivateInspector(b);  // logged already: spent, and a click does nothing
    EXPECT_FALSE(enabled());
    outlook->ClickButton(b, L"CRM.EmailLog");
    EXPECT_EQ(2u, agent->Count());
}

// The last WordMail window takes every button of ours out of Word's bar, also the kind made
// for another window, and leaves Word's template saved, however the windows end: the last
// wrapper's close, the close that ends the session, or the add-in unticked in the COM add-ins
// list with both windows open. A template Word still holds as saved is left alone.
enum class WordMailEnd { LastWrapperCloses, LastWindowEndsSession, AddinUnticked };
struct WordMailEndCase {
    const char* name;
    WordMailEnd end;
    bool composedClosesFirst;
    bool deletesFail;  // Word refuses the deletes: its template stays as the user saved it
};
class LastWordMailWindow : public MailWindows, public testing::WithParamInterface<WordMailEndCase> {};

TEST_P(LastWordMailWindow, LeavesWordsBarWithoutOurButtonsAndItsTemplateSaved) {
    const WordMailEndCase& c = GetParam();
    word.Start();
    com::Ptr<Connect> connect;
    if (c.end == WordMailEnd::AddinUnticked) {
        SetSetting("ErrorLogLevel", 12);
        outlook = std::make_unique<Outlook>(kOutlook2003, mailbox);
        outlook->UseWordMail(&word);
        outlook->StartUp();
        connect = com::Make<Connect>();
        ASSERT_EQ(S_OK, connect->OnConnection(outlook->Application(), ext_cm_Startup, nullptr, nullptr));
        ASSERT_TRUE(gobjCRMAddIn && gobjCRMAddIn->Initialized());
    } else {
        Start(kOutlook2003, true);
    }
    const int received = OpenReceived(L"A");
    const int composed = Compose(L"B");
    ASSERT_EQ(2u, Ours(word.BarControls(L"Standard")).size());
    const int first = c.composedClosesFirst ? composed : received;
    const int last = c.composedClosesFirst ? received : composed;  // the composed one is watched
    if (c.end == WordMailEnd::LastWindowEndsSession) outlook->CloseExplorer(outlook->MainExplorer());
    if (c.end != WordMailEnd::AddinUnticked) outlook->CloseInspector(first);
    word.SetTemplateSaved(true);  // the user saved Normal.dot meanwhile
    if (c.deletesFail) word.FailMember(L"CommandBarButton", L"Delete", E_FAIL, L"Word is busy.");
    if (c.end == WordMailEnd::AddinUnticked) {
        connect->OnDisconnection(ext_dm_UserClosed, nullptr);
        EXPECT_FALSE(gobjCRMAddIn);
    } else {
        outlook->CloseInspector(last);
        EXPECT_EQ(c.end == WordMailEnd::LastWindowEndsSession, !controller->Initialized());
    }
    word.ClearFaults();
    EXPECT_EQ(c.deletesFail ? 2u : 0u, Ours(word.BarControls(L"Standard")).size());
    EXPECT_TRUE(word.TemplateSaved());
    EXPECT_EQ(c.deletesFail ? std::vector<std::string>{} : std::vector<std::string>{"clearing template dirty flag"},
              Lines("CRMAddIn::SetWMTemplateState"));
    if (connect) {
        outlook->ShutDown();
        connect.Reset();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ends, LastWordMailWindow,
    testing::Values(WordMailEndCase{"ReceivedClosesLast", WordMailEnd::LastWrapperCloses, true, false},
                    WordMailEndCase{"ComposedClosesLast", WordMailEnd::LastWrapperCloses, false, false},
                    WordMailEndCase{"EndsTheSession", WordMailEnd::LastWindowEndsSession, false, false},
                    WordMailEndCase{"EndsTheSessionDeletesRefused", WordMailEnd::LastWindowEndsSession, false, true},
                    WordMailEndCase{"AddinUnticked", WordMailEnd::AddinUnticked, false, false}),
    [](const testing::TestParamInfo<WordMailEndCase>& info) { return std::string(info.param.name); });

// ---- a click reaches every button with the tag; the key decides ----

struct ClickCase {
    const char* name;
    int parameter;  // 0: the window's key, 1: the key in lower case, 2: empty
    bool forwardFails;
    const char* message;  // nullptr: none
    LPCSTR icon;
    size_t delivered;
    bool enabledAfter;
};

class ClickOnLogMessage : public MailWindows, public testing::WithParamInterface<ClickCase> {};

TEST_P(ClickOnLogMessage, ActsOnlyForTheWindowWhoseKeyTheButtonCarries) {
    const ClickCase& c = GetParam();
    Start();
    if (c.forwardFails) outlook->FailMember(L"MailItem", L"Forward", E_FAIL, L"Cannot forward.");
    const int other = OpenReceived(L"Other");
    const int window = OpenReceived(L"Quote");
    const std::wstring key = gcolInspWrap->Item(2)->Key();
    std::wstring parameter = key;
    if (c.parameter == 1)
        for (wchar_t& ch : parameter) ch = static_cast<wchar_t>(towlower(ch));
    if (c.parameter == 2) parameter.clear();
    com::LateBound(gcolInspWrap->Item(2)->Button(ItemCommand::LogMessage)).Put(L"Parameter", com::Variant(parameter));
    if (c.message) windows.Expect(kMessageBoxTitle);

    outlook->ClickButton(window, L"CRM.EmailLog");
    if (c.message) {
        ASSERT_EQ(1u, windows.Seen().size());
        EXPECT_EQ(c.message, windows.Seen()[0].text);
        EXPECT_EQ(c.icon, windows.Seen()[0].icon);
    } else {
        EXPECT_TRUE(windows.Seen().empty());
    }
    EXPECT_EQ(c.delivered, agent->Count());
    if (c.delivered) {
        EXPECT_EQ("Quote", agent->Read(0).Header("Subject"));
    }
    EXPECT_EQ(c.enabledAfter, Ours(outlook->BarControls(window))[0].second.enabled);
    // The other window's button heard the click too, and stays as it was.
    EXPECT_TRUE(Ours(outlook->BarControls(other))[0].second.enabled);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ClickOnLogMessage,
    testing::Values(ClickCase{"OwnKeyLogs", 0, false, "A copy of this message has been forwarded for logging",
                              IDI_ASTERISK, 1, false},
                    ClickCase{"OwnKeyFailingForward", 0, true,
                              "There was an error while attempting to log this message", IDI_EXCLAMATION, 0, true},
                    ClickCase{"KeyInOtherCase", 1, false, nullptr, nullptr, 0, true},
                    ClickCase{"NoKey", 2, false, nullptr, nullptr, 0, true}),
    [](const testing::TestParamInfo<ClickCase>& info) { return std::string(info.param.name); });

// ---- which windows are wrapped and watched, and the end of the session ----

struct ClassCase {
    const char* name;
    const wchar_t* messageClass;
    bool watched;
};

class ItemOfAnotherClass : public MailWindows, public testing::WithParamInterface<ClassCase> {};

TEST_P(ItemOfAnotherClass, GetsNoWrapperAndIsWatchedOnlyForTheClassesOutlookShows) {
    const ClassCase& c = GetParam();
    Start();
    sim::MailFields fields;
    fields.subject = L"Item";
    fields.properties[sim::tags::kMessageClass] = com::Variant(c.messageClass);
    const int window = outlook->OpenItem(mailbox->AddReceivedMail(fields));
    EXPECT_EQ(0, WrapperCount());
    EXPECT_TRUE(Ours(outlook->BarControls(window)).empty());
    // Watched: closing it after the main window ends the session.
    outlook->CloseExplorer(outlook->MainExplorer());
    outlook->CloseInspector(window);
    EXPECT_EQ(!c.watched, controller->Initialized());
}

INSTANTIATE_TEST_SUITE_P(Classes, ItemOfAnotherClass,
                         testing::Values(ClassCase{"Post", L"IPM.Post", true},
                                         ClassCase{"Appointment", L"IPM.Appointment", true},
                                         ClassCase{"Contact", L"IPM.Contact", true},
                                         ClassCase{"Task", L"IPM.Task", true},
                                         ClassCase{"Journal", L"IPM.Activity", true},
                                         ClassCase{"Report", L"REPORT.IPM.Note.NDR", false}),
                         [](const testing::TestParamInfo<ClassCase>& info) { return std::string(info.param.name); });

struct EndCase {
    const char* name;
    int windows;
    const char* closes;  // E: the main window, A: the first item window, B: the second
    std::vector<bool> runningAfter;
};

class LastWindow : public MailWindows, public testing::WithParamInterface<EndCase> {};

TEST_P(LastWindow, EndsTheSessionWhicheverGoesLast) {
    const EndCase& c = GetParam();
    Start();
    const int a = OpenReceived(L"A");
    const int b = c.windows > 1 ? Compose(L"B") : 0;
    for (size_t i = 0; c.closes[i]; ++i) {
        const char step = c.closes[i];
        if (step == 'E') outlook->CloseExplorer(outlook->MainExplorer());
        if (step == 'A') outlook->CloseInspector(a);
        if (step == 'B') outlook->CloseInspector(b);
        EXPECT_EQ(c.runningAfter[i], controller->Initialized()) << "after " << step;
    }
    // Ended, or still running without a window; once ended, the helper has no object of ours.
    EXPECT_EQ(c.runningAfter.back() ? 0 : -1, WrapperCount());
    EXPECT_EQ(!c.runningAfter.back(), HelperIdle());
}

INSTANTIATE_TEST_SUITE_P(Orders, LastWindow,
                         testing::Values(EndCase{"MainWindowFirst", 1, "EA", {true, false}},
                                         EndCase{"ItemWindowFirst", 1, "AE", {true, false}},
                                         // Only the newest item window (B) is watched: A's close stops nothing.
                                         EndCase{"EarlierItemWindowLast", 2, "EBA", {true, true, true}},
                                         EndCase{"WatchedItemWindowLast", 2, "EAB", {true, true, false}}),
                         [](const testing::TestParamInfo<EndCase>& info) { return std::string(info.param.name); });

TEST_F(MailWindows, Outlook2007GetsNoWrappersButItsWindowsAreWatched) {
    word.Start();
    Start(L"12.0.6423.1000", true);
    const int received = OpenReceived();
    const int composed = Compose();
    EXPECT_EQ(0, WrapperCount());
    EXPECT_TRUE(Ours(outlook->BarControls(received)).empty());
    EXPECT_TRUE(Ours(word.BarControls(L"Standard")).empty());
    EXPECT_EQ(0, word.ReferencesHeldOutside());  // Word is never attached
    outlook->CloseInspector(received);
    outlook->CloseExplorer(outlook->MainExplorer());
    outlook->CloseInspector(composed);
    EXPECT_FALSE(controller->Initialized());
}

// ---- keys ----

int gGuidCalls = 0;
HRESULT WINAPI RepeatsOnce(GUID* guid) {
    // The first two calls give the same identifier, the third another one.
    *guid = GUID{0x1A2B3C4D, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, static_cast<BYTE>(gGuidCalls >= 2)}};
    ++gGuidCalls;
    return S_OK;
}

TEST_F(MailWindows, AKeyThatIsTakenAlreadyIsReplacedByOneMoreIdentifier) {
    Start();
    UseGuidGenerator(&RepeatsOnce);
    OpenReceived(L"A");
    OpenReceived(L"B");
    EXPECT_EQ(3, gGuidCalls);
    ASSERT_EQ(2, WrapperCount());
    EXPECT_EQ(L"1A2B3C4D05060708090A0B0C0D0E0F00", gcolInspWrap->Item(1)->Key());
    EXPECT_EQ(L"1A2B3C4D05060708090A0B0C0D0E0F01", gcolInspWrap->Item(2)->Key());
}

TEST_F(MailWindows, KillInspRemovesOnlyTheWrapperStoredUnderItsKey) {
    Start();
    OpenReceived(L"A");
    const int b = OpenReceived(L"B");
    com::Ptr<InspWrap> first = gcolInspWrap->Item(1);
    com::Ptr<InspWrap> second = gcolInspWrap->Item(2);
    KillInsp(first->Key(), second.Get());           // another wrapper under that key
    KillInsp(L"00000000000000000000000000000000", first.Get());  // no wrapper under it
    EXPECT_EQ(2, WrapperCount());
    EXPECT_EQ((std::vector<std::string>{"", " unexpected Error in KillInsp", "", " unexpected Error in KillInsp"}),
              Lines("modInspWrap::KillInsp"));

    // Without a ribbon the invalidation fails after the removal, and says so.
    outlook->CloseInspector(b);
    EXPECT_EQ(1, WrapperCount());
    EXPECT_EQ(" gcolInspWrap.Remove strID=" + std::string(second->Key().begin(), second->Key().end()) +
                  " err=-2147467261 desc=Object variable not set",
              Lines("modInspWrap::KillInsp").back());
}

TEST_F(MailWindows, AClosingWindowHasTheRibbonAskForBothButtonsAgain) {
    Start();
    auto ribbon = com::Make<FakeDispatch>();
    ribbon->Member(L"InvalidateControl", 2);
    gobjRibbon = com::Ptr<IDispatch>(ribbon.Get());
    outlook->CloseInspector(OpenReceived());
    ASSERT_EQ(2u, ribbon->Calls().size());
    EXPECT_EQ(L"QuorvaneSendAndLog", ribbon->Calls()[0].args.at(0).ToText());
    EXPECT_EQ(L"QuorvaneLogMessage", ribbon->Calls()[1].args.at(0).ToText());
    EXPECT_EQ("success", Lines("modInspWrap::KillInsp").back());
    gobjRibbon.Reset();
}

// ---- what a window holds, and when it lets go ----

TEST_F(MailWindows, AnItemClosedBeforeItsWindowIsLetGoAloneAndTheRestAtTheWindowsClose) {
    Start();
    const long before = outlook->ReferencesHeldOutside();
    const int window = OpenReceived();
    com::Ptr<InspWrap> wrapper = gcolInspWrap->Item(1);
    // Another add-in keeps the window open by cancelling the item's Close.
    struct Canceller {
        void Close(const com::EventArgs& args) { args.SetBool(0, true); }
        com::WithEvents events{outlook::kItemEvents, outlook::kItemEvents10};
    } canceller;
    canceller.events.On(outlook::kItemClose, &canceller, &Canceller::Close);
    canceller.events.Set(com::Ptr<IDispatch>(outlook->CurrentItem(window)));
    outlook->CloseInspector(window);
    EXPECT_FALSE(wrapper->Mail());
    EXPECT_TRUE(wrapper->Inspector());
    EXPECT_EQ(1, WrapperCount());
    EXPECT_EQ(1u, Ours(outlook->BarControls(window)).size());

    canceller.events.Reset();
    outlook->CloseInspector(window);
    EXPECT_EQ(0, WrapperCount());
    EXPECT_FALSE(wrapper->Inspector());
    EXPECT_FALSE(wrapper->Button(ItemCommand::LogMessage));
    wrapper.Reset();
    EXPECT_EQ(before, outlook->ReferencesHeldOutside());
}

TEST_F(MailWindows, ASessionEndingWithWindowsOpenTakesTheirButtonsAway) {
    Start();
    const long before = outlook->ReferencesHeldOutside();
    const int received = OpenReceived();
    const int composed = Compose();
    EXPECT_GT(outlook->ReferencesHeldOutside(), before);
    controller->UnInitHandler();
    EXPECT_TRUE(Ours(outlook->BarControls(received)).empty());
    EXPECT_TRUE(Ours(outlook->BarControls(composed)).empty());
    // The wrappers and the controller let go of everything of Outlook's.
    EXPECT_EQ(0, outlook->ReferencesHeldOutside());
}

// ---- Word ----

TEST_F(MailWindows, WithWordNotRunningNothingIsAttachedAndTheNextWindowTriesAgain) {
    Start(kOutlook2003, true);  // Word is the editor, but not running
    const int first = Compose(L"First");
    auto own = Ours(outlook->BarControls(first));  // the window's own bar, Word's place
    ASSERT_EQ(1u, own.size());
    EXPECT_EQ(1u, own[0].first);
    word.Start();
    word.OpenDocument(L"Letter.doc", false);
    EXPECT_TRUE(Lines("CRMAddIn::mappWd_WindowActivate").empty());  // not listening yet
    Compose(L"Second");
    EXPECT_EQ(1u, Ours(word.BarControls(L"Standard")).size());
    word.OpenDocument(L"Notes.doc", false);
    EXPECT_EQ((std::vector<std::string>{"unable to access CurrentEmailAuthor for Notes.doc",
                                        "hiding SendAndLog button for Notes.doc"}),
              Lines("CRMAddIn::mappWd_WindowActivate"));
}

// A received message read in Word has no current author (Word answers it only for a message
// being written): it is an e-mail all the same, and keeps its Log Message button.
TEST_F(MailWindows, AReceivedMessageReadInWordKeepsItsButton) {
    word.Start();
    Start(kOutlook2003, true);
    OpenReceived(L"Quote");
    Compose(L"Reply");
    auto ours = Ours(word.BarControls(L"Standard"));
    ASSERT_EQ(2u, ours.size());
    EXPECT_TRUE(ours[0].second.visible && ours[1].second.visible);
    EXPECT_TRUE(Lines("CRMAddIn::mappWd_WindowActivate").empty());
    word.OpenDocument(L"Notes.doc", false);  // a plain document still hides one
    EXPECT_EQ(2u, Lines("CRMAddIn::mappWd_WindowActivate").size());
}

// A Word that quits, or whose process ends, answers nothing any more: the next WordMail window
// follows the Word the user started since.
class WordStartedAgain : public MailWindows, public testing::WithParamInterface<bool> {};

TEST_P(WordStartedAgain, IsFollowedFromTheNextWordMailWindowOn) {
    word.Start();
    Start(kOutlook2003, true);
    outlook->CloseInspector(Compose(L"First"));
    if (GetParam())
        word.Quit();
    else
        word.EndProcess();
    sim::Word again;
    again.Start();
    outlook->UseWordMail(&again);
    const int window = Compose(L"Second");
    EXPECT_EQ(1u, Ours(again.BarControls(L"Standard")).size());
    again.OpenDocument(L"Notes.doc", false);
    EXPECT_EQ((std::vector<std::string>{"unable to access CurrentEmailAuthor for Notes.doc",
                                        "hiding SendAndLog button for Notes.doc"}),
              Lines("CRMAddIn::mappWd_WindowActivate"));
    outlook->CloseInspector(window);
    EXPECT_TRUE(again.TemplateSaved());
    EXPECT_EQ(0, word.ReferencesHeldOutside()) << word.DescribeHeldOutside();
    controller->UnInitHandler();
    EXPECT_EQ(0, again.ReferencesHeldOutside()) << again.DescribeHeldOutside();
}

INSTANTIATE_TEST_SUITE_P(Ends, WordStartedAgain, testing::Bool(), [](const testing::TestParamInfo<bool>& info) {
    return std::string(info.param ? "Quits" : "ProcessEnds");
});

// From Outlook 2007 on, Word inside Outlook edits every mail window, which answers IsWordMail
// True yet shows bars of its own: a Word the user runs beside Outlook is never touched.
TEST_F(MailWindows, Outlook2010LeavesTheUsersOwnWordAlone) {
    word.Start();
    word.SetTemplateSaved(false);  // the user's own changes, not saved yet
    Start(L"14.0.7015.1000", true);
    const int received = OpenReceived();
    const int composed = Compose();
    EXPECT_TRUE(com::LateBound(com::Ptr<IDispatch>(outlook->Inspector(received))).Call(L"IsWordMail").ToBool());
    EXPECT_EQ(2, WrapperCount());
    EXPECT_EQ(1u, Ours(outlook->BarControls(received)).size());
    EXPECT_EQ(1u, Ours(outlook->BarControls(composed)).size());
    word.OpenDocument(L"Letter.doc", false);
    outlook->CloseInspector(received);
    outlook->CloseInspector(composed);
    EXPECT_TRUE(Ours(word.BarControls(L"Standard")).empty());
    EXPECT_EQ(0, word.ReferencesHeldOutside());
    EXPECT_TRUE(Lines("CRMAddIn::mappWd_WindowActivate").empty());
    EXPECT_TRUE(Lines("CRMAddIn::SetWMTemplateState").empty());
    EXPECT_FALSE(word.TemplateSaved());
}

// The first WordMail window attaches Word and lets Outlook process its messages once: what the
// user does meanwhile arrives inside that yield, before the window is wrapped.
enum class DuringYield { WindowCloses, LastWindowCloses, AnotherOpens };
struct YieldCase {
    const char* name;
    DuringYield what;
    long wrappersAfter;  // -1: the session has ended
    size_t buttonsAfter;
};
class WhileWordIsAttached : public MailWindows, public testing::WithParamInterface<YieldCase> {};

TEST_P(WhileWordIsAttached, TheWindowsEndUpWrappedAsTheyAre) {
    const YieldCase& c = GetParam();
    word.Start();
    Start(kOutlook2003, true);
    int post = 0;  // a window that is no WordMail one keeps the session up without the explorer
    if (c.what == DuringYield::LastWindowCloses) {
        sim::MailFields fields;
        fields.properties[sim::tags::kMessageClass] = com::Variant(L"IPM.Post");
        post = outlook->OpenItem(mailbox->AddReceivedMail(fields));
        outlook->CloseExplorer(outlook->MainExplorer());
    }
    long wrappersThen = -2;
    outlook->Queue([&] {
        wrappersThen = WrapperCount();
        if (c.what == DuringYield::AnotherOpens) {
            OpenReceived(L"Other");
            return;
        }
        if (post) outlook->CloseInspector(post);
        com::LateBound inspectors(com::LateBound(com::Ptr<IDispatch>(outlook->Application())).Get(L"Inspectors"));
        const long newest = inspectors.Get(L"Count").ToLong();
        com::LateBound(inspectors.Call(L"Item", {com::Variant(newest)})).Call(L"Close", {com::Variant(1L)});
    });
    outlook->OpenInspector();
    EXPECT_EQ(0, wrappersThen);  // the queued action ran inside the yield
    EXPECT_EQ(c.wrappersAfter, WrapperCount());
    EXPECT_EQ(c.wrappersAfter >= 0, controller->Initialized());
    EXPECT_EQ(c.buttonsAfter, Ours(word.BarControls(L"Standard")).size());
    EXPECT_EQ(c.wrappersAfter > 0 ? c.wrappersAfter : 0, gintWordMailCount);
    for (const std::wstring& entry : outlook->Log()) EXPECT_NE(L"Queued action failed", entry);
    outlook->ShutDown();
    EXPECT_TRUE(Ours(word.BarControls(L"Standard")).empty());
    EXPECT_TRUE(word.TemplateSaved());
}

INSTANTIATE_TEST_SUITE_P(Actions, WhileWordIsAttached,
                         testing::Values(YieldCase{"WindowCloses", DuringYield::WindowCloses, 0, 0},
                                         YieldCase{"LastWindowCloses", DuringYield::LastWindowCloses, -1, 0},
                                         YieldCase{"AnotherOpens", DuringYield::AnotherOpens, 2, 2}),
                         [](const testing::TestParamInfo<YieldCase>& info) { return std::string(info.param.name); });

struct ActivateCase {
    const char* name;
    bool email;
    bool received;  // the open WordMail window shows a received message (Log Message)
    bool composed;  // ... and one being written (Send && Log)
    const char* hidden;  // which button is hidden: "Log", "SendAndLog" or none
};

class WordWindowActivated : public MailWindows, public testing::WithParamInterface<ActivateCase> {};

TEST_P(WordWindowActivated, HidesOneButtonInDocumentsThatAreNoEmail) {
    const ActivateCase& c = GetParam();
    word.Start();
    Start(kOutlook2003, true);
    if (c.received) OpenReceived();
    if (c.composed) Compose();
    word.SetTemplateSaved(false);
    word.OpenDocument(L"Report.doc", c.email);
    std::vector<std::string> expected;
    if (c.hidden) {
        expected = {"unable to access CurrentEmailAuthor for Report.doc",
                    std::string("hiding ") + c.hidden + " button for Report.doc"};
    }
    EXPECT_EQ(expected, Lines("CRMAddIn::mappWd_WindowActivate"));
    for (const auto& [position, control] : Ours(word.BarControls(L"Standard"))) {
        const bool hidden = c.hidden && control.tag == (std::string(c.hidden) == "Log" ? Definition(ItemCommand::LogMessage).tag
                                                                                         : Definition(ItemCommand::SendAndLog).tag);
        EXPECT_EQ(!hidden, control.visible) << position;
    }
    EXPECT_EQ(c.hidden != nullptr, word.TemplateSaved());
}

INSTANTIATE_TEST_SUITE_P(Documents, WordWindowActivated,
                         testing::Values(ActivateCase{"Email", true, true, true, nullptr},
                                         ActivateCase{"LogButtonFirst", false, true, true, "Log"},
                                         ActivateCase{"OnlySendAndLog", false, false, true, "SendAndLog"}),
                         [](const testing::TestParamInfo<ActivateCase>& info) { return std::string(info.param.name); });

// ---- failing bars ----

struct BarFault {
    const char* name;
    const wchar_t* kind;
    const wchar_t* member;
    bool buttonAnyway;
};

class FailingBar : public MailWindows, public testing::WithParamInterface<BarFault> {};

TEST_P(FailingBar, LeavesTheWindowWithoutAButtonAndTheNextWindowTriesAgain) {
    const BarFault& c = GetParam();
    Start();
    outlook->FailMember(c.kind, c.member, E_FAIL, L"The bar is busy.");
    const long before = outlook->ReferencesHeldOutside();
    const int window = OpenReceived(L"A");
    EXPECT_EQ(c.buttonAnyway ? 1u : 0u, Ours(outlook->BarControls(window)).size());
    EXPECT_EQ(1, WrapperCount());
    outlook->ClearFaults();
    const int next = OpenReceived(L"B");
    EXPECT_EQ(1u, Ours(outlook->BarControls(next)).size());
    outlook->CloseInspector(window);
    outlook->CloseInspector(next);
    EXPECT_EQ(before, outlook->ReferencesHeldOutside());
}

INSTANTIATE_TEST_SUITE_P(
    Members, FailingBar,
    testing::Values(BarFault{"CommandBarsItem", L"CommandBars", L"Item", false},
                    BarFault{"BarVisible", L"CommandBar", L"Visible", true},
                    BarFault{"FindControl", L"CommandBar", L"FindControl", true},
                    BarFault{"ControlsAdd", L"CommandBarControls", L"Add", false},
                    BarFault{"ButtonCaption", L"CommandBarButton", L"Caption", true},
                    BarFault{"GetInspector", L"MailItem", L"GetInspector", false}),
    [](const testing::TestParamInfo<BarFault>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vantrell::test
