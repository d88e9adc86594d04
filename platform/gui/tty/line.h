#pragma once
// The terminal line's text: what fits in a number of terminal cells, and names made safe to
// print. Pure functions on UTF-8, apart from the terminal they are shown on.
#include <string>
#include <string_view>

namespace gui::tty {

// Terminal cells the text takes: East Asian wide characters take two, combining marks none.
int cells(std::string_view utf8);
// Control characters (C0, DEL, C1) written as \xNN, so that no escape sequence or line break
// from a name reaches the terminal.
std::string escape_controls(std::string_view utf8);
// The label in at most width cells, its path cut at folder boundaries with "..." as the
// window's label is (platform/gui/path_fit.h): root, the path's drive or mount point, stays.
std::string fit_label(std::string_view label, std::string_view root, int width);
// The whole line in at most columns - 1 cells (so it never wraps): the label, then the tail
// (bar, percentage, state), which loses its bar and then everything but the percentage when
// the terminal is narrow.
std::string status_line(std::string_view label, std::string_view root, std::string_view bar,
                        std::string_view state, int columns);

} // namespace gui::tty
