// The real window, checked as a person at the screen sees it: the program runs on the test's
// main thread (its GUI thread) while a second thread finds its windows with the system's own
// queries, reads them and the pixels the screen shows, and presses keys and closes boxes by
// posting window messages.
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <thread>

#include "app/entry_run.h"
#include "app/last_frame.h"
#include "win32/screen.h"

using namespace fstest;
using namespace wintest;

namespace {

// Without a display no window can be made: the tests say so in one line and are skipped.
class NeedsDisplay : public testing::Environment {
  public:
    void SetUp() override {
        HWND probe = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                       nullptr, nullptr);
        if (!probe) GTEST_SKIP() << "a display is needed: these tests make real windows";
        ::DestroyWindow(probe);
    }
};
testing::Environment* const g_display = testing::AddGlobalTestEnvironment(new NeedsDisplay);

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

// Runs the application entry on app on this thread while person acts on another. Whatever the
// person leaves open is closed afterwards, so that a failed check cannot hang the test.
int RunProgram(std::vector<std::string> words, const std::function<void(Screen&)>& person,
               gui::Application& app = gui::builtin_application()) {
    Screen screen;
    std::atomic<bool> ended{false};
    std::thread t([&] {
        person(screen);
        g_open = true;
        HeldListing::held = false;
        auto close = [](HWND h, LPARAM) -> BOOL { return ::PostMessageW(h, WM_CLOSE, 0, 0); };
        for (; !ended; ::Sleep(100))
            ::EnumThreadWindows(screen.gui_thread, close, 0);
    });
    const int code = RunEntry(app, std::move(words));
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
            EXPECT_EQ((Style(c[i]) & WS_TABSTOP) != 0, i == 2); // only the button takes the focus
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
        // Behind the box the label shows nothing.
        EXPECT_EQ(Shown(c[0]), LabelWith(c[0], L""));
        ExpectBox(box, L"Error parameters: err=_argc<3", false, main);
        EXPECT_SOON(!::IsWindow(main));
    });
    EXPECT_EQ(code, kRunBadParameters); // the process itself still ends with 0 on Windows
}

// Esc (once the progress shows), Alt+F4 and the end of the session
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

// The job waits on the disc from its first step (a listing that does not return): the window
// has painted the step text all the same, answers, moves, keeps the focus on Cancel when Tab is
// pressed, and greys Cancel on the screen at once.
TEST(Window, PaintsMovesAndCancelsWhileTheDiscHoldsTheJob) {
    Source src;
    HeldListing held;
    const int code = RunProgram(Params(src.t / "src", src.t / "dst"), [&](Screen& s) {
        HWND main = s.Find(L"Kestrova");
        ASSERT_TRUE(main);
        const std::vector<HWND> c = Children(main);
        HWND label = c[0], button = c[2];
        EXPECT_SOON(HeldListing::listings >= 1);
        EXPECT_SOON(Shown(label) == LabelWith(label, L"Preparing to copy files..."));
        EXPECT_EQ(Filled(Shown(c[1])), 0);
        DWORD_PTR r = 0;
        EXPECT_TRUE(::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &r));

        RECT before{}, after{};
        ::GetWindowRect(main, &before);
        ::SetWindowPos(main, nullptr, before.left + 40, before.top + 30, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
        EXPECT_SOON((::GetWindowRect(main, &after),
                     after.left == before.left + 40 && after.top == before.top + 30));

        EXPECT_SOON(s.Focus() == button);
        s.Key(button, VK_TAB);
        EXPECT_SOON((Ask(main, WM_QUERYUISTATE) & UISF_HIDEFOCUS) == 0); // the focus shows
        EXPECT_EQ(s.Focus(), button);
        EXPECT_GT(Ink(button), 0);
        s.Key(button, VK_ESCAPE);
        EXPECT_SOON(!::IsWindowEnabled(button) && Ink(button) == 0);
        EXPECT_EQ(HeldListing::listings, 1); // all of it while the first listing still waited
        HeldListing::held = false;
        EXPECT_SOON(!::IsWindow(main));
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(files_below(src.t / "dst"), 0);
}

// The last frame, as the screen showed it when the window closed: a full bar and the final
// label, painted once before the window went.
TEST(Window, TheLastFrameShowsTheFinalLabelAndAFullBar) {
    Source src;
    g_open = true;
    Picture bar, label, label_expected;
    LookBeforeClose app(gui::builtin_application(), [&] {
        const std::vector<HWND> c = Children(::FindWindowW(nullptr, L"Kestrova"));
        bar = Shown(c[1]);
        label = Shown(c[0]);
        label_expected = LabelWith(c[0], Text(c[0]));
    });
    const int code = RunProgram(
        Params(src.t / "src", src.t / "dst"),
        [](Screen& s) {
            HWND main = s.Find(L"Kestrova");
            EXPECT_SOON(!::IsWindow(main));
        },
        app);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(files_below(src.t / "dst"), 5);
    EXPECT_EQ(app.repaints, 1);
    EXPECT_EQ(Filled(bar), 1.0);
    EXPECT_TRUE(label == label_expected);
}
