// The window on Linux desktops, with Qt 6 Widgets: the form's layout in logical pixels (Qt
// scales them to the display), the platform's UI font unless the layout's font exists, a
// plain-text label cut in the middle, a bar of any range, a Cancel button pressed by Esc, and
// message boxes. Built as a module that the program loads only when it shows a window. No
// exception from the program's handlers crosses Qt's event loop: each is shown, as the
// framework shows an exception that escaped the entry, and the loop goes on.
#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <exception>
#include <string>
#include <vector>

#include "platform/gui/qt/module.h"

namespace gui::qt {
namespace {

QString qstr(const UnicodeString& s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

// Control characters of a name shown as \xNN, so that a line break never splits the label.
QString printable(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
            out += QStringLiteral("\\x") +
                   QString::number(u, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

// The text in at most width pixels: cut in the middle, keeping the start and the last path
// component (the file being copied), which is itself cut in its middle when it alone is too
// wide.
QString elide_path(const QFontMetrics& fm, const QString& text, int width) {
    if (fm.horizontalAdvance(text) <= width) return text;
    const qsizetype slash = text.lastIndexOf(QLatin1Char('/'));
    if (slash > 0) {
        const QString name = text.mid(slash);
        const int room = width - fm.horizontalAdvance(name);
        if (room >= 4 * fm.horizontalAdvance(QStringLiteral("\u2026")))
            return fm.elidedText(text.left(slash), Qt::ElideRight, room) + name;
        return fm.elidedText(name, Qt::ElideMiddle, width);
    }
    return fm.elidedText(text, Qt::ElideMiddle, width);
}

class QtApplication;

class Window : public QWidget {
  public:
    Window(QtApplication* app, const FormLayout& layout, FormEvents* events);
    ~Window() override;

    void SetLabel(const QString& text) {
        text_ = printable(text);
        FitLabel();
    }
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
    QString text_;
    int position_ = 0;
    int label_min_width_, label_max_width_, label_height_;
    bool shown_ = false, activated_ = false, closed_ = false, interrupted_ = false;
};

class QtForm : public ProgressForm {
  public:
    QtForm(Window* w, QtApplication* app) : w_(w), app_(app) {}
    ~QtForm() override;
    void SetLabel(const UnicodeString& text) override {
        if (w_) w_->SetLabel(qstr(text));
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
    void Close() override {
        if (w_) w_->CloseByProgram();
    }

  private:
    QPointer<Window> w_;
    QtApplication* app_;
};

class QtApplication : public Application {
  public:
    QtApplication(const Host* host, const char* platform)
        : host_(*host), platform_(platform ? platform : "") {}

    void Initialize() override;
    void SetTitle(const UnicodeString& title) override {
        title_ = qstr(title);
        Initialize();
        // The name, not a display name, which Qt would add to every window title.
        QCoreApplication::setApplicationName(title_);
    }
    std::unique_ptr<ProgressForm> CreateForm(const FormLayout& layout,
                                             FormEvents* events) override {
        Initialize();
        auto* w = new Window(this, layout, events);
        if (!main_) main_ = w;
        return std::make_unique<QtForm>(w, this);
    }
    void Run() override;
    int Alert(const UnicodeString& text, const UnicodeString& caption, unsigned style) override {
        return Box(qstr(text), qstr(caption), style);
    }
    void ShowException(const Exception& e) override {
        Box(qstr(e.Message()), title_.isEmpty() ? QStringLiteral("LumbrakeCD") : title_,
            kMbIconError);
    }
    void Wake() override {
        if (QObject* w = waker_.load(std::memory_order_acquire))
            QMetaObject::invokeMethod(
                w,
                [this] {
                    if (main_) main_->TickNow();
                },
                Qt::QueuedConnection);
    }

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
    void Finish() {
        if (!ran_) return;
        ran_ = false;
        waker_.store(nullptr, std::memory_order_release);
        delete QCoreApplication::instance();
    }
    void MainClosed(Window* w) {
        if (w == main_) QCoreApplication::exit(0);
    }
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

Window::Window(QtApplication* app, const FormLayout& l, FormEvents* events)
    : app_(app), events_(events) {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (l.minimize_box) flags |= Qt::WindowMinimizeButtonHint;
    if (l.maximize_box) flags |= Qt::WindowMaximizeButtonHint;
    setWindowFlags(flags);
    setWindowTitle(qstr(l.caption));
    setAutoFillBackground(true);
    setBackgroundRole(l.background == FormLayout::Colour::ButtonFace ? QPalette::Window
                                                                     : QPalette::Base);
    const QString family = qstr(l.font_name);
    if (!family.isEmpty() && QFontDatabase::hasFamily(family)) {
        QFont f(family);
        if (l.font_height < 0) f.setPixelSize(-l.font_height);
        setFont(f);
    }
    if (l.resizable)
        resize(l.client_width, l.client_height);
    else
        setFixedSize(l.client_width, l.client_height);

    label_ = new QLabel(this);
    label_->setTextFormat(Qt::PlainText);
    label_->setAccessibleName(qstr(l.label_name));
    label_min_width_ = l.label_width;
    label_max_width_ = std::max(l.client_width - l.label_left, l.label_width);
    label_height_ = std::max(l.label_height, label_->fontMetrics().height());
    label_->setGeometry(l.label_left, l.label_top, l.label_width, label_height_);

    bar_ = new QProgressBar(this);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    bar_->setAccessibleName(qstr(l.bar_name));
    bar_->setGeometry(l.bar_left, l.bar_top, l.bar_width, l.bar_height);

    button_ = new QPushButton(qstr(l.button_caption), this);
    button_->setAccessibleName(qstr(l.button_caption));
    button_->setAutoDefault(false);
    button_->setGeometry(l.button_left, l.button_top, l.button_width, l.button_height);
    QWidget::setTabOrder(bar_, button_);
    QObject::connect(button_, &QPushButton::clicked, this,
                     [this] { app_->Guarded([this] { events_->OnButtonClick(); }); });

    timer_ = new QTimer(this);
    timer_->setInterval(static_cast<int>(l.timer_interval_ms ? l.timer_interval_ms : 100));
    QObject::connect(timer_, &QTimer::timeout, this, [this] {
        if (!closed_) app_->Guarded([this] { events_->OnTimer(); });
    });
    timer_->start();

    if (l.centred) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->availableGeometry() : QRect();
        move(area.center() - QPoint(l.client_width / 2, l.client_height / 2));
    } else {
        move(l.left, l.top);
    }
}

Window::~Window() {
    app_->Forget(this);
}

void Window::FitLabel() {
    const QFontMetrics fm = label_->fontMetrics();
    const QString shown = elide_path(fm, text_, label_max_width_);
    label_->setText(shown);
    label_->resize(std::clamp(fm.horizontalAdvance(shown) + 1, label_min_width_, label_max_width_),
                   label_height_);
}

void Window::Activate() {
    activated_ = true;
    if (!closed_) app_->Guarded([this] { events_->OnActivate(); });
}

bool Window::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) Activate();
    return QWidget::event(e);
}

// A window manager may refuse the focus to a new window, and an offscreen or Wayland session
// may never activate it: the first showing counts as the first activation then.
void Window::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (shown_) return;
    shown_ = true;
    QTimer::singleShot(0, this, [this] {
        if (!activated_) Activate();
    });
}

void Window::closeEvent(QCloseEvent* e) {
    if (closed_) {
        e->accept();
        return;
    }
    bool may_close = true;
    app_->Guarded([&] { may_close = events_->OnCloseRequest(); });
    if (!may_close) {
        e->ignore();
        return;
    }
    e->accept();
    Closed();
}

void Window::CloseByProgram() {
    if (closed_) return;
    Closed();
    close();
}

void Window::Closed() {
    closed_ = true;
    timer_->stop();
    app_->MainClosed(this);
}

void Window::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        if (button_->isVisible() && button_->isEnabled()) button_->click();
        return;
    }
    QWidget::keyPressEvent(e);
}

void Window::TickNow() {
    if (closed_ || !timer_->isActive()) return;
    timer_->start(); // the next tick a whole interval from now
    app_->Guarded([this] { events_->OnTimer(); });
}

void Window::Interrupt() {
    app_->CloseBoxes();
    if (closed_) return;
    if (!interrupted_ && button_->isEnabled()) {
        interrupted_ = true;
        button_->click();
    } else {
        close();
    }
}

void QtApplication::Initialize() {
    if (QCoreApplication::instance()) return;
    // Qt keeps the argument vector it is given for its whole life.
    static int argc = 1;
    static char name[] = "lumbrake-cd";
    static char option[] = "-platform";
    static std::string platform;
    static char* argv[] = {name, option, nullptr, nullptr};
    if (!platform_.empty()) {
        platform = platform_;
        argv[2] = platform.data();
        argc = 3;
    }
    auto* app = new QApplication(argc, argv);
    app->setQuitOnLastWindowClosed(false);
    if (!title_.isEmpty()) QCoreApplication::setApplicationName(title_);
    waker_.store(app, std::memory_order_release);
}

void QtApplication::Run() {
    Initialize();
    if (!main_ || main_->closed()) return;
    main_->show();
    QTimer interrupts;
    QObject::connect(&interrupts, &QTimer::timeout, [this] {
        for (int n = host_.take_interrupts(); n > 0 && main_; --n)
            main_->Interrupt();
    });
    interrupts.start(50);
    QApplication::exec();
    ran_ = true;
}

QtForm::~QtForm() {
    const bool main = w_ && app_->IsMain(w_);
    delete w_.data();
    if (main) app_->Finish();
}

int QtApplication::Box(const QString& text, const QString& caption, unsigned style) {
    Initialize();
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner && main_ && !main_->closed() && main_->isVisible()) owner = main_;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (style & 0xF0) {
    case kMbIconError:
        icon = QMessageBox::Critical;
        break;
    case 0x20:
        icon = QMessageBox::Question;
        break;
    case 0x30:
        icon = QMessageBox::Warning;
        break;
    case 0x40:
        icon = QMessageBox::Information;
        break;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    boxes_.push_back(&box);
    box.exec();
    boxes_.erase(std::find(boxes_.begin(), boxes_.end(), &box));
    return kIdOk;
}

} // namespace
} // namespace gui::qt

extern "C" __attribute__((visibility("default"))) gui::Application*
lumbrake_qt_application(const gui::qt::Host* host, const char* platform) {
    static gui::qt::QtApplication app(host, platform);
    return &app;
}
