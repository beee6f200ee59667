#include "connect/connect.h"

#include "platform/failure.h"
#include "platform/message_loop.h"
#include "platform/outlook.h"
#include "session/crm_addin.h"
#include "session/outlook_windows.h"
#include "session/session_state.h"
#include "support/environment.h"
#include "support/reg_op.h"
#include "support/shared_state.h"
#include "support/trace.h"

namespace vantrell {
namespace {

constexpr std::wstring_view kModule = L"Connect";

void Trace(std::wstring_view procedure, std::wstring_view text, long level) {
    WriteTrace(kModule, procedure, text, level);
}

}  // namespace

Connect::Connect()
    : mcolExplorers(outlook::kExplorersEvents), molExplorer(outlook::kExplorerEvents, outlook::kExplorerEvents10) {
    mcolExplorers.On(outlook::kNewExplorer, this, &Connect::mcolExplorers_NewExplorer);
    molExplorer.On(outlook::kActivate, this, &Connect::molExplorer_Activate);
    molExplorer.On(outlook::kClose, this, &Connect::molExplorer_Close);
}

Connect::~Connect() = default;

void Connect::ReadSettings() {
    auto reg = com::Make<RegOp>();
    reg->SetRoot(REGOP_HKEY_CURRENT_USER);
    reg->SetKey(kSettingsKey);

    // A value that cannot be converted leaves its setting as it was.
    if (!reg->Value(L"ErrorLogSize").IsEmpty()) {
        long size = 0;
        if (reg->Value(L"ErrorLogSize").TryLong(size)) ErrorLogSize = size;
    } else {
        ErrorLogSize = 1048576;
    }

    com::Variant level = reg->Value(L"ErrorLogLevel");
    if (level.IsEmpty()) {
        ErrorLogLevel = 4;
        reg->SetValue(L"ErrorLogLevel", com::Variant(static_cast<std::int16_t>(4)));
    } else {
        level.TryInt(ErrorLogLevel);
    }

    com::Variant url = reg->Value(L"SynchURL");
    SynchURL = url.IsEmpty() ? std::wstring(kDefaultSynchURL) : url.ToText();

    // Not written back: the built-in address serves unless a value names another.
    std::wstring address = reg->Value(L"LoggingAddress").ToText();
    LoggingAddress = address.empty() ? std::wstring(kDefaultLoggingAddress) : address;

    bool reset = false;
    if (reg->Value(L"ResetLogon").TryBool(reset)) ResetLogon = reset;
    if (ResetLogon) reg->DeleteValue(L"ResetLogon");

    // The settings of older versions lived under another key: take away what is left of them.
    reg->SetKey(L"Software\\Quorvanes\\Outlook\\History");
    reg->DeleteKey();
    reg->SetKey(L"Software\\Quorvanes\\Outlook");
    if (reg->ValueCount() == 0) {
        reg->DeleteKey();
        reg->SetKey(L"Software\\Quorvanes");
        reg->DeleteKey();
    }
}

void Connect::AddinInstance_OnConnection(const com::Ptr<IDispatch>& application) {
    auto keep = KeepAlive();
    ProcedureScope scope;
    ReadSettings();
    WriteTrace(L"", L"", kTraceSeparator, kTraceMilestone);

    mobjOutlook = com::LateBound(application);
    mcolExplorers.Set(mobjOutlook.Get(L"Explorers").ToDispatch());
    if (LeadingNumber(mobjOutlook.Get(L"Version").ToText()) == 12) IsOutlook12 = true;

    gobjCRMAddIn = com::Make<CRMAddIn>();
    long count = com::LateBound(mcolExplorers.Object()).Get(L"Count").ToLong();
    if (count > 0) {
        com::LateBound explorers(mobjOutlook.Get(L"Explorers"));
        molExplorer.Set(explorers.Call(L"Item", {com::Variant(1L)}).ToDispatch());
        Trace(L"OnConnection", L"Explorers.Count = " + std::to_wstring(count) + L"; initializing base class",
              kTraceMilestone);
        gobjCRMAddIn->InitHandler(mobjOutlook.Pointer());
        ConfirmLogon();
    } else {
        Trace(L"OnConnection", L"Explorers.Count = 0; monitoring NewExplorer event", kTraceMilestone);
    }
}

void Connect::AddinInstance_OnBeginShutdown() {
    auto keep = KeepAlive();
    ProcedureScope scope;
    Trace(L"OnBeginShutdown", L"", kTraceMilestone);
    Teardown();
}

void Connect::AddinInstance_OnDisconnection() {
    auto keep = KeepAlive();
    ProcedureScope scope;
    Trace(L"OnDisconnection", L"", kTraceMilestone);
    Teardown();
    // The host is letting the add-in go: its ribbon object goes too (the next load brings a new
    // one). Kept any longer, it would be released only as the DLL unloads, after the host's COM
    // may be gone.
    gobjRibbon.Reset();
}

void Connect::mcolExplorers_NewExplorer(const com::EventArgs& args) {
    auto keep = KeepAlive();
    ProcedureScope scope;
    molExplorer.Set(args.Object(0));
    if (!ControllerMayStart()) return;
    if (mobjOutlook.Call(L"ActiveExplorer").IsObject()) {
        Trace(L"NewExplorer", L"found ActiveExplorer - calling InitHandler", kTraceMilestone);
        gobjCRMAddIn->InitHandler(mobjOutlook.Pointer());
        ConfirmLogon();
    } else {
        Trace(L"NewExplorer", L"no ActiveExplorer", kTraceMilestone);
    }
}

void Connect::molExplorer_Activate(const com::EventArgs&) {
    auto keep = KeepAlive();
    ProcedureScope scope;
    if (!ControllerMayStart()) return;
    Trace(L"molExplorer_Activate", L"call InitHandler", kTraceMilestone);
    gobjCRMAddIn->InitHandler(mobjOutlook.Pointer());
    ConfirmLogon();
}

void Connect::molExplorer_Close(const com::EventArgs&) {
    auto keep = KeepAlive();
    ProcedureScope scope;
    // Only Outlook's answer that no explorer and no inspector is left stops the session: a
    // question that failed keeps it running, watching another explorer Outlook still lists.
    bool answered = false;
    com::Ptr<IDispatch> closing = molExplorer.Object();
    molExplorer.Reset();
    molExplorer.Set(ExplorerAfterClose(mobjOutlook, closing, answered));
    closing.Reset();
    if (!answered || molExplorer) return;
    long inspectors = 0;
    if (!AskInspectorCount(mobjOutlook, inspectors) || inspectors != 0) return;
    Trace(L"molExplorer_Close", L"no Explorers or Inspectors", kTraceMilestone);
    if (gobjCRMAddIn && gobjCRMAddIn->Initialized()) {
        Trace(L"molExplorer_Close", L"Base class still initialized - calling UninitHandler", kTraceMilestone);
        gobjCRMAddIn->UnInitHandler();
    }
}

void Connect::ConfirmLogon() {
    ProcedureScope scope;
    if (LogonID == 0) {
        Trace(L"ConfirmLogon", L"missing LogonID, calling TearDown", kTraceWarning);
        Teardown();
    } else if (CompanyID == 0) {
        Trace(L"ConfirmLogon", L"missing CompanyID, calling TearDown", kTraceStep);
        Teardown();
    }
}

bool Connect::ControllerMayStart() const {
    return gobjCRMAddIn && !gobjCRMAddIn->Initialized() && !gobjCRMAddIn->Stopping() && !tearingDown_;
}

void Connect::Teardown() {
    ProcedureScope scope;
    // Until the explorer events are dropped below, the yield after stopping may deliver one.
    const bool outerTearingDown = tearingDown_;
    tearingDown_ = true;
    if (gobjCRMAddIn) {
        if (gobjCRMAddIn->Initialized()) {
            Trace(L"Teardown", L"Call UninitHandler", kTraceMilestone);
            gobjCRMAddIn->UnInitHandler();
            ProcessPendingMessages();
        }
        gobjCRMAddIn.Reset();
    }
    molExplorer.Reset();
    mcolExplorers.Reset();
    mobjOutlook.Reset();
    tearingDown_ = outerTearingDown;
}

// ---- COM entry points: nothing escapes to Outlook ----

STDMETHODIMP Connect::OnConnection(IDispatch* application, ext_ConnectMode, IDispatch*, SAFEARRAY**) noexcept {
    return com::Guarded([&] {
        AddinInstance_OnConnection(com::Ptr<IDispatch>(application));
        return S_OK;
    });
}

STDMETHODIMP Connect::OnDisconnection(ext_DisconnectMode, SAFEARRAY**) noexcept {
    return com::Guarded([&] {
        AddinInstance_OnDisconnection();
        return S_OK;
    });
}

STDMETHODIMP Connect::OnAddInsUpdate(SAFEARRAY**) noexcept { return S_OK; }
STDMETHODIMP Connect::OnStartupComplete(SAFEARRAY**) noexcept { return S_OK; }

STDMETHODIMP Connect::OnBeginShutdown(SAFEARRAY**) noexcept {
    return com::Guarded([&] {
        AddinInstance_OnBeginShutdown();
        return S_OK;
    });
}

}  // namespace vantrell
