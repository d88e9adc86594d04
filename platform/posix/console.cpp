#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>

#include "platform/console.h"

namespace platform::console {
namespace {
std::atomic<int> g_interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void on_signal(int) {
    g_interrupts.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

void prepare() {
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

bool is_terminal(int fd) {
    return isatty(fd) == 1;
}

int columns() {
    winsize ws{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
    return 80;
}

int take_interrupts() {
    return g_interrupts.exchange(0, std::memory_order_relaxed);
}

} // namespace platform::console
