#pragma once
// A label that shows a path, cut to a width: one rule for the window's label (measured in
// pixels of its font) and the terminal line (measured in cells). The text is UTF-8 or UTF-16;
// a cut never splits a character or parts a combining mark from its letter.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace gui {

// Where the path of a label lies: it begins at start, and everything before kept (the words
// before the path and its root: a drive, on Linux a mount point) is never cut.
struct PathSpan {
    size_t start = 0, kept = 0;
};

// The path in a label: it begins where root (the source's drive or mount point, ending in
// its separator) is found. Without a root, or where the label does not hold it, it begins at
// the word that holds the first separator and keeps that separator; a label without any
// separator has no path (start and kept at its end).
template <class Char>
PathSpan find_path(std::basic_string_view<Char> text, std::basic_string_view<Char> root,
                   Char separator);

// text in at most width, as measure tells widths: the whole text when it fits; else the kept
// part, the ellipsis and as many whole trailing folders as fit before the file name; else the
// ellipsis and the name, after the words before the path and the root cut in its middle
// where there is room for them. A name is cut in its middle only when it alone does not fit,
// behind the kept part when that leaves it half the width. A text without a path is cut in
// its middle.
template <class Char>
std::basic_string<Char> fit_path(std::basic_string_view<Char> text, PathSpan path, int width,
                                 const std::function<int(std::basic_string_view<Char>)>& measure,
                                 std::basic_string_view<Char> ellipsis, Char separator);

// For showing in a label: every path component (between separators) that holds
// right-to-left letters or explicit direction marks is set between U+2068 FIRST STRONG
// ISOLATE and U+2069 POP DIRECTIONAL ISOLATE, so that the bidirectional algorithm keeps the
// components in their order and each one reads in its own direction; a U+200E LEFT-TO-RIGHT
// MARK before them keeps the whole line left to right. Display marks only:
// message boxes and the terminal show the text as it is.
std::u16string isolate_components(std::u16string_view text, char16_t separator);

// One character of a text: its code point and its length in code units (a byte that is not
// valid UTF-8, or a lone surrogate, is one character).
struct CodePoint {
    char32_t code;
    size_t size;
};
CodePoint decode(std::string_view text, size_t i);
CodePoint decode(std::u16string_view text, size_t i);
// Combining marks and zero-width characters: they take no room and belong to the character
// before them.
bool zero_width(char32_t c);
// East Asian wide and fullwidth characters: two cells of a terminal.
bool double_width(char32_t c);

} // namespace gui
