// Opening and closing one mail window in the simulated Outlook 2003 with the controller running:
// the add-in's cost of NewInspector and the item's Open (the wrapper and its button) and of the
// window's Close, median of many windows, against the 500 ms Outlook allows an add-in when an
// item opens. Outlook's own share is measured alone (the same windows with no add-in listening)
// and taken off. Tracing at the default level 4 and at level 12 (every procedure's entry).
//
// Run: build/<arch>/wine-run.sh build/<arch>/bin/window_bench.exe
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/report.h"
#include "bench/stopwatch.h"
#include "mailbox.h"
#include "outlook.h"
#include "session/crm_addin.h"
#include "session/session_state.h"
#include "support/shared_state.h"

namespace {

constexpr int kWindows = 25;

struct Times {
    std::vector<double> open, close;
};

// One session; `level` < 0: no add-in at all (Outlook's own cost of the same windows).
Times Run(int level) {
    auto mailbox = std::make_shared<vantrell::sim::Mailbox>();
    vantrell::ErrorLogSize = 1 << 20;
    vantrell::ErrorLogLevel = static_cast<std::int16_t>(level < 0 ? 0 : level);
    vantrell::LogonID = 4321;
    vantrell::CompanyID = 65;
    vantrell::ResetLogon = false;
    vantrell::sim::Outlook outlook(L"11.0.8312", mailbox);
    outlook.StartUp();
    vantrell::com::Ptr<vantrell::CRMAddIn> controller;
    if (level >= 0) {
        controller = vantrell::com::Make<vantrell::CRMAddIn>();
        vantrell::gobjCRMAddIn = controller;
        controller->InitHandler(vantrell::com::Ptr<IDispatch>(outlook.Application()));
    }
    Times times;
    for (int i = 0; i < kWindows; ++i) {
        vantrell::sim::MailFields mail;
        mail.subject = L"Quote " + std::to_wstring(i);
        mail.sender = {L"Dana Buyer", L"dana@customer.example"};
        mail.to = {{L"Mailbox Owner", L"owner@example.com"}};
        const std::wstring entryId = mailbox->AddReceivedMail(mail);
        double start = vantrell::bench::Milliseconds();
        const int window = outlook.OpenItem(entryId);
        times.open.push_back(vantrell::bench::Milliseconds() - start);
        start = vantrell::bench::Milliseconds();
        outlook.CloseInspector(window);
        times.close.push_back(vantrell::bench::Milliseconds() - start);
    }
    if (controller) {
        if (!vantrell::gcolInspWrap || vantrell::gcolInspWrap->Count() != 0) std::printf("(wrappers left behind)\n");
        controller->UnInitHandler();
        vantrell::gobjCRMAddIn.Reset();
    }
    outlook.ShutDown();
    return times;
}

}  // namespace

using vantrell::bench::Figures;
using vantrell::bench::Summarise;

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quorvane");
    Run(4);  // warm-up: first-use costs of the type library and the trace file
    const Times bare = Run(-1);
    const Figures bareOpen = Summarise(bare.open), bareClose = Summarise(bare.close);
    std::printf("One mail window in Outlook 2003, %d windows each (ms):\n", kWindows);
    std::printf("  %-34s open %7.3f  close %7.3f\n", "Outlook alone (no add-in)", bareOpen.median, bareClose.median);
    for (int level : {4, 12}) {
        const Times t = Run(level);
        const Figures open = Summarise(t.open), close = Summarise(t.close);
        const double addinOpen = std::max(0.0, open.median - bareOpen.median);
        const double addinClose = std::max(0.0, close.median - bareClose.median);
        std::printf("  with the add-in, tracing at level %-2d open %7.3f (%.3f to %.3f)  close %7.3f (%.3f to %.3f)\n",
                    level, open.median, open.low, open.high, close.median, close.low, close.high);
        std::printf("    the add-in's share: open %.3f ms = %.3f%% of 500 ms, close %.3f ms = %.3f%% of 500 ms\n",
                    addinOpen, addinOpen / 5.0, addinClose, addinClose / 5.0);
        if (level == 4) {
            // The add-in's share of each window: its time less Outlook's median alone.
            std::vector<double> share;
            for (double open : t.open) share.push_back(std::max(0.0, open - bareOpen.median));
            vantrell::bench::AgainstBudget("opening a mail window (the add-in's share)", Summarise(share),
                                           vantrell::bench::kItemOpenBudget, "item open");
        }
    }
    CoUninitialize();
    return 0;
}
