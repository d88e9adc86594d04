#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/parametros.h"
#include "args.h"

namespace {
// LeeParametros over the given arguments: the error text, or "ok origen|destino" (that the
// folders stay untouched on failure is the fuzz target's check).
std::string run(const std::vector<std::string>& words) {
    std::vector<std::string> argv{"lumbrake.exe"};
    argv.insert(argv.end(), words.begin(), words.end());
    ArgsScope args(argv);
    DString origen("o"), destino("d"), error;
    return LeeParametros(origen, destino, error) ? "ok " + origen.str() + "|" + destino.str()
                                                 : error.str();
}
} // namespace

TEST(LeeParametros, ReadsTheThreeParameters) {
    EXPECT_EQ(run({"/src=E:\\SETUP\\SETUP.EXE", "/dst=C:\\Maps\\Data", "/drm=MAPS"}),
              "ok E:\\MAPS|C:\\Maps\\Data");
    // Words of one value are joined with one blank; quotes that survived are removed; extra
    // arguments are ignored.
    EXPECT_EQ(run({"/src=\"D:\\a", "b\"", "/dst=C:\\My", "Maps\"", "/drm=\"DATA", "X\"", "/x"}),
              "ok D:\\DATA X|C:\\My Maps");
    EXPECT_EQ(run({"/src=E:", "/dst=", "/drm=M"}), "ok E:M|"); // a short source is used whole
}

TEST(LeeParametros, ErrorTexts) {
    EXPECT_EQ(run({}), "_argc<3");
    EXPECT_EQ(run({"/src=E:\\x", "y"}), "i>_argc, src2 = /src=E:\\x y\r\n argv0-lumbrake.exe"
                                        "\r\n argv1-/src=E:\\x\r\n argv2-y");
    EXPECT_EQ(run({"/src=E:\\x", "/dst=C:\\d", "e"}), "i>_argc, dst2 = /dst=C:\\d e");
    EXPECT_EQ(run({"/dst=C:\\d", "/src=E:\\x", "/drm=M"}), "falta /src");
    EXPECT_EQ(run({"/src=E:\\x", "/drm=M", "/dst=C:\\d"}), "falta /dst");
    EXPECT_EQ(run({"/src=E:\\x", "/dst=C:\\d", "/drx=M"}), "falta /drm");
}

#ifndef _WIN32
TEST(LeeParametros, MountPointAsDriveRoot) {
    // /proc is a file system of its own; the longest existing prefix decides.
    EXPECT_EQ(run({"/src=/proc/self/status", "/dst=X", "/drm=MAPS"}), "ok /proc/MAPS|X");
    EXPECT_EQ(run({"/src=/", "/dst=X", "/drm=MAPS"}), "ok /MAPS|X");
}
#endif
