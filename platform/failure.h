#pragma once
// The pending-failure record: the add-in's procedures carry on after a failing statement,
// and a procedure that cares looks at what failed since it started or last called another
// procedure. One record per thread; ProcedureScope clears it on entry and on return.
#include <windows.h>

#include <functional>
#include <source_location>
#include <string>
#include <vector>

namespace vantrell {

struct Failure {
    long number = 0;           // the HRESULT or the exception's code, as a signed number
    std::wstring description;  // the exception's text, or the system's text for the HRESULT
    std::wstring action;       // what was being done (the member name of a late-bound call)
    const char* file = "";
    unsigned line = 0;
};

// The current thread's pending failure (number 0: none).
const Failure& PendingFailure() noexcept;
bool HasPendingFailure() noexcept;
void ClearFailure() noexcept;

// How a failure is written into a trace line, each as its callers have always written it: the
// number in decimal (an HRESULT's as a negative number), the description as it is (even empty).
enum class FailureFormat {
    Spaced,      // "<number> <description>"
    Desc,        // "<number> desc=<description>"
    ErrDesc,     // "err=<number> desc=<description>"
    ErrorColon,  // "error:<number> <description>"
};
std::wstring FailureText(const Failure& failure, FailureFormat format);
// A failure of the add-in's own making (no member failed, yet nothing can go on).
Failure MakeFailure(HRESULT number, std::wstring description);

// Records a failure; a later one replaces an earlier one, as the next failing statement would.
void RecordFailure(long number, std::wstring description, std::wstring action = {},
                   std::source_location site = std::source_location::current());
// Records a failed HRESULT with the system's text for it.
void RecordHResult(HRESULT hr, std::wstring action = {},
                   std::source_location site = std::source_location::current());

// Put at the top of every add-in procedure: clears the record on entry and on return.
class ProcedureScope {
public:
    ProcedureScope() noexcept { ClearFailure(); }
    ~ProcedureScope() { ClearFailure(); }
    ProcedureScope(const ProcedureScope&) = delete;
    ProcedureScope& operator=(const ProcedureScope&) = delete;
};

// Sees every failure recorded on this thread while it lives (for tests and diagnostics).
class FailureObserver {
public:
    FailureObserver();
    ~FailureObserver();
    FailureObserver(const FailureObserver&) = delete;
    FailureObserver& operator=(const FailureObserver&) = delete;

    const std::vector<Failure>& Seen() const noexcept { return seen_; }

private:
    friend void RecordFailure(long, std::wstring, std::wstring, std::source_location);
    std::vector<Failure> seen_;
    FailureObserver* outer_;
};

}  // namespace vantrell
