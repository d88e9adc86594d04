// Windows gives a GUI program valid standard handles or none, has no broken-pipe signal and
// no termination request a program can outlive: only the console's Ctrl-C is counted.
#include "platform/process.h"
#include "platform/console.h"

namespace platform::process {

void start() {}

int take_interrupts() {
    return console::take_interrupts();
}

int termination_signal() {
    return 0;
}

int exit_code(int) {
    return 0;
}

bool answers_help() {
    return false;
}

} // namespace platform::process
