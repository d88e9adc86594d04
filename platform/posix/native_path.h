#pragma once
// The POSIX twin of win32/wide_path.h: library paths to native ones and back.
// Library paths use the backslash as separator. A POSIX name may itself hold a backslash;
// inside the library that character travels as U+F05C (UTF-8 EF 81 9C). So that every native
// name survives the trip, a U+F05C or U+F05D of the name itself travels behind the escape
// U+F05D (EF 81 9D).
#include <string>

namespace platform {

// The path as the system's own calls take it: every backslash becomes "/", every U+F05C a
// backslash again, and an escaped character itself. The text is UTF-8 on both sides.
std::string native_path(const char* path);
// A native name as library text, the inverse of native_path for one name.
std::string library_name(const char* native);
// A whole native path as library text: every "/" a backslash, each name as library_name.
std::string library_path(const char* native);

} // namespace platform
