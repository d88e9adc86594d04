#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/entry_run.h"
#include "app/null_gui.h"

using namespace fstest;

TEST(Form, ParameterErrorShowsOneBoxAndCloses) {
    gui::NullApplication r;
    EXPECT_EQ(RunEntry(r, {}), 0);
    EXPECT_EQ(r.title(), u"LumbrakeCD");
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0].text, u"Error parameters: err=_argc<3");
    EXPECT_EQ(r.boxes[0].style, 0u);
    EXPECT_EQ(r.activations, 2); // activated again when the box went: nothing more
    EXPECT_TRUE(r.state.closed);
}

TEST(Form, CopyShowsProgressToTheEndOrOneErrorBox) {
    TempDir t;
    sfs::create_directories(t / "src" / "d");
    write_file(t / "src" / "a", std::string(3000, 'a'));
    write_file(t / "src" / "d" / "b", std::string(1000, 'b'));
    gui::NullApplication ok, bad;
    EXPECT_EQ(RunEntry(ok, Params(t / "src", t / "dst")), 0);
    EXPECT_TRUE(ok.boxes.empty());
    EXPECT_TRUE(sfs::exists(t / "dst" / "d" / "b"));
    ASSERT_FALSE(ok.state.positions.empty());
    EXPECT_EQ(ok.state.positions.back(), 10000);
    EXPECT_TRUE(std::is_sorted(ok.state.positions.begin(), ok.state.positions.end()));
    EXPECT_EQ(ok.state.label.rfind(u"Copying file: ", 0), 0u);

    RunEntry(bad, Params(t / "src", t / "no" / "dst"));
    ASSERT_EQ(bad.boxes.size(), 1u);
    EXPECT_EQ(bad.boxes[0].caption, u"Error");
    EXPECT_EQ(bad.boxes[0].style, 16u);
    EXPECT_EQ(bad.boxes[0].text.rfind(u"Error creating folder:", 0), 0u);
    EXPECT_TRUE(bad.state.closed);
}

TEST(Form, CancelAndCloseWhileTheJobRuns) {
    TempDir t;
    sfs::create_directories(t / "src");
    for (int i = 0; i < 50; ++i)
        write_file(t / "src" / std::to_string(i), "x");
    SlowCopies slow;

    gui::NullApplication cancel, close;
    cancel.before_tick = [](gui::NullApplication& a, int tick) {
        if (tick == 3) {
            a.PressButton();
            EXPECT_FALSE(a.state.button_enabled);
            a.PressButton(); // disabled: no second click
        }
    };
    RunEntry(cancel, Params(t / "src", t / "dst"));
    EXPECT_TRUE(cancel.boxes.empty());
    EXPECT_TRUE(cancel.state.closed);
    EXPECT_LT(files_below(t / "dst"), 50); // stopped in the scan or after the file under way

    // The close box while copying is Cancel: the window stays open, and responsive, until the
    // job has stopped; then it closes by itself.
    close.before_tick = [](gui::NullApplication& a, int tick) {
        if (tick != 3) return;
        a.RequestClose();
        EXPECT_FALSE(a.state.closed);
        EXPECT_FALSE(a.state.button_enabled);
    };
    RunEntry(close, Params(t / "src", t / "dst2"));
    EXPECT_TRUE(close.state.closed);
    EXPECT_LT(files_below(t / "dst2"), 50);
}

TEST(Form, AnExceptionThatEscapesTheEntryIsShown) {
    struct Throwing : gui::NullApplication {
        bool unknown = true;
        void Run() override {
            if (unknown) throw 42;
            throw new Exception(u"No window");
        }
    } app;
    gui::set_application(&app);
    EXPECT_EQ(RunApplication(), 0);
    app.unknown = false;
    EXPECT_EQ(RunApplication(), 0);
    gui::set_application(nullptr);
    EXPECT_EQ(app.exceptions, (std::vector<UnicodeString>{u"Unknown error", u"No window"}));
}
