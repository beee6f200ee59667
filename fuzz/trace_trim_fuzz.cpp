// The trace's trim over whatever the log holds (another program may have written anything
// there): it reads only the window it searches, and keeps a suffix within the cap that starts
// just after a line break, or the last max(cap, 2) bytes when the window has none, whatever
// the size of its buffer and however short the reads come back.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "support/trace_trim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantrell;
    FuzzedDataProvider input(data, size);
    const size_t bufferSize = input.ConsumeIntegralInRange<size_t>(1, 64);
    const size_t readLimit = input.ConsumeIntegralInRange<size_t>(1, 80);  // a read gives at most this
    const bool failing = input.ConsumeBool();
    const uint16_t capChoice = input.ConsumeIntegral<uint16_t>();
    const uint16_t failChoice = input.ConsumeIntegral<uint16_t>();
    const std::string log = input.ConsumeRemainingBytesAsString();
    const long long length = static_cast<long long>(log.size());
    if (length < 2) return 0;  // the trim runs only past a cap of at least one byte
    const long long cap = 1 + capChoice % (length - 1);
    const long long windowStart = length - cap - 1, windowEnd = length - 1;
    // With `failing`, a read from this offset on fails, as when the file was cut meanwhile.
    const long long failAt = failing ? windowStart + failChoice % (cap + 1) : length;

    bool failed = false;
    std::vector<char> buffer(bufferSize);  // its own allocation, so a write past it is caught
    const TraceReader read = [&](long long offset, char* out, size_t wanted) -> size_t {
        FUZZ_CHECK(out == buffer.data() && wanted >= 1 && wanted <= bufferSize);
        FUZZ_CHECK(offset >= windowStart && offset + static_cast<long long>(wanted) <= windowEnd);
        if (offset >= failAt) {
            failed = true;
            return 0;
        }
        size_t got = std::min({wanted, readLimit, static_cast<size_t>(failAt - offset)});
        std::memcpy(out, log.data() + offset, got);
        return got;
    };
    const long long from = TraceKeptFrom(length, cap, read, buffer.data(), buffer.size());

    // The same decision made the plain way, over the whole window at once.
    const std::string_view window = std::string_view(log).substr(static_cast<size_t>(windowStart), cap);
    const size_t found = window.find("\r\n");
    const long long fallback = length - std::max(cap, 2LL);
    FUZZ_CHECK(from >= 0 && from < length);
    if (from == fallback && (found == std::string_view::npos || failed)) return 0;
    FUZZ_CHECK(found != std::string_view::npos);
    FUZZ_CHECK(from == windowStart + static_cast<long long>(found) + 2);
    FUZZ_CHECK(length - from < cap);  // a suffix shorter than the cap
    FUZZ_CHECK(log[from - 2] == '\r' && log[from - 1] == '\n');
    return 0;
}
