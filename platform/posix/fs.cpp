// The file-system services over POSIX calls. Library paths become native paths by turning
// every backslash into "/"; names pass through as bytes, so names that are not valid UTF-8
// survive a listing and a copy. A backslash inside a native name travels as U+F05C
// (platform/posix/native_path.h).
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/drive.h"
#include "platform/fs.h"
#include "platform/posix/calls.h"
#include "platform/posix/listed.h"
#include "platform/posix/native_path.h"
#include "platform/temp_name.h"

namespace platform {
namespace {

// ---- the system calls, through the table ----

int sys_open(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}
ssize_t sys_copy_range(int in, int out, size_t n) {
    return ::copy_file_range(in, nullptr, out, nullptr, n, 0);
}
int sys_rename_noreplace(const char* from, const char* to) {
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

PosixCalls& sys() {
    return posix_calls();
}

// Keeps errno across clean-up calls that may change it.
class KeepErrno {
  public:
    KeepErrno() : saved_(errno) {}
    ~KeepErrno() { errno = saved_; }
    KeepErrno(const KeepErrno&) = delete;
    KeepErrno& operator=(const KeepErrno&) = delete;

  private:
    int saved_;
};

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) {
            reset(o.fd_);
            o.fd_ = -1;
        }
        return *this;
    }
    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) {
            KeepErrno keep;
            ::close(fd_);
        }
        fd_ = fd;
    }

  private:
    int fd_;
};

// ---- names ----

// A native name as library text (see native_path.h); an empty name when it does not fit.
void library_name(const char* native, char* out, size_t size) {
    const std::string name = platform::library_name(native);
    if (name.size() >= size) {
        out[0] = 0;
        return;
    }
    std::memcpy(out, name.c_str(), name.size() + 1);
}

// The last component of a native path, trailing slashes ignored.
std::string last_component(const std::string& path) {
    size_t end = path.find_last_not_of('/');
    if (end == std::string::npos) return std::string();
    size_t start = path.find_last_of('/', end);
    start = start == std::string::npos ? 0 : start + 1;
    return path.substr(start, end + 1 - start);
}

std::string without_slashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// The folder that holds a native path ("." for a bare name).
std::string parent_of(const std::string& path) {
    size_t cut = path.find_last_of('/');
    if (cut == std::string::npos) return ".";
    if (cut == 0) return "/";
    return path.substr(0, cut);
}

// A name that begins with a full stop is hidden; "." and ".." name folders that are not.
bool hidden_name(const std::string& name) {
    return name.size() > 0 && name[0] == '.' && name != "." && name != "..";
}

uint32_t attributes_of(const struct stat& st, bool hidden) {
    uint32_t a = 0;
    if (S_ISDIR(st.st_mode)) a |= kAttrDirectory;
    if (!(st.st_mode & S_IWUSR)) a |= kAttrReadOnly;
    if (hidden) a |= kAttrHidden;
    return a;
}

thread_local ListedEntry g_listed;

} // namespace

void remember_listed(const void* search, int dir_fd, const std::string& folder, const char* name,
                     const struct stat& st) {
    g_listed.search = search;
    g_listed.dir_fd = dir_fd;
    g_listed.path = folder;
    if (folder != "/") g_listed.path += '/';
    g_listed.name_at = g_listed.path.size();
    g_listed.path += name;
    g_listed.st = st;
    // A path the system would refuse as too long stays refused.
    if (g_listed.path.size() >= PATH_MAX) g_listed.search = nullptr;
}

void forget_listed(const void* search) {
    if (!search || g_listed.search == search) g_listed.search = nullptr;
}

const ListedEntry* listed_entry(const std::string& native) {
    return g_listed.search && native == g_listed.path ? &g_listed : nullptr;
}

namespace {

// ---- attributes, delete, move, folders ----

uint32_t attributes(const char* path, int /*codepage*/) {
    std::string native = native_path(path);
    struct stat st {};
    if (const ListedEntry* e = listed_entry(native))
        st = e->st;
    else if (::stat(native.c_str(), &st) != 0)
        return kAttrInvalid;
    return attributes_of(st, hidden_name(last_component(native)));
}

// There are no drives here: no drive letter ever counts as absent.
uint32_t drive_mask() {
    return 0xFFFFFFFFu;
}

// A read-only file is refused, as Windows refuses it, although the folder would allow it.
bool remove_file(const char* path) {
    forget_listed();
    std::string native = native_path(path);
    struct stat st {};
    if (::lstat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR)) {
        errno = EACCES;
        return false;
    }
    return sys().unlink(native.c_str()) == 0;
}

bool copy_now(const char* src, const char* dst);

// The file system does not offer the call at all (FAT, some network shares). EPERM is how a
// link is refused where the file system has no links.
bool refused(int err) {
    return err == EINVAL || err == ENOSYS || err == EOPNOTSUPP || err == EPERM;
}

// Gives a file a new name without replacing one that exists: the exclusive rename; where it
// is refused, a link and an unlink; where links are refused too, an existence check and a
// plain rename. That last one can race with another process that makes the same name
// between the check and the rename; nothing better exists on such file systems.
bool rename_exclusive(const std::string& from, const std::string& to) {
    if (sys().rename_noreplace(from.c_str(), to.c_str()) == 0) return true;
    if (!refused(errno)) return false;
    if (sys().linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 0) == 0) {
        sys().unlink(from.c_str());
        return true;
    }
    if (!refused(errno)) return false;
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return sys().rename(from.c_str(), to.c_str()) == 0;
}

bool move_file(const char* src, const char* dst) {
    forget_listed();
    std::string from = native_path(src), to = native_path(dst);
    if (rename_exclusive(from, to)) return true;
    if (errno == EXDEV) {
        // Another file system: a complete copy first, then the original goes.
        if (!copy_now(src, dst)) return false;
        sys().unlink(from.c_str());
        return true;
    }
    return false;
}

bool make_folder(const char* path) {
    forget_listed();
    return ::mkdir(native_path(path).c_str(), 0777) == 0;
}

unsigned long last_error() {
    return static_cast<unsigned long>(errno);
}

// ---- listing ----

struct DevIno {
    dev_t dev;
    ino_t ino;
};

struct Search {
    DIR* dir = nullptr;
    std::string mask; // native bytes
    bool all = false;
    std::string folder; // native
    std::string top;    // native; where the walk began
    bool have_ancestors = false;
    std::vector<DevIno> ancestors; // the listed folder and every folder above it
    bool have_confine = false;
    std::string confine; // resolved; links must lead inside it
};

// Records the folder at path and each folder above it, by the path as written (which may
// pass through links) and by its resolved form.
void add_chain(std::vector<DevIno>& out, std::string p) {
    for (int guard = 0; guard < 4096; ++guard) {
        struct stat st {};
        if (::stat(p.c_str(), &st) == 0) out.push_back({st.st_dev, st.st_ino});
        size_t end = p.find_last_not_of('/');
        if (end == std::string::npos || p == ".") break; // the root, or the current folder
        p.resize(end + 1);
        size_t cut = p.find_last_of('/');
        if (cut == std::string::npos)
            p.assign(1, '.');
        else
            p.resize(cut == 0 ? 1 : cut);
    }
}

bool leads_upwards(Search& s, const struct stat& target) {
    if (!s.have_ancestors) {
        add_chain(s.ancestors, s.folder);
        if (char* real = ::realpath(s.folder.c_str(), nullptr)) {
            add_chain(s.ancestors, real);
            std::free(real);
        }
        if (s.folder[0] != '/') {
            // A relative folder also lies below the current one.
            if (char* cwd = ::getcwd(nullptr, 0)) {
                add_chain(s.ancestors, cwd);
                std::free(cwd);
            }
        }
        s.have_ancestors = true;
    }
    for (const DevIno& a : s.ancestors)
        if (a.dev == target.st_dev && a.ino == target.st_ino) return true;
    return false;
}

// The resolved form of a native path; empty when it cannot be resolved (errno tells why).
std::string resolved(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return std::string();
    std::string out(real);
    std::free(real);
    return out;
}

// Links may lead anywhere on the disc that holds the walk's top folder: below its mount
// point, or below the top folder itself when that lies on the root file system, where the
// rest of the system is.
const std::string& confine_of(Search& s) {
    if (!s.have_confine) {
        std::string top = resolved(s.top);
        if (!top.empty()) {
            std::string mount = drive_root(top.c_str());
            if (mount.size() > 1 && mount.back() == '/') mount.pop_back();
            s.confine = mount == "/" ? top : mount;
        }
        s.have_confine = true;
    }
    return s.confine;
}

bool inside(const std::string& path, const std::string& folder) {
    if (folder.empty()) return false;
    if (folder == "/") return true;
    return path.compare(0, folder.size(), folder) == 0 &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

// The walk's top folder may itself be a link (the data folder of a disc made to harm): it
// obeys the rule for links, judged from the disc that holds the link. A link on the root file
// system is the source folder itself and always allowed.
bool top_leaves_disc(const std::string& link) {
    struct stat st {};
    if (::lstat(link.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
    const std::string holder = resolved(parent_of(link));
    if (holder.empty()) return true;
    std::string disc = drive_root(holder.c_str());
    if (disc.size() > 1 && disc.back() == '/') disc.pop_back();
    return disc != "/" && !inside(resolved(link), disc);
}

bool names_nothing_errno(int err) {
    return err == ENOENT || err == ENOTDIR || err == ELOOP;
}

bool matches(const Search& s, const char* name) {
    return s.all || ::fnmatch(s.mask.c_str(), name, FNM_NOESCAPE) == 0;
}

// The end of the listing: complete, unless the folder was removed or its disc taken away
// while it was listed, which a listing alone does not tell.
ListingEnd listing_end(const Search& s) {
    struct stat open {
    }, now{};
    if (::fstat(::dirfd(s.dir), &open) == 0 && ::stat(s.folder.c_str(), &now) == 0 &&
        open.st_dev == now.st_dev && open.st_ino == now.st_ino)
        return ListingEnd::complete;
    return ListingEnd::failed;
}

enum class Entry { listed, left_out, failed };

// The status of entry name, links followed, into st; known false for a link that leads
// nowhere. Links that leave the disc, lead back up the walk or cannot be resolved are left
// out, as are entries that are neither regular files nor folders: nothing ever opens them.
Entry examine(Search& s, const char* name, unsigned char type, struct stat& st, bool& known) {
    const int dfd = ::dirfd(s.dir);
    bool is_link = type == DT_LNK;
    if (type == DT_UNKNOWN || is_link) {
        struct stat lst {};
        if (::fstatat(dfd, name, &lst, AT_SYMLINK_NOFOLLOW) != 0)
            return names_nothing_errno(errno) ? Entry::left_out : Entry::failed;
        is_link = S_ISLNK(lst.st_mode);
    }
    if (is_link) {
        std::string path = s.folder == "/" ? "/" : s.folder + "/";
        std::string target = resolved(path + name);
        if (target.empty()) {
            if (!names_nothing_errno(errno)) return Entry::left_out;
            known = false; // dangling: listed without attributes
            return Entry::listed;
        }
        if (!inside(target, confine_of(s))) return Entry::left_out;
    }
    if (::fstatat(dfd, name, &st, 0) != 0) {
        if (!names_nothing_errno(errno)) return Entry::failed;
        if (!is_link) return Entry::left_out; // gone since it was listed
        known = false;
        return Entry::listed;
    }
    known = true;
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return Entry::left_out;
    if (is_link && S_ISDIR(st.st_mode) && leads_upwards(s, st)) return Entry::left_out;
    return Entry::listed;
}

// Reads entries until one is to be listed and fills rec with it.
bool read_entry(Search& s, FindRecord* rec, ListingEnd* end) {
    for (;;) {
        errno = 0;
        struct dirent* e = ::readdir(s.dir);
        if (!e) {
            *end = errno == 0 ? listing_end(s) : ListingEnd::failed;
            return false;
        }
        if (!matches(s, e->d_name)) continue;
        struct stat st {};
        bool known = false;
        const Entry what = examine(s, e->d_name, e->d_type, st, known);
        if (what == Entry::left_out) continue;
        if (what == Entry::failed) {
            *end = ListingEnd::failed;
            return false;
        }
        if (known)
            remember_listed(&s, ::dirfd(s.dir), s.folder, e->d_name, st);
        else
            forget_listed();
        rec->attributes = known ? attributes_of(st, hidden_name(e->d_name)) : 0;
        rec->size = known && !S_ISDIR(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
        library_name(e->d_name, rec->name, sizeof rec->name);
        return true;
    }
}

FindHandle find_first(const char* pattern, const char* top, FindRecord* rec, ListingEnd* end) {
    std::string native = native_path(pattern);
    size_t cut = native.find_last_of('/');
    auto s = std::make_unique<Search>();
    if (cut == std::string::npos) {
        s->folder.assign(1, '.');
        s->mask = native;
    } else {
        s->folder = cut == 0 ? "/" : native.substr(0, cut);
        s->mask = native.substr(cut + 1);
    }
    s->top = top && *top ? native_path(top) : s->folder;
    s->all = s->mask == "*" || s->mask == "*.*";
    if (without_slashes(s->folder) == without_slashes(s->top) &&
        top_leaves_disc(without_slashes(s->top))) {
        *end = ListingEnd::missing; // left out like a link that leads nowhere
        return nullptr;
    }
    s->dir = ::opendir(s->folder.c_str());
    if (!s->dir) {
        *end = names_nothing_errno(errno) ? ListingEnd::missing : ListingEnd::failed;
        return nullptr;
    }
    if (!read_entry(*s, rec, end)) {
        KeepErrno keep;
        ::closedir(s->dir);
        return nullptr;
    }
    return s.release();
}

bool find_next(FindHandle search, FindRecord* rec, ListingEnd* end) {
    return read_entry(*static_cast<Search*>(search), rec, end);
}

void find_close(FindHandle search) {
    auto* s = static_cast<Search*>(search);
    forget_listed(s);
    ::closedir(s->dir);
    delete s;
}

// The file must open for reading, as the system's own time query demands. It opens without
// waiting, so that a FIFO or a device cannot block here, and only a regular file counts.
bool write_time(const char* path, SystemTime* utc) {
    Fd fd(::open(native_path(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) return false;
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    std::tm t{};
    time_t secs = st.st_mtim.tv_sec;
    if (!::gmtime_r(&secs, &t)) return false;
    utc->year = static_cast<uint16_t>(t.tm_year + 1900);
    utc->month = static_cast<uint16_t>(t.tm_mon + 1);
    utc->day_of_week = static_cast<uint16_t>(t.tm_wday);
    utc->day = static_cast<uint16_t>(t.tm_mday);
    utc->hour = static_cast<uint16_t>(t.tm_hour);
    utc->minute = static_cast<uint16_t>(t.tm_min);
    utc->second = static_cast<uint16_t>(t.tm_sec > 59 ? 59 : t.tm_sec);
    utc->milliseconds = static_cast<uint16_t>(st.st_mtim.tv_nsec / 1000000);
    return true;
}

// ---- the copy ----

constexpr size_t kBufferSize = 1 << 20;
// Pieces small enough that a stop asked for during a large file is heard quickly.
constexpr size_t kRangeChunk = 4 << 20;

// The data goes into a file that has no name yet (O_TMPFILE), or, where the file system
// cannot make one, into a hidden temporary name in the destination folder.
struct TempFile {
    Fd fd;
    std::string name; // empty for an unnamed file
};

std::string temp_name(const std::string& folder) {
    return (folder == "/" ? folder : folder + "/") + temp_file_name();
}

// The file is made with the source's permissions, so that no fchmod is needed where the
// process's umask leaves them as they are.
bool open_temp(const std::string& folder, TempFile& t, mode_t mode) {
    int fd = sys().open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd >= 0) {
        t.fd.reset(fd);
        return true;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = temp_name(folder);
        fd = sys().open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
        if (fd >= 0) {
            t.fd.reset(fd);
            t.name = name;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

bool write_all(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = sys().write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) {
            errno = ENOSPC;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// The copy must reach the disk before its name appears. Rather than leave all of it to the
// final fsync, writeback of each finished stretch starts at once and runs while the next
// ones are copied; the stretch before the previous one is waited for, so that only a few
// stretches are ever in flight and the final fsync has little left to do. Each piece
// written is also told to the caller, who may stop the copy before the next one.
class Pieces {
  public:
    Pieces(int fd, const CopyProgress* progress, uint64_t size)
        : fd_(fd), progress_(progress && progress->piece ? progress : nullptr), size_(size) {}
    // False, with ECANCELED, when the caller stops the copy while data is still to come.
    bool written(size_t n) {
        written_ += static_cast<off_t>(n);
        while (written_ - started_ >= kStretch) {
            ::sync_file_range(fd_, started_, kStretch, SYNC_FILE_RANGE_WRITE);
            if (started_ >= 2 * kStretch)
                ::sync_file_range(fd_, started_ - 2 * kStretch, kStretch,
                                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                      SYNC_FILE_RANGE_WAIT_AFTER);
            started_ += kStretch;
        }
        if (progress_ && !progress_->piece(progress_->context, n) &&
            static_cast<uint64_t>(written_) < size_) {
            errno = ECANCELED;
            return false;
        }
        return true;
    }

    uint64_t total() const { return static_cast<uint64_t>(written_); }
    uint64_t expected() const { return size_; }
    // All of the size that the source had when it was opened is copied.
    bool complete() const { return size_ > 0 && total() >= size_; }

  private:
    static constexpr off_t kStretch = 32 << 20;
    int fd_;
    const CopyProgress* progress_;
    uint64_t size_;
    off_t written_ = 0;
    off_t started_ = 0;
};

bool read_write_loop(int in, int out, Pieces& pieces) {
    std::unique_ptr<char[]> buf(new (std::nothrow) char[kBufferSize]);
    if (!buf) {
        errno = ENOMEM;
        return false;
    }
    for (;;) {
        ssize_t r = sys().read(in, buf.get(), kBufferSize);
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (r == 0) return true;
        if (!write_all(out, buf.get(), static_cast<size_t>(r)) ||
            !pieces.written(static_cast<size_t>(r)))
            return false;
        if (pieces.complete()) return true;
    }
}

// On one file system the kernel copies (and may share blocks); otherwise, or where it
// declines, a read/write loop with a large buffer carries on from the current offsets.
bool transfer(int in, int out, bool same_fs, Pieces& pieces) {
    if (same_fs) {
        for (;;) {
            ssize_t n = sys().copy_range(in, out, kRangeChunk);
            if (n > 0) {
                if (!pieces.written(static_cast<size_t>(n))) return false;
                if (pieces.complete()) return true; // no call just to learn of the end
                continue;
            }
            if (n == 0) return true;
            if (errno == EINTR) continue;
            if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                errno == EBADF)
                break;
            return false;
        }
    }
    // Read-ahead matters only for a file that takes more than one read.
    if (pieces.expected() > kBufferSize) ::posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
    return read_write_loop(in, out, pieces);
}

// Gives the unnamed file a name by its descriptor, which current kernels allow the process
// that opened it, or else through /proc, which costs a lookup of the link there.
bool link_unnamed(int fd, const std::string& to) {
    if (sys().linkat(fd, "", AT_FDCWD, to.c_str(), AT_EMPTY_PATH) == 0) return true;
    if (errno == EEXIST) return false;
    char proc[64];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
    return sys().linkat(AT_FDCWD, proc, AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// Makes the complete temporary file appear under the destination name.
bool publish(TempFile& t, const std::string& folder, const std::string& to, bool replace) {
    if (t.name.empty()) {
        if (!replace) return link_unnamed(t.fd.get(), to);
        // A rename is the one call that replaces atomically, and it needs a name to start
        // from: the unnamed file takes a hidden one first.
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = temp_name(folder);
            if (link_unnamed(t.fd.get(), name)) {
                t.name = name;
                break;
            }
            if (errno != EEXIST) return false;
        }
        if (t.name.empty()) return false;
    }
    if (replace) return sys().rename(t.name.c_str(), to.c_str()) == 0;
    return rename_exclusive(t.name, to);
}

// ---- staged copies ----
// A staged copy keeps its complete file open, unnamed (or under its hidden temporary name),
// until it is made durable and named; a crash before that leaves nothing under its name.

struct Staged {
    TempFile t;
    std::string folder, to; // native
    bool replace = false;
    dev_t dev = 0;
};

void discard_staged(StagedFile file);

// Read once: umask has no call that only reads it.
mode_t process_umask() {
    static const mode_t mask = [] {
        const mode_t m = ::umask(022);
        ::umask(m);
        return m;
    }();
    return mask;
}

StagedFile stage(const char* src, const char* dst, bool fail_if_exists,
                 const CopyProgress* progress, uint64_t* bytes) {
    forget_listed();
    auto s = std::make_unique<Staged>();
    std::string from = native_path(src);
    s->to = native_path(dst);
    // Opened without waiting, so that a FIFO or a device met here cannot block; only a
    // regular file is copied, whose reads the non-blocking flag does not change.
    Fd in(sys().open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0));
    if (in.get() < 0) return nullptr;
    struct stat st {};
    if (::fstat(in.get(), &st) != 0) return nullptr;
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return nullptr;
    }
    // An existing destination is not looked for here: the caller has just asked (the copy
    // job does), and the naming refuses it in any case.
    s->folder = parent_of(s->to);
    s->replace = !fail_if_exists;
    const mode_t mode = st.st_mode & 0777;
    if (!open_temp(s->folder, s->t, mode)) return nullptr;
    struct stat out {};
    const bool known = ::fstat(s->t.fd.get(), &out) == 0;
    s->dev = out.st_dev;
    Pieces pieces(s->t.fd.get(), progress, static_cast<uint64_t>(st.st_size));
    if (!transfer(in.get(), s->t.fd.get(), known && out.st_dev == st.st_dev, pieces)) {
        discard_staged(s.release());
        return nullptr;
    }
    // Permissions and times are best effort: a file system without them (FAT has no modes
    // and refuses fchmod) still gets the data, which is what matters.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if ((mode & ~process_umask()) != mode) sys().fchmod(s->t.fd.get(), mode);
    sys().futimens(s->t.fd.get(), times);
    if (bytes) *bytes = pieces.total();
    return s.release();
}

void discard_staged(StagedFile file) {
    forget_listed();
    std::unique_ptr<Staged> s(static_cast<Staged*>(file));
    KeepErrno keep;
    if (!s->t.name.empty()) sys().unlink(s->t.name.c_str());
}

// On a FUSE file system syncfs may answer success without the file system's own process
// having written anything: there each file is flushed on its own.
bool syncfs_trusted(int fd) {
    constexpr long kFuseMagic = 0x65735546;
    struct statfs fs {};
    return ::fstatfs(fd, &fs) != 0 || fs.f_type != kFuseMagic;
}

// One syncfs per file system that holds several of the files, or, for a single file and
// where syncfs is refused, untrusted or fails, an fsync of each file, which also tells which
// file failed.
void make_durable(StagedFile* files, size_t count, bool* durable) {
    std::vector<char> done(count, 0);
    for (size_t i = 0; i < count; ++i) {
        if (done[i]) continue;
        const auto* first = static_cast<Staged*>(files[i]);
        const int fd = first->t.fd.get();
        size_t on_dev = 0;
        for (size_t j = i; j < count; ++j)
            on_dev += static_cast<Staged*>(files[j])->dev == first->dev;
        const bool whole = on_dev > 1 && syncfs_trusted(fd) && sys().syncfs(fd) == 0;
        for (size_t j = i; j < count; ++j) {
            const auto* s = static_cast<Staged*>(files[j]);
            if (done[j] || s->dev != first->dev) continue;
            done[j] = 1;
            durable[j] = whole || sys().fsync(s->t.fd.get()) == 0;
        }
    }
}

bool name_staged(StagedFile file) {
    forget_listed();
    auto* s = static_cast<Staged*>(file);
    // A file with a temporary name is renamed by name: closed first, it is never a file
    // still open when another run's rename replaces it (which FUSE keeps as a hidden file).
    if (!s->t.name.empty()) s->t.fd.reset();
    if (publish(s->t, s->folder, s->to, s->replace)) {
        delete s;
        return true;
    }
    discard_staged(s);
    return false;
}

// The move to another file system: the copy made durable and named at once.
bool copy_now(const char* src, const char* dst) {
    StagedFile f = stage(src, dst, true, nullptr, nullptr);
    if (!f) return false;
    bool durable = false;
    make_durable(&f, 1, &durable);
    if (durable) return name_staged(f);
    discard_staged(f);
    return false;
}

} // namespace

bool names_nothing(unsigned long code) {
    return names_nothing_errno(static_cast<int>(code));
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

PosixCalls& posix_calls() {
    static PosixCalls calls{sys_open, ::read,     ::write,  sys_copy_range,       ::fsync,
                            ::fchmod, ::futimens, ::linkat, sys_rename_noreplace, ::rename,
                            ::unlink, ::syncfs};
    return calls;
}

bool out_of_descriptors(unsigned long error) {
    return error == EMFILE || error == ENFILE;
}

bool name_taken(unsigned long error) {
    return error == EEXIST;
}

FsOps& fs_ops() {
    static FsOps ops{attributes, drive_mask,   remove_file, move_file,     make_folder,
                     last_error, find_first,   find_next,   find_close,    write_time,
                     stage,      make_durable, name_staged, discard_staged};
    return ops;
}

} // namespace platform
