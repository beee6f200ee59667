#pragma once
// The state of one simulated Outlook session: its objects, its windows and the add-ins it loaded,
// with the bookkeeping of its objects (ObjectHome: the log, the members set to fail, every
// simulated object still alive).
#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim/outlook/mailbox.h"
#include "sim/outlook/objects.h"
#include "sim/outlook/outlook.h"
#include "sim/outlook/sim_object.h"

namespace vantrell::sim {

class Ribbons;

// What becomes of an item's unsaved changes when its window closes: Outlook's OlInspectorClose.
enum class SaveMode : long { Save = 0, Discard = 1, Prompt = 2 };

class Host : public ObjectHome {
public:
    Host(std::wstring version, std::shared_ptr<Mailbox> mailbox);
    ~Host() override;

    const std::wstring& Version() const noexcept { return version_; }
    bool OffersNewEvents() const noexcept { return major_ >= 10; }
    long ExchangeConnectionMode() const noexcept { return exchangeMode_; }
    void SetExchangeConnectionMode(long mode) noexcept { exchangeMode_ = mode; }

    const std::shared_ptr<Mailbox>& UserMailbox() const noexcept { return mailbox_; }
    StoreData& Store() const noexcept { return mailbox_->Data(); }

    ApplicationObject* Application() const noexcept { return application_.Get(); }
    ExplorersObject* Explorers() const noexcept { return explorers_.Get(); }
    InspectorsObject* Inspectors() const noexcept { return inspectors_.Get(); }
    NameSpaceObject* Session() const noexcept { return session_.Get(); }
    AddInsObject* AddIns() const noexcept { return addIns_.Get(); }

    // ---- the session ----
    bool Running() const noexcept { return running_; }
    void StartUp(Start how);
    void ShutDown();
    // Runs `action` when this thread's window messages are next dispatched.
    void Queue(std::function<void()> action);

    // ---- mail ----
    // Delivers the Outbox now.
    void SendAndReceive();
    // Outlook sends what the user sent at its next chance: a send/receive queued on the message
    // queue (one at a time), run at the latest when Outlook shuts down.
    void ScheduleSendReceive();

    // ---- windows ----
    const std::vector<Owned<ExplorerObject>>& OpenExplorers() const noexcept { return openExplorers_; }
    const std::vector<Owned<InspectorObject>>& OpenInspectors() const noexcept { return openInspectors_; }
    ExplorerObject* ActiveExplorer() const noexcept { return activeExplorer_; }
    ExplorerObject* FindExplorer(int handle) const;
    InspectorObject* FindInspector(int handle) const;
    int MainExplorer() const noexcept { return mainExplorer_; }
    int StartInspector() const noexcept { return startInspector_; }
    // Both return the new window's handle. `announce`: fire NewExplorer / NewInspector (then the
    // item's Open) and activate as a window the user opens (not for the window Outlook starts
    // with).
    int OpenExplorer(bool activeAtOnce, bool announce, std::wstring caption);
    void Activate(ExplorerObject* explorer);
    void Close(ExplorerObject* explorer);
    // An inspector on `message`, or on a new unsent mail message when there is none.
    int OpenInspector(bool announce, std::wstring caption, std::shared_ptr<MessageData> message = nullptr);
    // An inspector on the stored item of this entry ID (std::out_of_range when there is none).
    int OpenItem(const std::wstring& entryId);
    void Activate(InspectorObject* inspector);
    // Fires the item's Close (a handler may cancel it unless `forced`), then saves the item
    // (Save) or drops its unsaved changes (Discard; Prompt logs L"Save prompt" first when it has
    // any: no one is there to answer), then fires Inspector.Close.
    void Close(InspectorObject* inspector, SaveMode mode, bool forced = false);

    // ---- command bars and WordMail ----
    // Mail-item inspectors opened from now on are edited in Word (`use`), which shows them the
    // bars of `word` while it runs.
    void UseWordMail(std::weak_ptr<word::WordHost> word, bool use);
    void SetStandardBarHidden(bool hidden) noexcept { standardBarHidden_ = hidden; }
    // The open inspector showing this item object, or nullptr.
    InspectorObject* InspectorShowing(const ItemObject* item) const;
    // The user clicks the button tagged `tag` on the inspector's "Standard" bar.
    void ClickButton(InspectorObject* inspector, const std::wstring& tag);
    // The user clicks the button tagged `tag` on a bar of the explorer, or the button `button`
    // in the menu of the popup `popup` there (see ClickMenuButton in command_bars.h).
    void ClickButton(ExplorerObject* explorer, const std::wstring& bar, const std::wstring& tag);
    void ClickMenuButton(ExplorerObject* explorer, const std::wstring& bar, const std::wstring& popup,
                         const std::wstring& button);

    // ---- the explorers' selection ----
    // The user selects these items in the explorer: SelectionChange fires when that changes what
    // is selected.
    void Select(ExplorerObject* explorer, std::vector<std::shared_ptr<MessageData>> items);
    // The user deletes the stored item for good: its open items fail from now on, and it leaves
    // every selection (SelectionChange fires on each explorer it was selected in).
    void DeleteItem(const std::shared_ptr<MessageData>& message);

    // ---- the ribbon (Outlook 2007 and later) ----
    Ribbons& Ribbon() const noexcept { return *ribbons_; }

    // An entry point of an add-in that Outlook called answered `hr`: a failure is logged as
    // L"Add-in call failed <what> 0x<hr>" (Outlook itself would go on).
    void NoteAddInCall(const std::wstring& what, HRESULT hr);

    // ---- add-ins ----
    const std::vector<Owned<AddInObject>>& AddInEntries() const noexcept { return addInEntries_; }
    AddInObject* FindAddIn(const std::wstring& progId) const;
    void AddListedAddIn(const std::wstring& progId, const std::wstring& description, bool connected);
    // The user ticks or unticks the add-in in the COM add-ins list (or a client sets Connect).
    void SetConnected(AddInObject* addIn, bool connected);

private:
    // Every open window's own command bars: what hears a click.
    std::vector<CommandBarsObject*> AllBars() const;
    void Clicked(bool clicked, const std::wstring& what);
    static LRESULT CALLBACK QueueProcedure(HWND window, UINT message, WPARAM w, LPARAM l);
    void LoadAddIns();
    bool Connect(AddInObject* addIn, ext_ConnectMode mode);
    void Disconnect(AddInObject* addIn, ext_DisconnectMode mode);
    void RequireRunning() const;

    std::wstring version_;
    int major_;
    long exchangeMode_ = 0;
    bool running_ = false;
    bool started_ = false;
    std::shared_ptr<Mailbox> mailbox_;

    Owned<ApplicationObject> application_;
    Owned<ExplorersObject> explorers_;
    Owned<InspectorsObject> inspectors_;
    Owned<NameSpaceObject> session_;
    Owned<AddInsObject> addIns_;

    std::vector<Owned<ExplorerObject>> openExplorers_;
    std::vector<Owned<InspectorObject>> openInspectors_;
    ExplorerObject* activeExplorer_ = nullptr;    // one of openExplorers_, or none
    InspectorObject* activeInspector_ = nullptr;  // one of openInspectors_, or none
    int lastExplorerHandle_ = 0;
    int lastInspectorHandle_ = 0;
    int mainExplorer_ = 0;
    int startInspector_ = 0;
    std::vector<Owned<AddInObject>> addInEntries_;
    std::unique_ptr<Ribbons> ribbons_;

    std::weak_ptr<word::WordHost> word_;
    bool useWordMail_ = false;
    bool standardBarHidden_ = false;

    HWND queueWindow_ = nullptr;  // message-only, made at the first Queue
    std::deque<std::function<void()>> queued_;
    bool sendReceiveQueued_ = false;
};

}  // namespace vantrell::sim
