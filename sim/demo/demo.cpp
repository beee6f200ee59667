// Shows the registered add-in component at work as another program uses it: it creates the
// public classes by ProgID and calls them by name, the way a script's CreateObject does.
// The demo of a whole Outlook session grows here as the simulated Outlook does.
#include <windows.h>
#include <objbase.h>

#include <cstdio>

#include "platform/ansi.h"
#include "platform/late_bound.h"

using vantrell::ToAnsi;
using vantrell::com::LateBound;
using vantrell::com::Variant;

namespace {

LateBound CreateObject(const wchar_t* progId) {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(progId, &clsid))) return {};
    vantrell::com::Ptr<IDispatch> object;
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                     reinterpret_cast<void**>(object.ReleaseAndGetAddressOf()));
    return LateBound(object);
}

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = 0;
    {
        LateBound info = CreateObject(L"Vantrell.COpSysInfo");
        LateBound reg = CreateObject(L"Vantrell.RegOp");
        if (!info || !reg) {
            std::printf("Vantrell.dll is not registered: run scripts/demo.sh\n");
            result = 1;
        } else {
            std::printf("Windows Version=%s (%s)\n", ToAnsi(info.Get(L"Version").ToText()).c_str(),
                        ToAnsi(info.Get(L"ProductTypeName").ToText()).c_str());
            reg.Put(L"Root", Variant(static_cast<long>(0x80000001)));
            reg.Put(L"Key", Variant(L"Software\\Quorvane\\Outlook\\History"));
            Variant level = reg.Get(L"Value", {Variant(L"ErrorLogLevel")});
            std::printf("HKCU\\Software\\Quorvane\\Outlook\\History: %ld values, ErrorLogLevel=%s\n",
                        reg.Get(L"ValueCount").ToLong(),
                        level.IsEmpty() ? "(absent: the add-in writes 4 on its first connection)"
                                        : ToAnsi(level.ToText()).c_str());
            LateBound addins = CreateObject(L"Vantrell.RegOp");
            addins.Put(L"Key", Variant(L"Software\\Microsoft\\Office\\Outlook\\Addins\\Vantrell.Connect"));
            std::printf("Outlook add-in \"%s\", LoadBehavior=%ld\n",
                        ToAnsi(addins.Get(L"Value", {Variant(L"FriendlyName")}).ToText()).c_str(),
                        addins.Get(L"Value", {Variant(L"LoadBehavior")}).ToLong());
        }
    }
    CoUninitialize();
    return result;
}
