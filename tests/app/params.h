#pragma once
// The program's three parameters for a copy between two scratch folders.
#include <string>
#include <vector>

#include "platform/drive.h"
#include "scratch.h"

// The three parameters that make src the source folder and dst the destination.
inline std::vector<std::string> Params(const sfs::path& src, const sfs::path& dst) {
    const std::string full = fstest::lib(src), setup = full + "\\SETUP.EXE";
    const std::string root = platform::drive_root(setup.c_str());
    return {"/src=" + setup, "/dst=" + fstest::lib(dst), "/drm=" + full.substr(root.size())};
}
