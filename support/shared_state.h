#pragma once
// The add-in's shared module-level state: one set per process, named as the add-in's design
// names it. Each is written where its comment says and read wherever it is needed.
#include <cstdint>

namespace vantrell {

// Trace size cap in bytes (0: no tracing; negative: unbounded) and highest level written.
// Both are 0 until the add-in reads its settings on connection, so nothing is traced before.
extern std::int32_t ErrorLogSize;
extern std::int16_t ErrorLogLevel;

}  // namespace vantrell
