#include "logon/logon_dialog.h"

#include <vector>

#include "logon/logon_reply.h"
#include "logon/logon_request.h"
#include "platform/failure.h"
#include "platform/late_bound.h"
#include "platform/message_box.h"
#include "platform/module.h"
#include "platform/text.h"
#include "support/shared_state.h"
#include "support/trace.h"

namespace vantrell {

LogonDialog frmLogon;

namespace {

using com::LateBound;
using com::Variant;

constexpr std::wstring_view kModule = L"frmLogon";
// How much of an error reply with an unknown code the user is shown.
constexpr size_t kShownReplyLength = 200;

// ---- layout, in twips ----

struct Control {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    int left, top, width, height;
};

constexpr DWORD kLabel = WS_CHILD | WS_VISIBLE | SS_LEFT;
constexpr DWORD kBox = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;

// In tab order: each label directly before its box, so its access key reaches the box.
const Control kControls[] = {
    {kIdLabelOnce, L"STATIC", L"Once the server has confirmed your credentials you won't need to do this again. ",
     kLabel, 240, 1440, 3855, 375},
    {kIdLabelUserName, L"STATIC", L"&User Name:", kLabel, 240, 480, 1215, 255},
    {kIdUserName, L"EDIT", L"", kBox, 1440, 480, 2535, 285},
    {kIdLabelPassword, L"STATIC", L"&Password:", kLabel, 240, 960, 1095, 255},
    {kIdPassword, L"EDIT", L"", kBox | ES_PASSWORD, 1440, 960, 2535, 285},
    {IDOK, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 4200, 435, 975, 375},
    {IDCANCEL, L"BUTTON", L"Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 4200, 915, 975, 375},
    {kIdLabelIntro, L"STATIC", L"Enter your logon credentials and click OK to initialize the application", kLabel,
     240, 120, 4815, 255},
};
constexpr int kClientWidth = 5385;
constexpr int kClientHeight = 2205;
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;

// An in-memory dialog template: the header, the font, then each control, DWORD-aligned; its
// texts are UTF-16, as every dialog template's are.
class DialogTemplate {
public:
    DialogTemplate() {
        DLGTEMPLATE header{};
        header.style = kDialogStyle;
        header.cdit = static_cast<WORD>(std::size(kControls));
        Append(&header, sizeof header);
        Word(0);  // no menu
        Word(0);  // the standard dialog class
        Text(L"");  // the caption is set when the dialog loads
        Word(8);
        Text(L"MS Shell Dlg");
        for (const Control& c : kControls) {
            Align();
            DLGITEMTEMPLATE item{};
            item.style = c.style;
            item.id = static_cast<WORD>(c.id);
            Append(&item, sizeof item);
            Text(c.className);
            Text(c.text);
            Word(0);  // no creation data
        }
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(data_.data()); }

private:
    void Append(const void* bytes, size_t size) {
        const auto* p = static_cast<const WORD*>(bytes);
        data_.insert(data_.end(), p, p + size / sizeof(WORD));
    }
    void Word(WORD w) { data_.push_back(w); }
    void Text(const wchar_t* text) {
        for (const wchar_t* c = text; *c; ++c) data_.push_back(*c);
        data_.push_back(0);
    }
    void Align() {
        if (data_.size() % 2) data_.push_back(0);
    }
    std::vector<WORD> data_;
};

int Pixels(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

// Sizes and places every control from its twips, the client area likewise, and centres the
// dialog on the screen.
void Layout(HWND window) {
    HDC screen = GetDC(nullptr);
    int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    for (const Control& c : kControls) {
        MoveWindow(GetDlgItem(window, c.id), Pixels(c.left, dpiX), Pixels(c.top, dpiY), Pixels(c.width, dpiX),
                   Pixels(c.height, dpiY), FALSE);
    }
    RECT frame{0, 0, Pixels(kClientWidth, dpiX), Pixels(kClientHeight, dpiY)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)));
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    MoveWindow(window, work.left + (work.right - work.left - width) / 2, work.top + (work.bottom - work.top - height) / 2,
               width, height, TRUE);
}

void Trace(std::wstring_view text, long level) { WriteTrace(kModule, L"GetLogonID", text, level); }

void Message(HWND owner, std::wstring_view text, MessageIcon icon) { ShowMessage(text, icon, owner); }

}  // namespace

// ---- the dialog ----

// The dialog is a Unicode window, so its boxes hold what the user typed: in an ANSI dialog a
// character without an ANSI code would already have become "?" there, unseen by the check before
// sending.
void LogonDialog::Show(HWND owner) {
    static const DialogTemplate kTemplate;
    DialogBoxIndirectParamW(com::ThisModule(), kTemplate.Get(), owner, &LogonDialog::Procedure,
                            reinterpret_cast<LPARAM>(this));
    window_ = nullptr;
}

void LogonDialog::Unload() noexcept {
    if (window_) EndDialog(std::exchange(window_, nullptr), IDCANCEL);
}

INT_PTR CALLBACK LogonDialog::Procedure(HWND window, UINT message, WPARAM w, LPARAM l) noexcept {
    try {
        if (message == WM_INITDIALOG) {
            auto* self = reinterpret_cast<LogonDialog*>(l);
            SetWindowLongPtrW(window, DWLP_USER, l);
            self->window_ = window;
            self->Form_Load();
            return TRUE;  // the first box of the tab order takes the focus
        }
        auto* self = reinterpret_cast<LogonDialog*>(GetWindowLongPtrW(window, DWLP_USER));
        if (self && self->busy_ && message == WM_SETCURSOR) {
            SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
            SetWindowLongPtrW(window, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        if (!self || message != WM_COMMAND) return FALSE;
        if (LOWORD(w) == IDOK) self->OKButton_Click();
        if (LOWORD(w) == IDCANCEL) self->CancelButton_Click();
        return LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL;
    } catch (...) {
        return FALSE;  // nothing escapes into the dialog manager
    }
}

void LogonDialog::Form_Load() {
    ProcedureScope scope;
    Layout(window_);
    SetWindowTextW(window_, kLogonCaption);
    SendDlgItemMessageW(window_, kIdPassword, EM_SETPASSWORDCHAR, L'*', 0);
}

void LogonDialog::CancelButton_Click() {
    ProcedureScope scope;
    Unload();
}

std::wstring LogonDialog::Text(int id) const {
    HWND box = GetDlgItem(window_, id);
    int length = GetWindowTextLengthW(box);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(box, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

void LogonDialog::FocusBox(int id, bool selectAll) {
    HWND box = GetDlgItem(window_, id);
    SendMessageA(box, EM_SETSEL, 0, selectAll ? -1 : 0);
    SetFocus(box);
}

void LogonDialog::OKButton_Click() {
    ProcedureScope scope;
    if (Text(kIdUserName).empty()) {
        Message(window_, L"Please enter your user name!", MessageIcon::Critical);
        FocusBox(kIdUserName, false);
    } else if (Text(kIdPassword).empty()) {
        Message(window_, L"Please enter your password!", MessageIcon::Critical);
        FocusBox(kIdPassword, false);
    } else {
        GetLogonID();
    }
}

void LogonDialog::GetLogonID() {
    ProcedureScope scope;
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
    const std::wstring userName = Text(kIdUserName);
    std::wstring userField, passwordField;
    // A character the form body cannot carry is refused before anything is sent.
    if (!FormValue(userName, userField) || !FormValue(Text(kIdPassword), passwordField)) {
        Message(window_, L"The User Name and Password may only contain characters of this computer's language settings!",
                MessageIcon::Critical);
        FocusBox(FormValue(userName, userField) ? kIdPassword : kIdUserName, true);
        SetCursor(previous);
        return;
    }
    Variant body = PackBytes(L"cmd=logon&username=" + userField + L"&password=" + passwordField +
                             L"&clientVersion=9.9.9");
    Trace(L"posting to " + SynchURL + L" with cmd=logon&username=" + userName, kTraceStep);

    LateBound request = com::CreateObject(kRequestProgId);
    if (HasPendingFailure() || !request) {
        Failure failure = PendingFailure();
        Trace(L"error instantiating XMLHTTP object: " + FailureText(failure, FailureFormat::Spaced), kTraceFailure);
        Message(window_, L"Internal error, please contact support!", MessageIcon::Critical);
    } else {
        // Success is status 200 whatever its reason phrase: HTTP lets a server or a proxy send
        // any text there, or none.
        long status = 0;
        const bool answered = SendLogonRequest(request, body, window_, busy_, status);
        if (!answered || status != 200) {
            // Once aborted, the request no longer tells its status text: the line names the text
            // read before, and is not written when there was none (the server was not reached).
            Variant statusText;
            const bool statusTextRead = answered && request.TryGet(L"statusText", statusText);
            request.Call(L"abort");
            Message(window_, L"Unable to contact server, please try again later", MessageIcon::Critical);
            if (statusTextRead) Trace(L"statusText = " + statusText.ToText(), kTraceWarning);
        } else {
            Variant replyValue;
            std::wstring reply = request.TryGet(L"responseText", replyValue) ? replyValue.ToText() : std::wstring();
            const LogonReply parsed = ParseLogonReply(reply, Lower(reply));
            if (parsed.kind == LogonReplyKind::Error) {
                Trace(L"ResponseText = " + reply, kTraceFailure);
                // A code the add-in does not know still tells the user why nothing happened.
                if (!ShowLogonError(parsed.errorCode)) {
                    Message(window_, L"The server could not log you on: " + reply.substr(0, kShownReplyLength),
                            MessageIcon::Exclamation);
                }
            } else if (parsed.kind == LogonReplyKind::Identifiers) {
                SetLogonIdentifiers(parsed, LogonID, CompanyID);
                if (LogonID != 0 && CompanyID != 0) {
                    Message(window_, L"Successfully retrieved initialization parameters!", MessageIcon::Exclamation);
                    Trace(L"retrieved LogonID = " + std::to_wstring(LogonID) + L", CompanyID = " +
                              std::to_wstring(CompanyID),
                          kTraceMilestone);
                } else if (LogonID != 0) {
                    Message(window_, L"Your account is not configured correctly to use this application!",
                            MessageIcon::Critical);
                    Trace(L"retrieved LogonID = " + std::to_wstring(LogonID) + L" but no CompanyID", kTraceWarning);
                } else {
                    Message(window_, L"Your account is not enabled for this application!", MessageIcon::Critical);
                    Trace(L"no LogonID was returned", kTraceWarning);
                }
                Unload();
            } else {
                Message(window_,
                        L"Unable to contact web server for initialization!\r\nPlease verify that " + SynchURL +
                            L" is the correct URL.",
                        MessageIcon::Critical);
                Trace(L"ResponseText = " + reply, kTraceFailure);
            }
        }
    }
    request.Reset();
    if (HasPendingFailure()) {
        Failure failure = PendingFailure();
        Trace(FailureText(failure, FailureFormat::ErrorColon), kTraceFailure);
    }
    SetCursor(previous ? previous : LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
}

bool LogonDialog::ShowLogonError(const std::wstring& code) {
    ProcedureScope scope;
    struct Known {
        const wchar_t* code;
        const wchar_t* message;
        int select;  // the box whose text is selected, or 0
    };
    static const Known kCodes[] = {
        {L"invalid username", L"The User Name is not valid!", kIdUserName},
        {L"invalid password", L"The Password is not valid!", kIdPassword},
        {L"inactive user", L"The User account is no longer active!", 0},
        {L"no offlineaccess for user", L"Your account is not enabled for off-line access!", 0},
        {L"emailhistoryaccess not enabled for user", L"Your account is not enabled for this service!", 0},
        {L"no active company", L"Your account is not associated with an active workgroup!", 0},
        {L"no offline-enabled company", L"Your account is not associated with any offline-enabled workgroup!", 0},
        {L"multiple active companies", L"Your account is associated with more than one offline-enabled workgroup!", 0},
    };
    const std::wstring lower = Lower(code);
    for (const Known& known : kCodes) {
        if (lower != known.code) continue;
        Message(window_, known.message, MessageIcon::Critical);
        if (known.select) FocusBox(known.select, true);
        return true;
    }
    return false;
}

}  // namespace vantrell
