#pragma once
// Running the application entry in a test: on a given back-end, with the parameters that copy
// one folder to another.
#include <string>
#include <utility>
#include <vector>

#include "app/form_lumbrake.h"
#include "app/job.h"
#include "args.h"
#include "platform/drive.h"
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

} // namespace fstest
