#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <cwchar>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/utf8_args.h"

namespace platform {

void utf8_arguments(int& argc, char**& argv) {
    // The runtime's vector is in the active code page, whose conversion is not exact for
    // every name: the arguments are taken from the wide command line instead.
    int n = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &n);
    if (!wide) return;
    static std::vector<std::string> texts;
    static std::vector<char*> pointers;
    texts.assign(static_cast<size_t>(n), std::string());
    for (int i = 0; i < n; ++i) {
        texts[i] =
            path_from_utf16(reinterpret_cast<const char16_t*>(wide[i]), std::wcslen(wide[i]));
    }
    ::LocalFree(wide);
    pointers.clear();
    for (std::string& t : texts)
        pointers.push_back(t.data());
    pointers.push_back(nullptr);
    argc = n;
    argv = pointers.data();
}

} // namespace platform
