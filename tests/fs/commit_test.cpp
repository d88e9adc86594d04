// The committer: copies are named only over flushed data, the first copy that cannot be made
// or named is the one reported, a process killed at any flush or naming leaves no name over
// missing data, and temporary names never collide.
#include "fs/commit.h"

#include <thread>

#include "fs/fs.h"
#include "fs/temp_names.h"
#include "scratch.h"

using namespace fstest;

namespace {

// A scratch folder with the sources a, b, c and an empty destination folder dst.
struct Tree : TempDir {
    Tree() {
        sfs::create_directories(path / "dst");
        for (char c : std::string("abc"))
            write_file(path / std::string(1, c), std::string("data ") + c);
    }
    DString src(char c) const { return at(path / std::string(1, c)); }
    DString dst(char c) const { return at(path / "dst" / std::string(1, c)); }
    bool submit(CopyCommitter& committer, char c,
                const platform::CopyProgress* progress = nullptr) const {
        return committer.Submit(src(c), dst(c), progress, nullptr);
    }
    std::set<std::string> names() const { return entries(path / "dst"); }
};

// Holds every flush until released, so that copies stay waiting; fails every flush after
// the first `good` ones.
std::atomic<bool> hold{false};
std::atomic<int> flushes{0}, good{1 << 30};
const platform::FsOps real = platform::default_fs_ops();
bool HeldFlush(platform::File f) {
    while (hold.load())
        std::this_thread::yield();
    if (++flushes > good) return platform::set_last_error(platform::cancelled_error()), false;
    return real.flush(f);
}
// One flush per file, so that each can fail on its own.
bool NoVolumeFlush(platform::File) {
    return false;
}

} // namespace

TEST(CopyCommitter, WaitingNamesAreTakenAndNamedOnlyWhenDurable) {
    Tree t;
    Restore guard(platform::fs_ops());
    platform::fs_ops().flush = HeldFlush;
    platform::fs_ops().flush_volume = NoVolumeFlush;
    DString o, d;
    {
        hold = true;
        CopyCommitter committer;
        ASSERT_TRUE(t.submit(committer, 'a'));
        EXPECT_EQ(t.names().count("a"), 0u); // a hidden temporary name at most
        EXPECT_FALSE(committer.Failed(o, d));
        hold = false;
        EXPECT_TRUE(committer.Finish(o, d));
        EXPECT_EQ(t.names(), (std::set<std::string>{"a"}));
    }
    EXPECT_EQ(read_all(t.path / "dst" / "a"), "data a");

    // A name taken meanwhile by a file is never replaced and counts as there already. Data
    // that may not be on disk is never named, and the first such copy is the one reported.
    sfs::remove(t.path / "dst" / "a");
    flushes = 0;
    good = 1;
    hold = true;
    {
        CopyCommitter committer;
        ASSERT_TRUE(t.submit(committer, 'a'));
        ASSERT_TRUE(t.submit(committer, 'b'));
        write_file(t.path / "dst" / "a", "taken");
        hold = false;
        ASSERT_TRUE(t.submit(committer, 'c'));
        EXPECT_FALSE(committer.Finish(o, d));
        EXPECT_EQ(o.str(), t.src('b').str());
        EXPECT_EQ(d.str(), t.dst('b').str());
        EXPECT_EQ(read_all(t.path / "dst" / "a"), "taken");
        EXPECT_EQ(t.names(), (std::set<std::string>{"a"}));
    }

    // A folder in the name's place is no file that another run put there: a failure.
    good = 1 << 30;
    sfs::create_directory(t.path / "dst" / "c");
    CopyCommitter committer;
    ASSERT_TRUE(t.submit(committer, 'c'));
    EXPECT_FALSE(committer.Finish(o, d));
    EXPECT_EQ(d.str(), t.dst('c').str());
    EXPECT_TRUE(sfs::is_directory(t.path / "dst" / "c"));
}

// Small copies of known size are made on the stager thread: its first failure is reported
// with its paths, and what was handed over after it, or after a stop, is never begun.
TEST(CopyCommitter, TheStagerReportsItsFirstFailureAndHonoursAStop) {
    Tree t;
    Restore guard(platform::fs_ops());
    static std::atomic<int> begun;
    static std::atomic<bool> stopping, stop;
    begun = 0;
    platform::fs_ops().open_source = [](const char* p, const platform::ListedEntry* l,
                                        platform::FileFacts* f) {
        ++begun;
        if (stopping) { // a Cancel while the first copy is made
            stop = true;
            return real.open_source(p, l, f);
        }
        return platform::kNoFile;
    };
    const platform::CopyProgress small{nullptr, nullptr, 10};
    DString o, d;
    for (bool second : {false, true}) {
        stopping = second;
        stop = false;
        CopyCommitter committer([] { return stop.load(); });
        for (char c : std::string("abc"))
            EXPECT_TRUE(t.submit(committer, c, &small));
        EXPECT_EQ(committer.Finish(o, d), second);
    }
    EXPECT_EQ(o.str(), t.src('a').str());
    EXPECT_EQ(d.str(), t.dst('a').str());
    EXPECT_EQ(begun, 2);
    EXPECT_EQ(t.names(), std::set<std::string>{"a"});
}

// More copies wait under hidden temporary names than the counter of those names has values:
// a name still waiting is never handed out again, and every copy gets its own name.
TEST(CopyCommitter, MoreWaitingCopiesThanTemporaryNames) {
    TempDir t;
    Restore guard(platform::fs_ops());
    platform::fs_ops().create_unnamed = [](const char*, const platform::FileFacts&) {
        return platform::set_last_error(platform::cancelled_error()), platform::kNoFile;
    };
    platform::fs_ops().flush = HeldFlush;
    flushes = 0;
    good = 1 << 30;
    TempName::LimitCounterForTest(3);
    sfs::create_directories(t / "dst");
    std::set<std::string> expected;
    {
        CopyCommitter committer;
        hold = true;
        std::thread release(
            [] { std::this_thread::sleep_for(std::chrono::milliseconds(50)), hold = false; });
        for (int i = 0; i < 20; ++i) {
            const std::string name = "f" + std::to_string(i);
            write_file(t / "src" / name, name);
            EXPECT_TRUE(
                committer.Submit(at(t / "src" / name), at(t / "dst" / name), nullptr, nullptr));
            expected.insert(name);
        }
        DString o, d;
        EXPECT_TRUE(committer.Finish(o, d)) << d.str();
        release.join();
    }
    TempName::LimitCounterForTest(0);
    EXPECT_EQ(entries(t / "dst"), expected);
    for (const std::string& name : expected)
        EXPECT_EQ(read_all(t / "dst" / name), name);
}

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/posix/calls.h"

namespace {

int kill_at, events;
void count_and_maybe_die() {
    if (++events == kill_at) ::kill(::getpid(), SIGKILL);
}

// Copies every file of src that dst lacks, as the job does, through a committer.
void CopyMissing(const sfs::path& src, const sfs::path& dst) {
    RemoveStaleTemporaries(at(dst));
    CopyCommitter committer;
    for (auto& e : sfs::directory_iterator(src)) {
        const DString to = at(dst / e.path().filename());
        if (!ExisteFichero(to)) committer.Submit(at(e.path()), to, nullptr, nullptr);
    }
}

} // namespace

// A run killed at its Nth flush or Nth naming, with unnamed or hidden temporary files, and then
// run again: the destination holds the source's files, whole, and nothing else.
TEST(CopyCommitter, KilledAtAFlushOrANamingThenRunAgain) {
    TempDir t;
    for (int i = 0; i < 12; ++i)
        write_file(t / "src" / ("f" + std::to_string(i)), pattern(1000 * i * i));
    const auto source = entries(t / "src");
    for (int run = 0; run < 12; ++run) {
        const bool at_naming = run >= 6, unnamed = run % 6 < 3;
        const int n = 1 << run % 3;
        const sfs::path dst = t / ("dst" + std::to_string(run));
        sfs::create_directories(dst);
        const pid_t child = fork();
        if (child == 0) {
            kill_at = n;
            platform::FsOps& ops = platform::fs_ops();
            if (at_naming) {
                ops.link_unnamed = [](platform::File f, const char* to) {
                    return count_and_maybe_die(), real.link_unnamed(f, to);
                };
                ops.rename_new = [](const char* from, const char* to) {
                    return count_and_maybe_die(), real.rename_new(from, to);
                };
            } else {
                ops.flush = [](platform::File f) { return count_and_maybe_die(), real.flush(f); };
                ops.flush_volume = [](platform::File f) {
                    return count_and_maybe_die(), real.flush_volume(f);
                };
            }
            if (!unnamed) platform::posix_calls().open = open_without_tmpfile;
            CopyMissing(t / "src", dst);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        // Groups adapt, so a run may make fewer than n flushes; the first is certain.
        ASSERT_TRUE(WIFSIGNALED(status) || n > 1) << run;
        CopyMissing(t / "src", dst);
        EXPECT_EQ(entries(dst), source) << run;
        for (const auto& name : source)
            EXPECT_EQ(read_all(dst / name), read_all(t / "src" / name)) << name;
    }
}
#endif

#ifndef _WIN32
#include <sys/stat.h>

// A waiting copy carries its source's times, and FAT keeps no change time of its own: on a FAT
// stick another run's temporary stays while that run lives, however old it looks; it goes once
// the run has ended, and at once where its process number now belongs to another program.
TEST(CopyCommitter, AnotherRunsTemporariesStayWhileItLives) {
    TempDir t;
    FuseImage fat(t.path, kFatImage);
    if (!fat.mounted) GTEST_SKIP() << "cannot mount a FAT image";
    const sfs::path dst = fat.mnt / "dst";
    sfs::create_directories(dst);
    // The first name a process of the given number would use.
    auto name_of = [](pid_t pid) {
        std::string name = TempName::Take().name(), digits;
        for (int i = 0; i < 5; pid /= 36, ++i)
            digits.insert(digits.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[pid % 36]);
        return name.replace(6, 7, digits + "00");
    };
    auto old_file = [&](const std::string& name) {
        write_file(dst / name, "waiting");
        const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
        ::utimensat(AT_FDCWD, (dst / name).c_str(), times, 0);
    };
    int ready[2], go[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(go), 0);
    const pid_t run = fork(); // this program, as another run
    if (run == 0) {
        old_file(name_of(::getpid()));
        char c = 0;
        if (::write(ready[1], &c, 1) == 1) (void)!::read(go[0], &c, 1);
        _exit(0);
    }
    int exec[2]; // closed by the exec: another program holds the number from then on
    ASSERT_EQ(::pipe2(exec, O_CLOEXEC), 0);
    const pid_t other = fork();
    if (other == 0) {
        ::execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(exec[1]);
    char c = 0;
    ASSERT_EQ(::read(exec[0], &c, 1), 0);
    ::close(exec[0]);
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    old_file(name_of(other));
    EXPECT_EQ(entries(dst).size(), 2u);
    RemoveStaleTemporaries(at(dst));
    EXPECT_EQ(entries(dst), std::set<std::string>{name_of(run)});

    EXPECT_EQ(::write(go[1], &c, 1), 1);
    ::waitpid(run, nullptr, 0);
    ::kill(other, SIGKILL);
    ::waitpid(other, nullptr, 0);
    RemoveStaleTemporaries(at(dst));
    EXPECT_TRUE(entries(dst).empty());
    for (int fd : {ready[0], ready[1], go[0], go[1]})
        ::close(fd);
}
#endif
