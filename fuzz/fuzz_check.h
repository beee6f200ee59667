#pragma once
// What the fuzz targets share: a check that stops the run on a broken invariant (whatever
// NDEBUG says), and the input's bytes read as UTF-16 text, as the add-in receives text from COM.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(condition)                                                                   \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                       \
        }                                                                                       \
    } while (false)

namespace vantrell::fuzz {

// Each pair of bytes, low byte first, as one UTF-16 code unit (a lone odd byte is dropped).
inline std::wstring Utf16(const uint8_t* data, size_t size) {
    std::wstring text;
    text.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    return text;
}

}  // namespace vantrell::fuzz
