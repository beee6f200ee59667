#pragma once
// The simulated Outlook, as tests drive it: start-up (which loads the add-ins registered under
// HKCU\Software\Microsoft\Office\Outlook\Addins), the user's actions on windows and on the COM
// add-ins list, shut-down, fault injection, and what a test can check afterwards: the log of
// what happened and the references to simulated objects held outside the simulator.
//
// The object model (Application, Explorers, Explorer, Inspectors, Inspector, NameSpace,
// COMAddIns, COMAddIn, and the mailbox's MAPIFolder, Items, the items with their Recipients and
// Recipient: see item_objects.h for what each item class answers) answers IDispatch by name,
// strictly: the members that are methods in Outlook's type library (ActiveExplorer,
// GetNamespace, GetDefaultFolder, GetItemFromID, CreateItem, Item, Add, Remove, Resolve,
// ResolveAll, Activate, Close, Save, Send, Forward) must be called with DISPATCH_METHOD;
// properties with DISPATCH_PROPERTYGET (VB's METHOD|PROPERTYGET passes both); a put on a
// read-only property (To, CC, Sent, EntryID...) fails with DISP_E_MEMBERNOTFOUND.
//
// Every explorer has command bars of its own (office/command_bars.h): "Menu Bar" (the popups
// &File, &Edit, &View, &Tools, &Help, their menus empty), "Standard" (&Print, &Delete, &Reply,
// Reply to A&ll, For&ward) and a hidden "Advanced" with none; they go when the explorer closes.
// Explorer: CommandBars (DISPID 0x2100), Selection (0x2202: a snapshot of the items selected
// now, see SelectionObject in objects.h), and the event SelectionChange (0xF007) of
// ExplorerEvents when the user's selection changes (SelectItems, DeleteItem).
//
// Every inspector has command bars (office/command_bars.h): its own set ("Standard": &Send,
// &Reply, Reply to A&ll, For&ward; "Formatting": &Bold, &Italic), or, for a WordMail inspector
// opened while the Word of UseWordMail runs, that Word's shared set. Inspector: CommandBars,
// IsWordMail (a method), CurrentItem, Activate, Close(SaveMode); every item but a hidden one:
// GetInspector (the open inspector showing that very item object; E_FAIL when none does).
//
// Inspector.Close(SaveMode): olSave 0 saves the item, olDiscard 1 drops its unsaved changes,
// olPromptForSave 2 logs L"Save prompt" when it has any (Outlook would ask; no one answers here)
// and drops them; another mode fails with E_INVALIDARG. An item whose message was submitted
// beneath the window (by the helper's Send, through the store's private interface) still counts
// its own copy as changed: olSave then fails with MAPI_E_OBJECT_DELETED ("The item has been moved
// or deleted.") and the window stays open, olPromptForSave logs L"Save prompt", olDiscard closes.
//
// Every explorer and every inspector is a real (hidden) window of this thread and answers
// IOleWindow (GetWindow gives its handle, E_FAIL once it has closed), as Outlook's do, so that it
// can own a modal box, which disables it while it is up: a click on a disabled window
// (ClickButton, ClickRibbon, ClickExplorerButton, ClickMenuButton) is ignored and logged as
// L"Click ignored <tag or control id>" (L"Click ignored <popup>/<button>" for a menu's button).
//
// The ribbon (Outlook 2007, version 12, and later; see ribbon.h): right after an add-in's
// OnConnection, Outlook asks its object for IRibbonExtensibility and keeps it until the add-in's
// OnDisconnection. A window asks each such add-in for the definition of its ribbon id the first
// time one of its kind opens in the add-in's load (GetCustomUI, once per ribbon id; the answer is
// kept): inspectors by item class, Mail.Read / Mail.Compose (Sent or not), Post.Read /
// Post.Compose, Appointment, Contact, Task, Journal, Report, MeetingRequest.Read (all
// "Microsoft.Outlook." ...); explorers "Microsoft.Outlook.Explorer" from Outlook 2010 (14) on.
// It asks when the window opens, after NewInspector and the item's Open (NewExplorer), before
// the window's Activate; windows already open when an add-in connects ask then. A definition is
// parsed by MSXML and refused, as Office refuses it, when it does not parse or its root is not
// customUI in the 2006 custom-UI namespace (L"Ribbon refused <ribbonId>: <reason>"). A loaded
// definition's onLoad is called with the add-in's one IRibbonUI; then each control's getVisible
// (group first, then its buttons in order) with an IRibbonControl whose Context is the window;
// a callback that fails or answers no Boolean leaves the control visible (and is logged), a
// hidden group hides its buttons (which are asked all the same). IRibbonUI.InvalidateControl(id)
// (Invalidate(): every control) has the control's getVisible asked again in every open window
// when Outlook next dispatches its messages. Callbacks are called by name through the add-in's
// IRibbonExtensibility (GetIDsOfNames, then Invoke with DISPATCH_METHOD and the object as its one
// VT_DISPATCH argument); IRibbonControl objects are released after each call. Where several
// add-ins have ribbons, RibbonXml, RibbonUI and CallRibbonCallback answer for the first loaded.
//
// Mail: MailItem.Send takes the message to the Outbox and queues a send/receive on the message
// queue (delivered at the next dispatch of messages, at SendAndReceive, or at ShutDown at the
// latest); the helper's DeliverNow delivers the Outbox at once. Delivered mail lands in Sent
// Items and, when addressed to the agent, in the agent mailbox connected to the Mailbox
// (Mailbox::ConnectAgent).
#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/variant.h"
#include "sim/office/command_bars.h"
#include "sim/outlook/mailbox.h"

namespace vantrell::sim {

class Host;
class Word;

enum class Start { WithExplorer, WithInactiveExplorer, Automation, SingleInspector };

// A group or button of an add-in's ribbon as a window shows it (the label as parsed).
struct RibbonControlState {
    std::wstring id, label;
    bool visible = true;
    bool operator==(const RibbonControlState&) const = default;
};

class Outlook {
public:
    // `version` is what Application.Version answers ("9.0.0.2814" for Outlook 2000, which offers
    // only the original event interfaces; "10.0.2627" and later also offer the _10 ones).
    // The user's mailbox is a fresh one of its own.
    explicit Outlook(std::wstring version = L"11.0.8312");
    // Works on `mailbox`, which may outlive it and serve another Outlook later.
    Outlook(std::wstring version, std::shared_ptr<Mailbox> mailbox);
    ~Outlook();  // shuts down if still running
    Outlook(const Outlook&) = delete;
    Outlook& operator=(const Outlook&) = delete;

    // Start-up, as Outlook does it. WithExplorer: the main explorer exists (Explorers.Count 1, no
    // NewExplorer for it), the add-ins load (OnConnection for each, then OnStartupComplete for
    // each), then the explorer is activated. WithInactiveExplorer: the same without the
    // activation (ActiveExplorer stays Nothing until ActivateExplorer). Automation: no window.
    // SingleInspector: no explorer; one inspector is open (and active) before the add-ins load.
    void StartUp(Start how = Start::WithExplorer);
    // The explorer Outlook started with (0 when it started without one).
    int MainExplorer() const;
    // The inspector Outlook started with under Start::SingleInspector (0 otherwise).
    int StartInspector() const;

    // Opens an explorer and fires Explorers.NewExplorer with it. activeAtOnce: ActiveExplorer
    // already answers it during NewExplorer, then Deactivate fires on the explorer that was
    // active and Activate on the new one; otherwise nothing changes until ActivateExplorer.
    int OpenExplorer(bool activeAtOnce, const std::wstring& caption = L"Inbox - Microsoft Outlook");
    // Fires Deactivate on the previously active explorer, then Activate on this one (nothing when
    // it is already the active one).
    void ActivateExplorer(int explorer);
    // Fires Explorer.Close, then removes it from Explorers. ActiveExplorer already answers the
    // most recently opened other explorer, or Nothing, while Close fires (Explorers.Count still
    // includes the closing one then). Closing the last one does not end Outlook.
    void CloseExplorer(int explorer);
    // The user composes a new message: an inspector on a new unsent mail item (in Drafts once
    // saved). Fires Inspectors.NewInspector, then the item's Open (ItemEvents; a handler may
    // cancel it, and the window goes again: L"Item.Open cancelled", L"Inspector.Close"), then
    // Deactivate on the inspector that was active and Activate on the new one.
    int OpenInspector(const std::wstring& caption = L"Untitled - Message");
    // The user opens a stored item (an entry ID from the Mailbox; std::out_of_range for one
    // that is not stored): the same events as OpenInspector, the caption "<subject> - Message".
    int OpenItem(const std::wstring& entryId);
    void ActivateInspector(int inspector);
    // The user closes the window: fires the item's Close (a handler may cancel it:
    // L"Item.Close cancelled", and the window stays); an item with unsaved changes logs
    // L"Save prompt" and they are dropped (no one answers); then Inspector.Close fires, then the
    // window leaves Inspectors (it is no longer the active one while Close fires); a window that
    // was in front hands the front to the most recently opened other inspector, which gets
    // Activate.
    void CloseInspector(int inspector);
    // The window behind a handle (no new reference); throws std::out_of_range once it is closed.
    IDispatch* Explorer(int explorer) const;
    IDispatch* Inspector(int inspector) const;
    // The item shown in an open inspector (its CurrentItem; no new reference).
    IDispatch* CurrentItem(int inspector) const;

    // ---- command bars and WordMail ----
    // Outlook is told to use Word as its e-mail editor (nullptr: its own editor, the default).
    // Mail-item inspectors opened from now on answer IsWordMail True. If `word` is running when
    // such an inspector opens, its CommandBars are Word's shared set, and after the item's Open
    // and the inspector's Activate, Word opens an e-mail document for it (named after the
    // subject, or "Untitled Message"), which activates in Word (WindowActivate); closing the
    // inspector closes that document after Inspector.Close has fired. If Word is not running
    // then, the inspector has bars of its own. `word` may go before or after this Outlook.
    void UseWordMail(Word* word);
    // Inspectors opened from now on start with their own "Standard" bar hidden (or shown).
    void SetStandardBarHidden(bool hidden);
    // The controls of a bar of the inspector (Word's for a WordMail inspector), in order;
    // std::out_of_range for no such bar or inspector.
    std::vector<ControlInfo> BarControls(int inspector, const std::wstring& bar = L"Standard") const;
    bool BarVisible(int inspector, const std::wstring& bar = L"Standard") const;
    // The user clicks the button tagged `tag` on the inspector's "Standard" bar (Word's for a
    // WordMail inspector): Click fires on every live button with that tag of the application
    // (every inspector's own bars, or Word's shared bars), with Ctrl the clicked one; see
    // ClickButton in command_bars.h. Logs L"Click <tag>", or L"Click ignored <tag>" when no
    // visible, enabled button with that tag is on the visible bar (or Word has quit).
    void ClickButton(int inspector, const std::wstring& tag);

    // ---- the explorers' bars and selection ----
    // The controls of a bar of the explorer, in order, each popup with the controls of its menu
    // (ControlInfo::controls); std::out_of_range for no such bar or explorer.
    std::vector<ControlInfo> ExplorerBarControls(int explorer, const std::wstring& bar = L"Standard") const;
    // The user clicks the button tagged `tag` on a bar of the explorer: Click fires on every live
    // button with that tag of every window's own bars, the buttons in popups' menus included
    // (see ClickButton in command_bars.h); logs L"Click <tag>" or L"Click ignored <tag>".
    void ClickExplorerButton(int explorer, const std::wstring& tag, const std::wstring& bar = L"Standard");
    // The user opens the popup `popup` (its tag, or its caption without '&', any case) on a bar of
    // the explorer and clicks `button` (the same) in its menu; Click fires as above. Logs
    // L"Click <tag of the button>", or L"Click ignored <popup>/<button>" when the popup or the
    // button is not there, hidden or disabled (or the bar is hidden).
    void ClickMenuButton(int explorer, const std::wstring& popup, const std::wstring& button,
                         const std::wstring& bar = L"Standard");
    // The user selects the stored items of these entry IDs (in order; hidden items too, as
    // Outlook's views can show them) in the explorer: when that changes what is selected, logs
    // L"Explorer.SelectionChange" and fires SelectionChange. std::out_of_range for an entry ID
    // that is not stored, std::invalid_argument for items of different folders (an explorer
    // shows one folder). May be called from anywhere: an event handler, Queue, BeforeCall.
    void SelectItems(int explorer, const std::vector<std::wstring>& entryIds);
    // The entry IDs selected in the explorer now.
    std::vector<std::wstring> SelectedItems(int explorer) const;
    // The user deletes the stored item for good (std::out_of_range when it is not stored): every
    // open item object of it fails from now on with MAPI_E_OBJECT_DELETED "The item has been
    // moved or deleted.", and it leaves every explorer's selection (SelectionChange fires there);
    // a Selection object taken before still counts it, and its Item answers an item that fails.
    void DeleteItem(const std::wstring& entryId);
    // `action` runs once, at the next call of the member `member` of an object of kind `kind`
    // (as FailMember names them), before that member runs (and before a fault of FailOnce):
    // a user's action landing in the middle of an add-in's work (a selection changed or an item
    // deleted while the add-in walks the selection). An action that throws logs
    // L"Action before <kind>.<member> failed".
    void BeforeCall(const std::wstring& kind, const std::wstring& member, std::function<void()> action);

    // ---- the ribbon (Outlook 2007 and later) ----
    // The add-ins' groups and buttons as the window shows them now, in definition order, each
    // group before its buttons (empty when no definition applies); std::out_of_range for a
    // window that is not open.
    std::vector<RibbonControlState> Ribbon(int inspector) const;
    std::vector<RibbonControlState> ExplorerRibbon(int explorer) const;
    // The user clicks a button the inspector's ribbon shows: its onAction by name with an
    // IRibbonControl whose Context is the inspector (L"onAction <callback> <controlId>"); a
    // button without onAction does nothing. std::logic_error when the button is not shown.
    void ClickRibbon(int inspector, const std::wstring& controlId);
    // What the ribbon did, in order: L"GetCustomUI <ribbonId>", L"GetCustomUI failed <ribbonId>
    // 0x<hr>", L"Ribbon refused <ribbonId>: <reason>", L"onLoad", L"onLoad failed <callback>
    // 0x<hr>", L"getVisible <callback> <controlId>", L"getVisible failed <callback> <controlId>
    // 0x<hr>", L"getVisible answered no Boolean <callback> <controlId>", L"Invalidate",
    // L"InvalidateControl <controlId>", L"onAction <callback> <controlId>", L"onAction failed
    // <callback> <controlId> 0x<hr>". Invalidate and InvalidateControl are also in Log().
    const std::vector<std::wstring>& RibbonLog() const;
    // What the add-in answered for the ribbon id (empty when it was not asked).
    std::wstring RibbonXml(const std::wstring& ribbonId) const;
    // The IRibbonUI handed to onLoad (no new reference), or null (none yet, or the add-in has
    // been disconnected). It answers IRibbonUI (dual) and IDispatch by name. Not counted by
    // ReferencesHeldOutside: an add-in may keep it for the rest of the process; the references
    // held to IRibbonUI objects outside the simulator are counted here instead. Once Outlook has
    // gone its calls fail with RPC_E_DISCONNECTED; once its add-in has been disconnected they do
    // nothing.
    IDispatch* RibbonUI() const;
    long RibbonUIReferencesHeldOutside() const;
    // Calls the ribbon callback `name` of the add-in by name, as Office does, with an
    // IRibbonControl of `controlId` (Tag as its definition gives it, or empty) and `context`;
    // answers its result. std::logic_error when no add-in has a ribbon, std::runtime_error when
    // the call fails.
    com::Variant CallRibbonCallback(const std::wstring& name, IDispatch* context, const std::wstring& controlId);

    // Outlook's send/receive: delivers what waits in the Outbox now.
    void SendAndReceive();

    // The user ticks or unticks the add-in in the COM add-ins list: false gives
    // OnDisconnection(ext_dm_UserClosed) and the add-in's release; true creates it again and
    // gives OnConnection(ext_cm_AfterStartup) (no OnStartupComplete). An entry that is only
    // listed (AddOtherAddIn) just changes its Connect flag.
    void SetAddinConnected(const std::wstring& progId, bool connected);
    // Runs a queued send/receive, closes the open inspectors (their items' Close cannot be
    // cancelled now), then the open explorers (firing Close for each), then gives every connected
    // add-in OnBeginShutdown, then every one OnDisconnection(ext_dm_HostShutdown), and releases
    // them.
    void ShutDown();
    // An entry of COMAddIns that is not loaded, for listing only.
    void AddOtherAddIn(const std::wstring& progId, const std::wstring& description, bool connected);
    // What NameSpace.ExchangeConnectionMode answers (Outlook 2003 and later); 0 at first.
    void SetExchangeConnectionMode(long mode);

    // Member `member` of every object of kind `kind` ("Application", "Explorers", "Explorer",
    // "Inspectors", "Inspector", "NameSpace", "COMAddIns", "COMAddIn", "MAPIFolder", "Items",
    // "MailItem", "Recipients", "Recipient", the other item classes ("PostItem",
    // "AppointmentItem", "ContactItem", "TaskItem", "JournalItem", "ReportItem", "MeetingItem"),
    // "StorageItem" for a hidden item, "RibbonControl", "Selection", and the explorers' and
    // inspectors' own command bars: "CommandBars", "CommandBar", "CommandBarControls",
    // "CommandBarButton", "CommandBarPopup"; Word's are Word::FailMember's) fails with
    // DISP_E_EXCEPTION carrying `hr` (as scode) and `description` in its EXCEPINFO. Names are
    // case-insensitive.
    // The private store interfaces the helper uses (sim_store.idl) take the same path: their
    // methods are members L"Store.<method>" of "MAPIFolder", the item kinds, "StorageItem" and
    // "Session" (L"Store.GetProperty", L"Store.Submit", L"Store.FlushOutbox"...), and fail with
    // `hr` itself. So does a subscription to the events of an object of a kind (its connection
    // point's Advise) when the member L"Advise" of the kind is set to fail; the calls recorder
    // does not list it.
    // Every member set to fail works again (and the faults of FailOnce not yet met go).
    void ClearFaults();
    // Events reach the sinks advised on an object last first (true) or in the order they
    // advised (false, the default): Outlook promises no order between the subscribers.
    void SetSinksLastFirst(bool lastFirst);
    void FailMember(const std::wstring& kind, const std::wstring& member, HRESULT hr,
                    const std::wstring& description);
    // The next call of the member fails as with FailMember; the calls after it work again.
    // Kinds as FailMember's, and "RibbonUI" for the IRibbonUI handed to onLoad.
    void FailOnce(const std::wstring& kind, const std::wstring& member, HRESULT hr,
                  const std::wstring& description);
    // A fault of FailOnce still waits for its call.
    bool FaultPending(const std::wstring& kind, const std::wstring& member) const;
    // The calls recorder: while on, each member called on Outlook's objects (and the private
    // store methods, and the IRibbonUI's members) is listed once as (kind, member), in the order
    // first seen (Outlook's objects first, then the IRibbonUI's). Whatever calls them counts:
    // switch it off around a test's own calls to list only an add-in's.
    void RecordCalls(bool on);
    bool RecordingCalls() const;
    std::vector<MemberCall> Calls() const;
    void ClearCalls();

    IDispatch* Application();  // no new reference
    const std::shared_ptr<Mailbox>& UserMailbox() const;

    // References to simulated objects held outside the simulator (by add-ins or tests), summed
    // over all live simulated objects, closed windows included while someone holds them.
    long ReferencesHeldOutside() const;
    // Which objects are held from outside, as "Kind xN, ..." (for failure messages).
    std::wstring DescribeHeldOutside() const;
    // What happened, in order: L"OnConnection <ProgID> <mode>", L"OnStartupComplete <ProgID>",
    // L"NewExplorer", L"Explorer.Activate", L"Explorer.Deactivate", L"Explorer.Close",
    // L"NewInspector", L"Item.Open", L"Item.Open cancelled", L"Inspector.Activate",
    // L"Inspector.Deactivate", L"Item.Close", L"Item.Close cancelled", L"Save prompt", L"Inspector.Close",
    // L"Invalidate", L"InvalidateControl <controlId>", L"Explorer.SelectionChange",
    // L"Click <tag>", L"Click ignored <tag>", L"Click ignored <popup>/<button>",
    // L"OnBeginShutdown <ProgID>", L"OnDisconnection <ProgID> <mode>",
    // L"Create failed <ProgID> 0x<hr>", L"OnConnection failed <ProgID> 0x<hr>", and for every
    // call into an add-in that answered a failure: L"Add-in call failed <what> 0x<hr>", <what>
    // being L"OnConnection <ProgID>", L"OnStartupComplete <ProgID>", L"OnBeginShutdown <ProgID>",
    // L"OnDisconnection <ProgID>", L"<Kind> event <dispid>" for an event sink's Invoke,
    // L"GetCustomUI <ribbonId>", L"onLoad <callback>", L"getVisible <callback> <controlId>" or
    // L"onAction <callback> <controlId>".
    const std::vector<std::wstring>& Log() const;

    // Lets add-ins (and their message loop yields) run: dispatches this thread's pending
    // window messages.
    void ProcessMessages();
    // A user action (or any other event source) that reaches Outlook through its message queue:
    // `action` runs when this thread's window messages are next dispatched, by whoever
    // dispatches them (a yield of an add-in, a modal dialog, ProcessMessages). This is how
    // Outlook's queued events arrive in the middle of an add-in's own work. An action that
    // throws logs L"Queued action failed".
    void Queue(std::function<void()> action);
    // Between StartUp and ShutDown.
    bool IsRunning() const;

private:
    std::unique_ptr<Host> host_;
};

}  // namespace vantrell::sim
