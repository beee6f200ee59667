#pragma once
// The add-in's commands in the mail windows, one record each. Everything the user meets of a
// command is made from its record: its command-bar button (made, claimed, spent, deleted),
// its ribbon button (the definition's XML, the visibility callbacks, the invalidations) and
// Word's hiding of it. The actions behind them live a layer up (commands/), which hands them
// in before the first window opens; until then a click does nothing.
#include <windows.h>
#include <oaidl.h>

#include <array>
#include <cstddef>
#include <span>

#include "platform/com_ptr.h"
#include "platform/late_bound.h"

namespace vantrell {

class InspWrap;

// The commands, in the order of their records: the order their buttons are deleted in and
// Word looks for them to hide.
enum class ItemCommand { LogMessage, SendAndLog };
inline constexpr std::size_t kItemCommandCount = 2;

// The message a command serves: one being written, or one sent or received.
enum class ShownFor { Unsent, Sent };

// What a new command-bar button is given, in the order the record lists them.
enum class ButtonProperty { Tag, Parameter, Style, BeginGroup, FaceId, Caption, TooltipText, Visible };
// The attributes of a ribbon button, in the order the ribbon definition writes them.
enum class RibbonAttribute { Id, Label, Size, Screentip, Supertip, GetVisible, OnAction, ImageMso };

struct CommandDefinition {
    ItemCommand command;
    ShownFor shownFor;
    // Its command-bar button spends itself (is disabled) once the command has worked on the
    // window's message.
    bool spentWhenDone;

    // ---- the command-bar button, in the item window's "Standard" bar ----
    const wchar_t* tag;      // tells the add-in's buttons from all others in a bar
    const wchar_t* caption;  // as it stands: "&&" shows as one ampersand
    long faceId;
    const wchar_t* tooltip;
    long beforeInOutlook;  // Controls.Add's Before in Outlook's own window
    long beforeInWord;     // in Word's bar (only asked for when the two differ)
    std::span<const ButtonProperty> newButton;
    const wchar_t* hidingName;  // "hiding <name> button for <document>"

    // ---- the ribbon button, in the add-in's group (Outlook 2007 and later) ----
    int ribbonPosition;  // 0 first
    const wchar_t* ribbonId;
    const wchar_t* label;  // XML text
    const wchar_t* size;
    const wchar_t* screentip;
    const wchar_t* supertip;
    const wchar_t* getVisible;  // the callbacks' names, as _Connect publishes them
    const wchar_t* onAction;
    const wchar_t* imageMso;
    std::span<const RibbonAttribute> attributes;
};

// Every record, in the order of ItemCommand.
std::span<const CommandDefinition> ItemCommands() noexcept;
const CommandDefinition& Definition(ItemCommand command) noexcept;
// The records in the order of the ribbon group.
std::array<const CommandDefinition*, kItemCommandCount> InRibbonOrder() noexcept;
// Whether the command is offered for a message that has (or has not) been sent or received.
bool OfferedFor(const CommandDefinition& definition, bool sent) noexcept;

// Has the ribbon ask again for the visibility of every command button (in the group's order);
// nothing on a host without a ribbon.
void InvalidateCommandButtons();

// A command's two forms. `ctrl` is the clicked command-bar button of the wrapper's window;
// `control` the clicked ribbon control (its Context is the window) and `outlook` the
// Application the add-in was connected to.
struct CommandActions {
    void (*fromButton)(InspWrap& wrapper, IDispatch* ctrl) = nullptr;
    void (*fromRibbon)(const com::Ptr<IDispatch>& control, com::LateBound& outlook) = nullptr;
};
void SetCommandActions(ItemCommand command, const CommandActions& actions) noexcept;
const CommandActions& ActionsOf(ItemCommand command) noexcept;

}  // namespace vantrell
