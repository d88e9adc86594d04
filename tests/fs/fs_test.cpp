#include <tuple>

#include "fs/fs.h"
#include "fs/iterator.h"
#include "platform/fs.h"
#include "scratch.h"

using namespace fstest;

TEST(FileSystem, ExistenceAndAttributes) {
    TempDir t;
    write_file(t / "f.txt", "x");
    sfs::create_directory(t / "d");
    const std::string f = lib(t / "f.txt"), d = lib(t / "d"), missing = d + "\\missing";

    EXPECT_TRUE(ExisteFichero(f.c_str()));
    EXPECT_FALSE(ExisteFichero(d.c_str()));
    EXPECT_TRUE(ExisteCarpeta((d + "\\").c_str(), true));
    EXPECT_TRUE(ExisteCarpeta((d + "\\sub").c_str(), true));
    EXPECT_FALSE(ExisteCarpeta(f.c_str(), false));
    EXPECT_FALSE(ExisteCarpeta("", false));

    EXPECT_FALSE(EsSoloLectura(f.c_str()));
    EXPECT_TRUE(EsOculto(missing.c_str()));
    sfs::permissions(t / "f.txt", sfs::perms::owner_write, sfs::perm_options::remove);
    EXPECT_TRUE(EsSoloLectura(f.c_str()));
    EXPECT_FALSE(BorraFichero(f.c_str())); // a read-only file is not deleted
    EXPECT_TRUE(ExisteFichero(f.c_str()));
    sfs::permissions(t / "f.txt", sfs::perms::owner_write, sfs::perm_options::add);

    EXPECT_TRUE(CreaCarpeta((d + "\\new").c_str()));
    EXPECT_FALSE(CreaCarpeta((d + "\\new").c_str()));  // exists already
    EXPECT_FALSE(CreaCarpeta((d + "\\a\\b").c_str())); // only the last component is made
}

// A drive whose bit is clear in the drive mask is never asked about.
TEST(FileSystem, DriveTestComesFirst) {
    Restore guard(platform::fs_ops());
    static int queries;
    queries = 0;
    platform::fs_ops().drive_mask = [] { return uint32_t{1u << 2 | 1u << 4}; }; // C and E
    platform::fs_ops().attributes = [](const char*, int) { return ++queries, uint32_t{0}; };
    EXPECT_FALSE(ExisteFichero("D:\\x"));
    EXPECT_FALSE(ExisteFichero("d:\\x"));
    EXPECT_EQ(queries, 0); // a drive the mask has, or no drive at all, is asked about
    for (const char* p : {"E:\\x", "C:\\x", "\\x", "rel\\x"})
        EXPECT_TRUE(ExisteFichero(p)) << p;
    EXPECT_EQ(queries, 4);
}

TEST(FileSystem, CopyAndMove) {
    TempDir t;
    const std::string data = pattern(3 * 1024 * 1024 + 17);
    write_file(t / "src", data);
    write_file(t / "other", "other");
    auto when = sfs::file_time_type::clock::now() - std::chrono::hours(50);
    sfs::last_write_time(t / "src", when);
    const DString src = at(t / "src"), dst = at(t / "dst"), other = at(t / "other");

    ASSERT_TRUE(DuplicaFichero(src, dst, true));
    EXPECT_EQ(read_all(t / "dst"), data);
    EXPECT_LT(std::chrono::abs(sfs::last_write_time(t / "dst") - when), std::chrono::seconds(1));

    // An existing destination is kept with fail-if-exists, replaced without it.
    EXPECT_FALSE(DuplicaFichero(other, dst, true));
    EXPECT_EQ(read_all(t / "dst"), data);
    EXPECT_TRUE(DuplicaFichero(other, dst, false));
    EXPECT_EQ(read_all(t / "dst"), "other");

    // Failures: a missing source, a missing folder, a folder as source.
    EXPECT_FALSE(DuplicaFichero(src, at(t / "no" / "f"), true));
    EXPECT_FALSE(DuplicaFichero(at(t.path), at(t / "d3"), true));

    // Moves never replace.
    EXPECT_FALSE(MueveFichero(src, dst));
    EXPECT_TRUE(MueveFichero(src, at(t / "moved")));
    EXPECT_EQ(read_all(t / "moved"), data);
    // No temporary file is left behind by any of the copies.
    EXPECT_EQ(entries(t.path), (std::set<std::string>{"dst", "other", "moved"}));
}

// Hidden entries are left out unless asked for; sizes keep their low 32 bits; times are
// UTC with whole seconds; after false the listing starts again.
TEST(Iterator, ListsFolder) {
    TempDir t;
    write_file(t / "a", "aaa");
    write_file(t / ".hidden", "h");
    write_file(t / "big", "");
    sfs::create_directory(t / "sub");
    sfs::resize_file(t / "big", (uint64_t{1} << 32) + 5); // sparse
    auto stamp = std::chrono::sys_days{std::chrono::year{2021} / 3 / 4} + std::chrono::hours(5) +
                 std::chrono::minutes(6) + std::chrono::milliseconds(7800);
    sfs::last_write_time(t / "a", sfs::file_time_type::clock::from_sys(stamp));
    const std::string folder = lib(t.path);

    TIteradorFitx it((folder + "\\*.*").c_str());
    it.leer_hora = true;
    for (int round = 0; round < 2; ++round) {
        std::set<std::string> seen;
        while (it.Siguiente()) {
            std::string name = TStringNomFitx(it.ruta).Nombre();
            seen.insert(name);
            EXPECT_EQ(it.ruta.str(), folder + "\\" + name);
            EXPECT_EQ(it.es_carpeta, name == "sub" || name == "." || name == "..") << name;
            EXPECT_EQ(it.tamano, name == "a" ? 3u : name == "big" ? 5u : 0u) << name;
            const TTemps& h = it.hora;
            if (name == "a") {
                EXPECT_EQ(std::tuple(h.year, h.month, h.day, h.hour, h.minute, h.second),
                          std::tuple(2021, 3, 4, 5, 6, 7.0f));
            }
        }
        EXPECT_EQ(seen, (std::set<std::string>{".", "..", "a", "big", "sub"}));
    }
    TTemps kept;
    kept.year = 1999;
    EXPECT_FALSE(TIteradorFitx::LeeHora(folder.c_str(), kept)); // a folder has none
    EXPECT_EQ(kept.year, 1999);

    EXPECT_EQ(listed(t.path, true).count(".hidden"), 1u);
    EXPECT_FALSE(TIteradorFitx((folder + "\\none\\*.*").c_str()).Siguiente());
}

// Paths longer than the classic 260 characters are made, listed, copied and moved.
TEST(FileSystem, LongPaths) {
    TempDir t;
    std::string folder = lib(t.path);
    while (folder.size() < 300) {
        folder += "\\" + std::string(60, 'p');
        ASSERT_TRUE(CreaCarpeta(folder.c_str())) << folder.size();
    }
    write_file(t / "s", "long");
    const DString src = at(t / "s");
    const std::string dst = folder + "\\copied.txt";
    ASSERT_TRUE(DuplicaFichero(src, dst.c_str(), true));
    EXPECT_FALSE(DuplicaFichero(src, dst.c_str(), true));

    // A destination just short of the limit, whose temporary name goes beyond it.
    const std::string near = lib(t.path) + "\\" + std::string(240 - lib(t.path).size(), 'n');
    EXPECT_TRUE(DuplicaFichero(src, near.c_str(), true));
    EXPECT_TRUE(ExisteFichero(near.c_str()));

    TIteradorFitx it((folder + "\\*.*").c_str());
    bool found = false;
    while (it.Siguiente())
        found |= it.ruta.str() == dst && it.tamano == 4;
    EXPECT_TRUE(found);
    EXPECT_TRUE(MueveFichero(dst.c_str(), (dst + "2").c_str()));
    EXPECT_TRUE(BorraFichero((dst + "2").c_str()));
}
