#pragma once
// A GUI back-end that passes everything on to a real one, and lets a window test look at the
// screen when the program closes its main window: what the screen shows then is the last
// frame.
#include <functional>
#include <memory>
#include <utility>

#include "platform/gui/gui.h"

class LookBeforeClose : public gui::Application {
  public:
    LookBeforeClose(gui::Application& real, std::function<void()> look)
        : real_(real), look_(std::move(look)) {}

    int repaints = 0;

    void Initialize() override { real_.Initialize(); }
    void SetTitle(const UnicodeString& title) override { real_.SetTitle(title); }
    std::unique_ptr<gui::ProgressForm> CreateForm(const gui::FormLayout& l,
                                                  gui::FormEvents* e) override {
        return std::make_unique<Form>(this, real_.CreateForm(l, e));
    }
    void Run() override { real_.Run(); }
    int Alert(const UnicodeString& text, const UnicodeString& caption, unsigned style) override {
        return real_.Alert(text, caption, style);
    }
    void ShowException(const Exception& e) override { real_.ShowException(e); }
    void Wake() override { real_.Wake(); }

  private:
    struct Form : gui::ProgressForm {
        LookBeforeClose* app;
        std::unique_ptr<gui::ProgressForm> real;
        Form(LookBeforeClose* a, std::unique_ptr<gui::ProgressForm> r)
            : app(a), real(std::move(r)) {}
        void SetLabel(const UnicodeString& t) override { real->SetLabel(t); }
        void SetPathRoot(const UnicodeString& r) override { real->SetPathRoot(r); }
        void SetBarMax(int m) override { real->SetBarMax(m); }
        void SetBarPosition(int p) override { real->SetBarPosition(p); }
        void SetBarVisible(bool v) override { real->SetBarVisible(v); }
        void SetButtonEnabled(bool e) override { real->SetButtonEnabled(e); }
        void SetButtonVisible(bool v) override { real->SetButtonVisible(v); }
        void SetTimerEnabled(bool e) override { real->SetTimerEnabled(e); }
        void Repaint() override {
            ++app->repaints;
            real->Repaint();
        }
        void Close() override {
            app->look_();
            real->Close();
        }
    };
    gui::Application& real_;
    std::function<void()> look_;
};
