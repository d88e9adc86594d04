#include "text/dstring.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/vector.h"

const char DString::kEmpty[1] = {0};

DString::DString(const char* text) {
    if (!text || !*text) return;
    int len = static_cast<int>(std::strlen(text));
    reserve(len, true);
    std::memcpy(p_, text, static_cast<size_t>(len) + 1);
}

DString::DString(const DString& other) {
    if (other.is_empty()) return;
    int len = other.length();
    reserve(len, true);
    std::memcpy(p_, other.p_, static_cast<size_t>(len) + 1);
    set_codepage(other.get_codepage());
}

DString& DString::operator=(DString&& other) noexcept {
    if (this != &other) {
        release();
        p_ = other.p_;
        other.p_ = nullptr;
    }
    return *this;
}

DString DString::copy_of(const DString& source) {
    DString d;
    d.assign(source);
    return d;
}

void DString::release() {
    if (p_) {
        ::operator delete(header());
        p_ = nullptr;
    }
}

int DString::length() const {
    return p_ ? static_cast<int>(std::strlen(p_)) : 0;
}

int DString::capacity() const {
    return p_ ? header()->capacity : 0;
}

void DString::reserve(int n, bool with_slack) {
    if (n < 0) return;
    int64_t need = with_slack ? int64_t(n) + 2 : n;
    int64_t cap;
    if (!p_) {
        cap = with_slack ? need + 13 : need;
    } else {
        if (need <= header()->capacity) return;
        cap = with_slack ? (need * 3) / 2 + 11 : need;
    }
    if (cap < 1) cap = 1; // room for the terminating NUL even for reserve(0, exact)
    auto* h = static_cast<Header*>(::operator new(sizeof(Header) + static_cast<size_t>(cap)));
    char* text = reinterpret_cast<char*>(h + 1);
    h->capacity = static_cast<int32_t>(cap);
    if (p_) {
        Header* old = header();
        std::memcpy(text, p_, static_cast<size_t>(old->capacity));
        h->codepage = old->codepage;
        h->mark = old->mark;
        ::operator delete(old);
    } else {
        text[0] = 0;
        h->codepage = kDefaultCodePage;
        h->mark = 1;
    }
    p_ = text;
}

char* DString::buffer(int n) {
    reserve(n + 2, false);
    return p_;
}

DString& DString::assign(const char* text) {
    if (!text || !*text) {
        if (!is_empty()) *p_ = 0;
        return *this;
    }
    int len = static_cast<int>(std::strlen(text));
    reserve(len + 1, false);
    std::memcpy(p_, text, static_cast<size_t>(len) + 1);
    return *this;
}

DString& DString::assign(const DString& source) {
    if (this == &source) {
        set_codepage(source.get_codepage());
        return *this;
    }
    if (!source.is_empty()) {
        int len = source.length();
        reserve(len + 1, false);
        std::memcpy(p_, source.p_, static_cast<size_t>(len) + 1);
    } else if (p_) {
        *p_ = 0;
    }
    set_codepage(source.get_codepage());
    return *this;
}

DString& DString::append(const char* text) {
    if (!text) return *this;
    int len = length();
    int add = static_cast<int>(std::strlen(text));
    reserve(len + add, true);
    std::memcpy(p_ + len, text, static_cast<size_t>(add) + 1);
    return *this;
}

DString& DString::append(const DString& source) {
    if (length() == 0) set_codepage(source.get_codepage());
    if (this == &source) {
        DString copy(source);
        return append(copy.c_str());
    }
    int len = length();
    int add = source.length();
    reserve(len + add, true);
    std::memcpy(p_ + len, source.c_str(), static_cast<size_t>(add) + 1);
    return *this;
}

DString& DString::append(char c) {
    int k = c ? 1 : 0;
    int len = length();
    reserve(len + k + 1, true);
    p_[len] = c;
    p_[len + k] = 0;
    return *this;
}

DString& DString::append_int(int32_t v) {
    char digits[16];
    int n = std::snprintf(digits, sizeof digits, "%ld", static_cast<long>(v));
    int len = length();
    reserve(len + n + 1, true);
    std::memcpy(p_ + len, digits, static_cast<size_t>(n) + 1);
    return *this;
}

DString& DString::append_byte(uint8_t v) {
    return append_int(v);
}

int DString::compare(const char* text) const {
    if (!text || !*text) return is_empty() ? 0 : 1;
    if (is_empty()) return -1;
    return std::strcmp(p_, text);
}

int DString::compare_n(const char* text, int n) const {
    if (!text) return is_empty() ? 0 : 1;
    if (is_empty()) return 1;
    return n <= 0 ? 0 : std::strncmp(p_, text, static_cast<size_t>(n));
}

char DString::char_at(int i) const {
    return (i >= 0 && i < length()) ? p_[i] : 0;
}

char DString::last_char() {
    int len = length();
    if (len == 0) {
        reserve(2, true);
        return 0;
    }
    return p_[len - 1];
}

char* DString::pos_ptr(int n) {
    if (n < 0) throw "Error DString n<0";
    reserve(n + 1, true);
    return p_ + n;
}

int DString::find_char(char c) const {
    if (!p_) return c ? -1 : 0;
    const char* q = std::strchr(p_, c);
    return q ? static_cast<int>(q - p_) : -1;
}

int DString::find_last_char(char c) const {
    if (!p_) return c ? -1 : 0;
    const char* q = std::strrchr(p_, c);
    return q ? static_cast<int>(q - p_) : -1;
}

int DString::find_char_from(char c, int start) const {
    if (!p_) return -1;
    int len = length();
    if (start < 0 || start > len) return -1;
    const char* q = std::strchr(p_ + start, c);
    return q ? static_cast<int>(q - p_) : -1;
}

int DString::cut_at_last(char c) {
    int p = find_last_char(c);
    if (p >= 0) p_[p] = 0;
    return p;
}

int DString::replace_char(char from, char to) {
    if (from == to) return 0;
    int count = 0;
    for (int p = find_last_char(from); p >= 0; p = find_last_char(from)) {
        *pos_ptr(p) = to;
        ++count;
    }
    return count;
}

void DString::trim_blanks() {
    buffer(0);
    int len = length();
    int end = len;
    while (end > 0 && p_[end - 1] == ' ')
        --end;
    p_[end] = 0;
    int start = 0;
    while (start < end && p_[start] == ' ')
        ++start;
    if (start > 0) std::memmove(p_, p_ + start, static_cast<size_t>(end - start) + 1);
}

void DString::drop_first(int n) {
    int len = length();
    if (len == 0) return;
    if (len <= n) {
        *p_ = 0;
        return;
    }
    if (n > 0) std::memmove(p_, p_ + n, static_cast<size_t>(len - n) + 1);
}

bool DString::strip_quotes(char q) {
    if (!q) q = '"';
    trim_blanks();
    int last = length() - 1;
    if (last < 1) return false;
    if (p_[last] != q) return false;
    p_[last] = 0;
    if (p_[0] != q) return false;
    drop_first(1);
    return true;
}

int32_t DString::to_int() const {
    if (is_empty()) return 0;
    if (p_[0] == '0' && p_[1] == 'x') {
        unsigned int v = 0;
        if (std::sscanf(p_ + 2, "%X", &v) != 1) return 0;
        return static_cast<int32_t>(v);
    }
    // Read like a 32-bit atol: out-of-range values stop at the 32-bit limits on every platform
    // (a 64-bit long would otherwise wrap when narrowed).
    long long v = std::strtoll(p_, nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

int DString::next_field(const char* separators) const {
    if (!p_) return -1;
    const char* seps = separators ? separators : "";
    bool quoted = false;
    int i = 0;
    for (; p_[i]; ++i) {
        if (p_[i] == '"')
            quoted = !quoted;
        else if (!quoted && std::strchr(seps, p_[i]))
            break;
    }
    if (!p_[i]) return -1;
    while (p_[i] && std::strchr(seps, p_[i]))
        ++i;
    return p_[i] ? i : -1;
}

void DString::set_codepage(int cp) {
    if (cp < 0 || cp == 2) cp = kDefaultCodePage;
    if (!p_) reserve(1, true);
    header()->codepage = static_cast<uint16_t>(cp);
}

int DString::get_codepage() const {
    if (!p_ || header()->codepage == 0) return kDefaultCodePage;
    return header()->codepage;
}

bool DString::split(const char* separators, VectorI<DString>& list, int max_items, bool keep_empty,
                    int codepage) const {
    list.clear();
    const char* seps = separators ? separators : "";
    int len = length();
    int start = 0;
    auto add_item = [&](int from, int to) {
        DString* item = list.Add(-1);
        item->set_codepage(codepage);
        if (to > from) {
            std::string part(p_ + from, static_cast<size_t>(to - from));
            item->append(part.c_str());
        }
    };
    for (int i = 0; i < len; ++i) {
        char c = p_[i];
        if (!std::strchr(seps, c)) continue;
        if (i == 0 && !keep_empty) continue;
        if (max_items >= 0 && list.Count() >= max_items) continue;
        if (start < i || keep_empty) add_item(start, i);
        start = i + 1;
    }
    if ((max_items < 0 || list.Count() < max_items) && start != len) {
        add_item(start, len);
    } else if (list.Count() == max_items && start < len && list.Count() > 0) {
        list.Get(list.First() + list.Count() - 1)->append(p_ + start - 1);
    }
    return true;
}

DString operator+(const DString& a, const char* b) {
    DString r(a);
    r.append(b);
    return r;
}

DString operator+(const DString& a, const DString& b) {
    DString r(a);
    r.append(b);
    return r;
}
