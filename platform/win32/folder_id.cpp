#include <windows.h>

#include <vector>

#include "platform/folder_id.h"

namespace platform {

bool folder_id(const char* path, FolderId& id) {
    int n = ::MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
    if (n <= 0) return false;
    std::vector<wchar_t> wide(static_cast<size_t>(n));
    ::MultiByteToWideChar(CP_UTF8, 0, path, -1, wide.data(), n);
    // Folders open only with backup semantics; no access right is needed for the identity.
    HANDLE h = ::CreateFileW(wide.data(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = ::GetFileInformationByHandle(h, &info) &&
                    (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    ::CloseHandle(h);
    if (!ok) return false;
    id.volume = info.dwVolumeSerialNumber;
    id.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

} // namespace platform
