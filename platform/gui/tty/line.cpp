#include "platform/gui/tty/line.h"

#include <algorithm>
#include <functional>

#include "platform/gui/path_fit.h"

namespace gui::tty {
namespace {

int width_of(char32_t c) {
    if (zero_width(c)) return 0;
    return double_width(c) ? 2 : 1;
}

constexpr std::string_view kDots = "...";

// The longest start of s that takes at most width cells.
std::string_view head(std::string_view s, int width) {
    size_t i = 0;
    while (i < s.size()) {
        const CodePoint c = decode(s, i);
        const int w = width_of(c.code);
        if (w > width) break;
        width -= w;
        i += c.size;
    }
    return s.substr(0, i);
}

} // namespace

int cells(std::string_view s) {
    int n = 0;
    for (size_t i = 0; i < s.size();) {
        const CodePoint c = decode(s, i);
        n += width_of(c.code);
        i += c.size;
    }
    return n;
}

std::string escape_controls(std::string_view s) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const CodePoint c = decode(s, i);
        if (c.code < 0x20 || (c.code >= 0x7F && c.code <= 0x9F)) {
            out += "\\x";
            out += kHex[c.code >> 4];
            out += kHex[c.code & 0xF];
        } else {
            out.append(s.substr(i, c.size));
        }
        i += c.size;
    }
    return out;
}

std::string fit_label(std::string_view label, std::string_view root, int width) {
    const std::function<int(std::string_view)> measure = cells;
    return fit_path(label, find_path(label, root, '/'), width, measure, kDots, '/');
}

std::string status_line(std::string_view label, std::string_view root, std::string_view bar,
                        std::string_view state, int columns) {
    const int room = std::max(columns - 1, 0);
    std::string tail_text = std::string(bar) + std::string(state);
    constexpr int kLabelMin = 12;
    if (!bar.empty() && cells(tail_text) + kLabelMin > room) {
        // Narrow: the percentage (the bar's last word) and the state only.
        const size_t space = bar.find_last_of(' ');
        tail_text = std::string(bar.substr(space == std::string_view::npos ? 0 : space)) +
                    std::string(state);
    }
    const int tail_cells = cells(tail_text);
    if (tail_cells >= room) return std::string(head(tail_text, room));
    return fit_label(label, root, room - tail_cells) + tail_text;
}

} // namespace gui::tty
