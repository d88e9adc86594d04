#pragma once
// The file-system services of platform/fs.h, one function each, as the system's folder
// (posix/ or win32/) defines them; fs_table.cpp puts them into the table.
#include "platform/fs.h"

namespace platform::service {

// Attributes, delete, move, folders, times and links (fs.cpp).
uint32_t attributes(const char* path, int codepage);
uint32_t drive_mask();
bool remove_file(const char* path);
bool move_file(const char* src, const char* dst);
bool make_folder(const char* path);
unsigned long last_error();
bool write_time(const char* path, SystemTime* utc);
std::string resolve(const char* path);
bool is_link(const char* path);

// The listing (listing.cpp).
FindHandle find_first(const char* pattern, FindRecord* rec, ListingEnd* end);
bool find_next(FindHandle search, FindRecord* rec, ListingEnd* end);
void find_close(FindHandle search);
const ListedEntry* listed(FindHandle search);

// The steps of a copy (file_ops.cpp).
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

} // namespace platform::service
