#pragma once
// Running the application entry in a test: on a given back-end, with the parameters that copy
// one folder to another, and with a copy slow enough to act on while the job runs.
#include <string>
#include <utility>
#include <vector>

#include "app/form_lumbrake.h"
#include "app/job.h"
#include "args.h"
#include "platform/drive.h"
#include "platform/sync.h"
#include "scratch.h"

namespace fstest {

// The entry's exit code on app, with words as the command line after the program's name.
inline int RunEntry(gui::Application& app, std::vector<std::string> words) {
    words.insert(words.begin(), "lumbrake-cd");
    ArgsScope args(std::move(words));
    gui::set_application(&app);
    PrimeraActivacion = true;
    const int code = RunApplication();
    gui::set_application(nullptr);
    return code;
}

// The three parameters that make src the source folder and dst the destination.
inline std::vector<std::string> Params(const sfs::path& src, const sfs::path& dst) {
    const std::string full = lib(src), setup = full + "\\SETUP.EXE";
    const std::string root = platform::drive_root(setup.c_str());
    return {"/src=" + setup, "/dst=" + lib(dst), "/drm=" + full.substr(root.size())};
}

// A source of 50 files whose copies take 20 ms more each, so that the job runs for about a
// second; while hold is set, the copy under way waits once its source is open.
struct SlowSource : StageHook {
    static inline std::atomic<bool> hold{false};
    static inline Fn real = nullptr;
    static platform::File Slow(const char* path, const platform::ListedEntry* listed,
                               platform::FileFacts* facts) {
        platform::sleep_ms(20);
        const platform::File f = real(path, listed, facts);
        while (hold.load())
            platform::sleep_ms(5);
        return f;
    }
    TempDir t;
    SlowSource() : StageHook(Slow) {
        real = saved;
        for (int i = 0; i < 50; ++i)
            write_file(t / "src" / std::to_string(i), std::string(1000, 'x'));
    }
};

// While held, every listing waits before it reads its folder, as on a disc that spins up.
struct HeldListing {
    using Fn = decltype(platform::FsOps::find_first);
    static inline std::atomic<bool> held{false};
    static inline std::atomic<int> listings{0};
    static inline Fn real = nullptr;
    static platform::FindHandle Held(const char* pattern, platform::FindRecord* rec,
                                     platform::ListingEnd* end) {
        ++listings;
        while (held.load())
            platform::sleep_ms(5);
        return real(pattern, rec, end);
    }
    Fn saved = platform::fs_ops().find_first;
    HeldListing() {
        real = saved;
        listings = 0;
        held = true;
        platform::fs_ops().find_first = Held;
    }
    ~HeldListing() {
        held = false;
        platform::fs_ops().find_first = saved;
    }
};

} // namespace fstest
