#include <vector>

#include "file/fichero.h"
#include "scratch.h"

using TextReader = Scratch;
using Fields = std::vector<std::string>;

namespace {
// Opens name with mode, then every field as "text@line" until the reader gives an empty one.
Fields fields(TFicheroOrv& f, const TStringNomFitx& name, uint32_t mode) {
    Fields out;
    EXPECT_TRUE(f.Abre(name, mode));
    for (DString s;;) {
        int line = f.get_dato_texto(s);
        if (s.is_empty()) return out;
        out.push_back(s.str() + "@" + std::to_string(line));
    }
}
} // namespace

TEST_F(TextReader, FieldsAndLinesForEveryLineEnd) {
    for (const char* eol : {"\r\n", "\n", "\r"}) {
        put("items.txt", std::string("12 34") + eol + "56" + eol + "7 ; note" + eol);
        for (uint32_t extra : {0u, FITX_CACHED}) {
            TFicheroOrv f;
            EXPECT_EQ(fields(f, path("items.txt"), FITX_READ | FITX_TEXT | extra),
                      (Fields{"12 @0", "34@0", "56@1", "7@2"}))
                << int(eol[0]) << " " << extra;
            EXPECT_EQ(f.codePage, 1);
            EXPECT_EQ(f.lineCount, 3);
        }
    }
}

// Byte-order marks read and written; a version number leads a text file.
TEST_F(TextReader, ByteOrderMarksAndVersions) {
    put("utf8.txt", "\xEF\xBB\xBF\xC3\xA9t\xC3\xA9\n");
    put("wide.txt", std::string("\xFF\xFE") + "ab");
    put("v.txt", "; made by hand\n 12 first\n");
    TFicheroOrv utf8, wide, text, out;
    EXPECT_EQ(fields(utf8, path("utf8.txt"), FITX_READ | FITX_TEXT), Fields{"\xC3\xA9t\xC3\xA9@0"});
    EXPECT_EQ(utf8.codePage, 65001);
    EXPECT_EQ(fields(wide, path("wide.txt"), FITX_READ | FITX_TEXT | FITX_CACHED), Fields{"ab@0"});
    EXPECT_EQ(wide.codePage, 0);
    EXPECT_EQ(fields(text, path("v.txt"), FITX_READ | FITX_TEXT | FITX_VERSION), Fields{"first@0"});
    EXPECT_EQ(text.version, 12);

    ASSERT_TRUE(out.Abre(path("out.txt"), FITX_WRITE | FITX_TEXT));
    EXPECT_TRUE(out.write("x", 1));
    out.close();
    EXPECT_EQ(get("out.txt"), "\xEF\xBB\xBFx");
}
