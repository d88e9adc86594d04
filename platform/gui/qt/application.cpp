#include "platform/gui/qt/application.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>

#include "platform/gui/qt/window.h"

namespace gui::qt {

QString qstr(const UnicodeString& s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
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

void QtApplication::SetTitle(const UnicodeString& title) {
    title_ = qstr(title);
    Initialize();
    // The name, not a display name, which Qt would add to every window title.
    QCoreApplication::setApplicationName(title_);
}

std::unique_ptr<ProgressForm> QtApplication::CreateForm(const FormLayout& layout,
                                                        FormEvents* events) {
    Initialize();
    auto* w = new Window(this, layout, events);
    if (!main_) main_ = w;
    return std::make_unique<QtForm>(w, this);
}

void QtApplication::Run() {
    Initialize();
    if (!main_ || main_->closed()) return;
    main_->Place();
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

void QtApplication::ShowException(const Exception& e) {
    Box(qstr(e.Message()), title_.isEmpty() ? QStringLiteral("LumbrakeCD") : title_, kMbIconError);
}

void QtApplication::Wake() {
    if (QObject* w = waker_.load(std::memory_order_acquire))
        QMetaObject::invokeMethod(
            w,
            [this] {
                if (main_) main_->TickNow();
            },
            Qt::QueuedConnection);
}

void QtApplication::Finish() {
    if (!ran_) return;
    ran_ = false;
    waker_.store(nullptr, std::memory_order_release);
    delete QCoreApplication::instance();
}

void QtApplication::MainClosed(Window* w) {
    if (w == main_) QCoreApplication::exit(0);
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

} // namespace gui::qt

extern "C" __attribute__((visibility("default"))) gui::Application*
lumbrake_qt_application(const gui::qt::Host* host, const char* platform) {
    static gui::qt::QtApplication app(host, platform);
    return &app;
}
