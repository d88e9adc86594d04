// Discs that are damaged or made to harm, each on a real tree and, where the disc's own file
// system matters, on a mounted image: the copy reads nothing outside the disc, never blocks,
// and never reports an incomplete copy as a success.
#ifndef _WIN32
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>

#include "file/fichero.h"
#include "fs/fs.h"
#include "job.h"

using namespace fstest;
using Names = std::set<std::string>;

namespace {

// Runs fn in a child process, as the unprivileged user "nobody" when asked (root reads every
// folder), and answers what fn answered.
std::string InChild(const std::function<std::string()>& fn, bool as_nobody) {
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe_fds[0]);
        if (as_nobody && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(1);
        const std::string out = fn();
        ssize_t ignored = ::write(pipe_fds[1], out.data(), out.size());
        (void)ignored;
        ::_exit(0);
    }
    ::close(pipe_fds[1]);
    std::string out;
    char buf[4096];
    for (ssize_t n; (n = ::read(pipe_fds[0], buf, sizeof buf)) > 0;)
        out.append(buf, static_cast<size_t>(n));
    ::close(pipe_fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return out;
}

std::string Copy(const sfs::path& src, const sfs::path& dst) {
    return Job(src, lib(dst)).Run();
}

std::string ReadError(const sfs::path& folder) {
    return "failed: Error reading folder: " + shown(folder);
}

// Works in another folder for the life of the object.
struct InFolder {
    sfs::path saved = sfs::current_path();
    explicit InFolder(const sfs::path& p) {
        sfs::create_directories(p);
        sfs::current_path(p);
    }
    ~InFolder() { sfs::current_path(saved); }
};

// A chain of folders named name, n deep below top, made step by step so that it may go
// beyond the longest path the system takes.
void MakeChain(const sfs::path& top, const std::string& name, int n) {
    sfs::create_directories(top);
    int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < n && fd >= 0; ++i) {
        ::mkdirat(fd, name.c_str(), 0755);
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    if (fd >= 0) ::close(fd);
}

} // namespace

// A name is never a path: colons, backslashes and the character that stands for a backslash
// inside the program are all copied under their own names.
TEST(HostileDisc, NamesThatLookLikePaths) {
    TempDir t;
    const sfs::path maps = t / "src" / "MAPS";
    sfs::create_directories(maps / "d:x");
    const std::string names[] = {"map:2024.dat", "a\\b",
                                 "c\xEF\x81\x9C"
                                 "d"};
    for (const std::string& n : names)
        write_file(maps / n, "disc " + n);
    write_file(maps / "d:x" / "inner", "inner");
    InFolder here(t / "cwd");
    write_file("map:2024.dat", "host"); // never read in place of the disc's file
    EXPECT_TRUE(ExisteFichero("map:2024.dat"));

    EXPECT_EQ(Copy(t / "src", t / "dst"), "ok");
    for (const std::string& n : names)
        EXPECT_EQ(read_all(t / "dst" / "MAPS" / n), "disc " + n) << n;
    EXPECT_EQ(read_all(t / "dst" / "MAPS" / "d:x" / "inner"), "inner");
}

// FIFOs, sockets and devices are neither counted nor copied, and nothing waits on them.
TEST(HostileDisc, SpecialFilesAreLeftOut) {
    TempDir t;
    const sfs::path src = t / "src";
    sfs::create_directories(src);
    write_file(src / "a.txt", "abc");
    ASSERT_EQ(::mkfifo((src / "fifo").c_str(), 0644), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, (src / "sock").c_str(), sizeof addr.sun_path - 1);
    ::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::mknod((src / "zero").c_str(), S_IFCHR | 0644, makedev(1, 5)); // where allowed

    const DString fifo = at(src / "fifo");
    EXPECT_EQ(TamanoFichero(fifo), 0u);
    TTemps when;
    EXPECT_FALSE(TIteradorFitx::LeeHora(fifo, when));
    EXPECT_FALSE(DuplicaFichero(fifo, at(t / "x"), true));
    EXPECT_EQ(listed(src), (Names{".", "..", "a.txt"}));

    Job job(src, lib(t / "dst"));
    EXPECT_EQ(job.Run(), "ok");
    EXPECT_EQ(job.Monitor.total.load(), 3);
    EXPECT_EQ(entries(t / "dst"), Names{"a.txt"});

    IsoDisc iso(src, t.path);
    if (!iso.mounted) return;
    EXPECT_EQ(listed(iso.mnt), (Names{".", "..", "a.txt"}));
    EXPECT_EQ(Copy(iso.mnt, t / "dst2"), "ok");
    EXPECT_EQ(entries(t / "dst2"), Names{"a.txt"});
    ::close(sock);
}

// Links into the rest of the system are left out; links that stay on the disc are followed,
// but never back up the tree.
TEST(HostileDisc, LinksNeverLeaveTheDisc) {
    TempDir t;
    const sfs::path data = t / "data", src = data / "top";
    sfs::create_directories(src / "real");
    sfs::create_directories(data / "other");
    write_file(src / "real" / "f", "f");
    write_file(data / "other" / "g", "g");
    write_file(t / "host", "host");
    sfs::create_symlink("/etc/passwd", src / "passwd");
    sfs::create_symlink(t / "host", src / "host");
    sfs::create_directory_symlink("/etc", src / "etc");
    sfs::create_directory_symlink("real", src / "inside");
    sfs::create_directory_symlink("../other", src / "side");
    sfs::create_directory_symlink(".", src / "real" / "self");
    sfs::create_directory_symlink("../..", src / "real" / "up");
    sfs::create_directory_symlink("/etc", data / "etc");

    // On the root file system only the source folder counts as the disc.
    EXPECT_EQ(Copy(src, t / "dst"), "ok");
    EXPECT_EQ(entries(t / "dst"), (Names{"real", "inside"}));
    EXPECT_EQ(entries(t / "dst" / "inside"), Names{"f"});
    EXPECT_EQ(files_below(t / "dst"), 2);

    // A mounted disc: anything on it, nothing beyond its mount point.
    IsoDisc iso(data, t.path);
    if (!iso.mounted) return;
    EXPECT_EQ(Copy(iso.mnt / "top", t / "dst2"), "ok");
    EXPECT_EQ(entries(t / "dst2"), (Names{"real", "inside", "side"}));
    EXPECT_EQ(read_all(t / "dst2" / "side" / "g"), "g");
    EXPECT_EQ(files_below(t / "dst2"), 3);
    // The source folder itself may be such a link: then there is nothing to copy.
    EXPECT_EQ(Copy(iso.mnt / "etc", t / "dst3"), "ok");
    EXPECT_EQ(files_below(t / "dst3"), 0);
}

// A folder the user may not read, or whose entries' attributes cannot be read, ends the job
// with its name; the scan still counts the rest.
TEST(HostileDisc, UnreadableFoldersEndTheJob) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to switch to an unprivileged user";
    TempDir t;
    sfs::permissions(t.path, sfs::perms::all);
    for (const char* folder : {"closed", "nosearch"}) {
        const sfs::path src = t / folder;
        sfs::create_directories(src / "locked");
        write_file(src / "a.txt", "abc");
        write_file(src / "locked" / "secret", "s");
    }
    sfs::permissions(t / "closed" / "locked", sfs::perms::none);
    sfs::permissions(t / "nosearch" / "locked",
                     sfs::perms::owner_read | sfs::perms::group_read | sfs::perms::others_read);
    sfs::create_directories(t / "top" / "x");
    sfs::permissions(t / "top", sfs::perms::none);

    for (const char* folder : {"closed", "nosearch"}) {
        const sfs::path src = t / folder;
        const std::string got = InChild(
            [&] {
                Job job(src, lib(t / (std::string("dst-") + folder)));
                const std::string result = job.Run();
                return result + " " + std::to_string(job.Monitor.total.load());
            },
            true);
        EXPECT_EQ(got, ReadError(src / "locked") + " 3") << folder;
    }
    EXPECT_EQ(InChild([&] { return Copy(t / "top", t / "dst-top"); }, true), ReadError(t / "top"));
    EXPECT_EQ(InChild([&] { return Copy(t / "none", t / "dst-none"); }, true), "ok");
}

// A path longer than the system takes, a tree deeper than the copy goes, or deeper than the
// descriptors allow: the job ends with the folder it could not read.
TEST(HostileDisc, TreesTooLongOrTooDeepEndTheJob) {
    TempDir t;
    MakeChain(t / "long", std::string(250, 'n'), 18);
    EXPECT_EQ(
        Copy(t / "long", t / "l").rfind("failed: Error reading folder: " + shown(t / "long"), 0),
        0u);

    MakeChain(t / "deep", "d", 1001);
    EXPECT_EQ(Copy(t / "deep", t / "d").rfind("failed: Error reading folder: ", 0), 0u);

    const std::string got = InChild(
        [&] {
            struct rlimit few = {64, 64};
            ::setrlimit(RLIMIT_NOFILE, &few);
            return Copy(t / "deep", t / "fd");
        },
        false);
    EXPECT_EQ(got.rfind("failed: Error reading folder: ", 0), 0u) << got;
}

// The disc taken out (or its tree removed) half-way: the copy is incomplete and says so.
TEST(HostileDisc, RemovedDiscEndsTheJob) {
    TempDir t;
    const sfs::path src = t / "data" / "sub";
    sfs::create_directories(src);
    write_file(src / "a", "a");
    write_file(src / "b", "b");
    static CopyHook::Fn real = platform::fs_ops().copy;
    static std::function<void()> take_out;
    CopyHook hook([](const char* s, const char* d, bool f) {
        const bool ok = real(s, d, f);
        take_out();
        return ok;
    });

    take_out = [&] {
        std::error_code ec;
        sfs::remove_all(t / "data", ec);
    };
    {
        IsoDisc iso(t / "data", t.path); // made before the tree goes
        EXPECT_EQ(Copy(t / "data", t / "dst"), ReadError(src));
        if (!iso.mounted) return;
        take_out = [&] { iso.Eject(); };
        EXPECT_EQ(Copy(iso.mnt, t / "dst2"), ReadError(iso.mnt / "sub"));
    }
}
#endif
