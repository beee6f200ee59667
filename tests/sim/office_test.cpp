// Office's command bars in the simulated Outlook's inspectors and in the simulated Word, as an
// add-in meets them by name: Add positions, FindControl, one object per control, Delete, clicks
// heard by every button of a tag, fault injection, references; Word found as the running
// Word.Application, its WindowActivate, e-mail documents, the Normal template, and WordMail.
#include <gtest/gtest.h>

#include <algorithm>

#include <olectl.h>

#include <functional>
#include <memory>

#include "platform/events.h"
#include "platform/late_bound.h"
#include "sim/outlook/outlook.h"
#include "tests/sim/raw_invoke.h"
#include "sim/word/word.h"

namespace vantrell::sim {
namespace {

using com::LateBound;
using com::Ptr;
using com::Variant;
using test::Invoke;
using test::kGet;
using test::kMethod;
using test::Raw;
using Log = std::vector<std::wstring>;

constexpr WORD kPut = DISPATCH_PROPERTYPUT;
const IID kButtonEvents = {0x000C0351, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kWordEvents2 = {0x000209FE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kWordEvents3 = {0x00020A00, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kWordEvents4 = {0x00020A01, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kInspectorEvents = {0x0006307D, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const CLSID kWordClass = {0x000209FF, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

LateBound StandardBar(IDispatch* window) {
    return LateBound(LateBound(LateBound(Ptr<IDispatch>(window)).Get(L"CommandBars")).Call(L"Item", {L"Standard"}));
}

// Controls.Add(msoControlButton, , , Before) with a tag.
Ptr<IDispatch> AddButton(IDispatch* window, const std::wstring& tag, Variant before = Variant::Missing()) {
    LateBound controls(StandardBar(window).Get(L"Controls"));
    LateBound button(controls.Call(L"Add", {1, Variant::Missing(), L"param", before, Variant::Boolean(true)}));
    button.Put(L"Tag", tag);
    return button.Pointer();
}

// Records every Click a button hears; may set CancelDefault.
struct ClickRecorder {
    ClickRecorder(Log& heard, std::wstring name, Ptr<IDispatch> button, bool cancel = false)
        : field(kButtonEvents), heard(heard), name(std::move(name)), cancel(cancel) {
        field.On(1, this, &ClickRecorder::OnClick);
        EXPECT_EQ(S_OK, field.Set(std::move(button)));
    }
    void OnClick(const com::EventArgs& args) {
        ctrl = args.Object(0);
        const VARIANT* flag = args.At(1);
        ASSERT_EQ(VT_BOOL | VT_BYREF, V_VT(flag));
        heard.push_back(name + (*V_BOOLREF(flag) ? L" cancelled" : L""));
        if (cancel) args.SetBool(1, true);
    }
    com::WithEvents field;
    Log& heard;
    std::wstring name;
    bool cancel;
    Ptr<IDispatch> ctrl;
};

std::vector<std::wstring> Tags(const std::vector<ControlInfo>& controls) {
    std::vector<std::wstring> tags;
    for (const ControlInfo& c : controls) tags.push_back(c.tag.empty() ? L"#" + std::to_wstring(c.id) : c.tag);
    return tags;
}

class CommandBars : public testing::Test {
protected:
    void SetUp() override { outlook.StartUp(Start::WithExplorer); }
    Outlook outlook;
};

// ---- the bars of an inspector ----

TEST_F(CommandBars, AddInsertsAtEveryPositionFromOneToCountPlusOneAndRefusesTheEdgesBeyond) {
    struct Case {
        Variant before;
        bool added;
        std::vector<std::wstring> expected;
    };
    const std::vector<Case> cases = {
        {1, true, {L"new", L"#2617", L"#354", L"#355", L"#356"}},
        {5, true, {L"#2617", L"#354", L"#355", L"#356", L"new"}},
        {Variant::Missing(), true, {L"#2617", L"#354", L"#355", L"#356", L"new"}},
        {0, false, {L"#2617", L"#354", L"#355", L"#356"}},
        {6, false, {L"#2617", L"#354", L"#355", L"#356"}},
    };
    for (const Case& c : cases) {
        int inspector = outlook.OpenInspector();
        Ptr<IDispatch> controls = StandardBar(outlook.Inspector(inspector)).Get(L"Controls").ToDispatch();
        Raw added = Invoke(controls.Get(), L"Add", kMethod, {1, Variant::Missing(), 7, c.before, Variant::Boolean(true)});
        if (c.added) {
            ASSERT_EQ(S_OK, added.hr);
            LateBound(added.result).Put(L"Tag", L"new");
        } else {
            EXPECT_EQ(DISP_E_EXCEPTION, added.hr);
            EXPECT_EQ(E_INVALIDARG, added.scode);
        }
        const auto bar = outlook.BarControls(inspector);
        EXPECT_EQ(c.expected, Tags(bar)) << c.before.ToText();
        for (const ControlInfo& control : bar) {
            if (control.tag != L"new") continue;
            EXPECT_EQ(1, control.type);
            EXPECT_EQ(1, control.id);
            EXPECT_EQ(L"7", control.parameter);
            EXPECT_TRUE(control.temporary);
        }
    }
}

TEST_F(CommandBars, FindControlAndItemAnswerTheOneObjectOfAControl) {
    int inspector = outlook.OpenInspector();
    Ptr<IDispatch> button = AddButton(outlook.Inspector(inspector), L"T");
    LateBound bar = StandardBar(outlook.Inspector(inspector));
    const Variant missing = Variant::Missing();
    EXPECT_EQ(button.Get(), bar.Call(L"FindControl", {missing, missing, L"T"}).ToDispatch().Get());
    EXPECT_EQ(button.Get(), bar.Call(L"FindControl", {missing, missing, L"T", missing, Variant::Boolean(true)})
                                .ToDispatch().Get());
    EXPECT_EQ(button.Get(), LateBound(bar.Get(L"Controls")).Call(L"Item", {5}).ToDispatch().Get());
    EXPECT_FALSE(bar.Call(L"FindControl", {missing, missing, L"t"}).IsObject());
    EXPECT_TRUE(LateBound(Ptr<IDispatch>(button)).Put(L"Visible", Variant::Boolean(false)));
    EXPECT_FALSE(bar.Call(L"FindControl", {missing, missing, L"T", Variant::Boolean(true)}).IsObject());
    EXPECT_EQ(button.Get(), bar.Call(L"FindControl", {1, 1, L"T", Variant::Boolean(false)}).ToDispatch().Get());
    // Each argument is checked against its type.
    Raw wrongType = Invoke(bar.Get(), L"FindControl", kMethod, {L"button", missing, L"T"});
    EXPECT_EQ(DISP_E_TYPEMISMATCH, wrongType.hr);
    EXPECT_EQ(2u, wrongType.argError);
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Invoke(bar.Get(), L"FindControl", kMethod, {1, 1, L"T", 0, 0, 0}).hr);
}

TEST_F(CommandBars, ADeletedControlLeavesItsBarAndEveryMemberFailsAfterwards) {
    int inspector = outlook.OpenInspector();
    Ptr<IDispatch> button = AddButton(outlook.Inspector(inspector), L"T");
    ASSERT_EQ(S_OK, Invoke(button.Get(), L"Delete", kMethod).hr);
    EXPECT_EQ((Log{L"#2617", L"#354", L"#355", L"#356"}), Tags(outlook.BarControls(inspector)));
    struct Call {
        const wchar_t* name;
        WORD flags;
        std::vector<Variant> args;
    };
    for (const Call& call : {Call{L"Tag", kGet, {}}, Call{L"Caption", kPut, {L"x"}}, Call{L"Parent", kGet, {}},
                             Call{L"Delete", kMethod, {}}}) {
        Raw raw = Invoke(button.Get(), call.name, call.flags, call.args);
        EXPECT_EQ(DISP_E_EXCEPTION, raw.hr) << call.name;
        EXPECT_EQ(E_FAIL, raw.scode) << call.name;
        EXPECT_EQ(L"The object has been deleted.", raw.description) << call.name;
    }
    // The bars of a closed inspector go with it.
    Ptr<IDispatch> other = AddButton(outlook.Inspector(inspector), L"U");
    outlook.CloseInspector(inspector);
    EXPECT_EQ(E_FAIL, Invoke(other.Get(), L"Tag", kGet).scode);
}

TEST_F(CommandBars, AClickIsHeardByEveryButtonOfItsTagInEveryInspectorWithTheClickedOneAsCtrl) {
    int first = outlook.OpenInspector();
    int second = outlook.OpenInspector();
    Log heard;
    ClickRecorder a(heard, L"A", AddButton(outlook.Inspector(first), L"T"), true);
    ClickRecorder b(heard, L"B", AddButton(outlook.Inspector(second), L"T"));
    ClickRecorder other(heard, L"other", AddButton(outlook.Inspector(second), L"U"));
    outlook.ClickButton(second, L"T");
    // One CancelDefault for all: the second hears what the first set.
    EXPECT_EQ((Log{L"A", L"B cancelled"}), heard);
    EXPECT_EQ(b.field.Object().Get(), a.ctrl.Get());
    EXPECT_EQ(b.field.Object().Get(), b.ctrl.Get());
    EXPECT_EQ(L"Click T", outlook.Log().back());
}

TEST_F(CommandBars, AHiddenDisabledOrDeletedButtonOrOneOnAHiddenBarCannotBeClicked) {
    const std::vector<std::pair<const wchar_t*, Variant>> cases = {
        {L"Visible", Variant::Boolean(false)}, {L"Enabled", Variant::Boolean(false)}, {L"Delete", Variant()}, {L"bar", Variant()}};
    for (const auto& [change, value] : cases) {
        if (std::wstring(change) == L"bar") outlook.SetStandardBarHidden(true);
        int inspector = outlook.OpenInspector();
        Log heard;
        ClickRecorder recorder(heard, L"A", AddButton(outlook.Inspector(inspector), L"T"));
        if (std::wstring(change) == L"Delete")
            Invoke(recorder.field.Object().Get(), L"Delete", kMethod);
        else if (std::wstring(change) != L"bar")
            LateBound(recorder.field.Object()).Put(change, value);
        EXPECT_EQ(std::wstring(change) != L"bar", outlook.BarVisible(inspector)) << change;
        outlook.ClickButton(inspector, L"T");
        EXPECT_TRUE(heard.empty()) << change;
        EXPECT_EQ(L"Click ignored T", outlook.Log().back()) << change;
    }
}

TEST_F(CommandBars, AButtonATestHoldsCountsOnceUntilItsRelease) {
    int inspector = outlook.OpenInspector();
    LateBound controls(StandardBar(outlook.Inspector(inspector)).Get(L"Controls"));
    const long before = outlook.ReferencesHeldOutside();
    Ptr<IDispatch> button = controls.Call(L"Add").ToDispatch();
    EXPECT_EQ(before + 1, outlook.ReferencesHeldOutside());
    button.Reset();
    EXPECT_EQ(before, outlook.ReferencesHeldOutside());
    controls.Reset();
    EXPECT_EQ(before - 1, outlook.ReferencesHeldOutside());
}

TEST_F(CommandBars, AFailedBarMemberRaisesTheChosenException) {
    outlook.FailMember(L"CommandBar", L"FindControl", static_cast<HRESULT>(0x80040109), L"No bar today.");
    int inspector = outlook.OpenInspector();
    Raw failed = Invoke(StandardBar(outlook.Inspector(inspector)).Get(), L"FindControl", kMethod);
    EXPECT_EQ(DISP_E_EXCEPTION, failed.hr);
    EXPECT_EQ(static_cast<HRESULT>(0x80040109), failed.scode);
    EXPECT_EQ(L"No bar today.", failed.description);
    EXPECT_TRUE(StandardBar(outlook.Inspector(inspector)).Get(L"Visible").ToBool());
}

TEST_F(CommandBars, GetInspectorAnswersTheWindowShowingTheItem) {
    int inspector = outlook.OpenInspector();
    EXPECT_EQ(outlook.Inspector(inspector),
              Invoke(outlook.CurrentItem(inspector), L"GetInspector", kGet).result.ToDispatch().Get());
    Ptr<IDispatch> unseen = Invoke(outlook.Application(), L"CreateItem", kMethod, {0}).result.ToDispatch();
    EXPECT_EQ(E_FAIL, Invoke(unseen.Get(), L"GetInspector", kGet).scode);
    EXPECT_FALSE(Invoke(outlook.Inspector(inspector), L"IsWordMail", kMethod).result.ToBool());
}

// ---- Word ----

Raw ActiveWord() {
    Raw raw;
    CLSID clsid;
    raw.hr = CLSIDFromProgID(L"Word.Application", &clsid);
    if (FAILED(raw.hr)) return raw;
    EXPECT_TRUE(IsEqualCLSID(kWordClass, clsid));
    Ptr<IUnknown> found;
    raw.hr = GetActiveObject(clsid, nullptr, found.ReleaseAndGetAddressOf());
    if (found) raw.result = Variant(found.As<IDispatch>().Get());
    return raw;
}

TEST(SimWord, GetActiveObjectFindsWordOnlyWhileItRuns) {
    Word word;
    EXPECT_TRUE(FAILED(ActiveWord().hr));
    word.Start();
    Raw running = ActiveWord();
    ASSERT_EQ(S_OK, running.hr);
    EXPECT_EQ(word.Application(), running.result.ToDispatch().Get());
    EXPECT_EQ(L"Microsoft Word", LateBound(running.result).Get(L"Name").ToText());
    EXPECT_EQ(1, word.ReferencesHeldOutside());  // the running object table's own do not count
    word.Quit();
    EXPECT_TRUE(FAILED(ActiveWord().hr));
    EXPECT_EQ(RPC_E_DISCONNECTED, Invoke(running.result.ToDispatch().Get(), L"Name", kGet).hr);
    running.result = Variant();
    EXPECT_EQ(0, word.ReferencesHeldOutside());
}

struct ActivateRecorder {
    ActivateRecorder(Log& heard, IDispatch* application, const IID& events) : field(events), heard(heard) {
        field.On(10, this, &ActivateRecorder::OnWindowActivate);
        EXPECT_EQ(S_OK, field.Set(Ptr<IDispatch>(application)));
    }
    void OnWindowActivate(const com::EventArgs& args) {
        LateBound doc(args.Object(0));
        EXPECT_TRUE(com::SameObject(args.Object(1).Get(), doc.Get(L"ActiveWindow").ToDispatch().Get()));
        heard.push_back(doc.Get(L"Name").ToText() + L" in " + LateBound(args.Object(1)).Get(L"Caption").ToText());
        if (also) also();
    }
    com::WithEvents field;
    Log& heard;
    std::function<void()> also;
};

TEST(SimWord, WindowActivateReachesEverySinkWithTheDocumentAndItsWindow) {
    Word word(L"10.0");
    word.Start();
    Log heard;
    ActivateRecorder v2(heard, word.Application(), kWordEvents2);
    ActivateRecorder v3(heard, word.Application(), kWordEvents3);
    int first = word.OpenDocument(L"Report", false);
    word.OpenDocument(L"Letter", false);
    word.ActivateDocument(first);
    word.ActivateDocument(first);  // already active: nothing
    EXPECT_EQ((Log{L"Report in Report", L"Report in Report", L"Letter in Letter", L"Letter in Letter",
                   L"Report in Report", L"Report in Report"}),
              heard);
}

TEST(SimWord, EventInterfacesFollowTheVersion) {
    for (auto [version, offered] : {std::pair{L"9.0", 1}, std::pair{L"10.0", 2}, std::pair{L"11.0", 3},
                                    std::pair{L"12.0", 3}}) {
        Word word(version);
        auto container = Ptr<IDispatch>(word.Application()).As<IConnectionPointContainer>();
        int index = 0;
        for (const IID& events : {kWordEvents2, kWordEvents3, kWordEvents4}) {
            Ptr<IConnectionPoint> point;
            EXPECT_EQ(index++ < offered ? S_OK : CONNECT_E_NOCONNECTION,
                      container->FindConnectionPoint(events, point.ReleaseAndGetAddressOf()))
                << version << L" " << index;
        }
    }
}

// CurrentEmailAuthor is valid only for a message being written, and is an EmailAuthor object.
TEST(SimWord, CurrentEmailAuthorAnswersOnlyForAMessageBeingWritten) {
    Word word;
    word.Start();
    Raw none = Invoke(word.Application(), L"ActiveDocument", kGet);
    EXPECT_EQ(static_cast<HRESULT>(0x800A1098), none.scode);
    word.OpenDocument(L"Report", false);
    LateBound report(Invoke(word.Application(), L"ActiveDocument", kGet).result);
    EXPECT_EQ(static_cast<HRESULT>(0x800A11FD), Invoke(LateBound(report.Get(L"Email")).Get(), L"CurrentEmailAuthor", kGet).scode);
    int read = word.OpenDocument(L"Quote", word::DocumentKind::EmailRead);
    LateBound readEmail(LateBound(Ptr<IDispatch>(word.Document(read))).Get(L"Email"));
    EXPECT_EQ(static_cast<HRESULT>(0x800A11FD), Invoke(readEmail.Get(), L"CurrentEmailAuthor", kGet).scode);
    int mail = word.OpenDocument(L"Untitled Message", true);
    Variant author = LateBound(LateBound(Ptr<IDispatch>(word.Document(mail))).Get(L"Email")).Get(L"CurrentEmailAuthor");
    ASSERT_TRUE(author.IsObject());
    EXPECT_EQ(L"Mailbox Owner", LateBound(author).Get(L"Signature").ToText());
}

TEST(SimWord, CustomisingTheSharedBarsLeavesTheNormalTemplateUnsaved) {
    const std::vector<std::function<void(LateBound&)>> customisations = {
        [](LateBound& bar) { LateBound(bar.Get(L"Controls")).Call(L"Add", {1}); },
        [](LateBound& bar) { LateBound(LateBound(bar.Get(L"Controls")).Call(L"Item", {1})).Call(L"Delete"); },
        [](LateBound& bar) { LateBound(LateBound(bar.Get(L"Controls")).Call(L"Item", {2})).Put(L"Caption", L"x"); },
        [](LateBound& bar) { bar.Put(L"Visible", Variant::Boolean(false)); },
    };
    for (const auto& customise : customisations) {
        Word word;
        word.Start();
        int document = word.OpenDocument(L"Report", false);
        LateBound bar = StandardBar(word.Document(document));
        bar.Call(L"FindControl", {Variant::Missing(), 3});  // reading changes nothing
        EXPECT_TRUE(word.TemplateSaved());
        customise(bar);
        EXPECT_FALSE(word.TemplateSaved());
        LateBound normal(LateBound(Ptr<IDispatch>(word.Document(document))).Get(L"AttachedTemplate"));
        EXPECT_EQ(L"Normal.dot", normal.Get(L"Name").ToText());
        EXPECT_TRUE(normal.Put(L"Saved", Variant::Boolean(true)));
        EXPECT_TRUE(word.TemplateSaved());
    }
}

// ---- WordMail ----

TEST_F(CommandBars, WordMailInspectorsShowWordsSharedBarsAndOpenAnEmailDocumentAfterActivating) {
    Word word;
    word.Start();
    outlook.UseWordMail(&word);
    Log heard, outlookDuring;
    ActivateRecorder watcher(heard, word.Application(), kWordEvents4);
    watcher.also = [&] { outlookDuring.push_back(outlook.Log().back()); };
    int first = outlook.OpenInspector();
    MailFields hello;
    hello.subject = L"Hello";
    int second = outlook.OpenItem(outlook.UserMailbox()->AddReceivedMail(hello));
    EXPECT_EQ((Log{L"Untitled Message in Untitled Message", L"Hello in Hello"}), heard);
    EXPECT_EQ((Log{L"Inspector.Activate", L"Inspector.Activate"}), outlookDuring);
    EXPECT_TRUE(Invoke(outlook.Inspector(first), L"IsWordMail", kMethod).result.ToBool());
    Ptr<IDispatch> shared = Invoke(outlook.Inspector(first), L"CommandBars", kGet).result.ToDispatch();
    EXPECT_EQ(shared.Get(), Invoke(outlook.Inspector(second), L"CommandBars", kGet).result.ToDispatch().Get());
    EXPECT_EQ(shared.Get(),
              LateBound(Invoke(word.Application(), L"ActiveDocument", kGet).result).Get(L"CommandBars").ToDispatch().Get());

    ClickRecorder recorder(heard, L"A", AddButton(outlook.Inspector(first), L"T"));
    outlook.ClickButton(second, L"T");
    EXPECT_EQ(L"A", heard.back());
    EXPECT_EQ(L"Click T", word.Log().back());
    EXPECT_EQ(word.BarControls(), outlook.BarControls(second));
    EXPECT_FALSE(word.TemplateSaved());

    // Word's document closes after Inspector.Close has fired.
    struct CloseWatcher {
        explicit CloseWatcher(Word& word) : field(kInspectorEvents), word(word) {
            field.On(0xF008, this, &CloseWatcher::OnClose);
        }
        void OnClose(const com::EventArgs&) { wordDuring = word.Log().back(); }
        com::WithEvents field;
        Word& word;
        std::wstring wordDuring;
    } closing(word);
    closing.field.Set(Ptr<IDispatch>(outlook.Inspector(first)));
    outlook.CloseInspector(first);
    EXPECT_EQ(L"Click T", closing.wordDuring);
    EXPECT_EQ(L"Document.Close Untitled Message", word.Log().back());
}

TEST_F(CommandBars, WordMayGoBeforeOutlookOrNeverRun) {
    auto word = std::make_unique<Word>();
    outlook.UseWordMail(word.get());
    int withoutWord = outlook.OpenInspector();  // Word is not running: the window's own bars
    EXPECT_TRUE(Invoke(outlook.Inspector(withoutWord), L"IsWordMail", kMethod).result.ToBool());
    EXPECT_EQ(4u, outlook.BarControls(withoutWord).size());
    word->Start();
    int withWord = outlook.OpenInspector();
    EXPECT_EQ(word->BarControls(), outlook.BarControls(withWord));
    word.reset();
    Raw bars = Invoke(outlook.Inspector(withWord), L"CommandBars", kGet);
    EXPECT_EQ(E_FAIL, bars.scode);
    outlook.ClickButton(withWord, L"T");
    EXPECT_EQ(L"Click ignored T", outlook.Log().back());
    const size_t before = outlook.Log().size();
    outlook.CloseInspector(withWord);
    const std::vector<std::wstring> closing(outlook.Log().begin() + static_cast<long>(before), outlook.Log().end());
    EXPECT_NE(closing.end(), std::find(closing.begin(), closing.end(), L"Inspector.Close"));
}

}  // namespace
}  // namespace vantrell::sim
