#pragma once
// ExplorerWrap: the companion of one open explorer while the session runs. It puts the add-in's
// menu (session/explorer_menu.h: the "&Quorvane" popup at the end of the explorer's "Standard"
// bar, one button per menu command) into the explorer, hears the buttons' clicks and runs the
// command's action with the explorer, and lets go of everything when the explorer closes (its
// bars go with it). ExplorerMenus, the controller's, holds one per explorer.
//
// A menu is made whole or not at all: when a step fails (the bar, the popup, a button, a
// subscription), the failure is traced and what was made is deleted again, so that explorer has
// no menu and nothing of it is held. The menu's code traces its failures only, at level 1.
#include <windows.h>
#include <oaidl.h>

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com_object.h"
#include "platform/com_ptr.h"
#include "platform/events.h"
#include "platform/late_bound.h"
#include "platform/office_ids.h"
#include "session/explorer_menu.h"

namespace vantrell {

class ExplorerWrap : public com::Object<IUnknown> {
public:
    // Runs once the explorer has closed and the wrapper has let go of everything.
    using ClosedHandler = std::function<void(ExplorerWrap&)>;

    // Makes the explorer's menu and follows its Close; a wrapper whose menu could not be made
    // holds nothing (HasMenu false).
    static com::Ptr<ExplorerWrap> Make(const com::Ptr<IDispatch>& explorer, ClosedHandler closed);
    // A wrapper holding nothing yet (Make makes the menu).
    explicit ExplorerWrap(ClosedHandler closed);
    // Deletes the menu when it is still held.
    ~ExplorerWrap() override;

    bool HasMenu() const noexcept { return static_cast<bool>(popup_); }
    const com::Ptr<IDispatch>& Explorer() const noexcept { return explorer_.Object(); }
    // The command's button in the menu (empty when there is none).
    const com::Ptr<IDispatch>& Button(MenuCommand command) const noexcept {
        return buttons_[static_cast<size_t>(command)].events.Object();
    }

    // Shows the buttons of the logon state (Sign Out, Sign In) as the logon stands now.
    void ShowLogonState();
    // The session stops with the explorer open: the menu is deleted and everything let go.
    void Remove();
    // The explorer is closing: everything is let go, nothing deleted (its bars go with it).
    void LetGo() noexcept;

    // Every wrapper holding a menu now, in the order they were made.
    static std::vector<com::Ptr<ExplorerWrap>> Live();

private:
    // False when a step failed (traced; what was made is deleted again).
    bool MakeMenu(const com::Ptr<IDispatch>& explorer);
    bool AddButton(const MenuDefinition& definition, com::LateBound& menu);
    // Deletes the popup (and its buttons with it), then lets go.
    void DeleteMenu(std::wstring_view procedure);
    void ExplorerClose(const com::EventArgs& args);
    void ButtonClicked(MenuCommand command, const com::EventArgs& args);

    com::WithEvents explorer_;
    com::Ptr<IDispatch> popup_;
    // One button per menu command, in the records' order.
    struct ButtonField {
        com::WithEvents events{office::kCommandBarButtonEvents};
    };
    std::array<ButtonField, kMenuCommandCount> buttons_;
    // Carried by this wrapper's buttons as their Parameter: Office tells every button of a tag
    // about a click, whichever explorer it came from, and only this wrapper's acts on it.
    std::wstring key_;
    ClosedHandler closed_;
};

// The wrappers of the session's explorers, at most one per explorer: made at the session's
// start and at each new explorer, gone at the explorer's close, removed when the session stops.
class ExplorerMenus {
public:
    ExplorerMenus() = default;
    ~ExplorerMenus();
    ExplorerMenus(const ExplorerMenus&) = delete;
    ExplorerMenus& operator=(const ExplorerMenus&) = delete;

    // A wrapper for every explorer of Outlook's Explorers collection that has none yet.
    void AddEvery(const com::Ptr<IDispatch>& explorers);
    // A wrapper for the explorer, unless it has one.
    void Add(const com::Ptr<IDispatch>& explorer);
    // The explorer is closing: its wrapper lets go and goes (its menu goes with the explorer).
    void Closing(const com::Ptr<IDispatch>& explorer) noexcept;
    // Every wrapper deletes its menu from its explorer and goes.
    void RemoveAll() noexcept;
    size_t Count() const noexcept { return wrappers_.size(); }

private:
    void Forget(ExplorerWrap& wrapper) noexcept;

    std::vector<com::Ptr<ExplorerWrap>> wrappers_;
};

}  // namespace vantrell
