#include <gtest/gtest.h>

#include "fs/path.h"

namespace {
std::string name_of(const char* p) {
    return TStringNomFitx(p).Nombre();
}
std::string folder_of(const char* p) {
    return TStringNomFitx(p).Carpeta().str();
}
std::string with_ext(const char* p, const char* ext) {
    TStringNomFitx t(p);
    t.CambiaExtension(ext);
    return t.str();
}
std::string joined(const char* folder, const char* name) {
    TStringNomFitx t("old");
    t.Une(folder, name);
    return t.str();
}
std::string absolute(const char* p, const char* base) {
    TStringNomFitx t(p);
    t.HazAbsoluta(TStringNomFitx(base));
    return t.str();
}
std::string moved(const char* p, const char* rel) {
    TStringNomFitx t(p);
    t.AplicaRelativa(rel);
    return t.str();
}
} // namespace

TEST(Path, NameAndFolder) {
    EXPECT_EQ(name_of("C:\\dir\\"), "");
    EXPECT_EQ(name_of("dir/file"), "file");
    EXPECT_EQ(name_of("a\\b/c"), "c");
    EXPECT_EQ(name_of("a/b\\c"), "c");
    EXPECT_EQ(name_of("file"), "file");
    EXPECT_EQ(name_of(""), "");

    EXPECT_EQ(folder_of("C:\\dir\\file"), "C:\\dir");
    EXPECT_EQ(folder_of("dir/file"), "");
    EXPECT_EQ(folder_of("C:\\"), "C:");
    EXPECT_EQ(folder_of("\\f"), "");
    EXPECT_EQ(folder_of("a\\\\b"), "a\\");

    // The name points into the path's own text.
    TStringNomFitx p("C:\\d\\f.txt");
    EXPECT_EQ(p.Nombre(), p.c_str() + 5);
}

TEST(Path, ChangeExtension) {
    EXPECT_EQ(with_ext("C:\\d\\f.txt", "BAK"), "C:\\d\\f.BAK");
    EXPECT_EQ(with_ext("C:\\d\\f.txt", ".BAK"), "C:\\d\\f.BAK");
    EXPECT_EQ(with_ext("C:\\d.x\\f", ".BAK"), "C:\\d.x\\f.BAK");
    EXPECT_EQ(with_ext("a.b\\c", "BAK"), "a.b\\c.BAK");
    EXPECT_EQ(with_ext("f.txt", ""), "f");
    EXPECT_EQ(with_ext("f.tar.gz", "$$$"), "f.tar.$$$");
    EXPECT_EQ(with_ext("d.x/f", "B"), "d.B"); // the slash is an ordinary character here
    EXPECT_EQ(with_ext("", "BAK"), ".BAK");
}

TEST(Path, JoinAndAbsolute) {
    EXPECT_EQ(joined("C:\\d", "f"), "C:\\d\\f");
    EXPECT_EQ(joined("C:\\d\\", "f"), "C:\\d\\f");
    EXPECT_EQ(joined("", "f"), "f");
    EXPECT_EQ(joined("C:\\d", ""), "C:\\d\\");
    EXPECT_EQ(joined("x/", "f"), "x/\\f");

    // Joining with texts that point into the path itself.
    TStringNomFitx self("C:\\a\\b");
    self.Une(self.c_str(), self.Nombre());
    EXPECT_EQ(self.str(), "C:\\a\\b\\b");

    auto abs = [](const char* p) { return TStringNomFitx(p).EsAbsoluta(); };
    EXPECT_TRUE(abs("C:x"));
    EXPECT_TRUE(abs("\\\\server\\share"));
    EXPECT_TRUE(abs("a:b"));
    EXPECT_TRUE(abs("abc:"));
    EXPECT_FALSE(abs("\\"));
    EXPECT_FALSE(abs("/usr"));
    EXPECT_FALSE(abs("x"));
    EXPECT_FALSE(abs(""));
}

TEST(Path, MakeAbsoluteAndRelative) {
    const char* base = "C:\\src\\*.*";
    EXPECT_EQ(absolute("f.txt", base), "C:\\src\\f.txt");
    EXPECT_EQ(absolute("sub\\f.txt", base), "C:\\src\\sub\\f.txt");
    EXPECT_EQ(absolute("..\\f.txt", base), "C:\\f.txt");
    EXPECT_EQ(absolute("C:\\x\\f.txt", base), "C:\\x\\f.txt");
    EXPECT_EQ(absolute("a", "*.*"), "\\a");
    EXPECT_EQ(absolute("a", "C:\\src\\"), "C:\\src\\a");
    EXPECT_EQ(absolute("sub/f.txt", base), "C:\\src\\f.txt"); // the folder part ignores '/'

    EXPECT_EQ(moved("C:\\a\\b\\f.txt", "..\\..\\c\\."), "C:\\c\\f.txt");
    EXPECT_EQ(moved("C:\\f.txt", ".."), "C:\\f.txt");
    EXPECT_EQ(moved("C:\\a\\f.txt", "x//y/"), moved("C:\\a\\f.txt", "x\\y"));
    EXPECT_EQ(moved("C:\\a\\f.txt", "x//y/"), "C:\\a\\x\\y\\f.txt");
    EXPECT_EQ(moved("C:\\a\\f.txt", "."), "C:\\a\\f.txt");
    EXPECT_EQ(moved("C:\\a\\b\\\\f.txt", ".."), "C:\\a\\f.txt");

    // Many segments make the segment list grow past its first ten slots.
    EXPECT_EQ(moved("C:\\f", "1\\2\\3\\4\\5\\6\\7\\8\\9\\10\\11\\12"),
              "C:\\1\\2\\3\\4\\5\\6\\7\\8\\9\\10\\11\\12\\f");
}
