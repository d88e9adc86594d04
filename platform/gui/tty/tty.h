#pragma once
// The terminal back-end's application object, for a program that chooses among back-ends.
#include "platform/gui/gui.h"

namespace gui {

Application& tty_application();

} // namespace gui
