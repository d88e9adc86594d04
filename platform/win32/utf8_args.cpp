#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/utf8_args.h"

namespace platform {

void utf8_arguments(int& argc, char**& argv) {
    // The application manifest makes UTF-8 the active code page where the system supports
    // it; the runtime's vector is then UTF-8 already.
    if (::GetACP() == CP_UTF8) return;
    int n = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &n);
    if (!wide) return;
    static std::vector<std::string> texts;
    static std::vector<char*> pointers;
    texts.assign(static_cast<size_t>(n), std::string());
    for (int i = 0; i < n; ++i) {
        int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        if (bytes > 0) {
            texts[i].resize(static_cast<size_t>(bytes));
            ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, texts[i].data(), bytes, nullptr,
                                  nullptr);
            texts[i].resize(static_cast<size_t>(bytes - 1));
        }
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
