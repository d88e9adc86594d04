#pragma once
// Library paths use the backslash as separator. A POSIX name may itself hold a backslash;
// inside the library that character travels as U+F05C (UTF-8 EF 81 9C).
#include <string>

namespace platform {

// The path as the system's own calls take it: every backslash becomes "/" and every
// U+F05C becomes a backslash again. The text is UTF-8 on both sides.
std::string native_path(const char* path);

} // namespace platform
