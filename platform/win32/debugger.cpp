#include <windows.h>

#include "platform/debugger.h"

namespace platform {
namespace {
bool version_is_nt() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = 148; // the plain record, not the extended one
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&info)) return false;
#pragma GCC diagnostic pop
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool debugger_present() {
    HMODULE kernel = LoadLibraryA("kernel32.dll"); // kept loaded for the process
    if (!kernel) return false;
    using Fn = BOOL(WINAPI*)();
    auto fn =
        reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, "IsDebuggerPresent")));
    return fn && fn() != 0;
}

void debug_break() {
    DebugBreak();
}
} // namespace

DebuggerOps& debugger() {
    static DebuggerOps ops{version_is_nt, debugger_present, debug_break};
    return ops;
}

} // namespace platform
