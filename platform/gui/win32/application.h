#pragma once
// The Windows back-end's application object: the window class, the message loop with the
// dialog keys of the main window, and the system's message boxes.
#include <windows.h>

#include <atomic>

#include "platform/gui/gui.h"

namespace gui::win32 {

class Form;

class Win32Application : public Application {
  public:
    void Initialize() override;
    void SetTitle(const UnicodeString& title) override { title_ = title; }
    std::unique_ptr<ProgressForm> CreateForm(const FormLayout& layout, FormEvents* events) override;
    void Run() override;
    int Alert(const UnicodeString& text, const UnicodeString& caption, unsigned style) override;
    void ShowException(const Exception& e) override;
    void Wake() override;

    // One message of the loop: the main window's dialog keys first.
    void Dispatch(MSG& msg);
    void MainWindow(HWND hwnd) { main_hwnd_.store(hwnd, std::memory_order_release); }
    void Forget(Form* form);

  private:
    Form* main_ = nullptr;
    std::atomic<HWND> main_hwnd_{nullptr};
    UnicodeString title_;
    bool initialized_ = false;
};

} // namespace gui::win32
