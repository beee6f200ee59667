#pragma once
// The simulated Outlook's object model. Every object is a view on the host's state: the host
// holds the windows and the add-ins, the objects answer by name what Outlook's objects answer.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "office.h"
#include "platform/com_ptr.h"
#include "sim/office/command_bars.h"
#include "sim/outlook/item_objects.h"
#include "sim/outlook/outlook_object.h"

namespace vantrell::sim {

namespace word {
class WordHost;
}

// The published event interfaces and their DISPIDs.
extern const IID IID_ExplorersEvents;
extern const IID IID_ExplorerEvents;
extern const IID IID_ExplorerEvents_10;
extern const IID IID_InspectorsEvents;
extern const IID IID_InspectorEvents;
extern const IID IID_InspectorEvents_10;
constexpr DISPID kNewWindow = 0xF001;  // NewExplorer, NewInspector
constexpr DISPID kActivate = 0xF001;
constexpr DISPID kDeactivate = 0xF006;
constexpr DISPID kClose = 0xF008;
constexpr DISPID kSelectionChange = 0xF007;  // ExplorerEvents.SelectionChange

class ApplicationObject : public OutlookObject {
public:
    explicit ApplicationObject(Host* host);
};

class ExplorersObject : public OutlookObject {
public:
    explicit ExplorersObject(Host* host);
};

class InspectorsObject : public OutlookObject {
public:
    explicit InspectorsObject(Host* host);
};

class NameSpaceObject : public OutlookObject {
public:
    // ExchangeConnectionMode exists from Outlook 2003 (version 11) on.
    NameSpaceObject(Host* host, int major);
};

// An explorer or an inspector: a window with a caption that can be activated and closed.
class WindowObject : public OutlookObject {
public:
    WindowObject(Host* host, const wchar_t* kind, int handle, std::wstring caption);
    ~WindowObject() override;
    int Handle() const noexcept { return handle_; }
    bool IsOpen() const noexcept { return open_; }
    void MarkClosed() noexcept { open_ = false; }

    // The window's handle, as IOleWindow::GetWindow gives it (a real window of this thread, so
    // that it can own modal boxes: it is disabled while one is up); null once it has closed.
    HWND Window() const noexcept { return window_; }
    // A window that a modal box owns (disabled) takes no clicks.
    bool TakesClicks() const noexcept { return !window_ || IsWindowEnabled(window_); }
    void DestroyWindow() noexcept;
    // Also IOleWindow, as Outlook's explorers and inspectors answer it.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override;

protected:
    // Raises the error a call on a closed window gets.
    void RequireOpen() const;

private:
    int handle_;
    std::wstring caption_;
    bool open_ = true;
    HWND window_ = nullptr;
};

// A folder window: CommandBars answers its own set ("Menu Bar", "Standard", "Advanced"),
// Selection a new Selection of the items selected in it now. `newEvents`: the window also
// publishes the _10 event interface (Outlook 2002 and later).
class ExplorerObject : public WindowObject {
public:
    ExplorerObject(Host* host, int handle, std::wstring caption, bool newEvents);

    CommandBarsObject* Bars() const noexcept { return bars_.Get(); }
    void SetBars(Owned<CommandBarsObject> bars) { bars_ = std::move(bars); }
    // The window has closed: its bars go with it.
    void CloseBars() noexcept {
        if (bars_) bars_->Close();
    }
    // The items selected in the window, in order.
    const std::vector<std::shared_ptr<MessageData>>& Selected() const noexcept { return selected_; }
    void SetSelected(std::vector<std::shared_ptr<MessageData>> selected) { selected_ = std::move(selected); }

private:
    Owned<CommandBarsObject> bars_;
    std::vector<std::shared_ptr<MessageData>> selected_;
};

// Explorer.Selection (kind "Selection"): the items selected in the explorer when it was asked
// for, whatever is selected later. Count, Item(Index: 1-based; a number out of 1 to Count fails
// with DISP_E_BADINDEX "Array index out of bounds."), _NewEnum, Class (olSelection 74), Parent
// (the explorer), Application, Session. Item and the enumerator hand out a new item object each
// time; the item of a message deleted since fails as every deleted item does.
class SelectionObject : public OutlookObject {
public:
    SelectionObject(Host* host, ExplorerObject* explorer);

private:
    Owned<ExplorerObject> explorer_;
    std::vector<std::shared_ptr<MessageData>> items_;
};

// An item window: CurrentItem answers its item until it has closed. CommandBars answers the
// window's own set, or, for a WordMail window opened while Word ran, the running Word's shared
// set. IsWordMail answers whether the item is edited in Word.
class InspectorObject : public WindowObject {
public:
    InspectorObject(Host* host, int handle, std::wstring caption, bool newEvents, Owned<ItemObject> item,
                    bool wordMail);
    ItemObject* Item() const noexcept { return item_.Get(); }
    void ReleaseItem() noexcept { item_.Reset(); }
    bool IsWordMail() const noexcept { return wordMail_; }

    // The window's own command bars (none for a window that shows Word's).
    void SetOwnBars(Owned<CommandBarsObject> bars) { bars_ = std::move(bars); }
    // The window shows the bars of `word`; `document` is the e-mail document Word opened for it.
    void UseWordBars(std::weak_ptr<word::WordHost> word) { word_ = std::move(word); }
    void SetWordDocument(int document) noexcept { wordDocument_ = document; }
    const std::weak_ptr<word::WordHost>& Word() const noexcept { return word_; }
    int WordDocument() const noexcept { return wordDocument_; }
    // The bars the window shows, or nullptr when they have gone with Word.
    CommandBarsObject* Bars() const;
    // The window has closed: its own bars go with it.
    void CloseBars() noexcept;


private:
    Owned<ItemObject> item_;
    bool wordMail_;
    Owned<CommandBarsObject> bars_;
    std::weak_ptr<word::WordHost> word_;
    int wordDocument_ = 0;
};

class AddInsObject : public OutlookObject {
public:
    explicit AddInsObject(Host* host);
};

// One entry of COMAddIns: an add-in of Outlook's add-in key (loadable by ProgID), or one that
// is only listed.
class AddInObject : public OutlookObject {
public:
    AddInObject(Host* host, std::wstring progId, std::wstring description, bool loadable);

    const std::wstring& ProgId() const noexcept { return progId_; }
    bool Loadable() const noexcept { return loadable_; }
    bool Connected() const noexcept { return connected_; }
    void SetListedConnected(bool connected) noexcept { connected_ = connected; }
    const com::Ptr<_IDTExtensibility2>& Instance() const noexcept { return instance_; }

    // The add-in is being connected (its object is known from now on) or has been disconnected.
    void Attach(com::Ptr<_IDTExtensibility2> instance);
    com::Ptr<_IDTExtensibility2> Detach() noexcept;

private:
    std::wstring progId_;
    std::wstring description_;
    bool loadable_;
    bool connected_ = false;
    com::Ptr<_IDTExtensibility2> instance_;
    com::Ptr<IDispatch> object_;  // what Object returns while connected
};

}  // namespace vantrell::sim
