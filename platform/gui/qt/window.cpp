#include "platform/gui/qt/window.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include <algorithm>
#include <functional>

#include "platform/gui/path_fit.h"
#include "platform/gui/qt/application.h"

namespace gui::qt {
namespace {

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

std::u16string_view view(const QString& s) {
    return {reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size())};
}

} // namespace

Window::Window(QtApplication* app, const FormLayout& l, FormEvents* events)
    : app_(app), events_(events), centred_(l.centred) {
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
    // The text from the label's top, as the form places it, with room below down to the bar:
    // a line with letters from a fallback font may be taller than one of the label's font.
    label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label_height_ =
        std::max({l.label_height, label_->fontMetrics().height(), l.bar_top - l.label_top - 4});
    label_->setGeometry(l.label_left, l.label_top, l.label_width, label_height_);

    bar_ = new QProgressBar(this);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    bar_->setFocusPolicy(Qt::NoFocus);
    bar_->setAccessibleName(qstr(l.bar_name));
    bar_->setGeometry(l.bar_left, l.bar_top, l.bar_width, l.bar_height);

    button_ = new QPushButton(qstr(l.button_caption), this);
    button_->setAccessibleName(qstr(l.button_caption));
    button_->setAutoDefault(false);
    button_->setGeometry(l.button_left, l.button_top, l.button_width, l.button_height);
    button_->setFocus();
    QObject::connect(button_, &QPushButton::clicked, this,
                     [this] { app_->Guarded([this] { events_->OnButtonClick(); }); });

    timer_ = new QTimer(this);
    timer_->setInterval(static_cast<int>(l.timer_interval_ms ? l.timer_interval_ms : 100));
    QObject::connect(timer_, &QTimer::timeout, this, [this] {
        if (!closed_) app_->Guarded([this] { events_->OnTimer(); });
    });
    timer_->start();
    if (!centred_) move(l.left, l.top);
}

Window::~Window() {
    app_->Forget(this);
}

void Window::Place() {
    if (!centred_ || QGuiApplication::platformName() == QLatin1String("wayland")) return;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QMargins frame = x11_frame(this);
    const QRect area = screen->availableGeometry();
    const QSize outer = size().grownBy(frame);
    const QPoint corner(area.x() + (area.width() - outer.width()) / 2,
                        area.y() + (area.height() - outer.height()) / 2);
    // The client's place: the window manager draws the frame round it.
    setGeometry(QRect(corner + QPoint(frame.left(), frame.top()), size()));
}

void Window::SetLabel(const QString& text) {
    const QString shown = printable(text);
    if (shown == text_) return;
    text_ = shown;
    FitLabel();
}

void Window::SetPathRoot(const QString& root) {
    const QString shown = printable(root);
    if (shown == root_) return;
    root_ = shown;
    FitLabel();
}

void Window::FitLabel() {
    const QFontMetrics fm = label_->fontMetrics();
    const std::function<int(std::u16string_view)> measure = [&fm](std::u16string_view t) {
        return fm.horizontalAdvance(QString::fromUtf16(t.data(), static_cast<qsizetype>(t.size())));
    };
    const std::u16string_view text = view(text_);
    const std::u16string fitted =
        fit_path(text, find_path(text, view(root_), u'/'), label_max_width_, measure,
                 std::u16string_view(u"\u2026"), u'/');
    label_->setText(QString::fromStdU16String(isolate_components(fitted, u'/')));
    label_->resize(std::clamp(measure(fitted) + 1, label_min_width_, label_max_width_),
                   label_height_);
}

void Window::RepaintNow() {
    if (closed_ || !isVisible()) return;
    repaint();
    QGuiApplication::sync();
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

QtForm::~QtForm() {
    const bool main = w_ && app_->IsMain(w_);
    delete w_.data();
    if (main) app_->Finish();
}

} // namespace gui::qt
