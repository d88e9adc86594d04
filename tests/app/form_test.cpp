#include "app/entry_run.h"
#include "app/null_gui.h"

using namespace fstest;

TEST(Form, ParameterErrorShowsOneBoxAndCloses) {
    gui::NullApplication r;
    EXPECT_EQ(RunEntry(r, {}), kRunBadParameters);
    EXPECT_EQ(r.title, u"LumbrakeCD");
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0].text, u"Error parameters: err=_argc<3");
    EXPECT_EQ(r.boxes[0].style, 0u);
    EXPECT_EQ(r.activations, 2); // activated again when the box went: nothing more
    EXPECT_TRUE(r.boxes[0].label.empty());
    EXPECT_TRUE(r.state.labels.empty());
    EXPECT_TRUE(r.state.closed);
}

TEST(Form, CopyShowsProgressToTheEndOrOneErrorBox) {
    TempDir t;
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
    // The last frame, painted once before the window closed, shows the final label and the
    // full bar; the paths' root is given.
    ASSERT_EQ(ok.state.painted.size(), 1u);
    EXPECT_EQ(ok.state.painted[0], std::make_pair(ok.state.label, 10000));
    EXPECT_FALSE(ok.state.root.empty());
    EXPECT_EQ(ok.state.label.find(ok.state.root), 14u);

    EXPECT_EQ(RunEntry(bad, Params(t / "src", t / "no" / "dst")), kRunFailed);
    ASSERT_EQ(bad.boxes.size(), 1u);
    EXPECT_EQ(bad.boxes[0].caption, u"Error");
    EXPECT_EQ(bad.boxes[0].style, 16u);
    EXPECT_EQ(bad.boxes[0].text.rfind(u"Error creating folder:", 0), 0u);
    EXPECT_EQ(bad.boxes[0].frames_before, 1u); // the last frame first, then the box
    EXPECT_TRUE(bad.state.closed);
}

// The job's first text shows before it asks the disc anything: the label reads it while the
// job's first listing still waits.
TEST(Form, TheStepTextComesBeforeTheDisc) {
    TempDir t;
    write_file(t / "src" / "a", "a");
    HeldListing held;
    gui::NullApplication app;
    app.before_tick = [](gui::NullApplication& a, int tick) {
        if ((HeldListing::listings >= 1 && !a.state.label.empty()) || tick > 3000)
            HeldListing::held = false;
    };
    EXPECT_EQ(RunEntry(app, Params(t / "src", t / "dst")), 0);
    ASSERT_FALSE(app.state.labels.empty());
    EXPECT_EQ(app.state.labels[0], u"Preparing to copy files...");
    EXPECT_TRUE(sfs::exists(t / "dst" / "a"));
}

// The button, or the close box, while the job runs: the button greys and the window stays until
// the job has stopped, then closes by itself with no box.
TEST(Form, CancelOrCloseWhileTheJobRuns) {
    for (bool close : {false, true}) {
        SlowSource s;
        gui::NullApplication app;
        app.before_tick = [close](gui::NullApplication& a, int tick) {
            if (tick != 3) return;
            if (close)
                EXPECT_FALSE(a.events()->OnCloseRequest());
            else
                a.events()->OnButtonClick();
            EXPECT_FALSE(a.state.button_enabled);
        };
        EXPECT_EQ(RunEntry(app, Params(s.t / "src", s.t / "dst")), 0);
        EXPECT_TRUE(app.boxes.empty());
        EXPECT_TRUE(app.state.closed);
        EXPECT_LT(files_below(s.t / "dst"), 50); // stopped in the scan or after the file under way
    }
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
    EXPECT_EQ(RunApplication(), kRunFailed);
    app.unknown = false;
    EXPECT_EQ(RunApplication(), kRunFailed);
    gui::set_application(nullptr);
    EXPECT_EQ(app.exceptions, (std::vector<UnicodeString>{u"Unknown error", u"No window"}));
}

// What only a terminal is told, one line each: a source folder that is not there (nothing is
// copied, no error), and what a job that threw had thrown (a failure). A window says nothing
// and stays open after the throw until it is closed; the run still counts as failed.
TEST(Form, ATerminalIsToldOfAMissingSourceAndOfAThrownJob) {
    struct Terminal : gui::NullApplication {
        std::vector<UnicodeString> notes;
        bool Note(const UnicodeString& text) override {
            notes.push_back(text);
            return true;
        }
    };
    TempDir t;
    Terminal missing;
    EXPECT_EQ(RunEntry(missing, Params(t / "none", t / "dst")), kRunDone);
    ASSERT_EQ(missing.notes.size(), 1u);
    const UnicodeString line = missing.notes[0];
    EXPECT_EQ(line.rfind(u"Nothing to copy: " +
                             DString(shown(t / "none").c_str()).to_unicode_string() +
                             u" does not exist (the drive root of /src=, \"",
                         0),
              0u)
        << gui::to_utf8(line);
    EXPECT_NE(line.find(u"\", followed by /drm="), UnicodeString::npos);
    EXPECT_TRUE(missing.boxes.empty());

    // The job throws as it opens the source's listing.
    struct Thrown {
        static platform::FindHandle Throw(const char*, platform::FindRecord*,
                                          platform::ListingEnd*) {
            throw "disc gone";
        }
        decltype(platform::FsOps::find_first) find = platform::fs_ops().find_first;
        Thrown() { platform::fs_ops().find_first = Throw; }
        ~Thrown() { platform::fs_ops().find_first = find; }
    } thrown;
    write_file(t / "src" / "a", "a");
    Terminal terminal;
    EXPECT_EQ(RunEntry(terminal, Params(t / "src", t / "dst")), kRunFailed);
    ASSERT_EQ(terminal.notes.size(), 1u);
    EXPECT_EQ(terminal.notes[0].rfind(u"Error: ", 0), 0u);
    EXPECT_NE(terminal.notes[0].find(u"disc gone"), UnicodeString::npos);

    gui::NullApplication window;
    window.before_tick = [](gui::NullApplication& a, int tick) {
        if (tick < 300) return;
        EXPECT_FALSE(a.state.closed);
        a.state.closed = a.events()->OnCloseRequest();
    };
    EXPECT_EQ(RunEntry(window, Params(t / "src", t / "dst")), kRunFailed);
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_TRUE(window.state.closed);
}
