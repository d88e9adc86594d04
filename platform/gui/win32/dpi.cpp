#include "platform/gui/win32/dpi.h"

namespace gui::win32 {
namespace {

template <class F> void look_up(HMODULE module, const char* name, F& f) {
    if (module)
        f = reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

// Looked up with the first window, before any job runs: loading a library later would be a
// disc access on the window's thread.
struct Functions {
    UINT(WINAPI* for_window)(HWND) = nullptr;
    BOOL(WINAPI* adjust_rect)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;
    HRESULT(WINAPI* composition_enabled)(BOOL*) = nullptr;
    HRESULT(WINAPI* flush_composition)() = nullptr;

    Functions() {
        HMODULE user = ::GetModuleHandleW(L"user32.dll");
        look_up(user, "GetDpiForWindow", for_window);
        look_up(user, "AdjustWindowRectExForDpi", adjust_rect);
        HMODULE dwm = ::LoadLibraryW(L"dwmapi.dll");
        look_up(dwm, "DwmIsCompositionEnabled", composition_enabled);
        look_up(dwm, "DwmFlush", flush_composition);
    }
};

const Functions& system_functions() {
    static const Functions f;
    return f;
}

} // namespace

UINT window_dpi(HWND hwnd) {
    if (system_functions().for_window) {
        if (UINT dpi = system_functions().for_window(hwnd)) return dpi;
    }
    HDC dc = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(nullptr, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

void adjust_window_rect(RECT* r, DWORD style, DWORD ex_style, UINT dpi) {
    if (system_functions().adjust_rect)
        system_functions().adjust_rect(r, style, FALSE, ex_style, dpi);
    else
        ::AdjustWindowRectEx(r, style, FALSE, ex_style);
}

void present() {
    ::GdiFlush();
    const Functions& f = system_functions();
    BOOL composed = FALSE;
    if (f.composition_enabled && f.flush_composition && f.composition_enabled(&composed) == S_OK &&
        composed)
        f.flush_composition();
    // A wait of no time returns at once, and is the moment Wine copies the windows it has
    // drawn in memory to the screen.
    ::MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_ALLINPUT, 0);
}

} // namespace gui::win32
