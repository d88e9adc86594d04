#include <string>
#include <vector>

#include "file/fichero.h"
#include "scratch.h"

using TextReader = Scratch;

namespace {
// Every field as "text@line", until the reader gives an empty one.
std::vector<std::string> fields(TFicheroOrv& f) {
    std::vector<std::string> out;
    for (DString s;;) {
        int line = f.get_dato_texto(s);
        if (s.is_empty()) return out;
        out.push_back(s.str() + "@" + std::to_string(line));
    }
}
} // namespace

TEST_F(TextReader, FieldsAndLinesForEveryLineEnd) {
    const std::vector<std::string> expected = {"12 @0", "34@0", "56@1", "7@2"};
    for (const char* eol : {"\r\n", "\n", "\r"}) {
        put("items.txt", std::string("12 34") + eol + "56" + eol + "7 ; note" + eol);
        for (uint32_t extra : {0u, FITX_CACHED}) {
            TFicheroOrv f;
            ASSERT_TRUE(f.Abre(path("items.txt"), FITX_READ | FITX_TEXT | extra));
            EXPECT_EQ(f.codePage, 1);
            EXPECT_EQ(fields(f), expected) << int(eol[0]) << " " << extra;
            EXPECT_EQ(f.lineCount, 3);
        }
    }
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
    EXPECT_EQ(fields(f), (std::vector<std::string>{"last@6"}));
}

TEST_F(TextReader, ByteOrderMarks) {
    put("utf8.txt", "\xEF\xBB\xBF\xC3\xA9t\xC3\xA9\n");
    put("wide.txt", "\xFF\xFE"
                    "ab");
    TFicheroOrv f;
    ASSERT_TRUE(f.Abre(path("utf8.txt"), FITX_READ | FITX_TEXT));
    EXPECT_EQ(f.codePage, 65001);
    EXPECT_EQ(fields(f), (std::vector<std::string>{"\xC3\xA9t\xC3\xA9@0"}));
    f.close();
    ASSERT_TRUE(f.Abre(path("wide.txt"), FITX_READ | FITX_TEXT | FITX_CACHED));
    EXPECT_EQ(f.codePage, 0);
    EXPECT_EQ(fields(f), (std::vector<std::string>{"ab@0"}));
    f.close();

    ASSERT_TRUE(f.Abre(path("out.txt"), FITX_WRITE | FITX_TEXT));
    EXPECT_TRUE(f.write("x", 1));
    f.close();
    EXPECT_EQ(get("out.txt"), "\xEF\xBB\xBFx");
}

// A version number leads a file that is read, as text or as binary.
TEST_F(TextReader, VersionReadAtOpen) {
    put("v.txt", "; made by hand\n 12 first\n");
    put("v.bin", std::string("\x2A\x01\0\0", 4));
    TFicheroOrv text, binary;
    ASSERT_TRUE(text.Abre(path("v.txt"), FITX_READ | FITX_TEXT | FITX_VERSION));
    ASSERT_TRUE(binary.Abre(path("v.bin"), FITX_READ | FITX_BINARY | FITX_VERSION));
    EXPECT_EQ(text.version, 12);
    EXPECT_EQ(fields(text), (std::vector<std::string>{"first@0"}));
    EXPECT_EQ(binary.version, 0x12A);
}
