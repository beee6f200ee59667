// Start-up cost: the time from OnConnection to its return for the registered Vantrell.dll
// inside the simulated Outlook (an explorer open, tracing at the default level), median of
// several starts, against Outlook's 1000 ms budget for an add-in's start-up.
//
// Run: build/wine-run.sh build/bin/startup_bench.exe
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "connect/registration.h"
#include "office.h"
#include "outlook.h"
#include "platform/com_ptr.h"

namespace {

double Milliseconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::wstring DllPath() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"Vantrell.dll";
}

}  // namespace

int main(int argc, char** argv) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HMODULE dll = LoadLibraryW(DllPath().c_str());
    auto registerServer = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")));
    auto unregisterServer =
        reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(dll, "DllUnregisterServer")));
    if (!registerServer || FAILED(registerServer())) {
        std::printf("could not register Vantrell.dll\n");
        return 1;
    }
    // The benchmark connects the add-in itself, so Outlook must not load it on its own.
    RegDeleteKeyW(HKEY_CURRENT_USER, vantrell::kAddinKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quorvane");  // default settings: trace level 4

    CLSID clsid;
    CLSIDFromProgID(L"Vantrell.Connect", &clsid);
    const int starts = 7;
    // Optional: "off" measures with tracing switched off, to show what the trace lines cost.
    if (argc > 2 && std::string(argv[2]) == "shlwapi") LoadLibraryA("shlwapi.dll");
    if (argc > 1 && std::string(argv[1]) == "off") {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Quorvane\\Outlook\\History", 0, nullptr, 0, KEY_WRITE, nullptr,
                        &key, nullptr);
        DWORD zero = 0;
        RegSetValueExW(key, L"ErrorLogSize", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), sizeof zero);
        RegCloseKey(key);
        std::printf("tracing off\n");
    }
    std::vector<double> times;
    for (int i = 0; i < starts; ++i) {
        vantrell::sim::Outlook outlook(L"11.0.8312");
        outlook.StartUp(vantrell::sim::Start::WithExplorer);
        vantrell::com::Ptr<_IDTExtensibility2> addin;
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__IDTExtensibility2,
                         reinterpret_cast<void**>(addin.ReleaseAndGetAddressOf()));
        if (!addin) {
            std::printf("could not create Vantrell.Connect\n");
            return 1;
        }
        double start = Milliseconds();
        addin->OnConnection(outlook.Application(), ext_cm_Startup, nullptr, nullptr);
        times.push_back(Milliseconds() - start);
        addin->OnBeginShutdown(nullptr);
        addin->OnDisconnection(ext_dm_HostShutdown, nullptr);
        addin.Reset();
        outlook.ShutDown();
    }
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    double median = sorted[sorted.size() / 2];
    std::printf("OnConnection, %d starts (ms):", starts);
    for (double t : times) std::printf(" %.2f", t);
    std::printf("\nmedian %.2f ms = %.2f%% of the 1000 ms start-up budget\n", median, median / 10.0);
    std::printf("(no stored logon yet: the add-in starts its controller, finds no LogonID and tears down "
                "within the same call)\n");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quorvane");
    unregisterServer();
    CoUninitialize();
    return 0;
}
