#pragma once
// File-system services under the fs library: attributes, drives, delete, move, folders, the
// directory listing, file times, and the steps of a safe copy (open, create, transfer, flush,
// name). Paths are UTF-8 library paths with backslash separators. Each service is one system
// call or a short fixed sequence of them; every decision about retries, names and grouping is
// made above, in fs/. The services sit in one table so that a test can replace an entry and
// restore it afterwards.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/clock.h"
#include "platform/folder_id.h"

namespace platform {

// Attribute bits as the system reports them; kAttrInvalid when they cannot be read.
inline constexpr uint32_t kAttrReadOnly = 0x1;
inline constexpr uint32_t kAttrHidden = 0x2;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrInvalid = 0xFFFFFFFFu;

// One entry of a directory listing. Only regular files, folders and links are listed; FIFOs,
// sockets and devices never are, so nothing ever opens them.
struct FindRecord {
    // Of the entry, links followed; kAttrInvalid for a link that leads nowhere.
    uint32_t attributes;
    uint64_t size;
    // The entry is a link (a symbolic link, a reparse point).
    bool link;
    // The entry's name as library text; empty when the system's name could not be converted.
    char name[1024];
};

// The entry a listing returned last, as that listing holds it: questions about it (open it,
// is it there) are answered through the listing's own folder, without resolving the whole
// path again. Valid until the listing moves on or closes; null where the system offers
// nothing of the kind.
struct ListedEntry;

// Told after each piece of a copy has been written how many bytes it held (0: nothing was
// written, the copy only asks whether to go on, as it does while it waits to try a damaged
// spot again). Returning false stops the copy: it then fails with the system's "cancelled"
// code and nothing of it appears under any name. A stop asked for after the last piece is
// too late and the copy completes. size is what the caller expects the copy to hold.
struct CopyProgress {
    bool (*piece)(void* context, uint64_t bytes) = nullptr;
    void* context = nullptr;
    uint64_t size = kUnknownSize;
    static constexpr uint64_t kUnknownSize = ~0ull;
};

// An open listing; null for none.
using FindHandle = void*;

// Why a listing gave no further entry: it reached its end, its folder does not exist, or the
// folder or an entry could not be read (permissions, a removed disc, a path too long, no
// descriptor left, the folder deleted while it was listed).
enum class ListingEnd { complete, missing, failed };

// An open file of the copy steps; kNoFile for none.
using File = intptr_t;
inline constexpr File kNoFile = -1;

// What a copy carries over from its source: the size, the volume it lies on, and the
// permissions or attributes and times the destination keeps where it can.
struct FileFacts {
    uint64_t size = 0;
    uint64_t volume = 0;
    uint32_t mode = 0;                 // POSIX permission bits, or Windows attributes
    int64_t accessed = 0, written = 0; // in the system's own units
};

struct FsOps {
    // The entry's attributes (folders seen through links), kAttrInvalid on failure.
    // codepage is that of the path's text (0: the default).
    uint32_t (*attributes)(const char* path, int codepage);
    // Bit 0 for drive A, bit 1 for B, ...
    uint32_t (*drive_mask)();
    // Deletes a file; a read-only one is refused.
    bool (*remove)(const char* path);
    // Renames within a volume, never replacing an existing file.
    bool (*move)(const char* src, const char* dst);
    // Creates the last component only.
    bool (*make_folder)(const char* path);
    // The error code of the last failed call on this thread.
    unsigned long (*last_error)();
    // Opens a listing of the folder part of pattern and reads its first entry whose name
    // matches; null when none does or on error, with the reason in end.
    FindHandle (*find_first)(const char* pattern, FindRecord* rec, ListingEnd* end);
    // The next entry; false at the end or on error, with the reason in end.
    bool (*find_next)(FindHandle search, FindRecord* rec, ListingEnd* end);
    void (*find_close)(FindHandle search);
    // The entry find_first or find_next returned last (see ListedEntry).
    const ListedEntry* (*listed)(FindHandle search);
    // Last-write time of a file in UTC; false when the file cannot be opened for reading.
    bool (*write_time)(const char* path, SystemTime* utc);
    // The path with every link resolved, as library text; empty when it names nothing or
    // cannot be resolved.
    std::string (*resolve)(const char* path);
    // Whether the path itself (not what it leads to) is a link.
    bool (*is_link)(const char* path);

    // ---- the steps of a copy ----
    // Opens a regular file for reading, without waiting on anything that is not one; listed,
    // when given, is the entry just listed at that path. Fills facts.
    File (*open_source)(const char* path, const ListedEntry* listed, FileFacts* facts);
    // A new file without a name in folder; kNoFile with an error for which unsupported()
    // holds where the file system cannot make one.
    File (*create_unnamed)(const char* folder, const FileFacts& like);
    // A new file under path, hidden, that goes with its handle until keep() is called;
    // fails with an error for which name_taken() holds when path exists.
    File (*create_new)(const char* path, const FileFacts& like);
    // The volume a file of the copy lies on, as FileFacts::volume tells it; 0 when unknown.
    uint64_t (*volume)(File f);
    // Copies up to n bytes within the kernel, from and to the files' positions; the count
    // copied, 0 at the end of in, -1 on error (unsupported() where the kernel declines).
    int64_t (*copy_range)(File in, File out, uint64_t n);
    // Reads up to n bytes; the count, 0 at the end, -1 on error.
    int64_t (*read)(File in, void* buf, uint64_t n);
    // Writes all n bytes.
    bool (*write)(File out, const void* buf, uint64_t n);
    // Moves the position of a file of the copy to offset.
    bool (*seek)(File f, uint64_t offset);
    // The file is read in pieces the caller sizes: the system reads ahead of them no further
    // than it is told (a read never waits for more than its own piece), and starts fetching
    // [offset, offset + n) now, while the piece before it is written (n 0: nothing).
    void (*prefetch)(File in, uint64_t offset, uint64_t n);
    // Starts writing [offset, offset + n) of out to its disk; wait: and waits for it.
    void (*write_back)(File out, uint64_t offset, uint64_t n, bool wait);
    // Carries permissions and times over, where the file system keeps them (best effort).
    void (*finish)(File out, const FileFacts& like);
    // Brings the file's data to its disk.
    bool (*flush)(File f);
    // Brings everything written to f's file system to its disk at once; false where that
    // cannot be done or trusted (a FUSE file system may answer without having written).
    bool (*flush_volume)(File f);
    // The file made with create_new outlives its handle.
    bool (*keep)(File f);
    // Gives an unnamed file the name to, never replacing an existing entry.
    bool (*link_unnamed)(File f, const char* to);
    // Renames from (a closed file) to to: never replacing an existing entry, or replacing it.
    bool (*rename_new)(const char* from, const char* to);
    bool (*rename_over)(const char* from, const char* to);
    // Gives a closed file made with create_new the attributes like carries (Windows keeps
    // hidden and read-only as attributes of the name; elsewhere nothing to do).
    bool (*set_attributes)(const char* path, const FileFacts& like);
    bool (*close)(File f);
    // Removes a file of this process's own making, whatever its attributes.
    void (*discard)(const char* path);
};

FsOps& fs_ops();
// The table as the system fills it, for a test to restore.
const FsOps& default_fs_ops();

// What an error code of the services above means.
// The path names nothing: it, or a folder on its way, does not exist, or it is a link that
// leads nowhere or round in a loop. Any other failure is a read error.
bool names_nothing(unsigned long code);
// The name is taken by an existing entry.
bool name_taken(unsigned long error);
// The process or the system has no descriptor (handle) left.
bool out_of_descriptors(unsigned long error);
// The file system does not offer the service at all.
bool unsupported(unsigned long error);
// The disk reported a fault reading data (a scratch, a bad sector): worth trying again. A
// disc taken out, or a device gone, is not.
bool read_fault(unsigned long error);
// The two paths lie on different volumes.
bool cross_volume(unsigned long error);
// The code a copy stopped by its caller fails with; sets it as the thread's last error.
unsigned long cancelled_error();
void set_last_error(unsigned long error);

// Whether two library paths of this system name places one inside the other: path lies
// in folder or is folder itself (letter case ignored where the system ignores it).
bool path_within(const std::string& path, const std::string& folder);
// Whether folder is the root of the whole system (a walk confined below it would not be).
bool system_root(const std::string& folder);
// Whether a folder reached through a link may be listed as a plain folder (Wine's view of
// Unix links): then every folder entry must be checked as links are.
bool folders_may_be_links();

// Raises the process's soft limit of open files to its hard limit where there is one;
// returns the limit now in force.
unsigned long raise_open_file_limit();
// Makes room in the process's table of descriptors for count of them open at once, as far
// as the limit allows. Growing the table while other threads run stalls the thread that
// opens for a grace period of the kernel at each doubling: call this while there is one.
void reserve_descriptors(unsigned long count);

} // namespace platform
