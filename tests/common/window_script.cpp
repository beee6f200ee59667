#include "tests/common/window_script.h"

namespace vantrell::test {
namespace {

WindowScript* g_active = nullptr;

std::string TextOf(HWND window) {
    char buffer[4096] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

struct Search {
    const std::string* title;
    HWND found;
};

BOOL CALLBACK FindByTitle(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (IsWindowVisible(window) && TextOf(window) == *search->title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
    auto* seen = reinterpret_cast<SeenWindow*>(param);
    char cls[64] = {};
    GetClassNameA(child, cls, sizeof cls);
    std::string name = cls;
    LONG style = GetWindowLongA(child, GWL_STYLE);
    if (_stricmp(cls, "Button") == 0) {
        seen->buttons.push_back(TextOf(child));
    } else if (_stricmp(cls, "Static") == 0) {
        if ((style & SS_TYPEMASK) == SS_ICON) {
            HICON icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
            for (LPCSTR candidate : {IDI_HAND, IDI_EXCLAMATION, IDI_ASTERISK, IDI_QUESTION}) {
                if (icon && icon == LoadIconA(nullptr, candidate)) seen->icon = candidate;
            }
        } else if (GetDlgCtrlID(child) == 0xFFFF) {
            seen->text = TextOf(child);
        }
    }
    return TRUE;
}

}  // namespace

SeenWindow Read(HWND window) {
    SeenWindow seen;
    seen.title = TextOf(window);
    seen.owner = GetWindow(window, GW_OWNER);
    EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&seen));
    return seen;
}

WindowScript::WindowScript() {
    g_active = this;
    timer_ = SetTimer(nullptr, 0, 20, &WindowScript::Tick);
}

WindowScript::~WindowScript() {
    if (timer_) KillTimer(nullptr, timer_);
    if (g_active == this) g_active = nullptr;
}

void WindowScript::Expect(const std::string& title, Action action) { steps_.push_back({title, std::move(action)}); }

void WindowScript::Always(const std::string& title, Action action) { standing_.push_back({title, std::move(action)}); }

WindowScript::Action WindowScript::ClickButton(int id) {
    return [id](HWND window, SeenWindow&) {
        HWND button = GetDlgItem(window, id);
        if (button)
            SendMessageA(button, BM_CLICK, 0, 0);
        else
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    };
}

void CALLBACK WindowScript::Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (g_active) g_active->Poll();
}

bool WindowScript::Ready(HWND window) {
    // Wine hands a new window (or one a message box gave back) its activation through the
    // message queue; on a busy machine that can take a few ticks. Until then the user could not
    // type into it either. A window that never becomes active is acted on after about a second,
    // and the test then sees why.
    if (GetActiveWindow() != window && inactiveTicks_++ < 50) return false;
    inactiveTicks_ = 0;
    return true;
}

void WindowScript::Poll() {
    if (next_ < steps_.size()) {
        Search search{&steps_[next_].title, nullptr};
        EnumThreadWindows(GetCurrentThreadId(), FindByTitle, reinterpret_cast<LPARAM>(&search));
        // A window is acted on at the tick after it was first seen: a window that has just
        // appeared may still be filling in its controls.
        if (search.found && search.found != sighted_) {
            sighted_ = search.found;
            return;
        }
        if (search.found) {
            if (!Ready(search.found)) return;
            sighted_ = nullptr;
            Step step = steps_[next_++];
            seen_.push_back(Read(search.found));
            if (step.action) step.action(search.found, seen_.back());
            return;
        }
    }
    for (const Step& rule : standing_) {
        if (next_ < steps_.size() && steps_[next_].title == rule.title) continue;  // an expected step waits for it
        Search search{&rule.title, nullptr};
        EnumThreadWindows(GetCurrentThreadId(), FindByTitle, reinterpret_cast<LPARAM>(&search));
        // A disabled window is busy (the user could not act on it either).
        if (!search.found || !IsWindowEnabled(search.found)) continue;
        if (search.found != sighted_) {
            sighted_ = search.found;
            return;
        }
        if (!Ready(search.found)) return;
        sighted_ = nullptr;
        Step copy = rule;
        seen_.push_back(Read(search.found));
        if (copy.action) copy.action(search.found, seen_.back());
        return;
    }
}

}  // namespace vantrell::test
