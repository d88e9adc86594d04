#include "platform/gui/win32/form.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/gui/win32/application.h"
#include "platform/gui/win32/dpi.h"

namespace gui::win32 {
namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr int kButtonId = IDCANCEL;
#ifndef WM_DPICHANGED
constexpr UINT WM_DPICHANGED = 0x02E0;
#endif

} // namespace

Form::Form(Win32Application* app, const FormLayout& layout, FormEvents* events, bool main)
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
    // The children in their order; only the button takes the focus.
    const DWORD child = WS_CHILD | WS_VISIBLE;
    label_ = ::CreateWindowExW(0, L"STATIC", L"",
                               child | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_PATHELLIPSIS, 0, 0, 0,
                               0, hwnd_, nullptr, instance, nullptr);
    ::SetWindowSubclass(label_, LabelProcedure, 0, reinterpret_cast<DWORD_PTR>(this));
    bar_ = ::CreateWindowExW(0, PROGRESS_CLASSW, wide(layout_.bar_name), child, 0, 0, 0, 0, hwnd_,
                             nullptr, instance, nullptr);
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

Form::~Form() {
    app_->Forget(this);
    // A window that goes with its object ends no message loop: the loop has ended already.
    main_ = false;
    if (hwnd_) ::DestroyWindow(hwnd_);
    if (font_) ::DeleteObject(font_);
}

void Form::Lay(UINT dpi, const RECT* suggested) {
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
    adjust_window_rect(&r, style, ex_style, dpi);
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

// The bar keeps the position it was given, so that a position set before a larger maximum
// shows once the maximum is raised.
void Form::SetBarMax(int max) {
    bar_max_ = max;
    ::SendMessageW(bar_, PBM_SETRANGE32, 0, max);
    ::SendMessageW(bar_, PBM_SETPOS, std::clamp(bar_position_, 0, std::max(max, 0)), 0);
}

void Form::SetBarPosition(int position) {
    bar_position_ = position;
    ::SendMessageW(bar_, PBM_SETPOS, std::clamp(position, 0, std::max(bar_max_, 0)), 0);
}

// A themed bar glides towards a higher position over a moment; a position set back from
// above is drawn at once. So the last frame shows the bar where it is, full at the end.
void Form::Repaint() {
    if (!hwnd_) return;
    const int max = std::max(bar_max_, 0), position = std::clamp(bar_position_, 0, max);
    ::SendMessageW(bar_, PBM_SETRANGE32, 0, max + 1);
    ::SendMessageW(bar_, PBM_SETPOS, position + 1, 0);
    ::SendMessageW(bar_, PBM_SETPOS, position, 0);
    ::SendMessageW(bar_, PBM_SETRANGE32, 0, max);
    ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    present();
}

void Form::SetButtonEnabled(bool enabled) {
    // A disabled control cannot keep the focus: the window takes it, so Esc still arrives.
    if (!enabled && ::GetFocus() == button_) ::SetFocus(hwnd_);
    ::EnableWindow(button_, enabled);
}

void Form::SetTimerEnabled(bool enabled) {
    timer_enabled_ = enabled && layout_.timer_interval_ms;
    if (timer_enabled_)
        ::SetTimer(hwnd_, kTimerId, layout_.timer_interval_ms, nullptr);
    else
        ::KillTimer(hwnd_, kTimerId);
}

// The window goes once the handler that closed it has returned.
void Form::Close() {
    if (closed_ || !hwnd_) return;
    closed_ = true;
    ::KillTimer(hwnd_, kTimerId);
    ::PostMessageW(hwnd_, kMsgClose, 0, 0);
}

void Form::Show() {
    ::ShowWindow(hwnd_, SW_SHOWNORMAL);
    ::SetForegroundWindow(hwnd_);
    ::UpdateWindow(hwnd_);
    // Focus-stealing prevention may keep the window inactive: the job starts all the same.
    if (!activated_) ::PostMessageW(hwnd_, kMsgActivated, 0, 0);
}

bool Form::PreTranslate(const MSG& msg) {
    if (!hwnd_ || (msg.hwnd != hwnd_ && !::IsChild(hwnd_, msg.hwnd))) return false;
    if (msg.message == WM_KEYDOWN) {
        switch (msg.wParam) {
        case VK_TAB: {
            if (::GetKeyState(VK_CONTROL) < 0) return false;
            HWND from = ::GetFocus();
            if (!::IsChild(hwnd_, from)) from = nullptr;
            if (HWND next = ::GetNextDlgTabItem(hwnd_, from, ::GetKeyState(VK_SHIFT) < 0))
                ::SetFocus(next);
            // The keyboard is in use: the focused control shows its focus from now on.
            ::SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
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

template <class F> void Form::Raise(F&& handler) {
    try {
        handler();
    } catch (...) {
        try {
            app_->ShowException(current_exception());
        } catch (...) {
        }
    }
}

void Form::Click() {
    if (closed_ || !::IsWindowEnabled(button_) || !::IsWindowVisible(button_)) return;
    Raise([this] { events_->OnButtonClick(); });
}

// The close box and Alt+F4: the owner either lets the window go now or winds down first (a
// running job is cancelled) and closes it later, the window answering meanwhile.
void Form::RequestClose() {
    if (closing_ || closed_) return;
    closing_ = true;
    bool may_close = true;
    Raise([&] { may_close = events_->OnCloseRequest(); });
    closing_ = false;
    if (may_close && hwnd_) ::DestroyWindow(hwnd_);
}

// The end of the session: nothing runs after this returns, so the owner's wind-down is
// waited for here, with the window answering, until it has closed the window.
void Form::EndSession() {
    RequestClose();
    MSG msg;
    while (hwnd_ && !closed_ && ::GetMessageW(&msg, nullptr, 0, 0) > 0)
        app_->Dispatch(msg);
}

LRESULT CALLBACK Form::Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        auto* form = static_cast<Form*>(cs->lpCreateParams);
        form->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<Form*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!form) return ::DefWindowProcW(hwnd, msg, wp, lp);
    try {
        return form->Handle(msg, wp, lp);
    } catch (...) {
        return 0;
    }
}

LRESULT Form::Handle(UINT msg, WPARAM wp, LPARAM lp) {
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

} // namespace gui::win32
