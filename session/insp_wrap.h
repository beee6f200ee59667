#pragma once
// InspWrap: the companion of one open mail window ("Vantrell.InspWrap") on hosts where the
// commands are command-bar buttons. It holds the window's inspector and item with their
// events, puts the button of the command the item is for (session/command_table.h: "Log
// Message" or "Send && Log") into the window's "Standard" bar when the item opens, hears the
// button's clicks, and takes itself out of the session's wrapper collection when the window
// closes.
#include <array>
#include <string>

#include "platform/type_library.h"
#include "platform/com_object.h"
#include "platform/events.h"
#include "platform/office_ids.h"
#include "platform/typelib_dispatch.h"
#include "session/command_table.h"

namespace vantrell {

class InspWrap : public com::Object<com::TypeLibDispatch<_InspWrap>> {
public:
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
    // The command's button in this window's bar (empty when it has none).
    const com::Ptr<IDispatch>& Button(ItemCommand command) const noexcept { return Field(command).Object(); }
    // The bar this wrapper's button sits in (empty when it has none).
    com::Ptr<IDispatch> ButtonBar() const;

    // Word's bar, shared by the WordMail windows, may hold both kinds of button, each made for
    // another window (a message being written beside one read): when the last of those windows
    // goes, every button of ours goes from it.
    static void DeleteOursFromBar(const com::Ptr<IDispatch>& bar);

    // The command has worked on this window's message: a button that spends itself is spent.
    void MarkLogged() noexcept { logged_ = true; }

    // After the user signs out the window's buttons are hidden; after signing in again they
    // show (made now for a window opened while signed out). A closing window is left alone.
    void ShowButtons(bool shown);

private:
    void mobjInsp_Activate(const com::EventArgs& args);
    void mobjInsp_Close(const com::EventArgs& args);
    void mobjMail_Open(const com::EventArgs& args);
    void mobjMail_Close(const com::EventArgs& args);
    void mobjPost_Close(const com::EventArgs& args);
    void mobjAppt_Close(const com::EventArgs& args);
    void mobjContact_Close(const com::EventArgs& args);
    void mobjJournal_Close(const com::EventArgs& args);
    // A button's click (the design's mcbbEmailLog_Click and mcbbSendAndLog_Click): the command
    // runs only for the wrapper whose key the button carries.
    void ButtonClicked(ItemCommand command, const com::EventArgs& args);
    // Puts the buttons of the commands offered for the window's item into its "Standard" bar.
    void PutButtons();
    // Makes the command's button in `bar`, or claims the one already there.
    void PutButton(const CommandDefinition& definition, com::LateBound& bar);
    // Deletes the command buttons from their bars, in the records' order.
    void DeleteButtons();

    // Sets a with-events field to an object handed in through the published interface.
    static HRESULT Assign(com::WithEvents& field, IDispatch* object) noexcept;

    com::WithEvents mobjInsp;
    com::WithEvents mobjMail;
    com::WithEvents mobjPost;
    com::WithEvents mobjAppt;
    com::WithEvents mobjContact;
    com::WithEvents mobjTask;
    com::WithEvents mobjJournal;
    // One button field per command, in the records' order: the design's mcbbEmailLog (Log
    // Message) and mcbbSendAndLog (Send && Log).
    struct ButtonField {
        com::WithEvents events{office::kCommandBarButtonEvents};
    };
    std::array<ButtonField, kItemCommandCount> buttons_;
    com::WithEvents& Field(ItemCommand command) noexcept { return buttons_[static_cast<size_t>(command)].events; }
    const com::WithEvents& Field(ItemCommand command) const noexcept {
        return buttons_[static_cast<size_t>(command)].events;
    }
    std::wstring mstrID;
    // Set when the window starts closing: events that still arrive then change nothing.
    bool closing_ = false;
    // This window's message has been logged: its Log Message button is spent. Word's shared
    // button shows the state of the message in front, so the wrapper claiming it sets it.
    bool logged_ = false;
};

}  // namespace vantrell
