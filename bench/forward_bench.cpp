// Logging one message: ForwardToEmailAgent (the add-in's code) inside the simulated Outlook 2003
// with the stand-in helper component, for a received message, median of many calls, against the
// 500 ms Outlook allows an add-in when an item opens (no budget is published for a click).
// Alongside: the same calls with tracing off (the difference is the trace writing), and the
// helper round trips alone (the same helper calls made directly, the delivery included).
//
// Run: build/<arch>/wine-run.sh build/<arch>/bin/forward_bench.exe
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "agent_mailbox.h"
#include "bench/report.h"
#include "bench/stopwatch.h"
#include "helper_api/helper_api.h"
#include "mailbox.h"
#include "outlook.h"
#include "platform/late_bound.h"
#include "registered_dll.h"
#include "session/crm_addin.h"
#include "support/shared_state.h"

namespace {

using vantrell::com::LateBound;
using vantrell::com::Variant;

constexpr int kCalls = 25;

using vantrell::bench::Figures;
using vantrell::bench::Summarise;

vantrell::sim::MailFields Message(int i) {
    vantrell::sim::MailFields mail;
    mail.subject = L"Quote for " + std::to_wstring(i) + L" units";
    mail.sender = {L"Dana Buyer", L"dana@customer.example"};
    mail.to = {{L"Mailbox Owner", L"owner@example.com"}};
    mail.cc = {{L"Pat Partner", L"pat@partner.example"}};
    mail.body = std::wstring(2000, L'b');
    return mail;
}

// One working session: Outlook with the controller running; each message logged once.
// mode 0: ForwardToEmailAgent with tracing at the default level; 1: tracing off;
// 2: only the helper's calls that ForwardToEmailAgent makes, made directly.
std::vector<double> Run(int mode) {
    auto mailbox = std::make_shared<vantrell::sim::Mailbox>();
    auto agent = std::make_shared<vantrell::sim::AgentMailbox>(std::vector<std::wstring>{vantrell::kDefaultLoggingAddress});
    mailbox->ConnectAgent(agent);
    mailbox->AddStoredLogon(4321, 65);
    vantrell::ErrorLogSize = mode == 1 ? 0 : 1 << 20;
    vantrell::ErrorLogLevel = 4;
    vantrell::sim::Outlook outlook(L"11.0.8312", mailbox);
    outlook.StartUp();
    auto controller = vantrell::com::Make<vantrell::CRMAddIn>();
    controller->InitHandler(vantrell::com::Ptr<IDispatch>(outlook.Application()));
    LateBound session(LateBound(vantrell::com::Ptr<IDispatch>(outlook.Application())).Get(L"Session"));

    std::vector<double> times;
    for (int i = 0; i < kCalls; ++i) {
        LateBound item(session.Call(L"GetItemFromID", {Variant(mailbox->AddReceivedMail(Message(i)))}));
        double start = vantrell::bench::Milliseconds();
        if (mode < 2) {
            controller->ForwardToEmailAgent(item);
        } else {
            LateBound forward(item.Call(L"Forward"));
            LateBound helper = vantrell::com::CreateObject(vantrell::helper::kMailItemProgId);
            helper.Call(L"Attach", {Variant(item.Get())});
            forward.Put(L"Body", helper.Get(L"PlainBody"));
            forward.Put(L"HTMLBody", helper.Get(L"HtmlBody"));
            for (long tag : {vantrell::helper::PR_INTERNET_MESSAGE_ID, vantrell::helper::PR_TRANSPORT_MESSAGE_HEADERS,
                             vantrell::helper::PR_CLIENT_SUBMIT_TIME})
                helper.Call(L"GetProperty", {Variant(tag)});
            helper.Get(L"SenderName");
            LateBound(helper.Get(L"SenderEntry")).Get(L"Address");
            helper.Get(L"ToText");
            helper.Get(L"CcText");
            forward.Call(L"Save");
            helper.Call(L"Attach", {Variant(forward.Get())});
            LateBound(LateBound(helper.Get(L"Recipients")).Call(L"Add", {Variant(vantrell::LoggingAddress)}))
                .Call(L"Resolve", {Variant::Boolean(false)});
            for (int h = 0; h < 9; ++h) {
                long id = helper.Call(L"NamedId", {Variant(vantrell::helper::kInternetHeaders),
                                                   Variant(L"X-Quorvanes-H" + std::to_wstring(h))})
                              .ToLong();
                helper.Call(L"SetProperty", {Variant(id | vantrell::helper::kTypeString8), Variant(L"value")});
            }
            helper.Call(L"Send");
            forward.Reset();
            helper.Reset();
            controller->Utils().Call(L"DeliverNow", {Variant(0L), Variant(0L)});
        }
        times.push_back(vantrell::bench::Milliseconds() - start);
    }
    if (agent->Count() != static_cast<size_t>(kCalls)) std::printf("(only %zu of %d delivered)\n", agent->Count(), kCalls);
    controller->UnInitHandler();
    outlook.ShutDown();
    return times;
}

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        vantrell::sim::RegisteredDll helper(L"OsbHelper.dll");
        if (!helper.Ok()) {
            std::printf("could not register OsbHelper.dll\n");
            return 1;
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quorvane");
        const char* names[] = {"ForwardToEmailAgent, tracing at level 4", "ForwardToEmailAgent, tracing off",
                               "the helper's calls alone"};
        std::printf("Logging one received message, %d calls each (ms):\n", kCalls);
        for (int mode = 0; mode < 3; ++mode) {
            Figures f = Summarise(Run(mode));
            std::printf("  %-42s median %7.3f  (%.3f to %.3f)  = %.3f%% of 500 ms\n", names[mode], f.median, f.low,
                        f.high, f.median / 5.0);
            if (mode == 0)
                vantrell::bench::AgainstBudget("the forward of Log Message alone", f, vantrell::bench::kItemOpenBudget,
                                               "item open");
        }
    }
    CoUninitialize();
    return 0;
}
