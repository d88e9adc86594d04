#pragma once
// The bridge between 8-bit text in a code page and UTF-16. UTF-8 (65001) goes through the
// library's own codec, which also shapes Arabic letters; other code pages go to the system,
// with a byte-for-unit fallback when the system refuses.
#include <cstddef>
#include <cstdint>
#include <string>

// The code page number of UTF-8, the library's text.
inline constexpr int kUtf8CodePage = 65001;

// Converts length bytes of text to UTF-16. With out null (or out_size 0) returns the units
// needed; otherwise writes the units and a NUL and returns the count (0: nothing converted).
int to_wide(int codepage, const char* text, int length, char16_t* out, int out_size);
// Converts wlength UTF-16 units to bytes in the code page; same conventions, in bytes.
int from_wide(int codepage, const char16_t* wtext, int wlength, char* out, int out_size);

// A short-lived UTF-16 copy of an 8-bit text, built for one wide-character system call.
class DUString {
  public:
    DUString(const char* text, int length = -1, int codepage = 0);
    ~DUString();
    DUString(const DUString&) = delete;
    DUString& operator=(const DUString&) = delete;

    const char16_t* texto() const { return texto_; }
    int unidades() const { return unidades_; }

  private:
    char16_t* texto_;
    int unidades_;
};

namespace platform {
// Paths and names are not display text: they reach the system exactly as they are and come
// back unchanged. These two are each other's inverse, with no shaping; a lone surrogate of a
// name travels as its own three-byte sequence (as Windows names may hold one), and a pair
// written as two such sequences reads back as the pair. Bytes that are not UTF-8 at all
// become U+FFFD; no system name produces them.
std::u16string path_to_utf16(const char* text, size_t length);
std::string path_from_utf16(const char16_t* wtext, size_t wlength);

// The system's conversion for code pages other than UTF-8. 0 and 1 stand for the system's
// 8-bit (ANSI) code page. Same result conventions as to_wide/from_wide; 0 when refused.
int system_to_wide(int codepage, const char* text, int length, char16_t* out, int out_size);
int system_from_wide(int codepage, const char16_t* wtext, int wlength, char* out, int out_size);
} // namespace platform
