#pragma once
// Connect: the object Outlook loads as the add-in ("Vantrell.Connect"). It reads the
// settings, creates the session controller and starts or stops it as Outlook's explorer
// windows come and go; it tears everything down when Outlook unloads the add-in or the user
// turns out not to be logged on.
#include <string>
#include <string_view>

#include "platform/type_library.h"
#include "platform/com_object.h"
#include "platform/events.h"
#include "platform/late_bound.h"
#include "platform/typelib_dispatch.h"
#include "session/command_table.h"

namespace vantrell {

// The default logon page of the service.
inline constexpr const wchar_t* kDefaultSynchURL = L"https://crm.quorvane.com/outlook/default.asp";
inline constexpr const wchar_t* kSettingsKey = L"Software\\Quorvane\\Outlook\\History";

// Its IDispatch comes from the type library: each of the three interfaces it hands out answers
// the members of all three by name, as Office calls the ribbon's callbacks through the pointer
// it got the definition from (platform/typelib_dispatch.h tells overlapping DISPIDs apart).
class Connect : public com::Object<com::TypeLibDispatch<_Connect, _IDTExtensibility2, IRibbonExtensibility>> {
public:
    Connect();
    ~Connect() override;

    // The add-in connection events.
    void AddinInstance_OnConnection(const com::Ptr<IDispatch>& application);
    void AddinInstance_OnDisconnection();
    void AddinInstance_OnBeginShutdown();

    // _IDTExtensibility2
    STDMETHODIMP OnConnection(IDispatch* application, ext_ConnectMode mode, IDispatch* addInInst,
                              SAFEARRAY** custom) noexcept override;
    STDMETHODIMP OnDisconnection(ext_DisconnectMode mode, SAFEARRAY** custom) noexcept override;
    STDMETHODIMP OnAddInsUpdate(SAFEARRAY** custom) noexcept override;
    STDMETHODIMP OnStartupComplete(SAFEARRAY** custom) noexcept override;
    STDMETHODIMP OnBeginShutdown(SAFEARRAY** custom) noexcept override;

    // IRibbonExtensibility: the ribbon definition for one kind of window (connect/ribbon.cpp).
    STDMETHODIMP GetCustomUI(BSTR RibbonID, BSTR* RibbonXml) noexcept override;

    // _Connect: the ribbon's callbacks (connect/ribbon.cpp), answered from the command table
    // (session/command_table.h); the clicks run the commands' ribbon forms.
    STDMETHODIMP Ribbon_OnLoad(IDispatch* Ribbon) noexcept override;
    STDMETHODIMP QuorvaneGroup_GetVisible(IDispatch* control, VARIANT_BOOL* visible) noexcept override;
    STDMETHODIMP SendAndLog_GetVisible(IDispatch* control, VARIANT_BOOL* visible) noexcept override;
    STDMETHODIMP LogMessage_GetVisible(IDispatch* control, VARIANT_BOOL* visible) noexcept override;
    STDMETHODIMP SendAndLog_OnClick(IDispatch* control) noexcept override;
    STDMETHODIMP LogMessage_OnClick(IDispatch* control) noexcept override;

    // The ribbon definition of the add-in's group on the tab `tab`.
    static std::wstring BuildRibbonXml(std::wstring_view tab);
    // The definition for a ribbon id: empty for the ids the add-in leaves alone.
    static std::wstring IRibbonExtensibility_GetCustomUI(std::wstring_view ribbonId);

private:
    // Outlook may release the add-in while one of its handlers still runs (it can disconnect
    // it from a message loop the handler entered, such as the logon dialog's): each entry
    // holds a reference of its own until it returns.
    com::Ptr<IUnknown> KeepAlive() { return com::Ptr<IUnknown>(Identity()); }
    HRESULT CommandVisibility(ItemCommand command, IDispatch* control, VARIANT_BOOL* visible) noexcept;
    HRESULT RunCommand(ItemCommand command, IDispatch* control) noexcept;
    void ReadSettings();
    void mcolExplorers_NewExplorer(const com::EventArgs& args);
    void molExplorer_Activate(const com::EventArgs& args);
    void molExplorer_Close(const com::EventArgs& args);
    void ConfirmLogon();
    void Teardown();
    // Whether an explorer event may start the controller: it exists and is neither running nor
    // stopping, and no teardown is under way. Stopping lets Outlook process its queued window
    // messages, and an explorer event among them must not start a session that is being ended.
    bool ControllerMayStart() const;

    com::LateBound mobjOutlook;
    com::WithEvents mcolExplorers;
    com::WithEvents molExplorer;
    bool tearingDown_ = false;
};

}  // namespace vantrell
