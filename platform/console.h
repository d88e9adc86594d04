#pragma once
// The text console: whether a stream is a terminal, its width, and interrupts (Ctrl-C,
// termination requests) counted instead of ending the process.
#include <string>

namespace platform::console {

// Console output takes UTF-8; interrupts are counted from now on.
void prepare();
// fd 1 (standard output) or 2 (standard error).
bool is_terminal(int fd);
// Columns of the terminal on standard output; 80 when unknown.
int columns();
// The interrupts received since the last call.
int take_interrupts();

} // namespace platform::console
