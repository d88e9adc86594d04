// POSIX-only behaviour of the file-system services: native names, links, and copies that
// fail half-way, through real faults where they can be made and the call table otherwise.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>

#include "fs/fs.h"
#include "fs/iterator.h"
#include "platform/fs.h"
#include "platform/posix/calls.h"
#include "scratch.h"

using namespace fstest;
using Names = std::set<std::string>;

namespace {

template <int E> int fail_with() {
    errno = E;
    return -1;
}

} // namespace

// Links are followed only inside the walk's drive (here the root file system, so inside the
// walk's top folder), never back up the walk; the listing ends every loop.
TEST(PosixNames, LinksStayInsideTheWalk) {
    TempDir t;
    const sfs::path b = t / "a" / "b";
    sfs::create_directories(b);
    sfs::create_directory(t / "other");
    write_file(t / "other" / "f", "f");
    for (auto [target, name] : {std::pair<sfs::path, const char*>{".", "self"},
                                {"..", "up"},
                                {t.path, "top"},
                                {"/etc", "etc"},
                                {t / "other", "side"}})
        sfs::create_directory_symlink(target, b / name);
    sfs::create_symlink(t / "other" / "f", b / "flink");
    sfs::create_symlink(t / "missing", b / "dangling");
    // Two folders that lead into each other.
    sfs::create_directory_symlink(t / "other", t / "a" / "to_other");
    sfs::create_directory_symlink(t / "a", t / "other" / "to_a");

    EXPECT_EQ(listed(b, false, t.path), (Names{".", "..", "side", "flink"}));
    EXPECT_EQ(listed(b), (Names{".", ".."})); // a walk that begins at b keeps inside b
    // A dangling link has no attributes: hidden, but listed when hidden entries are asked for.
    EXPECT_EQ(listed(b, true, t.path), (Names{".", "..", "side", "flink", "dangling"}));

    int visited = 0; // a recursive walk over everything ends
    std::function<void(const std::string&)> walk = [&](const std::string& folder) {
        TIteradorFitx it((folder + "\\*.*").c_str());
        it.walk_top = lib(t.path).c_str();
        while (it.Siguiente() && visited < 10000) {
            std::string name = TStringNomFitx(it.ruta).Nombre();
            if (name == "." || name == "..") continue;
            ++visited;
            if (it.es_carpeta) walk(it.ruta.str());
        }
    };
    walk(lib(t.path));
    EXPECT_LT(visited, 40);
}

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
    for (bool fail_if_exists : {true, false}) {
        reads = 0;
        EXPECT_FALSE(DuplicaFichero(src, dst, fail_if_exists));
        EXPECT_EQ(LastSystemError(), static_cast<unsigned long>(EIO));
    }
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
    Names expected{"src", "old", "c1", "c3", "late"};
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
    expected.insert("c5");

    // Without /proc the unnamed file is linked by its descriptor.
    calls = guard.saved;
    calls.linkat = [](int od, const char* op, int nd, const char* np, int flags) {
        return std::string(op).rfind("/proc/", 0) == 0 ? fail_with<ENOENT>()
                                                       : ::linkat(od, op, nd, np, flags);
    };
    if (geteuid() == 0) {
        EXPECT_TRUE(DuplicaFichero(src, at(t / "c4"), true));
        EXPECT_EQ(read_all(t / "c4"), data);
        expected.insert("c4");
    }

    // A destination that appears while the copy runs is not replaced.
    calls = guard.saved;
    static sfs::path appearing;
    appearing = t / "late";
    calls.fsync = [](int fd) {
        write_file(appearing, "late");
        return ::fsync(fd);
    };
    EXPECT_FALSE(DuplicaFichero(src, at(t / "late"), true));
    EXPECT_EQ(read_all(t / "late"), "late");
    EXPECT_TRUE(DuplicaFichero(src, at(t / "late"), false));
    EXPECT_EQ(read_all(t / "late"), data);
    EXPECT_EQ(entries(t.path), expected);
}

// A copy stopped between two pieces writes nothing more and leaves nothing, named or not; the
// pieces told add up to the file, and a stop asked for after the last one comes too late.
TEST(PosixCopy, StopBetweenPieces) {
    TempDir t;
    const size_t size = 5 * 1024 * 1024 + 3; // six pieces of the read loop
    write_file(t / "src", pattern(size));
    const DString src = at(t / "src"), dst = at(t / "dst");
    Restore guard(platform::posix_calls());
    auto& calls = platform::posix_calls();
    static int writes, stop_after;
    static uint64_t told;
    calls.copy_range = [](int, int, size_t) -> ssize_t { return fail_with<EXDEV>(); };
    calls.write = [](int fd, const void* b, size_t n) {
        ++writes;
        return ::write(fd, b, n);
    };
    const platform::CopyProgress progress{[](void*, uint64_t n) {
                                              told += n;
                                              return writes < stop_after;
                                          },
                                          nullptr};
    for (bool unnamed : {true, false}) {
        calls.open = unnamed ? guard.saved.open : open_without_tmpfile;
        writes = 0;
        stop_after = 2;
        EXPECT_FALSE(DuplicaFichero(src, dst, true, &progress));
        EXPECT_EQ(LastSystemError(), static_cast<unsigned long>(ECANCELED));
        EXPECT_EQ(writes, 2);
        EXPECT_EQ(entries(t.path), Names{"src"});
    }
    writes = 0;
    told = 0;
    stop_after = 6;
    EXPECT_TRUE(DuplicaFichero(src, dst, true, &progress));
    EXPECT_EQ(told, size);
    EXPECT_EQ(read_all(t / "dst"), pattern(size));
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
    {
        Restore guard(platform::posix_calls()); // the named temporary file must go too
        platform::posix_calls().open = open_without_tmpfile;
        EXPECT_FALSE(DuplicaFichero(at(t / "big"), dst, false));
        EXPECT_TRUE(entries(t / "small").empty());
    }
    write_file(t / "little", "fits");
    EXPECT_TRUE(DuplicaFichero(at(t / "little"), dst, true));
    EXPECT_EQ(read_all(t / "small" / "big"), "fits");
    ::umount2((t / "small").c_str(), MNT_DETACH);
}

#endif
