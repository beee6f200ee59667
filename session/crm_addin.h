#pragma once
// CRMAddIn: the session controller ("Vantrell.CRMAddIn"). One per add-in connection; it
// starts the logging session when Outlook has an explorer (InitHandler) and stops it when
// the windows are gone (UnInitHandler), and may go through several such cycles.
#include <string>
#include <string_view>

#include "platform/type_library.h"
#include "platform/com_object.h"
#include "platform/events.h"
#include "platform/failure.h"
#include "platform/late_bound.h"
#include "platform/typelib_dispatch.h"
#include "session/explorer_wrap.h"

namespace vantrell {

class CRMAddIn : public com::Object<com::TypeLibDispatch<_CRMAddIn>> {
public:
    CRMAddIn();
    ~CRMAddIn() override;

    bool Initialized() const noexcept { return mblnInitialized; }
    // True while UnInitHandler runs (Initialized is already False then): its yields let
    // Outlook's queued events in, and none of them may start the controller again meanwhile.
    bool Stopping() const noexcept { return stopping_; }
    // The helper utilities object (empty when it could not be created).
    com::LateBound Utils() const { return mobjUtils; }

    void InitHandler(const com::Ptr<IDispatch>& application);
    void UnInitHandler();

    // Logging one message: a forward of `item` (an Outlook mail item), stamped with the source
    // message's metadata and the user's identifiers as X-headers, sent to the logging agent.
    // True when it was sent; otherwise `reason` (when given) says why not.
    bool ForwardToEmailAgent(const com::LateBound& item, Failure* reason = nullptr);
    // The message's Internet message id, or its EntryID where it has none (a message not yet
    // sent): the id the forward's X-Quorvanes-OriginalMessageID header gives. Empty when
    // neither can be read.
    static std::wstring OriginalMessageID(const com::LateBound& item);
    // Writes the header "X-Quorvanes-<name>" on the message a helper mail item wraps; true when
    // it was written. CR and LF runs in `value` become one space: a value never starts a new
    // header line.
    static bool AddXHeader(const com::LateBound& helperItem, std::wstring_view name, std::wstring_view value);
    // Takes a header AddXHeader wrote off the helper item's message again; true when it is gone.
    static bool RemoveXHeader(const com::LateBound& helperItem, std::wstring_view name);
    // Whether the message a helper mail item wraps was received (it carries transport headers
    // or the message-to-me property) rather than composed here.
    static bool IsIncoming(const com::LateBound& helperItem);
    // "Tue, 5 Jan 2010 14:03:09 +0000": the date as stored (UTC), with the English names a mail
    // header needs whatever the user's language; empty for a value that is no date.
    static std::wstring FormatRFC822Date(double date);

    // Marks Word's template as saved after the add-in changed its shared bar, so that Word
    // does not ask the user to save it.
    void SetWMTemplateState();

private:
    // Following Outlook's windows and Word's.
    void mcolExpl_NewExplorer(const com::EventArgs& args);
    void mobjExpl_Close(const com::EventArgs& args);
    void mcolInsp_NewInspector(const com::EventArgs& args);
    void mobjInsp_Close(const com::EventArgs& args);
    void mappWd_WindowActivate(const com::EventArgs& args);
    void mappWd_Quit(const com::EventArgs& args);

    bool mblnInitialized = false;
    bool stopping_ = false;
    com::LateBound mobjUtils;
    com::WithEvents mobjExpl;
    com::WithEvents mcolExpl;
    com::WithEvents mobjInsp;
    com::WithEvents mcolInsp;
    com::WithEvents mappWd;
    // The add-in's menu in each open explorer while the session runs.
    ExplorerMenus explorerMenus_;
};

}  // namespace vantrell
