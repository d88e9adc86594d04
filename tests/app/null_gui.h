#pragma once
// A GUI back-end without any display, for the tests: it records what the program shows and lets the
// test press the button or close the window between timer ticks.
#include <functional>
#include <string>
#include <vector>

#include "platform/gui/gui.h"

namespace gui {

class NullApplication : public Application {
  public:
    struct Box {
        UnicodeString text, caption;
        unsigned style;
    };
    // What the main window shows now, and every bar position it showed.
    struct State {
        UnicodeString label;
        int bar_max = 100;
        std::vector<int> positions;
        bool button_enabled = true, timer_enabled = true, closed = false;
    };

    void Initialize() override {}
    void SetTitle(const UnicodeString& title) override { title_ = title; }
    std::unique_ptr<ProgressForm> CreateForm(const FormLayout& layout, FormEvents* events) override;
    // Activates the main window, then ticks its timer until it closes. Without a timer, or
    // after 100000 ticks, it closes the window as a user would.
    void Run() override;
    int Alert(const UnicodeString& text, const UnicodeString& caption, unsigned style) override;
    void ShowException(const Exception& e) override { exceptions.push_back(e.Message()); }
    void Wake() override {}

    // Presses the button as a user would: nothing happens while it is disabled.
    void PressButton();
    // Closes the main window as a user would, with its close box.
    void RequestClose();

    // Milliseconds between ticks (the window's interval when 0).
    unsigned tick_ms = 1;
    // Runs before every tick with the tick's number, from 0.
    std::function<void(NullApplication&, int)> before_tick;

    const UnicodeString& title() const { return title_; }
    std::vector<Box> boxes;
    std::vector<UnicodeString> exceptions;
    State state;
    int activations = 0;
    int ticks = 0;

  private:
    friend class NullForm;
    FormEvents* events_ = nullptr;
    UnicodeString title_;
    unsigned interval_ = 100;
};

} // namespace gui
