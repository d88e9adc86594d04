#pragma once
// The root of the drive that holds a source path, the base the relative data folder is
// appended to.
#include <string>

namespace platform {

// On Windows the first three characters of the value (D:\ for D:\SETUP\SETUP.EXE); a value of
// three characters or fewer is returned whole. On POSIX the same for a drive-letter value
// (letter, colon, backslash) and for anything not beginning with '/'; an absolute path gives
// the mount point of the file system that holds it (its longest existing prefix), followed by
// one '/'.
std::string drive_root(const char* src_value);

// The root of the volume that holds an existing path whose links are resolved: its mount
// point on POSIX, its drive root or mounted folder on Windows; library text, empty when it
// cannot be told.
std::string volume_root(const char* path);

} // namespace platform
