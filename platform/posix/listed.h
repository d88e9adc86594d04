#pragma once
// The entry that the listing under way on this thread returned last. A walk asks about the
// entry it was just given (its attributes, then open it for its size): those questions are
// answered from the listing's own status and directory descriptor, without resolving the
// whole path again. Anything on this thread that changes the file system forgets it.
#include <sys/stat.h>

#include <string>

namespace platform {

struct ListedEntry {
    const void* search = nullptr; // the listing; null when nothing is remembered
    int dir_fd = -1;              // the listed folder, open while the listing is
    std::string path;             // native
    size_t name_at = 0;           // where the entry's name begins in path
    struct stat st {};
};

void remember_listed(const void* search, int dir_fd, const std::string& folder, const char* name,
                     const struct stat& st);
// Forgets the entry of the given listing, or any with null.
void forget_listed(const void* search = nullptr);
// The remembered entry when native is its path; null otherwise.
const ListedEntry* listed_entry(const std::string& native);

} // namespace platform
