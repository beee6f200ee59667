// An X-header's value on one line: from any text, no CR or LF is left, each run of them is one
// space, and everything else stays as it was, in order.
#include "fuzz/fuzz_check.h"
#include "session/rfc822.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantrell;
    const std::wstring value = fuzz::Utf16(data, size);
    const std::wstring line = OneLine(value);
    FUZZ_CHECK(line.size() <= value.size());
    FUZZ_CHECK(line.find_first_of(L"\r\n") == std::wstring::npos);
    // Walked side by side: each character of the value is the line's next one, or a run of CR
    // and LF that the line's next space stands for.
    size_t at = 0;
    for (size_t i = 0; i < value.size();) {
        FUZZ_CHECK(at < line.size());
        if (value[i] == L'\r' || value[i] == L'\n') {
            FUZZ_CHECK(line[at] == L' ');
            while (i < value.size() && (value[i] == L'\r' || value[i] == L'\n')) ++i;
        } else {
            FUZZ_CHECK(line[at] == value[i]);
            ++i;
        }
        ++at;
    }
    FUZZ_CHECK(at == line.size());
    return 0;
}
