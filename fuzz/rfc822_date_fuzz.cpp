// The OriginalDateSent header's text: from any broken-down date the text is empty, when a part
// is outside its range, or exactly the RFC 822 shape, which reads back as the same parts.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/fuzz_check.h"
#include "session/rfc822.h"

namespace vantrell {
namespace {

constexpr const wchar_t* kDays[] = {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
constexpr const wchar_t* kMonths[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                      L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};

// A part, often near its range so that both edges are met: up to two past its top, or any
// 16-bit value as SYSTEMTIME's fields hold.
unsigned Part(FuzzedDataProvider& input, unsigned top) {
    return input.ConsumeBool() ? input.ConsumeIntegralInRange<unsigned>(0, top + 2)
                               : input.ConsumeIntegral<uint16_t>();
}

// Reads `count` decimal digits (exactly, or 1 to `count` when `exact` is false) at `at`.
bool Digits(std::wstring_view text, size_t& at, size_t count, bool exact, unsigned& value) {
    size_t start = at;
    value = 0;
    while (at < text.size() && at - start < count && text[at] >= L'0' && text[at] <= L'9')
        value = value * 10 + static_cast<unsigned>(text[at++] - L'0');
    return exact ? at - start == count : at > start;
}

bool Literal(std::wstring_view text, size_t& at, std::wstring_view literal) {
    if (text.substr(at, literal.size()) != literal) return false;
    at += literal.size();
    return true;
}

// Reads "Ddd, D[D] Mmm YYYY hh:mm:ss +0000" and nothing more into `parts`.
bool ReadRFC822(std::wstring_view text, DateParts& parts) {
    size_t at = 0;
    parts.dayOfWeek = 7;
    for (unsigned d = 0; d < 7 && parts.dayOfWeek == 7; ++d) {
        if (Literal(text, at, kDays[d])) parts.dayOfWeek = d;
    }
    if (parts.dayOfWeek == 7 || !Literal(text, at, L", ") || !Digits(text, at, 2, false, parts.day) ||
        !Literal(text, at, L" "))
        return false;
    parts.month = 0;
    for (unsigned m = 0; m < 12 && parts.month == 0; ++m) {
        if (Literal(text, at, kMonths[m])) parts.month = m + 1;
    }
    return parts.month != 0 && Literal(text, at, L" ") && Digits(text, at, 4, true, parts.year) &&
           Literal(text, at, L" ") && Digits(text, at, 2, true, parts.hour) && Literal(text, at, L":") &&
           Digits(text, at, 2, true, parts.minute) && Literal(text, at, L":") &&
           Digits(text, at, 2, true, parts.second) && Literal(text, at, L" +0000") && at == text.size();
}

}  // namespace
}  // namespace vantrell

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantrell;
    FuzzedDataProvider input(data, size);
    DateParts parts;
    parts.year = Part(input, 9999);
    parts.month = Part(input, 12);
    parts.dayOfWeek = Part(input, 6);
    parts.day = Part(input, 31);
    parts.hour = Part(input, 23);
    parts.minute = Part(input, 59);
    parts.second = Part(input, 59);
    const bool inRange = parts.year <= 9999 && parts.month >= 1 && parts.month <= 12 && parts.dayOfWeek <= 6 &&
                         parts.day >= 1 && parts.day <= 31 && parts.hour <= 23 && parts.minute <= 59 &&
                         parts.second <= 59;

    const std::wstring text = RFC822Date(parts);
    FUZZ_CHECK(text.empty() == !inRange);
    if (text.empty()) return 0;
    DateParts read;
    FUZZ_CHECK(ReadRFC822(text, read));
    FUZZ_CHECK(read.year == parts.year && read.month == parts.month && read.dayOfWeek == parts.dayOfWeek &&
               read.day == parts.day && read.hour == parts.hour && read.minute == parts.minute &&
               read.second == parts.second);
    return 0;
}
