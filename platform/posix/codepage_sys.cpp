// The system's code-page conversion on POSIX: glibc iconv, with the Windows code-page
// numbers turned into its names. Any refusal (unknown set, invalid input, output too small)
// gives 0.
#include <iconv.h>

#include <bit>
#include <cerrno>
#include <string>

#include "platform/codepage.h"

namespace platform {
namespace {

const char* utf16_name() {
    return std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
}

// The iconv name of a Windows code page. The system's own 8-bit code page is UTF-8 here, as
// the locale is not asked (the program never sets one, so it would answer ASCII). iconv
// knows the DOS and ANSI pages as CP<n>, and some others only under their own names.
std::string charset_of(int codepage) {
    if (codepage == 0 || codepage == 1) return "UTF-8";
    if (codepage >= 28591 && codepage <= 28605)
        return "ISO-8859-" + std::to_string(codepage - 28590);
    switch (codepage) {
    case 20127:
        return "US-ASCII";
    case 10000:
        return "MACINTOSH";
    case 20866:
        return "KOI8-R";
    case 21866:
        return "KOI8-U";
    default:
        return "CP" + std::to_string(codepage);
    }
}

// Runs the whole input through cd. With out null, counts the output bytes in a scratch
// buffer. Returns the output size in bytes, or -1 when iconv refuses.
long run(iconv_t cd, const char* in, size_t in_bytes, char* out, size_t out_bytes) {
    char* src = const_cast<char*>(in);
    size_t left = in_bytes;
    if (out) {
        char* dst = out;
        size_t room = out_bytes;
        if (iconv(cd, &src, &left, &dst, &room) == size_t(-1)) return -1;
        if (iconv(cd, nullptr, nullptr, &dst, &room) == size_t(-1)) return -1;
        return static_cast<long>(out_bytes - room);
    }
    long total = 0;
    char scratch[256];
    for (;;) {
        char* dst = scratch;
        size_t room = sizeof scratch;
        size_t r = iconv(cd, &src, &left, &dst, &room);
        total += static_cast<long>(sizeof scratch - room);
        if (r != size_t(-1)) break;
        if (errno != E2BIG) return -1;
    }
    char* dst = scratch;
    size_t room = sizeof scratch;
    if (iconv(cd, nullptr, nullptr, &dst, &room) == size_t(-1)) return -1;
    return total + static_cast<long>(sizeof scratch - room);
}

long convert(const char* to, const char* from, const char* in, size_t in_bytes, char* out,
             size_t out_bytes) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return -1;
    long r = run(cd, in, in_bytes, out, out_bytes);
    iconv_close(cd);
    return r;
}

} // namespace

int system_to_wide(int codepage, const char* text, int length, char16_t* out, int out_size) {
    if (length <= 0) return 0;
    bool query = !out || out_size <= 0;
    std::string from = charset_of(codepage);
    long bytes = convert(utf16_name(), from.c_str(), text, static_cast<size_t>(length),
                         query ? nullptr : reinterpret_cast<char*>(out),
                         query ? 0 : static_cast<size_t>(out_size) * sizeof(char16_t));
    return bytes > 0 ? static_cast<int>(bytes / 2) : 0;
}

int system_from_wide(int codepage, const char16_t* wtext, int wlength, char* out, int out_size) {
    if (wlength <= 0) return 0;
    bool query = !out || out_size <= 0;
    std::string to = charset_of(codepage);
    long bytes = convert(to.c_str(), utf16_name(), reinterpret_cast<const char*>(wtext),
                         static_cast<size_t>(wlength) * sizeof(char16_t), query ? nullptr : out,
                         query ? 0 : static_cast<size_t>(out_size));
    return bytes > 0 ? static_cast<int>(bytes) : 0;
}

} // namespace platform
