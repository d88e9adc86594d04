// The library's own UTF-8 codec with Arabic shaping, and the conversion chains between 8-bit
// text and UTF-16 that use it first, then the system, then a plain byte-for-unit mapping.
#include "platform/codepage.h"

#include <cstring>

namespace {

constexpr int kUtf8 = kUtf8CodePage;
constexpr int kDefault = kUtf8; // the library's default code page
constexpr char16_t kReplacement = 0xFFFD;

// ---- Arabic shaping data -------------------------------------------------------------------

constexpr char16_t kDualJoining[] = {0x062C, 0x062D, 0x062E, 0x0647, 0x0639, 0x063A, 0x0641, 0x0642,
                                     0x062B, 0x0635, 0x0636, 0x0637, 0x0643, 0x0645, 0x0646, 0x062A,
                                     0x0644, 0x0628, 0x064A, 0x0633, 0x0634, 0x0638};
constexpr char16_t kRightJoining[] = {0x0627, 0x0623, 0x0625, 0x0622, 0x062F, 0x0630,
                                      0x0631, 0x0632, 0x0648, 0x0624, 0x0629, 0x0649};

struct Forms {
    char16_t letter, isolated, final, initial, medial;
};

constexpr Forms kForms[] = {
    {0x0621, 0xFE80, 0xFE80, 0xFE80, 0xFE80}, {0x0622, 0xFE81, 0xFE82, 0xFE81, 0xFE82},
    {0x0623, 0xFE83, 0xFE84, 0xFE83, 0xFE84}, {0x0624, 0xFE85, 0xFE86, 0xFE85, 0xFE86},
    {0x0625, 0xFE87, 0xFE88, 0xFE87, 0xFE88}, {0x0626, 0xFE89, 0xFE8A, 0xFE8B, 0xFE8C},
    {0x0627, 0xFE8D, 0xFE8E, 0xFE8D, 0xFE8E}, {0x0628, 0xFE8F, 0xFE90, 0xFE91, 0xFE92},
    {0x0629, 0xFE93, 0xFE94, 0xFE93, 0xFE93}, {0x062A, 0xFE95, 0xFE96, 0xFE97, 0xFE98},
    {0x062B, 0xFE99, 0xFE9A, 0xFE9B, 0xFE9C}, {0x062C, 0xFE9D, 0xFE9E, 0xFE9F, 0xFEA0},
    {0x062D, 0xFEA1, 0xFEA2, 0xFEA3, 0xFEA4}, {0x062E, 0xFEA5, 0xFEA6, 0xFEA7, 0xFEA8},
    {0x062F, 0xFEA9, 0xFEAA, 0xFEA9, 0xFEAA}, {0x0630, 0xFEAB, 0xFEAC, 0xFEAB, 0xFEAC},
    {0x0631, 0xFEAD, 0xFEAE, 0xFEAD, 0xFEAE}, {0x0632, 0xFEAF, 0xFEB0, 0xFEAF, 0xFEB0},
    {0x0633, 0xFEB1, 0xFEB2, 0xFEB3, 0xFEB4}, {0x0634, 0xFEB5, 0xFEB6, 0xFEB7, 0xFEB8},
    {0x0635, 0xFEB9, 0xFEBA, 0xFEBB, 0xFEBC}, {0x0636, 0xFEBD, 0xFEBE, 0xFEBF, 0xFEC0},
    {0x0637, 0xFEC1, 0xFEC2, 0xFEC3, 0xFEC4}, {0x0638, 0xFEC5, 0xFEC6, 0xFEC7, 0xFEC8},
    {0x0639, 0xFEC9, 0xFECA, 0xFECB, 0xFECC}, {0x063A, 0xFECD, 0xFECE, 0xFECF, 0xFED0},
    {0x0641, 0xFED1, 0xFED2, 0xFED3, 0xFED4}, {0x0642, 0xFED5, 0xFED6, 0xFED7, 0xFED8},
    {0x0643, 0xFED9, 0xFEDA, 0xFEDB, 0xFEDC}, {0x0644, 0xFEDD, 0xFEDE, 0xFEDF, 0xFEE0},
    {0x0645, 0xFEE1, 0xFEE2, 0xFEE3, 0xFEE4}, {0x0646, 0xFEE5, 0xFEE6, 0xFEE7, 0xFEE8},
    {0x0647, 0xFEE9, 0xFEEA, 0xFEEB, 0xFEEC}, {0x0648, 0xFEED, 0xFEEE, 0xFEED, 0xFEEE},
    {0x0649, 0xFEEF, 0xFEF0, 0xFBE8, 0xFBE9}, {0x064A, 0xFEF1, 0xFEF2, 0xFEF3, 0xFEF4},
};

constexpr char16_t kFormFirst = 0xFE80;
constexpr char16_t kFormLast = 0xFEF4;
constexpr int kFormCount = kFormLast - kFormFirst + 1; // 117

struct FormMap {
    char16_t letter[kFormCount];
};

// Presentation form -> letter. Every unit U+FE80..U+FEF4 (Arabic Presentation Forms-B up to
// the lam-alef ligatures) is one of the forms of the table above, so inverting the table gives
// the whole map; the static_assert below checks that no entry is left out.
constexpr FormMap make_form_map() {
    FormMap m{};
    for (const Forms& f : kForms) {
        const char16_t forms[4] = {f.isolated, f.final, f.initial, f.medial};
        for (char16_t u : forms)
            if (u >= kFormFirst && u <= kFormLast) m.letter[u - kFormFirst] = f.letter;
    }
    return m;
}

constexpr FormMap kFormMap = make_form_map();

constexpr bool form_map_complete() {
    for (char16_t l : kFormMap.letter)
        if (l == 0) return false;
    return true;
}
static_assert(form_map_complete(), "every presentation form U+FE80..U+FEF4 maps to a letter");

bool in_list(char16_t u, const char16_t* list, int n) {
    for (int i = 0; i < n; ++i)
        if (list[i] == u) return true;
    return false;
}

bool dual_joining(char16_t u) {
    return in_list(u, kDualJoining, static_cast<int>(sizeof kDualJoining / sizeof *kDualJoining));
}

bool joins_previous(char16_t u) {
    return dual_joining(u) ||
           in_list(u, kRightJoining,
                   static_cast<int>(sizeof kRightJoining / sizeof *kRightJoining));
}

const Forms* forms_of(char16_t u) {
    if (u >= 0x0621 && u <= 0x063A) return &kForms[u - 0x0621];
    if (u >= 0x0641 && u <= 0x064A) return &kForms[26 + (u - 0x0641)];
    return nullptr;
}

// Turns presentation forms back into letters, then gives every letter of the form table the
// form its neighbours call for. Joining looks at the units as they were before this pass.
void shape_arabic(char16_t* s, int n) {
    for (int i = 0; i < n; ++i) {
        char16_t u = s[i];
        if (u >= kFormFirst && u <= kFormLast)
            s[i] = kFormMap.letter[u - kFormFirst];
        else if (u == 0xFBE8 || u == 0xFBE9)
            s[i] = 0x0649;
    }
    char16_t prev = 0;
    for (int i = 0; i < n; ++i) {
        char16_t u = s[i];
        if (const Forms* f = forms_of(u)) {
            bool next_joins = i + 1 < n && joins_previous(s[i + 1]);
            bool prev_joins = i > 0 && dual_joining(prev);
            if (prev_joins && next_joins)
                s[i] = f->medial;
            else if (prev_joins)
                s[i] = f->final;
            else if (next_joins)
                s[i] = f->initial;
            else
                s[i] = f->isolated;
        }
        prev = u;
    }
}

// ---- UTF-8 codec ---------------------------------------------------------------------------

bool continuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// Units the decoder needs: every byte that is not a continuation byte, one more for each
// four-byte lead.
int utf8_units_needed(const unsigned char* s, int length) {
    int c = 0;
    for (int p = 0; p < length; ++p) {
        if (!continuation(s[p])) ++c;
        if (s[p] >= 0xF0 && s[p] <= 0xF7) ++c;
    }
    return c;
}

// Decodes into out; a unit is stored only when it fits, the count goes on regardless.
int utf8_decode(const unsigned char* s, int length, char16_t* out, int out_size) {
    int c = 0;
    auto put = [&](char16_t u) {
        if (c < out_size) out[c] = u;
        ++c;
    };
    int p = 0;
    while (p < length) {
        unsigned char b = s[p];
        int rest = length - p - 1; // bytes after b
        if (b < 0x80) {
            put(b);
            p += 1;
        } else if (b >= 0xC0 && b <= 0xDF) {
            if (rest >= 1 && continuation(s[p + 1])) {
                put(static_cast<char16_t>(((b & 0x1F) << 6) | (s[p + 1] & 0x3F)));
                p += 2;
            } else {
                put(kReplacement);
                p += 1;
            }
        } else if (b >= 0xE0 && b <= 0xEF) {
            if (rest < 2 || !continuation(s[p + 1])) {
                put(kReplacement);
                p += 1;
            } else if (!continuation(s[p + 2])) {
                put(kReplacement);
                p += 2;
            } else {
                put(static_cast<char16_t>(((b & 0x0F) << 12) | ((s[p + 1] & 0x3F) << 6) |
                                          (s[p + 2] & 0x3F)));
                p += 3;
            }
        } else if (b >= 0xF0 && b <= 0xF7) {
            if (rest < 3 || !continuation(s[p + 1]) || !continuation(s[p + 2]) ||
                !continuation(s[p + 3])) {
                put(kReplacement);
                p += 1;
            } else {
                uint32_t u = (uint32_t(b & 0x07) << 18) | (uint32_t(s[p + 1] & 0x3F) << 12) |
                             (uint32_t(s[p + 2] & 0x3F) << 6) | uint32_t(s[p + 3] & 0x3F);
                if (c + 2 <= out_size) {
                    out[c] = static_cast<char16_t>(0xD800 | (((u - 0x10000) >> 10) & 0x3FF));
                    out[c + 1] = static_cast<char16_t>(0xDC00 | (u & 0x3FF));
                }
                c += 2;
                p += 4;
            }
        } else {
            put(kReplacement);
            p += 1;
        }
    }
    if (c < out_size) out[c] = 0;
    return c;
}

bool high_surrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool low_surrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// Encodes into out (out null: size query). A character is stored only when all its bytes fit;
// the count advances by its size regardless.
int utf8_encode(const char16_t* w, int wlength, char* out, int out_size) {
    const bool query = !out || out_size == 0;
    int c = 0;
    auto fits = [&](int k) { return !query && c + k <= out_size; };
    for (int i = 0; i < wlength; ++i) {
        char16_t u = w[i];
        if (u < 0x80) {
            if (fits(1)) out[c] = static_cast<char>(u);
            c += 1;
        } else if (u < 0x800) {
            if (fits(2)) {
                out[c] = static_cast<char>(0xC0 | (u >> 6));
                out[c + 1] = static_cast<char>(0x80 | (u & 0x3F));
            }
            c += 2;
        } else if (high_surrogate(u)) {
            bool paired = i + 1 < wlength && low_surrogate(w[i + 1]);
            if (!fits(4)) {
                // Counted as a full four-byte character, paired or not.
                c += 4;
            } else if (paired) {
                uint32_t cp = 0x10000 + ((uint32_t(u) - 0xD800) << 10) + (w[i + 1] - 0xDC00u);
                out[c] = static_cast<char>(0xF0 | (cp >> 18));
                out[c + 1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
                out[c + 2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                out[c + 3] = static_cast<char>(0x80 | (cp & 0x3F));
                c += 4;
            } else {
                out[c] = '?';
                c += 1;
            }
            if (paired) ++i;
        } else {
            if (fits(3)) {
                out[c] = static_cast<char>(0xE0 | (u >> 12));
                out[c + 1] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
                out[c + 2] = static_cast<char>(0x80 | (u & 0x3F));
            }
            c += 3;
        }
    }
    if (!query && c < out_size) out[c] = 0;
    return c;
}

} // namespace

int to_wide(int codepage, const char* text, int length, char16_t* out, int out_size) {
    const bool query = !out || out_size <= 0;
    if (!query && length <= 0) {
        out[0] = 0;
        return 1;
    }
    if (length < 0 || !text) length = 0;
    int result = 0;
    if (codepage == kUtf8) {
        const auto* s = reinterpret_cast<const unsigned char*>(text);
        if (query) {
            result = utf8_units_needed(s, length);
        } else {
            result = utf8_decode(s, length, out, out_size);
            shape_arabic(out, result < out_size ? result : out_size);
        }
    }
    if (result == 0 && length > 0) {
        int r = platform::system_to_wide(codepage, text, length, query ? nullptr : out,
                                         query ? 0 : out_size);
        if (r > 0) {
            result = r;
            if (!query && r < out_size) out[r] = 0;
        }
    }
    if (result == 0) {
        // Byte for unit, each byte taken as a signed char (0x80..0xFF become U+FF80..U+FFFF).
        int n = length;
        if (query) return n + 1;
        if (n + 1 > out_size) return 0;
        for (int i = 0; i < n; ++i)
            out[i] = static_cast<char16_t>(static_cast<int16_t>(static_cast<signed char>(text[i])));
        out[n] = 0;
        return n + 1;
    }
    return result;
}

int from_wide(int codepage, const char16_t* wtext, int wlength, char* out, int out_size) {
    const bool query = !out || out_size <= 0;
    if (wlength < 0 || !wtext) wlength = 0;
    if (!query && wlength == 0) {
        out[0] = 0;
        return 1;
    }
    int result = 0;
    if (codepage == kUtf8) result = utf8_encode(wtext, wlength, query ? nullptr : out, out_size);
    if (result == 0 && wlength > 0) {
        int r = platform::system_from_wide(codepage, wtext, wlength, query ? nullptr : out,
                                           query ? 0 : out_size);
        if (r > 0) {
            result = r;
            if (!query && r < out_size) out[r] = 0;
        }
    }
    if (result == 0) {
        // Each unit becomes its low byte; a unit with a zero low byte becomes a question mark
        // so that it does not end the text.
        int n = wlength;
        if (query) return n + 1;
        if (n + 1 > out_size) return 0;
        for (int i = 0; i < n; ++i) {
            char16_t u = wtext[i];
            out[i] = (u != 0 && (u & 0xFF) == 0) ? '?' : static_cast<char>(u & 0xFF);
        }
        out[n] = 0;
        return n + 1;
    }
    return result;
}

std::u16string platform::path_to_utf16(const char* text, size_t length) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    const int n = static_cast<int>(length);
    std::u16string out(static_cast<size_t>(utf8_units_needed(s, n)) + 1, u'\0');
    out.resize(static_cast<size_t>(utf8_decode(s, n, out.data(), static_cast<int>(out.size()))));
    return out;
}

std::string platform::path_from_utf16(const char16_t* w, size_t wlength) {
    std::string out;
    out.reserve(wlength * 3);
    auto put3 = [&](uint32_t u) {
        out += static_cast<char>(0xE0 | (u >> 12));
        out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    };
    for (size_t i = 0; i < wlength; ++i) {
        const uint32_t u = w[i];
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else if (high_surrogate(static_cast<char16_t>(u)) && i + 1 < wlength &&
                   low_surrogate(w[i + 1])) {
            const uint32_t cp = 0x10000 + ((u - 0xD800) << 10) + (w[++i] - 0xDC00u);
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            put3(u); // a lone surrogate too
        }
    }
    return out;
}

DUString::DUString(const char* text, int length, int codepage) {
    if (!text) text = "";
    if (length < 0) length = static_cast<int>(std::strlen(text));
    unidades_ = length + 20;
    texto_ = new char16_t[static_cast<size_t>(unidades_)];
    if (codepage == 0) codepage = kDefault;
    if (to_wide(codepage, text, length, texto_, unidades_) == 0) texto_[0] = 0;
}

DUString::~DUString() {
    delete[] texto_;
}
