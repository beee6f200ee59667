#include "session/explorer_menu.h"

#include <iterator>

#include "session/explorer_wrap.h"
#include "support/shared_state.h"

namespace vantrell {
namespace {

const MenuDefinition kMenu[] = {
    {MenuCommand::LogSelected, L"CRM.LogSelected", L"Log &Selected Messages", false, ShownWhen::Always},
    {MenuCommand::LoggedMessages, L"CRM.LoggedMessages", L"&Logged Messages...", false, ShownWhen::Always},
    {MenuCommand::SignOut, L"CRM.SignOut", L"Sign &Out", true, ShownWhen::LoggedOn},
    {MenuCommand::SignIn, L"CRM.SignIn", L"Sign &In...", true, ShownWhen::SignedOut},
};
static_assert(std::size(kMenu) == kMenuCommandCount);

MenuAction actions[kMenuCommandCount];

std::size_t IndexOf(MenuCommand command) noexcept { return static_cast<std::size_t>(command); }

}  // namespace

std::span<const MenuDefinition> MenuCommands() noexcept { return kMenu; }

const MenuDefinition& Definition(MenuCommand command) noexcept { return kMenu[IndexOf(command)]; }

bool ShownNow(const MenuDefinition& definition) noexcept {
    const bool loggedOn = LogonID != 0 && CompanyID != 0;
    switch (definition.shownWhen) {
        case ShownWhen::LoggedOn: return loggedOn;
        case ShownWhen::SignedOut: return !loggedOn;
        case ShownWhen::Always: break;
    }
    return true;
}

void SetMenuAction(MenuCommand command, MenuAction action) noexcept { actions[IndexOf(command)] = action; }

MenuAction MenuActionOf(MenuCommand command) noexcept { return actions[IndexOf(command)]; }

void RefreshExplorerMenus() noexcept {
    try {
        for (const com::Ptr<ExplorerWrap>& wrapper : ExplorerWrap::Live()) wrapper->ShowLogonState();
    } catch (...) {
        // A menu that could not be brought up to date shows what it showed.
    }
}

}  // namespace vantrell
