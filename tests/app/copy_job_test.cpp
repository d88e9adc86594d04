#include <gtest/gtest.h>

#include <string>

#include "job.h"

using namespace fstest;

namespace {

// src: a.txt (3 bytes), sub/b.bin (5000), sub/deep/c (1), .hidden, .git/x, empty/
void MakeTree(const sfs::path& src) {
    sfs::create_directories(src / "sub" / "deep");
    sfs::create_directories(src / ".git");
    sfs::create_directories(src / "empty");
    write_file(src / "a.txt", "abc");
    write_file(src / "sub" / "b.bin", std::string(5000, 'b'));
    write_file(src / "sub" / "deep" / "c", "c");
    write_file(src / ".hidden", "h");
    write_file(src / ".git" / "x", "x");
}

} // namespace

TEST(CopyJob, CopiesVisibleTreeAndKeepsExistingFiles) {
    for (const char* tail : {"", "\\"}) {
        TempDir t;
        MakeTree(t / "src");
        const sfs::path kept = t / "dst" / "sub" / "b.bin";
        sfs::create_directories(kept.parent_path());
        write_file(kept, "old");
        const auto old_time = sfs::last_write_time(kept) - std::chrono::hours(48);
        sfs::last_write_time(kept, old_time);

        Job j(t / "src", lib(t / "dst") + tail);
        EXPECT_TRUE(CopiaFicheros(&j));
        EXPECT_TRUE(j.TextoError.is_empty());
        EXPECT_EQ(j.Monitor.total.load(), 5004);
        EXPECT_EQ(j.Monitor.hecho.load(), 5004); // the existing file counts too

        EXPECT_EQ(read_all(t / "dst" / "a.txt"), "abc");
        EXPECT_EQ(read_all(t / "dst" / "sub" / "deep" / "c"), "c");
        EXPECT_EQ(sfs::last_write_time(t / "dst" / "a.txt"),
                  sfs::last_write_time(t / "src" / "a.txt"));
        EXPECT_TRUE(sfs::is_directory(t / "dst" / "empty"));
        EXPECT_EQ(files_below(t / "dst"), 3); // nothing hidden
        EXPECT_EQ(read_all(kept), "old");
        EXPECT_EQ(sfs::last_write_time(kept), old_time);
        EXPECT_EQ(j.Monitor.paso.str().rfind("Copying file: " + shown(t / "src") + kSep, 0), 0u);
    }

    // A missing source: nothing to copy, the destination is still made.
    TempDir t;
    Job j(t / "none", lib(t / "dst"));
    EXPECT_TRUE(CopiaFicheros(&j));
    EXPECT_EQ(j.Monitor.total.load(), 0);
    EXPECT_TRUE(sfs::is_directory(t / "dst"));
}

TEST(CopyJob, FailuresEndTheJobWithTheirText) {
    TempDir t;
    MakeTree(t / "src");
    Job j(t / "src", lib(t / "no" / "dst"));
    EXPECT_FALSE(CopiaFicheros(&j));
    EXPECT_TRUE(j.Terminado.load());
    EXPECT_EQ(j.TextoError.str(), "Error creating folder:" + shown(t / "no" / "dst") + kSep);
    Job empty(t / "src", "");
    EXPECT_FALSE(CopiaFicheros(&empty));
    EXPECT_EQ(empty.TextoError.str(), "Error creating folder:" + kSep);

    // The first failed copy stops every file after it, at every level.
    static int copies;
    CopyHook hook([](const char*, const char*, bool) { return ++copies, false; });
    Job fail(t / "src", lib(t / "dst"));
    EXPECT_FALSE(CopiaFicheros(&fail));
    EXPECT_EQ(copies, 1);
    const std::string text = fail.TextoError.str();
    EXPECT_EQ(text.rfind("Error copying file: " + shown(t / "src") + kSep, 0), 0u) << text;
    EXPECT_NE(text.find(" to " + shown(t / "dst") + kSep), std::string::npos) << text;
}

TEST(CopyJob, CancelDuringScanCopiesNothingDuringCopyStopsAfterTheFile) {
    TempDir t;
    MakeTree(t / "src");
    Job scan(t / "src", lib(t / "dst"));
    scan.Monitor.cancelado = true;
    EXPECT_TRUE(CopiaFicheros(&scan));
    EXPECT_TRUE(scan.Terminado.load());
    EXPECT_EQ(scan.Monitor.hecho.load(), -1); // the bar never started
    EXPECT_FALSE(sfs::exists(t / "dst"));

    static CopyState* running;
    static CopyHook::Fn real = platform::fs_ops().copy;
    CopyHook hook([](const char* s, const char* d, bool f) {
        running->Monitor.cancelado = true; // pressed while this file is being copied
        return real(s, d, f);
    });
    Job copy(t / "src", lib(t / "dst"));
    running = &copy;
    EXPECT_TRUE(CopiaFicheros(&copy));
    EXPECT_TRUE(copy.TextoError.is_empty());
    EXPECT_EQ(files_below(t / "dst"), 1);
}

TEST(CopyJob, DestinationInsideTheSourceIsCopiedOnce) {
    TempDir t;
    MakeTree(t / "src");
    for (int run = 0; run < 2; ++run) { // the second run finds the destination in the scan
        Job j(t / "src", lib(t / "src" / "sub" / "out"));
        EXPECT_TRUE(CopiaFicheros(&j));
        EXPECT_EQ(j.Monitor.hecho.load(), 5004);
    }
    EXPECT_EQ(read_all(t / "src" / "sub" / "out" / "sub" / "b.bin"), std::string(5000, 'b'));
    EXPECT_FALSE(sfs::exists(t / "src" / "sub" / "out" / "sub" / "out"));
}
