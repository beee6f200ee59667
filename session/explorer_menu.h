#pragma once
// The add-in's menu in Outlook's main windows (explorers): a "&Quorvane" popup on each
// explorer's "Standard" bar while the session runs, with one button per menu command. The
// actions behind the buttons live a layer up (commands/), which hands them in before the
// first window opens; until then a click does nothing.
#include <windows.h>
#include <oaidl.h>

#include <cstddef>
#include <span>

#include "platform/com_ptr.h"

namespace vantrell {

// The menu's commands, in the menu's order.
enum class MenuCommand { LogSelected, LoggedMessages, SignOut, SignIn };
inline constexpr std::size_t kMenuCommandCount = 4;

// The popup that holds the menu, added at the end of the explorer's bar.
inline constexpr const wchar_t* kMenuBar = L"Standard";
inline constexpr const wchar_t* kMenuTag = L"CRM.Menu";
inline constexpr const wchar_t* kMenuCaption = L"&Quorvane";

// When a command's button shows: always, or as the logon stands (logged on: LogonID and
// CompanyID both set).
enum class ShownWhen { Always, LoggedOn, SignedOut };

// One menu command: its button in the popup, made from this record.
struct MenuDefinition {
    MenuCommand command;
    const wchar_t* tag;      // tells the button from all others; every button of a tag hears its clicks
    const wchar_t* caption;  // '&' marks the access key
    bool beginGroup;         // a separator above it
    ShownWhen shownWhen;
};

// Every record, in the order of MenuCommand (the menu's order).
std::span<const MenuDefinition> MenuCommands() noexcept;
const MenuDefinition& Definition(MenuCommand command) noexcept;
// Whether the command's button shows as the logon stands now.
bool ShownNow(const MenuDefinition& definition) noexcept;

// A menu command's action; `explorer` is the explorer whose menu was clicked.
using MenuAction = void (*)(const com::Ptr<IDispatch>& explorer);
void SetMenuAction(MenuCommand command, MenuAction action) noexcept;
MenuAction MenuActionOf(MenuCommand command) noexcept;

// Shows Sign Out or Sign In in every explorer's menu, as the logon stands now (both
// identifiers set: Sign Out); nothing while no session runs.
void RefreshExplorerMenus() noexcept;

}  // namespace vantrell
