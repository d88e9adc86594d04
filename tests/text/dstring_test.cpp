#include <gtest/gtest.h>

#include <cstring>

#include "core/vector.h"
#include "text/dstring.h"

TEST(DString, EmptyStringHasNoBlock) {
    DString s;
    EXPECT_EQ(s.length(), 0);
    EXPECT_TRUE(s.is_empty());
    EXPECT_STREQ(s.c_str(), "");
    EXPECT_EQ(s.data(), nullptr);
    EXPECT_EQ(s.char_at(0), 0);
    EXPECT_EQ(s.find_char(0), 0);
    EXPECT_EQ(s.find_char_from(0, 0), -1);
    EXPECT_EQ(s.find_char('a'), -1);

    DString from_empty("");
    EXPECT_EQ(from_empty.data(), nullptr);
    DString copy(s);
    EXPECT_EQ(copy.data(), nullptr);
    // The in-place copy always ends with a block carrying the source's code page.
    DString placed = DString::copy_of(s);
    EXPECT_NE(placed.data(), nullptr);
    EXPECT_EQ(placed.length(), 0);
}

TEST(DString, GrowthFigures) {
    DString a("abc");
    EXPECT_EQ(a.capacity(), 18);
    a.append("defghijklmnopq"); // length 17, need 19
    EXPECT_EQ(a.length(), 17);
    EXPECT_EQ(a.capacity(), 39);

    DString b;
    b.assign("abc");
    EXPECT_EQ(b.capacity(), 4);
    b.append("d");
    EXPECT_EQ(b.capacity(), 20);

    DString c;
    c.assign("abc");
    c.append('d');
    EXPECT_EQ(c.capacity(), 21);
    EXPECT_STREQ(c.c_str(), "abcd");
    c.append('\0');
    EXPECT_STREQ(c.c_str(), "abcd");

    // Appending nothing to a string without block gives it one; the text stays empty.
    DString d;
    d.append("");
    EXPECT_NE(d.data(), nullptr);
    EXPECT_EQ(d.length(), 0);
    EXPECT_TRUE(d.is_empty());

    // Assigning an empty text keeps the block; clear() too.
    DString e("xyz");
    char* block = e.data();
    e.assign("");
    EXPECT_EQ(e.data(), block);
    EXPECT_EQ(e.length(), 0);
}

TEST(DString, CompareTreatsNullAsEmpty) {
    DString empty, a("a");
    EXPECT_EQ(empty.compare(nullptr), 0);
    EXPECT_EQ(empty.compare(""), 0);
    EXPECT_EQ(a.compare(nullptr), 1);
    EXPECT_EQ(a.compare(""), 1);
    EXPECT_EQ(empty.compare("a"), -1);
    EXPECT_LT(a.compare("b"), 0);
    EXPECT_TRUE(a.equals("a"));

    EXPECT_EQ(empty.compare_n("", 5), 1);
    EXPECT_EQ(empty.compare_n(nullptr, 5), 0);
    EXPECT_EQ(a.compare_n(nullptr, 5), 1);
    DString src("/src=E:\\x");
    EXPECT_EQ(src.compare_n("/src=", 5), 0);
    EXPECT_NE(src.compare_n("/SRC=", 5), 0);
}

TEST(DString, CuttingAndPositions) {
    DString d("D:\\dir");
    *d.pos_ptr(3) = 0;
    EXPECT_STREQ(d.c_str(), "D:\\");
    DString two("D:");
    *two.pos_ptr(3) = 0;
    EXPECT_STREQ(two.c_str(), "D:");

    DString keep("abc");
    try {
        keep.pos_ptr(-1);
        ADD_FAILURE() << "no exception";
    } catch (const char* msg) {
        EXPECT_STREQ(msg, "Error DString n<0");
    }
    EXPECT_STREQ(keep.c_str(), "abc");

    DString p("a/b/c");
    EXPECT_EQ(p.find_char('/'), 1);
    EXPECT_EQ(p.find_last_char('/'), 3);
    EXPECT_EQ(p.find_char_from('/', 2), 3);
    EXPECT_EQ(p.find_char(0), 5);
    EXPECT_EQ(p.replace_char('/', '\\'), 2);
    EXPECT_STREQ(p.c_str(), "a\\b\\c");
    EXPECT_EQ(p.replace_char('a', 'a'), 0);
    EXPECT_EQ(p.cut_at_last('\\'), 3);
    EXPECT_STREQ(p.c_str(), "a\\b");

    DString q("x.y.z");
    EXPECT_EQ(q.replace_char('.', 0), 2); // cut at the first one, every one counted
    EXPECT_STREQ(q.c_str(), "x");

    DString empty;
    EXPECT_EQ(empty.last_char(), 0);
    EXPECT_NE(empty.data(), nullptr);
    DString path("C:\\");
    EXPECT_EQ(path.last_char(), '\\');
}

TEST(DString, CleaningValues) {
    DString a("  \"C:\\a b\"  ");
    EXPECT_TRUE(a.strip_quotes());
    EXPECT_STREQ(a.c_str(), "C:\\a b");
    DString b("C:\\dest\"");
    EXPECT_FALSE(b.strip_quotes());
    EXPECT_STREQ(b.c_str(), "C:\\dest");
    DString c("\"");
    EXPECT_FALSE(c.strip_quotes());
    EXPECT_STREQ(c.c_str(), "\"");
    DString d;
    EXPECT_FALSE(d.strip_quotes());
    EXPECT_TRUE(d.is_empty());
    DString e("'x'");
    EXPECT_TRUE(e.strip_quotes('\''));
    EXPECT_STREQ(e.c_str(), "x");

    DString blanks("   ");
    blanks.trim_blanks();
    EXPECT_TRUE(blanks.is_empty());
    DString tabs("\t a \t");
    tabs.trim_blanks();
    EXPECT_STREQ(tabs.c_str(), "\t a \t");
    DString none;
    none.trim_blanks();
    EXPECT_NE(none.data(), nullptr);

    DString f("abcdef");
    f.drop_first(2);
    EXPECT_STREQ(f.c_str(), "cdef");
    f.drop_first(10);
    EXPECT_TRUE(f.is_empty());
}

TEST(DString, Numbers) {
    EXPECT_EQ(DString("0x1F").to_int(), 31);
    EXPECT_EQ(DString("0x1f").to_int(), 31);
    EXPECT_EQ(DString("0X1F").to_int(), 0);
    EXPECT_EQ(DString("-12abc").to_int(), -12);
    EXPECT_EQ(DString("  42").to_int(), 42);
    EXPECT_EQ(DString().to_int(), 0);
    EXPECT_EQ(DString("99999999999").to_int(), INT32_MAX);
    EXPECT_EQ(DString("-99999999999").to_int(), INT32_MIN);

    DString s("n=");
    s.append_int(-305).append(',').append_int(0).append(',').append_byte(255);
    EXPECT_STREQ(s.c_str(), "n=-305,0,255");
    DString m;
    m.append_int(INT32_MIN);
    EXPECT_STREQ(m.c_str(), "-2147483648");
}

TEST(DString, CodePageTag) {
    DString s;
    s.set_codepage(2);
    EXPECT_EQ(s.get_codepage(), 65001);
    EXPECT_NE(s.data(), nullptr);
    s.set_codepage(0);
    EXPECT_EQ(s.get_codepage(), 65001);
    s.set_codepage(1252);
    EXPECT_EQ(s.get_codepage(), 1252);
    s.set_codepage(-5);
    EXPECT_EQ(s.get_codepage(), 65001);

    DString src("\xE9");
    src.set_codepage(1252);
    DString copy(src);
    EXPECT_EQ(copy.get_codepage(), 1252);
    DString target("x");
    target.assign(src);
    EXPECT_EQ(target.get_codepage(), 1252);
    DString empty_src;
    empty_src.set_codepage(1252);
    DString c2(empty_src); // an empty source passes no code page on copy construction
    EXPECT_EQ(c2.data(), nullptr);
    DString a2;
    a2.assign(empty_src); // but assign does
    EXPECT_EQ(a2.get_codepage(), 1252);
    // assign(text) leaves the tag alone; append to an empty string takes the source's tag.
    target.assign("plain");
    EXPECT_EQ(target.get_codepage(), 1252);
    DString e;
    e.append(src);
    EXPECT_EQ(e.get_codepage(), 1252);
}

TEST(DString, NextField) {
    EXPECT_EQ(DString().next_field(","), -1);
    EXPECT_EQ(DString("a,b").next_field(","), 2);
    EXPECT_EQ(DString("a, ,b").next_field(", "), 4);
    EXPECT_EQ(DString("\"a,b\",c").next_field(","), 6);
    EXPECT_EQ(DString("abc").next_field(","), -1);
    EXPECT_EQ(DString("abc,,").next_field(","), -1);
}

TEST(DString, Split) {
    Vector<DString> v(10, 10);
    auto items = [&]() {
        std::string out;
        for (int i = v.First(); i < v.First() + v.Count(); ++i)
            out += std::string(v.Exists(i) ? v.Get(i)->c_str() : "<null>") + "|";
        return out;
    };
    DString("a,b,c").split(",", v, -1, false, 1252);
    EXPECT_EQ(items(), "a|b|c|");
    for (int i = 0; i < v.Count(); ++i)
        EXPECT_EQ(v.Get(i)->get_codepage(), 1252);
    DString("a,b,c").split(",", v, 2, false, 0);
    EXPECT_EQ(items(), "a|b,c|");
    DString("a,,b").split(",", v, -1, false, 0);
    EXPECT_EQ(items(), "a|b|");
    DString("a,,b").split(",", v, -1, true, 0);
    EXPECT_EQ(items(), "a||b|");
    DString("/x/y").split("/", v, -1, false, 0);
    EXPECT_EQ(items(), "/x|y|");
    DString("a,b,").split(",", v, -1, true, 0);
    EXPECT_EQ(items(), "a|b|");
    DString().split(",", v, -1, false, 0);
    EXPECT_EQ(v.Count(), 0);
    DString("a,b").split(",", v, 0, false, 0);
    EXPECT_EQ(v.Count(), 0);
}
