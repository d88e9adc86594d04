#include "platform/native_path.h"

namespace platform {

std::string native_path(const char* path) {
    std::string out;
    if (!path) return out;
    for (const char* p = path; *p; ++p) {
        if (*p == '\\') {
            out += '/';
        } else if (static_cast<unsigned char>(p[0]) == 0xEF &&
                   static_cast<unsigned char>(p[1]) == 0x81 &&
                   static_cast<unsigned char>(p[2]) == 0x9C) {
            out += '\\';
            p += 2;
        } else {
            out += *p;
        }
    }
    return out;
}

} // namespace platform
