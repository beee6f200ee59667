#pragma once
// frmLogon: the modal dialog that asks for the user's credentials for the service, posts them
// to the logon page (SynchURL, logon_request.h) and, on success, sets LogonID and CompanyID
// from the reply (logon_reply.h). The password is used for that one request only: it is never
// stored or traced.
#include <windows.h>

#include <string>

namespace vantrell {

// Control identifiers of the dialog.
inline constexpr int kIdUserName = 1001;  // txtUID
inline constexpr int kIdPassword = 1002;  // txtPWD
inline constexpr int kIdLabelIntro = 1003;
inline constexpr int kIdLabelUserName = 1004;
inline constexpr int kIdLabelPassword = 1005;
inline constexpr int kIdLabelOnce = 1006;

inline constexpr const wchar_t* kLogonCaption = L"Initialize Quorvane Email History";

class LogonDialog {
public:
    // Shows the dialog modally over `owner` and returns when it has closed.
    void Show(HWND owner = nullptr);
    // Closes the dialog if it is open; harmless when it is not.
    void Unload() noexcept;
    bool Loaded() const noexcept { return window_ != nullptr; }

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) noexcept;
    void Form_Load();
    void OKButton_Click();
    void CancelButton_Click();
    void GetLogonID();
    // Shows the message of a known error code; false (nothing shown) for any other code.
    bool ShowLogonError(const std::wstring& code);
    std::wstring Text(int id) const;
    void FocusBox(int id, bool selectAll);

    HWND window_ = nullptr;
    bool busy_ = false;  // a request is waiting for its answer: the hourglass stays
};

// The one default instance.
extern LogonDialog frmLogon;

}  // namespace vantrell
