#pragma once
// The window module's application object: Qt's application, started when first needed, its
// event loop, the interrupts the program passes on, and message boxes. No exception from the
// program's handlers crosses Qt's event loop: each is shown, as the framework shows an
// exception that escaped the entry, and the loop goes on.
#include <QMessageBox>
#include <QObject>

#include <atomic>
#include <exception>
#include <string>
#include <vector>

#include "platform/gui/qt/module.h"

namespace gui::qt {

class Window;
QString qstr(const UnicodeString& s);

class QtApplication : public Application {
  public:
    QtApplication(const Host* host, const char* platform)
        : host_(*host), platform_(platform ? platform : "") {}

    void Initialize() override;
    void SetTitle(const UnicodeString& title) override;
    std::unique_ptr<ProgressForm> CreateForm(const FormLayout& layout, FormEvents* events) override;
    void Run() override;
    int Alert(const UnicodeString& text, const UnicodeString& caption, unsigned style) override {
        return Box(qstr(text), qstr(caption), style);
    }
    void ShowException(const Exception& e) override;
    void Wake() override;

    // Runs one of the program's handlers; what it throws is shown and goes no further.
    template <typename F> void Guarded(F&& f) {
        try {
            f();
        } catch (Exception* e) {
            Shown(*e);
            delete e;
        } catch (const Exception& e) {
            Shown(e);
        } catch (const std::exception& e) {
            Shown(Exception(QString::fromUtf8(e.what()).toStdU16String()));
        } catch (...) {
            Shown(Exception(u"Unknown error"));
        }
    }
    void Forget(Window* w) {
        if (w == main_) main_ = nullptr;
    }
    bool IsMain(const Window* w) const { return w == main_; }
    // The main window has gone after the message loop: Qt goes too, while every global it
    // uses is still there. A later message box starts it again.
    void Finish();
    void MainClosed(Window* w);
    // Message boxes still open go, as if their OK had been pressed.
    void CloseBoxes() {
        for (QMessageBox* b : boxes_)
            b->done(QMessageBox::Ok);
    }

  private:
    int Box(const QString& text, const QString& caption, unsigned style);
    void Shown(const Exception& e) {
        try {
            ShowException(e);
        } catch (...) {
        }
    }

    Host host_;
    std::string platform_;
    QString title_;
    Window* main_ = nullptr;
    bool ran_ = false;
    std::atomic<QObject*> waker_{nullptr};
    std::vector<QMessageBox*> boxes_;
};

} // namespace gui::qt
