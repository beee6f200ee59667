#include "support/trace_trim.h"

namespace vantrell {
namespace {

// Where the text after the first CR LF lying wholly within [from, to) begins, or -1 when there
// is none or a read failed.
long long AfterFirstLineBreak(long long from, long long to, const TraceReader& read, char* buffer, size_t size) {
    bool cr = false;
    for (long long at = from; at < to;) {
        const size_t wanted = static_cast<unsigned long long>(to - at) < size ? static_cast<size_t>(to - at) : size;
        size_t got = read(at, buffer, wanted);
        if (got == 0 || got > wanted) return -1;
        for (size_t i = 0; i < got; ++i) {
            if (cr && buffer[i] == '\n') return at + static_cast<long long>(i) + 1;
            cr = buffer[i] == '\r';
        }
        at += static_cast<long long>(got);
    }
    return -1;
}

}  // namespace

long long TraceKeptFrom(long long length, long long cap, const TraceReader& read, char* buffer, size_t size) {
    long long from = AfterFirstLineBreak(length - cap - 1, length - 1, read, buffer, size);
    return from >= 0 ? from : length - (cap > 2 ? cap : 2);
}

}  // namespace vantrell
