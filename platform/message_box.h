#pragma once
// The add-in's message boxes: MessageBoxA, title "Quorvane Email History", an OK button (or,
// for a question, Yes and No).
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

// Asks `question` modally over `owner` with Yes and No, the default button being the one
// `defaultYes` names; true when the user answered Yes (closing the box, or no box, is No).
bool AskYesNo(std::wstring_view question, bool defaultYes, HWND owner = nullptr) noexcept;

}  // namespace vantrell
