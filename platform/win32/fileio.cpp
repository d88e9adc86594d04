#include <windows.h>

#include <io.h>

#include <cstdio>
#include <string>

#include "platform/codepage.h"
#include "platform/fileio.h"
#include "platform/win32/wide_path.h"

namespace platform {
static_assert(FILE_BEGIN == 0 && FILE_CURRENT == 1 && FILE_END == 2);

FileHandle file_open(const char* path, unsigned access, FileDisposition disposition,
                     bool share_read) {
    DWORD acc = 0;
    if (access & kAccessRead) acc |= GENERIC_READ;
    if (access & kAccessWrite) acc |= GENERIC_WRITE;
    DWORD disp = OPEN_EXISTING;
    if (disposition == FileDisposition::create_always) disp = CREATE_ALWAYS;
    if (disposition == FileDisposition::open_always) disp = OPEN_ALWAYS;
    HANDLE h = CreateFileW(wide_path(path).c_str(), acc, share_read ? FILE_SHARE_READ : 0, nullptr,
                           disp, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return nullptr;
    return h;
}

void file_close(FileHandle h) {
    if (h) CloseHandle(h);
}

bool file_read(FileHandle h, void* buf, uint32_t n, uint32_t* done) {
    DWORD got = 0;
    BOOL ok = ReadFile(h, buf, n, &got, nullptr);
    if (done) *done = got;
    return ok != 0;
}

bool file_write(FileHandle h, const void* buf, uint32_t n, uint32_t* done) {
    DWORD put = 0;
    BOOL ok = WriteFile(h, buf, n, &put, nullptr);
    if (done) *done = put;
    return ok != 0;
}

int64_t file_seek(FileHandle h, int64_t distance, SeekFrom from) {
    LONG high = static_cast<LONG>(distance >> 32);
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(h, static_cast<LONG>(distance & 0xFFFFFFFF), &high,
                               static_cast<DWORD>(seek_origin(from)));
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return -1;
    return (static_cast<int64_t>(high) << 32) | low;
}

bool file_set_end(FileHandle h) {
    return SetEndOfFile(h) != 0;
}

// Windows lists nothing that an open could go through: the path is opened.
std::FILE* stream_open(const char* path, const char* mode, const ListedEntry*,
                       int64_t* size_at_open) {
    DUString wmode(mode, -1, 0);
    std::FILE* f =
        _wfopen(wide_path(path).c_str(), reinterpret_cast<const wchar_t*>(wmode.texto()));
    if (f && size_at_open) *size_at_open = _filelengthi64(_fileno(f));
    return f;
}

int stream_seek(std::FILE* f, int64_t offset, SeekFrom from) {
    return _fseeki64(f, offset, seek_origin(from));
}

int64_t stream_tell(std::FILE* f) {
    return _ftelli64(f);
}

int64_t stream_size(std::FILE* f) {
    // The runtime's seek writes out buffered bytes and drops its read buffer; it reads
    // nothing.
    int64_t pos = _ftelli64(f);
    if (pos < 0 || _fseeki64(f, 0, SEEK_END) != 0) return -1;
    int64_t end = _ftelli64(f);
    _fseeki64(f, pos, SEEK_SET);
    return end;
}

} // namespace platform
