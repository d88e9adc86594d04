// The real window, checked as a person at the screen sees it: the program runs on the test's
// main thread (its GUI thread) while a second thread finds its windows with the system's own
// queries, reads them, and presses keys and closes boxes by posting window messages.
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <thread>

#include "app/entry_run.h"

using namespace fstest;

namespace {

// While the gate is shut, every copy but the first g_allowed waits here, so that the test acts
// while a copy is under way.
std::atomic<int> g_arrived{0}, g_allowed{0};
std::atomic<bool> g_open{true};
const auto real_open = platform::fs_ops().open_source;
platform::File GatedOpen(const char* path, const platform::ListedEntry* listed,
                         platform::FileFacts* facts) {
    for (const int n = g_arrived++; !g_open && n >= g_allowed;)
        ::Sleep(5);
    return real_open(path, listed, facts);
}

bool Eventually(const std::function<bool()>& ok) {
    for (int waited = 0; !ok(); waited += 20) {
        if (waited >= 10000) return false;
        ::Sleep(20);
    }
    return true;
}
#define EXPECT_SOON(cond) EXPECT_TRUE(Eventually([&] { return cond; })) << #cond

// A window's text, or its class name when cls.
std::wstring Text(HWND h, bool cls = false) {
    wchar_t buf[1024] = {};
    cls ? ::GetClassNameW(h, buf, 1024) : ::GetWindowTextW(h, buf, 1024);
    return buf;
}
const auto Style = [](HWND h) { return static_cast<LONG>(::GetWindowLongPtrW(h, GWL_STYLE)); };
const auto Ask = [](HWND h, UINT msg) { return ::SendMessageW(h, msg, 0, 0); };
std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> list;
    for (HWND c = ::GetWindow(parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
        list.push_back(c);
    return list;
}
// A control's place in its parent's client area.
RECT Place(HWND c) {
    RECT r{};
    ::GetWindowRect(c, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(c), reinterpret_cast<POINT*>(&r), 2);
    return r;
}
int ScreenDpi() {
    HDC dc = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(nullptr, dc);
    return dpi;
}

// The person at the screen, on a thread of its own.
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

// A message box as shown: its text, whether it has an icon, its owner; then dismissed.
void ExpectBox(HWND box, const std::wstring& text, bool icon, HWND owner) {
    std::wstring shown;
    bool has_icon = false;
    for (HWND c : Children(box)) {
        if (Text(c, true) != L"Static" || !::IsWindowVisible(c)) continue;
        if ((Style(c) & SS_TYPEMASK) == SS_ICON)
            has_icon = Ask(c, STM_GETICON) != 0;
        else if (!Text(c).empty())
            shown = Text(c);
    }
    EXPECT_EQ(shown, text);
    EXPECT_EQ(has_icon, icon);
    EXPECT_EQ(::GetWindow(box, GW_OWNER), owner);
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

// Runs the application entry on this thread while person acts on another. Whatever the
// person leaves open is closed afterwards, so that a failed check cannot hang the test.
int RunProgram(std::vector<std::string> words, const std::function<void(Screen&)>& person) {
    Screen screen;
    std::atomic<bool> ended{false};
    std::thread t([&] {
        person(screen);
        g_open = true;
        auto close = [](HWND h, LPARAM) -> BOOL { return ::PostMessageW(h, WM_CLOSE, 0, 0); };
        for (; !ended; ::Sleep(100))
            ::EnumThreadWindows(screen.gui_thread, close, 0);
    });
    const int code = RunEntry(gui::builtin_application(), std::move(words));
    ended = true;
    t.join();
    return code;
}

// Five files whose copies wait at the gate.
struct Source {
    TempDir t;
    StageHook hook{GatedOpen};
    Source() {
        // Too large for the stager: each copy is made, and counted, on the job's thread.
        for (int i = 0; i < 5; ++i)
            write_file(t / "src" / ("f" + std::to_string(i)),
                       std::string((1 << 20) + 1000 * (i + 1), 'x'));
        g_arrived = g_allowed = 0;
        g_open = false;
    }
    ~Source() { g_open = true; }
};

} // namespace

// The program's manifest, which the tests share, brings version 6 of the common controls: the
// side-by-side assembly, not the system folder's library.
TEST(Window, ManifestGivesCommonControls6) {
    gui::builtin_application().Initialize();
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(::GetModuleHandleW(L"comctl32.dll"), path, MAX_PATH);
    EXPECT_NE(std::wstring(path).find(L"common-controls_6595b64144ccf1df_6."), std::wstring::npos)
        << std::string(path, path + wcslen(path));
}

TEST(Window, AsMadeAtEachDpiUnderTheParameterBox) {
    const int code = RunProgram({}, [](Screen& s) {
        HWND box = s.Find(L"Lumbrake", true), main = s.Find(L"Kestrova");
        ASSERT_TRUE(box);
        ASSERT_TRUE(main);
        EXPECT_EQ(Style(main) &
                      (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME),
                  WS_CAPTION | WS_SYSMENU);
        RECT w{};
        ::GetWindowRect(main, &w);
        MONITORINFO mi{};
        mi.cbSize = sizeof mi;
        ::GetMonitorInfoW(::MonitorFromWindow(main, MONITOR_DEFAULTTOPRIMARY), &mi);
        EXPECT_NEAR(w.left + w.right, mi.rcMonitor.left + mi.rcMonitor.right, 2);
        EXPECT_NEAR(w.top + w.bottom, mi.rcMonitor.top + mi.rcMonitor.bottom, 2);

        const std::vector<HWND> c = Children(main);
        ASSERT_EQ(c.size(), 3u);
        const wchar_t* classes[] = {L"Static", L"msctls_progress32", L"Button"};
        const wchar_t* texts[] = {L"", L"Progress", L"Cancel"};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(Text(c[i], true), classes[i]);
            EXPECT_EQ(Text(c[i]), texts[i]);
            EXPECT_EQ((Style(c[i]) & WS_TABSTOP) != 0, i > 0); // tab order: the bar, the button
        }
        EXPECT_EQ(Style(c[0]) & (SS_NOPREFIX | SS_PATHELLIPSIS), SS_NOPREFIX | SS_PATHELLIPSIS);
        EXPECT_EQ(Ask(c[1], PBM_GETRANGE), 100);

        // The layout at the screen's DPI, then as the system asks on a move to a 150 %
        // monitor, and back.
        const int places[3][4] = {{8, 16, 3, 13}, {8, 40, 401, 16}, {304, 64, 97, 25}};
        int pass = 0;
        for (int dpi : {ScreenDpi(), 144, ScreenDpi()}) {
            SCOPED_TRACE(dpi);
            auto at = [dpi](int v) { return ::MulDiv(v, dpi, 96); };
            RECT r{};
            ::GetWindowRect(main, &r);
            if (pass++ > 0)
                ::SendMessageW(main, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                               reinterpret_cast<LPARAM>(&r));
            ::GetClientRect(main, &r);
            EXPECT_EQ(r.right, at(410));
            EXPECT_EQ(r.bottom, at(96));
            for (int i = 0; i < 3; ++i) {
                r = Place(c[i]);
                const int p[4] = {r.left, r.top, r.right - r.left, r.bottom - r.top};
                for (int k = 0; k < 4; ++k)
                    EXPECT_EQ(p[k], at(places[i][k])) << "control " << i << " value " << k;
            }
            LOGFONTW font{};
            ::GetObjectW(reinterpret_cast<HFONT>(Ask(c[2], WM_GETFONT)), sizeof font, &font);
            EXPECT_EQ(font.lfHeight, at(-11));
            EXPECT_EQ(std::wstring(font.lfFaceName), L"MS Sans Serif");
        }
        ExpectBox(box, L"Error parameters: err=_argc<3", false, main);
        EXPECT_SOON(!::IsWindow(main));
    });
    EXPECT_EQ(code, kRunBadParameters); // the process itself still ends with 0 on Windows
}

// Esc (once the progress shows and Tab has gone round), Alt+F4 and the end of the session
// each cancel: the button greys at once, the window answers and stays while the copy under way
// still holds the job, then closes by itself.
TEST(Window, ProgressKeysAndEveryWayToCancel) {
    for (const char* way : {"Esc", "Alt+F4", "end of session"}) {
        SCOPED_TRACE(way);
        const bool esc = way[0] == 'E';
        Source src;
        const int code = RunProgram(Params(src.t / "src", src.t / "dst"), [&](Screen& s) {
            HWND main = s.Find(L"Kestrova");
            ASSERT_TRUE(main);
            const std::vector<HWND> c = Children(main);
            HWND label = c[0], bar = c[1], button = c[2];
            EXPECT_SOON(g_arrived >= 1);
            if (esc) {
                // The next tick shows the total counted: 10000 steps, none done yet.
                EXPECT_SOON(Ask(bar, PBM_GETRANGE) == 10000);
                EXPECT_EQ(Ask(bar, PBM_GETPOS), 0);
                EXPECT_EQ(Text(label).rfind(L"Copying file: ", 0), 0u);
                RECT client{}, l = Place(label);
                ::GetClientRect(main, &client);
                EXPECT_GT(l.right - l.left, ::MulDiv(3, ScreenDpi(), 96)); // grown with its text
                EXPECT_LE(l.right, client.right);
                ++g_allowed;
                EXPECT_SOON(g_arrived >= 2);
                EXPECT_SOON(Ask(bar, PBM_GETPOS) > 0);
                EXPECT_LT(Ask(bar, PBM_GETPOS), 10000);
                // Tab goes round the bar and the button.
                EXPECT_SOON(s.Focus() == button);
                for (HWND from : {button, bar}) {
                    s.Key(from, VK_TAB);
                    EXPECT_SOON(s.Focus() == (from == button ? bar : button));
                }
                s.Key(button, VK_ESCAPE);
            } else if (way[0] == 'A') {
                s.AltF4(main);
            } else {
                EXPECT_TRUE(::SendMessageW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
                ::PostMessageW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
            }
            EXPECT_SOON(!::IsWindowEnabled(button));
            EXPECT_TRUE(FormLumbrake->Monitor.cancelado.load());
            DWORD_PTR r = 0;
            EXPECT_TRUE(::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &r));
            ::Sleep(300);
            EXPECT_TRUE(::IsWindowVisible(main));
            g_open = true;
            EXPECT_SOON(!::IsWindow(main));
        });
        EXPECT_EQ(code, 0);
        // The held copy is dropped at its first piece; Esc came after one file had passed.
        EXPECT_EQ(files_below(src.t / "dst"), esc ? 1 : 0);
    }
}

// The back-end on its own: an exception thrown by a handler becomes the standard box instead
// of leaving the window procedure; Esc presses the button, and nothing once it is disabled.
TEST(Window, AnExceptionInAHandlerAndEscOnADisabledButton) {
    struct Events : gui::FormEvents {
        gui::ProgressForm* form = nullptr;
        std::atomic<int> ticks{0}, clicks{0}, closes{0};
        void OnActivate() override {}
        void OnTimer() override {
            if (ticks++ == 0) throw 42;
        }
        void OnButtonClick() override {
            ++clicks;
            form->SetButtonEnabled(false);
        }
        bool OnCloseRequest() override { return ++closes > 0; }
    } events;
    gui::FormLayout layout;
    layout.caption = u"Probe";
    layout.client_width = 200;
    layout.client_height = layout.button_width = layout.button_height = 60;
    gui::Application& app = gui::builtin_application();
    app.SetTitle(u"LumbrakeCD");
    auto form = app.CreateForm(layout, &events);
    events.form = form.get();

    Screen s;
    std::thread person([&] {
        HWND main = s.Find(L"Probe"), box = s.Find(L"LumbrakeCD", true);
        EXPECT_TRUE(box);
        if (box) ExpectBox(box, L"Unknown error", true, main);
        for (int i = 0; i < 2; ++i)
            s.Key(Children(main)[2], VK_ESCAPE);
        ::Sleep(300);
        EXPECT_EQ(events.clicks, 1);
        EXPECT_GT(events.ticks, 1); // the timer goes on after the exception
        s.AltF4(main);
    });
    app.Run();
    person.join();
    EXPECT_EQ(events.closes, 1);
}
