#pragma once
// The identity of a folder on its volume, to tell whether two paths name the same folder
// whatever their spelling (relative parts, links, letter case).
#include <cstdint>

namespace platform {

struct FolderId {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FolderId&) const = default;
};

// path: a UTF-8 library path. False when it does not name an existing folder.
bool folder_id(const char* path, FolderId& id);

} // namespace platform
