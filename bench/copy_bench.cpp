// Copy speed of DuplicaFichero against cp, on one large file and a folder of small files.
//
//   copy_bench <data> [<out>] [rounds]   <data> holds "large" and the folder "small" (see
//                                         copy_bench.sh); copies go below <out> (default
//                                         <data>/out). Prints median and best times and the
//                                         ratios of DuplicaFichero to cp.
//   copy_bench --copy <src> <dst>        one copy with fail-if-exists, for crash checks.
//
// cp leaves its data in the page cache, while DuplicaFichero has it on the disk before the
// name appears; "cp+sync" also flushes every copied file, for the same durability.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fs/fs.h"
#include "fs/iterator.h"

namespace sfs = std::filesystem;

namespace {

std::string lib(const sfs::path& p) {
    std::string s = p.string();
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

std::string quoted(const sfs::path& p) {
    std::string q(1, '\'');
    q += p.string();
    q += '\'';
    return q;
}

bool shell(const std::string& cmd) {
    return std::system(cmd.c_str()) == 0;
}

// The copy job's loop: every visible file of one folder, never overwriting.
bool copy_folder(const sfs::path& from, const sfs::path& to) {
    sfs::create_directories(to);
    TIteradorFitx it((lib(from) + "\\*.*").c_str());
    std::string dest = lib(to) + "\\";
    while (it.Siguiente()) {
        const char* name = TStringNomFitx(it.ruta).Nombre();
        if (name[0] == '.' || it.es_carpeta) continue;
        if (!DuplicaFichero(it.ruta, (dest + name).c_str(), true)) return false;
    }
    return true;
}

struct Variant {
    const char* name;
    std::function<bool(const sfs::path& out)> run;
    std::vector<double> times = {};
};

// Each run starts from an empty target with nothing left to write back from earlier runs.
void time_run(Variant& v, const sfs::path& out) {
    sfs::remove_all(out);
    std::system("sync");
    auto start = std::chrono::steady_clock::now();
    bool ok = v.run(out);
    std::chrono::duration<double> d = std::chrono::steady_clock::now() - start;
    if (!ok) {
        std::fprintf(stderr, "%s failed\n", v.name);
        std::exit(1);
    }
    v.times.push_back(d.count());
    sfs::remove_all(out);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double best(const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
}

void report(const char* what, std::vector<Variant>& vs) {
    Variant &cp = vs[0], &cp_sync = vs[1], &ours = vs[2];
    std::printf("%s: cp %.3f s (best %.3f)  cp+sync %.3f s (best %.3f)  DuplicaFichero %.3f s "
                "(best %.3f)\n",
                what, median(cp.times), best(cp.times), median(cp_sync.times), best(cp_sync.times),
                median(ours.times), best(ours.times));
    std::printf("%s: ratio to cp %.3f (best %.3f), to cp+sync %.3f (best %.3f)\n", what,
                median(ours.times) / median(cp.times), best(ours.times) / best(cp.times),
                median(ours.times) / median(cp_sync.times), best(ours.times) / best(cp_sync.times));
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--copy")
        return DuplicaFichero(lib(argv[2]).c_str(), lib(argv[3]).c_str(), true) ? 0 : 1;
    if (argc < 2) {
        std::fprintf(stderr, "usage: copy_bench <data> [<out>] [rounds]\n");
        return 2;
    }
    sfs::path data = sfs::absolute(argv[1]);
    sfs::path out = argc > 2 ? sfs::absolute(argv[2]) : data / "out";
    int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    sfs::create_directories(out);
    const std::string cp = "cp --preserve=mode,timestamps ";
    sfs::path large = data / "large", small = data / "small";

    std::vector<Variant> big{
        {"cp", [&](const sfs::path& o) { return shell(cp + quoted(large) + " " + quoted(o)); }},
        {"cp+sync",
         [&](const sfs::path& o) {
             return shell(cp + quoted(large) + " " + quoted(o) + " && sync " + quoted(o));
         }},
        {"DuplicaFichero",
         [&](const sfs::path& o) {
             return DuplicaFichero(lib(large).c_str(), lib(o).c_str(), true);
         }},
    };
    std::vector<Variant> many{
        {"cp",
         [&](const sfs::path& o) { return shell(cp + "-r " + quoted(small) + " " + quoted(o)); }},
        {"cp+sync",
         [&](const sfs::path& o) {
             return shell(cp + "-r " + quoted(small) + " " + quoted(o) + " && find " + quoted(o) +
                          " -type f -exec sync {} +");
         }},
        {"DuplicaFichero", [&](const sfs::path& o) { return copy_folder(small, o); }},
    };
    for (int r = 0; r < rounds; ++r) {
        // The order turns each round, so that no variant always runs first.
        for (size_t i = 0; i < big.size(); ++i)
            time_run(big[(i + r) % big.size()], out / "large");
        for (size_t i = 0; i < many.size(); ++i)
            time_run(many[(i + r) % many.size()], out / "small");
    }
    report("large file", big);
    report("small files", many);
    return 0;
}
