#include <cstdint>

#include "file/fichero.h"
#include "fs/fs.h"
#include "scratch.h"
#include "tasks/monitor.h"

using File = Scratch;
using fstest::pattern;

TEST_F(File, SizesAndWindowPositionsBeyond32Bits) {
    sfs::create_directory(native("folder"));
    EXPECT_EQ(TamanoFichero(path("missing")), 0);
    EXPECT_EQ(TamanoFichero(path("folder")), 0);
    const int64_t four_gib = int64_t{1} << 32;
    put("big", ""); // 4 GiB + 5 bytes, sparse but for the last five
    sfs::resize_file(native("big"), four_gib);
    std::ofstream(native("big"), std::ios::binary | std::ios::app) << "HELLO";
    EXPECT_EQ(TamanoFichero(path("big")), four_gib + 5);

    for (uint32_t backend : {FITX_CACHED, FITX_WIN32, 0u}) {
        TFicheroOrv f;
        ASSERT_TRUE(f.Abre(path("big"), FITX_READ | FITX_BINARY | backend)) << backend;
        EXPECT_EQ(f.size64(), four_gib + 5);
        f.seek64(four_gib + 1);
        char buf[8] = {};
        EXPECT_TRUE(f.read(buf, 3));
        EXPECT_EQ(std::string(buf, 3), "ELL");
        EXPECT_EQ(f.tell64(), four_gib + 4);
    }
}

TEST_F(File, TemporaryFileCommitsWithBackupOrIsDiscardedOrKept) {
    put("data.txt", "old");
    TFicheroOrv f;
    ASSERT_TRUE(f.Abre(path("data.txt"), FITX_WRITE | FITX_TEMP));
    EXPECT_TRUE(f.write("new", 3));
    EXPECT_TRUE(exists("data.txt.$$$"));
    EXPECT_EQ(get("data.txt"), "old");
    EXPECT_TRUE(f.close());
    EXPECT_EQ(get("data.txt"), "new");
    EXPECT_EQ(get("data.txt.BAK"), "old");
    EXPECT_FALSE(exists("data.txt.$$$"));

    ASSERT_TRUE(f.Abre(path("data.txt"), FITX_WRITE | FITX_TEMP | FITX_WIN32));
    EXPECT_TRUE(f.write("discarded", 9));
    EXPECT_TRUE(f.close(false));
    EXPECT_EQ(get("data.txt"), "new");
    EXPECT_FALSE(exists("data.txt.$$$"));

    // Destruction commits; a target that did not exist gets no backup.
    {
        TFicheroOrv g;
        ASSERT_TRUE(g.Abre(path("fresh.txt"), FITX_WRITE | FITX_TEMP));
        EXPECT_TRUE(g.write("abc", 3));
    }
    EXPECT_EQ(get("fresh.txt"), "abc");
    EXPECT_FALSE(exists("fresh.txt.BAK"));

    // A failed commit keeps the new content under the temporary name.
    ASSERT_TRUE(f.Abre(path("target"), FITX_WRITE | FITX_TEMP));
    EXPECT_TRUE(f.write("new", 3));
    sfs::create_directory(native("target")); // the move cannot succeed
    DString err("stale");
    EXPECT_FALSE(f.close(true, &err));
    EXPECT_EQ(err.compare_n("Error TFicheroOrv close 2. err=", 31), 0) << err.c_str();
    EXPECT_EQ(err.str().substr(err.str().size() - 5), " ex=0");
    EXPECT_EQ(get("target.$$$"), "new");
    EXPECT_FALSE(f.is_open());

    // The ".$$$" file vanished before close.
    ASSERT_TRUE(f.Abre(path("other"), FITX_WRITE | FITX_TEMP));
    f.ptrFitx->close(nullptr);
    sfs::remove(native("other.$$$"));
    EXPECT_FALSE(f.close(true, &err));
    EXPECT_TRUE(err.equals("Error TFicheroOrv close 1"));
}

TEST_F(File, RefusalsAndBackupCopies) {
    put("data.txt", "old");
    TFicheroOrv f;
    DString err("x");
    sfs::permissions(native("data.txt"), sfs::perms::owner_write, sfs::perm_options::remove);
    EXPECT_FALSE(f.Abre(path("data.txt"), FITX_WRITE | FITX_TEMP, &err));
    EXPECT_TRUE(err.equals("x Error, file is ReadOnly."));
    EXPECT_FALSE(exists("data.txt.$$$"));
    EXPECT_TRUE(f.close());
    sfs::permissions(native("data.txt"), sfs::perms::owner_write, sfs::perm_options::add);

    ASSERT_TRUE(f.Abre(path("data.txt"), FITX_WRITE | FITX_BACKUP_EXT | FITX_BACKUP_ADD));
    EXPECT_FALSE(f.Abre(path("other"), FITX_READ, &err));
    EXPECT_EQ(f.fileName.str(), path("data.txt").str()); // the open file is untouched
    EXPECT_TRUE(f.close());
    EXPECT_EQ(get("data.BAK"), "old");
    EXPECT_EQ(get("data.txt.BAK"), "old");
    EXPECT_EQ(get("data.txt"), "");
}

TEST_F(File, WindowServesSmallReadsAndNeverReadsPastTheFill) {
    const std::string content = pattern(200005);
    put("map.dat", content);
    TFicheroOrv f;
    ASSERT_TRUE(f.Abre(path("map.dat"), FITX_READ | FITX_CACHED));
    std::string got;
    char buf[100];
    while (f.tell64() + 16 <= 200000) {
        ASSERT_TRUE(f.read(buf, 16));
        got.append(buf, 16);
    }
    EXPECT_FALSE(f.eof());
    EXPECT_FALSE(f.read(buf, 16)); // 5 bytes left: only the filled part is copied
    got.append(buf, 5);
    EXPECT_EQ(got, content);
    EXPECT_TRUE(f.eof());

    // A seek to the window's very end, then a read larger than the window.
    f.seek64(1000);
    const int64_t end = f.windowEnd;
    f.seek64(end);
    std::string big(70000, 0);
    ASSERT_TRUE(f.read(big.data(), 70000));
    EXPECT_EQ(big, content.substr(static_cast<size_t>(end), 70000));
    f.seek64(300000); // past the end
    EXPECT_TRUE(f.eof());
    EXPECT_FALSE(f.read(buf, 1));
}

TEST_F(File, MonitoredTransfersCountAndStopOnCancel) {
    const std::string content = pattern(100000);
    TMonitorProc mon;
    TFicheroOrv f;
    ASSERT_TRUE(f.Abre(path("out"), FITX_WRITE | FITX_WIN32));
    EXPECT_TRUE(f.write(content.data(), 100000, &mon, 0));
    EXPECT_EQ(mon.hecho, 100000);
    f.close();
    EXPECT_EQ(get("out"), content);

    ASSERT_TRUE(f.Abre(path("out"), FITX_READ));
    std::string back(100000, 0);
    mon.cancelado = true;
    EXPECT_FALSE(f.read(back.data(), 100000, &mon, -1));
    EXPECT_EQ(mon.hecho, 32000);
    EXPECT_EQ(back.substr(0, 32000), content.substr(0, 32000));
    mon.cancelado = false;
    EXPECT_TRUE(f.read(back.data(), 68000, &mon, 50000));
    EXPECT_EQ(back.substr(0, 68000), content.substr(32000));
}
