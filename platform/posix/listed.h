#pragma once
// What the POSIX services share among their files: the entry a listing returned last, and
// the services each file defines for the table in fs.cpp.
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

// listing.cpp
FindHandle find_first(const char* pattern, FindRecord* rec, ListingEnd* end);
bool find_next(FindHandle search, FindRecord* rec, ListingEnd* end);
void find_close(FindHandle search);
const ListedEntry* listed(FindHandle search);
// The attributes of a status; hidden: the name begins with a full stop.
uint32_t attributes_of(const struct stat& st, bool hidden);
bool hidden_name(const std::string& name);

// file_ops.cpp
File open_source(const char* path, const ListedEntry* listed, FileFacts* facts);
File create_unnamed(const char* folder, const FileFacts& like);
File create_new(const char* path, const FileFacts& like);
uint64_t volume(File f);
int64_t copy_range(File in, File out, uint64_t n);
int64_t read_file(File in, void* buf, uint64_t n);
bool write_file(File out, const void* buf, uint64_t n);
bool seek_file(File f, uint64_t offset);
void prefetch(File in, uint64_t offset, uint64_t n);
void write_back(File out, uint64_t offset, uint64_t n, bool wait);
void finish(File out, const FileFacts& like);
bool flush(File f);
bool flush_volume(File f);
bool keep(File f);
bool link_unnamed(File f, const char* to);
bool rename_new(const char* from, const char* to);
bool rename_over(const char* from, const char* to);
bool set_attributes(const char* path, const FileFacts& like);
bool close_file(File f);
void discard(const char* path);

} // namespace platform
