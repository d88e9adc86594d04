#include <ostream>
#include <string>
#include <vector>

#include "file/fichero.h"
#include "scratch.h"

using TextReader = Scratch;

namespace {
struct Field {
    std::string text;
    int line;
    bool operator==(const Field&) const = default;
    friend void PrintTo(const Field& f, std::ostream* os) {
        *os << '"' << f.text << "\"@" << f.line;
    }
};

std::vector<Field> fields(TFicheroOrv& f) {
    std::vector<Field> out;
    for (;;) {
        DString s;
        int line = f.get_dato_texto(s);
        if (s.is_empty()) return out;
        out.push_back({s.str(), line});
    }
}
} // namespace

TEST_F(TextReader, FieldsAndLinesForEveryLineEnd) {
    const std::vector<Field> expected = {{"12 ", 0}, {"34", 0}, {"56", 1}, {"7", 2}};
    for (const char* eol : {"\r\n", "\n", "\r"}) {
        std::string text = std::string("12 34") + eol + "56" + eol + "7 ; note" + eol;
        put("items.txt", text);
        for (uint32_t extra : {0u, FITX_CACHED}) {
            TFicheroOrv f;
            ASSERT_TRUE(f.Abre(path("items.txt"), FITX_READ | FITX_TEXT | extra));
            EXPECT_EQ(f.codePage, 1);
            EXPECT_EQ(fields(f), expected) << int(eol[0]) << " " << extra;
            EXPECT_EQ(f.lineCount, 3);
        }
        TFicheroOrv f;
        ASSERT_TRUE(f.Abre(path("items.txt"), FITX_READ | FITX_TEXT));
        int a = 0, b = 0, c = 0, d = 0, e = -1;
        f.read_int(a).read_int(b).read_int(c).read_int(d).read_int(e);
        EXPECT_EQ(a, 12);
        EXPECT_EQ(b, 34);
        EXPECT_EQ(c, 56);
        EXPECT_EQ(d, 7);
        EXPECT_EQ(e, 0);
    }
    // The next field's position is that of its first character.
    put("pos.txt", "ab cd\nef");
    TFicheroOrv f;
    ASSERT_TRUE(f.Abre(path("pos.txt"), FITX_READ | FITX_TEXT));
    DString s;
    f.get_dato_texto(s);
    EXPECT_EQ(f.tell64(), 3);
}

TEST_F(TextReader, ItemRules) {
    put("rules.txt", "  ; only a comment\n\n \t \nVOID\r\n\"a b\" c\t \nabcdefg;x\nlast");
    TFicheroOrv f;
    ASSERT_TRUE(f.Abre(path("rules.txt"), FITX_READ | FITX_TEXT | FITX_WIN32));
    DString s;
    EXPECT_EQ(f.read_item(s), 3);
    EXPECT_TRUE(s.is_empty()); // VOID
    EXPECT_EQ(f.get_dato_texto(s), 4);
    EXPECT_STREQ(s.c_str(), "\"a b\" ");
    EXPECT_EQ(f.get_dato_texto(s), 4);
    EXPECT_STREQ(s.c_str(), "c");
    EXPECT_EQ(f.read_item(s, 5), 5);
    EXPECT_STREQ(s.c_str(), "abcd");
    EXPECT_EQ(f.read_item(s), 6);
    EXPECT_STREQ(s.c_str(), "last");
    EXPECT_EQ(f.read_item(s), 6);
    EXPECT_TRUE(s.is_empty());

    put("hex.txt", "0x1F 0X1F\n");
    TFicheroOrv h;
    ASSERT_TRUE(h.Abre(path("hex.txt"), FITX_READ | FITX_TEXT));
    int v = 0, w = 5;
    h.read_int(v).read_int(w);
    EXPECT_EQ(v, 31);
    EXPECT_EQ(w, 0);

    TFicheroOrv bin;
    ASSERT_TRUE(bin.Abre(path("hex.txt"), FITX_READ | FITX_BINARY));
    EXPECT_THROW(bin.get_dato_texto(s), const char*);
    bin.read_int(v);
    EXPECT_EQ(v, 0x46317830); // the bytes "0x1F", least significant first
}

TEST_F(TextReader, ByteOrderMarks) {
    put("utf8.txt", "\xEF\xBB\xBF\xC3\xA9t\xC3\xA9\n");
    put("nomark.txt", "\xEF\xBB\x41");
    put("wide.txt", "\xFF\xFE"
                    "ab");
    TFicheroOrv f;
    DString s;
    ASSERT_TRUE(f.Abre(path("utf8.txt"), FITX_READ | FITX_TEXT));
    EXPECT_EQ(f.codePage, 65001);
    f.get_dato_texto(s);
    EXPECT_STREQ(s.c_str(), "\xC3\xA9t\xC3\xA9");
    f.close();
    // A reused object detects the mark of its new file.
    ASSERT_TRUE(f.Abre(path("nomark.txt"), FITX_READ | FITX_TEXT));
    EXPECT_EQ(f.codePage, 1);
    EXPECT_EQ(f.tell64(), 0);
    f.close();
    ASSERT_TRUE(f.Abre(path("wide.txt"), FITX_READ | FITX_TEXT | FITX_CACHED));
    EXPECT_EQ(f.codePage, 0);
    EXPECT_EQ(f.tell64(), 2);
    f.get_dato_texto(s);
    EXPECT_STREQ(s.c_str(), "ab");
    f.close();

    ASSERT_TRUE(f.Abre(path("out.txt"), FITX_WRITE | FITX_TEXT));
    EXPECT_TRUE(f.write("x", 1));
    f.close();
    EXPECT_EQ(get("out.txt"), "\xEF\xBB\xBFx");
    ASSERT_TRUE(f.Abre(path("out.txt"), FITX_WRITE | FITX_TEXT | FITX_NO_BOM));
    f.close();
    EXPECT_EQ(get("out.txt"), "");
}
