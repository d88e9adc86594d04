#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/parametros.h"
#include "platform/args.h"

namespace {

// Runs LeeParametros over the given arguments (entry 0 is the program path), then puts the
// process's own vector back.
struct Result {
    bool ok;
    std::string origen, destino, error;
};

Result run(std::vector<std::string> words) {
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
    DString origen("unset-o"), destino("unset-d"), error;
    bool ok = LeeParametros(origen, destino, error);
    platform::set_args(static_cast<int>(saved.size()), saved.data());
    return {ok, origen.str(), destino.str(), error.str()};
}

} // namespace

TEST(LeeParametros, ReadsTheThreeParameters) {
    Result r = run({"/src=E:\\SETUP\\SETUP.EXE", "/dst=C:\\Maps\\Data", "/drm=MAPS"});
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.origen, "E:\\MAPS");
    EXPECT_EQ(r.destino, "C:\\Maps\\Data");
    EXPECT_EQ(r.error, "");

    // Words of one value are joined with one blank; quotes that survived are removed; extra
    // arguments are ignored; a short source value is used whole.
    r = run({"/src=\"D:\\a", "b\"", "/dst=C:\\My", "Maps\"", "/drm=\"DATA", "X\"", "/more"});
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.origen, "D:\\DATA X");
    EXPECT_EQ(r.destino, "C:\\My Maps");
    r = run({"/src=E:", "/dst=", "/drm=M"});
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.origen, "E:M");
    EXPECT_EQ(r.destino, "");
}

TEST(LeeParametros, ErrorTexts) {
    Result r = run({});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "_argc<3");
    EXPECT_EQ(run({"/src=E:\\"}).error, "_argc<3");

    r = run({"/src=E:\\x", "y"});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "i>_argc, src2 = /src=E:\\x y\r\n argv0-lumbrake.exe\r\n argv1-/src=E:\\x"
                       "\r\n argv2-y");
    EXPECT_EQ(r.origen, "unset-o"); // nothing written on failure
    EXPECT_EQ(r.destino, "unset-d");

    EXPECT_EQ(run({"/src=E:\\x", "/dst=C:\\d", "e"}).error, "i>_argc, dst2 = /dst=C:\\d e");
    EXPECT_EQ(run({"/dst=C:\\d", "/src=E:\\x", "/drm=M"}).error, "falta /src");
    EXPECT_EQ(run({"/SRC=E:\\x", "/dst=C:\\d", "/drm=M"}).error, "falta /src");
    EXPECT_EQ(run({"x", "/dst=C:\\d", "/drm=M"}).error, "falta /src");
    EXPECT_EQ(run({"/src=E:\\x", "/drm=M", "/dst=C:\\d"}).error, "falta /dst");
    EXPECT_EQ(run({"/src=E:\\x", "/dst=C:\\d", "/drx=M"}).error, "falta /drm");
}

#ifndef _WIN32
TEST(LeeParametros, MountPointAsDriveRoot) {
    // /proc is a file system of its own, mounted on /proc.
    Result r = run({"/src=/proc/self/status", "/dst=X", "/drm=MAPS"});
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.origen, "/proc/MAPS");
    r = run({"/src=/proc/no/such/file", "/dst=X", "/drm=MAPS"});
    EXPECT_EQ(r.origen, "/proc/MAPS");
    r = run({"/src=/", "/dst=X", "/drm=MAPS"});
    EXPECT_EQ(r.origen, "/MAPS");
}
#endif
