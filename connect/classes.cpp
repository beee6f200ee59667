// The class table: the module's five creatable classes, in the order they are registered.
#include "connect/classes.h"

#include "platform/type_library.h"
#include "connect/connect.h"
#include "session/crm_addin.h"
#include "session/insp_wrap.h"
#include "support/op_sys_info.h"
#include "support/reg_op.h"

namespace vantrell {

std::span<const ClassEntry> Classes() noexcept {
    static const ClassEntry kClasses[] = {
        {&CLSID_Connect, L"Vantrell.Connect", &IID__Connect, L"_Connect", &CreateObject<Connect>},
        {&CLSID_CRMAddIn, L"Vantrell.CRMAddIn", &IID__CRMAddIn, L"_CRMAddIn", &CreateObject<CRMAddIn>},
        {&CLSID_InspWrap, L"Vantrell.InspWrap", &IID__InspWrap, L"_InspWrap", &CreateObject<InspWrap>},
        {&CLSID_RegOp, L"Vantrell.RegOp", &IID__RegOp, L"_RegOp", &CreateObject<RegOp>},
        {&CLSID_COpSysInfo, L"Vantrell.COpSysInfo", &IID__COpSysInfo, L"_COpSysInfo", &CreateObject<COpSysInfo>},
    };
    return kClasses;
}

}  // namespace vantrell
