#pragma once
// What the POSIX services share among their files: the entry a listing returned last, the
// open of a regular file and the attributes of a status.
#include <sys/stat.h>

#include <string>

#include "platform/fs.h"

namespace platform {

// The entry a listing returned last: its folder's descriptor (open while the listing is),
// its native path and the status the listing took of it, links followed.
struct ListedEntry {
    int dir_fd = -1;
    std::string path;   // native
    size_t name_at = 0; // where the entry's name begins in path
    struct stat st {};
};

// fileio.cpp: opens a regular file (nothing else), through listed when it is the entry at
// path; st, when given, receives its status.
int open_regular(const char* path, int flags, const ListedEntry* listed, struct stat* st);

// listing.cpp: the attributes of a status; hidden: the name begins with a full stop.
uint32_t attributes_of(const struct stat& st, bool hidden);
bool hidden_name(const std::string& name);

} // namespace platform
