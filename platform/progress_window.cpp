#include "platform/progress_window.h"

#include <commctrl.h>

#include <climits>
#include <string>

#include "platform/module.h"

namespace vantrell {
namespace {

constexpr wchar_t kClassName[] = L"VantrellProgressWindow";

// The layout, in pixels at 96 dots per inch.
constexpr int kClientWidth = 360, kClientHeight = 102, kMargin = 12;
constexpr int kTextTop = 12, kTextHeight = 16;
constexpr int kBarTop = 36, kBarHeight = 18;
constexpr int kButtonTop = 66, kButtonWidth = 84, kButtonHeight = 24;

// The bar's range: the total itself where it fits the control's int range.
int BarRange(size_t total) { return total == 0 ? 1 : total > INT_MAX ? INT_MAX : static_cast<int>(total); }

int BarPosition(size_t done, size_t total) {
    if (total == 0) return 0;
    if (done >= total) return BarRange(total);
    if (total <= INT_MAX) return static_cast<int>(done);
    return static_cast<int>(static_cast<long double>(done) * INT_MAX / static_cast<long double>(total));
}

// Centred on the owner where it has one on the screen, else on the work area.
POINT Origin(HWND owner, int width, int height) {
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT around = area;
    if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &around);
    LONG left = around.left + (around.right - around.left - width) / 2;
    LONG top = around.top + (around.bottom - around.top - height) / 2;
    if (left + width > area.right) left = area.right - width;
    if (top + height > area.bottom) top = area.bottom - height;
    return {left < area.left ? area.left : left, top < area.top ? area.top : top};
}

}  // namespace

ProgressWindow::ProgressWindow(HWND owner, size_t total) noexcept : total_(total) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    HINSTANCE module = com::ThisModule();
    // Registered while a window of it lives and unregistered after (see the destructor), so that
    // the class never outlives the code of its procedure when the DLL is unloaded.
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = &ProgressWindow::Procedure;
    cls.hInstance = module;
    cls.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = kClassName;
    RegisterClassExW(&cls);  // fails harmlessly while another progress window holds it

    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    auto px = [dpi](int pixels) { return MulDiv(pixels, dpi, 96); };

    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT frame{0, 0, px(kClientWidth), px(kClientHeight)};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    const POINT at = Origin(owner, width, height);
    wchar_t title[64] = {};
    MultiByteToWideChar(CP_ACP, 0, kProgressTitle, -1, title, static_cast<int>(std::size(title)));
    window_ =
        CreateWindowExW(exStyle, kClassName, title, style, at.x, at.y, width, height, owner, nullptr, module, this);
    if (!window_) return;

    const HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    const int inner = px(kClientWidth - 2 * kMargin);
    text_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS,
                            px(kMargin), px(kTextTop), inner, px(kTextHeight), window_, nullptr, module, nullptr);
    bar_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, px(kMargin), px(kBarTop), inner,
                           px(kBarHeight), window_, nullptr, module, nullptr);
    HWND cancel = CreateWindowExW(0, L"BUTTON", L"Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                                  px(kClientWidth - kMargin - kButtonWidth), px(kButtonTop), px(kButtonWidth),
                                  px(kButtonHeight), window_, reinterpret_cast<HMENU>(IDCANCEL), module, nullptr);
    for (HWND child : {text_, bar_, cancel})
        if (child) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (bar_) SendMessageW(bar_, PBM_SETRANGE32, 0, BarRange(total_));
    ShowWindow(window_, SW_SHOW);
    if (cancel) SetFocus(cancel);
    UpdateWindow(window_);
}

ProgressWindow::~ProgressWindow() {
    if (window_) DestroyWindow(window_);
    UnregisterClassW(kClassName, com::ThisModule());  // fails harmlessly while another window holds it
}

void ProgressWindow::Step(size_t done, std::wstring_view text) noexcept {
    if (window_) {
        try {
            if (text_) SetWindowTextW(text_, std::wstring(text).c_str());
        } catch (...) {
            // No memory for the text: the bar still moves.
        }
        if (bar_) SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(BarPosition(done, total_)), 0);
    }
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop that owns it
            return;
        }
        // Tab, Enter and Esc in the window; the window may go while a message is dispatched.
        if (window_ && IsDialogMessageW(window_, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

LRESULT CALLBACK ProgressWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self) {
        switch (message) {
            case WM_COMMAND:
                if (LOWORD(wParam) == IDCANCEL) {
                    self->cancelled_ = true;
                    return 0;
                }
                break;
            case WM_CLOSE:  // the close box and Alt+F4: the window stays until the run ends
                self->cancelled_ = true;
                return 0;
            case WM_NCDESTROY:  // destroyed from outside too (with its owner): never used again
                self->window_ = self->text_ = self->bar_ = nullptr;
                SetWindowLongPtrW(window, GWLP_USERDATA, 0);
                break;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace vantrell
