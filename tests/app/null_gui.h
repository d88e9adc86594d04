#pragma once
// A GUI back-end without any display, for the tests: it records what the program shows, and
// ticks the main window's timer until the window closes.
#include <functional>
#include <memory>
#include <vector>

#include "platform/gui/gui.h"
#include "platform/sync.h"

namespace gui {

class NullApplication : public Application {
  public:
    struct Box {
        UnicodeString text, caption;
        unsigned style;
        size_t frames_before; // painted frames before the box came
        UnicodeString label;  // the window's label behind the box
    };
    // What the main window shows now, and every bar position it showed.
    struct State {
        UnicodeString label, root;
        std::vector<UnicodeString> labels; // every label shown, in order
        std::vector<int> positions;
        bool button_enabled = true, timer_enabled = true, closed = false;
        // Labels and bar positions as the screen had them at each Repaint.
        std::vector<std::pair<UnicodeString, int>> painted;
    };

    void Initialize() override {}
    void SetTitle(const UnicodeString& t) override { title = t; }
    // Only the first form is the main window: the changes of any other are dropped.
    std::unique_ptr<ProgressForm> CreateForm(const FormLayout&, FormEvents* events) override {
        State* s = events_ ? &ignored_ : &state;
        if (!events_) events_ = events, state = State{};
        return std::make_unique<Form>(s);
    }
    // Activates the main window, then ticks its timer every millisecond until it closes; once
    // the timer is off (or after 100000 ticks) it closes the window as a user would.
    void Run() override {
        if (!events_) return;
        ++activations;
        events_->OnActivate();
        for (int tick = 0; !state.closed && state.timer_enabled && tick < 100000; ++tick) {
            platform::sleep_ms(1);
            if (before_tick) before_tick(*this, tick);
            if (!state.closed && state.timer_enabled) events_->OnTimer();
        }
        if (!state.closed && events_->OnCloseRequest()) state.closed = true;
    }
    int Alert(const UnicodeString& text, const UnicodeString& caption, unsigned style) override {
        boxes.push_back({text, caption, style, state.painted.size(), state.label});
        // Closing the box gives the focus back to the window.
        if (events_ && !state.closed) ++activations, events_->OnActivate();
        return kIdOk;
    }
    void ShowException(const Exception& e) override { exceptions.push_back(e.Message()); }
    void Wake() override {}

    // Runs before every tick with the tick's number, from 0.
    std::function<void(NullApplication&, int)> before_tick;
    // The main window's events, for a test that acts as the user.
    FormEvents* events() const { return events_; }

    UnicodeString title;
    std::vector<Box> boxes;
    std::vector<UnicodeString> exceptions;
    State state;
    int activations = 0;

  private:
    struct Form : ProgressForm {
        State* s;
        explicit Form(State* state) : s(state) {}
        void SetLabel(const UnicodeString& text) override {
            if (s->labels.empty() || s->labels.back() != text) s->labels.push_back(text);
            s->label = text;
        }
        void SetPathRoot(const UnicodeString& root) override { s->root = root; }
        void Repaint() override {
            s->painted.emplace_back(s->label, s->positions.empty() ? -1 : s->positions.back());
        }
        void SetBarMax(int) override {}
        void SetBarPosition(int position) override { s->positions.push_back(position); }
        void SetBarVisible(bool) override {}
        void SetButtonEnabled(bool e) override { s->button_enabled = e; }
        void SetButtonVisible(bool) override {}
        void SetTimerEnabled(bool e) override { s->timer_enabled = e; }
        void Close() override { s->closed = true; }
    };
    FormEvents* events_ = nullptr;
    State ignored_;
};

} // namespace gui
