#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/form_lumbrake.h"
#include "fs/fs_test_util.h"
#include "platform/args.h"
#include "platform/drive.h"
#include "platform/fs.h"
#include "platform/gui/null.h"
#include "platform/sync.h"

namespace sfs = std::filesystem;
using fstest::lib;
using fstest::TempDir;
using fstest::write_file;

namespace {

// Runs the application entry on the null back-end with the given arguments.
struct AppRun {
    gui::NullApplication app;
    std::vector<std::string> words;
    int code = -1;

    void Go() {
        static std::vector<char*> saved; // the process's own vector, put back after each run
        if (saved.empty())
            for (int i = 0; i < platform::arg_count(); ++i)
                saved.push_back(const_cast<char*>(platform::arg_at(i)));
        words.insert(words.begin(), "lumbrake-cd");
        std::vector<char*> argv;
        for (std::string& w : words)
            argv.push_back(w.data());
        platform::set_args(static_cast<int>(argv.size()), argv.data());
        gui::set_application(&app);
        PrimeraActivacion = true;
        code = EntradaAplicacion();
        gui::set_application(nullptr);
        platform::set_args(static_cast<int>(saved.size()), saved.data());
    }
};

// The three parameters that make src the source folder and dst the destination.
std::vector<std::string> Params(const sfs::path& src, const std::string& dst) {
    const std::string full = lib(src);
    const std::string setup = full + "\\SETUP.EXE";
    const std::string root = platform::drive_root(setup.c_str());
    return {"/src=" + setup, "/dst=" + dst, "/drm=" + full.substr(root.size())};
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
    sfs::create_directories(t.path / "src" / "d");
    write_file(t.path / "src" / "a", std::string(3000, 'a'));
    write_file(t.path / "src" / "d" / "b", std::string(1000, 'b'));
    AppRun ok;
    ok.words = Params(t.path / "src", lib(t.path / "dst"));
    ok.Go();
    EXPECT_EQ(ok.code, 0);
    EXPECT_TRUE(ok.app.boxes.empty());
    EXPECT_TRUE(sfs::exists(t.path / "dst" / "d" / "b"));
    ASSERT_FALSE(ok.app.positions.empty());
    EXPECT_EQ(ok.app.positions.back(), 10000);
    EXPECT_EQ(ok.app.state.bar_max, 10000);
    EXPECT_TRUE(std::is_sorted(ok.app.positions.begin(), ok.app.positions.end()));
    EXPECT_EQ(ok.app.state.label.rfind(u"Copying file: ", 0), 0u);
    EXPECT_FALSE(ok.app.state.timer_enabled);

    AppRun bad;
    bad.words = Params(t.path / "src", lib(t.path / "no" / "dst"));
    bad.Go();
    ASSERT_EQ(bad.app.boxes.size(), 1u);
    EXPECT_EQ(bad.app.boxes[0].caption, u"Error");
    EXPECT_EQ(bad.app.boxes[0].style, 16u);
    EXPECT_EQ(bad.app.boxes[0].text.rfind(u"Error creating folder:", 0), 0u);
    EXPECT_TRUE(bad.app.state.closed);
}

namespace {
// A copy that takes a while per file, so the test can act while the job runs.
bool SlowCopy(const char*, const char*, bool) {
    platform::sleep_ms(20);
    return true;
}
} // namespace

TEST(Form, CancelAndCloseWhileTheJobRuns) {
    TempDir t;
    sfs::create_directories(t.path / "src");
    for (int i = 0; i < 50; ++i)
        write_file(t.path / "src" / ("f" + std::to_string(i)), "x");
    auto saved = platform::fs_ops().copy;
    platform::fs_ops().copy = SlowCopy;

    AppRun cancel;
    cancel.words = Params(t.path / "src", lib(t.path / "dst"));
    cancel.app.before_tick = [](gui::NullApplication& a, int tick) {
        if (tick == 3) {
            a.PressButton();
            EXPECT_FALSE(a.state.button_enabled);
            a.PressButton(); // disabled: no second click
        }
    };
    cancel.Go();
    EXPECT_TRUE(cancel.app.boxes.empty());
    EXPECT_TRUE(cancel.app.state.closed);
    int copied = 0; // stopped before the end, in the scan or after the file under way
    if (sfs::exists(t.path / "dst"))
        for (auto& e : sfs::directory_iterator(t.path / "dst"))
            copied += e.is_regular_file();
    EXPECT_LT(copied, 50);

    // The close box while copying: the job is cancelled and waited for before the window goes.
    AppRun close;
    close.words = Params(t.path / "src", lib(t.path / "dst2"));
    close.app.before_tick = [](gui::NullApplication& a, int tick) {
        if (tick == 3) a.RequestClose();
    };
    close.Go();
    EXPECT_TRUE(close.app.boxes.empty());
    EXPECT_EQ(close.code, 0);
    platform::fs_ops().copy = saved;
}
