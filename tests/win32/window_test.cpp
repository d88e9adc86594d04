// The real window, checked as a person at the screen sees it: the program runs on the test's
// main thread (its GUI thread) while a second thread finds its windows with the system's own
// queries, reads them, and presses keys and closes boxes by posting window messages.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/form_lumbrake.h"
#include "app/params.h"
#include "args.h"
#include "platform/fs.h"

using namespace fstest;

namespace {

// Copies wait at the gate until the test lets them through, so that the test acts while a
// copy is under way.
struct Gate {
    std::mutex m;
    std::condition_variable cv;
    int held = 0, passes = 0;
    bool open = true;

    void Close() {
        std::lock_guard<std::mutex> l(m);
        open = false;
        held = passes = 0;
    }
    void Open() {
        std::lock_guard<std::mutex> l(m);
        open = true;
        cv.notify_all();
    }
    void Let(int n) {
        std::lock_guard<std::mutex> l(m);
        passes += n;
        cv.notify_all();
    }
    // Until the held copies number n.
    void WaitHeld(int n) {
        std::unique_lock<std::mutex> l(m);
        cv.wait_for(l, std::chrono::seconds(20), [&] { return held >= n || open; });
    }
} g_gate;

bool (*const real_copy)(const char*, const char*, bool) = platform::fs_ops().copy;
bool GatedCopy(const char* src, const char* dst, bool fail_if_exists) {
    {
        std::unique_lock<std::mutex> l(g_gate.m);
        ++g_gate.held;
        g_gate.cv.notify_all();
        g_gate.cv.wait(l, [] { return g_gate.open || g_gate.passes > 0; });
        if (!g_gate.open) --g_gate.passes;
    }
    return real_copy(src, dst, fail_if_exists);
}

bool Eventually(const std::function<bool()>& ok, int ms = 10000) {
    for (int waited = 0; !ok(); waited += 20) {
        if (waited >= ms) return false;
        ::Sleep(20);
    }
    return true;
}

std::wstring Text(HWND h) {
    wchar_t buf[1024] = {};
    ::GetWindowTextW(h, buf, 1024);
    return buf;
}

std::wstring ClassOf(HWND h) {
    wchar_t buf[256] = {};
    ::GetClassNameW(h, buf, 256);
    return buf;
}

LONG Style(HWND h) {
    return static_cast<LONG>(::GetWindowLongPtrW(h, GWL_STYLE));
}

// A child's rectangle in its parent's client coordinates.
RECT Place(HWND child) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> list;
    for (HWND c = ::GetWindow(parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
        list.push_back(c);
    return list;
}

// The person at the screen, on a thread of its own.
struct Screen {
    DWORD gui_thread;
    int dpi = 96;

    // A visible top-level window of the program with this caption; a message box when box.
    HWND Find(const wchar_t* caption, bool box = false) {
        struct Query {
            const wchar_t* caption;
            bool box;
            HWND found = nullptr;
        } q{caption, box};
        Eventually([&] {
            ::EnumThreadWindows(
                gui_thread,
                [](HWND h, LPARAM lp) -> BOOL {
                    auto* q = reinterpret_cast<Query*>(lp);
                    if (::IsWindowVisible(h) && Text(h) == q->caption &&
                        (ClassOf(h) == L"#32770") == q->box)
                        q->found = h;
                    return !q->found;
                },
                reinterpret_cast<LPARAM>(&q));
            return q.found != nullptr;
        });
        return q.found;
    }
    bool Gone(HWND h) {
        return Eventually([&] { return !::IsWindow(h); });
    }
    HWND Focus() {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        ::GetGUIThreadInfo(gui_thread, &info);
        return info.hwndFocus;
    }
    int S(int v) const { return ::MulDiv(v, dpi, 96); }
    void Key(HWND to, WPARAM key) {
        const UINT scan = ::MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
        ::PostMessageW(to, WM_KEYDOWN, key, 1 | (scan << 16));
        ::PostMessageW(to, WM_KEYUP, key, 1 | (scan << 16) | 0xC0000000u);
    }
    void AltF4(HWND to) { ::PostMessageW(to, WM_SYSKEYDOWN, VK_F4, 1 | KF_ALTDOWN << 16); }
};

// What a message box shows: its text and whether it has an icon.
struct Box {
    std::wstring text;
    bool icon = false;
    HWND owner = nullptr;
};
Box Read(HWND box) {
    Box b;
    b.owner = ::GetWindow(box, GW_OWNER);
    for (HWND c : Children(box)) {
        if (ClassOf(c) != L"Static" || !::IsWindowVisible(c)) continue;
        if ((Style(c) & SS_TYPEMASK) == SS_ICON)
            b.icon = ::SendMessageW(c, STM_GETICON, 0, 0) != 0;
        else if (!Text(c).empty())
            b.text = Text(c);
    }
    return b;
}
void Dismiss(HWND box) {
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

// Runs the application entry on this thread while person acts on another. Whatever the
// person leaves open is closed afterwards, so that a failed check cannot hang the test.
int RunProgram(std::vector<std::string> words, const std::function<void(Screen&)>& person) {
    words.insert(words.begin(), "lumbrake-cd");
    ArgsScope args(std::move(words));
    PrimeraActivacion = true;
    Screen screen{::GetCurrentThreadId()};
    HDC dc = ::GetDC(nullptr);
    screen.dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(nullptr, dc);
    std::atomic<bool> ended{false};
    std::thread t([&] {
        person(screen);
        g_gate.Open();
        while (!ended) {
            ::EnumThreadWindows(
                screen.gui_thread,
                [](HWND h, LPARAM) -> BOOL { return ::PostMessageW(h, WM_CLOSE, 0, 0), TRUE; }, 0);
            ::Sleep(100);
        }
    });
    const int code = EntradaAplicacion();
    ended = true;
    t.join();
    return code;
}

// A source of a few small files whose copies are held at the gate.
struct Source {
    TempDir t;
    Source() {
        sfs::create_directories(t / "src");
        for (int i = 0; i < 5; ++i)
            write_file(t / "src" / ("f" + std::to_string(i)), std::string(1000 * (i + 1), 'x'));
        g_gate.Close();
        platform::fs_ops().copy = GatedCopy;
    }
    ~Source() {
        g_gate.Open();
        platform::fs_ops().copy = real_copy;
    }
};

bool Cancelled() {
    return FormLumbrake && FormLumbrake->Monitor.cancelado.load();
}

} // namespace

TEST(Window, AsMadeAtEachDpiUnderTheParameterBox) {
    const int code = RunProgram({}, [](Screen& s) {
        HWND box = s.Find(L"Lumbrake", true), main = s.Find(L"Kestrova");
        ASSERT_TRUE(box && main);
        const Box b = Read(box);
        EXPECT_EQ(b.owner, main);
        EXPECT_EQ(b.text, L"Error parameters: err=_argc<3");
        EXPECT_FALSE(b.icon);

        const LONG style = Style(main);
        EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
        EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
        RECT w{};
        ::GetWindowRect(main, &w);
        MONITORINFO mi{};
        mi.cbSize = sizeof mi;
        ::GetMonitorInfoW(::MonitorFromWindow(main, MONITOR_DEFAULTTOPRIMARY), &mi);
        EXPECT_NEAR(w.left + w.right, mi.rcMonitor.left + mi.rcMonitor.right, 2);
        EXPECT_NEAR(w.top + w.bottom, mi.rcMonitor.top + mi.rcMonitor.bottom, 2);

        const std::vector<HWND> c = Children(main);
        ASSERT_EQ(c.size(), 3u);
        EXPECT_EQ(ClassOf(c[0]), L"Static");
        EXPECT_EQ(ClassOf(c[1]), L"msctls_progress32");
        EXPECT_EQ(ClassOf(c[2]), L"Button");
        EXPECT_EQ(Text(c[0]), L"");
        EXPECT_EQ(Style(c[0]) & (SS_NOPREFIX | SS_PATHELLIPSIS), SS_NOPREFIX | SS_PATHELLIPSIS);
        EXPECT_EQ(::SendMessageW(c[1], PBM_GETRANGE, FALSE, 0), 100);
        EXPECT_EQ(::SendMessageW(c[1], PBM_GETPOS, 0, 0), 0);
        EXPECT_EQ(Text(c[2]), L"Cancel");
        EXPECT_TRUE(Style(c[1]) & Style(c[2]) & WS_TABSTOP);
        LOGFONTW font{};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(c[2], WM_GETFONT, 0, 0)), sizeof font,
                     &font);
        EXPECT_EQ(std::wstring(font.lfFaceName), L"MS Sans Serif");

        // The layout at the screen's DPI, then as the system asks on a move to a 150 %
        // monitor, and back.
        const int dpis[] = {s.dpi, 144, s.dpi};
        for (int i = 0; i < 3; ++i) {
            const int dpi = dpis[i];
            SCOPED_TRACE(dpi);
            Screen at = s;
            at.dpi = dpi;
            if (i > 0) {
                RECT suggested{};
                ::GetWindowRect(main, &suggested);
                ::SendMessageW(main, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                               reinterpret_cast<LPARAM>(&suggested));
            }
            RECT client{};
            ::GetClientRect(main, &client);
            EXPECT_EQ(client.right, at.S(410));
            EXPECT_EQ(client.bottom, at.S(96));
            const RECT label = Place(c[0]), bar = Place(c[1]), button = Place(c[2]);
            EXPECT_EQ(label.left, at.S(8));
            EXPECT_EQ(label.top, at.S(16));
            EXPECT_EQ(label.right - label.left, at.S(3));
            EXPECT_EQ(label.bottom - label.top, at.S(13));
            EXPECT_EQ(bar.left, at.S(8));
            EXPECT_EQ(bar.top, at.S(40));
            EXPECT_EQ(bar.right - bar.left, at.S(401));
            EXPECT_EQ(bar.bottom - bar.top, at.S(16));
            EXPECT_EQ(button.left, at.S(304));
            EXPECT_EQ(button.top, at.S(64));
            EXPECT_EQ(button.right - button.left, at.S(97));
            EXPECT_EQ(button.bottom - button.top, at.S(25));
            ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(c[0], WM_GETFONT, 0, 0)),
                         sizeof font, &font);
            EXPECT_EQ(font.lfHeight, ::MulDiv(-11, dpi, 96));
        }
        Dismiss(box);
        EXPECT_TRUE(s.Gone(main));
    });
    EXPECT_EQ(code, 0);
}

TEST(Window, ProgressKeysAndCancel) {
    Source src;
    const int code = RunProgram(Params(src.t / "src", src.t / "dst"), [](Screen& s) {
        HWND main = s.Find(L"Kestrova");
        ASSERT_TRUE(main);
        const std::vector<HWND> c = Children(main);
        HWND label = c[0], bar = c[1], button = c[2];
        g_gate.WaitHeld(1);
        // The next tick shows the total counted: 10000 steps, none done yet.
        EXPECT_TRUE(Eventually([&] { return ::SendMessageW(bar, PBM_GETRANGE, 0, 0) == 10000; }));
        EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 0);
        EXPECT_EQ(Text(label).rfind(L"Copying file: ", 0), 0u);
        RECT client{};
        ::GetClientRect(main, &client);
        const RECT l = Place(label);
        EXPECT_GT(l.right - l.left, s.S(3));
        EXPECT_LE(l.right, client.right);
        g_gate.Let(1);
        g_gate.WaitHeld(2);
        EXPECT_TRUE(Eventually([&] { return ::SendMessageW(bar, PBM_GETPOS, 0, 0) > 0; }));
        EXPECT_LT(::SendMessageW(bar, PBM_GETPOS, 0, 0), 10000);

        // Enter never cancels; Tab goes round the bar and the button; Esc presses Cancel.
        EXPECT_TRUE(Eventually([&] { return s.Focus() == button; }));
        s.Key(button, VK_RETURN);
        ::Sleep(300);
        EXPECT_TRUE(::IsWindowEnabled(button));
        EXPECT_FALSE(Cancelled());
        s.Key(button, VK_TAB);
        EXPECT_TRUE(Eventually([&] { return s.Focus() == bar; }));
        s.Key(bar, VK_TAB);
        EXPECT_TRUE(Eventually([&] { return s.Focus() == button; }));
        s.Key(button, VK_ESCAPE);
        EXPECT_TRUE(Eventually([&] { return !::IsWindowEnabled(button); }));
        EXPECT_TRUE(Cancelled());
        // The copy under way ends, the job stops, the window closes by itself.
        g_gate.Open();
        EXPECT_TRUE(s.Gone(main));
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(files_below(src.t / "dst"), 2);
}

TEST(Window, ClosedDuringTheJobItKeepsAnsweringUntilTheJobEnds) {
    for (bool logoff : {false, true}) {
        SCOPED_TRACE(logoff ? "end of session" : "Alt+F4");
        Source src;
        const int code = RunProgram(Params(src.t / "src", src.t / "dst"), [&](Screen& s) {
            HWND main = s.Find(L"Kestrova");
            ASSERT_TRUE(main);
            HWND button = Children(main)[2];
            g_gate.WaitHeld(1);
            if (logoff) {
                EXPECT_TRUE(::SendMessageW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
                ::PostMessageW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
            } else {
                s.AltF4(main);
            }
            EXPECT_TRUE(Eventually([&] { return !::IsWindowEnabled(button); }));
            EXPECT_TRUE(Cancelled());
            // The copy under way still holds the job; the window answers and stays.
            DWORD_PTR r = 0;
            EXPECT_TRUE(::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &r));
            ::Sleep(300);
            EXPECT_TRUE(::IsWindowVisible(main));
            g_gate.Open();
            EXPECT_TRUE(s.Gone(main));
        });
        EXPECT_EQ(code, 0);
        EXPECT_EQ(files_below(src.t / "dst"), 1);
    }
}

TEST(Window, CopyErrorBox) {
    TempDir t;
    sfs::create_directories(t / "src");
    write_file(t / "src" / "a", "a");
    const int code = RunProgram(Params(t / "src", t / "no" / "dst"), [](Screen& s) {
        HWND box = s.Find(L"Error", true), main = s.Find(L"Kestrova");
        ASSERT_TRUE(box && main);
        const Box b = Read(box);
        EXPECT_EQ(b.owner, main);
        EXPECT_EQ(b.text.rfind(L"Error creating folder:", 0), 0u);
        EXPECT_TRUE(b.icon);
        Dismiss(box);
        EXPECT_TRUE(s.Gone(main));
    });
    EXPECT_EQ(code, 0);
}

// The back-end on its own: Space presses the focused button, Esc nothing once it is disabled,
// and an exception thrown by a handler becomes the standard box instead of leaving the window
// procedure.
TEST(Window, SpaceDisabledButtonAndAnExceptionInAHandler) {
    struct Events : gui::FormEvents {
        gui::ProgressForm* form = nullptr;
        std::atomic<int> activations{0}, ticks{0}, clicks{0}, closes{0};
        void OnActivate() override { ++activations; }
        void OnTimer() override {
            if (ticks++ == 0) throw 42;
        }
        void OnButtonClick() override {
            ++clicks;
            form->SetButtonEnabled(false);
        }
        void OnCloseRequest() override { ++closes; }
    } events;
    gui::FormLayout layout;
    layout.caption = u"Probe";
    layout.client_width = 200;
    layout.client_height = 60;
    layout.bar_width = layout.bar_height = 10;
    layout.button_top = layout.button_width = layout.button_height = 20;
    layout.button_caption = u"Stop";
    gui::Application& app = gui::builtin_application();
    app.Initialize();
    app.SetTitle(u"LumbrakeCD");
    auto form = app.CreateForm(layout, &events);
    events.form = form.get();

    Screen s{::GetCurrentThreadId()};
    std::thread person([&] {
        HWND main = s.Find(L"Probe"), box = s.Find(L"LumbrakeCD", true);
        if (!main || !box) return ::PostMessageW(main, WM_CLOSE, 0, 0), void();
        const Box b = Read(box);
        EXPECT_EQ(b.text, L"Unknown error");
        EXPECT_TRUE(b.icon);
        EXPECT_EQ(b.owner, main);
        Dismiss(box);
        HWND button = Children(main)[2];
        EXPECT_TRUE(Eventually([&] { return s.Focus() == button; }));
        s.Key(button, VK_SPACE);
        EXPECT_TRUE(Eventually([&] { return events.clicks == 1; }));
        EXPECT_FALSE(::IsWindowEnabled(button));
        s.Key(main, VK_ESCAPE);
        ::Sleep(300);
        EXPECT_EQ(events.clicks, 1);
        EXPECT_GT(events.ticks, 1); // the timer goes on after the exception
        s.AltF4(main);
    });
    app.Run();
    person.join();
    EXPECT_EQ(events.closes, 1);
    EXPECT_GE(events.activations, 1);
    form.reset();
}
