#include "session/crm_addin.h"

#include "session/insp_wrap.h"
#include "logon/config_message.h"
#include "logon/logon_dialog.h"
#include "platform/failure.h"
#include "platform/message_loop.h"
#include "platform/office_ids.h"
#include "platform/outlook.h"
#include "session/explorer_menu.h"
#include "session/mod_insp_wrap.h"
#include "session/session_state.h"
#include "support/environment.h"
#include "support/op_sys_info.h"
#include "support/shared_state.h"
#include "support/trace.h"

namespace vantrell {
namespace {

constexpr std::wstring_view kModule = L"CRMAddIn";

void Trace(std::wstring_view procedure, std::wstring_view text, long level) {
    WriteTrace(kModule, procedure, text, level);
}

}  // namespace

CRMAddIn::CRMAddIn()
    : mobjExpl(outlook::kExplorerEvents, outlook::kExplorerEvents10),
      mcolExpl(outlook::kExplorersEvents),
      mobjInsp(outlook::kInspectorEvents, outlook::kInspectorEvents10),
      mcolInsp(outlook::kInspectorsEvents),
      mappWd(word::kApplicationEvents2, word::kApplicationEvents4) {
    mcolExpl.On(outlook::kNewExplorer, this, &CRMAddIn::mcolExpl_NewExplorer);
    mobjExpl.On(outlook::kClose, this, &CRMAddIn::mobjExpl_Close);
    mcolInsp.On(outlook::kNewInspector, this, &CRMAddIn::mcolInsp_NewInspector);
    mobjInsp.On(outlook::kClose, this, &CRMAddIn::mobjInsp_Close);
    mappWd.On(word::kWindowActivate, this, &CRMAddIn::mappWd_WindowActivate);
    mappWd.On(word::kQuit, this, &CRMAddIn::mappWd_Quit);
}

CRMAddIn::~CRMAddIn() = default;

void CRMAddIn::InitHandler(const com::Ptr<IDispatch>& application) {
    ProcedureScope scope;
    // The controller may be let go while the logon dialog runs its message loop.
    com::Ptr<IUnknown> keep(Identity());
    constexpr std::wstring_view kProcedure = L"InitHandler";
    mblnInitialized = true;
    gobjOutlook = application;
    com::LateBound outlookApp(gobjOutlook);

    Trace(kProcedure, L"Add-in Version=" + AddinVersionText(), kTraceMilestone);
    const std::wstring version = outlookApp.Get(L"Version").ToText();
    Trace(kProcedure, L"Outlook Version=" + version, kTraceMilestone);
    wordInsideOutlook = LeadingNumber(version) >= 12;
    Trace(kProcedure, L"Outlook Mode: " + GetOutlookMode(), kTraceMilestone);
    Trace(kProcedure, L"Connection Mode: " + GetConnectionMode(), kTraceMilestone);
    Trace(kProcedure, L"Security(Attachment/Level/Trust): " + GetSecuritySettings(), kTraceMilestone);
    Trace(kProcedure, L"Connected COM Add-ins:" + GetConnectedAddIns(), kTraceMilestone);
    {
        auto system = com::Make<COpSysInfo>();
        Trace(kProcedure, L"Windows Version=" + system->Version(), kTraceMilestone);
    }

    mcolExpl.Set(outlookApp.Get(L"Explorers").ToDispatch());
    mcolInsp.Set(outlookApp.Get(L"Inspectors").ToDispatch());
    mobjExpl.Set(outlookApp.Call(L"ActiveExplorer").ToDispatch());
    if (!mobjExpl) {
        Trace(kProcedure, L"No ActiveExplorer", kTraceMilestone);
        com::LateBound explorers(mcolExpl.Object());
        if (explorers.Get(L"Count").ToLong() > 0) {
            Trace(kProcedure, L"assigning Explorer.Item(1)", kTraceMilestone);
            mobjExpl.Set(explorers.Call(L"Item", {com::Variant(1L)}).ToDispatch());
        } else {
            Trace(kProcedure, L"Explorers.Count = 0", kTraceWarning);
        }
    }

    ClearFailure();
    mobjUtils = com::CreateObject(L"Ostrabin.OsbUtils");
    if (HasPendingFailure()) {
        Failure failure = PendingFailure();
        Trace(kProcedure, L"Create mobjUtils " + FailureText(failure, FailureFormat::ErrDesc), kTraceFailure);
        ClearFailure();
        mobjUtils.Reset();
    } else {
        Trace(kProcedure, L"instantiated mobjUtils object", kTraceStep);
    }

    // The old collection (if a session ended without emptying it) is no longer reachable while
    // its wrappers go.
    gcolInspWrap = std::make_unique<InspWrapCollection>();
    // A session that ended with WordMail windows open left their count behind.
    gintWordMailCount = 0;

    com::Ptr<IDispatch> session = outlookApp.Get(L"Session").ToDispatch();
    if (!ResetLogon) {
        bool found = GetConfigMessage(session);
        Trace(kProcedure, found ? L"retrieved configuration message" : L"unable to retrieve configuration message",
              kTraceStep);
    } else {
        Trace(kProcedure, L"ResetLogon flag is set; clearing any existing values and forcing logon", kTraceMilestone);
        LogonID = 0;
        CompanyID = 0;
        SetConfigMessage(session);
    }

    if (LogonID == 0 || CompanyID == 0) {
        Trace(kProcedure, L"launch frmLogon", kTraceStep);
        ResetLogon = false;
        frmLogon.Show();
        frmLogon.Unload();
        if (LogonID != 0 && CompanyID != 0) SetConfigMessage(session);
    }

    // A menu in every explorer, shown as the logon stands now (also in those that opened while
    // the logon dialog was up).
    explorerMenus_.AddEvery(mcolExpl.Object());
    RefreshExplorerMenus();

    Trace(kProcedure, L"exit InitHandler", kTraceStep);
}

void CRMAddIn::UnInitHandler() {
    ProcedureScope scope;
    com::Ptr<IUnknown> keep(Identity());  // the yields below may reach Teardown
    constexpr std::wstring_view kProcedure = L"UnInitHandler";
    if (!mblnInitialized) return;
    mblnInitialized = false;
    stopping_ = true;
    struct StoppingUntilReturn {
        bool& flag;
        ~StoppingUntilReturn() { flag = false; }
    } stopping{stopping_};
    // Every failing statement is traced and the next one runs.
    auto traceFailure = [&] {
        if (!HasPendingFailure()) return;
        Failure failure = PendingFailure();
        Trace(kProcedure, FailureText(failure, FailureFormat::ErrDesc), kTraceFailure);
        ClearFailure();
    };
    auto missingObject = [] { RecordFailure(static_cast<long>(E_POINTER), L"Object variable not set"); };

    Trace(kProcedure, L"starting cleanup", kTraceMilestone);
    // The wrappers of WordMail windows still open take their buttons out of Word's bar as they
    // go, which leaves Word's template unsaved: Word would ask the user to save it.
    const bool wordMailOpen = gintWordMailCount > 0;
    com::Ptr<IDispatch> wordBar;  // Word's bar, reached through a button in it
    if (wordMailOpen && gcolInspWrap) {
        for (long i = 1; i <= gcolInspWrap->Count() && !wordBar; ++i) {
            com::Ptr<InspWrap> wrapper = gcolInspWrap->Item(i);
            if (wrapper && SharesWordsBar(wrapper->Inspector()))
                wordBar = wrapper->ButtonBar();
        }
        ClearFailure();
    }
    if (gcolInspWrap) {
        long count = gcolInspWrap->Count();
        Trace(kProcedure, L"gcolInspWrap.Count=" + std::to_wstring(count), kTraceStep);
        for (long i = count; i >= 1; --i) {
            Trace(kProcedure, L"removing gcolInspWrap.Item i=" + std::to_wstring(i), kTraceStep);
            gcolInspWrap->Remove(i);
            ProcessPendingMessages();
        }
    } else {
        missingObject();
        traceFailure();
    }
    // Out of reach first, then destroyed: a wrapper going with it finds no collection.
    gcolInspWrap.reset();
    if (wordMailOpen) {
        if (wordBar) InspWrap::DeleteOursFromBar(wordBar);
        wordBar.Reset();
        SetWMTemplateState();
    }
    gintWordMailCount = 0;

    explorerMenus_.RemoveAll();
    mobjInsp.Reset();
    mobjExpl.Reset();
    mcolInsp.Reset();
    mcolExpl.Reset();
    mappWd.Reset();

    mobjUtils.Call(L"Cleanup");
    traceFailure();
    mobjUtils.Reset();

    gobjOutlook.Reset();
    frmLogon.Unload();
    Trace(kProcedure, L"completing cleanup", kTraceMilestone);
}

}  // namespace vantrell
