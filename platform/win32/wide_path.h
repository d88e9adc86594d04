#pragma once
// Library paths at the wide Windows calls: UTF-16 through the exact path conversion, and long
// absolute paths in their extended form, so every file the services list can also be opened.
#include <cstddef>
#include <string>

namespace platform {

// Paths from this length on no longer fit the classic limit of folder calls (MAX_PATH less
// room for an 8.3 name), so they are passed in their extended form.
inline constexpr size_t kLongPath = 248;

// "\\?\C:\..." or "\\?\UNC\server\..." for a long path, made full first since the system
// does not normalise that form; shorter paths unchanged.
std::wstring extended_path(std::wstring w);
// The library path as the wide calls take it; codepage 0 is the library's default (UTF-8,
// converted exactly). A path tagged with another code page goes through that code page.
std::wstring wide_path(const char* path, int codepage = 0);

} // namespace platform
