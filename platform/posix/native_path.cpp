#include "platform/posix/native_path.h"

#include <cstring>

namespace platform {
namespace {

constexpr char kBackslash[] = "\xEF\x81\x9C"; // U+F05C
constexpr char kEscape[] = "\xEF\x81\x9D";    // U+F05D

bool at(const char* p, const char* mark) {
    return std::strncmp(p, mark, 3) == 0;
}

} // namespace

std::string native_path(const char* path) {
    std::string out;
    if (!path) return out;
    // Most paths hold no escaped character: only the separators change, in one copy.
    const size_t length = std::strlen(path);
    if (std::memchr(path, kBackslash[0], length) == nullptr) {
        out.assign(path, length);
        for (char& c : out)
            if (c == '\\') c = '/';
        return out;
    }
    out.reserve(length);
    for (const char* p = path; *p; ++p) {
        if (*p == '\\') {
            out += '/';
        } else if (at(p, kEscape) && (at(p + 3, kBackslash) || at(p + 3, kEscape))) {
            out.append(p + 3, 3);
            p += 5;
        } else if (at(p, kBackslash)) {
            out += '\\';
            p += 2;
        } else {
            out += *p;
        }
    }
    return out;
}

std::string library_name(const char* native) {
    std::string out;
    for (const char* p = native; *p; ++p) {
        if (*p == '\\') {
            out += kBackslash;
        } else if (at(p, kBackslash) || at(p, kEscape)) {
            out += kEscape;
            out.append(p, 3);
            p += 2;
        } else {
            out += *p;
        }
    }
    return out;
}

std::string library_path(const char* native) {
    std::string out, name;
    for (const char* p = native;; ++p) {
        if (*p == '/' || *p == 0) {
            out += library_name(name.c_str());
            name.clear();
            if (*p == 0) break;
            out += '\\';
        } else {
            name += *p;
        }
    }
    return out;
}

} // namespace platform
