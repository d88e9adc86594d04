#include <windows.h>

#include <atomic>

#include "platform/console.h"

namespace platform::console {
namespace {
std::atomic<int> g_interrupts{0};

BOOL WINAPI on_control(DWORD type) {
    switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        g_interrupts.fetch_add(1, std::memory_order_relaxed);
        return TRUE;
    default:
        return FALSE;
    }
}
} // namespace

void prepare() {
    ::SetConsoleOutputCP(CP_UTF8);
    ::SetConsoleCtrlHandler(on_control, TRUE);
}

bool is_terminal(int fd) {
    HANDLE h = ::GetStdHandle(fd == 2 ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return h != INVALID_HANDLE_VALUE && ::GetConsoleMode(h, &mode);
}

int columns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_OUTPUT_HANDLE), &info)) {
        int w = info.srWindow.Right - info.srWindow.Left + 1;
        if (w > 0) return w;
    }
    return 80;
}

int take_interrupts() {
    return g_interrupts.exchange(0, std::memory_order_relaxed);
}

} // namespace platform::console
