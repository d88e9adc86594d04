#include "file/fichero.h"
#include "scratch.h"

using File = Scratch;

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

TEST_F(File, BackendOpenFailuresAndTheirTexts) {
    TFicheroOrv_stdio s;
    DString err("old");
    EXPECT_FALSE(s.open(path("area.dat"), FITX_READ, &err, nullptr));
    EXPECT_TRUE(err.equals("Error File Does not exist"));
    EXPECT_FALSE(s.open(path("nodir/x"), FITX_WRITE, &err, nullptr));
    EXPECT_TRUE(err.equals("Error Opening File."));
    const char* thrown = nullptr;
    try {
        s.open(path("area.dat"), FITX_READ | FITX_WRITE, &err, nullptr);
    } catch (const char* e) {
        thrown = e;
    }
    EXPECT_STREQ(thrown, "Error en TFicheroOrv::Abre");

    // The file object lets the exception pass and refuses until close releases the back-end.
    put("a", "x");
    TFicheroOrv f;
    EXPECT_THROW(f.Abre(path("a"), FITX_APPEND | FITX_WRITE | FITX_TEMP), const char*);
    err = "";
    EXPECT_FALSE(f.Abre(path("a"), FITX_READ, &err));
    EXPECT_TRUE(err.equals(" file already oppened."));
    EXPECT_TRUE(f.close());
    EXPECT_FALSE(exists("a.$$$"));
}
