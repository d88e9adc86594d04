#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/console.h"
#include "platform/process.h"

namespace platform::console {

// main has already done this; doing it again changes nothing.
void prepare() {
    process::start();
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
    return process::take_interrupts();
}

} // namespace platform::console
