#pragma once
// The person at the screen, for the window tests: finds the program's windows with the
// system's own queries, reads them, presses keys by posting window messages, and looks at the
// pixels the screen shows.
#include <windows.h>

#include <usp10.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace wintest {

inline bool Eventually(const std::function<bool()>& ok, int ms = 10000) {
    for (int waited = 0; !ok(); waited += 20) {
        if (waited >= ms) return false;
        ::Sleep(20);
    }
    return true;
}
#define EXPECT_SOON(cond) EXPECT_TRUE(wintest::Eventually([&] { return cond; })) << #cond

// A window's text, or its class name when cls.
inline std::wstring Text(HWND h, bool cls = false) {
    wchar_t buf[1024] = {};
    cls ? ::GetClassNameW(h, buf, 1024) : ::GetWindowTextW(h, buf, 1024);
    return buf;
}
inline LONG Style(HWND h) {
    return static_cast<LONG>(::GetWindowLongPtrW(h, GWL_STYLE));
}
inline LRESULT Ask(HWND h, UINT msg) {
    return ::SendMessageW(h, msg, 0, 0);
}
inline std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> list;
    for (HWND c = ::GetWindow(parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
        list.push_back(c);
    return list;
}
// A control's place in its parent's client area.
inline RECT Place(HWND c) {
    RECT r{};
    ::GetWindowRect(c, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(c), reinterpret_cast<POINT*>(&r), 2);
    return r;
}
inline int ScreenDpi() {
    HDC dc = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(nullptr, dc);
    return dpi;
}

// Pixels as 0xRRGGBB, row by row.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
    bool operator==(const Picture&) const = default;
};

// Draws into a picture of width x height with draw(dc), or copies the screen's pixels there.
inline Picture Draw(int width, int height, const std::function<void(HDC)>& draw) {
    Picture p{width, height, {}};
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof bi.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bmp = ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(dc, bmp);
    draw(dc);
    ::GdiFlush();
    const auto* px = static_cast<const uint32_t*>(bits);
    for (int i = 0; i < width * height; ++i)
        p.pixels.push_back(px[i] & 0xFFFFFF);
    ::SelectObject(dc, old);
    ::DeleteObject(bmp);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    return p;
}

// What the screen shows of a window.
inline Picture Shown(HWND h) {
    RECT r{};
    ::GetWindowRect(h, &r);
    return Draw(r.right - r.left, r.bottom - r.top, [&](HDC dc) {
        HDC screen = ::GetDC(nullptr);
        ::BitBlt(dc, 0, 0, r.right - r.left, r.bottom - r.top, screen, r.left, r.top, SRCCOPY);
        ::ReleaseDC(nullptr, screen);
    });
}

inline uint32_t Rgb(COLORREF c) {
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

// The label as it paints text: its font, the dialog colours, one line laid out by Uniscribe
// from its top left.
inline Picture LabelWith(HWND label, const std::wstring& text) {
    RECT r{};
    ::GetClientRect(label, &r);
    return Draw(r.right, r.bottom, [&](HDC dc) {
        ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
        HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(Ask(label, WM_GETFONT)));
        ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
        ::SetBkMode(dc, TRANSPARENT);
        SCRIPT_STRING_ANALYSIS line = nullptr;
        const int n = static_cast<int>(text.size());
        if (n && ::ScriptStringAnalyse(dc, text.c_str(), n, n * 3 / 2 + 16, -1,
                                       SSA_GLYPHS | SSA_FALLBACK, 0, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, &line) == S_OK) {
            ::ScriptStringOut(line, 0, 0, 0, nullptr, 0, 0, FALSE);
            ::ScriptStringFree(&line);
        }
        ::SelectObject(dc, old);
    });
}

// How much of a bar the screen shows filled: the share of its middle row, inside the border,
// up to the last pixel in the system's highlight colour, the bar's colour.
inline double Filled(const Picture& bar) {
    const int y = bar.height / 2, from = 2, to = bar.width - 2;
    const uint32_t fill = Rgb(::GetSysColor(COLOR_HIGHLIGHT));
    int last = from - 1;
    for (int x = from; x < to; ++x)
        if (bar.At(x, y) == fill) last = x;
    return static_cast<double>(last + 1 - from) / (to - from);
}

// Pixels in the text colour inside a button (its border left out).
inline int Ink(HWND button) {
    const Picture p = Shown(button);
    const uint32_t text = Rgb(::GetSysColor(COLOR_BTNTEXT));
    int n = 0;
    for (int y = 5; y < p.height - 5; ++y)
        for (int x = 5; x < p.width - 5; ++x)
            n += p.At(x, y) == text;
    return n;
}

struct Screen {
    DWORD gui_thread = ::GetCurrentThreadId();

    // A visible top-level window of the program with this caption; a message box when box.
    HWND Find(const wchar_t* caption, bool box = false) const {
        HWND found = nullptr;
        Eventually([&] {
            for (HWND h = nullptr; (h = ::FindWindowExW(nullptr, h, nullptr, caption));)
                if (::GetWindowThreadProcessId(h, nullptr) == gui_thread && ::IsWindowVisible(h) &&
                    (Text(h, true) == L"#32770") == box)
                    return found = h, true;
            return false;
        });
        return found;
    }
    HWND Focus() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        ::GetGUIThreadInfo(gui_thread, &info);
        return info.hwndFocus;
    }
    static void Key(HWND to, WPARAM key) {
        const LPARAM scan = ::MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC) << 16;
        ::PostMessageW(to, WM_KEYDOWN, key, 1 | scan);
        ::PostMessageW(to, WM_KEYUP, key, 1 | scan | 0xC0000000u);
    }
    static void AltF4(HWND to) { ::PostMessageW(to, WM_SYSKEYDOWN, VK_F4, 1 | KF_ALTDOWN << 16); }
};

} // namespace wintest
