// POSIX-only behaviour of the file copy: copies that fail half-way and the fallbacks of file
// systems that lack a feature, through real faults where they can be made and the call table
// otherwise.
#ifndef _WIN32
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <tuple>

#include "fs/fs.h"
#include "fs/staged_copy.h"
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

    // A damaged spot half-way (a scratched disc): tried again three times on the file opened
    // afresh, from where it failed, on the plain loop and the kernel copy; a disc taken out
    // is not tried again.
    ScaleRetryPausesForTest(0.01);
    static int reads, failing, error;
    calls.copy_range = [](int, int, size_t) -> ssize_t { return fail_with<EXDEV>(); };
    calls.read = [](int fd, void* b, size_t n) -> ssize_t {
        return ++reads >= 3 && reads < 3 + failing ? (errno = error, -1) : ::read(fd, b, n);
    };
    for (auto [fails, err, copied] :
         {std::tuple{3, EIO, true}, {4, EIO, false}, {1, ENODEV, false}}) {
        reads = 0, failing = fails, error = err;
        sfs::remove(t / "dst");
        EXPECT_EQ(DuplicaFichero(src, dst, true), copied) << fails << " " << err;
        if (!copied) {
            EXPECT_EQ(LastSystemError(), static_cast<unsigned long>(err));
        }
        EXPECT_EQ(copied ? data : "", sfs::exists(t / "dst") ? read_all(t / "dst") : "");
        if (err == ENODEV) {
            EXPECT_EQ(reads, 3);
        }
    }
    sfs::remove(t / "dst");
    calls = guard.saved;
    calls.copy_range = [](int, int, size_t) -> ssize_t { return fail_with<EIO>(); };
    EXPECT_FALSE(DuplicaFichero(src, dst, true));
    ScaleRetryPausesForTest(1);
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

// Faults of the folder and listing calls, made through the table: each is told as the
// services promise, never taken for an absent or an empty folder.
TEST(PosixCalls, FolderAndListingFaults) {
    TempDir t;
    write_file(t / "d" / "f", "f");
    const std::string d = lib(t / "d");
    Restore guard(platform::posix_calls());
    auto& calls = platform::posix_calls();
    auto listing_end = [&] {
        TIteradorFitx it((d + "\\*.*").c_str());
        while (it.Siguiente()) {
        }
        return it.ended;
    };

    calls.stat = [](const char*, struct stat*) { return fail_with<EACCES>(); };
    EXPECT_FALSE(ExisteFichero((d + "\\f").c_str()));
    EXPECT_FALSE(ExisteCarpeta(d.c_str(), false));
    EXPECT_TRUE(EsOculto(d.c_str())); // unreadable attributes count as hidden
    calls = guard.saved;
    calls.mkdir = [](const char*, mode_t) { return fail_with<EROFS>(); };
    EXPECT_FALSE(CreaCarpeta((d + "\\new").c_str()));
    EXPECT_EQ(LastSystemError(), static_cast<unsigned long>(EROFS));
    calls = guard.saved;
    EXPECT_EQ(listing_end(), platform::ListingEnd::complete);
    calls.opendir = [](const char*) -> DIR* { return errno = EACCES, nullptr; };
    EXPECT_EQ(listing_end(), platform::ListingEnd::failed);
    calls.opendir = [](const char*) -> DIR* { return errno = ENOENT, nullptr; };
    EXPECT_EQ(listing_end(), platform::ListingEnd::missing);
    calls = guard.saved;
    calls.readdir = [](DIR*) -> dirent* { return errno = EIO, nullptr; };
    EXPECT_EQ(listing_end(), platform::ListingEnd::failed);
    calls = guard.saved;
    calls.fstatat = [](int, const char*, struct stat*, int) { return fail_with<EIO>(); };
    EXPECT_EQ(listing_end(), platform::ListingEnd::failed);
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
