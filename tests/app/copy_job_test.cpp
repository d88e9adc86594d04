#include <vector>

#include "job.h"

using namespace fstest;

namespace {

// src: a.txt (3 bytes), sub/b.bin (5000), sub/deep/c (1), .hidden, .git/x, empty/
void MakeTree(const sfs::path& src) {
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
        write_file(kept, "old");
        const auto old_time = sfs::last_write_time(kept) - std::chrono::hours(48);
        sfs::last_write_time(kept, old_time);

        Job j(t / "src", lib(t / "dst") + tail);
        EXPECT_EQ(j.Run(), "ok");
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

// Names in every script, into a destination whose own path reads right to left: every file
// arrives under its own name (no display shaping on the way to the system).
TEST(CopyJob, NamesInEveryScript) {
    const std::u8string names[] = {u8"خريطة.map",
                                   u8"مدن/القاهرة.dat",
                                   u8"نقشه‌ها.txt",
                                   u8"plain.txt",
                                   u8"מפה.txt",
                                   u8"χάρτης.txt",
                                   u8"карта/дороги.bin",
                                   u8"नक्शा.txt",
                                   u8"แผนที่.txt",
                                   u8"地図/東京.map",
                                   u8"🗺️ 👨‍👩‍👧.txt",
                                   u8"café résumé.txt",
                                   u8"١٢٣.dat"};
    TempDir t;
    auto text = [](const std::u8string& s) { return std::string(s.begin(), s.end()); };
    for (const auto& n : names)
        write_file(t / "src" / sfs::path(n), text(n));
    const sfs::path dst = t / sfs::path(u8"خالد") / sfs::path(u8"خرائط");
    sfs::create_directories(dst.parent_path());
    EXPECT_EQ(Job(t / "src", lib(dst)).Run(), "ok");
    for (const auto& n : names)
        EXPECT_EQ(read_all(dst / sfs::path(n)), text(n)) << text(n);
    EXPECT_EQ(files_below(dst), static_cast<int>(std::size(names)));
}

TEST(CopyJob, FileAnotherRunPutsIntoANewFolderIsKept) {
    // Another run writes a.txt into the destination the moment this job has made it: the job
    // does not look before its copy, and its naming, which never replaces, finds the file.
    TempDir t;
    MakeTree(t / "src");
    static sfs::path dst;
    dst = t / "dst";
    static auto real = platform::fs_ops().make_folder;
    struct Hook {
        Hook() {
            platform::fs_ops().make_folder = [](const char* path) {
                const bool made = real(path);
                if (made && sfs::exists(dst) && !sfs::exists(dst / "a.txt"))
                    write_file(dst / "a.txt", "other run");
                return made;
            };
        }
        ~Hook() { platform::fs_ops().make_folder = real; }
    } hook;
    Job j(t / "src", lib(dst));
    EXPECT_EQ(j.Run(), "ok");
    EXPECT_EQ(j.Monitor.hecho.load(), 5004);
    EXPECT_EQ(read_all(dst / "a.txt"), "other run");
    EXPECT_EQ(read_all(dst / "sub" / "deep" / "c"), "c");
    EXPECT_EQ(entries(dst).size(), 3u); // a.txt, sub, empty: no temporary left
}

TEST(CopyJob, FailuresEndTheJobWithTheirText) {
    TempDir t;
    MakeTree(t / "src");
    Job j(t / "src", lib(t / "no" / "dst"));
    EXPECT_EQ(j.Run(), "failed: Error creating folder:" + shown(t / "no" / "dst") + kSep);
    EXPECT_TRUE(j.Terminado.load());
    EXPECT_EQ(Job(t / "src", "").Run(), "failed: Error creating folder:" + kSep);

    // The first failed copy stops every file after it, at every level.
    static int copies;
    StageHook hook([](const char*, const platform::ListedEntry*, platform::FileFacts*) {
        return ++copies, platform::kNoFile;
    });
    const std::string dst = lib(t / "dst");
    const std::string text = Job(t / "src", dst).Run();
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(text.rfind("failed: Error copying file: " + shown(t / "src") + kSep, 0), 0u) << text;
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
    static StageHook::Fn real = platform::fs_ops().open_source;
    StageHook hook(
        [](const char* path, const platform::ListedEntry* listed, platform::FileFacts* facts) {
            running->Monitor.cancelado = true; // pressed during the file's only piece
            return real(path, listed, facts);
        });
    Job copy(t / "src", lib(t / "dst"));
    running = &copy;
    EXPECT_EQ(copy.Run(), "ok");
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

TEST(CopyJob, LargeFileAdvancesByPiecesAndCancelDropsIt) {
    TempDir t;
    const int64_t size = 9 * 1024 * 1024 + 5; // several pieces on every copy path
    write_file(t / "src" / "big", pattern(size));

    // Records the done count as each piece is read and presses Cancel during piece cancel_at.
    static CopyState* running;
    static std::vector<int64_t> seen;
    static size_t cancel_at;
    Restore guard(platform::fs_ops());
    static auto real_read = guard.saved.read;
    static auto real_range = guard.saved.copy_range;
    static void (*before_piece)() = [] {
        seen.push_back(running->Monitor.hecho.load());
        if (seen.size() == cancel_at) running->Monitor.cancelado = true;
    };
    platform::fs_ops().read = [](platform::File in, void* buf, uint64_t n) {
        const int64_t got = real_read(in, buf, n);
        return got > 0 ? (before_piece(), got) : got;
    };
    platform::fs_ops().copy_range = [](platform::File in, platform::File out, uint64_t n) {
        const int64_t got = real_range(in, out, n);
        return got > 0 ? (before_piece(), got) : got;
    };
    for (size_t cancel : {0, 1}) {
        Job j(t / "src", lib(t / (cancel ? "cancelled" : "dst")));
        running = &j;
        seen.clear();
        cancel_at = cancel;
        EXPECT_EQ(j.Run(), "ok");
        EXPECT_EQ(j.Monitor.hecho.load(), size);
        if (cancel) {
            EXPECT_EQ(seen.size(), 1u); // nothing after the piece under way
            EXPECT_TRUE(entries(t / "cancelled").empty());
        } else {
            ASSERT_GE(seen.size(), 3u);
            EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
            EXPECT_EQ(seen[0], 0);
            EXPECT_GT(seen[1], 0);
            EXPECT_LT(seen[1], size);
            EXPECT_EQ(read_all(t / "dst" / "big"), pattern(size));
        }
    }
}

#ifndef _WIN32
// A FAT file system as a user's USB stick: no modes, no links, no unnamed files, and names
// that ignore case. Two source names that differ only in case collide there; everything else
// copies, with no stray file left behind.
TEST(CopyJob, FatStick) {
    TempDir t;
    FuseImage fat(t.path, kFatImage);
    if (!fat.mounted) GTEST_SKIP() << "cannot mount a FAT image";
    write_file(t / "src" / "sub" / "big", pattern(3 * 1024 * 1024 + 7));
    write_file(t / "src" / "Mixed.Txt", "m");
    EXPECT_EQ(Job(t / "src", lib(t / "mnt" / "out")).Run(), "ok");
    EXPECT_EQ(read_all(t / "mnt" / "out" / "sub" / "big"), pattern(3 * 1024 * 1024 + 7));
    EXPECT_EQ(entries(t / "mnt" / "out"), (std::set<std::string>{"Mixed.Txt", "sub"}));

    write_file(t / "src" / "MIXED.TXT", "M"); // lands on Mixed.Txt, on the next run too
    for (const char* dst : {"out", "fresh"}) {
        const std::string clash = Job(t / "src", lib(t / "mnt" / dst)).Run();
        EXPECT_EQ(clash.rfind("failed: Error copying file: ", 0), 0u) << dst;
        const auto names = entries(t / "mnt" / dst);
        EXPECT_EQ(names.count("Mixed.Txt") + names.count("MIXED.TXT"), 1u) << dst;
    }
}

// An exFAT stick (most SD cards and large USB sticks) ignores case in every script: two
// source names that differ only in case, Greek or Cyrillic as much as Latin, file or folder,
// end the job with an error instead of one of them being taken for the other.
TEST(CopyJob, ExfatStickCaseInEveryScript) {
    TempDir t;
    FuseImage stick(t.path,
                    "truncate -s 16M \"$img\" && dev=$(losetup -f --show \"$img\") && "
                    "mkfs.exfat $dev && mount.exfat-fuse $dev \"$mnt\"",
                    "for d in $(losetup -j \"$img\" | cut -d: -f1); do losetup -d $d; done");
    if (!stick.mounted) GTEST_SKIP() << "cannot mount an exFAT image";
    const std::pair<std::u8string, std::u8string> pairs[] = {
        {u8"\u03A3\u03B7\u03BC\u03B5\u03AF\u03B1.dat",
         u8"\u03C3\u03B7\u03BC\u03B5\u03AF\u03B1.dat"},
        {u8"\u041A\u0430\u0440\u0442\u0430.map", u8"\u043A\u0430\u0440\u0442\u0430.map"},
        {u8"Mixed.Txt", u8"MIXED.TXT"}};
    int run = 0;
    for (const auto& [first, second] : pairs) {
        for (bool folders : {false, true}) {
            const sfs::path src = t / ("src" + std::to_string(run)),
                            dst = stick.mnt / std::to_string(run++);
            write_file(src / "ok.txt", "ok");
            write_file(folders ? src / first / "a" : src / first, "1");
            write_file(folders ? src / second / "b" : src / second, "2");
            const std::string result = Job(src, lib(dst)).Run();
            const std::string expected =
                folders ? "failed: Error creating folder:" : "failed: Error copying file: ";
            EXPECT_EQ(result.rfind(expected, 0), 0u) << result;
            const auto names = entries(dst);
            EXPECT_EQ(names.count(std::string(first.begin(), first.end())) +
                          names.count(std::string(second.begin(), second.end())),
                      1u);
        }
    }
}
#endif
