#include <sys/stat.h>

#include <cctype>
#include <cstring>

#include "platform/drive.h"
#include "platform/posix/calls.h"
#include "platform/posix/native_path.h"

namespace platform {
namespace {

std::string first_three(const char* v) {
    return std::string(v, strnlen(v, 3));
}

// The lexical parent of an absolute path without trailing slashes: "/a/b" -> "/a", "/a" -> "/".
std::string parent_of(const std::string& p) {
    size_t cut = p.find_last_of('/');
    if (cut == std::string::npos || cut == 0) return "/";
    std::string up = p.substr(0, cut);
    while (up.size() > 1 && up.back() == '/')
        up.pop_back();
    return up;
}

// The mount point of the file system holding path: from the longest existing prefix, walk up
// while the parent lies on the same device.
std::string mount_point(std::string path) {
    // Library paths may use the backslash as separator.
    for (char& ch : path)
        if (ch == '\\') ch = '/';
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    struct stat st {};
    while (path != "/" && posix_calls().stat(path.c_str(), &st) != 0)
        path = parent_of(path);
    if (path == "/") return path;
    for (;;) {
        std::string up = parent_of(path);
        struct stat ust {};
        if (posix_calls().stat(up.c_str(), &ust) != 0 || ust.st_dev != st.st_dev) return path;
        if (up == "/") return up;
        path = up;
    }
}

} // namespace

std::string drive_root(const char* src_value) {
    if (!src_value) return {};
    if (std::isalpha(static_cast<unsigned char>(src_value[0])) && src_value[1] == ':' &&
        src_value[2] == '\\')
        return first_three(src_value);
    if (src_value[0] != '/') return first_three(src_value);
    std::string root = mount_point(src_value);
    if (root.back() != '/') root += '/';
    return root;
}

std::string volume_root(const char* path) {
    return path && *path ? library_path(mount_point(path).c_str()) : std::string();
}

} // namespace platform
