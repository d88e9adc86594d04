#include "platform/gui/tty/line.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>
#include <vector>

namespace gui::tty {
namespace {

struct Range {
    char32_t first, last;
};

// East Asian Wide and Fullwidth blocks, emoji included.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},
    {0xA000, 0xA4CF},   {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},
    {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},
    {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};
// Combining marks and zero-width characters.
constexpr Range kZero[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A}, {0x064B, 0x065F},
    {0x0E31, 0x0E31}, {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF},
    {0x200B, 0x200F}, {0x20D0, 0x20FF}, {0x302A, 0x302F}, {0x3099, 0x309A}, {0xFE00, 0xFE0F},
    {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF},
};

bool in(const Range* begin, const Range* end, char32_t c) {
    const Range* r =
        std::upper_bound(begin, end, c, [](char32_t v, const Range& x) { return v < x.first; });
    return r != begin && c <= (r - 1)->last;
}

// One character: its code point and its length in bytes (an invalid byte is one character).
struct Char {
    char32_t code;
    size_t size;
};

Char decode(std::string_view s, size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    const size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
    if (n == 0 || i + n > s.size()) return {b, 1};
    char32_t c = n == 1 ? b : b & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
        const auto t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80) return {b, 1};
        c = (c << 6) | (t & 0x3F);
    }
    return {c, n};
}

int width_of(char32_t c) {
    if (in(std::begin(kZero), std::end(kZero), c)) return 0;
    return in(std::begin(kWide), std::end(kWide), c) ? 2 : 1;
}

// The longest start of s that takes at most width cells.
std::string_view head(std::string_view s, int width) {
    size_t i = 0;
    while (i < s.size()) {
        const Char c = decode(s, i);
        const int w = width_of(c.code);
        if (w > width) break;
        width -= w;
        i += c.size;
    }
    return s.substr(0, i);
}

// The longest end of s that takes at most width cells.
std::string_view tail(std::string_view s, int width) {
    std::vector<std::pair<size_t, int>> chars; // start and cells of each character
    for (size_t i = 0; i < s.size();) {
        const Char c = decode(s, i);
        chars.emplace_back(i, width_of(c.code));
        i += c.size;
    }
    size_t begin = s.size();
    for (auto it = chars.rbegin(); it != chars.rend() && it->second <= width; ++it) {
        width -= it->second;
        begin = it->first;
    }
    return s.substr(begin);
}

constexpr std::string_view kDots = "...";

// s cut in its middle to at most width cells.
std::string cut_middle(std::string_view s, int width) {
    if (width <= static_cast<int>(kDots.size())) return std::string(head(s, width));
    const int room = width - static_cast<int>(kDots.size());
    const std::string_view right = tail(s, room / 2);
    std::string out(head(s, room - cells(right)));
    out += kDots;
    out += right;
    return out;
}

} // namespace

int cells(std::string_view s) {
    int n = 0;
    for (size_t i = 0; i < s.size();) {
        const Char c = decode(s, i);
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
        const Char c = decode(s, i);
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

std::string fit_label(std::string_view label, int width) {
    if (width <= 0) return {};
    if (cells(label) <= width) return std::string(label);
    const size_t slash = label.find_last_of('/');
    if (slash == std::string_view::npos || slash == 0) return cut_middle(label, width);
    const std::string_view name = label.substr(slash);
    const int name_cells = cells(name);
    if (name_cells + static_cast<int>(kDots.size()) > width) return cut_middle(name, width);
    std::string out(
        head(label.substr(0, slash), width - name_cells - static_cast<int>(kDots.size())));
    out += kDots;
    out += name;
    return out;
}

std::string status_line(std::string_view label, std::string_view bar, std::string_view state,
                        int columns) {
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
    return fit_label(label, room - tail_cells) + tail_text;
}

} // namespace gui::tty
