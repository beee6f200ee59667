#pragma once
// The ribbon of the simulated Outlook (Outlook 2007 and later). Per connected add-in that answers
// IRibbonExtensibility: the definitions it answered per ribbon id (asked once per load, when the
// first window that needs one opens), its one IRibbonUI, and per open window the visibility of
// its groups and buttons, asked through the callbacks the definition names, by name through the
// add-in's IRibbonExtensibility, as Office asks them.
//
// The IRibbonUI objects live in a home of their own: an add-in may keep its IRibbonUI for the
// rest of the process, so what it holds of them is not counted with Outlook's objects. The
// IRibbonControl objects handed to the callbacks are Outlook's ("RibbonControl"), released by the
// host after each call.
#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "office.h"
#include "platform/com_ptr.h"
#include "platform/variant.h"
#include "sim/outlook/custom_ui.h"
#include "sim/outlook/objects.h"
#include "sim/outlook/outlook.h"

namespace vantrell::sim {

class Host;
class RibbonUiObject;

class Ribbons {
public:
    // `major`: Outlook's major version; before 12 there is no ribbon, before 14 explorers have none.
    Ribbons(Host& host, int major);
    ~Ribbons();
    Ribbons(const Ribbons&) = delete;
    Ribbons& operator=(const Ribbons&) = delete;

    // The add-in has connected (OnConnection succeeded): it is asked for IRibbonExtensibility,
    // and the windows already open show its ribbon.
    void Connected(AddInObject* addIn);
    // The add-in has been given OnDisconnection: its ribbon goes from every window and Outlook
    // lets go of its IRibbonExtensibility and its IRibbonUI.
    void Disconnected(AddInObject* addIn);
    // A window opens (or was open before any add-in loaded): every add-in's definition for its
    // ribbon id loads, then the visibility of its controls is asked.
    void Opened(WindowObject* window);
    void Closed(WindowObject* window);

    // The controls of every add-in as `window` shows them now, add-ins in load order.
    std::vector<RibbonControlState> Shown(const WindowObject* window) const;
    // The user clicks a button shown on `window`: its onAction, by name (std::logic_error when
    // the window shows no such button).
    void Click(WindowObject* window, const std::wstring& controlId);
    // Calls `name` of the first add-in with a ribbon, with an IRibbonControl of `controlId`
    // (its tag as a definition of that add-in gives it) and `context`; its answer.
    com::Variant CallCallback(const std::wstring& name, IDispatch* context, const std::wstring& controlId);

    const std::vector<std::wstring>& Log() const noexcept { return log_; }
    // What the first add-in with a ribbon answered for `ribbonId` (empty when not asked).
    std::wstring Xml(const std::wstring& ribbonId) const;
    // The first add-in's IRibbonUI (null before its first onLoad), and the references held to
    // IRibbonUI objects outside the simulator.
    IDispatch* Ui() const;
    long UiReferencesHeldOutside() const { return uiHome_.ReferencesHeldOutside(); }
    // The home of the IRibbonUI objects (kind "RibbonUI": faults, the calls recorder).
    ObjectHome& UiHome() noexcept { return uiHome_; }

    // From an IRibbonUI: the control (every control of the add-in when `controlId` is empty)
    // is stale; its getVisible is asked again in every open window at the next dispatch of
    // messages.
    struct AddInRibbon;
    void Invalidate(AddInRibbon& addIn, const std::optional<std::wstring>& controlId);

private:
    struct WindowRibbon;
    struct Definition {
        std::wstring xml;
        std::optional<CustomUi> ui;
    };

    std::wstring RibbonIdOf(const WindowObject* window) const;
    const CustomUi* Load(const std::shared_ptr<AddInRibbon>& addIn, const std::wstring& ribbonId);
    void Show(const std::shared_ptr<AddInRibbon>& addIn, const std::shared_ptr<WindowRibbon>& window);
    void AskVisible(const std::shared_ptr<AddInRibbon>& addIn, const std::shared_ptr<WindowRibbon>& window,
                    const RibbonControlDef& control, size_t index);
    void Refresh(const std::shared_ptr<AddInRibbon>& addIn);
    std::shared_ptr<WindowRibbon> WindowOf(const WindowObject* window) const;
    // Calls a callback by name with a new IRibbonControl, released again after the call.
    HRESULT Call(const AddInRibbon& addIn, const std::wstring& name, const std::wstring& controlId,
                 const std::wstring& tag, IDispatch* context, com::Variant& result);
    void Note(std::wstring entry, bool alsoOutlook = false);

    Host& host_;
    int major_;
    ObjectHome uiHome_;
    std::vector<std::shared_ptr<AddInRibbon>> addIns_;    // in load order
    std::vector<std::shared_ptr<WindowRibbon>> windows_;  // open windows with a ribbon id, in opening order
    std::vector<std::wstring> log_;
};

}  // namespace vantrell::sim
