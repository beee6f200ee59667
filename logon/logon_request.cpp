#include "logon/logon_request.h"

#include <algorithm>
#include <vector>

#include "logon/form_body.h"
#include "platform/ansi.h"
#include "platform/failure.h"
#include "platform/message_loop.h"
#include "support/shared_state.h"

namespace vantrell {

DWORD LogonRequestTimeoutMs = 30000;

namespace {

using com::LateBound;
using com::Variant;

// A request aborted while its connection was still open is kept for the rest of the process:
// Wine's request object calls back into itself when that connection finally goes, and crashes
// if it has been released by then (measured: a use after free in a later request). One small
// object per timed-out logon attempt; deliberately never released, not even at unload.
void KeepAborted(const LateBound& request) {
    static auto* aborted = new std::vector<com::Ptr<IDispatch>>();
    aborted->push_back(request.Pointer());
}

}  // namespace

// ---- the request body ----

Variant PackBytes(std::wstring_view postData) {
    const std::string bytes = FormBytes(ToAnsi(postData));
    SAFEARRAYBOUND bound{static_cast<ULONG>(bytes.size()), 0};
    SAFEARRAY* array = SafeArrayCreate(VT_UI1, 1, &bound);
    if (!array) throw std::bad_alloc();
    void* data = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(array, &data))) {
        std::copy(bytes.begin(), bytes.end(), static_cast<char*>(data));
        SafeArrayUnaccessData(array);
    }
    return Variant::AdoptArray(array, VT_UI1);
}

bool FormValue(std::wstring_view text, std::wstring& out) {
    out.clear();
    std::string ansi;
    for (wchar_t ch : text) {
        std::string code;
        if (!ToAnsiExact(std::wstring_view(&ch, 1), code) || code.size() != 1) return false;
        ansi += code;
    }
    out = FormEscape(ansi);
    return true;
}

// ---- sending ----

// A synchronous send would wait without end for a service that accepts the connection and
// never answers, with Outlook frozen meanwhile; so the request runs asynchronously while this
// waits, dispatching the window messages (the dialog itself disabled, so that it cannot be used
// meanwhile), and is aborted after LogonRequestTimeoutMs. No answer: the service could not be
// reached, dropped the connection, or did not answer in time. The focus goes back where the
// user had it.
bool SendLogonRequest(LateBound& request, const Variant& body, HWND dialog, bool& waiting, long& status) {
    request.Call(L"open", {Variant(L"POST"), Variant(SynchURL), Variant::Boolean(true)});
    request.Call(L"setRequestHeader", {Variant(L"Content-Type"), Variant(L"application/x-www-form-urlencoded")});
    if (HasPendingFailure()) return false;
    Variant sent;
    if (!request.TryCall(L"send", {body}, sent)) return false;

    // Disabling the dialog takes the focus from its control.
    const HWND focus = GetFocus();
    EnableWindow(dialog, FALSE);
    waiting = true;
    const DWORD started = GetTickCount();
    bool done = false;
    for (;;) {
        Variant state;
        if (!request.TryGet(L"readyState", state)) break;
        if (state.ToLong() == 4) {
            done = true;
            break;
        }
        if (GetTickCount() - started >= LogonRequestTimeoutMs) {
            request.Call(L"abort");
            KeepAborted(request);
            RecordFailure(static_cast<long>(HRESULT_FROM_WIN32(ERROR_TIMEOUT)),
                          L"The server did not answer within " + std::to_wstring(LogonRequestTimeoutMs / 1000) +
                              L" seconds");
            break;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        ProcessPendingMessages();
    }
    waiting = false;
    EnableWindow(dialog, TRUE);
    if (IsChild(dialog, focus)) SetFocus(focus);
    if (!done) return false;
    Variant code;
    if (!request.TryGet(L"status", code) || !code.TryLong(status)) return false;
    // Finished without an answer from the service: a dropped connection gives status 0, and
    // on Windows a connection that failed gives the WinInet error (12000 to 12999) as status.
    if (status == 0 || (status >= 12000 && status < 13000)) {
        RecordFailure(static_cast<long>(0x800C0008),  // INET_E_DOWNLOAD_FAILURE
                      L"The server could not be reached (status " + std::to_wstring(status) + L")");
        return false;
    }
    return true;
}

}  // namespace vantrell
