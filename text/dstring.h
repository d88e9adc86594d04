#pragma once
// DString: the library's string. One pointer to a heap block that holds a small header
// (capacity, code page, mark) followed by a NUL-terminated 8-bit text. A null pointer is
// the empty string; copies are deep.
#include <cstdint>
#include <string>

#include "platform/codepage.h"
#include "platform/ustring.h"

template <class T> class VectorI;

// The code page of a text whose tag says 0: UTF-8, and nothing changes it.
inline constexpr int kDefaultCodePage = kUtf8CodePage;

class DString {
  public:
    DString() = default;
    DString(const char* text); // NOLINT: implicit on purpose, texts are built from literals
    DString(const DString& other);
    DString(DString&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    ~DString() { release(); }

    DString& operator=(const DString& other) { return assign(other); }
    DString& operator=(DString&& other) noexcept;
    DString& operator=(const char* text) { return assign(text); }

    // Builds a copy the second way: an empty string followed by assign(DString), so the
    // result always has a block carrying the source's code page.
    static DString copy_of(const DString& source);

    void release();
    void reserve(int n, bool with_slack);
    char* buffer(int n);
    char* data() const { return p_; }
    const char* c_str() const { return p_ ? p_ : kEmpty; }
    int length() const;
    bool is_empty() const { return !p_ || !*p_; }
    void clear() {
        if (p_) *p_ = 0;
    }
    int capacity() const; // usable bytes of the block, 0 without one

    DString& assign(const char* text);
    DString& assign(const DString& source);
    DString& append(const char* text);
    DString& append(const DString& source);
    DString& append(char c);
    DString& append_int(int32_t v);
    DString& append_byte(uint8_t v);

    int compare(const char* text) const;
    bool equals(const char* text) const { return compare(text) == 0; }
    int compare_n(const char* text, int n) const;

    char char_at(int i) const;
    char last_char();
    char* pos_ptr(int n);
    int find_char(char c) const;
    int find_last_char(char c) const;
    int find_char_from(char c, int start) const;
    int cut_at_last(char c);
    int replace_char(char from, char to);

    void trim_blanks();
    void drop_first(int n);
    bool strip_quotes(char q = 0);
    int32_t to_int() const;
    int next_field(const char* separators) const;

    void set_codepage(int cp);
    int get_codepage() const;

    bool split(const char* separators, VectorI<DString>& list, int max_items, bool keep_empty,
               int codepage) const;

    // Conversions between this string's code page and UTF-16.
    void assign_wide(const char16_t* wtext, int wlength);
    void convert_codepage(int target);
    UnicodeString to_unicode_string() const;

    std::string str() const { return c_str(); }

  private:
    struct Header {
        int32_t capacity;
        uint16_t codepage;
        int16_t mark;
    };
    Header* header() const { return reinterpret_cast<Header*>(p_) - 1; }

    static const char kEmpty[1];
    char* p_ = nullptr;
};

// Concatenation for building messages; the left operand's code page is kept.
DString operator+(const DString& a, const char* b);
DString operator+(const DString& a, const DString& b);
