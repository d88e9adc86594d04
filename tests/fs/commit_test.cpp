// The committer: copies are named only over flushed data, a waiting copy's name counts as
// taken, the first copy that cannot be named is the one reported, and a process killed at any
// flush or naming leaves no name over missing data.
#include "fs/commit.h"

#include <cerrno>
#include <thread>

#include "fs/fs.h"
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
    bool copy(char c) const { return DuplicaFichero(src(c), dst(c), true); }
    std::set<std::string> names() const { return entries(path / "dst"); }
};

// Holds every flush until released, so that copies stay waiting.
std::atomic<bool> hold{false};
auto real_durable = platform::fs_ops().make_durable;
void held_durable(platform::StagedFile* f, size_t n, bool* durable) {
    while (hold.load())
        std::this_thread::yield();
    real_durable(f, n, durable);
}

} // namespace

TEST(CopyCommitter, WaitingNamesAreTakenAndNamedOnlyWhenDurable) {
    Tree t;
    Restore guard(platform::fs_ops());
    platform::fs_ops().make_durable = held_durable;
    DString o, d;
    {
        hold = true;
        CopyCommitter committer;
        ASSERT_TRUE(t.copy('a'));
        EXPECT_TRUE(ExisteFichero(t.dst('a')));
        EXPECT_FALSE(t.copy('a'));           // refused at once, not when named
        EXPECT_EQ(t.names().count("a"), 0u); // a hidden temporary name at most
        EXPECT_FALSE(committer.Failed(o, d));
        hold = false;
        EXPECT_TRUE(committer.Finish(o, d));
        EXPECT_EQ(t.names(), (std::set<std::string>{"a"}));
    }
    EXPECT_FALSE(t.copy('a'));
    EXPECT_EQ(read_all(t.path / "dst" / "a"), "data a");

    // A name taken meanwhile is never replaced and counts as there already. Data that may not
    // be on disk is never named, and the first such copy is the one reported.
    sfs::remove(t.path / "dst" / "a");
    static int flushed;
    flushed = 0;
    platform::fs_ops().make_durable = [](platform::StagedFile* f, size_t n, bool* durable) {
        held_durable(f, n, durable);
        for (size_t i = 0; i < n; ++i)
            durable[i] = durable[i] && ++flushed == 1; // b's and c's data fail to reach it
    };
    hold = true;
    CopyCommitter committer;
    ASSERT_TRUE(t.copy('a'));
    ASSERT_TRUE(t.copy('b'));
    write_file(t.path / "dst" / "a", "taken");
    hold = false;
    ASSERT_TRUE(t.copy('c'));
    EXPECT_FALSE(committer.Finish(o, d));
    EXPECT_EQ(o.str(), t.src('b').str());
    EXPECT_EQ(d.str(), t.dst('b').str());
    EXPECT_EQ(read_all(t.path / "dst" / "a"), "taken");
    EXPECT_EQ(t.names(), (std::set<std::string>{"a"}));
}

// Small copies of known size are made on the stager thread: its first failure is reported
// with its paths, and what was handed over after it, or after a stop, is never begun.
TEST(CopyCommitter, TheStagerReportsItsFirstFailureAndHonoursAStop) {
    Tree t;
    Restore guard(platform::fs_ops());
    static auto real_stage = platform::fs_ops().stage;
    static std::atomic<int> begun;
    static std::atomic<bool> stopping, stop;
    begun = 0;
    platform::fs_ops().stage = [](const char* s, const char* d, bool f,
                                  const platform::CopyProgress* p, uint64_t* b) {
        ++begun;
        if (stopping) { // a Cancel while the first copy is made
            stop = true;
            return real_stage(s, d, f, p, b);
        }
        errno = EIO;
        return platform::StagedFile{};
    };
    const platform::CopyProgress small{nullptr, nullptr, 10};
    DString o, d;
    for (bool second : {false, true}) {
        stopping = second;
        stop = false;
        CopyCommitter committer([] { return stop.load(); });
        for (char c : std::string("abc"))
            EXPECT_TRUE(DuplicaFichero(t.src(c), t.dst(c), true, &small));
        EXPECT_EQ(committer.Finish(o, d), second);
    }
    EXPECT_EQ(o.str(), t.src('a').str());
    EXPECT_EQ(d.str(), t.dst('a').str());
    EXPECT_EQ(begun, 2);
    EXPECT_EQ(t.names(), std::set<std::string>{"a"});
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
        if (!ExisteFichero(to)) DuplicaFichero(at(e.path()), to, true);
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
            static auto real = platform::fs_ops().name_staged;
            if (at_naming)
                platform::fs_ops().name_staged = [](platform::StagedFile f) {
                    return count_and_maybe_die(), real(f);
                };
            else
                platform::fs_ops().make_durable = [](platform::StagedFile* f, size_t count,
                                                     bool* durable) {
                    count_and_maybe_die(), real_durable(f, count, durable);
                };
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
