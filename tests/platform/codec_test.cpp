#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"
#include "text/dstring.h"

namespace {

// Decodes UTF-8 bytes with shaping, as every wide system call receives them.
std::u16string decode(const std::string& bytes) {
    std::u16string out(bytes.size() + 20, u'\0');
    int n = to_wide(65001, bytes.data(), static_cast<int>(bytes.size()), out.data(),
                    static_cast<int>(out.size()));
    out.resize(bytes.empty() ? 0 : static_cast<size_t>(n));
    return out;
}

std::string encode(const std::u16string& w) {
    int need = from_wide(65001, w.data(), static_cast<int>(w.size()), nullptr, 0);
    std::string out(static_cast<size_t>(need) + 1, '\0');
    int n = from_wide(65001, w.data(), static_cast<int>(w.size()), out.data(), need + 1);
    out.resize(static_cast<size_t>(n));
    return out;
}

constexpr char16_t R = 0xFFFD;
using U = std::u16string;

} // namespace

TEST(Codec, DecodesAndEncodesUtf8) {
    EXPECT_EQ(decode("\xC3\xA9\xE2\x82\xAC"), u"\u00E9\u20AC");
    EXPECT_EQ(decode("\xF0\x9F\x98\x80"), (U{0xD83D, 0xDE00}));
    // Overlong forms and encoded surrogates are taken at their bits.
    EXPECT_EQ(decode(std::string("\xC0\x80x", 3)), (U{0, 'x'}));
    EXPECT_EQ(decode("\xED\xA0\x80"), (U{0xD800}));

    EXPECT_EQ(decode("\xE9x"), (U{R, 'x'}));
    // Three-byte lead: with a bad first follower only the lead goes, with a bad second both.
    EXPECT_EQ(decode("\xE2x\x82"), (U{R, 'x', R}));
    EXPECT_EQ(decode("\xE2\x82\x41"), (U{R, 'A'}));
    EXPECT_EQ(decode("\xE2\x82"), (U{R, R}));
    // Four-byte lead: every failure replaces the lead only; followers seen give their own.
    EXPECT_EQ(decode("\xF0\x9F\x98\x41"), (U{R, R, R, 'A'}));
    EXPECT_EQ(decode("\xF0\x41\x42\x43"), (U{R, 'A', 'B', 'C'}));
    EXPECT_EQ(decode("\x80\xF8\xFF"), (U{R, R, R}));

    // The size query counts non-continuation bytes plus one per four-byte lead.
    EXPECT_EQ(to_wide(65001, "a\xC3\xA9\xF0\x9F\x98\x80", 7, nullptr, 0), 4);

    EXPECT_EQ(encode(u"a\u00E9\u20AC"), "a\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(encode(U{0xD83D, 0xDE00}), "\xF0\x9F\x98\x80");
    // An unpaired high surrogate becomes '?'; a lone low one is encoded as it stands.
    EXPECT_EQ(encode(U{0xD83D, 'A'}), "?A");
    EXPECT_EQ(encode(U{0xDE00}), "\xED\xB8\x80");
    char out[4] = {'x', 'x', 'x', 'x'};
    U euro = u"\u20AC\u20AC";
    EXPECT_EQ(from_wide(65001, euro.data(), 2, out, 4), 6);
    EXPECT_EQ(std::string(out, 4), "\xE2\x82\xACx"); // the second one did not fit
}

TEST(Codec, ArabicShaping) {
    EXPECT_EQ(decode("\xD8\xA8\xD8\xA7"), u"\uFE91\uFE8E"); // beh alef
    EXPECT_EQ(decode("\xD9\x84\xD8\xA7"), u"\uFEDF\uFE8E"); // no lam-alef ligature
    EXPECT_EQ(decode("\xEF\xBA\x92"), u"\uFE8F");           // a lone medial beh is reshaped
    // Alef joins only to the right; yeh-with-hamza never makes a neighbour join; tatweel
    // does not join at all.
    EXPECT_EQ(decode("\xD8\xA8\xD8\xA7\xD8\xA8"), u"\uFE91\uFE8E\uFE8F");
    EXPECT_EQ(decode("\xD8\xA8\xD8\xA6\xD8\xA8"), u"\uFE8F\uFE8C\uFE8F");
    EXPECT_EQ(decode("\xD8\xA8\xD9\x80\xD8\xA8"), u"\uFE8F\u0640\uFE8F");
    // Alef maksura and its U+FBE8 form; teh marbuta's medial form is its isolated one.
    EXPECT_EQ(decode("\xD8\xA8\xD9\x89"), u"\uFE91\uFEF0");
    EXPECT_EQ(decode("\xEF\xAF\xA8"), u"\uFEEF");
    EXPECT_EQ(decode("\xD8\xA8\xD8\xA9\xD8\xA8"), u"\uFE91\uFE93\uFE8F");
}

TEST(Codec, FallbacksAndSystemCodePages) {
    // A code page the system does not know: one unit per byte, sign-extended, and back.
    char16_t w[8];
    EXPECT_EQ(to_wide(12345, "a\xE9", 2, w, 8), 3);
    EXPECT_EQ(U(w), (U{'a', 0xFFE9}));
    EXPECT_EQ(to_wide(12345, "abc", 3, w, 3), 0); // no room for the NUL
    char b[8];
    U u{'A', 0x100, 0x1E9};
    EXPECT_EQ(from_wide(12345, u.data(), 3, b, 8), 4);
    EXPECT_STREQ(b, "A?\xE9");
    // Empty input with an output buffer gives an empty text and 1.
    EXPECT_EQ(to_wide(65001, "abc", 0, w, 8), 1);
    EXPECT_EQ(w[0], 0);
    EXPECT_EQ(to_wide(1252, "\xE9\x80", 2, w, 8), 2);
    EXPECT_EQ(U(w), u"\u00E9\u20AC");

    DString latin("\xE9");
    latin.set_codepage(1252);
    latin.convert_codepage(65001);
    EXPECT_STREQ(latin.c_str(), "\xC3\xA9");
    latin.convert_codepage(1252);
    EXPECT_STREQ(latin.c_str(), "\xE9");
    EXPECT_EQ(latin.to_unicode_string(), u"\u00E9");
    DString zero("x\xE9"); // tagged 0 reads as 65001: nothing to convert
    zero.set_codepage(0);
    zero.convert_codepage(65001);
    EXPECT_STREQ(zero.c_str(), "x\xE9");
    latin.assign_wide(nullptr, 5);
    EXPECT_TRUE(latin.is_empty());
    latin.assign_wide(u"\u00E9t\u00E9", -1); // in the string's own code page
    EXPECT_STREQ(latin.c_str(), "\xE9t\xE9");

    // A listed name: wide -> DString -> wide; Arabic comes back shaped.
    DString name;
    name.assign_wide(u"ab\U0001F600\u0628\uFE92", -1);
    EXPECT_EQ(name.to_unicode_string(), u"ab\U0001F600\uFE91\uFE90");

    // Windows code-page numbers reach the system's conversion under names it knows; on Linux
    // the system's own 8-bit code page is UTF-8, whatever the locale says.
    for (auto [codepage, out] :
         {std::pair{28591, u'\u00E9'}, {10000, u'\u00C8'}, {20866, u'\u0418'}, {437, u'\u0398'}}) {
        EXPECT_EQ(to_wide(codepage, "\xE9", 1, w, 4), 1) << codepage;
        EXPECT_EQ(w[0], out) << codepage;
    }
#ifndef _WIN32
    EXPECT_EQ(to_wide(1, "caf\xC3\xA9", 5, w, 8), 4);
    EXPECT_EQ(U(w), u"caf\u00E9");
#endif
}

// Paths are names, not display text: they cross to UTF-16 and back exactly, Arabic unshaped
// and lone surrogates kept, while the display conversion of the same text shapes it.
TEST(Codec, PathsConvertExactly) {
    const U names[] = {u"\u062E\u0631\u064A\u0637\u0629.map",             // Arabic
                       u"\u0646\u0642\u0634\u0647\u200C\u0647\u0627.txt", // Persian, ZWNJ
                       u"\uFE91\uFE8E",                                   // presentation forms
                       u"caf\u0065\u0301 \u05E2\u05D1 \u0E44\u0E17\u0E22 \U0001F5FA",
                       U{'a', 0xD800, 'b'},
                       U{0xDC00},
                       U{0xDBFF}};
    for (const U& name : names) {
        const std::string utf8 = platform::path_from_utf16(name.data(), name.size());
        EXPECT_EQ(platform::path_to_utf16(utf8.data(), utf8.size()), name);
    }
    const std::string arabic = "\xD8\xA8\xD8\xA7";
    EXPECT_EQ(platform::path_to_utf16(arabic.data(), arabic.size()), u"\u0628\u0627");
    EXPECT_EQ(decode(arabic), u"\uFE91\uFE8E");
    // A pair written as two three-byte sequences reads back as the pair.
    EXPECT_EQ(platform::path_to_utf16("\xED\xA0\xBD\xED\xB8\x80", 6), (U{0xD83D, 0xDE00}));
}
