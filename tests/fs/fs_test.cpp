#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "fs/fs.h"
#include "fs/iterator.h"
#include "fs_test_util.h"
#include "platform/fs.h"

namespace sfs = std::filesystem;
using fstest::lib;
using fstest::read_all;
using fstest::TempDir;
using fstest::write_file;

TEST(FileSystem, ExistenceAndAttributes) {
    TempDir t;
    write_file(t.path / "f.txt", "x");
    sfs::create_directory(t.path / "d");
    std::string f = lib(t.path / "f.txt"), d = lib(t.path / "d");

    EXPECT_TRUE(ExisteFichero(f.c_str()));
    EXPECT_FALSE(ExisteFichero(d.c_str()));
    EXPECT_FALSE(ExisteFichero((d + "\\missing").c_str()));
    EXPECT_TRUE(ExisteCarpeta(d.c_str(), false));
    EXPECT_TRUE(ExisteCarpeta((d + "\\").c_str(), true));
    EXPECT_TRUE(ExisteCarpeta((d + "\\sub").c_str(), true));
    EXPECT_FALSE(ExisteCarpeta(f.c_str(), false));
    EXPECT_FALSE(ExisteCarpeta("", false));

    EXPECT_FALSE(EsOculto(f.c_str()));
    EXPECT_FALSE(EsSoloLectura(f.c_str()));
    EXPECT_TRUE(EsOculto((d + "\\missing").c_str()));
    EXPECT_TRUE(EsSoloLectura((d + "\\missing").c_str()));
    sfs::permissions(t.path / "f.txt", sfs::perms::owner_write, sfs::perm_options::remove);
    EXPECT_TRUE(EsSoloLectura(f.c_str()));
    sfs::permissions(t.path / "f.txt", sfs::perms::owner_write, sfs::perm_options::add);

    EXPECT_TRUE(CreaCarpeta((d + "\\new").c_str()));
    EXPECT_TRUE(ExisteCarpeta((d + "\\new").c_str(), false));
    EXPECT_FALSE(CreaCarpeta((d + "\\new").c_str()));  // exists already
    EXPECT_FALSE(CreaCarpeta((d + "\\a\\b").c_str())); // only the last component is made
    EXPECT_NE(UltimoErrorSistema(), 0u);

    EXPECT_TRUE(BorraFichero(f.c_str()));
    EXPECT_FALSE(ExisteFichero(f.c_str()));
    EXPECT_FALSE(BorraFichero(f.c_str()));
}

// A drive whose bit is clear in the drive mask is never asked about.
TEST(FileSystem, DriveTestComesFirst) {
    platform::FsOps saved = platform::fs_ops();
    static int queries;
    queries = 0;
    platform::fs_ops().drive_mask = [] { return uint32_t{1u << 2 | 1u << 4}; }; // C and E
    platform::fs_ops().attributes = [](const char*, int) {
        ++queries;
        return uint32_t{0};
    };
    EXPECT_FALSE(ExisteFichero("D:\\x"));
    EXPECT_FALSE(ExisteFichero("d:\\x"));
    EXPECT_EQ(queries, 0);
    EXPECT_TRUE(ExisteFichero("E:\\x"));
    EXPECT_TRUE(ExisteFichero("C:\\x"));
    EXPECT_TRUE(ExisteFichero("\\x"));
    EXPECT_TRUE(ExisteFichero("rel\\x"));
    EXPECT_EQ(queries, 4);
    platform::fs_ops() = saved;
}

TEST(FileSystem, CopyAndMove) {
    TempDir t;
    std::string data(3 * 1024 * 1024 + 17, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7 + i / 4096);
    write_file(t.path / "src", data);
    auto when = sfs::file_time_type::clock::now() - std::chrono::hours(50);
    sfs::last_write_time(t.path / "src", when);
    std::string src = lib(t.path / "src"), dst = lib(t.path / "dst");

    ASSERT_TRUE(DuplicaFichero(src.c_str(), dst.c_str(), true));
    EXPECT_EQ(read_all(t.path / "dst"), data);
    auto diff = sfs::last_write_time(t.path / "dst") - when;
    EXPECT_LT(std::chrono::abs(diff), std::chrono::seconds(1));

    // An existing destination is kept with fail-if-exists, replaced without it.
    write_file(t.path / "other", "other");
    std::string other = lib(t.path / "other");
    EXPECT_FALSE(DuplicaFichero(other.c_str(), dst.c_str(), true));
    EXPECT_EQ(read_all(t.path / "dst"), data);
    EXPECT_TRUE(DuplicaFichero(other.c_str(), dst.c_str(), false));
    EXPECT_EQ(read_all(t.path / "dst"), "other");

    // Failures: a missing source, a missing folder, a folder as source.
    EXPECT_FALSE(DuplicaFichero((src + "x").c_str(), (dst + "2").c_str(), true));
    EXPECT_FALSE(DuplicaFichero(src.c_str(), lib(t.path / "no" / "f").c_str(), true));
    EXPECT_FALSE(DuplicaFichero(lib(t.path).c_str(), (dst + "3").c_str(), true));

    // Moves never replace.
    EXPECT_FALSE(MueveFichero(src.c_str(), dst.c_str()));
    EXPECT_TRUE(MueveFichero(src.c_str(), (src + ".moved").c_str()));
    EXPECT_FALSE(ExisteFichero(src.c_str()));
    EXPECT_EQ(read_all(t.path / "src.moved"), data);

    // No temporary file is left behind by any of the copies.
    std::set<std::string> names;
    for (auto& e : sfs::directory_iterator(t.path))
        names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"dst", "other", "src.moved"}));
}

// Hidden entries are left out unless asked for; sizes keep their low 32 bits; times are
// UTC with whole seconds; after false the listing starts again.
TEST(Iterator, ListsFolder) {
    TempDir t;
    write_file(t.path / "a", "aaa");
    write_file(t.path / ".hidden", "h");
    sfs::create_directory(t.path / "sub");
    { std::ofstream big(t.path / "big", std::ios::binary); }
    sfs::resize_file(t.path / "big", (uint64_t{1} << 32) + 5); // sparse
    auto stamp = std::chrono::sys_days{std::chrono::year{2021} / 3 / 4} + std::chrono::hours(5) +
                 std::chrono::minutes(6) + std::chrono::milliseconds(7800);
    sfs::last_write_time(t.path / "a", sfs::file_time_type::clock::from_sys(stamp));
    std::string folder = lib(t.path);

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
            if (name == "a") {
                EXPECT_EQ(it.hora.year * 10000 + it.hora.month * 100 + it.hora.day, 20210304);
                EXPECT_EQ(it.hora.hour * 100 + it.hora.minute, 506);
                EXPECT_EQ(it.hora.second, 7.0f);
            }
        }
        EXPECT_EQ(seen, (std::set<std::string>{".", "..", "a", "big", "sub"}));
    }
    TTemps kept;
    kept.year = 1999;
    EXPECT_FALSE(TIteradorFitx::LeeHora(folder.c_str(), kept)); // a folder has none
    EXPECT_EQ(kept.year, 1999);

    TIteradorFitx all((folder + "\\*").c_str());
    all.incluir_ocultos = true;
    int hidden = 0;
    while (all.Siguiente())
        hidden += std::string(TStringNomFitx(all.ruta).Nombre()) == ".hidden";
    EXPECT_EQ(hidden, 1);
    EXPECT_FALSE(TIteradorFitx((folder + "\\none\\*.*").c_str()).Siguiente());
}

// Paths longer than the classic 260 characters are listed and copied.
TEST(FileSystem, LongPaths) {
    TempDir t;
    std::string folder = lib(t.path);
    std::string part(60, 'p');
    while (folder.size() < 300) {
        folder += "\\" + part;
        ASSERT_TRUE(CreaCarpeta(folder.c_str())) << folder.size();
    }
    std::string src = lib(t.path) + "\\s";
    write_file(t.path / "s", "long");
    std::string dst = folder + "\\copied.txt";
    ASSERT_TRUE(DuplicaFichero(src.c_str(), dst.c_str(), true));
    EXPECT_TRUE(ExisteFichero(dst.c_str()));
    EXPECT_TRUE(ExisteCarpeta(dst.c_str(), true));
    EXPECT_FALSE(DuplicaFichero(src.c_str(), dst.c_str(), true));

    // A destination just short of the limit, whose temporary name goes beyond it.
    std::string near = lib(t.path) + "\\" + std::string(240 - lib(t.path).size(), 'n');
    EXPECT_TRUE(DuplicaFichero(src.c_str(), near.c_str(), true));
    EXPECT_TRUE(ExisteFichero(near.c_str()));

    TIteradorFitx it((folder + "\\*.*").c_str());
    bool found = false;
    while (it.Siguiente())
        found |= it.ruta.str() == dst && it.tamano == 4;
    EXPECT_TRUE(found);
    EXPECT_TRUE(MueveFichero(dst.c_str(), (dst + "2").c_str()));
    EXPECT_TRUE(BorraFichero((dst + "2").c_str()));
}
