#pragma once
// The GUI layer: one application object with a message loop, progress windows made of a
// label, a progress bar, a button and a timer, and modal message boxes. Each back-end (win32,
// qt, tty) implements it; the program is built with one of them. Every call is made, and
// every event raised, on the GUI thread, except Application::Wake.
#include <memory>

#include "platform/exception.h"
#include "platform/ustring.h"

namespace gui {

// Message box styles and results, with the values of the Windows message box.
enum : unsigned { kMbOk = 0, kMbIconError = 0x10 };
enum : int { kIdOk = 1 };

// What a window raises to its owner.
class FormEvents {
  public:
    virtual ~FormEvents() = default;
    // Every time the window becomes active, including after a message box it owns closed.
    virtual void OnActivate() = 0;
    // About every timer interval while the timer is enabled.
    virtual void OnTimer() = 0;
    // The button was pressed; never while it is disabled.
    virtual void OnButtonClick() = 0;
    // The user closes the window (close box; a second interrupt in a terminal). True: the
    // window closes when this returns. False: it stays open and responsive (something must
    // wind down first) until the owner closes it.
    virtual bool OnCloseRequest() = 0;
};

// Everything a progress window looks like, so that no back-end decides any of it. Positions
// and sizes are in pixels at 96 dots per inch; each back-end scales them to the display.
// The button is the one control that takes the focus: the bar is no tab stop, so Tab leaves
// the focus on the button.
struct FormLayout {
    UnicodeString caption;
    int client_width = 0, client_height = 0;
    bool centred = true; // on the screen; otherwise at left, top
    int left = 0, top = 0;
    // Border icons: the close box is always there.
    bool minimize_box = false, maximize_box = false;
    bool resizable = false;
    enum class Colour { ButtonFace, Window } background = Colour::ButtonFace;
    // The font by name and height; a negative height is the character height in pixels
    // (Windows' convention). A back-end without the font uses the platform's UI font.
    UnicodeString font_name;
    int font_height = 0;

    // The label starts empty at label_width x label_height and grows with its text up to
    // the client's right edge; a path too wide for that is cut at folder boundaries
    // (platform/gui/path_fit.h). Its text is plain: '&' and '<' show as themselves.
    int label_left = 0, label_top = 0, label_width = 0, label_height = 0;
    int bar_left = 0, bar_top = 0, bar_width = 0, bar_height = 0;
    int button_left = 0, button_top = 0, button_width = 0, button_height = 0;
    UnicodeString button_caption;
    // Names for screen readers (the button reads its caption).
    UnicodeString label_name, bar_name;
    unsigned timer_interval_ms = 100;
};

// A window as made from its layout: empty label, empty bar running from 0 to 100, visible
// enabled button, timer enabled.
class ProgressForm {
  public:
    virtual ~ProgressForm() = default;
    virtual void SetLabel(const UnicodeString& text) = 0;
    // The root of the paths the label shows (the source's drive, on Linux its mount point,
    // ending in its separator): kept whole when a path is cut to the label's width.
    virtual void SetPathRoot(const UnicodeString& root) = 0;
    virtual void SetBarMax(int max) = 0;
    // A position beyond the maximum shows as a full bar.
    virtual void SetBarPosition(int position) = 0;
    virtual void SetBarVisible(bool visible) = 0;
    virtual void SetButtonEnabled(bool enabled) = 0;
    virtual void SetButtonVisible(bool visible) = 0;
    // Disabling stops further ticks at once.
    virtual void SetTimerEnabled(bool enabled) = 0;
    // Draws what the window was given now, and hands it to the screen before returning:
    // the last frame, before the window closes or a message box covers it.
    virtual void Repaint() = 0;
    // Closing the main window ends Application::Run.
    virtual void Close() = 0;
};

class Application {
  public:
    virtual ~Application() = default;
    virtual void Initialize() = 0;
    virtual void SetTitle(const UnicodeString& title) = 0;
    // Makes a window that raises its events to events (which must outlive it). The first
    // window made is the main window.
    virtual std::unique_ptr<ProgressForm> CreateForm(const FormLayout& layout,
                                                     FormEvents* events) = 0;
    // The message loop: returns when the main window has closed.
    virtual void Run() = 0;
    // A modal message box owned by the current dialog, else the main window, else none.
    // Returns the button that closed it (kIdOk).
    virtual int Alert(const UnicodeString& text, const UnicodeString& caption, unsigned style) = 0;
    // The standard message for an exception that escaped the entry.
    virtual void ShowException(const Exception& e) = 0;
    // A line for a user at a terminal, where no window shows how the copy went: the terminal
    // line writes it on standard error and returns true; a window shows nothing of it and
    // returns false.
    virtual bool Note(const UnicodeString&) { return false; }
    // From any thread: the timer of the main window ticks as soon as it can, without waiting
    // for the rest of its interval.
    virtual void Wake() = 0;
};

// The application object of the back-end the program was built with, or the one a test put
// in place.
Application& application();
// Puts app in place of the built-in back-end; null restores it.
void set_application(Application* app);
// Defined by the chosen back-end.
Application& builtin_application();

// UTF-16 to UTF-8 through the library's codec, for the back-ends that write bytes.
std::string to_utf8(const UnicodeString& text);

// Inside a catch block: the exception being handled as the framework's exception, for
// ShowException. A thrown Exception* is taken over (and deleted); a text or a standard
// exception gives its text; anything else "Unknown error".
Exception current_exception();

} // namespace gui
