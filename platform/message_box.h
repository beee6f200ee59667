#pragma once
// The add-in's message boxes: MessageBoxA, title "Quorvane Email History", an OK button.
#include <windows.h>

#include <string_view>

namespace vantrell {

inline constexpr const char* kMessageTitle = "Quorvane Email History";

enum class MessageIcon : UINT {
    Critical = MB_ICONHAND,          // refusals and errors
    Exclamation = MB_ICONEXCLAMATION,  // a failed log
    Information = MB_ICONASTERISK,   // success
};

// Shows the message modally over `owner` (none: over the desktop) and returns when the user
// has closed it.
void ShowMessage(std::wstring_view text, MessageIcon icon, HWND owner = nullptr) noexcept;

}  // namespace vantrell
