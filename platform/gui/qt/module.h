#pragma once
// What passes between the program and the window module, which is loaded at run time so that
// a program that shows no window never loads the toolkit.
#include "platform/gui/gui.h"

namespace gui::qt {

// What the program lends the module: the interrupts (Ctrl-C, termination requests) counted
// since the last call, which the window takes as its button and then its close box.
struct Host {
    int (*take_interrupts)();
};

// The module's one entry: its application object. platform names the toolkit's platform to
// use ("xcb", "wayland"), or is null to leave the choice to the toolkit and its settings.
using CreateFunction = Application* (*)(const Host* host, const char* platform);
inline constexpr const char* kCreateSymbol = "lumbrake_qt_application";
// The module's file name, looked for next to the program.
inline constexpr const char* kModuleName = "lumbrake-qt.so";

} // namespace gui::qt
