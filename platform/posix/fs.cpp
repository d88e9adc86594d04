// The file-system services over POSIX calls: attributes, delete, move, folders, times, links,
// limits, what error codes mean, and the two tables. Library paths become native paths by
// turning every backslash into "/"; names pass through as bytes, so names that are not valid
// UTF-8 survive a listing and a copy. A backslash inside a native name travels as U+F05C
// (platform/posix/native_path.h).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
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

// The last component of a native path, trailing slashes ignored.
std::string last_component(const std::string& path) {
    const size_t end = path.find_last_not_of('/');
    if (end == std::string::npos) return std::string();
    size_t start = path.find_last_of('/', end);
    start = start == std::string::npos ? 0 : start + 1;
    return path.substr(start, end + 1 - start);
}
} // namespace

namespace service {

uint32_t attributes(const char* path, int /*codepage*/) {
    const std::string native = native_path(path);
    struct stat st {};
    if (sys().stat(native.c_str(), &st) != 0) return kAttrInvalid;
    return attributes_of(st, hidden_name(last_component(native)));
}

// There are no drives here: no drive letter ever counts as absent.
uint32_t drive_mask() {
    return 0xFFFFFFFFu;
}

// A read-only file is refused, as Windows refuses it, although the folder would allow it.
bool remove_file(const char* path) {
    const std::string native = native_path(path);
    struct stat st {};
    if (sys().lstat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR)) {
        errno = EACCES;
        return false;
    }
    return sys().unlink(native.c_str()) == 0;
}

bool move_file(const char* src, const char* dst) {
    return rename_new(src, dst);
}

bool make_folder(const char* path) {
    return sys().mkdir(native_path(path).c_str(), 0777) == 0;
}

unsigned long last_error() {
    return static_cast<unsigned long>(errno);
}

// The file must open for reading, as the system's own time query demands; it opens without
// waiting, so that a FIFO or a device cannot block here, and only a regular file counts.
bool write_time(const char* path, SystemTime* utc) {
    FileFacts facts;
    const File f = open_source(path, nullptr, &facts);
    if (f == kNoFile) return false;
    close_file(f);
    std::tm t{};
    const time_t secs = static_cast<time_t>(facts.written / 1000000000);
    if (!::gmtime_r(&secs, &t)) return false;
    utc->year = static_cast<uint16_t>(t.tm_year + 1900);
    utc->month = static_cast<uint16_t>(t.tm_mon + 1);
    utc->day_of_week = static_cast<uint16_t>(t.tm_wday);
    utc->day = static_cast<uint16_t>(t.tm_mday);
    utc->hour = static_cast<uint16_t>(t.tm_hour);
    utc->minute = static_cast<uint16_t>(t.tm_min);
    utc->second = static_cast<uint16_t>(t.tm_sec > 59 ? 59 : t.tm_sec);
    utc->milliseconds = static_cast<uint16_t>(facts.written / 1000000 % 1000);
    return true;
}

std::string resolve(const char* path) {
    char* real = ::realpath(native_path(path).c_str(), nullptr);
    if (!real) return std::string();
    std::string out = library_path(real);
    std::free(real);
    return out;
}

bool is_link(const char* path) {
    std::string native = native_path(path);
    while (native.size() > 1 && native.back() == '/')
        native.pop_back();
    struct stat st {};
    return sys().lstat(native.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}
} // namespace service

namespace {

int sys_open(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}
int sys_openat(int dir, const char* name, int flags, mode_t mode) {
    return ::openat(dir, name, flags, mode);
}
ssize_t sys_copy_range(int in, int out, size_t n) {
    return ::copy_file_range(in, nullptr, out, nullptr, n, 0);
}
int sys_rename_noreplace(const char* from, const char* to) {
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

constexpr PosixCalls kPosixCalls{
    .open = sys_open,
    .openat = sys_openat,
    .close = ::close,
    .read = ::read,
    .write = ::write,
    .copy_range = sys_copy_range,
    .lseek = ::lseek,
    .fadvise = ::posix_fadvise,
    .sync_range = ::sync_file_range,
    .fsync = ::fsync,
    .syncfs = ::syncfs,
    .fstatfs = ::fstatfs,
    .fchmod = ::fchmod,
    .futimens = ::futimens,
    .stat = ::stat,
    .lstat = ::lstat,
    .fstat = ::fstat,
    .fstatat = ::fstatat,
    .mkdir = ::mkdir,
    .opendir = ::opendir,
    .readdir = ::readdir,
    .closedir = ::closedir,
    .linkat = ::linkat,
    .rename_noreplace = sys_rename_noreplace,
    .rename = ::rename,
    .unlink = ::unlink,
};

} // namespace

PosixCalls& posix_calls() {
    static PosixCalls calls = kPosixCalls;
    return calls;
}

const PosixCalls& default_posix_calls() {
    return kPosixCalls;
}

bool names_nothing(unsigned long code) {
    return code == ENOENT || code == ENOTDIR || code == ELOOP;
}

bool name_taken(unsigned long error) {
    return error == EEXIST;
}

bool out_of_descriptors(unsigned long error) {
    return error == EMFILE || error == ENFILE;
}

bool unsupported(unsigned long error) {
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP ||
           error == EBADF;
}

bool read_fault(unsigned long error) {
    return error == EIO;
}

bool cross_volume(unsigned long error) {
    return error == EXDEV;
}

unsigned long cancelled_error() {
    return ECANCELED;
}

void set_last_error(unsigned long error) {
    errno = static_cast<int>(error);
}

bool path_within(const std::string& path, const std::string& folder) {
    std::string p = native_path(path.c_str()), f = native_path(folder.c_str());
    while (f.size() > 1 && f.back() == '/')
        f.pop_back();
    if (f.empty()) return false;
    if (f == "/") return true;
    return p.compare(0, f.size(), f) == 0 && (p.size() == f.size() || p[f.size()] == '/');
}

bool system_root(const std::string& folder) {
    const std::string f = native_path(folder.c_str());
    return !f.empty() && f.find_first_not_of('/') == std::string::npos;
}

bool folders_may_be_links() {
    return false;
}

unsigned long raise_open_file_limit() {
    struct rlimit lim {};
    if (::getrlimit(RLIMIT_NOFILE, &lim) != 0) return 0;
    if (lim.rlim_cur < lim.rlim_max) {
        rlim_t wanted = lim.rlim_max;
        for (; wanted > lim.rlim_cur; wanted /= 2) { // unlimited may not be accepted
            struct rlimit raised = {wanted, lim.rlim_max};
            if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) break;
        }
        lim.rlim_cur = std::max(wanted, lim.rlim_cur);
    }
    return lim.rlim_cur == RLIM_INFINITY ? ~0ul : static_cast<unsigned long>(lim.rlim_cur);
}

void reserve_descriptors(unsigned long count) {
    const unsigned long limit = raise_open_file_limit();
    const unsigned long top = std::min(count, limit) - 1;
    if (count == 0 || top > static_cast<unsigned long>(INT_MAX)) return;
    // A copy of descriptor 0 at the top number makes the table that large; 0 is always open.
    const int fd = ::fcntl(0, F_DUPFD_CLOEXEC, static_cast<int>(top));
    if (fd >= 0) ::close(fd);
}

} // namespace platform
