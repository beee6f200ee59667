#pragma once
// Where the trace's trim starts keeping text: the bytes of a log over its cap decide it. Plain
// byte logic, without the system's headers: the trace reads the log through a function.
#include <cstddef>
#include <functional>

namespace vantrell {

// Reads up to `size` bytes at `offset` into `data`; returns how many it read (0 at the end or on
// failure).
using TraceReader = std::function<size_t(long long offset, char* data, size_t size)>;

// The offset in a log of `length` bytes, read through `read`, from which the trim keeps the text
// to the end, for a cap of `cap` bytes (1 <= cap < length): just after the first CR LF lying
// wholly within [length - cap - 1, length - 1), so that the newest line's own CR LF never counts;
// the kept text is then a whole number of lines, shorter than the cap. When there is no such CR
// LF, or a read fails, the last max(cap, 2) bytes are kept. The log is read forwards through
// `buffer` (`size` bytes, at least 1), a buffer at a time.
long long TraceKeptFrom(long long length, long long cap, const TraceReader& read, char* buffer, size_t size);

}  // namespace vantrell
