#pragma once
// The progress window on Windows: a native top-level window with a static label, a
// common-controls progress bar and a push button, laid out from the FormLayout at the
// window's DPI (it follows WM_DPICHANGED). The keyboard works as in a dialog (Tab, Esc,
// Space; Enter does nothing), and no exception leaves the window procedure: it is shown as
// the framework's standard message.
#include <windows.h>

#include "platform/gui/gui.h"

namespace gui::win32 {

// The window class, and the private messages: raise the activation, tick now, close once
// the handler that asked has returned.
inline constexpr wchar_t kClassName[] = L"LumbrakeProgressForm";
inline constexpr UINT kMsgActivated = WM_APP + 1;
inline constexpr UINT kMsgWake = WM_APP + 2;
inline constexpr UINT kMsgClose = WM_APP + 3;

inline const wchar_t* wide(const UnicodeString& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

class Win32Application;

class Form : public ProgressForm {
  public:
    Form(Win32Application* app, const FormLayout& layout, FormEvents* events, bool main);
    ~Form() override;

    void SetLabel(const UnicodeString& text) override;
    void SetPathRoot(const UnicodeString& root) override;
    void SetBarMax(int max) override;
    void SetBarPosition(int position) override;
    void SetBarVisible(bool visible) override { ::ShowWindow(bar_, visible ? SW_SHOWNA : SW_HIDE); }
    void SetButtonEnabled(bool enabled) override;
    void SetButtonVisible(bool visible) override {
        ::ShowWindow(button_, visible ? SW_SHOWNA : SW_HIDE);
    }
    void SetTimerEnabled(bool enabled) override;
    void Repaint() override;
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
    // The label's text as drawn in width pixels: its path cut to fit, each right-to-left
    // component isolated.
    UnicodeString ShownLabel(HDC dc, int width) const;
    void PaintLabel(HWND label);
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
    UnicodeString label_text_, path_root_;
    int bar_max_ = 100, bar_position_ = 0;
    bool timer_enabled_ = true;
    bool closed_ = false;    // Close was called: no more events but the close request
    bool closing_ = false;   // the close request is under way
    bool activated_ = false; // the system has activated the window at least once
};

} // namespace gui::win32
