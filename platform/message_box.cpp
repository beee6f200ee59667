#include "platform/message_box.h"

#include "platform/ansi.h"

namespace vantrell {

void ShowMessage(std::wstring_view text, MessageIcon icon, HWND owner) noexcept {
    try {
        std::string ansi = ToAnsi(text);
        MessageBoxA(owner, ansi.c_str(), kMessageTitle, MB_OK | static_cast<UINT>(icon));
    } catch (...) {
        // Out of memory for the text: there is nothing sensible left to show.
    }
}

bool AskYesNo(std::wstring_view question, bool defaultYes, HWND owner) noexcept {
    try {
        std::string ansi = ToAnsi(question);
        const UINT style = MB_YESNO | MB_ICONQUESTION | (defaultYes ? MB_DEFBUTTON1 : MB_DEFBUTTON2);
        return MessageBoxA(owner, ansi.c_str(), kMessageTitle, style) == IDYES;
    } catch (...) {
        return false;
    }
}

}  // namespace vantrell
