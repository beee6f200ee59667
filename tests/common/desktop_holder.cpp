// Keeps a Wine prefix's desktop up for a whole test run: Wine starts its desktop process for
// the first program that makes a window and ends it a few seconds after the last one has
// gone. A desktop started by a test under ctest keeps that test's output pipe open until then,
// so that every test showing a window would cost those seconds. Started by the test command
// with its output streams closed, this program makes one hidden window and waits until the
// prefix's server is stopped.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "VantrellDesktopHolder";
    RegisterClassA(&windowClass);
    // Hidden and never activated: no test's window competes with it for the focus.
    CreateWindowExA(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, windowClass.lpszClassName, "", WS_POPUP, 0, 0, 1, 1,
                    nullptr, nullptr, instance, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}
