#pragma once
// The state of one simulated Word: its application object, its documents and their windows,
// the command bars all its windows share, the Normal template, and its registration as the
// running Word (the active object of Word.Application's class).
#include <windows.h>

#include <string>
#include <vector>

#include "sim/office/command_bars.h"
#include "sim/outlook/sim_object.h"
#include "sim/word/word_objects.h"

namespace vantrell::sim::word {

// The class of Word.Application.
extern const CLSID CLSID_WordApplication;

class WordHost : public ObjectHome {
public:
    explicit WordHost(std::wstring version);
    ~WordHost() override;

    const std::wstring& Version() const noexcept { return version_; }
    bool Running() const noexcept { return running_; }
    void Start();
    void Quit();
    // The process ends without quitting (killed, or crashed): no Quit event, and calls fail
    // with 0x800706BA "The RPC server is unavailable".
    void EndProcess();

    ApplicationObject* Application() const noexcept { return application_.Get(); }
    CommandBarsObject* Bars() const noexcept { return bars_.Get(); }
    TemplateObject* NormalTemplate() const noexcept { return template_.Get(); }
    bool TemplateSaved() const noexcept { return templateSaved_; }
    void SetTemplateSaved(bool saved) noexcept { templateSaved_ = saved; }

    // ---- documents ----
    const std::vector<Owned<DocumentObject>>& Documents() const noexcept { return documents_; }
    DocumentObject* ActiveDocument() const noexcept { return active_; }
    // The open document behind a handle; std::out_of_range once it has closed.
    DocumentObject* Find(int handle) const;
    // A new document in a new window, which becomes the active one (WindowActivate fires).
    int Open(std::wstring name, DocumentKind kind);
    // The same without the activation (Outlook binds its window to the document first).
    int Create(std::wstring name, DocumentKind kind);
    // Makes the document's window the active one (WindowActivate fires unless it already was).
    void Activate(DocumentObject* document);
    // Closes the document and its window; the most recently opened other one becomes active.
    void Close(DocumentObject* document);

    // The user clicks the button tagged `tag` on the shared "Standard" bar (see ClickButton in
    // command_bars.h); false when there was nothing to click.
    bool Click(const std::wstring& tag);

    void RequireRunning() const;

private:
    void Register();
    void Withdraw() noexcept;
    void Stop(HRESULT disconnectedWith);

    std::wstring version_;
    bool running_ = false;
    bool started_ = false;
    bool templateSaved_ = true;
    Owned<ApplicationObject> application_;
    Owned<CommandBarsObject> bars_;
    Owned<TemplateObject> template_;
    std::vector<Owned<DocumentObject>> documents_;
    DocumentObject* active_ = nullptr;  // one of documents_, or none
    int lastHandle_ = 0;

    DWORD registration_ = 0;       // the active-object registration, 0 when none
    long registrationRefs_ = 0;    // the references the running object table holds
    std::vector<HKEY> progIdRoots_;  // where this Word created the ProgID's key
};

}  // namespace vantrell::sim::word
