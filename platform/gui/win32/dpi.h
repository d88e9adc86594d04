#pragma once
// The window's DPI, the window size for a client area at a DPI, and the hand-over of what was
// drawn to the screen. The program is per-monitor DPI aware; the functions of newer systems
// (per-monitor DPI of Windows 10, the composition of Vista) are looked up at run time so that
// it still starts on older ones, where the system DPI serves.
#include <windows.h>

namespace gui::win32 {

// The DPI the window is shown at.
UINT window_dpi(HWND hwnd);
// r, a client rectangle, grown to the window rectangle for the style at dpi.
void adjust_window_rect(RECT* r, DWORD style, DWORD ex_style, UINT dpi);
// Puts what the thread has drawn on the screen before returning: the composition's next
// frame where the desktop composes windows, and the windows drawn in memory where the system
// copies them to the screen only when their thread waits (Wine).
void present();

} // namespace gui::win32
