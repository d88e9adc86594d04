// The directory listing over POSIX calls. Each entry is examined once, through the listed
// folder's descriptor: its kind without opening it, then its status with links followed. A
// link is listed as one, with what it leads to; which links a walk follows is decided above.
#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
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

struct Search {
    DIR* dir = nullptr;
    std::string folder; // native
    std::string mask;   // native bytes
    bool all = false;
    ListedEntry entry;
    bool have_entry = false;
};

bool matches(const Search& s, const char* name) {
    return s.all || ::fnmatch(s.mask.c_str(), name, FNM_NOESCAPE) == 0;
}

bool gone(int err) {
    return err == ENOENT || err == ENOTDIR;
}

// The end of the listing: complete, unless the folder was removed or its disc taken away
// while it was listed, which a listing alone does not tell.
ListingEnd listing_end(const Search& s) {
    struct stat open {
    }, now{};
    if (sys().fstat(::dirfd(s.dir), &open) == 0 && sys().stat(s.folder.c_str(), &now) == 0 &&
        open.st_dev == now.st_dev && open.st_ino == now.st_ino)
        return ListingEnd::complete;
    return ListingEnd::failed;
}

void fill(Search& s, const char* name, bool link, bool known, FindRecord* rec) {
    const struct stat& st = s.entry.st;
    rec->link = link;
    rec->attributes = known ? attributes_of(st, hidden_name(name)) : kAttrInvalid;
    rec->size = known && !S_ISDIR(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    const std::string lib = library_name(name);
    if (lib.size() >= sizeof rec->name)
        rec->name[0] = 0;
    else
        std::memcpy(rec->name, lib.c_str(), lib.size() + 1);
    s.entry.path.resize(s.entry.name_at);
    s.entry.path += name;
    // A path the system would refuse as too long is not opened through the folder either.
    s.have_entry = known && s.entry.path.size() < PATH_MAX;
}

enum class Entry { listed, left_out, failed };

// Examines entry name: what it is without following it, then what it leads to. FIFOs,
// sockets and devices are left out unopened; so is an entry gone since it was listed.
Entry examine(Search& s, const struct dirent* e, FindRecord* rec) {
    const int dfd = ::dirfd(s.dir);
    const unsigned char type = e->d_type;
    if (type != DT_UNKNOWN && type != DT_LNK && type != DT_REG && type != DT_DIR)
        return Entry::left_out;
    bool link = type == DT_LNK;
    struct stat& st = s.entry.st;
    if (type == DT_UNKNOWN || link) {
        if (sys().fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return gone(errno) ? Entry::left_out : Entry::failed;
        link = S_ISLNK(st.st_mode);
    }
    if (sys().fstatat(dfd, e->d_name, &st, 0) != 0) {
        const int err = errno;
        if (link && (gone(err) || err == ELOOP)) { // leads nowhere: listed without attributes
            fill(s, e->d_name, true, false, rec);
            return Entry::listed;
        }
        return gone(err) ? Entry::left_out : Entry::failed;
    }
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return Entry::left_out;
    fill(s, e->d_name, link, true, rec);
    return Entry::listed;
}

// Reads entries until one is to be listed and fills rec with it.
bool read_entry(Search& s, FindRecord* rec, ListingEnd* end) {
    s.have_entry = false;
    for (;;) {
        errno = 0;
        struct dirent* e = sys().readdir(s.dir);
        if (!e) {
            *end = errno == 0 ? listing_end(s) : ListingEnd::failed;
            return false;
        }
        if (!matches(s, e->d_name)) continue;
        switch (examine(s, e, rec)) {
        case Entry::listed:
            return true;
        case Entry::left_out:
            continue;
        case Entry::failed:
            *end = ListingEnd::failed;
            return false;
        }
    }
}

} // namespace

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
namespace service {

FindHandle find_first(const char* pattern, FindRecord* rec, ListingEnd* end) {
    const std::string native = native_path(pattern);
    const size_t cut = native.find_last_of('/');
    auto s = std::make_unique<Search>();
    if (cut == std::string::npos) {
        s->folder.assign(1, '.');
        s->mask = native;
    } else {
        s->folder = cut == 0 ? "/" : native.substr(0, cut);
        s->mask = native.substr(cut + 1);
    }
    s->all = s->mask == "*" || s->mask == "*.*";
    s->dir = sys().opendir(s->folder.c_str());
    if (!s->dir) {
        *end = gone(errno) || errno == ELOOP ? ListingEnd::missing : ListingEnd::failed;
        return nullptr;
    }
    s->entry.dir_fd = ::dirfd(s->dir);
    s->entry.path = s->folder == "/" ? "/" : s->folder + "/";
    s->entry.name_at = s->entry.path.size();
    if (!read_entry(*s, rec, end)) {
        const int err = errno;
        sys().closedir(s->dir);
        errno = err;
        return nullptr;
    }
    return s.release();
}

bool find_next(FindHandle search, FindRecord* rec, ListingEnd* end) {
    return read_entry(*static_cast<Search*>(search), rec, end);
}

void find_close(FindHandle search) {
    auto* s = static_cast<Search*>(search);
    sys().closedir(s->dir);
    delete s;
}

const ListedEntry* listed(FindHandle search) {
    const auto* s = static_cast<const Search*>(search);
    return s && s->have_entry ? &s->entry : nullptr;
}

} // namespace service
} // namespace platform
