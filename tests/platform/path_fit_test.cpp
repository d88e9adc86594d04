// Paths cut to a width, as the window's label (pixels) and the terminal line (cells) show them.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/gui/path_fit.h"

using namespace gui;

namespace {

// One unit per character (6 pixels in UTF-16), none for a combining mark.
template <class Char> int Units(std::basic_string_view<Char> s) {
    int n = 0;
    for (size_t i = 0; i < s.size();) {
        const CodePoint c = decode(s, i);
        n += zero_width(c.code) ? 0 : sizeof(Char) == 1 ? 1 : 6;
        i += c.size;
    }
    return n;
}

std::string Fit(std::string_view text, std::string_view root, int width) {
    const std::function<int(std::string_view)> measure = Units<char>;
    return fit_path(text, find_path(text, root, '/'), width, measure, std::string_view("..."), '/');
}

std::u16string Fit(std::u16string_view text, std::u16string_view root, int pixels) {
    const std::function<int(std::u16string_view)> measure = Units<char16_t>;
    return fit_path(text, find_path(text, root, u'\\'), pixels, measure,
                    std::u16string_view(u"\u2026"), u'\\');
}

} // namespace

TEST(PathFit, KeepsTheRootAndAsManyWholeTrailingFoldersAsFit) {
    const std::string label = "Copying file: /media/cdrom/MAPS/NORTE/RUTAS/very/deep/r1.rut";
    const std::string root = "/media/cdrom/";
    EXPECT_EQ(Fit(label, root, 60), label);
    EXPECT_EQ(Fit(label, root, 59), "Copying file: /media/cdrom/.../NORTE/RUTAS/very/deep/r1.rut");
    EXPECT_EQ(Fit(label, root, 50), "Copying file: /media/cdrom/.../very/deep/r1.rut");
    EXPECT_EQ(Fit(label, root, 37), "Copying file: /media/cdrom/.../r1.rut");
    // The whole name before the whole root, cut in its middle, and then before the words.
    EXPECT_EQ(Fit(label, root, 36), "Copying file: /medi...rom/.../r1.rut");
    EXPECT_EQ(Fit(label, root, 20), ".../r1.rut");
    // A label that does not hold the root keeps its path's first separator.
    EXPECT_EQ(Fit(label, "/mnt/", 30), "Copying file: /.../deep/r1.rut");
    // A text without a path is cut in its middle.
    EXPECT_EQ(Fit("Preparing to copy files...", root, 12), "Prepa...s...");
    for (int w = 0; w <= 60; ++w)
        EXPECT_LE(Units(std::string_view(Fit(label, root, w))), w) << w;
}

TEST(PathFit, CutsInsideANameOnlyWhenItAloneDoesNotFit) {
    const std::string name = std::string(40, 'n') + ".map";
    const std::string label = "Copying file: /media/cdrom/MAPS/" + name;
    EXPECT_EQ(Fit(label, "/media/cdrom/", 48), ".../" + name);
    // Cut in its middle, its end (the type) kept; behind the kept part when that leaves the
    // name half the width.
    EXPECT_EQ(Fit(label, "/media/cdrom/", 47), name);
    EXPECT_EQ(Fit(label, "/media/cdrom/", 43),
              std::string(20, 'n') + "..." + std::string(16, 'n') + ".map");
    const std::string longer = "Copying file: /media/cdrom/MAPS/" + std::string(96, 'n') + ".map";
    EXPECT_EQ(Fit(longer, "/media/cdrom/", 80), "Copying file: /media/cdrom/.../" +
                                                    std::string(23, 'n') + "..." +
                                                    std::string(19, 'n') + ".map");
    // A letter keeps its combining mark.
    std::u16string marked = u"E:\\";
    for (int i = 0; i < 30; ++i)
        marked += u"e\u0301";
    for (int px = 0; px < 200; px += 5) {
        const std::u16string cut = Fit(marked, u"E:\\", px);
        EXPECT_NE(cut.find(u'\u0301'), 0u) << px;
        EXPECT_EQ(cut.find(u"\u2026\u0301"), std::u16string::npos) << px;
    }
}

// Windows paths in pixels; in the label, each right-to-left component is isolated so that the
// components keep their order.
TEST(PathFit, WindowsPathsAndRightToLeftNames) {
    const std::u16string label = u"Copying file: E:\\MAPS\\خرائط\\شمال\\tile.map";
    const std::u16string cut = Fit(label, u"E:\\", 200);
    EXPECT_EQ(cut, u"Copying file: E:\\\u2026\\شمال\\tile.map");
    EXPECT_EQ(isolate_components(cut, u'\\'),
              u"\u200ECopying file: E:\\\u2026\\\u2068شمال\u2069\\tile.map");
    // A name cut inside stays one isolate; a name with a direction override is contained; the
    // line stays left to right.
    EXPECT_EQ(isolate_components(u"a\\خرا\u2026ئط\\b\u202Ecod.exe", u'\\'),
              u"\u200Ea\\\u2068خرا\u2026ئط\u2069\\\u2068b\u202Ecod.exe\u2069");
    EXPECT_EQ(isolate_components(u"Copying file: E:\\MAPS\\x", u'\\'),
              u"Copying file: E:\\MAPS\\x");
}
