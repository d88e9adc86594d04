#pragma once
// The choice between the window and the terminal line on a system with both.
#include <string>

#include "platform/gui/gui.h"

namespace gui::qt {

// The window's application object on the given toolkit platform (null: the toolkit's own
// choice), loading the module the first time; null with the reason in why when it cannot.
Application* load_window(const char* platform, std::string& why);

} // namespace gui::qt
