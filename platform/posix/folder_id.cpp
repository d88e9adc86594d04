#include <sys/stat.h>

#include "platform/folder_id.h"
#include "platform/posix/calls.h"
#include "platform/posix/native_path.h"

namespace platform {

bool folder_id(const char* path, FolderId& id) {
    struct stat st {};
    if (posix_calls().stat(native_path(path).c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    id.volume = static_cast<uint64_t>(st.st_dev);
    id.index = static_cast<uint64_t>(st.st_ino);
    return true;
}

} // namespace platform
