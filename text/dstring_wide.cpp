// The DString operations that cross between a code page and UTF-16.
#include <vector>

#include "platform/codepage.h"
#include "text/dstring.h"

void DString::assign_wide(const char16_t* wtext, int wlength) {
    if (!wtext) {
        clear();
        return;
    }
    if (wlength < 0) {
        wlength = 0;
        while (wtext[wlength])
            ++wlength;
    }
    if (wlength == 0) {
        clear();
        return;
    }
    int cp = get_codepage();
    int need = from_wide(cp, wtext, wlength, nullptr, 0);
    if (need <= 0) {
        assign("utf16 error!");
        return;
    }
    char* out = buffer(need + 1);
    from_wide(cp, wtext, wlength, out, need + 1);
}

void DString::convert_codepage(int target) {
    if (target < 0 || target == 2) target = kDefaultCodePage;
    int from = get_codepage();
    if (from == target) return;
    int len = length();
    // The system calls know the ANSI code page as 0.
    int sys_from = from == 1 ? 0 : from;
    int sys_target = target == 1 ? 0 : target;
    int n = to_wide(sys_from, c_str(), len, nullptr, 0);
    // Zeroed so that a decoder that produced fewer units than it asked for leaves NULs behind.
    std::vector<char16_t> wide(static_cast<size_t>(n) + 4, 0);
    to_wide(sys_from, c_str(), len, wide.data(), n + 1);
    int m = from_wide(sys_target, wide.data(), n, nullptr, 0) + 10;
    char* out = buffer(m);
    from_wide(sys_target, wide.data(), n, out, m);
    set_codepage(target);
}

UnicodeString DString::to_unicode_string() const {
    DUString wide(c_str(), -1, get_codepage());
    return UnicodeString(wide.texto());
}
