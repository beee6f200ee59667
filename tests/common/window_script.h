#pragma once
// Drives the real windows the add-in shows (message boxes, dialogs) from inside their modal
// loop: a thread timer finds the window by its title on this thread, records what it shows,
// then acts on it (types into edit boxes, clicks a button).
#include <windows.h>

#include <functional>
#include <string>
#include <deque>
#include <vector>

namespace vantrell::test {

struct SeenWindow {
    std::string title;
    std::string text;                  // a message box's message
    std::vector<std::string> buttons;  // the captions of its buttons, in child order
    LPCSTR icon = nullptr;             // IDI_HAND, IDI_EXCLAMATION, IDI_ASTERISK, IDI_QUESTION or nullptr
    HWND owner = nullptr;
};

class WindowScript {
public:
    // What to do with the window once seen; the default clicks the button with id IDOK.
    using Action = std::function<void(HWND window, SeenWindow& seen)>;

    WindowScript();
    ~WindowScript();
    WindowScript(const WindowScript&) = delete;
    WindowScript& operator=(const WindowScript&) = delete;

    // Expects one more window titled `title`; steps are taken in the order they are added.
    void Expect(const std::string& title, Action action = ClickButton(IDOK));
    // Handles every window titled `title` that no expected step is waiting for (recorded too).
    void Always(const std::string& title, Action action);
    static Action ClickButton(int id);

    const std::deque<SeenWindow>& Seen() const { return seen_; }
    // Windows expected but not (yet) seen.
    size_t Pending() const { return steps_.size() - next_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void Poll();
    // Whether the window found may be acted on now: it has its activation (or waited long enough).
    bool Ready(HWND window);

    struct Step {
        std::string title;
        Action action;
    };
    std::vector<Step> steps_;
    std::vector<Step> standing_;
    size_t next_ = 0;
    std::deque<SeenWindow> seen_;  // stable references: an action may open the next window
    UINT_PTR timer_ = 0;
    HWND sighted_ = nullptr;  // found at the last tick, acted on at this one
    int inactiveTicks_ = 0;   // ticks a found window has waited for its activation
};

// Reads what a window shows (title, message text, button captions, message-box icon).
SeenWindow Read(HWND window);

}  // namespace vantrell::test
