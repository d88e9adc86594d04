// The steps of a copy over Windows calls. Windows has no file without a name: the data goes
// to a hidden file in the destination folder, opened with delete access and marked for
// deletion, so that the system removes it when the process dies before the file is kept.
#include <windows.h>

#include <string>

#include "platform/fs_services.h"
#include "platform/win32/listed.h"
#include "platform/win32/wide_path.h"

namespace platform {
namespace {

constexpr DWORD kCopiedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

HANDLE handle_of(File f) {
    return reinterpret_cast<HANDLE>(f);
}

File file_of(HANDLE h) {
    return h == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<File>(h);
}

int64_t ticks(const FILETIME& t) {
    return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

FILETIME filetime(int64_t t) {
    FILETIME f;
    f.dwLowDateTime = static_cast<DWORD>(t & 0xFFFFFFFF);
    f.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(t) >> 32);
    return f;
}

bool set_doom(File f, bool on) {
    FILE_DISPOSITION_INFO doom{static_cast<BOOLEAN>(on)};
    return SetFileInformationByHandle(handle_of(f), FileDispositionInfo, &doom, sizeof doom) != 0;
}

} // namespace
namespace service {

File open_source(const char* path, const ListedEntry*, FileFacts* facts) {
    // Random access: the cache manager then reads no more than each read asks for, so that no
    // read of a slow disc waits for a long read-ahead.
    HANDLE in = CreateFileW(wide_path(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (in == INVALID_HANDLE_VALUE) return kNoFile;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(in, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const DWORD error = GetLastError();
        CloseHandle(in);
        SetLastError(error == NO_ERROR ? ERROR_ACCESS_DENIED : error);
        return kNoFile;
    }
    facts->size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    facts->volume = info.dwVolumeSerialNumber;
    facts->mode = info.dwFileAttributes & kCopiedAttributes;
    facts->accessed = ticks(info.ftLastAccessTime);
    facts->written = ticks(info.ftLastWriteTime);
    return file_of(in);
}

File create_unnamed(const char*, const FileFacts&) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return kNoFile;
}

File create_new(const char* path, const FileFacts&) {
    const File f =
        file_of(CreateFileW(wide_path(path).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (f != kNoFile) set_doom(f, true); // where the file system cannot, the name stays behind
    return f;
}

uint64_t volume(File f) {
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileInformationByHandle(handle_of(f), &info) ? info.dwVolumeSerialNumber : 0;
}

int64_t copy_range(File, File, uint64_t) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return -1;
}

int64_t read_file(File in, void* buf, uint64_t n) {
    DWORD got = 0;
    if (!ReadFile(handle_of(in), buf, static_cast<DWORD>(n), &got, nullptr)) return -1;
    return got;
}

bool write_file(File out, const void* buf, uint64_t n) {
    const char* p = static_cast<const char*>(buf);
    while (n > 0) {
        DWORD put = 0;
        if (!WriteFile(handle_of(out), p, static_cast<DWORD>(n), &put, nullptr)) return false;
        if (put == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        p += put;
        n -= put;
    }
    return true;
}

bool seek_file(File f, uint64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(handle_of(f), to, nullptr, FILE_BEGIN) != 0;
}

// The system reads ahead of a file opened for random access only as far as it is asked to.
void prefetch(File, uint64_t, uint64_t) {}

// Windows writes back by itself; a flush does the rest.
void write_back(File, uint64_t, uint64_t, bool) {}

void finish(File out, const FileFacts& like) {
    const DWORD error = GetLastError();
    const FILETIME written = filetime(like.written);
    SetFileTime(handle_of(out), nullptr, nullptr, &written); // best effort
    SetLastError(error);
}

bool flush(File f) {
    return FlushFileBuffers(handle_of(f)) != 0;
}

bool flush_volume(File) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return false;
}

// Lifts the mark for deletion. Where the file system could not set it, there is none.
bool keep(File f) {
    return set_doom(f, false) || GetLastError() == ERROR_INVALID_PARAMETER ||
           GetLastError() == ERROR_NOT_SUPPORTED;
}

bool link_unnamed(File, const char*) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return false;
}

bool rename_new(const char* from, const char* to) {
    return MoveFileExW(wide_path(from).c_str(), wide_path(to).c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

bool rename_over(const char* from, const char* to) {
    return MoveFileExW(wide_path(from).c_str(), wide_path(to).c_str(),
                       MOVEFILE_WRITE_THROUGH | MOVEFILE_REPLACE_EXISTING) != 0;
}

// The hidden attribute the file was made with gives way to the source's own.
bool set_attributes(const char* path, const FileFacts& like) {
    return SetFileAttributesW(wide_path(path).c_str(),
                              like.mode ? like.mode : FILE_ATTRIBUTE_NORMAL) != 0;
}

bool close_file(File f) {
    return CloseHandle(handle_of(f)) != 0;
}

void discard(const char* path) {
    const DWORD error = GetLastError();
    const std::wstring wide = wide_path(path);
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(wide.c_str());
    SetLastError(error);
}

} // namespace service
} // namespace platform
