#pragma once
// The progress window on Linux desktops, with Qt 6 Widgets: the form's layout in logical
// pixels (Qt scales them to the display), the platform's UI font unless the layout's font
// exists, a plain-text label whose path is cut at folder boundaries, a bar of any range, a
// Cancel button that keeps the focus and is pressed by Esc.
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <QPointer>

#include "platform/gui/gui.h"

namespace gui::qt {

QString qstr(const UnicodeString& s);

class QtApplication;

class Window : public QWidget {
  public:
    Window(QtApplication* app, const FormLayout& layout, FormEvents* events);
    ~Window() override;

    void SetLabel(const QString& text);
    void SetPathRoot(const QString& root);
    void SetBarMax(int max) {
        bar_->setMaximum(max);
        ShowPosition();
    }
    void SetBarPosition(int position) {
        position_ = position;
        ShowPosition();
    }
    void SetTimerEnabled(bool enabled) {
        if (enabled && !closed_)
            timer_->start();
        else
            timer_->stop();
    }
    // Paints the window now and waits until the display has it.
    void RepaintNow();
    // Places the window before it is first shown: centred on the screen, its frame counted
    // on X11; on Wayland the compositor places it.
    void Place();
    // The program closes the window.
    void CloseByProgram();
    // A tick now, without waiting for the rest of the interval.
    void TickNow();
    // An interrupt: the first presses the button, the next is the close box.
    void Interrupt();
    bool closed() const { return closed_; }

    QLabel* label_;
    QProgressBar* bar_;
    QPushButton* button_;
    QTimer* timer_;

  protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    void Activate();
    void FitLabel();
    void ShowPosition() { bar_->setValue(std::clamp(position_, bar_->minimum(), bar_->maximum())); }
    void Closed();

    QtApplication* app_;
    FormEvents* events_;
    QString text_, root_;
    int position_ = 0;
    bool centred_;
    int label_min_width_, label_max_width_, label_height_;
    bool shown_ = false, activated_ = false, closed_ = false, interrupted_ = false;
};

// The window as the program sees it; the window may go first (closed by the user).
class QtForm : public ProgressForm {
  public:
    QtForm(Window* w, QtApplication* app) : w_(w), app_(app) {}
    ~QtForm() override;
    void SetLabel(const UnicodeString& text) override {
        if (w_) w_->SetLabel(qstr(text));
    }
    void SetPathRoot(const UnicodeString& root) override {
        if (w_) w_->SetPathRoot(qstr(root));
    }
    void SetBarMax(int max) override {
        if (w_) w_->SetBarMax(max);
    }
    void SetBarPosition(int position) override {
        if (w_) w_->SetBarPosition(position);
    }
    void SetBarVisible(bool v) override {
        if (w_) w_->bar_->setVisible(v);
    }
    void SetButtonEnabled(bool e) override {
        if (w_) w_->button_->setEnabled(e);
    }
    void SetButtonVisible(bool v) override {
        if (w_) w_->button_->setVisible(v);
    }
    void SetTimerEnabled(bool e) override {
        if (w_) w_->SetTimerEnabled(e);
    }
    void Repaint() override {
        if (w_) w_->RepaintNow();
    }
    void Close() override {
        if (w_) w_->CloseByProgram();
    }

  private:
    QPointer<Window> w_;
    QtApplication* app_;
};

// The frame the X11 window manager will draw round window, asked before it is shown; null
// margins elsewhere, or when the window manager does not tell.
QMargins x11_frame(QWidget* window);

} // namespace gui::qt
