// Prints what COpSysInfo reads on this system, one "Name=value" line per property. The
// version tests run it under each Windows version Wine can be told to report.
#include <cstdio>

#include "platform/ansi.h"
#include "platform/com_object.h"
#include "support/op_sys_info.h"

int main() {
    using vantrell::ToAnsi;
    auto info = vantrell::com::Make<vantrell::COpSysInfo>();
    auto flag = [](bool value) { return value ? "True" : "False"; };
    std::printf("MajorVersion=%ld\nMinorVersion=%ld\nBuildNumber=%ld\nPlatformID=%ld\n", info->MajorVersion(),
                info->MinorVersion(), info->BuildNumber(), info->PlatformID());
    std::printf("CSDVersion=%s\nProductType=%ld\nProductTypeName=%s\n", ToAnsi(info->CSDVersion()).c_str(),
                info->ProductType(), ToAnsi(info->ProductTypeName()).c_str());
    std::printf("ServicePackMajor=%d\nSuiteMask=%d\n", info->ServicePackMajor(), info->SuiteMask());
    std::printf("IsWinNT=%s\nIsWin2K=%s\nIsWinXP=%s\nIsWin95=%s\nIsWin98=%s\nIsWinME=%s\nIsWin9x=%s\n",
                flag(info->IsWinNT()), flag(info->IsWin2K()), flag(info->IsWinXP()), flag(info->IsWin95()),
                flag(info->IsWin98()), flag(info->IsWinME()), flag(info->IsWin9x()));
    std::printf("Platform=%s\nVersion=%s\n", ToAnsi(info->Platform()).c_str(), ToAnsi(info->Version()).c_str());
    return 0;
}
