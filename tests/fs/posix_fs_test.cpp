// POSIX-only behaviour of the file-system services: native names, links, and copies that
// fail half-way, through real faults where they can be made and the call table otherwise.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "fs/fs.h"
#include "fs/iterator.h"
#include "fs_test_util.h"
#include "platform/posix/calls.h"

namespace sfs = std::filesystem;
using fstest::lib;
using fstest::read_all;
using fstest::TempDir;
using fstest::write_file;

namespace {

std::set<std::string> entries(const sfs::path& folder) {
    std::set<std::string> names;
    for (auto& e : sfs::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

std::set<std::string> listed(const std::string& folder, bool hidden = false) {
    TIteradorFitx it((folder + "\\*.*").c_str());
    it.incluir_ocultos = hidden;
    std::set<std::string> names;
    while (it.Siguiente())
        names.insert(TStringNomFitx(it.ruta).Nombre());
    return names;
}

// Replaces system calls for one test and puts the real ones back.
struct CallsGuard {
    platform::PosixCalls saved = platform::posix_calls();
    ~CallsGuard() { platform::posix_calls() = saved; }
};

// A file system without unnamed files.
int open_without_tmpfile(const char* p, int flags, mode_t mode) {
    if ((flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return ::open(p, flags, mode);
}

template <int E> ssize_t failing_range(int, int, size_t) {
    errno = E;
    return -1;
}

std::string pattern_data(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(i % 251);
    return s;
}

} // namespace

TEST(PosixNames, BackslashAndNonUtf8NamesSurvive) {
    TempDir t;
    sfs::create_directory(t.path / "src");
    sfs::create_directory(t.path / "dst");
    const std::string odd[] = {"back\\slash", "latin1-\xE9t\xE9", "dot.in.name"};
    for (const auto& n : odd)
        write_file(t.path / "src" / n, "content of " + n);

    TIteradorFitx it((lib(t.path / "src") + "\\*.*").c_str());
    int copied = 0;
    while (it.Siguiente()) {
        if (it.es_carpeta) continue;
        std::string name = TStringNomFitx(it.ruta).Nombre();
        EXPECT_EQ(name.find('\\'), std::string::npos);
        TStringNomFitx target;
        target.Une(lib(t.path / "dst").c_str(), name.c_str());
        EXPECT_TRUE(ExisteFichero(it.ruta));
        EXPECT_TRUE(DuplicaFichero(it.ruta, target, true)) << name;
        ++copied;
    }
    EXPECT_EQ(copied, 3);
    EXPECT_EQ(listed(lib(t.path / "src")).count("back\xEF\x81\x9Cslash"), 1u);
    for (const auto& n : odd)
        EXPECT_EQ(read_all(t.path / "dst" / n), "content of " + n) << n;
}

TEST(PosixNames, LinksNeverLoop) {
    TempDir t;
    sfs::create_directories(t.path / "a" / "b");
    sfs::create_directory(t.path / "other");
    write_file(t.path / "other" / "f", "f");
    sfs::create_directory_symlink(".", t.path / "a" / "b" / "self");
    sfs::create_directory_symlink("..", t.path / "a" / "b" / "up");
    sfs::create_directory_symlink(t.path, t.path / "a" / "b" / "top");
    sfs::create_directory_symlink("/", t.path / "a" / "b" / "root");
    sfs::create_directory_symlink(t.path / "other", t.path / "a" / "b" / "side");
    sfs::create_symlink(t.path / "other" / "f", t.path / "a" / "b" / "flink");
    sfs::create_symlink(t.path / "missing", t.path / "a" / "b" / "dangling");
    // Two folders that lead into each other.
    sfs::create_directory_symlink(t.path / "other", t.path / "a" / "to_other");
    sfs::create_directory_symlink(t.path / "a", t.path / "other" / "to_a");

    EXPECT_EQ(listed(lib(t.path / "a" / "b")), (std::set<std::string>{".", "..", "side", "flink"}));
    // A dangling link has no attributes: hidden, but listed when hidden entries are asked for.
    EXPECT_EQ(listed(lib(t.path / "a" / "b"), true).count("dangling"), 1u);

    // A recursive walk over everything ends.
    int visited = 0;
    std::function<void(const std::string&)> walk = [&](const std::string& folder) {
        TIteradorFitx it((folder + "\\*.*").c_str());
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

TEST(PosixCopy, FailuresLeaveNothingBehind) {
    TempDir t;
    std::string data = pattern_data(5 * 1024 * 1024 + 3);
    write_file(t.path / "src", data);
    std::string src = lib(t.path / "src"), dst = lib(t.path / "dst");
    const std::set<std::string> only_src{"src"};
    CallsGuard guard;
    auto& calls = platform::posix_calls();

    // A read error half-way (a scratched disc), on the plain loop and the kernel copy.
    static int reads;
    reads = 0;
    calls.copy_range = failing_range<EXDEV>;
    calls.read = [](int fd, void* b, size_t n) -> ssize_t {
        if (++reads == 3) {
            errno = EIO;
            return -1;
        }
        return ::read(fd, b, n);
    };
    for (bool fail_if_exists : {true, false}) {
        reads = 0;
        EXPECT_FALSE(DuplicaFichero(src.c_str(), dst.c_str(), fail_if_exists));
        EXPECT_EQ(UltimoErrorSistema(), static_cast<unsigned long>(EIO));
        EXPECT_EQ(entries(t.path), only_src);
    }
    calls = guard.saved;
    calls.copy_range = failing_range<EIO>;
    EXPECT_FALSE(DuplicaFichero(src.c_str(), dst.c_str(), true));
    EXPECT_EQ(entries(t.path), only_src);

    // The data never reaches the disk; with a named temporary file too.
    calls = guard.saved;
    calls.fsync = [](int) {
        errno = EIO;
        return -1;
    };
    EXPECT_FALSE(DuplicaFichero(src.c_str(), dst.c_str(), false));
    calls.open = open_without_tmpfile;
    EXPECT_FALSE(DuplicaFichero(src.c_str(), dst.c_str(), true));
    EXPECT_FALSE(DuplicaFichero(src.c_str(), dst.c_str(), false));
    EXPECT_EQ(entries(t.path), only_src);
}

TEST(PosixCopy, FallbacksAndRaces) {
    TempDir t;
    std::string data = pattern_data(300000);
    write_file(t.path / "src", data);
    write_file(t.path / "old", "old");
    std::string src = lib(t.path / "src"), old = lib(t.path / "old");
    CallsGuard guard;
    auto& calls = platform::posix_calls();

    // No O_TMPFILE and no exclusive rename: a hidden name, then link and unlink.
    calls.open = open_without_tmpfile;
    calls.rename_noreplace = [](const char*, const char*) {
        errno = EINVAL;
        return -1;
    };
    EXPECT_TRUE(DuplicaFichero(src.c_str(), lib(t.path / "c1").c_str(), true));
    EXPECT_FALSE(DuplicaFichero(src.c_str(), old.c_str(), true));
    EXPECT_EQ(read_all(t.path / "old"), "old");
    EXPECT_TRUE(DuplicaFichero(src.c_str(), lib(t.path / "c2").c_str(), false));
    EXPECT_EQ(read_all(t.path / "c1"), data);
    EXPECT_EQ(read_all(t.path / "c2"), data);
    EXPECT_EQ(entries(t.path), (std::set<std::string>{"src", "old", "c1", "c2"}));
    EXPECT_TRUE(MueveFichero(lib(t.path / "c2").c_str(), lib(t.path / "c3").c_str()));
    EXPECT_FALSE(MueveFichero(lib(t.path / "c3").c_str(), old.c_str()));

    // Without /proc the unnamed file is linked by its descriptor.
    calls = guard.saved;
    calls.linkat = [](int od, const char* op, int nd, const char* np, int flags) {
        if (std::string(op).rfind("/proc/", 0) == 0) {
            errno = ENOENT;
            return -1;
        }
        return ::linkat(od, op, nd, np, flags);
    };
    if (geteuid() == 0) {
        EXPECT_TRUE(DuplicaFichero(src.c_str(), lib(t.path / "c4").c_str(), true));
        EXPECT_EQ(read_all(t.path / "c4"), data);
    }

    // A destination that appears while the copy runs is not replaced.
    calls = guard.saved;
    static std::string appearing;
    appearing = (t.path / "late").string();
    calls.fsync = [](int fd) {
        write_file(appearing, "late");
        return ::fsync(fd);
    };
    EXPECT_FALSE(DuplicaFichero(src.c_str(), lib(t.path / "late").c_str(), true));
    EXPECT_EQ(read_all(t.path / "late"), "late");
    EXPECT_TRUE(DuplicaFichero(src.c_str(), lib(t.path / "late").c_str(), false));
    EXPECT_EQ(read_all(t.path / "late"), data);
    std::set<std::string> expected{"src", "old", "c1", "c3", "late"};
    if (geteuid() == 0) expected.insert("c4");
    EXPECT_EQ(entries(t.path), expected);
}
// A destination file system that fills up half-way: the copy fails and leaves nothing.
TEST(PosixRealFaults, FullDisk) {
    TempDir t;
    sfs::create_directory(t.path / "small");
    if (::mount("tmpfs", (t.path / "small").c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    std::string data = pattern_data(3 * 1024 * 1024);
    write_file(t.path / "big", data);
    std::string src = lib(t.path / "big"), dst = lib(t.path / "small" / "big");
    EXPECT_FALSE(DuplicaFichero(src.c_str(), dst.c_str(), true));
    EXPECT_EQ(UltimoErrorSistema(), static_cast<unsigned long>(ENOSPC));
    EXPECT_TRUE(entries(t.path / "small").empty());
    {
        CallsGuard guard; // the named temporary file must go too
        platform::posix_calls().open = open_without_tmpfile;
        EXPECT_FALSE(DuplicaFichero(src.c_str(), dst.c_str(), false));
        EXPECT_TRUE(entries(t.path / "small").empty());
    }
    write_file(t.path / "little", "fits");
    EXPECT_TRUE(DuplicaFichero(lib(t.path / "little").c_str(), dst.c_str(), true));
    EXPECT_EQ(read_all(t.path / "small" / "big"), "fits");
    ::umount2((t.path / "small").c_str(), MNT_DETACH);
}

// An unprivileged user is refused by the system, and every answer is a plain false.
TEST(PosixRealFaults, PermissionDenied) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to switch to an unprivileged user";
    TempDir t;
    sfs::permissions(t.path, sfs::perms::all); // reachable for the other user
    sfs::create_directory(t.path / "locked");
    write_file(t.path / "secret", "s");
    write_file(t.path / "open", "o");
    sfs::permissions(t.path / "secret", sfs::perms::owner_read | sfs::perms::owner_write);
    sfs::permissions(t.path / "open", sfs::perms::owner_read | sfs::perms::others_read);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int bad = 0;
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(100);
        if (DuplicaFichero(lib(t.path / "secret").c_str(), lib(t.path / "c1").c_str(), true))
            bad |= 1;
        if (DuplicaFichero(lib(t.path / "open").c_str(), lib(t.path / "locked" / "c").c_str(),
                           true))
            bad |= 2;
        if (UltimoErrorSistema() != EACCES) bad |= 4;
        if (CreaCarpeta(lib(t.path / "locked" / "d").c_str())) bad |= 8;
        if (!DuplicaFichero(lib(t.path / "open").c_str(), lib(t.path / "mine").c_str(), true))
            bad |= 32;
        _exit(bad);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(entries(t.path / "locked").size(), 0u);
    EXPECT_EQ(entries(t.path), (std::set<std::string>{"locked", "secret", "open", "mine"}));
}

// A read-only disc image: listed and copied from, never written to.
TEST(PosixRealFaults, ReadOnlyDisc) {
    if (std::system("command -v genisoimage >/dev/null && command -v fuseiso >/dev/null") != 0 ||
        access("/dev/fuse", R_OK | W_OK) != 0)
        GTEST_SKIP() << "no genisoimage, fuseiso or fuse";
    TempDir t;
    sfs::create_directories(t.path / "data" / "sub");
    sfs::create_directory(t.path / "mnt");
    sfs::create_directory(t.path / "out");
    std::string data = pattern_data(700000);
    write_file(t.path / "data" / "sub" / "b.bin", data);
    write_file(t.path / "data" / "a.txt", "hello");
    std::string tp = t.path.string();
    std::string cmd = "genisoimage -quiet -R -J -o '" + tp + "/disc.iso' '" + tp + "/data' && " +
                      "fuseiso '" + tp + "/disc.iso' '" + tp + "/mnt'";
    if (std::system(cmd.c_str()) != 0) GTEST_SKIP() << "cannot mount the disc image";

    std::string disc = lib(t.path / "mnt");
    EXPECT_EQ(listed(disc), (std::set<std::string>{".", "..", "a.txt", "sub"}));
    EXPECT_TRUE(ExisteCarpeta((disc + "\\sub\\").c_str(), true));
    EXPECT_TRUE(
        DuplicaFichero((disc + "\\sub\\b.bin").c_str(), lib(t.path / "out" / "b").c_str(), true));
    EXPECT_EQ(read_all(t.path / "out" / "b"), data);
    EXPECT_FALSE(DuplicaFichero(lib(t.path / "out" / "b").c_str(), (disc + "\\b").c_str(), true));
    EXPECT_FALSE(CreaCarpeta((disc + "\\new").c_str()));
    EXPECT_FALSE(BorraFichero((disc + "\\a.txt").c_str()));
    EXPECT_EQ(listed(disc), (std::set<std::string>{".", "..", "a.txt", "sub"}));
    std::system(("fusermount -u '" + tp + "/mnt'").c_str());
}
#endif
