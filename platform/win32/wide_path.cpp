#include "platform/win32/wide_path.h"

#include <windows.h>

#include <cstring>

#include "platform/codepage.h"

namespace platform {

std::wstring extended_path(std::wstring w) {
    if (w.size() < kLongPath || w.rfind(L"\\\\?\\", 0) == 0) return w;
    DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
    if (n == 0) return w;
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(w.c_str(), n, full.data(), nullptr);
    full.resize(n);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return w;
}

std::wstring wide_path(const char* path, int codepage) {
    if (codepage == 0 || codepage == kUtf8CodePage) {
        // A name reaches the system exactly as it was listed: no shaping, no replacement.
        const std::u16string u = path_to_utf16(path, std::strlen(path));
        return extended_path(std::wstring(u.begin(), u.end()));
    }
    DUString u(path, -1, codepage);
    return extended_path(reinterpret_cast<const wchar_t*>(u.texto()));
}

} // namespace platform
