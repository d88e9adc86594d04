// UTF-8 encoder: the size query is what the conversion then writes, a small buffer is never
// overrun, and text without lone high surrogates or Arabic letters comes back unchanged.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "check.h"
#include "platform/codepage.h"

namespace {

bool plain(const std::vector<char16_t>& w) {
    for (size_t i = 0; i < w.size(); ++i) {
        char16_t u = w[i];
        if ((u >= 0x0621 && u <= 0x064A) || (u >= 0xFE80 && u <= 0xFEF4) || u == 0xFBE8 ||
            u == 0xFBE9)
            return false;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 == w.size() || w[i + 1] < 0xDC00 || w[i + 1] > 0xDFFF) return false;
            ++i;
        }
    }
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 8192) return 0;
    int small = data[0]; // size of a deliberately small buffer
    std::vector<char16_t> w((size - 1) / 2);
    for (size_t i = 0; i < w.size(); ++i)
        w[i] = static_cast<char16_t>(data[1 + 2 * i] | (data[2 + 2 * i] << 8));
    int n = static_cast<int>(w.size());

    int need = from_wide(65001, w.data(), n, nullptr, 0);
    check(need >= 1 && need <= 4 * n + 1);
    std::vector<char> out(static_cast<size_t>(need) + 1);
    int got = from_wide(65001, w.data(), n, out.data(), need + 1);
    if (n == 0) return 0;
    check(got <= need);
    check(out[static_cast<size_t>(got)] == 0);

    if (small > 0) {
        std::vector<char> tiny(static_cast<size_t>(small));
        from_wide(65001, w.data(), n, tiny.data(), small);
    }

    if (!plain(w)) return 0;
    check(got == need);
    std::vector<char16_t> back(static_cast<size_t>(got) + 20);
    int m = to_wide(65001, out.data(), got, back.data(), static_cast<int>(back.size()));
    check(m == n);
    back.resize(static_cast<size_t>(m));
    check(back == w);
    return 0;
}
