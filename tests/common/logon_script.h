#pragma once
// Window-script steps for the logon dialog, as a user works it.
#include <windows.h>

#include <utility>

#include "tests/common/window_script.h"
#include "logon/logon_dialog.h"

namespace vantrell::test {

inline constexpr const char* kLogonDialogTitle = "Initialize Quorvane Email History";
inline constexpr const char* kMessageBoxTitle = "Quorvane Email History";

// Types the credentials and clicks `button`.
inline WindowScript::Action FillLogon(const wchar_t* user, const wchar_t* password, int button = IDOK) {
    return [user, password, button](HWND window, SeenWindow&) {
        SetDlgItemTextW(window, kIdUserName, user);
        SetDlgItemTextW(window, kIdPassword, password);
        SendMessageA(GetDlgItem(window, button), BM_CLICK, 0, 0);
    };
}

// Notes which control has the focus and its selection, then cancels.
inline WindowScript::Action NoteFocusThenCancel(int& focusId, std::pair<DWORD, DWORD>& selection) {
    return [&focusId, &selection](HWND window, SeenWindow&) {
        focusId = GetDlgCtrlID(GetFocus());
        DWORD from = 0, to = 0;
        SendMessageA(GetFocus(), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
        selection = {from, to};
        SendMessageA(GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0);
    };
}

}  // namespace vantrell::test
