#pragma once
// The simulated Word, as tests drive it: start (it becomes the running Word that
// GetActiveObject finds through the ProgID "Word.Application"), documents opened, activated and
// closed by the user, clicks on the command bars all its windows share, quit, fault injection,
// and what a test can check afterwards: the log, the Normal template's Saved flag, the bars, and
// the references to its objects held outside the simulator.
//
// The object model (see word_objects.h): Application (Name "Microsoft Word", Version,
// ActiveDocument, which raises Word's 4248 "This command is not available because no document
// is open." when none is, ActiveWindow, CommandBars, NormalTemplate), Document (Name, Email,
// CommandBars, AttachedTemplate, ActiveWindow, Activate), Window (Caption, Document, Activate),
// Email (CurrentEmailAuthor: an EmailAuthor object with Signature and Style for a message being
// written; raises Word's 4605 for any other document, a received message read in Word too, as
// Word documents it valid for a message being composed only), Template (Name "Normal.dot",
// FullName, Saved get/put), and the command bars of command_bars.h ("Standard": &New,
// &Open..., &Save, &Print; "Formatting": &Bold, &Italic, &Underline). A client's customisation
// of the bars (Controls.Add, a control's Delete, a put on a bar or a control) leaves the Normal
// template unsaved, as Word does.
//
// Application publishes ApplicationEvents2 (Word 2000, "9.0"), also ApplicationEvents3 from
// Word 2002 ("10.0") and ApplicationEvents4 from Word 2003 ("11.0"); WindowActivate (DISPID 10)
// fires with (Doc, Wn) whenever a document's window becomes the active one, Quit (DISPID 2) as
// Word quits.
#include <windows.h>
#include <oaidl.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/office/command_bars.h"
#include "sim/word/word_objects.h"

namespace vantrell::sim {

namespace word {
class WordHost;
}

class Word {
public:
    explicit Word(std::wstring version = L"11.0");
    ~Word();  // quits if running; objects still held elsewhere are cut off (RPC_E_DISCONNECTED)
    Word(const Word&) = delete;
    Word& operator=(const Word&) = delete;

    // Word is running: its Application is registered as the active object of Word.Application's
    // class {000209FF-0000-0000-C000-000000000046}, and the ProgID maps to that class for the
    // current user (HKCU\Software\Classes\Word.Application\CLSID; under Wine, whose classes root
    // does not show the user's classes, HKLM\Software\Classes too). Only keys it created are
    // removed again at Quit. Starts once only (std::logic_error the second time).
    void Start();
    // Fires Quit (DISPID 2 of ApplicationEvents2 and later), closes every document (no events),
    // revokes the registration; every call on Word's objects fails from now on with
    // RPC_E_DISCONNECTED, while references still held count on. Another Word started after it
    // is the running Word.Application from then on.
    void Quit();
    // Word's process ends without quitting (ended from the task manager, or crashed): the same
    // without the Quit event, its calls failing with 0x800706BA "The RPC server is unavailable".
    void EndProcess();
    bool Running() const;

    // The user opens a document (`email`: an e-mail message being written) in a new window,
    // which becomes the active one: WindowActivate fires with it. Returns its handle. Word must
    // be running.
    int OpenDocument(const std::wstring& name, bool email);
    int OpenDocument(const std::wstring& name, word::DocumentKind kind);
    // WindowActivate fires for the document unless its window already is the active one.
    void ActivateDocument(int document);
    // Closes the document and its window (its objects raise 5825 "Object has been deleted."
    // from now on); when it was the active one, the most recently opened other document becomes
    // active (WindowActivate fires for it).
    void CloseDocument(int document);
    // The document behind a handle (no new reference); std::out_of_range once it has closed.
    IDispatch* Document(int document) const;
    IDispatch* Application() const;  // no new reference

    bool TemplateSaved() const;
    void SetTemplateSaved(bool saved);
    // The controls of one of the shared bars, in order (std::out_of_range for no such bar).
    std::vector<ControlInfo> BarControls(const std::wstring& bar = L"Standard") const;
    bool BarVisible(const std::wstring& bar = L"Standard") const;
    // The user clicks the button tagged `tag` on the "Standard" bar (see ClickButton in
    // command_bars.h): logs L"Click <tag>", or L"Click ignored <tag>" when there is no visible,
    // enabled button with that tag on a visible bar. Word must be running.
    void ClickButton(const std::wstring& tag);

    // Member `member` of every object of kind `kind` ("Application", "Document", "Email",
    // "Template", "Window", "CommandBars", "CommandBar", "CommandBarControls",
    // "CommandBarButton", "CommandBarPopup") fails with DISP_E_EXCEPTION carrying `hr` and
    // `description`.
    void FailMember(const std::wstring& kind, const std::wstring& member, HRESULT hr,
                    const std::wstring& description);
    // Every member set to fail works again (and the faults of FailOnce not yet met go).
    void ClearFaults();
    // The next call of the member fails as with FailMember; the calls after it work again.
    void FailOnce(const std::wstring& kind, const std::wstring& member, HRESULT hr,
                  const std::wstring& description);
    // A fault of FailOnce still waits for its call.
    bool FaultPending(const std::wstring& kind, const std::wstring& member) const;
    // The calls recorder: while on, each member called on Word's objects is listed once as
    // (kind, member), in the order first seen.
    void RecordCalls(bool on);
    const std::vector<MemberCall>& Calls() const;
    void ClearCalls();
    long ReferencesHeldOutside() const;
    // Which objects are held from outside, as "Kind xN, ..." (for failure messages).
    std::wstring DescribeHeldOutside() const;
    // What happened, in order: L"Start", L"Document.Open <name>", L"WindowActivate <name>",
    // L"Document.Close <name>", L"Click <tag>", L"Click ignored <tag>", L"Quit", and
    // L"Add-in call failed <Kind> event <dispid> 0x<hr>" for an event sink that answered a failure.
    const std::vector<std::wstring>& Log() const;

    // The state behind this Word, for the simulated Outlook's WordMail; it ends with this Word.
    std::weak_ptr<word::WordHost> State() const { return host_; }

private:
    std::shared_ptr<word::WordHost> host_;
};

}  // namespace vantrell::sim
