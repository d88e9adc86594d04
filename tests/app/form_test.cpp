#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/form_lumbrake.h"
#include "args.h"
#include "platform/drive.h"
#include "platform/fs.h"
#include "platform/gui/null.h"
#include "platform/sync.h"
#include "scratch.h"

using namespace fstest;

namespace {

// Runs the application entry on the null back-end with the given arguments.
struct AppRun {
    gui::NullApplication app;
    int code = -1;
    void Go(std::vector<std::string> words = {}) {
        words.insert(words.begin(), "lumbrake-cd");
        ArgsScope args(std::move(words));
        gui::set_application(&app);
        PrimeraActivacion = true;
        code = EntradaAplicacion();
        gui::set_application(nullptr);
    }
};

// The three parameters that make src the source folder and dst the destination.
std::vector<std::string> Params(const sfs::path& src, const sfs::path& dst) {
    const std::string full = lib(src), setup = full + "\\SETUP.EXE";
    const std::string root = platform::drive_root(setup.c_str());
    return {"/src=" + setup, "/dst=" + lib(dst), "/drm=" + full.substr(root.size())};
}

// A copy that takes a while per file, so the test can act while the job runs.
auto real_stage = platform::fs_ops().stage;
platform::StagedFile SlowStage(const char* src, const char* dst, bool fail_if_exists,
                               const platform::CopyProgress* progress, uint64_t* bytes) {
    platform::sleep_ms(20);
    return real_stage(src, dst, fail_if_exists, progress, bytes);
}

} // namespace

TEST(Form, ParameterErrorShowsOneBoxAndCloses) {
    AppRun r;
    r.Go();
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.app.title(), u"LumbrakeCD");
    ASSERT_EQ(r.app.boxes.size(), 1u);
    EXPECT_EQ(r.app.boxes[0].text, u"Error parameters: err=_argc<3");
    EXPECT_EQ(r.app.boxes[0].caption, u"Lumbrake");
    EXPECT_EQ(r.app.boxes[0].style, 0u);
    EXPECT_EQ(r.app.activations, 2); // activated again when the box went: nothing more
    EXPECT_TRUE(r.app.state.closed);
    EXPECT_EQ(r.app.ticks, 0);
}

TEST(Form, CopyShowsProgressToTheEndOrOneErrorBox) {
    TempDir t;
    sfs::create_directories(t / "src" / "d");
    write_file(t / "src" / "a", std::string(3000, 'a'));
    write_file(t / "src" / "d" / "b", std::string(1000, 'b'));
    AppRun ok;
    ok.Go(Params(t / "src", t / "dst"));
    EXPECT_EQ(ok.code, 0);
    EXPECT_TRUE(ok.app.boxes.empty());
    EXPECT_TRUE(sfs::exists(t / "dst" / "d" / "b"));
    ASSERT_FALSE(ok.app.positions.empty());
    EXPECT_EQ(ok.app.positions.back(), 10000);
    EXPECT_EQ(ok.app.state.bar_max, 10000);
    EXPECT_TRUE(std::is_sorted(ok.app.positions.begin(), ok.app.positions.end()));
    EXPECT_EQ(ok.app.state.label.rfind(u"Copying file: ", 0), 0u);
    EXPECT_FALSE(ok.app.state.timer_enabled);

    AppRun bad;
    bad.Go(Params(t / "src", t / "no" / "dst"));
    ASSERT_EQ(bad.app.boxes.size(), 1u);
    EXPECT_EQ(bad.app.boxes[0].caption, u"Error");
    EXPECT_EQ(bad.app.boxes[0].style, 16u);
    EXPECT_EQ(bad.app.boxes[0].text.rfind(u"Error creating folder:", 0), 0u);
    EXPECT_TRUE(bad.app.state.closed);
}

TEST(Form, CancelAndCloseWhileTheJobRuns) {
    TempDir t;
    sfs::create_directories(t / "src");
    for (int i = 0; i < 50; ++i)
        write_file(t / "src" / std::to_string(i), "x");
    platform::fs_ops().stage = SlowStage;

    AppRun cancel;
    cancel.app.before_tick = [](gui::NullApplication& a, int tick) {
        if (tick == 3) {
            a.PressButton();
            EXPECT_FALSE(a.state.button_enabled);
            a.PressButton(); // disabled: no second click
        }
    };
    cancel.Go(Params(t / "src", t / "dst"));
    EXPECT_TRUE(cancel.app.boxes.empty());
    EXPECT_TRUE(cancel.app.state.closed);
    EXPECT_LT(files_below(t / "dst"), 50); // stopped in the scan or after the file under way

    // The close box while copying: the job is cancelled and waited for before the window goes.
    AppRun close;
    close.app.before_tick = [](gui::NullApplication& a, int tick) {
        if (tick == 3) a.RequestClose();
    };
    close.Go(Params(t / "src", t / "dst2"));
    EXPECT_TRUE(close.app.boxes.empty());
    EXPECT_EQ(close.code, 0);
    platform::fs_ops().stage = real_stage;
}
