#pragma once
// frmLogon: the modal dialog that asks for the user's credentials for the service, posts them
// to the logon page (SynchURL) and, on success, sets LogonID and CompanyID. The password is
// used for that one request only: it is never stored or traced.
#include <windows.h>

#include <string>
#include <string_view>

#include "platform/late_bound.h"
#include "platform/variant.h"

namespace vantrell {

// Control identifiers of the dialog.
inline constexpr int kIdUserName = 1001;  // txtUID
inline constexpr int kIdPassword = 1002;  // txtPWD
inline constexpr int kIdLabelIntro = 1003;
inline constexpr int kIdLabelUserName = 1004;
inline constexpr int kIdLabelPassword = 1005;
inline constexpr int kIdLabelOnce = 1006;

inline constexpr const wchar_t* kLogonCaption = L"Initialize Quorvane Email History";

// How long the logon request may wait for the service's answer before it counts as a server
// that cannot be reached (tests shorten it).
extern DWORD LogonRequestTimeoutMs;
inline constexpr const wchar_t* kRequestProgId = L"Microsoft.XMLHTTP";

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
    bool SendAndWait(com::LateBound& request, const com::Variant& body, long& status);
    // Shows the message of a known error code; false (nothing shown) for any other code.
    bool ShowLogonError(const std::wstring& code);
    std::wstring Text(int id) const;
    void FocusBox(int id, bool selectAll);

    HWND window_ = nullptr;
    bool busy_ = false;  // a request is waiting for its answer: the hourglass stays
};

// The one default instance.
extern LogonDialog frmLogon;

// The form body as bytes in the system ANSI code page, spaces as "+".
com::Variant PackBytes(std::wstring_view postData);
// A credential as a form field value: "&", "=", "+", "%" and every byte outside printable
// ASCII as %XX of its ANSI code, spaces kept (PackBytes makes them "+"); false when a
// character has no single-byte ANSI code.
bool FormValue(std::wstring_view text, std::wstring& out);

}  // namespace vantrell
