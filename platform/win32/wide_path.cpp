#include "platform/win32/wide_path.h"

#include <windows.h>

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
    DUString u(path, -1, codepage);
    return extended_path(reinterpret_cast<const wchar_t*>(u.texto()));
}

} // namespace platform
