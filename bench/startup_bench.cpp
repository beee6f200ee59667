// Start-up cost: the time from OnConnection to its return for the registered Vantrell.dll
// inside the simulated Outlook 2003 (its explorer open, tracing at the default level), for a
// user already logged on: the identifiers are stored in the mailbox and read through the
// stand-in helper component, no dialog is shown, and the session starts and keeps running.
// Median of several starts, against Outlook's 1000 ms budget for an add-in's start-up. The
// same starts end with Outlook's shutdown (OnBeginShutdown and OnDisconnection, the session's
// cleanup included), against its 500 ms budget for an add-in's shutdown.
//
// Run: build/<arch>/wine-run.sh build/<arch>/bin/startup_bench.exe [off]   ("off": tracing switched off)
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/report.h"
#include "bench/stopwatch.h"
#include "connect/registration.h"
#include "mailbox.h"
#include "office.h"
#include "outlook.h"
#include "platform/com_ptr.h"
#include "registered_dll.h"

namespace {

void SetSetting(const wchar_t* name, DWORD value) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Quorvane\\Outlook\\History", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                    nullptr);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

}  // namespace

int main(int argc, char** argv) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = 0;
    {
        vantrell::sim::RegisteredDll addin(L"Vantrell.dll");
        vantrell::sim::RegisteredDll helper(L"OsbHelper.dll");
        if (!addin.Ok() || !helper.Ok()) {
            std::printf("could not register Vantrell.dll and OsbHelper.dll\n");
            return 1;
        }
        // The benchmark connects the add-in itself, so Outlook must not load it on its own.
        RegDeleteKeyW(HKEY_CURRENT_USER, vantrell::kAddinKey);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quorvane");
        bool tracingOff = argc > 1 && std::string(argv[1]) == "off";
        if (tracingOff) SetSetting(L"ErrorLogSize", 0);

        // The user logged on before: the configuration message is in the Inbox.
        auto mailbox = std::make_shared<vantrell::sim::Mailbox>();
        mailbox->AddStoredLogon(4321, 65);

        CLSID clsid;
        CLSIDFromProgID(L"Vantrell.Connect", &clsid);
        const int starts = 11;
        std::vector<double> times, shutdowns;
        long stillHeld = 0;
        for (int i = 0; i < starts; ++i) {
            vantrell::sim::Outlook outlook(L"11.0.8312", mailbox);
            outlook.StartUp(vantrell::sim::Start::WithExplorer);
            vantrell::com::Ptr<_IDTExtensibility2> connect;
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__IDTExtensibility2,
                             reinterpret_cast<void**>(connect.ReleaseAndGetAddressOf()));
            if (!connect) {
                std::printf("could not create Vantrell.Connect\n");
                return 1;
            }
            double start = vantrell::bench::Milliseconds();
            connect->OnConnection(outlook.Application(), ext_cm_Startup, nullptr, nullptr);
            times.push_back(vantrell::bench::Milliseconds() - start);
            stillHeld = outlook.ReferencesHeldOutside();  // > 0: the session is running
            start = vantrell::bench::Milliseconds();
            connect->OnBeginShutdown(nullptr);
            connect->OnDisconnection(ext_dm_HostShutdown, nullptr);
            shutdowns.push_back(vantrell::bench::Milliseconds() - start);
            connect.Reset();
            outlook.ShutDown();
        }
        const vantrell::bench::Figures up = vantrell::bench::Summarise(times);
        const vantrell::bench::Figures down = vantrell::bench::Summarise(shutdowns);
        std::printf("OnConnection with stored identifiers, tracing %s, %d starts (ms):", tracingOff ? "off" : "at level 4",
                    starts);
        for (double t : times) std::printf(" %.2f", t);
        std::printf("\nmedian %.2f ms = %.2f%% of the 1000 ms start-up budget (session running: %s)\n", up.median,
                    100 * up.median / vantrell::bench::kStartupBudget, stillHeld > 0 ? "yes" : "NO");
        std::printf("shutdown, OnBeginShutdown and OnDisconnection: median %.2f ms (%.2f to %.2f) = %.2f%% of 500 ms\n",
                    down.median, down.low, down.high, 100 * down.median / vantrell::bench::kShutdownBudget);
        if (!tracingOff && stillHeld > 0) {
            vantrell::bench::AgainstBudget("start-up with a stored logon", up, vantrell::bench::kStartupBudget,
                                           "start-up");
            vantrell::bench::AgainstBudget("shutdown", down, vantrell::bench::kShutdownBudget, "shutdown");
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quorvane");
        result = stillHeld > 0 ? 0 : 1;
    }
    CoUninitialize();
    return result;
}
