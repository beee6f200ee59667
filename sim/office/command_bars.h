#pragma once
// Office's command bars, shared by the simulated Outlook (one set per explorer and per
// inspector) and the simulated Word (one set for all its windows): CommandBars, CommandBar,
// CommandBarControls, CommandBarButton and CommandBarPopup, answering by name as Office's do.
//
// The set, its bars and their controls are held by the simulator (Owned), so only what add-ins
// and tests hold counts as held outside. There is exactly one object per control: Item and
// FindControl hand out the same object for the same control, so a subscription made through one
// reference hears every click on it.
//
// Members (kinds for fault injection in brackets):
//   [CommandBars]        Count, Item(Index: a bar's name, any case, or a 1-based number; a
//                        default member reached as a method or a get), FindControl([Type], [Id],
//                        [Tag], [Visible]) over all the bars and the popups on them.
//   [CommandBar]         Name, Index, Visible (get/put), Controls, Parent (the set),
//                        FindControl([Type], [Id], [Tag], [Visible], [Recursive]).
//   [CommandBarControls] Count, Item(Index: a 1-based number or a caption; default member),
//                        Add([Type], [Id], [Parameter], [Before], [Temporary]), Parent (the bar).
//   [CommandBarButton]   Tag, Parameter, Style, FaceId, Caption, TooltipText, BeginGroup, Visible,
//                        Enabled (get/put), Type, Id, BuiltIn, Index (get), Parent (the bar),
//                        Delete([Temporary]); the connection point of _CommandBarButtonEvents.
//   [CommandBarPopup]    Tag, Parameter, Caption, TooltipText, BeginGroup, Visible, Enabled
//                        (get/put), Type (msoControlPopup 10), Id, BuiltIn, Index (get), Parent
//                        (the bar it is on), Controls (its own CommandBarControls), CommandBar
//                        (the bar of its menu, which holds those controls), Delete([Temporary]).
//                        A popup has no events.
//
// FindControl matches every criterion given (Type, Id, Tag exactly; Visible True: visible
// controls only) and answers the first match, or Nothing; the order is the bars' order, each
// control before the controls of its menu. CommandBars.FindControl searches the menus of the
// popups too; CommandBar.FindControl only with Recursive True (missing: False, the bar's own
// controls only). With Visible True, the controls in a popup's menu are never found: Office
// counts only the menus that are open, and no menu is open while an add-in runs.
// Add makes a button (Type missing or msoControlButton 1) or a popup (msoControlPopup 10);
// another type fails with E_NOTIMPL. Id missing or 1 is a custom control (Caption empty, Style
// msoButtonAutomatic 0, FaceId 0, visible and enabled; a popup with an empty menu); another Id
// copies that built-in control of the set (E_INVALIDARG when the set has none). Before, a 1-based
// position from 1 to Count + 1, puts it in front of the control there (missing: at the end); any
// other position fails with E_INVALIDARG "Invalid procedure call or argument." Parameter (any
// value, kept as text) and Temporary are kept.
//
// Once a control has been deleted, or its set has closed with its window, every member of it
// fails with E_FAIL "The object has been deleted."; so do the members of a closed set's bars.
// Deleting a popup deletes the controls of its menu with it.
#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "sim/outlook/sim_object.h"

namespace vantrell::sim {

extern const IID IID_CommandBarButtonEvents;
constexpr DISPID kClick = 1;  // Click(Ctrl, CancelDefault by reference)

// Office's MsoControlType and MsoButtonStyle values the simulator uses.
constexpr long kControlButton = 1;           // msoControlButton
constexpr long kControlPopup = 10;           // msoControlPopup
constexpr long kButtonAutomatic = 0;         // msoButtonAutomatic
constexpr long kButtonIcon = 1;              // msoButtonIcon
constexpr long kButtonCaption = 2;           // msoButtonCaption
constexpr long kButtonIconAndCaption = 3;    // msoButtonIconAndCaption

// One control as a test sees it.
struct ControlInfo {
    long type = kControlButton;
    long id = 1;  // 1: a custom control
    std::wstring tag, parameter, caption, tooltip;
    long style = kButtonAutomatic;
    long faceId = 0;
    bool beginGroup = false, visible = true, enabled = true, temporary = false;
    std::vector<ControlInfo> controls;  // a popup's: the controls of its menu, in order
    bool operator==(const ControlInfo&) const = default;
};

// A built-in control of a bar as the application starts it (a popup's menu starts empty).
struct BuiltInControl {
    long id;
    std::wstring caption;
    long type = kControlButton;
};

// A bar as the application starts it, with its built-in controls in order.
struct BarLayout {
    std::wstring name;
    bool visible = true;
    std::vector<BuiltInControl> builtIns;
};

class CommandBarObject;
class CommandBarButtonObject;

// A part of a command-bar set whose members fail once it has gone.
class BarPart : public SimObject {
public:
    using SimObject::SimObject;
    virtual bool Gone() const noexcept = 0;

protected:
    // Adds a member that raises E_FAIL "The object has been deleted." once the part has gone.
    void AddLive(Member member);
};

class CommandBarsObject : public BarPart {
public:
    // `customised` runs after a client changed the set: added or deleted a control, or put a
    // property of a bar or a control.
    CommandBarsObject(ObjectHome* home, const std::vector<BarLayout>& layout, std::function<void()> customised);
    ~CommandBarsObject() override;

    bool Gone() const noexcept override { return closed_; }
    // The bar of this name (any case), or nullptr.
    CommandBarObject* Find(const std::wstring& name) const;
    const std::vector<Owned<CommandBarObject>>& Bars() const noexcept { return bars_; }
    // The built-in control `id` of any bar, or nullptr.
    const ControlInfo* BuiltIn(long id) const;
    void Customised() const;
    // The window of the set has closed: the set, its bars and their controls are gone.
    void Close() noexcept;

private:
    std::vector<Owned<CommandBarObject>> bars_;
    std::vector<ControlInfo> builtIns_;
    std::function<void()> customised_;
    bool closed_ = false;
};

class CommandBarObject : public BarPart {
public:
    // `menu`: the bar of a popup's menu (not one of the set's bars).
    CommandBarObject(ObjectHome* home, CommandBarsObject* set, const BarLayout& layout, bool menu = false);

    bool Gone() const noexcept override { return !set_; }
    const std::wstring& Name() const noexcept { return name_; }
    bool Visible() const noexcept { return visible_; }
    CommandBarsObject* Set() const noexcept { return set_; }
    const std::vector<Owned<CommandBarButtonObject>>& Controls() const noexcept { return controls_; }
    // The controls as a test sees them, each popup with the controls of its menu.
    std::vector<ControlInfo> ControlInfos() const;
    // The bar belongs to a popup's menu.
    bool IsMenu() const noexcept { return menu_; }
    // 0-based position of `control` among the controls (the count when it is not there).
    size_t PositionOf(const CommandBarButtonObject* control) const noexcept;
    // Inserts a new button at 0-based `position`.
    CommandBarButtonObject* Insert(size_t position, ControlInfo info);
    // Takes `control` off the bar; it is gone from then on.
    void Remove(CommandBarButtonObject* control);
    // The set has closed: the bar and its controls are gone.
    void Close() noexcept;

private:
    CommandBarsObject* set_;  // nullptr once the set has closed
    std::wstring name_;
    bool visible_;
    bool menu_;
    std::vector<Owned<CommandBarButtonObject>> controls_;
};

// A bar's Controls collection: a view on the bar.
class CommandBarControlsObject : public BarPart {
public:
    CommandBarControlsObject(ObjectHome* home, CommandBarObject* bar);
    bool Gone() const noexcept override { return bar_->Gone(); }

private:
    Owned<CommandBarObject> bar_;
};

// A control on a bar: a button (kind "CommandBarButton") or, when its type is msoControlPopup,
// a popup (kind "CommandBarPopup") with the bar of its menu.
class CommandBarButtonObject : public BarPart {
public:
    CommandBarButtonObject(ObjectHome* home, CommandBarObject* bar, ControlInfo info);

    bool Gone() const noexcept override { return !bar_; }
    const ControlInfo& Info() const noexcept { return info_; }
    CommandBarObject* Bar() const noexcept { return bar_; }
    // A popup's menu, or nullptr for a button.
    CommandBarObject* Menu() const noexcept { return menu_.Get(); }
    // Taken off its bar, or its set has closed: a popup's menu goes with it.
    void MarkGone() noexcept;

private:
    // Adds a property of the control kept in `field`, which a put changes (after `check`).
    template <class T>
    void AddField(const wchar_t* name, DISPID id, VARTYPE type, T ControlInfo::*field,
                  std::function<void(const com::Variant&)> check = nullptr);

    CommandBarObject* bar_;  // nullptr once gone
    ControlInfo info_;
    Owned<CommandBarObject> menu_;  // a popup's
};

// The user clicks the button tagged `tag` on `barName` of `set`: the first visible and enabled
// one, on a visible bar. Click then fires on every live button tagged `tag` of `application`
// (every set of the application, in order, each bar and control in order), with Ctrl the
// clicked button and one CancelDefault flag for all. False, and nothing fires, when there is no
// such button to click (none with the tag, or it is hidden, disabled or on a hidden bar).
// A button with no tag is heard by itself only. Buttons in the popups' menus hear clicks too.
bool ClickButton(CommandBarsObject& set, const std::wstring& barName, const std::wstring& tag,
                 const std::vector<CommandBarsObject*>& application);

// The user opens the popup `popup` on `barName` of `set` (the first visible and enabled popup
// on the visible bar whose tag is `popup` or whose caption, without its '&', is `popup` in any
// case) and clicks the button `button` of its menu (found in the same way): Click then fires as
// ClickButton has it, on the buttons tagged as the clicked one. Answers the clicked button's
// tag in `tag` (empty when it has none); false, and nothing fires, when there is no such popup
// or button to click.
bool ClickMenuButton(CommandBarsObject& set, const std::wstring& barName, const std::wstring& popup,
                     const std::wstring& button, const std::vector<CommandBarsObject*>& application, std::wstring& tag);

}  // namespace vantrell::sim
