#pragma once
// InspWrap: the companion of one open mail window ("Vantrell.InspWrap") on hosts where the
// commands are command-bar buttons. It holds the window's inspector and item with their
// events, puts the "Log Message" or "Send && Log" button into the window's "Standard" bar
// when the item opens, hears the button's clicks, and takes itself out of the session's
// wrapper collection when the window closes.
#include <string>

#include "platform/type_library.h"
#include "platform/com_object.h"
#include "platform/events.h"
#include "platform/typelib_dispatch.h"

namespace vantrell {

class InspWrap : public com::Object<com::TypeLibDispatch<_InspWrap>> {
public:
    // The buttons' tags: they tell the add-in's controls from all others in a bar.
    static constexpr const wchar_t* kEmailLogTag = L"CRM.EmailLog";
    static constexpr const wchar_t* kSendAndLogTag = L"CRM.SendAndLog";

    InspWrap();
    ~InspWrap() override;

    // _InspWrap, in its published order.
    STDMETHODIMP putref_MailItem(IDispatch* objMail) noexcept override;
    STDMETHODIMP putref_PostItem(IDispatch* objPost) noexcept override;
    STDMETHODIMP putref_TaskItem(IDispatch* objTask) noexcept override;
    STDMETHODIMP putref_AppointmentItem(IDispatch* objAppt) noexcept override;
    STDMETHODIMP putref_ContactItem(IDispatch* objContact) noexcept override;
    STDMETHODIMP putref_JournalItem(IDispatch* objJournal) noexcept override;
    STDMETHODIMP putref_Inspector(IDispatch* objInspector) noexcept override;
    STDMETHODIMP get_Inspector(IDispatch** objInspector) noexcept override;
    STDMETHODIMP put_Key(BSTR strID) noexcept override;
    STDMETHODIMP get_Key(BSTR* strID) noexcept override;

    const std::wstring& Key() const noexcept { return mstrID; }
    const com::Ptr<IDispatch>& Inspector() const noexcept { return mobjInsp.Object(); }
    const com::Ptr<IDispatch>& Mail() const noexcept { return mobjMail.Object(); }
    const com::Ptr<IDispatch>& EmailLogButton() const noexcept { return mcbbEmailLog.Object(); }
    const com::Ptr<IDispatch>& SendAndLogButton() const noexcept { return mcbbSendAndLog.Object(); }
    // The bar this wrapper's button sits in (empty when it has none).
    com::Ptr<IDispatch> ButtonBar() const;

    // Word's bar, shared by the WordMail windows, may hold both kinds of button, each made for
    // another window (a message being written beside one read): when the last of those windows
    // goes, every button of ours goes from it.
    static void DeleteOursFromBar(const com::Ptr<IDispatch>& bar);

    // The commands behind the two buttons live in a layer above this one (commands/), which
    // hands them in before the first wrapper is made; until then a click does nothing.
    using ButtonCommand = void (*)(InspWrap& wrapper, IDispatch* ctrl);
    static void SetButtonCommands(ButtonCommand emailLog, ButtonCommand sendAndLog) noexcept;

    // This window's message has been logged (its Log Message button is spent).
    void MarkLogged() noexcept { mblnLogged = true; }

private:
    void mobjInsp_Activate(const com::EventArgs& args);
    void mobjInsp_Close(const com::EventArgs& args);
    void mobjMail_Open(const com::EventArgs& args);
    void mobjMail_Close(const com::EventArgs& args);
    void mobjPost_Close(const com::EventArgs& args);
    void mobjAppt_Close(const com::EventArgs& args);
    void mobjContact_Close(const com::EventArgs& args);
    void mobjJournal_Close(const com::EventArgs& args);
    void mcbbEmailLog_Click(const com::EventArgs& args);
    void mcbbSendAndLog_Click(const com::EventArgs& args);
    // Both click handlers: the command runs only for the wrapper whose key the button carries.
    void OnOwnClick(const com::EventArgs& args, ButtonCommand command);

    // Sets a with-events field to an object handed in through the published interface.
    static HRESULT Assign(com::WithEvents& field, IDispatch* object) noexcept;

    com::WithEvents mobjInsp;
    com::WithEvents mobjMail;
    com::WithEvents mobjPost;
    com::WithEvents mobjAppt;
    com::WithEvents mobjContact;
    com::WithEvents mobjTask;
    com::WithEvents mobjJournal;
    com::WithEvents mcbbEmailLog;
    com::WithEvents mcbbSendAndLog;
    std::wstring mstrID;
    // Set when the window starts closing: events that still arrive then change nothing.
    bool mblnClosing = false;
    // This window's message has been logged: its Log Message button is spent. Word's shared
    // button shows the state of the message in front, so the wrapper taking it over sets it.
    bool mblnLogged = false;
};

}  // namespace vantrell
