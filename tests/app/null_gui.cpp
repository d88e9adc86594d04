#include "app/null_gui.h"

#include "platform/sync.h"

namespace gui {

// Only the main window's changes are recorded; those of any other form are dropped.
class NullForm : public ProgressForm {
  public:
    NullForm(NullApplication* app, bool main) : s_(main ? &app->state : &ignored_) {}
    void SetLabel(const UnicodeString& text) override { s_->label = text; }
    void SetBarMax(int max) override { s_->bar_max = max; }
    void SetBarPosition(int position) override { s_->positions.push_back(position); }
    void SetBarVisible(bool) override {}
    void SetButtonEnabled(bool e) override { s_->button_enabled = e; }
    void SetButtonVisible(bool) override {}
    void SetTimerEnabled(bool e) override { s_->timer_enabled = e; }
    void Close() override { s_->closed = true; }

  private:
    NullApplication::State ignored_;
    NullApplication::State* s_;
};

std::unique_ptr<ProgressForm> NullApplication::CreateForm(const FormLayout& layout,
                                                          FormEvents* events) {
    const bool main = events_ == nullptr;
    if (main) {
        events_ = events;
        interval_ = layout.timer_interval_ms;
        state = State{};
    }
    return std::make_unique<NullForm>(this, main);
}

void NullApplication::Run() {
    if (!events_) return;
    ++activations;
    events_->OnActivate();
    while (!state.closed) {
        if (!state.timer_enabled || ticks >= 100000) {
            RequestClose();
            break;
        }
        platform::sleep_ms(tick_ms ? tick_ms : interval_);
        if (before_tick) before_tick(*this, ticks);
        ++ticks;
        if (!state.closed && state.timer_enabled) events_->OnTimer();
    }
}

int NullApplication::Alert(const UnicodeString& text, const UnicodeString& caption,
                           unsigned style) {
    boxes.push_back({text, caption, style});
    // Closing the box gives the focus back to the window.
    if (events_ && !state.closed) {
        ++activations;
        events_->OnActivate();
    }
    return kIdOk;
}

void NullApplication::PressButton() {
    if (events_ && state.button_enabled && !state.closed) events_->OnButtonClick();
}

void NullApplication::RequestClose() {
    if (events_ && !state.closed && events_->OnCloseRequest()) state.closed = true;
}

} // namespace gui
