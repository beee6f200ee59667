// Where the trace's trim starts keeping text, read through buffers of every size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "support/trace_trim.h"

namespace vantrell {
namespace {

// The kept text's start in `log` for `cap`, read `chunk` bytes at a time; every read is
// checked to lie within the window the trim searches.
long long KeptFrom(const std::string& log, long long cap, size_t chunk, long long failAt = -1) {
    const long long length = static_cast<long long>(log.size());
    std::string buffer(chunk, '\0');
    TraceReader read = [&](long long offset, char* data, size_t size) -> size_t {
        EXPECT_GE(offset, length - cap - 1);
        EXPECT_LE(offset + static_cast<long long>(size), length - 1);
        if (failAt >= 0 && offset + static_cast<long long>(size) > failAt) return 0;
        std::memcpy(data, log.data() + offset, size);
        return size;
    };
    return TraceKeptFrom(length, cap, read, buffer.data(), chunk);
}

struct TrimRow {
    const char* what;
    std::string log;
    long long cap;
    long long from;
};

TEST(TraceTrim, KeepsFromTheFirstLineBreakOfTheWindowWhateverTheBufferSize) {
    const TrimRow rows[] = {
        // The window is the last cap + 1 bytes but the newest line's LF.
        {"break at the window's start", "ab\r\ncd\r\n", 5, 4},
        {"break one byte before the window", "ab\r\ncd\r\n", 4, 8 - 4},
        {"CR before the window, LF its first byte", "a\r\nbcd\r\n", 5, 8 - 5},
        {"break at the window's end", "abcdef\r\ngh\r\n", 5, 8},
        {"only the newest line's own", "abcdefgh\r\n", 5, 10 - 5},
        {"CR CR LF", "x\r\r\nyz\r\n", 7, 4},
        {"cap 1 keeps the CR LF", "abc\r\n", 1, 5 - 2},
    };
    for (const TrimRow& row : rows) {
        for (size_t chunk = 1; chunk <= row.log.size(); ++chunk) {
            SCOPED_TRACE(testing::Message() << row.what << ", buffer of " << chunk);
            EXPECT_EQ(row.from, KeptFrom(row.log, row.cap, chunk));
        }
    }
}

TEST(TraceTrim, AFailedReadKeepsTheLastCapBytes) {
    const std::string log = "line one\r\nline two\r\n";
    EXPECT_EQ(10, KeptFrom(log, 15, 4));
    EXPECT_EQ(static_cast<long long>(log.size()) - 15, KeptFrom(log, 15, 4, 8));
}

}  // namespace
}  // namespace vantrell
