// The add-in's session as a user meets it, inside the simulated Outlook: Vantrell.dll and the
// stand-in helper component are registered, Outlook starts and loads the add-in, the logon
// dialog appears and is filled in (by a timer inside its modal loop, as a user would), the
// service double answers, and the identifiers are stored in the mailbox; the user logs a
// received message with "Log Message" and sends a new one with "Send && Log", logs a selection
// of the Inbox from the add-in's menu in the main window, looks at the list of what was logged,
// signs out and in again; then Outlook starts again on the same mailbox and asks nothing. Prints what happened in the words a user
// would use, what the service's logging agent received, and the trace file; the password is
// never printed, not even in the service double's copy of the logon request.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "agent_mailbox.h"
#include "mailbox.h"
#include "outlook.h"
#include "platform/late_bound.h"
#include "platform/ansi.h"
#include "registered_dll.h"
#include "service_double.h"

namespace {

constexpr const char* kPassword = "demo password";

// A caption as the user sees it: "&&" is a literal "&", a single "&" only underlines the next letter.
std::string Shown(const std::wstring& caption) {
    std::wstring shown;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == L'&' && i + 1 < caption.size()) ++i;
        shown += caption[i];
    }
    return vantrell::ToAnsi(shown);
}

// The logon request's form body with the value of its password field masked.
std::string Masked(const std::string& body) {
    std::string out;
    for (size_t start = 0; start <= body.size();) {
        size_t end = body.find('&', start);
        if (end == std::string::npos) end = body.size();
        const std::string field = body.substr(start, end - start);
        out += (start == 0 ? "" : "&") + (field.rfind("password=", 0) == 0 ? std::string("password=********") : field);
        start = end + 1;
    }
    return out;
}

// The user at the keyboard: fills in the logon dialog, reads and closes the messages, reads
// the list of logged messages and closes it.
void CALLBACK User(HWND, UINT, UINT_PTR, DWORD) {
    if (HWND history = FindWindowA(nullptr, "Logged Messages - Quorvane Email History")) {
        HWND list = FindWindowExA(history, nullptr, "SysListView32", nullptr);
        const int rows = list ? static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) : 0;
        std::printf("  the window \"Logged Messages\" lists %d messages, newest first:\n", rows);
        for (int row = 0; row < rows; ++row) {
            std::string columns;
            for (int column = 0; column < 3; ++column) {
                char text[256] = {};
                LVITEMA item{};
                item.iSubItem = column;
                item.pszText = text;
                item.cchTextMax = sizeof text;
                SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
                columns += (column == 0 ? "" : " | ") + std::string(column == 0 ? "(date)" : text);
            }
            std::printf("    %s\n", columns.c_str());
        }
        PostMessageA(history, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return;
    }
    if (HWND dialog = FindWindowA(nullptr, "Initialize Quorvane Email History"); dialog && IsWindowEnabled(dialog)) {
        std::printf("  the logon dialog asks for the credentials: typing them, clicking OK\n");
        SetDlgItemTextA(dialog, 1001, "jsmith");
        SetDlgItemTextA(dialog, 1002, kPassword);
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    } else if (HWND box = FindWindowA(nullptr, "Quorvane Email History")) {
        char text[512] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        std::string shown = text;
        for (size_t at = shown.find('\n'); at != std::string::npos; at = shown.find('\n', at + 5)) shown.replace(at, 1, "\n    ");
        std::printf("  message box: \"%s\"\n", shown.c_str());
        // A question is answered No; any other box has OK.
        const int button = GetDlgItem(box, IDNO) ? IDNO : IDOK;
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    }
}

void SetSetting(const char* name, const std::string& text) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Quorvane\\Outlook\\History", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                    nullptr);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
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
        vantrell::sim::ServiceDouble service;
        service.Start();
        service.Reply(200, "OK", "logonid=4321;companyid=65");
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quorvane");
        SetSetting("SynchURL", service.Url());
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        const std::string tracePath = std::string(temp) + "VantrellTrace.log";
        DeleteFileA(tracePath.c_str());  // this run's trace only
        char appData[MAX_PATH] = {};
        SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appData);
        DeleteFileA((std::string(appData) + "\\Quorvane\\Email History\\journal.txt").c_str());  // and journal
        std::printf("The service double answers at %s\n", service.Url().c_str());

        auto mailbox = std::make_shared<vantrell::sim::Mailbox>();
        auto agent = std::make_shared<vantrell::sim::AgentMailbox>(std::vector<std::wstring>{L"log@history.quorvane.com"});
        mailbox->ConnectAgent(agent);
        vantrell::sim::MailFields order;
        order.subject = L"Order 1177";
        order.sender = {L"Ann Buyer", L"ann@customer.example"};
        order.to = {{L"J. Smith", L"jsmith@example.com"}};
        order.body = L"Please send 40 units.";
        const std::wstring orderId = mailbox->AddReceivedMail(order);
        vantrell::sim::MailFields question = order;
        question.subject = L"Question about delivery";
        question.body = L"When do they leave?";
        const std::wstring questionId = mailbox->AddReceivedMail(question);
        const std::wstring visitId = mailbox->AddItem(L"IPM.Appointment", L"Visit at Ann's");
        UINT_PTR user = SetTimer(nullptr, 0, 100, User);
        std::printf("Outlook 2003 starts for the first time with the add-in:\n");
        {
            vantrell::sim::Outlook outlook(L"11.0.8312", mailbox);
            outlook.StartUp();
            std::printf("  the service received the logon: %s\n",
                        service.Requests().empty() ? "nothing" : Masked(service.Requests()[0].body).c_str());
            std::printf("  the add-in keeps the logon in %zu hidden message of the Inbox\n", mailbox->HiddenItems().size());

            std::printf("The user opens \"Order 1177\" and clicks \"Log Message\":\n");
            const int reading = outlook.OpenItem(orderId);
            for (const vantrell::sim::ControlInfo& control : outlook.BarControls(reading))
                std::printf("  the window's Standard bar: %s%s\n", Shown(control.caption).c_str(),
                            control.tag.empty() ? "" : "   <- the add-in's button");
            outlook.ClickButton(reading, L"CRM.EmailLog");
            outlook.CloseInspector(reading);

            std::printf("The user writes a reply and clicks \"Send & Log\":\n");
            const int writing = outlook.OpenInspector();
            {
                vantrell::com::LateBound item(vantrell::com::Ptr<IDispatch>(outlook.CurrentItem(writing)));
                item.Put(L"Subject", vantrell::com::Variant(L"RE: Order 1177"));
                item.Put(L"Body", vantrell::com::Variant(L"40 units leave tomorrow."));
                vantrell::com::LateBound recipients(item.Get(L"Recipients"));
                recipients.Call(L"Add", {vantrell::com::Variant(L"ann@customer.example")});
                recipients.Call(L"ResolveAll");
            }
            for (const vantrell::sim::ControlInfo& control : outlook.BarControls(writing))
                if (!control.tag.empty())
                    std::printf("  the add-in's button in the window's Standard bar: \"%s\"\n", Shown(control.caption).c_str());
            outlook.ClickButton(writing, L"CRM.SendAndLog");
            bool stillOpen = true;
            try {
                outlook.Inspector(writing);
            } catch (const std::out_of_range&) {
                stillOpen = false;
            }
            std::printf("  the window %s\n", stillOpen ? "stayed open" : "has closed: the message is on its way");

            const int main = outlook.MainExplorer();
            std::printf("In the main window the user selects \"Order 1177\", \"Question about delivery\" and an\n"
                        "appointment, and clicks \"Quorvane\" > \"Log Selected Messages\":\n");
            outlook.SelectItems(main, {orderId, questionId, visitId});
            outlook.ClickMenuButton(main, L"CRM.Menu", L"CRM.LogSelected");
            std::printf("The user clicks \"Quorvane\" > \"Logged Messages...\":\n");
            outlook.ClickMenuButton(main, L"CRM.Menu", L"CRM.LoggedMessages");
            std::printf("The user clicks \"Quorvane\" > \"Sign Out\":\n");
            outlook.ClickMenuButton(main, L"CRM.Menu", L"CRM.SignOut");
            const int again = outlook.OpenItem(orderId);
            bool buttonShown = false;
            for (const vantrell::sim::ControlInfo& control : outlook.BarControls(again))
                buttonShown = buttonShown || (!control.tag.empty() && control.visible);
            std::printf("  \"Order 1177\" opens %s\n", buttonShown ? "with the add-in's button still there"
                                                                  : "without the add-in's button: signed out");
            std::printf("The user clicks \"Quorvane\" > \"Sign In...\":\n");
            outlook.ClickMenuButton(main, L"CRM.Menu", L"CRM.SignIn");
            for (const vantrell::sim::ControlInfo& control : outlook.BarControls(again))
                if (!control.tag.empty() && control.visible)
                    std::printf("  the button \"%s\" is back in the window\n", Shown(control.caption).c_str());
            outlook.CloseInspector(again);
            outlook.ShutDown();
            const long held = outlook.ReferencesHeldOutside();
            if (held == 0)
                std::printf("  Outlook closes; the add-in let go of Outlook\n");
            else
                std::printf("  Outlook closes, but the add-in still holds %ld of its objects\n", held);
        }
        std::printf("Outlook starts again on the same mailbox:\n");
        {
            vantrell::sim::Outlook outlook(L"11.0.8312", mailbox);
            outlook.StartUp();
            std::printf(service.Requests().size() == 2 ? "  no logon dialog this time: the add-in remembered the logon\n"
                                                       : "  the add-in asked the service again (%zu requests)\n",
                        service.Requests().size());
            outlook.ShutDown();
        }
        KillTimer(nullptr, user);

        std::printf("\nThe service's logging agent received %zu messages:\n", agent->Count());
        for (size_t i = 0; i < agent->Count(); ++i) {
            const vantrell::sim::ReceivedMail mail = agent->Read(i);
            std::printf("  %zu. Subject: %s, To: %s\n", i + 1, mail.Header("Subject").c_str(), mail.Header("To").c_str());
            for (const auto& [name, value] : mail.headers)
                if (name.rfind("X-Quorvanes-", 0) == 0) std::printf("       %s: %s\n", name.c_str(), value.c_str());
        }

        std::printf("\nThe trace file %s:\n", tracePath.c_str());
        if (FILE* trace = std::fopen(tracePath.c_str(), "rb")) {
            char line[1024];
            while (std::fgets(line, sizeof line, trace)) std::printf("  %s", line);
            std::fclose(trace);
        }
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quorvane");
    }
    CoUninitialize();
    return 0;
}
