#pragma once
// Native file access for the file object: a system file handle with 64-bit positions, and
// C streams opened by a library path. Paths are UTF-8 library paths.
#include <cstdint>
#include <cstdio>

namespace platform {

// A system file handle; null while closed.
using FileHandle = void*;

enum FileAccess : unsigned { kAccessRead = 1, kAccessWrite = 2 };
enum class FileDisposition {
    open_existing, // the file must exist
    create_always, // created, or emptied when it exists
    open_always,   // created when missing, content kept
};
// Where a seek counts from. The values are those of the C library's SEEK_SET, SEEK_CUR and
// SEEK_END, and of Windows' FILE_BEGIN, FILE_CURRENT and FILE_END, so every back-end passes
// them on as they are.
enum class SeekFrom { begin = 0, current = 1, end = 2 };
inline int seek_origin(SeekFrom from) {
    return static_cast<int>(from);
}
static_assert(SEEK_SET == 0 && SEEK_CUR == 1 && SEEK_END == 2);

// Opens a regular file (never a folder). share_read lets others read it while it is open;
// without it the file is opened exclusively where the system supports that. Null on failure.
FileHandle file_open(const char* path, unsigned access, FileDisposition disposition,
                     bool share_read);
void file_close(FileHandle h);
// Transfers up to n bytes and stores the count done; false when the system call failed.
bool file_read(FileHandle h, void* buf, uint32_t n, uint32_t* done);
bool file_write(FileHandle h, const void* buf, uint32_t n, uint32_t* done);
// Moves the position and answers the new one, or -1 when the system refused.
int64_t file_seek(FileHandle h, int64_t distance, SeekFrom from);
// Ends the file at the current position.
bool file_set_end(FileHandle h);

struct ListedEntry; // platform/fs.h

// A C stream on a library path; mode is a C mode text such as "rb". listed: the entry a
// listing has just returned at path, when the caller has one; the open then goes through
// that listing. size_at_open, when given, receives the file's size as the open found it.
std::FILE* stream_open(const char* path, const char* mode, const ListedEntry* listed = nullptr,
                       int64_t* size_at_open = nullptr);
// 64-bit stream positions; stream_seek answers 0 on success like fseek.
int stream_seek(std::FILE* f, int64_t offset, SeekFrom from);
int64_t stream_tell(std::FILE* f);
// The size of the stream's file, writes still buffered included; -1 when it cannot be
// told. Reads no byte and leaves the position where it was.
int64_t stream_size(std::FILE* f);

} // namespace platform
