#include "text/casefold.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

struct Run {
    uint32_t first, last;
    int32_t offset;
    uint32_t step;
};

constexpr Run kRuns[] = {
#include "text/casefold_table.inc"
};

uint32_t folded(uint32_t c) {
    const Run* r = std::upper_bound(std::begin(kRuns), std::end(kRuns), c,
                                    [](uint32_t v, const Run& run) { return v < run.first; });
    if (r == std::begin(kRuns)) return c;
    --r;
    if (c > r->last || (c - r->first) % r->step != 0) return c;
    return static_cast<uint32_t>(static_cast<int32_t>(c) + r->offset);
}

void put(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string FoldCase(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const size_t n = b < 0x80             ? 1
                         : (b & 0xE0) == 0xC0 ? 2
                         : (b & 0xF0) == 0xE0 ? 3
                         : (b & 0xF8) == 0xF0 ? 4
                                              : 0;
        bool whole = n > 0 && i + n <= s.size();
        uint32_t c = n == 1 ? b : n == 2 ? b & 0x1F : n == 3 ? b & 0x0F : b & 0x07;
        for (size_t k = 1; whole && k < n; ++k) {
            const auto f = static_cast<unsigned char>(s[i + k]);
            whole = (f & 0xC0) == 0x80;
            c = (c << 6) | (f & 0x3F);
        }
        if (!whole) { // not UTF-8: the byte as it is
            out += s[i++];
            continue;
        }
        put(out, folded(c));
        i += n;
    }
    return out;
}
