// Damaged and hostile discs, on real trees and on mounted images: the copy reads nothing
// outside the disc, never blocks, and never reports an incomplete copy as a success.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "fs/fs.h"
#include "job.h"

using namespace fstest;
using Names = std::set<std::string>;

namespace {

std::string Copy(const sfs::path& src, const sfs::path& dst) {
    return Job(src, lib(dst)).Run();
}

std::string ReadError(const sfs::path& folder) {
    return "failed: Error reading folder: " + shown(folder);
}

// What fn answers in a child process, as the user "nobody" when asked (root reads anything),
// passed back through a file in the scratch folder t.
std::string InChild(const TempDir& t, bool as_nobody, const std::function<std::string()>& fn) {
    sfs::remove(t / "answer");
    const pid_t child = ::fork();
    if (child == 0) {
        if (!as_nobody || (::setgid(65534) == 0 && ::setuid(65534) == 0))
            write_file(t / "answer", fn());
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    return read_all(t / "answer");
}

// n folders named name, one in the other, below top: made step by step, so that the whole
// may be longer than any path the system takes.
void MakeChain(const sfs::path& top, const std::string& name, int n) {
    sfs::create_directories(top);
    for (int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY), next; fd >= 0 && n-- > 0;) {
        ::mkdirat(fd, name.c_str(), 0755);
        next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
}

} // namespace

// Colons, backslashes, bytes that are not UTF-8 and the characters that carry a backslash inside
// the program are parts of names, copied as they are; a file of the same name in the current folder
// is never read.
TEST(HostileDisc, NamesThatLookLikePaths) {
    TempDir t;
    const std::string names[] = {"map:2024.dat",     "a\\b",
                                 "c\xEF\x81\x9C",    "d:x/inner",
                                 "latin1-\xE9t\xE9", "escape\xEF\x81\x9D\\"};
    for (const std::string& n : names)
        write_file(t / "src" / n, "disc " + n);
    const sfs::path saved = sfs::current_path();
    sfs::current_path(t.path);
    write_file("map:2024.dat", "host");
    EXPECT_TRUE(ExisteFichero("map:2024.dat"));
    EXPECT_EQ(Copy(t / "src", t / "dst"), "ok");
    sfs::current_path(saved);
    for (const std::string& n : names)
        EXPECT_EQ(read_all(t / "dst" / n), "disc " + n) << n;
}

// FIFOs and devices are neither counted nor copied, and nothing waits on them.
TEST(HostileDisc, SpecialFilesAreLeftOut) {
    TempDir t;
    const sfs::path src = t / "src";
    write_file(src / "a.txt", "abc");
    ASSERT_EQ(::mkfifo((src / "fifo").c_str(), 0644), 0);
    ::mknod((src / "zero").c_str(), S_IFCHR | 0644, makedev(1, 5)); // where allowed
    Job job(src, lib(t / "dst"));
    EXPECT_EQ(job.Run(), "ok");
    EXPECT_EQ(job.Monitor.total.load(), 3);
    EXPECT_EQ(entries(t / "dst"), Names{"a.txt"});
}

// Links into the rest of the system, dangling links and links back up the tree (to the top, to
// an ancestor, round a loop) are left out; links that stay on the disc are followed.
TEST(HostileDisc, LinksNeverLeaveTheDisc) {
    TempDir t;
    const sfs::path data = t / "data", src = data / "top";
    write_file(src / "real" / "f", "f");
    write_file(data / "other" / "g", "g");
    sfs::create_symlink("/etc/passwd", src / "passwd");
    sfs::create_directory_symlink("/etc", src / "etc");
    sfs::create_directory_symlink("/etc", data / "etc");
    sfs::create_directory_symlink("real", src / "inside");
    sfs::create_directory_symlink("../other", src / "side");
    sfs::create_directory_symlink(".", src / "real" / "self");
    sfs::create_directory_symlink("../..", src / "real" / "up");
    sfs::create_directory_symlink(src, src / "real" / "top");
    sfs::create_directory_symlink("../top", data / "other" / "back"); // a loop through side
    sfs::create_symlink(t / "missing", src / "dangling");

    // On the root file system only the source folder counts as the disc.
    EXPECT_EQ(Copy(src, t / "dst"), "ok");
    EXPECT_EQ(entries(t / "dst"), (Names{"real", "inside"}));
    EXPECT_EQ(files_below(t / "dst"), 2);

    // A mounted disc image with Rock Ridge and Joliet names: anything on it, nothing beyond it,
    // also when the source folder itself is the link.
    FuseImage iso(t.path, "genisoimage -quiet -R -J -o \"$img\" '" + data.string() +
                              "' && fuseiso \"$img\" \"$mnt\"");
    if (!iso.mounted) return;
    EXPECT_EQ(Copy(iso.mnt / "top", t / "dst2"), "ok");
    EXPECT_EQ(entries(t / "dst2"), (Names{"real", "inside", "side"}));
    EXPECT_EQ(files_below(t / "dst2"), 3);
    EXPECT_EQ(Copy(iso.mnt / "etc", t / "dst3"), "ok");
    EXPECT_EQ(files_below(t / "dst3"), 0);
}

// A folder that cannot be opened, or whose entries cannot be examined, ends the job with its
// path; the scan still counts the rest.
TEST(HostileDisc, UnreadableFoldersEndTheJob) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to switch to an unprivileged user";
    TempDir t;
    sfs::permissions(t.path, sfs::perms::all);
    const sfs::perms modes[] = {sfs::perms::none, sfs::perms::owner_read | sfs::perms::group_read |
                                                      sfs::perms::others_read};
    for (sfs::perms mode : modes) {
        sfs::create_directories(t / "src" / "locked");
        write_file(t / "src" / "a.txt", "abc");
        sfs::permissions(t / "src" / "locked", mode);
        auto run = [&] {
            Job job(t / "src", lib(t / "dst"));
            const std::string result = job.Run();
            return result + " " + std::to_string(job.Monitor.total.load());
        };
        EXPECT_EQ(InChild(t, true, run), ReadError(t / "src" / "locked") + " 3");
        sfs::permissions(t / "src" / "locked", sfs::perms::all);
    }
    sfs::permissions(t / "src", sfs::perms::none);
    EXPECT_EQ(InChild(t, true, [&] { return Copy(t / "src", t / "dst"); }), ReadError(t / "src"));
}

// A path longer than the system takes, a tree deeper than the copy goes or than there are
// descriptors for: the job ends with the folder it could not read.
TEST(HostileDisc, TreesTooLongOrTooDeepEndTheJob) {
    TempDir t;
    // The source's paths are longer than the destination's by more than one step, so that
    // the source is what the system refuses first.
    const sfs::path source = t / "long" / std::string(250, 'p');
    MakeChain(source, std::string(250, 'n'), 18);
    EXPECT_EQ(Copy(source, t / "l").rfind(ReadError(source), 0), 0u);
    MakeChain(t / "deep", "d", 1001);
    EXPECT_EQ(Copy(t / "deep", t / "d").rfind(ReadError(""), 0), 0u);
    auto few_descriptors = [&] {
        const rlimit few = {64, 64};
        ::setrlimit(RLIMIT_NOFILE, &few);
        return Copy(t / "deep", t / "fd");
    };
    EXPECT_EQ(InChild(t, false, few_descriptors).rfind(ReadError(""), 0), 0u);
}

// The disc taken out half-way (its tree gone after the first copy): the copy is incomplete and
// says so.
TEST(HostileDisc, RemovedDiscEndsTheJob) {
    TempDir t;
    // Larger than what the copying thread hands to the stager: the walk itself meets the loss.
    for (const char* n : {"a", "b"})
        write_file(t / "data" / "sub" / n, std::string((1 << 20) + 1, *n));
    static StageHook::Fn real = platform::fs_ops().open_source;
    static sfs::path data;
    data = t / "data";
    StageHook hook(
        [](const char* path, const platform::ListedEntry* listed, platform::FileFacts* facts) {
            const platform::File opened = real(path, listed, facts);
            sfs::remove_all(data);
            return opened;
        });
    EXPECT_EQ(Copy(t / "data", t / "dst"), ReadError(t / "data" / "sub"));
}
#endif
