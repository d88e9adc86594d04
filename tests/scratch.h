#pragma once
// Scratch folders for the file-system, file and application tests, and small helpers to make
// and inspect files in them. Brings in gtest and the standard headers below for the tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "fs/iterator.h"
#include "fs/path.h"

namespace sfs = std::filesystem;

namespace fstest {

// A path in UTF-8: as the program shows it to people (the system's own form), or in the
// library's form, with backslash separators.
inline std::string shown(const sfs::path& p) {
    auto u8 = sfs::path(p).make_preferred().u8string();
    return std::string(u8.begin(), u8.end());
}
inline std::string lib(const sfs::path& p) {
    std::string s = shown(p);
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}
inline DString at(const sfs::path& p) {
    return lib(p).c_str();
}

// The system's separator, as the program shows it after a folder.
inline const std::string kSep(1, static_cast<char>(sfs::path::preferred_separator));

// Writes a file, making the folders it goes in.
inline void write_file(const sfs::path& p, const std::string& data) {
    if (p.has_parent_path()) sfs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << data;
}

inline std::string read_all(const sfs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The names in a folder, so a stray temporary file shows.
inline std::set<std::string> entries(const sfs::path& folder) {
    std::set<std::string> names;
    for (auto& e : sfs::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

// The names the library lists in a folder, hidden ones too when asked; links followed as in
// a walk that began at top (the folder itself when empty).
inline std::set<std::string> listed(const sfs::path& folder, bool hidden = false,
                                    const sfs::path& top = {}) {
    TIteradorFitx it((lib(folder) + "\\*.*").c_str());
    it.incluir_ocultos = hidden;
    it.walk_top = lib(top).c_str();
    std::set<std::string> names;
    while (it.Siguiente())
        names.insert(TStringNomFitx(it.ruta).Nombre());
    return names;
}

// The regular files anywhere below a folder; none when it is missing.
inline int files_below(const sfs::path& folder) {
    int n = 0;
    std::error_code ec;
    for (auto it = sfs::recursive_directory_iterator(folder, ec); it != decltype(it)(); ++it)
        n += it->is_regular_file();
    return n;
}

// n bytes where a block copied to the wrong place shows.
inline std::string pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(i % 251);
    return s;
}

// Puts a table of system calls (or any other value) back as it was when the scope ends.
template <typename T> struct Restore {
    T& ref;
    T saved = ref;
    explicit Restore(T& r) : ref(r) {}
    ~Restore() { ref = saved; }
};

// A fresh folder below the system's temporary folder, removed with its content.
struct TempDir {
    sfs::path path;
    TempDir() {
        static std::atomic<int> n{0};
        auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path = sfs::temp_directory_path() /
               ("lumbrake-" + std::to_string(stamp) + "-" + std::to_string(n++));
        sfs::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        sfs::remove_all(path, ec);
    }
    sfs::path operator/(const sfs::path& name) const { return path / name; }
};

#ifndef _WIN32
// open() on a file system without unnamed files.
inline int open_without_tmpfile(const char* p, int flags, mode_t mode) {
    if ((flags & O_TMPFILE) == O_TMPFILE) return errno = EOPNOTSUPP, -1;
    return ::open(p, flags, mode);
}

// An image made and mounted with FUSE at mnt by a shell command that finds its paths in $img
// and $mnt; mounted stays false where the tools or FUSE are missing. release runs after the
// unmount, with the same paths (to free a loop device, say).
struct FuseImage {
    sfs::path mnt;
    std::string paths, release;
    bool mounted = false;
    FuseImage(const sfs::path& scratch, const std::string& make_and_mount, std::string after = "")
        : mnt(scratch / "mnt"), release(std::move(after)) {
        if (::access("/dev/fuse", R_OK | W_OK) != 0) return;
        sfs::create_directories(mnt);
        paths = "img='" + (scratch / "image").string() + "' mnt='" + mnt.string() + "' && ";
        mounted = std::system((paths + "(" + make_and_mount + ") >/dev/null 2>&1").c_str()) == 0;
    }
    ~FuseImage() {
        if (mounted) std::system(("fusermount -u -z '" + mnt.string() + "'").c_str());
        if (!release.empty()) std::system((paths + "(" + release + ") >/dev/null 2>&1").c_str());
    }
};

// The shell command that makes a FAT image of 16 MiB, as on a USB stick, and mounts it.
inline const char* const kFatImage = "dd if=/dev/zero of=\"$img\" bs=1M count=16 status=none && "
                                     "mkfs.vfat \"$img\" && fusefat -o rw+ \"$img\" \"$mnt\"";

#endif

} // namespace fstest

// A fixture with a scratch folder per test, named by the file's name in it.
class Scratch : public ::testing::Test {
  protected:
    fstest::TempDir tmp;
    sfs::path native(const std::string& name) const { return tmp.path / name; }
    // The library's text of the path: UTF-8 with the system's own separators.
    TStringNomFitx path(const std::string& name) const {
        return TStringNomFitx(fstest::shown(native(name)).c_str());
    }
    void put(const std::string& name, const std::string& content) const {
        fstest::write_file(native(name), content);
    }
    std::string get(const std::string& name) const { return fstest::read_all(native(name)); }
    bool exists(const std::string& name) const { return sfs::exists(native(name)); }
};
