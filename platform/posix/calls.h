#pragma once
// Every system call that the POSIX file-system services make on the copy and listing paths,
// by name, so that a test can make one fail where the real fault cannot be produced (a read
// error on a scratched disc, a file system without O_TMPFILE or RENAME_NOREPLACE, a folder
// that cannot be listed) and restore the table afterwards from default_posix_calls().
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/vfs.h>

namespace platform {

struct PosixCalls {
    int (*open)(const char* path, int flags, mode_t mode);
    int (*openat)(int dir, const char* name, int flags, mode_t mode);
    int (*close)(int fd);
    ssize_t (*read)(int fd, void* buf, size_t n);
    ssize_t (*write)(int fd, const void* buf, size_t n);
    ssize_t (*copy_range)(int in, int out, size_t n);
    off_t (*lseek)(int fd, off_t offset, int whence);
    int (*fadvise)(int fd, off_t offset, off_t length, int advice);
    int (*sync_range)(int fd, off_t offset, off_t length, unsigned flags);
    int (*fsync)(int fd);
    int (*syncfs)(int fd);
    int (*fstatfs)(int fd, struct statfs* fs);
    int (*fchmod)(int fd, mode_t mode);
    int (*futimens)(int fd, const struct timespec times[2]);
    int (*stat)(const char* path, struct stat* st);
    int (*lstat)(const char* path, struct stat* st);
    int (*fstat)(int fd, struct stat* st);
    int (*fstatat)(int dir, const char* name, struct stat* st, int flags);
    int (*mkdir)(const char* path, mode_t mode);
    DIR* (*opendir)(const char* path);
    struct dirent* (*readdir)(DIR* dir);
    int (*closedir)(DIR* dir);
    int (*linkat)(int olddir, const char* oldpath, int newdir, const char* newpath, int flags);
    int (*rename_noreplace)(const char* from, const char* to);
    int (*rename)(const char* from, const char* to);
    int (*unlink)(const char* path);
};

PosixCalls& posix_calls();
const PosixCalls& default_posix_calls();

} // namespace platform
