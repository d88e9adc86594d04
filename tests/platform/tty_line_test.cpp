// The terminal front end's line: Linux only, where the terminal back-end is built.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <string>

#include "platform/gui/tty/line.h"

using namespace gui::tty;

TEST(TerminalLine, CellsCountWideAndCombiningCharacters) {
    EXPECT_EQ(cells("\xE5\x9C\xB0\xE5\x9B\xBE"), 4); // 地図
    EXPECT_EQ(cells("e\xCC\x81"), 1);                // e + combining acute
    EXPECT_EQ(cells("\xF0\x9F\x97\xBA"), 2);         // 🗺
}

TEST(TerminalLine, ControlCharactersAreEscaped) {
    EXPECT_EQ(escape_controls("a\nb\x1B[2Jc\x7F"), "a\\x0Ab\\x1B[2Jc\\x7F");
    EXPECT_EQ(escape_controls("\xC2\x9B"
                              "1m \xC3\xA9"),
              "\\x9B1m \xC3\xA9"); // C1 CSI; é kept
}

// The cut itself is the window label's (path_fit_test.cpp); here, in cells.
TEST(TerminalLine, LongLabelIsCutInCells) {
    const std::string label = "Copying file: /media/cdrom/MAPS/NORTE/RUTAS/very/deep/r1.rut";
    EXPECT_EQ(fit_label(label, "/media/cdrom/", 200), label);
    EXPECT_EQ(fit_label(label, "/media/cdrom/", 50),
              "Copying file: /media/cdrom/.../very/deep/r1.rut");
    // Wide characters are never split and the result never exceeds the width.
    const std::string cjk = "Copying file: /m/\xE5\x9C\xB0\xE5\x9B\xBE\xE5\x9C\xB0\xE5\x9B\xBE"
                            "\xE5\x9C\xB0\xE5\x9B\xBE\xE5\x9C\xB0\xE5\x9B\xBE.map";
    for (int w = 0; w < 40; ++w)
        EXPECT_LE(cells(fit_label(cjk, "/m/", w)), w) << w;
    EXPECT_EQ(fit_label(cjk, "/m/", 10), "\xE5\x9C\xB0\xE5\x9B\xBE...map");
}

TEST(TerminalLine, NarrowTerminalsNeverWrap) {
    const std::string label = "Copying file: /media/cdrom/MAPS/SUR/sur.map";
    const std::string bar = " [#####...............]  25.00%";
    EXPECT_EQ(status_line(label, "/media/cdrom/", bar, "", 120), label + bar);
    for (int columns = 1; columns < 90; ++columns) {
        const std::string line =
            status_line(label, "/media/cdrom/", bar, " Cancelling...", columns);
        EXPECT_LE(cells(line), columns - 1) << columns;
    }
    // Narrow: the percentage stays, the bar goes.
    EXPECT_EQ(status_line(label, "/media/cdrom/", bar, "", 40), ".../sur.map 25.00%");
}
#endif
