// The Qt window as a user meets it, on Qt's offscreen platform: the real module, the real
// entry, checked through Qt's own widgets while the copy runs.

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <functional>

#include "app/entry_run.h"
#include "app/job.h"
#include "platform/gui/qt/chooser.h"

using namespace fstest;

namespace {

QWidget* MainWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle() == "Kestrova" && w->isVisible()) return w;
    return nullptr;
}

// Runs the entry on the Qt window, offscreen, calling step every 10 ms with the number of the
// call until it returns true.
int RunWindow(std::vector<std::string> params, const std::function<bool(int)>& step) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::string why;
    gui::Application* app = gui::qt::load_window(nullptr, why);
    if (!app) {
        ADD_FAILURE() << why;
        return -1;
    }
    app->Initialize();
    int calls = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (step(calls++)) timer.stop();
    });
    timer.start(10);
    return RunEntry(*app, std::move(params));
}

bool Copying(QWidget* w) {
    auto* bar = w->findChild<QProgressBar*>();
    return bar->maximum() == 10000 && bar->value() > 0 &&
           w->findChild<QLabel*>()->text().startsWith("Copying file: ");
}

} // namespace

// Mid-copy the window is laid out as the form. Esc, and the close box, each act as Cancel: the
// window stays, greyed and still served by its event loop, until the job has stopped; then it
// closes by itself. The copy under way is held at its end until the loop has been seen running.
TEST(QtWindow, LaidOutAsTheFormAndEscOrTheCloseBoxCancels) {
    for (bool esc : {true, false}) {
        SCOPED_TRACE(esc ? "Esc" : "close box");
        SlowSource s;
        int cancelled_at = -1, ticks_after = 0;
        const int code = RunWindow(Params(s.t / "src", s.t / "dst"), [&](int call) {
            QWidget* w = MainWindow();
            if (cancelled_at >= 0) {
                if (w && ++ticks_after == 3) SlowSource::hold = false;
                return false;
            }
            if (!w || !Copying(w)) return false;
            EXPECT_EQ(w->size(), QSize(410, 96));
            EXPECT_EQ(w->minimumSize(), w->maximumSize()); // not resizable
            const Qt::WindowFlags f = w->windowFlags();
            EXPECT_TRUE(f & Qt::WindowCloseButtonHint);
            EXPECT_FALSE(f & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
            const QPoint centre = w->screen()->availableGeometry().center();
            EXPECT_LE((w->geometry().center() - centre).manhattanLength(), 2);
            auto* label = w->findChild<QLabel*>();
            auto* bar = w->findChild<QProgressBar*>();
            auto* button = w->findChild<QPushButton*>();
            EXPECT_EQ(label->pos(), QPoint(8, 16));
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
            EXPECT_LE(label->geometry().right(), 409);
            EXPECT_EQ(bar->geometry(), QRect(8, 40, 401, 16));
            EXPECT_EQ(button->geometry(), QRect(304, 64, 97, 25));
            EXPECT_EQ(label->accessibleName(), "Status");
            EXPECT_EQ(bar->accessibleName(), "Progress");
            EXPECT_EQ(button->accessibleName(), "Cancel");

            SlowSource::hold = true;
            QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            esc ? (void)QApplication::sendEvent(w, &key) : (void)w->close();
            cancelled_at = call;
            EXPECT_TRUE(w->isVisible());
            EXPECT_FALSE(button->isEnabled());
            EXPECT_TRUE(FormLumbrake->Monitor.cancelado.load());
            return false;
        });
        SlowSource::hold = false;
        EXPECT_EQ(code, 0);
        EXPECT_GE(cancelled_at, 0);
        EXPECT_GE(ticks_after, 3); // the loop went on while the job wound down
        EXPECT_LT(files_below(s.t / "dst"), 50);
        EXPECT_EQ(MainWindow(), nullptr);
    }
}

TEST(QtWindow, MessageBoxesShowCaptionTextAndIcon) {
    struct Seen {
        QString caption, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
    } seen;
    const auto answer = [&](int) {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return false;
        seen = {box->windowTitle(), box->text(), box->icon()};
        box->button(QMessageBox::Ok)->click();
        return false;
    };
    EXPECT_EQ(RunWindow({}, answer), kRunBadParameters);
    EXPECT_EQ(seen.caption, "Lumbrake");
    EXPECT_EQ(seen.text, "Error parameters: err=_argc<3");
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);

    SlowSource s;
    seen = {};
    EXPECT_EQ(RunWindow(Params(s.t / "src", s.t / "no" / "dst"), answer), kRunFailed);
    EXPECT_EQ(seen.caption, "Error");
    EXPECT_TRUE(seen.text.startsWith("Error creating folder:")) << seen.text.toStdString();
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(MainWindow(), nullptr);
}
