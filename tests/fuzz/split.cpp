// DString::split: never more items than asked for, every item tagged, and with empty items
// kept and no limit the items joined by the one separator give the text back (less a
// trailing separator).
#include "check.h"
#include "core/vector.h"
#include "text/dstring.h"

FUZZ_TARGET(3, 4096) {
    int max_items = static_cast<int8_t>(data[0]);
    bool keep_empty = data[1] & 1;
    char sep[2] = {static_cast<char>(data[2] ? data[2] : ','), 0};
    const std::string text = text_of(data + 3, size - 3);

    DString s(text.c_str());
    Vector<DString> items(10, 10);
    check(s.split(sep, items, max_items, keep_empty, 1252));
    check(s.str() == text);
    if (max_items >= 0) check(items.Count() <= max_items);
    size_t total = 0;
    std::string joined;
    for (int i = items.First(); i < items.First() + items.Count(); ++i) {
        check(items.Exists(i));
        const DString* item = items.Get(i);
        check(item->get_codepage() == 1252);
        total += static_cast<size_t>(item->length());
        if (i > items.First()) joined += sep[0];
        joined += item->c_str();
    }
    check(total <= text.size());
    if (keep_empty && max_items < 0) {
        if (!text.empty() && text.back() == sep[0]) joined += sep[0];
        check(joined == text);
    }
}
