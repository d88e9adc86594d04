#pragma once
// The system calls that the POSIX file-system services make, as a table so that a test can
// make one of them fail where the real fault cannot be produced (a read error on a scratched
// disc, a file system without O_TMPFILE or RENAME_NOREPLACE, a failing fsync or syncfs).
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace platform {

struct PosixCalls {
    int (*open)(const char* path, int flags, mode_t mode);
    ssize_t (*read)(int fd, void* buf, size_t n);
    ssize_t (*write)(int fd, const void* buf, size_t n);
    ssize_t (*copy_range)(int in, int out, size_t n);
    int (*fsync)(int fd);
    int (*fchmod)(int fd, mode_t mode);
    int (*futimens)(int fd, const struct timespec times[2]);
    int (*linkat)(int olddir, const char* oldpath, int newdir, const char* newpath, int flags);
    int (*rename_noreplace)(const char* from, const char* to);
    int (*rename)(const char* from, const char* to);
    int (*unlink)(const char* path);
    int (*syncfs)(int fd);
};

PosixCalls& posix_calls();

} // namespace platform
