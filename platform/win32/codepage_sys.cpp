// The system's code-page conversion on Windows. The library's mark 1 for the ANSI code page is
// passed to the system as 0 (CP_ACP).
#include <windows.h>

#include "platform/codepage.h"

namespace platform {

int system_to_wide(int codepage, const char* text, int length, char16_t* out, int out_size) {
    if (length <= 0) return 0;
    bool query = !out || out_size <= 0;
    UINT cp = codepage == 1 ? 0 : static_cast<UINT>(codepage);
    int r = MultiByteToWideChar(
        cp, 0, text, length, query ? nullptr : reinterpret_cast<LPWSTR>(out), query ? 0 : out_size);
    return r > 0 ? r : 0;
}

int system_from_wide(int codepage, const char16_t* wtext, int wlength, char* out, int out_size) {
    if (wlength <= 0) return 0;
    bool query = !out || out_size <= 0;
    UINT cp = codepage == 1 ? 0 : static_cast<UINT>(codepage);
    int r = WideCharToMultiByte(cp, 0, reinterpret_cast<LPCWSTR>(wtext), wlength,
                                query ? nullptr : out, query ? 0 : out_size, nullptr, nullptr);
    return r > 0 ? r : 0;
}

} // namespace platform
