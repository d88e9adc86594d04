// The Qt window as a user meets it, on the tests' X display (Qt's offscreen platform without
// one): the real module, the real entry, checked through Qt's own widgets and what the screen
// shows while the copy runs.

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <functional>

#include "app/entry_run.h"
#include "app/job.h"
#include "app/last_frame.h"
#include "platform/gui/qt/chooser.h"

using namespace fstest;

namespace {

QWidget* MainWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle() == "Kestrova" && w->isVisible()) return w;
    return nullptr;
}

// The display the tests' fixture started, or none.
std::string FixtureDisplay() {
    char display[64] = {};
    if (FILE* f = std::fopen(LUMBRAKE_TEST_DISPLAY_FILE, "r")) {
        if (!std::fgets(display, sizeof display, f)) display[0] = 0;
        std::fclose(f);
    }
    std::string d(display);
    while (!d.empty() && d.back() == '\n')
        d.pop_back();
    return d;
}

gui::Application* Window() {
    const std::string display = FixtureDisplay();
    if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", display.empty() ? "offscreen" : "xcb", 1);
    std::string why;
    gui::Application* app = gui::qt::load_window(nullptr, why);
    if (!app) ADD_FAILURE() << why;
    return app;
}

// Runs the entry on app (the Qt window unless given), calling step every 10 ms with the
// number of the call until it returns true.
int RunWindow(std::vector<std::string> params, const std::function<bool(int)>& step,
              gui::Application* app = Window()) {
    if (!app) return -1;
    app->Initialize();
    int calls = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (step(calls++)) timer.stop();
    });
    timer.start(10);
    return RunEntry(*app, std::move(params));
}

// What the screen shows of a widget: read back from the X server (offscreen, from what was
// painted into the window's store), and the widget as it would paint itself now.
QImage OnScreen(QWidget* w) {
    const QPoint at = w->mapToGlobal(QPoint(0, 0));
    return w->screen()
        ->grabWindow(0, at.x(), at.y(), w->width(), w->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}
QImage Rendered(QWidget* w) {
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
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
            // Centred with the frame the window manager drew.
            const QPoint centre = w->screen()->availableGeometry().center();
            EXPECT_LE((w->frameGeometry().center() - centre).manhattanLength(), 2);
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
            // Only the button takes the focus: Tab leaves it there.
            EXPECT_EQ(bar->focusPolicy(), Qt::NoFocus);
            EXPECT_EQ(w->focusWidget(), button);
            QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
            QApplication::sendEvent(button, &tab);
            EXPECT_EQ(w->focusWidget(), button);

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

// The job waits on the disc from its first step: the window has painted the step text, and
// greys Cancel on the screen at once, its loop going on meanwhile.
TEST(QtWindow, PaintsAndCancelsWhileTheDiscHoldsTheJob) {
    SlowSource s;
    HeldListing held;
    bool pressed = false;
    const int code = RunWindow(Params(s.t / "src", s.t / "dst"), [&](int call) {
        if (call > 1000) {
            ADD_FAILURE() << "the window never showed the expected frame";
            HeldListing::held = false;
            return true;
        }
        QWidget* w = MainWindow();
        if (!w || HeldListing::listings < 1) return false;
        auto* label = w->findChild<QLabel*>();
        auto* button = w->findChild<QPushButton*>();
        if (!pressed) {
            if (label->text() != "Preparing to copy files..." || OnScreen(label) != Rendered(label))
                return false;
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(w, &esc);
            pressed = true;
            EXPECT_FALSE(button->isEnabled());
            return false;
        }
        if (OnScreen(button) != Rendered(button)) return false;
        EXPECT_EQ(HeldListing::listings, 1); // all of it while the first listing still waited
        HeldListing::held = false;
        return true;
    });
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(pressed);
    EXPECT_EQ(files_below(s.t / "dst"), 0);
}

// The last frame, as the screen showed it when the window closed: the final label and a full
// bar, painted once before the window went.
TEST(QtWindow, TheLastFrameShowsTheFinalLabelAndAFullBar) {
    // One file, not flushed: its bytes are counted just before the job ends, so that the last
    // tick is the first to show them. The job waits until the window is on the screen.
    TempDir t;
    write_file(t / "src" / "a", std::string(1000, 'a'));
    HeldListing held;
    const platform::FsOps system = platform::fs_ops();
    platform::fs_ops().flush =
        platform::fs_ops().flush_volume = [](platform::File) { return true; };
    gui::Application* qt = Window();
    ASSERT_TRUE(qt);
    QImage bar, label, bar_now, label_now;
    int value = 0, maximum = -1;
    QString text;
    LookBeforeClose app(*qt, [&] {
        QWidget* w = MainWindow();
        auto* b = w->findChild<QProgressBar*>();
        auto* l = w->findChild<QLabel*>();
        bar = OnScreen(b), bar_now = Rendered(b), label = OnScreen(l), label_now = Rendered(l);
        value = b->value(), maximum = b->maximum(), text = l->text();
    });
    const int code = RunWindow(
        Params(t / "src", t / "dst"),
        [](int) {
            QWidget* w = MainWindow();
            if (!w || !w->windowHandle()->isExposed()) return false;
            HeldListing::held = false;
            return true;
        },
        &app);
    platform::fs_ops() = system;
    EXPECT_EQ(code, 0);
    EXPECT_EQ(files_below(t / "dst"), 1);
    EXPECT_EQ(app.repaints, 1);
    EXPECT_EQ(value, maximum);
    EXPECT_TRUE(text.startsWith("Copying file: ")) << text.toStdString();
    EXPECT_TRUE(bar == bar_now);
    EXPECT_TRUE(label == label_now);
}
