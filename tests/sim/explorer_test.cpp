// The simulated explorers as an add-in meets them by name: command bars of their own with popups
// and the buttons of their menus, FindControl with and without Recursive, clicks on a menu's
// button heard by every button of its tag, the Selection over mixed items with its index edges,
// SelectionChange, deleted items, the new members under fault injection, and references.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/events.h"
#include "platform/late_bound.h"
#include "sim/outlook/outlook.h"
#include "tests/sim/raw_invoke.h"

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

const IID kButtonEvents = {0x000C0351, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kExplorerEvents = {0x0006304F, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const Variant kMissing = Variant::Missing();

Ptr<IDispatch> Bar(IDispatch* window, const wchar_t* name) {
    return LateBound(LateBound(Ptr<IDispatch>(window)).Get(L"CommandBars")).Call(L"Item", {name}).ToDispatch();
}

// Controls.Add(Type, , , , Temporary) with a caption and a tag.
Ptr<IDispatch> AddControl(IDispatch* controls, long type, const std::wstring& caption, const std::wstring& tag) {
    LateBound control(
        LateBound(Ptr<IDispatch>(controls)).Call(L"Add", {type, kMissing, kMissing, kMissing, Variant::Boolean(true)}));
    control.Put(L"Caption", caption);
    control.Put(L"Tag", tag);
    return control.Pointer();
}

// The "Quorvane" popup on an explorer's Standard bar, with its buttons.
struct Menu {
    Menu(IDispatch* explorer, const std::vector<std::pair<std::wstring, std::wstring>>& buttons) {
        popup = AddControl(LateBound(Bar(explorer, L"Standard")).Get(L"Controls").ToDispatch().Get(), 10, L"&Quorvane",
                           L"Q.Menu");
        Ptr<IDispatch> controls = LateBound(popup).Get(L"Controls").ToDispatch();
        for (const auto& [caption, tag] : buttons) items.push_back(AddControl(controls.Get(), 1, caption, tag));
    }
    Ptr<IDispatch> popup;
    std::vector<Ptr<IDispatch>> items;
};

struct ClickRecorder {
    ClickRecorder(Log& heard, std::wstring name, Ptr<IDispatch> button)
        : field(kButtonEvents), heard(heard), name(std::move(name)) {
        field.On(1, [this](const com::EventArgs& args) {
            ctrl = args.Object(0);
            this->heard.push_back(this->name);
        });
        EXPECT_EQ(S_OK, field.Set(std::move(button)));
    }
    com::WithEvents field;
    Log& heard;
    std::wstring name;
    Ptr<IDispatch> ctrl;
};

class Explorers : public testing::Test {
protected:
    void SetUp() override {
        outlook.StartUp(Start::WithExplorer);
        explorer = outlook.Explorer(outlook.MainExplorer());
    }
    void TearDown() override {
        outlook.ShutDown();
        EXPECT_EQ(0, outlook.ReferencesHeldOutside()) << outlook.DescribeHeldOutside();
    }
    std::wstring Mail(const std::wstring& subject) {
        MailFields mail;
        mail.subject = subject;
        mail.sender = {L"Ann Buyer", L"ann@customer.example"};
        mail.to = {{L"", L"owner@example.com"}};
        return outlook.UserMailbox()->AddReceivedMail(mail);
    }
    Outlook outlook;
    IDispatch* explorer = nullptr;
};

// ---- command bars and popups ----

TEST_F(Explorers, EachExplorerHasItsOwnBarsAndAPopupHoldsItsMenusButtons) {
    const int second = outlook.OpenExplorer(false);
    {
        Menu menu(explorer, {{L"Log Selected Messages", L"Q.Log"}, {L"Sign Out", L"Q.Sign"}});
        const auto standard = outlook.ExplorerBarControls(outlook.MainExplorer());
        ASSERT_EQ(6u, standard.size());
        EXPECT_EQ(10, standard.back().type);
        EXPECT_EQ(L"&Quorvane", standard.back().caption);
        ASSERT_EQ(2u, standard.back().controls.size());
        EXPECT_EQ(L"Q.Sign", standard.back().controls[1].tag);
        EXPECT_TRUE(standard.back().controls[1].temporary);
        EXPECT_EQ(5u, outlook.ExplorerBarControls(second).size());  // the other window's bars are its own
        EXPECT_EQ(5u, outlook.ExplorerBarControls(second, L"Menu Bar").size());
        LateBound popup(menu.popup);
        EXPECT_EQ(10, popup.Get(L"Type").ToLong());
        EXPECT_EQ(6, popup.Get(L"Index").ToLong());
        EXPECT_EQ(Bar(explorer, L"Standard").Get(), popup.Get(L"Parent").ToDispatch().Get());
        LateBound inMenu(popup.Get(L"CommandBar"));
        EXPECT_EQ(menu.items[1].Get(),
                  LateBound(inMenu.Get(L"Controls")).Call(L"Item", {L"sign out"}).ToDispatch().Get());
        EXPECT_EQ(inMenu.Get(), LateBound(menu.items[0]).Get(L"Parent").ToDispatch().Get());
        // A popup is no button: no Style, no FaceId, no Click.
        EXPECT_EQ(DISP_E_UNKNOWNNAME, Invoke(menu.popup.Get(), L"Style", kGet).hr);
        EXPECT_FALSE(com::WithEvents(kButtonEvents).Set(menu.popup) == S_OK);
        // Deleting the popup deletes its menu.
        ASSERT_EQ(S_OK, Invoke(menu.popup.Get(), L"Delete", kMethod).hr);
        EXPECT_EQ(5u, outlook.ExplorerBarControls(outlook.MainExplorer()).size());
        Raw gone = Invoke(menu.items[0].Get(), L"Caption", kGet);
        EXPECT_EQ(E_FAIL, gone.scode);
        EXPECT_EQ(L"The object has been deleted.", gone.description);
        // The bars of a closed explorer go with it.
        Ptr<IDispatch> bars = LateBound(Ptr<IDispatch>(outlook.Explorer(second))).Get(L"CommandBars").ToDispatch();
        Ptr<IDispatch> held(outlook.Explorer(second));
        outlook.CloseExplorer(second);
        EXPECT_EQ(E_FAIL, Invoke(bars.Get(), L"Count", kGet).scode);
        EXPECT_EQ(L"The window has been closed.", Invoke(held.Get(), L"CommandBars", kGet).description);
    }
}

TEST_F(Explorers, FindControlReachesAMenusButtonsOnlyRecursivelyAndNeverAsVisible) {
    Menu menu(explorer, {{L"Log Selected Messages", L"Q.Log"}});
    Ptr<IDispatch> bars = LateBound(Ptr<IDispatch>(explorer)).Get(L"CommandBars").ToDispatch();
    Ptr<IDispatch> standard = Bar(explorer, L"Standard");
    const Variant yes = Variant::Boolean(true), no = Variant::Boolean(false);
    struct Case {
        IDispatch* on;
        const wchar_t* tag;
        std::vector<Variant> rest;  // Visible, Recursive
        IDispatch* expected;
    };
    const Case cases[] = {
        {standard.Get(), L"Q.Log", {}, nullptr},
        {standard.Get(), L"Q.Log", {kMissing, no}, nullptr},
        {standard.Get(), L"Q.Log", {kMissing, yes}, menu.items[0].Get()},
        {standard.Get(), L"Q.Log", {no, yes}, menu.items[0].Get()},
        {standard.Get(), L"Q.Log", {yes, yes}, nullptr},
        {standard.Get(), L"Q.Menu", {}, menu.popup.Get()},
        {standard.Get(), L"Q.Menu", {yes, no}, menu.popup.Get()},
        {bars.Get(), L"Q.Log", {}, menu.items[0].Get()},
        {bars.Get(), L"Q.Log", {yes}, nullptr},
        {bars.Get(), L"Q.Menu", {yes}, menu.popup.Get()},
        {Bar(explorer, L"Menu Bar").Get(), L"Q.Log", {kMissing, yes}, nullptr},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        std::vector<Variant> args = {kMissing, kMissing, cases[i].tag};
        args.insert(args.end(), cases[i].rest.begin(), cases[i].rest.end());
        Raw found = Invoke(cases[i].on, L"FindControl", kMethod, args);
        ASSERT_EQ(S_OK, found.hr) << i;
        EXPECT_EQ(cases[i].expected, found.result.ToDispatch().Get()) << i;
    }
    // By type: the built-in popups of the menu bar, the first one in the bars' order.
    LateBound file(LateBound(bars).Call(L"FindControl", {10}));
    EXPECT_EQ(L"&File", file.Get(L"Caption").ToText());
    EXPECT_EQ(30002, file.Get(L"Id").ToLong());
}

TEST_F(Explorers, AMenusButtonIsClickedByCaptionOrTagAndHeardByEveryButtonOfItsTag) {
    Menu menu(explorer,
              {{L"&Log Selected Messages", L"Q.Log"}, {L"Logged Messages...", L"Q.List"}, {L"Sign &In...", L""}});
    const int second = outlook.OpenExplorer(false);
    Log heard;
    ClickRecorder inMenu(heard, L"menu", menu.items[0]);
    ClickRecorder other(heard, L"other", menu.items[1]);
    ClickRecorder onBar(
        heard, L"second explorer",
        AddControl(LateBound(Bar(outlook.Explorer(second), L"Standard")).Get(L"Controls").ToDispatch().Get(), 1, L"Log",
                   L"Q.Log"));
    const int inspector = outlook.OpenInspector();
    ClickRecorder inInspector(
        heard, L"inspector",
        AddControl(LateBound(Bar(outlook.Inspector(inspector), L"Standard")).Get(L"Controls").ToDispatch().Get(), 1,
                   L"Log", L"Q.Log"));
    for (const auto& [popup, button] :
         {std::pair{L"Quorvane", L"log selected messages"}, std::pair{L"Q.Menu", L"Q.Log"}}) {
        heard.clear();
        outlook.ClickMenuButton(outlook.MainExplorer(), popup, button);
        EXPECT_EQ((Log{L"menu", L"second explorer", L"inspector"}), heard) << popup;
        EXPECT_EQ(menu.items[0].Get(), inInspector.ctrl.Get());
        EXPECT_EQ(L"Click Q.Log", outlook.Log().back());
    }
    // A button on a bar is clicked in the same way, and its click reaches the menu's button.
    heard.clear();
    outlook.ClickExplorerButton(second, L"Q.Log");
    EXPECT_EQ((Log{L"menu", L"second explorer", L"inspector"}), heard);
    outlook.ClickButton(inspector, L"Q.Log");
    EXPECT_EQ(6u, heard.size());
    // A button without a tag hears its own click only.
    heard.clear();
    ClickRecorder untagged(heard, L"untagged", menu.items[2]);
    ClickRecorder otherUntagged(
        heard, L"other untagged",
        AddControl(LateBound(Bar(outlook.Explorer(second), L"Standard")).Get(L"Controls").ToDispatch().Get(), 1,
                   L"Sign In...", L""));
    outlook.ClickMenuButton(outlook.MainExplorer(), L"Quorvane", L"Sign In...");
    EXPECT_EQ((Log{L"untagged"}), heard);
    EXPECT_EQ(L"Click Quorvane/Sign In...", outlook.Log().back());

    // What cannot be clicked: a hidden or disabled popup or button, a deleted popup, no such one.
    struct Case {
        IDispatch* change;
        const wchar_t* member;
        const wchar_t* button;
    };
    const Case cases[] = {{menu.popup.Get(), L"Visible", L"Q.Log"},
                          {menu.popup.Get(), L"Enabled", L"Q.Log"},
                          {menu.items[0].Get(), L"Visible", L"Q.Log"},
                          {menu.items[0].Get(), L"Enabled", L"Q.Log"},
                          {nullptr, nullptr, L"Sign Out"},
                          {menu.popup.Get(), L"Delete", L"Q.Log"}};
    for (const Case& c : cases) {
        heard.clear();
        if (c.member && std::wstring(c.member) == L"Delete") {
            ASSERT_EQ(S_OK, Invoke(c.change, L"Delete", kMethod).hr);
        } else if (c.member) {
            ASSERT_TRUE(LateBound(Ptr<IDispatch>(c.change)).Put(c.member, Variant::Boolean(false)));
        }
        outlook.ClickMenuButton(outlook.MainExplorer(), L"Quorvane", c.button);
        EXPECT_TRUE(heard.empty()) << c.button;
        EXPECT_EQ(L"Click ignored Quorvane/" + std::wstring(c.button), outlook.Log().back());
        if (c.member && std::wstring(c.member) != L"Delete")
            LateBound(Ptr<IDispatch>(c.change)).Put(c.member, Variant::Boolean(true));
    }
}

// An explorer is a window of this thread (IOleWindow, as Outlook's), so that a command can own a
// dialog by it: a modal box it owns disables it, and a disabled explorer takes no clicks.
TEST_F(Explorers, AnExplorerIsAWindowThatTakesNoClicksWhileDisabled) {
    Menu menu(explorer, {{L"Log Selected Messages", L"Q.Log"}});
    Log heard;
    ClickRecorder recorder(heard, L"menu", menu.items[0]);
    Ptr<IOleWindow> ole = Ptr<IDispatch>(explorer).As<IOleWindow>();
    ASSERT_TRUE(ole);
    EXPECT_TRUE(com::SameObject(ole.Get(), explorer));
    HWND handle = nullptr;
    ASSERT_EQ(S_OK, ole->GetWindow(&handle));
    EXPECT_TRUE(IsWindow(handle));
    EnableWindow(handle, FALSE);
    outlook.ClickMenuButton(outlook.MainExplorer(), L"Quorvane", L"Q.Log");
    outlook.ClickExplorerButton(outlook.MainExplorer(), L"Q.Log");
    EXPECT_TRUE(heard.empty());
    EXPECT_EQ(L"Click ignored Q.Log", outlook.Log().back());
    EnableWindow(handle, TRUE);
    outlook.ClickMenuButton(outlook.MainExplorer(), L"Quorvane", L"Q.Log");
    EXPECT_EQ(Log{L"menu"}, heard);
    outlook.CloseExplorer(outlook.MainExplorer());
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(E_FAIL, ole->GetWindow(&handle));
}

// A subscription fails as told ("Advise" of the object's kind), and the recorder does not list it.
TEST_F(Explorers, ASubscriptionFailsWhenItsAdviseIsToldTo) {
    Menu menu(explorer, {{L"Log Selected Messages", L"Q.Log"}});
    outlook.RecordCalls(true);
    outlook.FailOnce(L"CommandBarButton", L"Advise", E_ACCESSDENIED, L"Injected");
    com::WithEvents button(kButtonEvents);
    EXPECT_EQ(E_ACCESSDENIED, button.Set(menu.items[0]));
    EXPECT_EQ(S_OK, button.Set(menu.items[0]));
    outlook.FailMember(L"Explorer", L"Advise", E_OUTOFMEMORY, L"Injected");
    com::WithEvents window(kExplorerEvents);
    EXPECT_EQ(E_OUTOFMEMORY, window.Set(Ptr<IDispatch>(explorer)));
    EXPECT_EQ(E_OUTOFMEMORY, window.Set(Ptr<IDispatch>(explorer)));
    outlook.ClearFaults();
    EXPECT_EQ(S_OK, window.Set(Ptr<IDispatch>(explorer)));
    EXPECT_TRUE(outlook.Calls().empty());
    outlook.RecordCalls(false);
}

// ---- the selection ----

TEST_F(Explorers, TheSelectionAnswersMixedItemsByOneBasedIndexAndRefusesTheEdgesBeyond) {
    auto mailbox = outlook.UserMailbox();
    const std::vector<std::pair<std::wstring, long>> items = {
        {Mail(L"Order 1"), 43},
        {mailbox->AddItem(L"IPM.Schedule.Meeting.Request", L"Review"), 53},
        {mailbox->AddItem(L"REPORT.IPM.Note.NDR", L"Undeliverable"), 46},
        {mailbox->AddItem(L"IPM.Post", L"Notice"), 45},
        {mailbox->AddItem(L"IPM.Contact", L"Ann Buyer"), 40},
    };
    std::vector<std::wstring> ids;
    for (const auto& item : items) ids.push_back(item.first);
    outlook.SelectItems(outlook.MainExplorer(), ids);
    EXPECT_EQ(ids, outlook.SelectedItems(outlook.MainExplorer()));

    LateBound selection(LateBound(Ptr<IDispatch>(explorer)).Get(L"Selection"));
    EXPECT_EQ(5, selection.Get(L"Count").ToLong());
    EXPECT_EQ(74, selection.Get(L"Class").ToLong());
    EXPECT_EQ(explorer, selection.Get(L"Parent").ToDispatch().Get());
    for (long i = 1; i <= 5; ++i) {
        LateBound item(selection.Call(L"Item", {i}));
        EXPECT_EQ(items[i - 1].second, item.Get(L"Class").ToLong()) << i;
        EXPECT_EQ(ids[i - 1], item.Get(L"EntryID").ToText()) << i;
    }
    for (const Variant& index : {Variant(0), Variant(6), Variant(-1)}) {
        Raw raw = Invoke(selection.Get(), L"Item", kMethod, {index});
        EXPECT_EQ(DISP_E_EXCEPTION, raw.hr) << index.ToText();
        EXPECT_EQ(DISP_E_BADINDEX, raw.scode) << index.ToText();
    }
    EXPECT_EQ(DISP_E_TYPEMISMATCH, Invoke(selection.Get(), L"Item", kMethod, {L"first"}).hr);

    // _NewEnum: every item once, in order.
    Raw newEnum = Invoke(selection.Get(), L"_NewEnum", kGet);
    ASSERT_EQ(VT_UNKNOWN, newEnum.result.Type());
    Ptr<IEnumVARIANT> enumerator;
    ASSERT_EQ(S_OK,
              V_UNKNOWN(newEnum.result.Get())
                  ->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(enumerator.ReleaseAndGetAddressOf())));
    newEnum = Raw{};
    std::vector<long> classes;
    for (Variant next; enumerator->Next(1, next.Out(), nullptr) == S_OK;)
        classes.push_back(LateBound(next.ToDispatch()).Get(L"Class").ToLong());
    EXPECT_EQ((std::vector<long>{43, 53, 46, 45, 40}), classes);
    const long withEnumerator = outlook.ReferencesHeldOutside();
    enumerator.Reset();  // it held an item object of each
    EXPECT_EQ(withEnumerator - 5, outlook.ReferencesHeldOutside());

    // Nothing selected: an empty collection.
    outlook.SelectItems(outlook.MainExplorer(), {});
    LateBound empty(LateBound(Ptr<IDispatch>(explorer)).Get(L"Selection"));
    EXPECT_EQ(0, empty.Get(L"Count").ToLong());
    EXPECT_EQ(DISP_E_BADINDEX, Invoke(empty.Get(), L"Item", kMethod, {1}).scode);
    EXPECT_THROW(
        outlook.SelectItems(outlook.MainExplorer(), {ids[0], mailbox->AddItem(L"IPM.Note", L"x", {}, kDrafts)}),
        std::invalid_argument);
}

TEST_F(Explorers, SelectionChangeFiresWhenTheSelectionChangesAndAHeldSelectionKeepsWhatItHad) {
    const std::wstring first = Mail(L"Order 1"), second = Mail(L"Order 2"), third = Mail(L"Order 3");
    int changes = 0;
    std::function<void()> onChange;
    com::WithEvents field(kExplorerEvents);
    field.On(0xF007, [&](const com::EventArgs&) {
        ++changes;
        if (onChange) onChange();
    });
    ASSERT_EQ(S_OK, field.Set(Ptr<IDispatch>(explorer)));
    outlook.SelectItems(outlook.MainExplorer(), {first, second, third});
    outlook.SelectItems(outlook.MainExplorer(), {first, second, third});  // no change: no event
    EXPECT_EQ(1, changes);
    EXPECT_EQ(L"Explorer.SelectionChange", outlook.Log().back());

    // The user deletes the second item while the add-in walks the selection.
    LateBound selection(LateBound(Ptr<IDispatch>(explorer)).Get(L"Selection"));
    outlook.BeforeCall(L"Selection", L"Item", [&] { outlook.DeleteItem(second); });
    LateBound firstItem(selection.Call(L"Item", {1}));
    EXPECT_EQ(2, changes);
    EXPECT_EQ((std::vector<std::wstring>{first, third}), outlook.SelectedItems(outlook.MainExplorer()));
    EXPECT_EQ(3, selection.Get(L"Count").ToLong());  // taken before: it still counts the deleted one
    Ptr<IDispatch> deleted = selection.Call(L"Item", {2}).ToDispatch();
    for (const wchar_t* member : {L"Subject", L"Class", L"EntryID"}) {
        Raw raw = Invoke(deleted.Get(), member, kGet);
        EXPECT_EQ(DISP_E_EXCEPTION, raw.hr) << member;
        EXPECT_EQ(static_cast<HRESULT>(0x8004010A), raw.scode) << member;  // MAPI_E_OBJECT_DELETED
        EXPECT_EQ(L"The item has been moved or deleted.", raw.description) << member;
    }
    EXPECT_EQ(L"Order 1", firstItem.Get(L"Subject").ToText());
    EXPECT_EQ(2, LateBound(LateBound(Ptr<IDispatch>(explorer)).Get(L"Selection")).Get(L"Count").ToLong());
    // A change made from an event handler lands too.
    onChange = [&] {
        if (changes == 3) outlook.SelectItems(outlook.MainExplorer(), {third});
    };
    outlook.SelectItems(outlook.MainExplorer(), {first});
    EXPECT_EQ(4, changes);
    EXPECT_EQ((std::vector<std::wstring>{third}), outlook.SelectedItems(outlook.MainExplorer()));
}

DISPID IdOf(IDispatch* object, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    EXPECT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) << name;
    return id;
}

TEST_F(Explorers, TheNewMembersHaveOutlooksDispidsAreRecordedAndFailOnceWhenTold) {
    outlook.SelectItems(outlook.MainExplorer(), {Mail(L"Order 1")});
    Menu menu(explorer, {});
    struct Case {
        const wchar_t* kind;
        const wchar_t* member;
        std::function<Raw()> call;
    };
    Ptr<IDispatch> selection = LateBound(Ptr<IDispatch>(explorer)).Get(L"Selection").ToDispatch();
    const Case cases[] = {
        {L"Explorer", L"Selection", [&] { return Invoke(explorer, L"Selection", kGet); }},
        {L"Explorer", L"CommandBars", [&] { return Invoke(explorer, L"CommandBars", kGet); }},
        {L"Selection", L"Count", [&] { return Invoke(selection.Get(), L"Count", kGet); }},
        {L"Selection", L"Item", [&] { return Invoke(selection.Get(), L"Item", kMethod, {1}); }},
        {L"CommandBarPopup", L"Controls", [&] { return Invoke(menu.popup.Get(), L"Controls", kGet); }},
        {L"CommandBarPopup", L"Delete", [&] { return Invoke(menu.popup.Get(), L"Delete", kMethod); }},
    };
    EXPECT_EQ(0x2100, IdOf(explorer, L"CommandBars"));
    EXPECT_EQ(0x2202, IdOf(explorer, L"Selection"));
    EXPECT_EQ(0x50, IdOf(selection.Get(), L"Count"));
    EXPECT_EQ(0x51, IdOf(selection.Get(), L"Item"));
    EXPECT_EQ(DISPID_NEWENUM, IdOf(selection.Get(), L"_NewEnum"));
    outlook.RecordCalls(true);
    for (const Case& c : cases) {
        outlook.FailOnce(c.kind, c.member, E_ACCESSDENIED, L"Injected");
        EXPECT_EQ(E_ACCESSDENIED, c.call().scode) << c.member;
        EXPECT_EQ(S_OK, c.call().hr) << c.member;
        const std::vector<MemberCall> calls = outlook.Calls();
        EXPECT_NE(calls.end(), std::find(calls.begin(), calls.end(), MemberCall{c.kind, c.member})) << c.member;
    }
    outlook.RecordCalls(false);
}

}  // namespace
}  // namespace vantrell::sim
