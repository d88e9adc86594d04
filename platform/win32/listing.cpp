// The directory listing over the Windows find calls. Links (reparse points; Wine marks Unix
// links so, with tag 0) are listed as links; which of them a walk follows is decided above.
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

#include "platform/codepage.h"
#include "platform/fs_services.h"
#include "platform/win32/listed.h"
#include "platform/win32/wide_path.h"

namespace platform {
namespace {

struct Search {
    HANDLE find = INVALID_HANDLE_VALUE;
};

void fill(const WIN32_FIND_DATAW& d, FindRecord* rec) {
    rec->attributes = d.dwFileAttributes & ~FILE_ATTRIBUTE_REPARSE_POINT;
    rec->link = (d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    rec->size = (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
    const std::string name =
        path_from_utf16(reinterpret_cast<const char16_t*>(d.cFileName), std::wcslen(d.cFileName));
    if (name.size() >= sizeof rec->name)
        rec->name[0] = 0;
    else
        std::memcpy(rec->name, name.c_str(), name.size() + 1);
}

ListingEnd end_of_listing(DWORD error) {
    switch (error) {
    case ERROR_NO_MORE_FILES:
    case ERROR_FILE_NOT_FOUND: // nothing matches in an existing folder
        return ListingEnd::complete;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
        return ListingEnd::missing;
    default:
        return ListingEnd::failed;
    }
}

} // namespace

namespace service {

FindHandle find_first(const char* pattern, FindRecord* rec, ListingEnd* end) {
    auto s = std::make_unique<Search>();
    WIN32_FIND_DATAW d;
    s->find = FindFirstFileW(wide_path(pattern).c_str(), &d);
    if (s->find == INVALID_HANDLE_VALUE) {
        *end = end_of_listing(GetLastError());
        return nullptr;
    }
    fill(d, rec);
    return s.release();
}

bool find_next(FindHandle search, FindRecord* rec, ListingEnd* end) {
    auto* s = static_cast<Search*>(search);
    WIN32_FIND_DATAW d;
    if (!FindNextFileW(s->find, &d)) {
        *end = end_of_listing(GetLastError());
        return false;
    }
    fill(d, rec);
    return true;
}

void find_close(FindHandle search) {
    auto* s = static_cast<Search*>(search);
    FindClose(s->find);
    delete s;
}

const ListedEntry* listed(FindHandle) {
    return nullptr;
}

} // namespace service
} // namespace platform
