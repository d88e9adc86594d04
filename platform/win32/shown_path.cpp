#include "platform/shown_path.h"

namespace platform {

// Library paths are already in the system's own form.
std::string shown_path(const char* path) {
    return path ? path : "";
}

} // namespace platform
