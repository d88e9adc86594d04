#include <gtest/gtest.h>

#include <functional>

#include "fs/path.h"

namespace {
// Runs one operation on a path and answers the resulting text.
std::string after(const char* p, const std::function<void(TStringNomFitx&)>& op) {
    TStringNomFitx t(p);
    op(t);
    return t.str();
}
} // namespace

TEST(Path, NameFolderExtension) {
    EXPECT_STREQ(TStringNomFitx("C:\\dir\\").Nombre(), "");
    EXPECT_STREQ(TStringNomFitx("a/b\\c").Nombre(), "c");
    TStringNomFitx p("C:\\d\\f.txt");
    EXPECT_EQ(p.Nombre(), p.c_str() + 5); // points into the path itself

    EXPECT_EQ(TStringNomFitx("C:\\dir\\file").Carpeta().str(), "C:\\dir");
    EXPECT_EQ(TStringNomFitx("C:\\").Carpeta().str(), "C:");
    EXPECT_EQ(TStringNomFitx("a\\\\b").Carpeta().str(), "a\\");

    auto ext = [](const char* e) { return [e](TStringNomFitx& t) { t.CambiaExtension(e); }; };
    EXPECT_EQ(after("C:\\d\\f.txt", ext("BAK")), "C:\\d\\f.BAK");
    EXPECT_EQ(after("a.b\\c", ext("BAK")), "a.b\\c.BAK");
    EXPECT_EQ(after("f.tar.gz", ext("")), "f.tar");
    EXPECT_EQ(after("d.x/f", ext("B")), "d.B"); // the slash is an ordinary character here
}

TEST(Path, JoinAbsoluteAndRelative) {
    auto une = [](const char* f, const char* n) { return [=](TStringNomFitx& t) { t.Une(f, n); }; };
    EXPECT_EQ(after("old", une("C:\\d", "f")), "C:\\d\\f");
    EXPECT_EQ(after("old", une("C:\\d", "")), "C:\\d\\");
    EXPECT_EQ(after("old", une("x/", "f")), "x/\\f");
    // Both texts may point into the path itself.
    EXPECT_EQ(after("C:\\a\\b", [](TStringNomFitx& t) { t.Une(t.c_str(), t.Nombre()); }),
              "C:\\a\\b\\b");

    for (const char* p : {"C:x", "\\\\server\\share", "a:b", "abc:"})
        EXPECT_TRUE(TStringNomFitx(p).EsAbsoluta()) << p;
    for (const char* p : {"\\", "/usr", "x", ""})
        EXPECT_FALSE(TStringNomFitx(p).EsAbsoluta()) << p;

    auto rel = [](const char* r) { return [r](TStringNomFitx& t) { t.AplicaRelativa(r); }; };
    EXPECT_EQ(after("C:\\a\\b\\f.txt", rel("..\\..\\c\\.")), "C:\\c\\f.txt");
    // More segments than the first ten slots of the segment list.
    EXPECT_EQ(after("C:\\f", rel("1\\2\\3\\4\\5\\6\\7\\8\\9\\10\\11\\12")),
              "C:\\1\\2\\3\\4\\5\\6\\7\\8\\9\\10\\11\\12\\f");
}
