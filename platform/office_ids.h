#pragma once
// The published Office and Word identifiers the add-in uses: the command-bar button's and
// Word's application event interfaces, their DISPIDs, and the command-bar constants. Members
// themselves are called by name.
#include <windows.h>

namespace vantrell::office {

// _CommandBarButtonEvents: Click(Ctrl, CancelDefault).
inline constexpr IID kCommandBarButtonEvents = {0x000C0351, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr DISPID kClick = 1;

inline constexpr long msoControlButton = 1;
inline constexpr long msoControlPopup = 10;
inline constexpr long msoButtonIconAndCaption = 3;

}  // namespace vantrell::office

namespace vantrell::word {

// Word's application events: ApplicationEvents2 (Word 2000 and later) and ApplicationEvents4
// (Word 2003 and later); WindowActivate(Doc, Wn) has the same DISPID in both.
inline constexpr IID kApplicationEvents2 = {0x000209FE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID kApplicationEvents4 = {0x00020A01, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr DISPID kWindowActivate = 10;
inline constexpr DISPID kQuit = 2;

}  // namespace vantrell::word
