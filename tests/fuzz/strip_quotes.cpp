// DString::strip_quotes against a plain model of the command-line value cleaning.
#include "check.h"
#include "text/dstring.h"

FUZZ_TARGET(1, 4096) {
    const char q = data[0] ? static_cast<char>(data[0]) : '"';
    const std::string text = text_of(data + 1, size - 1);
    DString s(text.c_str());
    const bool got = s.strip_quotes(static_cast<char>(data[0]));

    // The model: blanks trimmed, then a quote at each end removed, the last one first.
    std::string v;
    bool want = false;
    if (const size_t b = text.find_first_not_of(' '); b != std::string::npos) {
        v = text.substr(b, text.find_last_not_of(' ') - b + 1);
        if (v.size() >= 2 && v.back() == q) {
            v.pop_back();
            want = v.front() == q;
            if (want) v.erase(0, 1);
        }
    }
    check(got == want);
    check(s.str() == v);
}
