#include "support/shared_state.h"

#include "version.h"

namespace vantrell {

std::int32_t ErrorLogSize = 0;
std::int16_t ErrorLogLevel = 0;
std::wstring SynchURL;
std::wstring LoggingAddress = kDefaultLoggingAddress;
bool ResetLogon = false;
bool IsOutlook12 = false;
std::int32_t LogonID = 0;
std::int32_t CompanyID = 0;
com::Ptr<IDispatch> gobjOutlook;
com::Ptr<IDispatch> gobjRibbon;

std::wstring AddinVersionText() {
    return std::to_wstring(VANTRELL_VERSION_MAJOR) + L"." + std::to_wstring(VANTRELL_VERSION_MINOR) + L"." +
           std::to_wstring(VANTRELL_VERSION_REVISION);
}

}  // namespace vantrell
