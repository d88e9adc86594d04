#include <cstring>

#include "platform/drive.h"

namespace platform {

std::string drive_root(const char* src_value) {
    if (!src_value) return {};
    return std::string(src_value, strnlen(src_value, 3));
}

} // namespace platform
