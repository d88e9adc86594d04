// Batched copies: named only at the commit; one that cannot be named is reported, alone.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <set>

#include "fs/batch.h"
#include "fs/fs.h"
#include "platform/posix/calls.h"

namespace sfs = std::filesystem;
namespace {
// A scratch folder with the sources a, b, c and an empty destination folder dst.
struct Tree {
    sfs::path root = sfs::temp_directory_path() / ("lumbrake-batch-" + std::to_string(getpid()));
    Tree() {
        sfs::create_directories(root / "dst");
        for (char c : std::string("abc"))
            std::ofstream(src(c)) << "data " << c;
    }
    ~Tree() { sfs::remove_all(root); }
    std::string src(char c) { return (root / std::string(1, c)).string(); }
    std::string dst(char c) { return (root / "dst" / std::string(1, c)).string(); }
    bool copy(char c) { return DuplicaFichero(src(c).c_str(), dst(c).c_str(), true); }
    std::string names() { // every entry of the destination, sorted: temporary ones too
        std::set<std::string> n;
        for (auto& e : sfs::directory_iterator(root / "dst"))
            n.insert(e.path().filename());
        return std::accumulate(n.begin(), n.end(), std::string());
    }
};
} // namespace

TEST(CopyBatch, NamesAppearAtCommitAndAProcessThatDiesLeavesNone) {
    Tree t;
    if (fork() == 0) { // dies with copies pending
        TLoteCopias lote;
        _exit(t.copy('a') && t.copy('b') ? 0 : 1);
    }
    int status = 0;
    wait(&status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0 && t.names().empty());
    DString o, d;
    {
        TLoteCopias lote;
        ASSERT_TRUE(t.copy('a') && t.copy('b') && t.names().empty());
        EXPECT_TRUE(lote.Confirma(o, d) && t.names() == "ab");
        ASSERT_TRUE(t.copy('c'));
    } // closing the batch commits it
    EXPECT_TRUE(t.names() == "abc" && sfs::file_size(t.dst('c')) == 6 && !t.copy('c'));
}

TEST(CopyBatch, FirstCopyThatCannotBeNamedIsReportedTheRestGoOn) {
    Tree t;
    TLoteCopias lote;
    ASSERT_TRUE(t.copy('a') && t.copy('b') && t.copy('c'));
    std::ofstream(t.dst('b')) << "taken"; // appeared meanwhile: never replaced
    DString o, d;
    EXPECT_FALSE(lote.Confirma(o, d));
    EXPECT_TRUE(o.c_str() == t.src('b') && d.c_str() == t.dst('b') && t.names() == "abc" &&
                sfs::file_size(t.dst('b')) == 5);
    // Data that may not have reached the disk is never named.
    platform::PosixCalls saved = platform::posix_calls();
    platform::posix_calls().syncfs = [](int) { return errno = EIO, -1; };
    platform::posix_calls().fsync = [](int) { return errno = EIO, -1; };
    sfs::remove(t.dst('a'));
    const bool copied = t.copy('a'), named = lote.Confirma(o, d);
    platform::posix_calls() = saved;
    EXPECT_TRUE(copied && !named && d.c_str() == t.dst('a') && t.names() == "bc");
}
#endif
