// The terminal line as the program's only back-end.
#include "platform/gui/tty/tty.h"

namespace gui {

Application& builtin_application() {
    return tty_application();
}

} // namespace gui
