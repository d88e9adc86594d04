#include <gtest/gtest.h>

#include <string>

#include "core/vector.h"
#include "text/dstring.h"

TEST(DString, EmptyStringsAndCutting) {
    DString s;
    EXPECT_EQ(s.char_at(0), 0);
    EXPECT_EQ(s.find_char_from(0, 0), -1);
    EXPECT_EQ(s.compare(nullptr), 0);
    EXPECT_EQ(s.compare("a"), -1);
    EXPECT_EQ(s.compare_n("", 5), 1);
    EXPECT_EQ(s.compare_n(nullptr, 5), 0);

    DString d("D:\\dir"), two("D:");
    *d.pos_ptr(3) = 0;
    *two.pos_ptr(3) = 0; // past the end: nothing is cut
    EXPECT_STREQ(d.c_str(), "D:\\");
    EXPECT_STREQ(two.c_str(), "D:");
    EXPECT_THROW(d.pos_ptr(-1), const char*);
    DString p("a/b/c");
    EXPECT_EQ(p.replace_char('/', '\\'), 2);
    EXPECT_EQ(p.cut_at_last('\\'), 3);
    EXPECT_STREQ(p.c_str(), "a\\b");
    DString q("x.y.z");
    EXPECT_EQ(q.replace_char('.', 0), 2); // cut at the first one, every one counted
    EXPECT_STREQ(q.c_str(), "x");
}

// Value cleaning (strip_quotes) is checked against a model by its fuzz target.
TEST(DString, NumbersAndFields) {
    EXPECT_EQ(DString("0x1F").to_int(), 31);
    EXPECT_EQ(DString("0X1F").to_int(), 0);
    EXPECT_EQ(DString("99999999999").to_int(), INT32_MAX);
    DString n;
    n.append_int(INT32_MIN).append(',').append_byte(255);
    EXPECT_STREQ(n.c_str(), "-2147483648,255");
    EXPECT_EQ(DString("\"a,b\",c").next_field(","), 6);
    EXPECT_EQ(DString("abc,,").next_field(","), -1);
}

TEST(DString, CodePageTagTravels) {
    DString src("\xE9"), empty_src;
    src.set_codepage(1252);
    empty_src.set_codepage(1252);
    EXPECT_EQ(DString(src).get_codepage(), 1252);
    DString a, b;
    a.assign(empty_src);
    a.assign("plain"); // assigning a text leaves the tag
    EXPECT_EQ(a.get_codepage(), 1252);
    b.append(src); // appending to an empty string takes the source's tag
    EXPECT_EQ(b.get_codepage(), 1252);
}

// With empty items kept the fuzz target checks that the items give the text back.
TEST(DString, Split) {
    Vector<DString> v(10, 10);
    auto split = [&](const char* text, int max, bool keep) {
        DString(text).split(",", v, max, keep, 1252);
        std::string out;
        for (int i = v.First(); i < v.First() + v.Count(); ++i)
            out += std::string(v.Get(i)->c_str()) + "|";
        return out;
    };
    EXPECT_EQ(split("a,b,c", 2, false), "a|b,c|");
    EXPECT_EQ(split("a,,b", -1, false), "a|b|");
    EXPECT_EQ(split(",x,y", -1, false), ",x|y|");
}

// Capacities after each step: appends leave room and grow by half again plus eleven,
// assignments are exact, and an emptied string keeps its block.
TEST(DString, ExactGrowth) {
    DString built("abc"), assigned, by_char;
    EXPECT_EQ(built.capacity(), 18);
    built.append("defghijklmnopq"); // length 17, need 19
    EXPECT_EQ(built.capacity(), 39);
    EXPECT_STREQ(built.c_str(), "abcdefghijklmnopq");
    assigned.assign("abc");
    by_char.assign("abc");
    EXPECT_EQ(assigned.capacity(), 4);
    assigned.append("d");
    by_char.append('d'); // one byte more asked for
    EXPECT_EQ(assigned.capacity(), 20);
    EXPECT_EQ(by_char.capacity(), 21);
    const char* block = built.data();
    built.assign("");
    EXPECT_EQ(built.data(), block);
}
