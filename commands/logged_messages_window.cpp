#include "commands/logged_messages_window.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "platform/module.h"
#include "support/trace.h"

namespace vantrell {
namespace {

constexpr std::wstring_view kModule = L"LoggedMessages";
constexpr int kIdList = 100;
constexpr int kIdCopy = 101;
// How often the list looks for entries logged while it is open (from another mail window).
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMilliseconds = 1000;

// The layout, in dialog units.
constexpr short kWidth = 380, kHeight = 220;
constexpr int kMargin = 7, kGap = 4, kButtonWidth = 50, kButtonHeight = 14;
struct Column {
    const wchar_t* name;
    int width;
};
constexpr Column kColumns[] = {{L"Date", 80}, {L"Subject", 190}, {L"Result", 80}};

// A dialog without controls (they are made when it loads, so that the list view's class is
// registered first); the texts are UTF-16, as every dialog template's are, the caption is set
// when it loads.
std::vector<WORD> Template() {
    std::vector<WORD> data(sizeof(DLGTEMPLATE) / sizeof(WORD));
    DLGTEMPLATE header{};
    header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | DS_SETFONT | DS_CENTER;
    header.cx = kWidth;
    header.cy = kHeight;
    std::memcpy(data.data(), &header, sizeof header);
    data.insert(data.end(), {0, 0, 0, 8});  // no menu, the standard class, no caption, 8 points
    for (const wchar_t* c = L"MS Shell Dlg"; *c; ++c) data.push_back(*c);
    data.push_back(0);
    return data;
}

class LoggedMessages {
public:
    explicit LoggedMessages(const Journal& journal) : journal_(journal) {}
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) noexcept;

private:
    void Load(HWND window);
    int Units(int dialogUnits, bool vertical) const;
    void Layout();
    void Refresh();
    void Fill(LVITEMW& item);
    std::vector<size_t> Selected() const;
    void Select(int row, bool selected);
    void Copy();

    const Journal& journal_;
    HWND window_ = nullptr, list_ = nullptr, copy_ = nullptr, close_ = nullptr;
    size_t shown_ = 0;  // the entry count the list was given
    POINT minimum_{};   // the smallest frame: the one it opens with
    // The row last asked for (the list asks per column) and its three texts.
    size_t cachedRow_ = SIZE_MAX;
    std::wstring cells_[std::size(kColumns)];
};

INT_PTR CALLBACK LoggedMessages::Procedure(HWND window, UINT message, WPARAM w, LPARAM l) noexcept {
    try {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrW(window, DWLP_USER, l);
            reinterpret_cast<LoggedMessages*>(l)->Load(window);
            return FALSE;  // the list has the focus
        }
        auto* self = reinterpret_cast<LoggedMessages*>(GetWindowLongPtrW(window, DWLP_USER));
        if (!self) return FALSE;
        switch (message) {
            case WM_COMMAND:
                if (LOWORD(w) == kIdCopy) {
                    self->Copy();
                } else if (LOWORD(w) == IDCANCEL || LOWORD(w) == IDOK) {
                    KillTimer(window, kRefreshTimer);
                    EndDialog(window, IDCANCEL);
                } else {
                    return FALSE;
                }
                return TRUE;
            case WM_NOTIFY: {
                auto* header = reinterpret_cast<NMHDR*>(l);
                if (header->hwndFrom != self->list_) return FALSE;
                if (header->code == LVN_GETDISPINFOW) {
                    self->Fill(reinterpret_cast<NMLVDISPINFOW*>(l)->item);
                } else if (header->code == LVN_KEYDOWN && (GetKeyState(VK_CONTROL) & 0x8000)) {
                    const WORD key = reinterpret_cast<NMLVKEYDOWN*>(l)->wVKey;
                    if (key == 'C') self->Copy();
                    if (key == 'A') self->Select(-1, true);
                } else if (header->code == LVN_ODFINDITEMW) {
                    SetWindowLongPtrW(window, DWLP_MSGRESULT, -1);  // no search by typing
                } else {
                    return FALSE;
                }
                return TRUE;
            }
            case WM_TIMER:
                if (w == kRefreshTimer && self->journal_.Count() != self->shown_) self->Refresh();
                return TRUE;
            case WM_SIZE:
                self->Layout();
                return TRUE;
            case WM_GETMINMAXINFO:
                reinterpret_cast<MINMAXINFO*>(l)->ptMinTrackSize = self->minimum_;
                return TRUE;
        }
        return FALSE;
    } catch (...) {
        return FALSE;  // nothing escapes into the dialog manager
    }
}

int LoggedMessages::Units(int dialogUnits, bool vertical) const {
    RECT r{0, 0, dialogUnits, dialogUnits};
    MapDialogRect(window_, &r);
    return vertical ? r.bottom : r.right;
}

void LoggedMessages::Load(HWND window) {
    window_ = window;
    SetWindowTextA(window, kLoggedMessagesTitle);
    HINSTANCE module = com::ThisModule();
    const DWORD child = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
    list_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", child | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS,
                            0, 0, 0, 0, window, reinterpret_cast<HMENU>(kIdList), module, nullptr);
    copy_ = CreateWindowExW(0, L"BUTTON", L"&Copy", child | BS_PUSHBUTTON, 0, 0, 0, 0, window,
                            reinterpret_cast<HMENU>(kIdCopy), module, nullptr);
    close_ = CreateWindowExW(0, L"BUTTON", L"Close", child | BS_DEFPUSHBUTTON, 0, 0, 0, 0, window,
                             reinterpret_cast<HMENU>(IDCANCEL), module, nullptr);
    SendMessageW(window, DM_SETDEFID, IDCANCEL, 0);
    const WPARAM font = static_cast<WPARAM>(SendMessageW(window, WM_GETFONT, 0, 0));
    for (HWND control : {list_, copy_, close_})
        if (control) SendMessageW(control, WM_SETFONT, font, FALSE);
    if (list_) {
        SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
            column.pszText = const_cast<wchar_t*>(kColumns[i].name);
            column.cx = Units(kColumns[i].width, false);
            column.iSubItem = i;
            SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
        }
        Refresh();
        SetFocus(list_);
    }
    RECT frame;
    GetWindowRect(window, &frame);
    minimum_ = {frame.right - frame.left, frame.bottom - frame.top};
    Layout();
    SetTimer(window, kRefreshTimer, kRefreshMilliseconds, nullptr);
}

// The list fills the window above the buttons, which sit at its bottom right.
void LoggedMessages::Layout() {
    if (!list_ || !copy_ || !close_) return;
    RECT client;
    GetClientRect(window_, &client);
    const int margin = Units(kMargin, false), marginY = Units(kMargin, true);
    const int width = Units(kButtonWidth, false), height = Units(kButtonHeight, true), gap = Units(kGap, false);
    const int buttonsTop = client.bottom - marginY - height;
    MoveWindow(list_, margin, marginY, std::max(0, static_cast<int>(client.right) - 2 * margin),
               std::max(0, buttonsTop - 2 * marginY), TRUE);
    MoveWindow(close_, client.right - margin - width, buttonsTop, width, height, TRUE);
    MoveWindow(copy_, client.right - margin - 2 * width - gap, buttonsTop, width, height, TRUE);
}

// The list is virtual: it learns the count alone, and asks for the texts of the rows it shows.
// New entries come in at the top (row 0 is the newest), so the selected rows move down with
// them, and Copy still takes the entries the user chose.
void LoggedMessages::Refresh() {
    const size_t count = journal_.Count(), added = count > shown_ ? count - shown_ : 0;
    const std::vector<size_t> selected = added ? Selected() : std::vector<size_t>();
    shown_ = count;
    cachedRow_ = SIZE_MAX;
    SendMessageW(list_, LVM_SETITEMCOUNT, std::min<size_t>(shown_, INT_MAX), LVSICF_NOSCROLL);
    if (!selected.empty()) Select(-1, false);
    for (size_t row : selected)
        if (row + added < shown_) Select(static_cast<int>(row + added), true);
    InvalidateRect(list_, nullptr, FALSE);
}

void LoggedMessages::Fill(LVITEMW& item) {
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
    item.pszText[0] = L'\0';
    if (item.iItem < 0 || item.iSubItem < 0 || item.iSubItem >= static_cast<int>(std::size(kColumns))) return;
    const size_t row = static_cast<size_t>(item.iItem);
    if (row != cachedRow_) {
        cachedRow_ = row;
        for (std::wstring& cell : cells_) cell.clear();
        if (std::optional<JournalEntry> entry = journal_.Row(row)) {
            cells_[0] = JournalDateText(*entry);
            cells_[1] = std::move(entry->subject);
            for (wchar_t& c : cells_[1])
                if (c < L' ') c = L' ';
            cells_[2] = JournalResultText(*entry);
        }
    }
    const std::wstring& text = cells_[item.iSubItem];
    const size_t length = std::min(text.size(), static_cast<size_t>(item.cchTextMax) - 1);
    std::copy_n(text.data(), length, item.pszText);
    item.pszText[length] = L'\0';
}

// Selects or deselects one row, or every row (-1).
void LoggedMessages::Select(int row, bool selected) {
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED;
    state.state = selected ? LVIS_SELECTED : 0;
    SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
}

std::vector<size_t> LoggedMessages::Selected() const {
    std::vector<size_t> rows;
    for (LRESULT i = -1; (i = SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED)) != -1;)
        rows.push_back(static_cast<size_t>(i));
    return rows;
}

// The selected rows (all rows when none is selected) as text, on the clipboard.
void LoggedMessages::Copy() {
    std::vector<size_t> rows = Selected();
    if (rows.empty()) {
        rows.resize(journal_.Count());
        std::iota(rows.begin(), rows.end(), size_t{0});
    }
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));  // all rows take a while
    const std::wstring text = journal_.CopyText(rows);
    SetCursor(previous);
    bool put = false;
    if (OpenClipboard(window_)) {
        if (EmptyClipboard()) {
            const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
            HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
            if (void* target = memory ? GlobalLock(memory) : nullptr) {
                std::memcpy(target, text.c_str(), bytes);
                GlobalUnlock(memory);
                put = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
            }
            if (memory && !put) GlobalFree(memory);  // the clipboard owns it only once it took it
        }
        CloseClipboard();
    }
    if (!put) {
        WriteTrace(kModule, L"Copy",
                   L"the clipboard could not be written (error " + std::to_wstring(GetLastError()) + L")",
                   kTraceWarning);
        MessageBeep(MB_ICONEXCLAMATION);
    }
}

}  // namespace

void ShowLoggedMessages(HWND owner, const Journal& journal) noexcept {
    try {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        const std::vector<WORD> dialog = Template();
        LoggedMessages window(journal);
        if (DialogBoxIndirectParamW(com::ThisModule(), reinterpret_cast<const DLGTEMPLATE*>(dialog.data()), owner,
                                    &LoggedMessages::Procedure, reinterpret_cast<LPARAM>(&window)) == -1) {
            WriteTrace(kModule, L"ShowLoggedMessages",
                       L"the window could not be made (error " + std::to_wstring(GetLastError()) + L")", kTraceFailure);
        }
    } catch (...) {
        // Out of memory for the window's texts: there is nothing sensible left to show.
    }
}

}  // namespace vantrell
