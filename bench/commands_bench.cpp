// The two commands as the user meets them, with the registered Vantrell.dll and the stand-in
// helper inside the simulated Outlook: Log Message from the click to its message box (the box
// is closed by a hook as soon as it shows), Send && Log from the click to the closed window;
// in Outlook 2003 with the command-bar buttons and in Outlook 2010 with the ribbon. Alongside:
// GetCustomUI and one visibility callback per call; and Log Selected Messages from the main
// window's menu over fifty selected messages (with its progress window), per message, beside
// single Log Message clicks in the same Outlook. Median of many, against the 500 ms Outlook
// allows an add-in when an item opens (no budget is published for a click).
//
// Run: build/<arch>/wine-run.sh build/<arch>/bin/commands_bench.exe
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "agent_mailbox.h"
#include "bench/report.h"
#include "bench/stopwatch.h"
#include "mailbox.h"
#include "office.h"
#include "outlook.h"
#include "platform/com_ptr.h"
#include "platform/late_bound.h"
#include "registered_dll.h"

namespace {

using vantrell::com::LateBound;
using vantrell::com::Variant;

constexpr int kClicks = 21;
constexpr int kCalls = 200;

using vantrell::bench::Figures;
using vantrell::bench::Summarise;

// `row`: the measure's name in the report's table, if it has a row there.
void Print(const char* what, const Figures& f, const std::string& row = {}) {
    std::printf("  %-46s median %8.3f ms (%.3f to %.3f) = %.3f%% of 500 ms\n", what, f.median, f.low, f.high,
                f.median / 5.0);
    if (!row.empty()) vantrell::bench::AgainstBudget(row.c_str(), f, vantrell::bench::kItemOpenBudget, "item open");
}

// When the add-in's message box shows: the time, and the box is closed at once.
double gBoxShown = 0;
HHOOK gHook = nullptr;
LRESULT CALLBACK WatchForTheBox(int code, WPARAM w, LPARAM l) {
    if (code == HCBT_ACTIVATE) {
        char title[64] = {};
        GetWindowTextA(reinterpret_cast<HWND>(w), title, sizeof title);
        if (std::string(title) == "Quorvane Email History") {
            gBoxShown = vantrell::bench::Milliseconds();
            PostMessageA(reinterpret_cast<HWND>(w), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
    }
    return CallNextHookEx(gHook, code, w, l);
}

std::shared_ptr<vantrell::sim::Mailbox> LoggedOnMailbox(const std::shared_ptr<vantrell::sim::AgentMailbox>& agent) {
    auto mailbox = std::make_shared<vantrell::sim::Mailbox>();
    mailbox->AddStoredLogon(4321, 65);
    mailbox->ConnectAgent(agent);
    return mailbox;
}

struct Clicks {
    std::vector<double> logMessage, sendAndLog;
};

Clicks Run(const wchar_t* version, bool ribbon) {
    auto agent = std::make_shared<vantrell::sim::AgentMailbox>(std::vector<std::wstring>{L"log@history.quorvane.com"});
    auto mailbox = LoggedOnMailbox(agent);
    vantrell::sim::Outlook outlook(version, mailbox);
    outlook.StartUp();
    Clicks clicks;
    for (int i = 0; i < kClicks; ++i) {
        vantrell::sim::MailFields mail;
        mail.subject = L"Order " + std::to_wstring(i);
        mail.sender = {L"Dana Buyer", L"dana@customer.example"};
        mail.to = {{L"Mailbox Owner", L"owner@example.com"}};
        mail.body = std::wstring(2000, L'b');
        const int reading = outlook.OpenItem(mailbox->AddReceivedMail(mail));
        gBoxShown = 0;
        double start = vantrell::bench::Milliseconds();
        if (ribbon)
            outlook.ClickRibbon(reading, L"QuorvaneLogMessage");
        else
            outlook.ClickButton(reading, L"CRM.EmailLog");
        if (gBoxShown > 0) clicks.logMessage.push_back(gBoxShown - start);
        outlook.CloseInspector(reading);

        const int writing = outlook.OpenInspector();
        {
            LateBound item(vantrell::com::Ptr<IDispatch>(outlook.CurrentItem(writing)));
            item.Put(L"Subject", Variant(L"Offer " + std::to_wstring(i)));
            LateBound recipients(item.Get(L"Recipients"));
            recipients.Call(L"Add", {Variant(L"dana@customer.example")});
            recipients.Call(L"ResolveAll");
        }
        start = vantrell::bench::Milliseconds();
        if (ribbon)
            outlook.ClickRibbon(writing, L"QuorvaneSendAndLog");
        else
            outlook.ClickButton(writing, L"CRM.SendAndLog");
        clicks.sendAndLog.push_back(vantrell::bench::Milliseconds() - start);
        outlook.ProcessMessages();
    }
    outlook.ShutDown();
    if (agent->Count() != 2 * static_cast<size_t>(kClicks))
        std::printf("  (the service received %zu of %d messages)\n", agent->Count(), 2 * kClicks);
    return clicks;
}

// Log Selected Messages over kSelected messages, kRuns times, each on messages new to the
// journal, beside as many single Log Message clicks in the same Outlook 2003.
constexpr int kSelected = 50;
constexpr int kRuns = 5;

void Selection() {
    auto agent = std::make_shared<vantrell::sim::AgentMailbox>(std::vector<std::wstring>{L"log@history.quorvane.com"});
    auto mailbox = LoggedOnMailbox(agent);
    auto received = [&mailbox](const std::wstring& subject) {
        vantrell::sim::MailFields mail;
        mail.subject = subject;
        mail.sender = {L"Dana Buyer", L"dana@customer.example"};
        mail.to = {{L"Mailbox Owner", L"owner@example.com"}};
        mail.body = std::wstring(2000, L'b');
        return mailbox->AddReceivedMail(mail);
    };
    vantrell::sim::Outlook outlook(L"11.0.8312", mailbox);
    outlook.StartUp();
    const int explorer = outlook.MainExplorer();
    std::vector<double> single, perMessage;
    for (int run = 0; run < kRuns; ++run) {
        const int reading = outlook.OpenItem(received(L"Single " + std::to_wstring(run)));
        gBoxShown = 0;
        double start = vantrell::bench::Milliseconds();
        outlook.ClickButton(reading, L"CRM.EmailLog");
        if (gBoxShown > 0) single.push_back(gBoxShown - start);
        outlook.CloseInspector(reading);

        std::vector<std::wstring> selected;
        for (int i = 0; i < kSelected; ++i) selected.push_back(received(L"Lead " + std::to_wstring(run * kSelected + i)));
        outlook.SelectItems(explorer, selected);
        gBoxShown = 0;
        start = vantrell::bench::Milliseconds();
        outlook.ClickMenuButton(explorer, L"CRM.Menu", L"CRM.LogSelected");
        if (gBoxShown > 0) perMessage.push_back((gBoxShown - start) / kSelected);
        outlook.ProcessMessages();
    }
    outlook.ShutDown();
    const size_t expected = static_cast<size_t>(kRuns) * (kSelected + 1);
    if (agent->Count() != expected) std::printf("  (the service received %zu of %zu messages)\n", agent->Count(), expected);
    std::printf("Outlook 2003, Log Selected Messages over %d messages, %d runs, beside single clicks:\n", kSelected,
                kRuns);
    Print("Log Message, click to message box", Summarise(single));
    Print("Log Selected Messages, per message", Summarise(perMessage),
          "Log Selected Messages, per message of 50 (Outlook 2003)");
}

void Callbacks() {
    auto agent = std::make_shared<vantrell::sim::AgentMailbox>(std::vector<std::wstring>{L"log@history.quorvane.com"});
    auto mailbox = LoggedOnMailbox(agent);
    vantrell::sim::Outlook outlook(L"14.0.7015.1000", mailbox);
    outlook.StartUp();
    const int window = outlook.OpenInspector();

    CLSID clsid;
    CLSIDFromProgID(L"Vantrell.Connect", &clsid);
    vantrell::com::Ptr<IRibbonExtensibility> ribbon;
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IRibbonExtensibility,
                     reinterpret_cast<void**>(ribbon.ReleaseAndGetAddressOf()));
    std::vector<double> customUi, visible, group;
    BSTR id = SysAllocString(L"Microsoft.Outlook.Mail.Compose");
    for (int i = 0; i < kCalls && ribbon; ++i) {
        BSTR xml = nullptr;
        const double start = vantrell::bench::Milliseconds();
        ribbon->GetCustomUI(id, &xml);
        customUi.push_back(vantrell::bench::Milliseconds() - start);
        SysFreeString(xml);
    }
    SysFreeString(id);
    for (int i = 0; i < kCalls; ++i) {
        double start = vantrell::bench::Milliseconds();
        outlook.CallRibbonCallback(L"SendAndLog_GetVisible", outlook.Inspector(window), L"QuorvaneSendAndLog");
        visible.push_back(vantrell::bench::Milliseconds() - start);
        start = vantrell::bench::Milliseconds();
        outlook.CallRibbonCallback(L"QuorvaneGroup_GetVisible", outlook.Inspector(window), L"QuorvaneGroup");
        group.push_back(vantrell::bench::Milliseconds() - start);
    }
    ribbon.Reset();
    outlook.ShutDown();
    std::printf("Ribbon callbacks, %d calls each (the visibility callbacks through the simulated ribbon):\n", kCalls);
    if (!customUi.empty()) Print("GetCustomUI", Summarise(customUi));
    Print("SendAndLog_GetVisible", Summarise(visible), "a ribbon visibility callback");
    Print("QuorvaneGroup_GetVisible", Summarise(group));
}

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        vantrell::sim::RegisteredDll addin(L"Vantrell.dll");
        vantrell::sim::RegisteredDll helper(L"OsbHelper.dll");
        if (!addin.Ok() || !helper.Ok()) {
            std::printf("could not register Vantrell.dll and OsbHelper.dll\n");
            return 1;
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quorvane");
        gHook = SetWindowsHookExA(WH_CBT, WatchForTheBox, nullptr, GetCurrentThreadId());
        Run(L"11.0.8312", false);  // warm-up
        for (const auto& [name, form, version, ribbon] :
             {std::tuple{"Outlook 2003, command-bar buttons", "Outlook 2003 button", L"11.0.8312", false},
              std::tuple{"Outlook 2010, ribbon buttons", "Outlook 2010 ribbon", L"14.0.7015.1000", true}}) {
            const Clicks clicks = Run(version, ribbon);
            std::printf("%s, %d clicks each:\n", name, kClicks);
            Print("Log Message, click to message box", Summarise(clicks.logMessage),
                  std::string("Log Message, click to its message box (") + form + ")");
            Print("Send && Log, click to closed window", Summarise(clicks.sendAndLog),
                  std::string("Send && Log, click to the closed window (") + form + ")");
        }
        // What showing the message box costs by itself, measured the same way.
        std::vector<double> bare;
        for (int i = 0; i < kClicks; ++i) {
            gBoxShown = 0;
            const double start = vantrell::bench::Milliseconds();
            MessageBoxA(nullptr, "A copy of this message has been forwarded for logging", "Quorvane Email History",
                        MB_OK | MB_ICONINFORMATION);
            if (gBoxShown > 0) bare.push_back(gBoxShown - start);
        }
        Print("a message box alone, call to shown", Summarise(bare), "a bare message box, call to shown (Wine)");
        Selection();
        UnhookWindowsHookEx(gHook);
        Callbacks();
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quorvane");
    }
    CoUninitialize();
    return 0;
}
