#include "connect/class_factory.h"

#include "platform/type_library.h"
#include "connect/connect.h"
#include "commands/commands.h"
#include "session/insp_wrap.h"
#include "session/crm_addin.h"
#include "support/op_sys_info.h"
#include "support/reg_op.h"

namespace vantrell {

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    // Every object of the module is made through here: the commands' actions are in the table
    // before any button or ribbon can be clicked.
    InstallCommandActions();
    if (outer) return CLASS_E_NOAGGREGATION;
    return create_(iid, out);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) noexcept {
    if (lock)
        com::LockModule();
    else
        com::UnlockModule();
    return S_OK;
}

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    struct Entry {
        const CLSID* clsid;
        CreateFunction create;
    };
    static const Entry kClasses[] = {
        {&CLSID_Connect, &CreateObject<Connect>},       {&CLSID_CRMAddIn, &CreateObject<CRMAddIn>},
        {&CLSID_InspWrap, &CreateObject<InspWrap>},     {&CLSID_RegOp, &CreateObject<RegOp>},
        {&CLSID_COpSysInfo, &CreateObject<COpSysInfo>},
    };
    for (const Entry& entry : kClasses) {
        if (IsEqualCLSID(clsid, *entry.clsid))
            return com::Guarded([&] { return com::Make<ClassFactory>(entry.create)->QueryInterface(iid, out); });
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace vantrell
