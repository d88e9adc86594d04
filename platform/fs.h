#pragma once
// File-system services under the fs library: attributes, drives, delete, move, folder
// creation, directory listing, file times and the safe copy. Paths are UTF-8 library paths
// with backslash separators. The services sit in one table so that a test can replace a
// single entry and restore it afterwards.
#include <cstddef>
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

// Told after each piece of a copy has been written how many bytes it held. Returning false
// stops the copy before its next piece: the copy then fails with the system's "cancelled"
// code and nothing of it appears under any name. A stop asked for after the last piece is
// too late and the copy completes.
// size is what the caller expects the copy to hold: the copy committer hands small ones to a
// thread of its own.
struct CopyProgress {
    bool (*piece)(void* context, uint64_t bytes) = nullptr;
    void* context = nullptr;
    uint64_t size = kUnknownSize;
    static constexpr uint64_t kUnknownSize = ~0ull;
};

// An open listing; null for none.
using FindHandle = void*;

// Why a listing gave no further entry: it reached its end, its folder does not exist, or the
// folder or an entry's attributes could not be read (permissions, a removed disc, a path too
// long, no descriptor left, the folder deleted while it was listed).
enum class ListingEnd { complete, missing, failed };

// The error code says that a path names nothing: it, or a folder on its way, does not exist,
// or it is a link that leads nowhere or round in a loop. Any other failure is a read error.
bool names_nothing(unsigned long code);

// A complete copy waiting to be flushed and named; null for none.
using StagedFile = void*;

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
    // The error code of the last failed call on this thread.
    unsigned long (*last_error)();
    // Opens a listing and reads its first entry; null when nothing matches or on error, with
    // the reason in end. Only regular files and folders are listed. A link is listed only
    // when its target lies on the drive that holds top, the folder a walk began at (inside
    // top itself when that drive is the system's root folder; top empty: the listed folder),
    // and, for a folder, is neither the listed folder nor one above it.
    FindHandle (*find_first)(const char* pattern, const char* top, FindRecord* rec,
                             ListingEnd* end);
    // The next entry; false at the end or on error, with the reason in end.
    bool (*find_next)(FindHandle search, FindRecord* rec, ListingEnd* end);
    void (*find_close)(FindHandle search);
    // Last-write time of a file in UTC; false when the file cannot be opened for reading.
    bool (*write_time)(const char* path, SystemTime* utc);

    // The copy in three steps, so that flushing and naming can be grouped and done apart
    // from the copying. stage writes the copy into a new file in dst's folder that has no
    // name yet (or a hidden temporary one), with permissions and times where the file system
    // keeps them, and holds it open; bytes receives the size copied. With fail_if_exists an
    // existing dst refuses the copy at once. Null on failure, with the error set.
    StagedFile (*stage)(const char* src, const char* dst, bool fail_if_exists,
                        const CopyProgress* progress, uint64_t* bytes);
    // Brings the data of every file of the set to the disk; durable[i] tells for each.
    void (*make_durable)(StagedFile* files, size_t count, bool* durable);
    // Gives the file dst's name, replacing nothing unless the stage was told it may, and
    // releases it; on failure the copy is discarded and false returned with the error set.
    bool (*name_staged)(StagedFile file);
    // Releases a staged file without naming it: its data goes.
    void (*discard_staged)(StagedFile file);
};

FsOps& fs_ops();

// Raises the process's soft limit of open files to its hard limit where there is one;
// returns the limit now in force.
unsigned long raise_open_file_limit();
// Makes room in the process's table of descriptors for count of them open at once, as far
// as the limit allows. Growing the table while other threads run stalls the thread that
// opens for a grace period of the kernel at each doubling: call this while there is one.
void reserve_descriptors(unsigned long count);
// Whether a system error code says that the process or the system has no descriptor left.
bool out_of_descriptors(unsigned long error);
// Whether a system error code says that a name is taken by an existing file.
bool name_taken(unsigned long error);

} // namespace platform
