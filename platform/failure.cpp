#include "platform/failure.h"

#include "platform/variant.h"

namespace vantrell {
namespace {
thread_local Failure t_pending;
thread_local FailureObserver* t_observer = nullptr;
}  // namespace

const Failure& PendingFailure() noexcept { return t_pending; }
bool HasPendingFailure() noexcept { return t_pending.number != 0; }

void ClearFailure() noexcept {
    t_pending.number = 0;
    t_pending.description.clear();
    t_pending.action.clear();
    t_pending.file = "";
    t_pending.line = 0;
}

void RecordFailure(long number, std::wstring description, std::wstring action, std::source_location site) {
    Failure failure{number, std::move(description), std::move(action), site.file_name(),
                    static_cast<unsigned>(site.line())};
    for (FailureObserver* o = t_observer; o; o = o->outer_) o->seen_.push_back(failure);
    t_pending = std::move(failure);
}

void RecordHResult(HRESULT hr, std::wstring action, std::source_location site) {
    RecordFailure(static_cast<long>(hr), com::SystemMessage(hr), std::move(action), site);
}

std::wstring FailureText(const Failure& failure, FailureFormat format) {
    struct Form {
        const wchar_t* before;   // before the number
        const wchar_t* between;  // between the number and the description
    };
    static constexpr Form kForms[] = {
        {L"", L" "},           // Spaced
        {L"", L" desc="},      // Desc
        {L"err=", L" desc="},  // ErrDesc
        {L"error:", L" "},     // ErrorColon
    };
    const Form& form = kForms[static_cast<size_t>(format)];
    return form.before + std::to_wstring(failure.number) + form.between + failure.description;
}

FailureObserver::FailureObserver() : outer_(t_observer) { t_observer = this; }
FailureObserver::~FailureObserver() { t_observer = outer_; }

Failure MakeFailure(HRESULT number, std::wstring description) {
    Failure failure;
    failure.number = static_cast<long>(number);
    failure.description = std::move(description);
    return failure;
}

}  // namespace vantrell
