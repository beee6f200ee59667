// Answers an installer dialog as a user would: waits for a top-level window titled TITLE that has
// a button BUTTON, prints the text of each of its visible controls (one line each), then clicks
// the button. Exits 1 when no such window showed within SECONDS.
// Usage: answer_dialog.exe TITLE BUTTON SECONDS
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Search {
    const wchar_t* title;
    const wchar_t* button;
    HWND dialog = nullptr;
    HWND found = nullptr;
};

std::wstring TextOf(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

BOOL CALLBACK FindButton(HWND child, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (IsWindowVisible(child) && TextOf(child) == search->button) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (IsWindowVisible(window) && TextOf(window) == search->title) {
        EnumChildWindows(window, FindButton, param);
        if (search->found) {
            search->dialog = window;
            return FALSE;
        }
    }
    return TRUE;
}

BOOL CALLBACK PrintText(HWND child, LPARAM) {
    if (IsWindowVisible(child)) {
        const std::wstring text = TextOf(child);
        if (!text.empty()) std::printf("%ls\n", text.c_str());
    }
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: answer_dialog TITLE BUTTON SECONDS\n");
        return 2;
    }
    Search search{argv[1], argv[2]};
    for (int waited = 0; waited < _wtoi(argv[3]) * 1000; waited += 100) {
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
        if (search.dialog) {
            EnumChildWindows(search.dialog, PrintText, 0);
            std::fflush(stdout);
            PostMessageW(search.found, BM_CLICK, 0, 0);
            return 0;
        }
        Sleep(100);
    }
    std::fprintf(stderr, "no window \"%ls\" with a button \"%ls\"\n", argv[1], argv[2]);
    return 1;
}
