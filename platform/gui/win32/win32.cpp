// The Windows back-end: a native top-level window with a static label, a common-controls
// progress bar and a push button, laid out from the FormLayout at the window's DPI (the
// program is per-monitor DPI aware and follows WM_DPICHANGED). The keyboard works as in a
// dialog (Tab, Esc, Space; Enter does nothing), message boxes are MessageBoxW, and no
// exception leaves the window procedure: it is shown as the framework's standard message.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <atomic>

#include "platform/gui/gui.h"

namespace gui {
namespace {

constexpr wchar_t kClassName[] = L"LumbrakeProgressForm";
// Private messages: raise the activation, tick now, close when the handler has returned.
constexpr UINT kMsgActivated = WM_APP + 1;
constexpr UINT kMsgWake = WM_APP + 2;
constexpr UINT kMsgClose = WM_APP + 3;
constexpr UINT_PTR kTimerId = 1;
constexpr int kButtonId = IDCANCEL;
#ifndef WM_DPICHANGED
constexpr UINT WM_DPICHANGED = 0x02E0;
#endif

const wchar_t* wide(const UnicodeString& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

// The per-monitor DPI functions of Windows 10, looked up at run time so that the program
// still starts on older systems, where the system DPI serves.
struct DpiFunctions {
    UINT(WINAPI* for_window)(HWND) = nullptr;
    BOOL(WINAPI* adjust_rect)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;

    DpiFunctions() {
        HMODULE user = ::GetModuleHandleW(L"user32.dll");
        if (!user) return;
        for_window = reinterpret_cast<decltype(for_window)>(
            reinterpret_cast<void (*)()>(::GetProcAddress(user, "GetDpiForWindow")));
        adjust_rect = reinterpret_cast<decltype(adjust_rect)>(
            reinterpret_cast<void (*)()>(::GetProcAddress(user, "AdjustWindowRectExForDpi")));
    }
};

const DpiFunctions& dpi_functions() {
    static const DpiFunctions f;
    return f;
}

UINT window_dpi(HWND hwnd) {
    if (dpi_functions().for_window) {
        if (UINT dpi = dpi_functions().for_window(hwnd)) return dpi;
    }
    HDC dc = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(nullptr, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

class Win32Application;

class Win32Form : public ProgressForm {
  public:
    Win32Form(Win32Application* app, const FormLayout& layout, FormEvents* events, bool main);
    ~Win32Form() override;

    void SetLabel(const UnicodeString& text) override;
    void SetBarMax(int max) override;
    void SetBarPosition(int position) override;
    void SetBarVisible(bool visible) override { ::ShowWindow(bar_, visible ? SW_SHOWNA : SW_HIDE); }
    void SetButtonEnabled(bool enabled) override;
    void SetButtonVisible(bool visible) override {
        ::ShowWindow(button_, visible ? SW_SHOWNA : SW_HIDE);
    }
    void SetTimerEnabled(bool enabled) override;
    void Close() override;

    // Shows the window for the first time, activated when the system lets it.
    void Show();
    // Dialog keys for this window and its controls; true when the message was used.
    bool PreTranslate(const MSG& msg);
    HWND hwnd() const { return hwnd_; }
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  private:
    static LRESULT CALLBACK LabelProcedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                           DWORD_PTR form);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    // Sizes the window, its font and its controls for dpi; at suggested when the system
    // proposes a place (a DPI change), else centred or at the layout's place.
    void Lay(UINT dpi, const RECT* suggested);
    void PlaceLabel();
    int Scale(int v) const { return ::MulDiv(v, static_cast<int>(dpi_), 96); }
    void Click();
    void RequestClose();
    void EndSession();
    // Runs an event handler; what it throws is shown, never passed to the system.
    template <class F> void Raise(F&& handler);

    Win32Application* app_;
    FormLayout layout_;
    FormEvents* events_;
    bool main_;
    HWND hwnd_ = nullptr, label_ = nullptr, bar_ = nullptr, button_ = nullptr;
    HWND focus_ = nullptr; // the control that had the focus when the window went inactive
    HFONT font_ = nullptr;
    HBRUSH background_ = nullptr;
    int background_index_ = COLOR_BTNFACE;
    UINT dpi_ = 96;
    UnicodeString label_text_;
    int bar_max_ = 100, bar_position_ = 0;
    bool timer_enabled_ = true;
    bool closed_ = false;    // Close was called: no more events but the close request
    bool closing_ = false;   // the close request is under way
    bool activated_ = false; // the system has activated the window at least once
};

class Win32Application : public Application {
  public:
    void Initialize() override;
    void SetTitle(const UnicodeString& title) override { title_ = title; }
    std::unique_ptr<ProgressForm> CreateForm(const FormLayout& layout, FormEvents* events) override;
    void Run() override;
    int Alert(const UnicodeString& text, const UnicodeString& caption, unsigned style) override;
    void ShowException(const Exception& e) override;
    void Wake() override {
        if (HWND h = main_hwnd_.load(std::memory_order_acquire)) ::PostMessageW(h, kMsgWake, 0, 0);
    }

    void Dispatch(MSG& msg) {
        if (main_ && main_->PreTranslate(msg)) return;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    void MainWindow(HWND hwnd) { main_hwnd_.store(hwnd, std::memory_order_release); }
    void Forget(Win32Form* form) {
        if (form == main_) {
            main_ = nullptr;
            MainWindow(nullptr);
        }
    }

  private:
    Win32Form* main_ = nullptr;
    std::atomic<HWND> main_hwnd_{nullptr};
    UnicodeString title_;
    bool initialized_ = false;
};

Win32Form::Win32Form(Win32Application* app, const FormLayout& layout, FormEvents* events, bool main)
    : app_(app), layout_(layout), events_(events), main_(main) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    if (layout_.minimize_box) style |= WS_MINIMIZEBOX;
    if (layout_.maximize_box) style |= WS_MAXIMIZEBOX;
    if (layout_.resizable) style |= WS_THICKFRAME;
    background_index_ =
        layout_.background == FormLayout::Colour::Window ? COLOR_WINDOW : COLOR_BTNFACE;
    background_ = ::GetSysColorBrush(background_index_);
    hwnd_ = ::CreateWindowExW(0, kClassName, wide(layout_.caption), style, CW_USEDEFAULT,
                              CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance, this);
    if (!hwnd_) throw new Exception(u"The window could not be made");
    // Children in tab order: the label (no tab stop), the bar, then the button.
    const DWORD child = WS_CHILD | WS_VISIBLE;
    label_ = ::CreateWindowExW(0, L"STATIC", L"",
                               child | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_PATHELLIPSIS, 0, 0, 0,
                               0, hwnd_, nullptr, instance, nullptr);
    ::SetWindowSubclass(label_, LabelProcedure, 0, reinterpret_cast<DWORD_PTR>(this));
    bar_ = ::CreateWindowExW(0, PROGRESS_CLASSW, wide(layout_.bar_name), child | WS_TABSTOP, 0, 0,
                             0, 0, hwnd_, nullptr, instance, nullptr);
    button_ = ::CreateWindowExW(
        0, L"BUTTON", wide(layout_.button_caption), child | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0,
        hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonId)), instance, nullptr);
    ::SendMessageW(bar_, PBM_SETRANGE32, 0, bar_max_);
    Lay(window_dpi(hwnd_), nullptr);
    focus_ = button_;
    if (layout_.timer_interval_ms)
        ::SetTimer(hwnd_, kTimerId, layout_.timer_interval_ms, nullptr);
    else
        timer_enabled_ = false;
}

Win32Form::~Win32Form() {
    app_->Forget(this);
    // A window that goes with its object ends no message loop: the loop has ended already.
    main_ = false;
    if (hwnd_) ::DestroyWindow(hwnd_);
    if (font_) ::DeleteObject(font_);
}

void Win32Form::Lay(UINT dpi, const RECT* suggested) {
    dpi_ = dpi;
    const FormLayout& l = layout_;
    HFONT font = ::CreateFontW(Scale(l.font_height), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                               DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                               DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                               l.font_name.empty() ? L"MS Shell Dlg 2" : wide(l.font_name));
    for (HWND c : {label_, bar_, button_})
        ::SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (font_) ::DeleteObject(font_);
    font_ = font;

    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_STYLE));
    const DWORD ex_style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
    const int client_width = Scale(l.client_width), client_height = Scale(l.client_height);
    RECT r{0, 0, client_width, client_height};
    if (dpi_functions().adjust_rect)
        dpi_functions().adjust_rect(&r, style, FALSE, ex_style, dpi);
    else
        ::AdjustWindowRectEx(&r, style, FALSE, ex_style);
    int width = r.right - r.left, height = r.bottom - r.top;
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    ::SetWindowPos(hwnd_, nullptr, 0, 0, width, height, flags | SWP_NOMOVE);
    // The frame actually drawn may differ from the computed one (a frame still at the old
    // DPI): the client area is what must come out right.
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    width += client_width - client.right;
    height += client_height - client.bottom;
    int x = l.left, y = l.top;
    if (suggested) {
        x = suggested->left;
        y = suggested->top;
    } else if (l.centred) {
        MONITORINFO mi{};
        mi.cbSize = sizeof mi;
        ::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &mi);
        x = (mi.rcMonitor.left + mi.rcMonitor.right - width) / 2;
        y = (mi.rcMonitor.top + mi.rcMonitor.bottom - height) / 2;
    }
    ::SetWindowPos(hwnd_, nullptr, x, y, width, height, flags);
    ::MoveWindow(bar_, Scale(l.bar_left), Scale(l.bar_top), Scale(l.bar_width), Scale(l.bar_height),
                 TRUE);
    ::MoveWindow(button_, Scale(l.button_left), Scale(l.button_top), Scale(l.button_width),
                 Scale(l.button_height), TRUE);
    PlaceLabel();
}

// The label is as wide as its text, at least its layout width, and never past the client's
// right edge; a wider text is cut in the middle (the path ellipsis).
void Win32Form::PlaceLabel() {
    const FormLayout& l = layout_;
    int width = Scale(l.label_width);
    if (!label_text_.empty()) {
        HDC dc = ::GetDC(label_);
        HGDIOBJ old = ::SelectObject(dc, font_);
        SIZE size{};
        ::GetTextExtentPoint32W(dc, wide(label_text_), static_cast<int>(label_text_.size()), &size);
        ::SelectObject(dc, old);
        ::ReleaseDC(label_, dc);
        width = std::max(width, static_cast<int>(size.cx));
    }
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    const int left = Scale(l.label_left);
    width = std::max(0, std::min(width, static_cast<int>(client.right) - left));
    ::MoveWindow(label_, left, Scale(l.label_top), width, Scale(l.label_height), TRUE);
}

void Win32Form::SetLabel(const UnicodeString& text) {
    if (text == label_text_) return;
    label_text_ = text;
    PlaceLabel();
    ::SetWindowTextW(label_, wide(text));
}

// The label paints its text itself with DrawText's path ellipsis alone. Some static controls
// pair SS_PATHELLIPSIS with the word ellipsis and then fail on a text that still does not fit
// (a long file name); the control's text, class and style stay those of a plain label.
LRESULT CALLBACK Win32Form::LabelProcedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                           DWORD_PTR form_address) {
    auto* form = reinterpret_cast<Win32Form*>(form_address);
    switch (msg) {
    case WM_SETTEXT: {
        const LRESULT r = ::DefWindowProcW(hwnd, msg, wp, lp);
        ::InvalidateRect(hwnd, nullptr, TRUE);
        return r;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        RECT r{};
        ::GetClientRect(hwnd, &r);
        ::FillRect(dc, &r, form->background_);
        HGDIOBJ old = ::SelectObject(dc, form->font_);
        ::SetTextColor(dc,
                       ::GetSysColor(::IsWindowEnabled(hwnd) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
        ::SetBkMode(dc, TRANSPARENT);
        ::DrawTextW(dc, wide(form->label_text_), static_cast<int>(form->label_text_.size()), &r,
                    DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_PATH_ELLIPSIS);
        ::SelectObject(dc, old);
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(hwnd, LabelProcedure, 0);
        break;
    default:
        break;
    }
    return ::DefSubclassProc(hwnd, msg, wp, lp);
}

// The bar keeps the position it was given, so that a position set before a larger maximum
// shows once the maximum is raised.
void Win32Form::SetBarMax(int max) {
    bar_max_ = max;
    ::SendMessageW(bar_, PBM_SETRANGE32, 0, max);
    ::SendMessageW(bar_, PBM_SETPOS, std::clamp(bar_position_, 0, std::max(max, 0)), 0);
}

void Win32Form::SetBarPosition(int position) {
    bar_position_ = position;
    ::SendMessageW(bar_, PBM_SETPOS, std::clamp(position, 0, std::max(bar_max_, 0)), 0);
}

void Win32Form::SetButtonEnabled(bool enabled) {
    // A disabled control cannot keep the focus: the window takes it, so Esc still arrives.
    if (!enabled && ::GetFocus() == button_) ::SetFocus(hwnd_);
    ::EnableWindow(button_, enabled);
}

void Win32Form::SetTimerEnabled(bool enabled) {
    timer_enabled_ = enabled && layout_.timer_interval_ms;
    if (timer_enabled_)
        ::SetTimer(hwnd_, kTimerId, layout_.timer_interval_ms, nullptr);
    else
        ::KillTimer(hwnd_, kTimerId);
}

// The window goes once the handler that closed it has returned.
void Win32Form::Close() {
    if (closed_ || !hwnd_) return;
    closed_ = true;
    ::KillTimer(hwnd_, kTimerId);
    ::PostMessageW(hwnd_, kMsgClose, 0, 0);
}

void Win32Form::Show() {
    ::ShowWindow(hwnd_, SW_SHOWNORMAL);
    ::SetForegroundWindow(hwnd_);
    ::UpdateWindow(hwnd_);
    // Focus-stealing prevention may keep the window inactive: the job starts all the same.
    if (!activated_) ::PostMessageW(hwnd_, kMsgActivated, 0, 0);
}

bool Win32Form::PreTranslate(const MSG& msg) {
    if (!hwnd_ || (msg.hwnd != hwnd_ && !::IsChild(hwnd_, msg.hwnd))) return false;
    if (msg.message == WM_KEYDOWN) {
        switch (msg.wParam) {
        case VK_TAB: {
            if (::GetKeyState(VK_CONTROL) < 0) return false;
            HWND from = ::GetFocus();
            if (!::IsChild(hwnd_, from)) from = nullptr;
            if (HWND next = ::GetNextDlgTabItem(hwnd_, from, ::GetKeyState(VK_SHIFT) < 0))
                ::SetFocus(next);
            return true;
        }
        case VK_ESCAPE:
            Click();
            return true;
        case VK_RETURN: // never presses Cancel by accident
            return true;
        default:
            return false;
        }
    }
    return msg.message == WM_CHAR && (msg.wParam == '\t' || msg.wParam == '\r' ||
                                      msg.wParam == '\n' || msg.wParam == VK_ESCAPE);
}

template <class F> void Win32Form::Raise(F&& handler) {
    try {
        handler();
    } catch (...) {
        try {
            app_->ShowException(current_exception());
        } catch (...) {
        }
    }
}

void Win32Form::Click() {
    if (closed_ || !::IsWindowEnabled(button_) || !::IsWindowVisible(button_)) return;
    Raise([this] { events_->OnButtonClick(); });
}

// The close box and Alt+F4: the owner either lets the window go now or winds down first (a
// running job is cancelled) and closes it later, the window answering meanwhile.
void Win32Form::RequestClose() {
    if (closing_ || closed_) return;
    closing_ = true;
    bool may_close = true;
    Raise([&] { may_close = events_->OnCloseRequest(); });
    closing_ = false;
    if (may_close && hwnd_) ::DestroyWindow(hwnd_);
}

// The end of the session: nothing runs after this returns, so the owner's wind-down is
// waited for here, with the window answering, until it has closed the window.
void Win32Form::EndSession() {
    RequestClose();
    MSG msg;
    while (hwnd_ && !closed_ && ::GetMessageW(&msg, nullptr, 0, 0) > 0)
        app_->Dispatch(msg);
}

LRESULT CALLBACK Win32Form::Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        auto* form = static_cast<Win32Form*>(cs->lpCreateParams);
        form->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<Win32Form*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!form) return ::DefWindowProcW(hwnd, msg, wp, lp);
    try {
        return form->Handle(msg, wp, lp);
    } catch (...) {
        return 0;
    }
}

LRESULT Win32Form::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ACTIVATE:
        if (LOWORD(wp) == WA_INACTIVE) {
            HWND f = ::GetFocus();
            if (f && ::IsChild(hwnd_, f)) focus_ = f;
            return 0;
        }
        activated_ = true;
        ::SetFocus(focus_ && ::IsWindowEnabled(focus_) ? focus_ : hwnd_);
        // The event runs from the message loop, not inside the activation (a message box
        // shown by it would otherwise open in the middle of ShowWindow).
        ::PostMessageW(hwnd_, kMsgActivated, 0, 0);
        return 0;
    case kMsgActivated:
        if (!closed_) Raise([this] { events_->OnActivate(); });
        return 0;
    case WM_TIMER:
        if (wp == kTimerId && timer_enabled_ && !closed_) Raise([this] { events_->OnTimer(); });
        return 0;
    case kMsgWake:
        if (timer_enabled_ && !closed_) {
            ::SetTimer(hwnd_, kTimerId, layout_.timer_interval_ms, nullptr);
            Raise([this] { events_->OnTimer(); });
        }
        return 0;
    case WM_COMMAND:
        if (LOWORD(wp) == kButtonId && HIWORD(wp) == BN_CLICKED) Click();
        return 0;
    case WM_CLOSE:
        RequestClose();
        return 0;
    case kMsgClose:
        ::DestroyWindow(hwnd_);
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (wp) EndSession();
        return 0;
    case WM_DPICHANGED:
        Lay(HIWORD(wp), reinterpret_cast<const RECT*>(lp));
        return 0;
    case WM_ERASEBKGND: {
        RECT r{};
        ::GetClientRect(hwnd_, &r);
        ::FillRect(reinterpret_cast<HDC>(wp), &r, background_);
        return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        HDC dc = reinterpret_cast<HDC>(wp);
        ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
        ::SetBkColor(dc, ::GetSysColor(background_index_));
        return reinterpret_cast<LRESULT>(background_);
    }
    case WM_DESTROY:
        ::KillTimer(hwnd_, kTimerId);
        if (main_) {
            app_->MainWindow(nullptr);
            ::PostQuitMessage(0);
        }
        return 0;
    case WM_NCDESTROY: {
        HWND hwnd = hwnd_;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    }
    default:
        return ::DefWindowProcW(hwnd_, msg, wp, lp);
    }
}

void Win32Application::Initialize() {
    if (initialized_) return;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Win32Form::Procedure;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    // The program's icon, resource 1 of its resource script (title bar and taskbar; the
    // small one is taken from the same resource); the system's where a program has none.
    wc.hIcon = ::LoadIconW(wc.hInstance, MAKEINTRESOURCEW(1));
    if (!wc.hIcon) wc.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    wc.lpszClassName = kClassName;
    ::RegisterClassExW(&wc);
    initialized_ = true;
}

std::unique_ptr<ProgressForm> Win32Application::CreateForm(const FormLayout& layout,
                                                           FormEvents* events) {
    Initialize();
    const bool main = main_ == nullptr;
    auto form = std::make_unique<Win32Form>(this, layout, events, main);
    if (main) {
        main_ = form.get();
        MainWindow(form->hwnd());
    }
    return form;
}

void Win32Application::Run() {
    if (!main_ || !main_->hwnd()) return;
    main_->Show();
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
        Dispatch(msg);
}

// Message boxes are owned by the main window while it is there; this back-end has no
// dialog windows of its own that would take its place.
int Win32Application::Alert(const UnicodeString& text, const UnicodeString& caption,
                            unsigned style) {
    HWND owner = main_hwnd_.load(std::memory_order_relaxed);
    if (owner && !::IsWindow(owner)) owner = nullptr;
    return ::MessageBoxW(owner, wide(text), wide(caption), style);
}

void Win32Application::ShowException(const Exception& e) {
    Alert(e.Message(), title_, MB_OK | MB_ICONERROR);
}

} // namespace

Application& builtin_application() {
    static Win32Application app;
    return app;
}

} // namespace gui
