// DString::strip_quotes against a plain model of the command-line value cleaning.
#include <cstddef>
#include <cstdint>
#include <string>

#include "check.h"
#include "text/dstring.h"

namespace {

bool model(std::string& v, char q) {
    if (!q) q = '"';
    size_t b = v.find_first_not_of(' ');
    if (b == std::string::npos) {
        v.clear();
        return false;
    }
    v = v.substr(b, v.find_last_not_of(' ') - b + 1);
    if (v.size() < 2 || v.back() != q) return false;
    v.pop_back();
    if (v.front() != q) return false;
    v.erase(0, 1);
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 4096) return 0;
    char q = static_cast<char>(data[0]);
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    text = text.c_str();

    DString s(text.c_str());
    bool got = s.strip_quotes(q);
    std::string expect = text;
    bool want = model(expect, q);
    check(got == want);
    check(s.str() == expect);
    return 0;
}
