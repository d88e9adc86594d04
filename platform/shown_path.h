#pragma once
// Paths as people read them on this system, for the texts that show paths (the progress
// label, error messages).
#include <string>

namespace platform {

// The library path in the system's own form: unchanged on Windows; on POSIX with "/" between
// components and a backslash of a name shown as itself.
std::string shown_path(const char* path);

} // namespace platform
