#include "app/null_gui.h"

#include "platform/sync.h"

namespace gui {

class NullForm : public ProgressForm {
  public:
    NullForm(NullApplication* app, bool main) : app_(app), main_(main) {}
    void SetLabel(const UnicodeString& text) override {
        if (!main_) return;
        app_->state.label = text;
        app_->labels.push_back(text);
    }
    void SetBarMax(int max) override {
        if (main_) app_->state.bar_max = max;
    }
    void SetBarPosition(int position) override {
        if (!main_) return;
        app_->state.bar_position = position;
        app_->positions.push_back(position);
    }
    void SetBarVisible(bool v) override {
        if (main_) app_->state.bar_visible = v;
    }
    void SetButtonEnabled(bool e) override {
        if (main_) app_->state.button_enabled = e;
    }
    void SetButtonVisible(bool v) override {
        if (main_) app_->state.button_visible = v;
    }
    void SetTimerEnabled(bool e) override {
        if (main_) app_->state.timer_enabled = e;
    }
    void Close() override {
        if (main_) app_->state.closed = true;
    }

  private:
    NullApplication* app_;
    bool main_;
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
        if (!state.timer_enabled || ticks >= max_ticks) {
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
    if (!events_ || state.closed) return;
    if (events_->OnCloseRequest()) state.closed = true;
}

} // namespace gui
