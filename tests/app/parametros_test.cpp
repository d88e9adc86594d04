#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/parametros.h"
#include "platform/args.h"

namespace {

// Runs LeeParametros over the given arguments (entry 0 is the program path), then puts the
// process's own vector back. Returns the error text, or "ok origen|destino".
std::string run(std::vector<std::string> words) {
    static std::vector<char*> saved = [] {
        std::vector<char*> v;
        for (int i = 0; i < platform::arg_count(); ++i)
            v.push_back(const_cast<char*>(platform::arg_at(i)));
        return v;
    }();
    words.insert(words.begin(), "lumbrake.exe");
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    platform::set_args(static_cast<int>(argv.size()), argv.data());
    DString origen("o"), destino("d"), error;
    bool ok = LeeParametros(origen, destino, error);
    platform::set_args(static_cast<int>(saved.size()), saved.data());
    if (ok) return "ok " + origen.str() + "|" + destino.str();
    EXPECT_TRUE(origen.equals("o") && destino.equals("d")); // untouched on failure
    return error.str();
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
    EXPECT_EQ(run({"/src=E:\\"}), "_argc<3");
    EXPECT_EQ(run({"/src=E:\\x", "y"}), "i>_argc, src2 = /src=E:\\x y\r\n argv0-lumbrake.exe"
                                        "\r\n argv1-/src=E:\\x\r\n argv2-y");
    EXPECT_EQ(run({"/src=E:\\x", "/dst=C:\\d", "e"}), "i>_argc, dst2 = /dst=C:\\d e");
    EXPECT_EQ(run({"/dst=C:\\d", "/src=E:\\x", "/drm=M"}), "falta /src");
    EXPECT_EQ(run({"/SRC=E:\\x", "/dst=C:\\d", "/drm=M"}), "falta /src");
    EXPECT_EQ(run({"/src=E:\\x", "/drm=M", "/dst=C:\\d"}), "falta /dst");
    EXPECT_EQ(run({"/src=E:\\x", "/dst=C:\\d", "/drx=M"}), "falta /drm");
}

#ifndef _WIN32
TEST(LeeParametros, MountPointAsDriveRoot) {
    // /proc is a file system of its own; the longest existing prefix decides.
    EXPECT_EQ(run({"/src=/proc/self/status", "/dst=X", "/drm=MAPS"}), "ok /proc/MAPS|X");
    EXPECT_EQ(run({"/src=/proc/no/such/file", "/dst=X", "/drm=MAPS"}), "ok /proc/MAPS|X");
    EXPECT_EQ(run({"/src=/", "/dst=X", "/drm=MAPS"}), "ok /MAPS|X");
}
#endif
