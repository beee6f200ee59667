#pragma once
// A modeless progress window for a long run on the user interface thread: a line of text, a
// progress bar and a Cancel button, over its owner. The run calls Step between its items;
// Step shows where it is and dispatches the thread's pending messages, so that Outlook keeps
// painting and answering while the run goes on. The owner stays enabled.
#include <windows.h>

#include <cstddef>
#include <string_view>

namespace vantrell {

inline constexpr const char* kProgressTitle = "Logging Messages - Quorvane Email History";

class ProgressWindow {
public:
    // Shows the window at once, at 0 of `total`. When it cannot be made the run goes on
    // without it (Handle is null, Cancelled stays false).
    ProgressWindow(HWND owner, size_t total) noexcept;
    ~ProgressWindow();
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    // Shows `done` of the total and `text`, then dispatches the messages waiting (a WM_QUIT met
    // is posted again for the loop that owns it).
    void Step(size_t done, std::wstring_view text) noexcept;
    // The user pressed Cancel (or Esc, or closed the window).
    bool Cancelled() const noexcept { return cancelled_; }
    HWND Handle() const noexcept { return window_; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    HWND text_ = nullptr;
    HWND bar_ = nullptr;
    size_t total_ = 0;
    bool cancelled_ = false;
};

}  // namespace vantrell
