// The reader of the library's text data files: items end at a line end or at a ";" that
// starts a comment, blank and comment lines are skipped, and fields within an item are
// separated by blanks outside double quotes.
#include <string>

#include "file/fichero.h"

namespace {
constexpr int32_t kDefaultItemLength = 20000;

bool is_blank(char c) {
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}
bool ends_item(char c) {
    return c == '\n' || c == '\r' || c == ';' || c == 0 || static_cast<unsigned char>(c) == 0xFF;
}
bool is_line_end(char c) {
    return c == '\n' || c == '\r';
}
} // namespace

bool TFicheroOrv::detect_bom() {
    if (codePage != -1) return false;
    int64_t p = tell64();
    auto b0 = static_cast<unsigned char>(read_byte());
    if (b0 != 0xFF && b0 != 0xEF && b0 != 0xFE) {
        seek64(p);
        return false;
    }
    auto b1 = static_cast<unsigned char>(read_byte());
    if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) {
        codePage = 0;
        return true;
    }
    auto b2 = static_cast<unsigned char>(read_byte());
    if (b0 == 0xEF && b1 == 0xBB && b2 == 0xBF) {
        codePage = kUtf8CodePage;
        return true;
    }
    seek64(p);
    codePage = 0;
    return false;
}

void TFicheroOrv::write_bom(int32_t cp) {
    static const unsigned char mark[3] = {0xEF, 0xBB, 0xBF};
    if (cp == kUtf8CodePage && tell() <= 0) write(mark, 3);
}

char TFicheroOrv::get_char() {
    if (pushBackCount > 0) {
        atEnd_ = false;
        --pushBackCount;
        return pushBack.data()[pushBackCount];
    }
    char c = 0;
    atEnd_ = !read(&c, 1);
    return atEnd_ ? 0 : c;
}

void TFicheroOrv::unget_char(char c) {
    // pushBack is a raw stack: only its first pushBackCount bytes count, a NUL included.
    char* p = pushBack.pos_ptr(pushBackCount + 1);
    p[-1] = c;
    p[0] = 0;
    ++pushBackCount;
}

void TFicheroOrv::unget_text(const DString& text) {
    for (int i = text.length() - 1; i >= 0; --i)
        unget_char(text.char_at(i));
}

int32_t TFicheroOrv::read_item(DString& out, int32_t maxLen) {
    if (maxLen < 1) maxLen = kDefaultItemLength;
    // CR counts one line; LF counts one unless it follows a CR.
    auto count_line = [this](char c) {
        if (c == '\r' || (c == '\n' && lastChar != '\r')) ++lineCount;
    };
    std::string item;
    int32_t line = lineCount;
    char c = lastChar;
    for (;;) {
        item.clear();
        do {
            lastChar = c;
            c = get_char();
            count_line(c);
        } while (is_blank(c) && !atEnd_);
        while (!atEnd_ && !ends_item(c)) {
            if (static_cast<int32_t>(item.size()) < maxLen - 1) item += c;
            lastChar = c;
            c = get_char();
        }
        line = lineCount;
        count_line(c);
        if (c == ';') {
            do {
                lastChar = c;
                c = get_char();
                count_line(c);
            } while (!is_line_end(c) && !atEnd_);
        }
        if (!item.empty() || atEnd_) break;
    }
    lastChar = c;
    size_t keep = item.find_last_not_of(" \t");
    item.resize(keep == std::string::npos ? std::min<size_t>(item.size(), 1) : keep + 1);
    if (item == "VOID") item.clear();
    out.assign(item.c_str());
    to_internal_codepage(out);
    return line;
}

int32_t TFicheroOrv::get_dato_texto(DString& out) {
    if (!(mode & FITX_TEXT) || !(mode & FITX_READ)) throw "Error en get_dato_texto";
    DString item;
    int32_t line = read_item(item);
    char end = lastChar; // the character that ended the item
    bool at_end = atEnd_;
    int k = item.next_field(separators.c_str());
    out = item;
    if (k >= 0) {
        // The rest of the item goes back, followed by the character that ended it, so that
        // the rest ends where the item ended whatever the file's line ends are: CR LF, LF
        // or CR. That line end is counted again when it is read, hence the decrement.
        if (!at_end) {
            unget_char(end);
            if (is_line_end(end)) --lineCount;
        }
        unget_text(item.c_str() + k);
        *out.pos_ptr(k) = 0;
    }
    return line;
}

TFicheroOrv& TFicheroOrv::read_int(int32_t& out) {
    if (mode & FITX_TEXT) {
        DString field;
        get_dato_texto(field);
        out = field.to_int();
    }
    if (mode & FITX_BINARY) {
        // Little-endian bytes; after a short read the bytes not read keep their old value.
        auto v = static_cast<uint32_t>(out);
        unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                              static_cast<unsigned char>(v >> 16),
                              static_cast<unsigned char>(v >> 24)};
        read(b, 4);
        out = static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                                   static_cast<uint32_t>(b[2]) << 16 |
                                   static_cast<uint32_t>(b[3]) << 24);
    }
    return *this;
}

void TFicheroOrv::to_internal_codepage(DString& item) {
    if (codePage >= 0 && codePage != kDefaultCodePage) {
        item.set_codepage(codePage);
        item.convert_codepage(kDefaultCodePage);
    }
}
