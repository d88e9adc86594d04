#include "platform/gui/path_fit.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace gui {
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
// Right-to-left scripts (Hebrew to Arabic Extended-A, their presentation forms, the
// historic ones of the supplementary planes) and the explicit direction marks and controls.
constexpr Range kRightToLeft[] = {
    {0x0590, 0x08FF}, {0x200E, 0x200F}, {0x202A, 0x202E},   {0x2066, 0x2069},
    {0xFB1D, 0xFDFF}, {0xFE70, 0xFEFE}, {0x10800, 0x10FFF}, {0x1E800, 0x1EFFF},
};

template <size_t N> bool in(const Range (&table)[N], char32_t c) {
    const Range* r = std::upper_bound(std::begin(table), std::end(table), c,
                                      [](char32_t v, const Range& x) { return v < x.first; });
    return r != std::begin(table) && c <= (r - 1)->last;
}

template <class Char> using View = std::basic_string_view<Char>;
template <class Char> using Text = std::basic_string<Char>;
template <class Char> using Measure = std::function<int(View<Char>)>;

// The places where a text may be cut: before every character but a zero-width one or one
// that follows a zero-width joiner; the start and the end included.
template <class Char> std::vector<size_t> cut_points(View<Char> s) {
    std::vector<size_t> points;
    bool joined = false;
    for (size_t i = 0; i < s.size();) {
        const CodePoint c = decode(s, i);
        if (i == 0 || (!zero_width(c.code) && !joined)) points.push_back(i);
        joined = c.code == 0x200D;
        i += c.size;
    }
    points.push_back(s.size());
    return points;
}

// The last index into points whose start of s (longer: whose end of s) fits width.
template <class Char>
size_t longest(View<Char> s, const std::vector<size_t>& points, int width,
               const Measure<Char>& measure, bool from_end) {
    const auto piece = [&](size_t k) {
        return from_end ? s.substr(points[points.size() - 1 - k]) : s.substr(0, points[k]);
    };
    size_t lo = 0, hi = points.size() - 1; // piece(lo) fits (it is empty)
    while (lo < hi) {
        const size_t mid = (lo + hi + 1) / 2;
        if (measure(piece(mid)) <= width)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

// s in at most width: its start and its end around the ellipsis, the end given half the room.
template <class Char>
Text<Char> cut_middle(View<Char> s, int width, const Measure<Char>& measure, View<Char> dots) {
    if (width <= 0) return {};
    if (measure(s) <= width) return Text<Char>(s);
    const std::vector<size_t> points = cut_points(s);
    const size_t last = points.size() - 1;
    const int room = width - measure(dots);
    if (room < 0) return Text<Char>(s.substr(0, points[longest(s, points, width, measure, false)]));
    size_t right = last - longest(s, points, room / 2, measure, true);
    const int right_width = measure(s.substr(points[right]));
    size_t left = longest(s, points, room - right_width, measure, false);
    const auto join = [&] {
        return Text<Char>(s.substr(0, points[left])) + Text<Char>(dots) +
               Text<Char>(s.substr(points[right]));
    };
    // Widths of pieces need not add up to the width of the whole (kerning).
    Text<Char> out = join();
    while (measure(out) > width && (left > 0 || right < last)) {
        left > 0 ? --left : ++right;
        out = join();
    }
    return out;
}

} // namespace

template <class Char>
PathSpan find_path(std::basic_string_view<Char> text, std::basic_string_view<Char> root,
                   Char separator) {
    if (!root.empty()) {
        const size_t at = text.find(root);
        if (at != View<Char>::npos) return {at, at + root.size()};
    }
    const size_t first = text.find(separator);
    if (first == View<Char>::npos) return {text.size(), text.size()};
    const size_t blank = first == 0 ? View<Char>::npos : text.rfind(Char(' '), first);
    return {blank == View<Char>::npos ? 0 : blank + 1, first + 1};
}

template <class Char>
std::basic_string<Char> fit_path(std::basic_string_view<Char> text, PathSpan path, int width,
                                 const std::function<int(std::basic_string_view<Char>)>& measure,
                                 std::basic_string_view<Char> dots, Char separator) {
    constexpr size_t npos = View<Char>::npos;
    if (width <= 0) return {};
    if (measure(text) <= width) return Text<Char>(text);
    const size_t kept = std::min(path.kept, text.size());
    if (kept == text.size()) return cut_middle(text, width, measure, dots);
    const View<Char> head = text.substr(0, kept);
    // The name is the last component; a separator at the very end belongs to it.
    const size_t last = text.rfind(separator, text.size() - 2);
    const size_t name = last != npos && last >= kept ? last + 1 : kept;
    // Every separator after the kept part begins a tail of whole folders and the name: the
    // first tail that fits keeps the most of them.
    for (size_t s = text.find(separator, kept + 1); s != npos && s < name;
         s = text.find(separator, s + 1)) {
        Text<Char> candidate = Text<Char>(head) + Text<Char>(dots) + Text<Char>(text.substr(s));
        if (measure(candidate) <= width) return candidate;
    }
    // No folder fits: the name whole, behind the ellipsis and, when it leaves room for a
    // quarter of the width, the root cut in its middle after the words before the path.
    const View<Char> tail = text.substr(last == npos ? name : last);
    Text<Char> alone = Text<Char>(dots) + Text<Char>(tail);
    if (measure(alone) <= width) {
        const size_t start = std::min(path.start, kept);
        const View<Char> words = text.substr(0, start);
        const int room = width - measure(words) - measure(alone);
        if (room < width / 4) return alone;
        return Text<Char>(words) +
               cut_middle(text.substr(start, kept - start), room, measure, dots) + alone;
    }
    // The name alone does not fit: it is cut in its middle, behind the kept part when that
    // leaves it half of the width at least.
    Text<Char> prefix(head);
    if (name > kept + 1) {
        prefix += dots;
        prefix += separator;
    } else {
        prefix += text.substr(kept, name - kept);
    }
    const int room = width - measure(prefix);
    if (room >= width / 2) return prefix + cut_middle(text.substr(name), room, measure, dots);
    return cut_middle(text.substr(name), width, measure, dots);
}

std::u16string isolate_components(std::u16string_view text, char16_t separator) {
    std::u16string out;
    out.reserve(text.size() + 16);
    bool isolated = false;
    for (size_t begin = 0;;) {
        size_t end = text.find(separator, begin);
        if (end == std::u16string_view::npos) end = text.size();
        const std::u16string_view part = text.substr(begin, end - begin);
        bool mixed = false;
        for (size_t i = 0; i < part.size() && !mixed;) {
            const CodePoint c = decode(part, i);
            mixed = in(kRightToLeft, c.code);
            i += c.size;
        }
        if (mixed) out += u'\u2068';
        out += part;
        if (mixed) out += u'\u2069';
        isolated = isolated || mixed;
        // The label reads left to right even when no letter outside an isolate says so.
        if (end == text.size()) return isolated ? u'\u200E' + out : out;
        out += separator;
        begin = end + 1;
    }
}

CodePoint decode(std::string_view s, size_t i) {
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

CodePoint decode(std::u16string_view s, size_t i) {
    const char16_t u = s[i];
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000)
        return {0x10000 + ((char32_t(u) - 0xD800) << 10) + (s[i + 1] - 0xDC00), 2};
    return {u, 1};
}

bool zero_width(char32_t c) {
    return in(kZero, c);
}

bool double_width(char32_t c) {
    return in(kWide, c);
}

template PathSpan find_path<char>(std::string_view, std::string_view, char);
template PathSpan find_path<char16_t>(std::u16string_view, std::u16string_view, char16_t);
template std::string fit_path<char>(std::string_view, PathSpan, int,
                                    const std::function<int(std::string_view)>&, std::string_view,
                                    char);
template std::u16string fit_path<char16_t>(std::u16string_view, PathSpan, int,
                                           const std::function<int(std::u16string_view)>&,
                                           std::u16string_view, char16_t);

} // namespace gui
