#include <cstring>
#include <memory>

#include "file/fichero.h"
#include "scratch.h"

using Backend = Scratch;

namespace {
// Both back-ends, fresh, for the cases where they must behave alike.
std::unique_ptr<TFicheroOrv_Base> backend(int i) {
    if (i == 0) return std::make_unique<TFicheroOrv_stdio>();
    return std::make_unique<TFicheroOrv_win64>();
}
} // namespace

TEST_F(Backend, OpenFailuresAndTheirTexts) {
    TFicheroOrv_stdio s;
    DString err("old");
    EXPECT_FALSE(s.open(path("area.dat"), FITX_READ, &err));
    EXPECT_TRUE(err.equals("Error File Does not exist"));
    EXPECT_FALSE(s.open(path("nodir/x"), FITX_WRITE, &err));
    EXPECT_TRUE(err.equals("Error Opening File."));
    const char* thrown = nullptr;
    try {
        s.open(path("area.dat"), FITX_READ | FITX_WRITE, &err);
    } catch (const char* e) {
        thrown = e;
    }
    EXPECT_STREQ(thrown, "Error en TFicheroOrv::Abre");

    TFicheroOrv_win64 w;
    err = "old";
    EXPECT_FALSE(w.open(path("area.dat"), FITX_READ | FITX_WRITE, &err));
    EXPECT_FALSE(w.open(path("area.dat"), 0, &err));
    EXPECT_TRUE(err.equals("old"));
    EXPECT_FALSE(w.open(path("area.dat"), FITX_READ, &err));
    EXPECT_TRUE(err.equals("Error Opening File. area.dat")) << err.c_str();

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

// Appends land at the end whatever the position; the size leaves the position alone; a short
// read keeps the bytes it got and touches nothing after them.
TEST_F(Backend, AppendsSizesAndShortReads) {
    const std::string content = fstest::pattern(1000);
    for (int i = 0; i < 2; ++i) {
        for (uint32_t update : {0u, FITX_UPDATE}) {
            put("h", "abc");
            auto b = backend(i);
            ASSERT_TRUE(b->open(path("h"), FITX_APPEND | update, nullptr));
            b->set_pos(1);
            EXPECT_TRUE(b->write("XY", 2));
            b->close(nullptr);
            EXPECT_EQ(get("h"), "abcXY") << i << update;
        }
        put("k", content);
        auto b = backend(i);
        ASSERT_TRUE(b->open(path("k"), FITX_READ, nullptr));
        char buf[100];
        ASSERT_TRUE(b->read(buf, 10));
        EXPECT_EQ(b->size(), 1000);
        EXPECT_EQ(b->tell(), 10);
        b->set_pos(960);
        std::memset(buf, 0x55, sizeof buf);
        EXPECT_FALSE(b->read(buf, 100));
        EXPECT_EQ(std::string(buf, 40), content.substr(960));
        EXPECT_EQ(buf[40], 0x55);
        EXPECT_EQ(b->tell(), 1000);
        EXPECT_TRUE(b->eof());
    }
    TFicheroOrv_win64 w; // read access even without FITX_UPDATE
    ASSERT_TRUE(w.open(path("h"), FITX_APPEND, nullptr));
    char c = 0;
    w.set_pos(0);
    EXPECT_TRUE(w.read(&c, 1));
    EXPECT_EQ(c, 'a');
    TFicheroOrv_stdio out; // bytes still in the stream's buffer count
    ASSERT_TRUE(out.open(path("w"), FITX_WRITE, nullptr));
    EXPECT_TRUE(out.write("hello", 5));
    EXPECT_EQ(out.size(), 5);
}
