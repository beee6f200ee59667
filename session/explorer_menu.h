#pragma once
// The add-in's menu in Outlook's main windows (explorers): a "&Quorvane" popup on each
// explorer's "Standard" bar while the session runs, with one button per menu command. The
// actions behind the buttons live a layer up (commands/), which hands them in before the
// first window opens; until then a click does nothing.
#include <windows.h>
#include <oaidl.h>

#include <cstddef>

#include "platform/com_ptr.h"

namespace vantrell {

// The menu's commands, in the menu's order.
enum class MenuCommand { LogSelected, LoggedMessages, SignOut, SignIn };
inline constexpr std::size_t kMenuCommandCount = 4;

// A menu command's action; `explorer` is the explorer whose menu was clicked.
using MenuAction = void (*)(const com::Ptr<IDispatch>& explorer);
void SetMenuAction(MenuCommand command, MenuAction action) noexcept;
MenuAction MenuActionOf(MenuCommand command) noexcept;

// Shows Sign Out or Sign In in every explorer's menu, as the logon stands now (both
// identifiers set: Sign Out); nothing while no session runs.
void RefreshExplorerMenus() noexcept;

}  // namespace vantrell
