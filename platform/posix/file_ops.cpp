// The steps of a copy over POSIX calls: each one system call, or a short fixed sequence of
// them where the system offers a service only in parts (an exclusive rename on file systems
// without RENAME_NOREPLACE). Library paths become native ones at the call.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/fs_services.h"
#include "platform/posix/calls.h"
#include "platform/posix/listed.h"
#include "platform/posix/native_path.h"

namespace platform {
namespace {

PosixCalls& sys() {
    return posix_calls();
}

int fd_of(File f) {
    return static_cast<int>(f);
}

int64_t nanoseconds(const struct timespec& t) {
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

struct timespec timespec_of(int64_t ns) {
    struct timespec t {};
    t.tv_sec = static_cast<time_t>(ns / 1000000000);
    t.tv_nsec = static_cast<long>(ns % 1000000000);
    if (t.tv_nsec < 0) {
        t.tv_nsec += 1000000000;
        --t.tv_sec;
    }
    return t;
}

// Read once: umask has no call that only reads it.
mode_t process_umask() {
    static const mode_t mask = [] {
        const mode_t m = ::umask(022);
        ::umask(m);
        return m;
    }();
    return mask;
}

// The file system does not offer the call (FAT, some network shares). EPERM is how a link is
// refused where the file system has no links.
bool refused(int err) {
    return err == EINVAL || err == ENOSYS || err == EOPNOTSUPP || err == EPERM;
}

} // namespace
namespace service {

File open_source(const char* path, const ListedEntry* listed, FileFacts* facts) {
    struct stat st {};
    const int fd = open_regular(path, O_RDONLY | O_CLOEXEC, listed, &st);
    if (fd < 0) return kNoFile;
    facts->size = static_cast<uint64_t>(st.st_size);
    facts->volume = static_cast<uint64_t>(st.st_dev);
    facts->mode = st.st_mode & 0777;
    facts->accessed = nanoseconds(st.st_atim);
    facts->written = nanoseconds(st.st_mtim);
    return fd;
}

// The file is made with the source's permissions, so that no fchmod is needed where the
// process's umask leaves them as they are.
File create_unnamed(const char* folder, const FileFacts& like) {
    const int fd = sys().open(native_path(folder).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC,
                              static_cast<mode_t>(like.mode & 0777));
    return fd < 0 ? kNoFile : fd;
}

File create_new(const char* path, const FileFacts& like) {
    const int fd = sys().open(native_path(path).c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC,
                              static_cast<mode_t>(like.mode & 0777));
    return fd < 0 ? kNoFile : fd;
}

uint64_t volume(File f) {
    struct stat st {};
    return sys().fstat(fd_of(f), &st) == 0 ? static_cast<uint64_t>(st.st_dev) : 0;
}

int64_t copy_range(File in, File out, uint64_t n) {
    ssize_t r;
    do {
        r = sys().copy_range(fd_of(in), fd_of(out), static_cast<size_t>(n));
    } while (r < 0 && errno == EINTR);
    return r;
}

int64_t read_file(File in, void* buf, uint64_t n) {
    ssize_t r;
    do {
        r = sys().read(fd_of(in), buf, static_cast<size_t>(n));
    } while (r < 0 && errno == EINTR);
    return r;
}

bool write_file(File out, const void* buf, uint64_t n) {
    const char* p = static_cast<const char*>(buf);
    while (n > 0) {
        const ssize_t w = sys().write(fd_of(out), p, static_cast<size_t>(n));
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) {
            errno = ENOSPC;
            return false;
        }
        p += w;
        n -= static_cast<uint64_t>(w);
    }
    return true;
}

bool seek_file(File f, uint64_t offset) {
    return sys().lseek(fd_of(f), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

// The kernel's own read-ahead is turned off: on a slow disc it fetches megabytes at once, and
// the read that meets it waits seconds for all of them.
void prefetch(File in, uint64_t offset, uint64_t n) {
    sys().fadvise(fd_of(in), 0, 0, POSIX_FADV_RANDOM);
    if (n > 0)
        sys().fadvise(fd_of(in), static_cast<off_t>(offset), static_cast<off_t>(n),
                      POSIX_FADV_WILLNEED);
}

void write_back(File out, uint64_t offset, uint64_t n, bool wait) {
    const unsigned flags =
        wait ? SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER
             : SYNC_FILE_RANGE_WRITE;
    sys().sync_range(fd_of(out), static_cast<off_t>(offset), static_cast<off_t>(n), flags);
}

// Permissions and times are best effort: a file system without them (FAT has no modes and
// refuses fchmod) still gets the data, which is what matters.
void finish(File out, const FileFacts& like) {
    const int saved = errno;
    const mode_t mode = like.mode & 0777;
    if ((mode & ~process_umask()) != mode) sys().fchmod(fd_of(out), mode);
    const struct timespec times[2] = {timespec_of(like.accessed), timespec_of(like.written)};
    sys().futimens(fd_of(out), times);
    errno = saved;
}

bool flush(File f) {
    return sys().fsync(fd_of(f)) == 0;
}

// On a FUSE file system syncfs may answer success without the file system's own process
// having written anything: there it is not offered.
bool flush_volume(File f) {
    constexpr long kFuseMagic = 0x65735546;
    struct statfs fs {};
    if (sys().fstatfs(fd_of(f), &fs) == 0 && fs.f_type == kFuseMagic) {
        errno = EOPNOTSUPP;
        return false;
    }
    return sys().syncfs(fd_of(f)) == 0;
}

bool keep(File) {
    return true;
}

// By the descriptor, which current kernels allow the process that opened the file, or else
// through /proc, which costs a lookup of the link there.
bool link_unnamed(File f, const char* to) {
    const std::string native = native_path(to);
    if (sys().linkat(fd_of(f), "", AT_FDCWD, native.c_str(), AT_EMPTY_PATH) == 0) return true;
    if (errno == EEXIST) return false;
    char proc[64];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd_of(f));
    return sys().linkat(AT_FDCWD, proc, AT_FDCWD, native.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// The exclusive rename; where it is refused, a link and an unlink; where links are refused
// too, an existence check and a plain rename. That last one can race with another process
// that makes the same name between the check and the rename; nothing better exists on such
// file systems.
bool rename_new(const char* from, const char* to) {
    const std::string a = native_path(from), b = native_path(to);
    if (sys().rename_noreplace(a.c_str(), b.c_str()) == 0) return true;
    if (!refused(errno)) return false;
    if (sys().linkat(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), 0) == 0) {
        sys().unlink(a.c_str());
        return true;
    }
    if (!refused(errno)) return false;
    struct stat st {};
    if (sys().lstat(b.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return sys().rename(a.c_str(), b.c_str()) == 0;
}

bool rename_over(const char* from, const char* to) {
    return sys().rename(native_path(from).c_str(), native_path(to).c_str()) == 0;
}

bool set_attributes(const char*, const FileFacts&) {
    return true;
}

bool close_file(File f) {
    return sys().close(fd_of(f)) == 0;
}

void discard(const char* path) {
    const int saved = errno;
    sys().unlink(native_path(path).c_str());
    errno = saved;
}

} // namespace service
} // namespace platform
