#pragma once
// What the fuzz targets share: the entry, a property check that ends the run (so the fuzzer
// keeps the input), and the inputs read as text or as UTF-16 units.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

inline void check(bool ok) {
    if (!ok) std::abort();
}

// The target's body, run on the inputs of min to max bytes.
#define FUZZ_TARGET(min, max)                                                                      \
    static void fuzz_one(const uint8_t* data, size_t size);                                        \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {                      \
        if (size >= (min) && size <= (max)) fuzz_one(data, size);                                  \
        return 0;                                                                                  \
    }                                                                                              \
    static void fuzz_one(const uint8_t* data, size_t size)

// The bytes up to the first NUL, as a DString takes them.
inline std::string text_of(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size).c_str();
}

// Pairs of bytes as UTF-16 units, low byte first.
inline std::u16string units_of(const uint8_t* data, size_t size) {
    std::u16string w(size / 2, 0);
    for (size_t i = 0; i < w.size(); ++i)
        w[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return w;
}

// Whether w[i] is a high surrogate without a low one after it.
inline bool lone_high(const std::u16string& w, size_t i) {
    return w[i] >= 0xD800 && w[i] <= 0xDBFF &&
           (i + 1 == w.size() || w[i + 1] < 0xDC00 || w[i + 1] > 0xDFFF);
}
