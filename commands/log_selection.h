#pragma once
// Log Selected Messages, from the explorers' menu: every mail item selected in the message
// list logged as Log Message logs one (the same forward, headers and send), what is not a
// mail item and what the journal has as logged skipped, with a progress window and Cancel
// for more than a few, and one summary at the end.
#include <windows.h>
#include <oaidl.h>

#include <cstddef>
#include <string>
#include <vector>

#include "platform/com_ptr.h"

namespace vantrell {

// Runs up to this many messages without a progress window.
inline constexpr std::size_t kQuietRun = 5;
// Asks before a run of more than this many selected items.
inline constexpr std::size_t kAskAbove = 500;
// The failures the summary names one by one; the rest are counted.
inline constexpr std::size_t kReasonsShown = 10;

inline constexpr const wchar_t* kNothingSelectedMessage =
    L"Select the messages to log in the message list first.";

// What a run did, for its summary.
struct SelectionTally {
    std::size_t selected = 0;
    std::size_t logged = 0;
    std::size_t notMail = 0;
    std::size_t loggedBefore = 0;
    std::size_t failed = 0;
    std::vector<std::wstring> reasons;  // "<subject>: <why>", in the order met
    bool cancelled = false;
    std::wstring journalTrouble;  // why the journal could not be used, empty when it could
};
std::wstring SummaryText(const SelectionTally& tally);

// The menu's action: logs the selection of `explorer`.
void LogSelectedMessages(const com::Ptr<IDispatch>& explorer);

}  // namespace vantrell
