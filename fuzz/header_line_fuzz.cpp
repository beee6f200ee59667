// An X-header's value on one line: from any text, no control character (the tab aside) and no
// Unicode line or paragraph separator is left, each run of them is one space, and everything
// else stays as it was, in order.
#include "fuzz/fuzz_check.h"
#include "session/rfc822.h"

namespace {

// Stated here on its own, so that the check does not lean on the code it checks.
bool Breaks(wchar_t c) {
    const bool c0 = c <= 0x1F && c != 0x09;
    const bool delOrC1 = c >= 0x7F && c <= 0x9F;
    return c0 || delOrC1 || c == 0x2028 || c == 0x2029;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantrell;
    const std::wstring value = fuzz::Utf16(data, size);
    const std::wstring line = OneLine(value);
    FUZZ_CHECK(line.size() <= value.size());
    for (wchar_t c : line) FUZZ_CHECK(!Breaks(c));
    // Walked side by side: each character of the value is the line's next one, or a run of
    // breaking characters that the line's next space stands for.
    size_t at = 0;
    for (size_t i = 0; i < value.size();) {
        FUZZ_CHECK(at < line.size());
        FUZZ_CHECK(BreaksHeaderLine(value[i]) == Breaks(value[i]));
        if (Breaks(value[i])) {
            FUZZ_CHECK(line[at] == L' ');
            while (i < value.size() && Breaks(value[i])) ++i;
        } else {
            FUZZ_CHECK(line[at] == value[i]);
            ++i;
        }
        ++at;
    }
    FUZZ_CHECK(at == line.size());
    return 0;
}
