#pragma once
// "Logged Messages": the journal of logged messages, newest first, in a virtual list view
// (Date, Subject, Result), so that it opens at once however long the journal is. "Copy" puts
// the selected rows (all rows when none is selected) on the clipboard as text for support
// (Ctrl+A and Ctrl+C in the list likewise); "Close" (or Esc) closes it. Entries logged while it is
// open (from a mail window) join the list within a second.
#include <windows.h>

#include "support/journal.h"

namespace vantrell {

inline constexpr const char* kLoggedMessagesTitle = "Logged Messages - Quorvane Email History";

// Shows the window modally over `owner` (none: over the desktop) and returns when the user
// has closed it.
void ShowLoggedMessages(HWND owner, const Journal& journal) noexcept;

}  // namespace vantrell
