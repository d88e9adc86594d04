#include "platform/shown_path.h"

#include "platform/posix/native_path.h"

namespace platform {

std::string shown_path(const char* path) {
    return native_path(path);
}

} // namespace platform
