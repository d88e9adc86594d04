#include <windows.h>

#include <cstring>
#include <cwchar>

#include "platform/codepage.h"
#include "platform/drive.h"
#include "platform/win32/wide_path.h"

namespace platform {

std::string drive_root(const char* src_value) {
    if (!src_value) return {};
    return std::string(src_value, strnlen(src_value, 3));
}

std::string volume_root(const char* path) {
    std::wstring wide = wide_path(path);
    if (wide.rfind(L"\\\\?\\", 0) == 0) wide = wide.substr(4);
    std::wstring root(wide.size() + 2, L'\0');
    if (!GetVolumePathNameW(wide.c_str(), root.data(), static_cast<DWORD>(root.size())))
        return wide.size() >= 3 && wide[1] == L':'
                   ? path_from_utf16(reinterpret_cast<const char16_t*>(wide.c_str()), 3)
                   : std::string();
    root.resize(std::wcslen(root.c_str()));
    return path_from_utf16(reinterpret_cast<const char16_t*>(root.c_str()), root.size());
}

} // namespace platform
