#include <fcntl.h>
#include <stdio_ext.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/fileio.h"
#include "platform/posix/calls.h"
#include "platform/posix/listed.h"
#include "platform/posix/native_path.h"

// A descriptor d travels as the pointer value d + 1, so that descriptor 0 is not null.
namespace platform {
namespace {
int fd_of(FileHandle h) {
    return static_cast<int>(reinterpret_cast<intptr_t>(h) - 1);
}
FileHandle handle_of(int fd) {
    return reinterpret_cast<FileHandle>(static_cast<intptr_t>(fd) + 1);
}
} // namespace

// The open does not wait, so that a FIFO or a device cannot block it; those, and folders
// (which open for reading here), are refused as Windows refuses them. The non-blocking flag
// stays: it changes nothing for a regular file.
int open_regular(const char* path, int flags, const ListedEntry* listed, struct stat* st) {
    const std::string native = native_path(path);
    PosixCalls& sys = posix_calls();
    flags |= O_NONBLOCK | O_NOCTTY;
    int fd;
    do {
        fd = listed && listed->path == native
                 ? sys.openat(listed->dir_fd, native.c_str() + listed->name_at, flags, 0666)
                 : sys.open(native.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    struct stat own {};
    if (!st) st = &own;
    *st = {};
    if (sys.fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
        const int err = S_ISDIR(st->st_mode) ? EISDIR : EINVAL;
        sys.close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

// Share modes cannot be enforced on POSIX systems: share_read is not applied here.
FileHandle file_open(const char* path, unsigned access, FileDisposition disposition,
                     bool /*share_read*/) {
    int flags = O_CLOEXEC;
    if ((access & kAccessRead) && (access & kAccessWrite))
        flags |= O_RDWR;
    else if (access & kAccessWrite)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    if (disposition == FileDisposition::create_always) flags |= O_CREAT | O_TRUNC;
    if (disposition == FileDisposition::open_always) flags |= O_CREAT;
    const int fd = open_regular(path, flags, nullptr, nullptr);
    return fd < 0 ? nullptr : handle_of(fd);
}

void file_close(FileHandle h) {
    if (h) ::close(fd_of(h));
}

bool file_read(FileHandle h, void* buf, uint32_t n, uint32_t* done) {
    // read() may stop early (signals, very large counts); the handle API answers whole
    // transfers up to the end of the file like the Windows call does.
    uint32_t got = 0;
    bool ok = true;
    while (got < n) {
        ssize_t r = ::read(fd_of(h), static_cast<char*>(buf) + got, n - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) ok = false;
        if (r <= 0) break;
        got += static_cast<uint32_t>(r);
    }
    if (done) *done = got;
    return ok;
}

bool file_write(FileHandle h, const void* buf, uint32_t n, uint32_t* done) {
    uint32_t put = 0;
    bool ok = true;
    while (put < n) {
        ssize_t r = ::write(fd_of(h), static_cast<const char*>(buf) + put, n - put);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            ok = false;
            break;
        }
        put += static_cast<uint32_t>(r);
    }
    if (done) *done = put;
    return ok;
}

int64_t file_seek(FileHandle h, int64_t distance, SeekFrom from) {
    off_t r = ::lseek(fd_of(h), static_cast<off_t>(distance), seek_origin(from));
    return r < 0 ? -1 : static_cast<int64_t>(r);
}

bool file_set_end(FileHandle h) {
    off_t pos = ::lseek(fd_of(h), 0, SEEK_CUR);
    return pos >= 0 && ::ftruncate(fd_of(h), pos) == 0;
}

std::FILE* stream_open(const char* path, const char* mode, const ListedEntry* listed,
                       int64_t* size_at_open) {
    const bool update = std::strchr(mode, '+') != nullptr;
    int flags = O_CLOEXEC | (update ? O_RDWR : mode[0] == 'r' ? O_RDONLY : O_WRONLY);
    if (mode[0] == 'w') flags |= O_CREAT | O_TRUNC;
    if (mode[0] == 'a') flags |= O_CREAT | O_APPEND;
    struct stat st {};
    const int fd = open_regular(path, flags, listed, &st);
    if (fd < 0) return nullptr;
    if (size_at_open) *size_at_open = static_cast<int64_t>(st.st_size);
    std::FILE* f = ::fdopen(fd, mode);
    if (!f) ::close(fd);
    return f;
}

int stream_seek(std::FILE* f, int64_t offset, SeekFrom from) {
    return fseeko(f, static_cast<off_t>(offset), seek_origin(from));
}

int64_t stream_tell(std::FILE* f) {
    return static_cast<int64_t>(ftello(f));
}

int64_t stream_size(std::FILE* f) {
    // A plain seek to the end would make the C library read the file's last partial block
    // into its buffer: bytes still buffered for writing go out first, and the size then
    // comes from the file's status.
    if (__fpending(f) != 0 && fflush(f) != 0) return -1;
    struct stat st {};
    if (fstat(fileno(f), &st) != 0) return -1;
    if (S_ISREG(st.st_mode)) return static_cast<int64_t>(st.st_size);
    off_t pos = ftello(f);
    if (pos < 0 || fseeko(f, 0, SEEK_END) != 0) return -1;
    off_t end = ftello(f);
    fseeko(f, pos, SEEK_SET);
    return static_cast<int64_t>(end);
}

} // namespace platform
