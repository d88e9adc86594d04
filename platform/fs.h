#pragma once
// File-system services under the fs library: attributes, drives, delete, move, folder
// creation, directory listing, file times and the safe copy. Paths are UTF-8 library paths
// with backslash separators. The services sit in one table so that a test can replace a
// single entry and restore it afterwards.
#include <cstdint>

#include "platform/clock.h"

namespace platform {

// Attribute bits as the system reports them; kAttrInvalid when they cannot be read.
inline constexpr uint32_t kAttrReadOnly = 0x1;
inline constexpr uint32_t kAttrHidden = 0x2;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrInvalid = 0xFFFFFFFFu;

// One entry of a directory listing.
struct FindRecord {
    uint32_t attributes;
    uint64_t size;
    // The entry's name as library text; empty when the system's name could not be converted.
    char name[1024];
};

// An open listing; null for none.
using FindHandle = void*;

struct FsOps {
    // The entry's attributes (folders seen through links), kAttrInvalid on failure.
    // codepage is that of the path's text (0: the default).
    uint32_t (*attributes)(const char* path, int codepage);
    // Bit 0 for drive A, bit 1 for B, ...
    uint32_t (*drive_mask)();
    bool (*remove)(const char* path);
    // Never replaces an existing file.
    bool (*move)(const char* src, const char* dst);
    // Creates the last component only.
    bool (*make_folder)(const char* path);
    // Content, last-write time and permissions; the name appears only complete.
    bool (*copy)(const char* src, const char* dst, bool fail_if_exists);
    // The error code of the last failed call on this thread.
    unsigned long (*last_error)();
    // Opens a listing and reads its first entry; null when nothing matches or on error.
    FindHandle (*find_first)(const char* pattern, FindRecord* rec);
    // The next entry; false at the end or on error.
    bool (*find_next)(FindHandle search, FindRecord* rec);
    void (*find_close)(FindHandle search);
    // Last-write time of a file in UTC; false when the file cannot be opened for reading.
    bool (*write_time)(const char* path, SystemTime* utc);
};

FsOps& fs_ops();

} // namespace platform
