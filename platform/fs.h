#pragma once
// File-system services under the fs library: attributes, drives, delete, move, folder
// creation, directory listing, file times and the safe copy. Paths are UTF-8 library paths
// with backslash separators. The services sit in one table so that a test can replace a
// single entry and restore it afterwards.
#include <cstdint>
#include <string>

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

// The copy of a batch that could not be given its name, as the caller passed its paths.
struct BatchFailure {
    std::string src;
    std::string dst;
};

// Told after each piece of a copy has been written how many bytes it held. Returning false
// stops the copy before its next piece: the copy then fails with the system's "cancelled"
// code and nothing of it appears under any name. A stop asked for after the last piece is
// too late and the copy completes.
struct CopyProgress {
    bool (*piece)(void* context, uint64_t bytes) = nullptr;
    void* context = nullptr;
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
    // Content, last-write time and permissions; the name appears only complete. progress
    // may be null.
    bool (*copy)(const char* src, const char* dst, bool fail_if_exists,
                 const CopyProgress* progress);
    // The error code of the last failed call on this thread.
    unsigned long (*last_error)();
    // Opens a listing and reads its first entry; null when nothing matches or on error.
    FindHandle (*find_first)(const char* pattern, FindRecord* rec);
    // The next entry; false at the end or on error.
    bool (*find_next)(FindHandle search, FindRecord* rec);
    void (*find_close)(FindHandle search);
    // Last-write time of a file in UTC; false when the file cannot be opened for reading.
    bool (*write_time)(const char* path, SystemTime* utc);

    // Group commit of copies, per thread. While a batch is open, copy may return true with
    // the data written but the name not yet given: the names appear at the next commit,
    // each still only over complete data, and a crash before it leaves none of them.
    // Where the system has no use for it the copy stays immediate and commit has nothing
    // to do. Batches nest; the outermost end closes it.
    void (*batch_begin)();
    // Enough is pending that the caller should commit.
    bool (*batch_full)();
    // Brings every pending copy to disk and names it. False when one could not be named;
    // failed (when not null) then holds the first such copy. The others are still named.
    bool (*batch_commit)(BatchFailure* failed);
    // Commits as batch_commit, then closes one level of the batch.
    bool (*batch_end)(BatchFailure* failed);
};

FsOps& fs_ops();

// Raises the process's soft limit of open files to its hard limit where there is one;
// returns the limit now in force.
unsigned long raise_open_file_limit();

} // namespace platform
