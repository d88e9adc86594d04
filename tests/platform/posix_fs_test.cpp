// POSIX-only behaviour of the file copy: copies that fail half-way and the fallbacks of file
// systems that lack a feature, through real faults where they can be made and the call table
// otherwise.
#ifndef _WIN32
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>

#include "fs/fs.h"
#include "platform/fs.h"
#include "platform/posix/calls.h"
#include "scratch.h"

using namespace fstest;
using Names = std::set<std::string>;

template <int E> const auto fail_with = [] { return errno = E, -1; };

// Copies that fail half-way leave nothing; the fallbacks and races never replace a file.
TEST(PosixCopy, FaultsFallbacksAndRaces) {
    TempDir t;
    const std::string data = pattern(5 * 1024 * 1024 + 3);
    write_file(t / "src", data);
    const DString src = at(t / "src"), dst = at(t / "dst"), old = at(t / "old");
    Restore guard(platform::posix_calls());
    auto& calls = platform::posix_calls();

    // A read error half-way (a scratched disc), on the plain loop and the kernel copy.
    static int reads;
    calls.copy_range = [](int, int, size_t) -> ssize_t { return fail_with<EXDEV>(); };
    calls.read = [](int fd, void* b, size_t n) -> ssize_t {
        return ++reads == 3 ? fail_with<EIO>() : ::read(fd, b, n);
    };
    EXPECT_FALSE(DuplicaFichero(src, dst, true));
    EXPECT_EQ(LastSystemError(), static_cast<unsigned long>(EIO));
    calls = guard.saved;
    calls.copy_range = [](int, int, size_t) -> ssize_t { return fail_with<EIO>(); };
    EXPECT_FALSE(DuplicaFichero(src, dst, true));
    EXPECT_EQ(entries(t.path), Names{"src"});

    // The data never reaches the disk; with a named temporary file too.
    calls = guard.saved;
    calls.fsync = [](int) { return fail_with<EIO>(); };
    EXPECT_FALSE(DuplicaFichero(src, dst, false));
    calls.open = open_without_tmpfile;
    EXPECT_FALSE(DuplicaFichero(src, dst, true));
    EXPECT_FALSE(DuplicaFichero(src, dst, false));
    EXPECT_EQ(entries(t.path), Names{"src"});

    // No O_TMPFILE and no exclusive rename: a hidden name, then link and unlink.
    write_file(t / "old", "old");
    Names expected{"src", "old", "c1", "c3", "c5", "late"};
    calls = guard.saved;
    calls.open = open_without_tmpfile;
    calls.rename_noreplace = [](const char*, const char*) { return fail_with<EINVAL>(); };
    EXPECT_TRUE(DuplicaFichero(src, at(t / "c1"), true));
    EXPECT_FALSE(DuplicaFichero(src, old, true));
    EXPECT_EQ(read_all(t / "old"), "old");
    EXPECT_TRUE(DuplicaFichero(src, at(t / "c2"), false));
    EXPECT_EQ(read_all(t / "c1"), data);
    EXPECT_EQ(read_all(t / "c2"), data);
    EXPECT_TRUE(MueveFichero(at(t / "c2"), at(t / "c3")));
    EXPECT_FALSE(MueveFichero(at(t / "c3"), old));
    // No links either (FAT): an existence check, then a plain rename; modes are refused.
    calls.linkat = [](int, const char*, int, const char*, int) { return fail_with<EPERM>(); };
    calls.fchmod = [](int, mode_t) { return fail_with<ENOSYS>(); };
    EXPECT_TRUE(DuplicaFichero(src, at(t / "c5"), true));
    EXPECT_FALSE(DuplicaFichero(src, old, true));
    EXPECT_EQ(read_all(t / "old"), "old");
    EXPECT_EQ(read_all(t / "c5"), data);

    // Where the kernel refuses to link by descriptor, the unnamed file is linked through /proc.
    calls = guard.saved;
    calls.linkat = [](int od, const char* op, int nd, const char* np, int flags) {
        return flags & AT_EMPTY_PATH ? fail_with<ENOENT>() : ::linkat(od, op, nd, np, flags);
    };
    EXPECT_TRUE(DuplicaFichero(src, at(t / "c4"), true));
    EXPECT_EQ(read_all(t / "c4"), data);
    expected.insert("c4");

    // A destination that appears while the copy runs is not replaced.
    calls = guard.saved;
    static sfs::path appearing;
    appearing = t / "late";
    calls.fsync = [](int fd) { return write_file(appearing, "late"), ::fsync(fd); };
    EXPECT_FALSE(DuplicaFichero(src, at(t / "late"), true));
    EXPECT_EQ(read_all(t / "late"), "late");
    EXPECT_TRUE(DuplicaFichero(src, at(t / "late"), false));
    EXPECT_EQ(read_all(t / "late"), data);
    EXPECT_EQ(entries(t.path), expected);
}

// A destination file system that fills up half-way: the copy fails and leaves nothing.
TEST(PosixRealFaults, FullDisk) {
    TempDir t;
    sfs::create_directory(t / "small");
    if (::mount("tmpfs", (t / "small").c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    write_file(t / "big", pattern(3 * 1024 * 1024));
    const DString dst = at(t / "small" / "big");
    EXPECT_FALSE(DuplicaFichero(at(t / "big"), dst, true));
    EXPECT_EQ(LastSystemError(), static_cast<unsigned long>(ENOSPC));
    EXPECT_TRUE(entries(t / "small").empty());
    write_file(t / "little", "fits");
    EXPECT_TRUE(DuplicaFichero(at(t / "little"), dst, true));
    EXPECT_EQ(read_all(t / "small" / "big"), "fits");
    ::umount2((t / "small").c_str(), MNT_DETACH);
}

#endif
