// The terminal back-end. The window is one line on standard output: the label, then the bar
// and its percentage, redrawn in place on a terminal and written as plain lines (one per
// change) otherwise; "Cancelling..." once the button has been pressed. The first interrupt
// (Ctrl-C, a termination request) presses the button; the next closes the window. Message
// boxes go to standard error with their caption. Control characters never reach the terminal.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/console.h"
#include "platform/gui/gui.h"
#include "platform/gui/tty/line.h"
#include "platform/gui/tty/tty.h"

namespace gui {
namespace {

class TtyApplication;

class TtyForm : public ProgressForm {
  public:
    explicit TtyForm(TtyApplication* app) : app_(app) {}
    ~TtyForm() override;
    void SetLabel(const UnicodeString& text) override {
        label = tty::escape_controls(to_utf8(text)); // paths in it are in the system's own form
    }
    void SetPathRoot(const UnicodeString& root) override {
        path_root = tty::escape_controls(to_utf8(root));
    }
    void SetBarMax(int max) override { bar_max = max; }
    void SetBarPosition(int position) override {
        bar_position = position;
        bar_driven = true;
    }
    void SetBarVisible(bool v) override { bar_visible = v; }
    void SetButtonEnabled(bool e) override { button_enabled = e; }
    void SetButtonVisible(bool) override {}
    void SetTimerEnabled(bool e) override { timer_enabled = e; }
    void Repaint() override;
    void Close() override { closed = true; }

    std::string label, path_root;
    int bar_max = 100, bar_position = 0;
    bool bar_visible = true, button_enabled = true, timer_enabled = true, closed = false;
    // A terminal line shows the bar only once the program has moved it.
    bool bar_driven = false;

  private:
    TtyApplication* app_;
};

class TtyApplication : public Application {
  public:
    void Initialize() override {
        platform::console::prepare();
        terminal_ = platform::console::is_terminal(1);
    }
    void SetTitle(const UnicodeString& title) override { title_ = to_utf8(title); }
    std::unique_ptr<ProgressForm> CreateForm(const FormLayout& layout,
                                             FormEvents* events) override {
        const bool main = main_ == nullptr;
        auto form = std::make_unique<TtyForm>(this);
        if (main) {
            main_ = form.get();
            events_ = events;
            interval_ = layout.timer_interval_ms ? layout.timer_interval_ms : 100;
        }
        return form;
    }
    void Run() override;
    int Alert(const UnicodeString& text, const UnicodeString& caption, unsigned) override {
        Message(to_utf8(caption), to_utf8(text));
        // The window gets the focus back when the box goes.
        if (events_ && main_ && !main_->closed) events_->OnActivate();
        return kIdOk;
    }
    void ShowException(const Exception& e) override { Message(title_, to_utf8(e.Message())); }
    bool Note(const UnicodeString& text) override {
        Line(to_utf8(text));
        return true;
    }
    void Wake() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            woken_ = true;
        }
        wake_.notify_one();
    }
    void Forget(TtyForm* form) {
        if (form == main_) main_ = nullptr;
    }
    void Draw();

  private:
    void WaitTick();
    void Message(const std::string& caption, const std::string& text) {
        Line(caption + ": " + text);
    }
    // One line on standard error, below the progress line.
    void Line(const std::string& text) {
        EndLine();
        const std::string line = tty::escape_controls(text) + "\n";
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    }
    void EndLine() {
        if (terminal_ && drawn_) std::fputc('\n', stdout), std::fflush(stdout);
        drawn_ = false;
    }

    TtyForm* main_ = nullptr;
    FormEvents* events_ = nullptr;
    std::string title_;
    unsigned interval_ = 100;
    bool terminal_ = false;
    bool drawn_ = false;
    std::string shown_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool woken_ = false;
    int pending_interrupts_ = 0;
    bool cancel_pressed_ = false;
};

TtyForm::~TtyForm() {
    app_->Forget(this);
}

void TtyForm::Repaint() {
    app_->Draw();
}

// Waits one timer interval, less when woken or interrupted.
void TtyApplication::WaitTick() {
    using clock = std::chrono::steady_clock;
    const auto end = clock::now() + std::chrono::milliseconds(interval_);
    std::unique_lock<std::mutex> lock(mutex_);
    while (!woken_ && clock::now() < end) {
        // Signal handlers cannot notify: look at the interrupt count every few milliseconds.
        wake_.wait_for(lock, std::chrono::milliseconds(10));
        if (woken_) break;
        int n = platform::console::take_interrupts();
        if (n > 0) {
            pending_interrupts_ += n;
            break;
        }
    }
    woken_ = false;
}

void TtyApplication::Draw() {
    if (!main_) return;
    const std::string& text = main_->label;
    std::string bar;
    if (main_->bar_visible && main_->bar_driven) {
        const int max = main_->bar_max > 0 ? main_->bar_max : 1;
        long long pos = main_->bar_position;
        if (pos < 0) pos = 0;
        if (pos > max) pos = max;
        char pct[16];
        std::snprintf(pct, sizeof pct, " %6.2f%%", 100.0 * static_cast<double>(pos) / max);
        const int width = 20;
        const int filled = static_cast<int>(pos * width / max);
        bar = " [" + std::string(filled, '#') + std::string(width - filled, '.') + "]" + pct;
    }
    const std::string state = cancel_pressed_ || !main_->button_enabled ? " Cancelling..." : "";
    if (text.empty() && bar.empty() && state.empty()) return;
    if (terminal_) {
        const int columns = platform::console::columns();
        std::string line = tty::status_line(text, main_->path_root, bar, state, columns);
        if (line == shown_) return;
        shown_ = line;
        // Blanks over what a longer line before it left on screen.
        line.append(static_cast<size_t>(std::max(columns - 1 - tty::cells(line), 0)), ' ');
        line.insert(0, "\r");
        std::fwrite(line.data(), 1, line.size(), stdout);
        drawn_ = true;
    } else {
        std::string line = text + bar + state;
        if (line == shown_) return;
        shown_ = line;
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    std::fflush(stdout);
}

void TtyApplication::Run() {
    if (!events_) return;
    events_->OnActivate();
    while (main_ && !main_->closed) {
        WaitTick();
        pending_interrupts_ += platform::console::take_interrupts();
        while (pending_interrupts_ > 0 && main_ && !main_->closed) {
            --pending_interrupts_;
            if (!cancel_pressed_ && main_->button_enabled) {
                cancel_pressed_ = true;
                events_->OnButtonClick();
            } else {
                if (events_->OnCloseRequest()) main_->closed = true;
            }
        }
        if (!main_ || main_->closed) break;
        if (main_->timer_enabled) events_->OnTimer();
        Draw();
    }
    Draw();
    EndLine();
}

} // namespace

Application& tty_application() {
    static TtyApplication app;
    return app;
}

} // namespace gui
