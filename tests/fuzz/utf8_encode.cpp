// UTF-8 encoder: the size query is what the conversion then writes, a small buffer is never
// overrun, and text without lone high surrogates or Arabic letters comes back unchanged.
#include <vector>

#include "check.h"
#include "platform/codepage.h"

FUZZ_TARGET(1, 8192) {
    int small = data[0]; // size of a deliberately small buffer
    const std::u16string w = units_of(data + 1, size - 1);
    int n = static_cast<int>(w.size());

    int need = from_wide(65001, w.data(), n, nullptr, 0);
    check(need >= 1 && need <= 4 * n + 1);
    std::string out(static_cast<size_t>(need) + 1, 0);
    int got = from_wide(65001, w.data(), n, out.data(), need + 1);
    if (n == 0) return;
    check(got <= need);
    check(out[static_cast<size_t>(got)] == 0);

    if (small > 0) {
        std::vector<char> tiny(static_cast<size_t>(small));
        from_wide(65001, w.data(), n, tiny.data(), small);
    }

    for (size_t i = 0; i < w.size(); ++i) {
        const char16_t u = w[i];
        if ((u >= 0x0621 && u <= 0x064A) || (u >= 0xFE80 && u <= 0xFEF4) || u == 0xFBE8 ||
            u == 0xFBE9 || lone_high(w, i))
            return;
    }
    check(got == need);
    std::u16string back(static_cast<size_t>(got) + 20, 0);
    int m = to_wide(65001, out.data(), got, back.data(), static_cast<int>(back.size()));
    check(m == n);
    back.resize(static_cast<size_t>(m));
    check(back == w);
}
