// UTF-8 decoder with shaping: never writes past the buffer it was given, never yields more
// units than bytes, and decoding what the encoder makes of its output gives that output again.
#include <vector>

#include "check.h"
#include "platform/codepage.h"

FUZZ_TARGET(0, 4096) {
    const char* text = reinterpret_cast<const char*>(data);
    int len = static_cast<int>(size);

    // Sized by the query: a short answer (possible for malformed input) must not overflow.
    int need = to_wide(65001, text, len, nullptr, 0);
    check(need >= 0 && need <= 2 * len + 1);
    std::vector<char16_t> exact(static_cast<size_t>(need) + 1);
    to_wide(65001, text, len, exact.data(), need + 1);

    // Sized as DUString sizes it: always enough.
    std::u16string wide(size + 20, 0);
    int n = to_wide(65001, text, len, wide.data(), static_cast<int>(wide.size()));
    check(n >= 1 && n <= len + 1);
    if (size == 0) return;
    check(n <= len);
    check(wide[static_cast<size_t>(n)] == 0);
    wide.resize(static_cast<size_t>(n));

    for (size_t i = 0; i < wide.size(); ++i)
        if (lone_high(wide, i)) return; // those come back as '?'
    int bytes = from_wide(65001, wide.data(), n, nullptr, 0);
    std::string utf8(static_cast<size_t>(bytes) + 1, 0);
    check(from_wide(65001, wide.data(), n, utf8.data(), bytes + 1) == bytes);
    std::u16string again(static_cast<size_t>(bytes) + 20, 0);
    int m = to_wide(65001, utf8.data(), bytes, again.data(), static_cast<int>(again.size()));
    check(m == n);
    again.resize(static_cast<size_t>(m));
    check(again == wide);
}
