// Copy speed of DuplicaFichero against cp, on one large file and a folder of small files.
//
//   copy_bench <data> [<out>] [rounds]   <data> holds "large" and the folder "small" (see
//                                         copy_bench.sh); copies go below <out> (default
//                                         <data>/out). Prints the median times and ratios.
//   copy_bench --copy <src> <dst>        one copy with fail-if-exists, for crash checks.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

double seconds_of(auto&& work) {
    std::system("sync");
    auto start = std::chrono::steady_clock::now();
    bool ok = work();
    std::chrono::duration<double> d = std::chrono::steady_clock::now() - start;
    if (!ok) {
        std::fprintf(stderr, "copy failed\n");
        std::exit(1);
    }
    return d.count();
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

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
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
    int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    std::string q = "'";
    std::string cp = "cp --preserve=mode,timestamps ";

    // cp leaves its data in the page cache, while DuplicaFichero has it on the disk before the
    // name appears; "cp+sync" also flushes every copied file, for the same durability.
    std::vector<double> large_cp, large_ours, small_cp, small_ours, large_sync, small_sync;
    for (int r = 0; r < rounds; ++r) {
        sfs::remove_all(out);
        sfs::create_directories(out);
        auto cp_large = [&] {
            return shell(cp + q + (data / "large").string() + q + " " + q +
                         (out / "cp_large").string() + q);
        };
        auto ours_large = [&] {
            return DuplicaFichero(lib(data / "large").c_str(), lib(out / "our_large").c_str(),
                                  true);
        };
        auto cp_small = [&] {
            return shell(cp + "-r " + q + (data / "small").string() + q + " " + q +
                         (out / "cp_small").string() + q);
        };
        auto ours_small = [&] { return copy_folder(data / "small", out / "our_small"); };
        auto sync_large = [&] {
            return shell(cp + q + (data / "large").string() + q + " " + q +
                         (out / "sync_large").string() + q + " && sync " + q +
                         (out / "sync_large").string() + q);
        };
        auto sync_small = [&] {
            return shell(cp + "-r " + q + (data / "small").string() + q + " " + q +
                         (out / "sync_small").string() + q + " && find " + q +
                         (out / "sync_small").string() + q + " -type f -exec sync {} +");
        };
        large_sync.push_back(seconds_of(sync_large));
        small_sync.push_back(seconds_of(sync_small));
        // Alternate who goes first, so that neither always meets a warmer cache.
        if (r % 2 == 0) {
            large_cp.push_back(seconds_of(cp_large));
            large_ours.push_back(seconds_of(ours_large));
            small_cp.push_back(seconds_of(cp_small));
            small_ours.push_back(seconds_of(ours_small));
        } else {
            large_ours.push_back(seconds_of(ours_large));
            large_cp.push_back(seconds_of(cp_large));
            small_ours.push_back(seconds_of(ours_small));
            small_cp.push_back(seconds_of(cp_small));
        }
    }
    sfs::remove_all(out);

    double lc = median(large_cp), lo = median(large_ours);
    double sc = median(small_cp), so = median(small_ours);
    double ls = median(large_sync), ss = median(small_sync);
    std::printf("large file:  cp %.3f s  cp+sync %.3f s  DuplicaFichero %.3f s  "
                "ratio to cp %.3f  to cp+sync %.3f\n",
                lc, ls, lo, lo / lc, lo / ls);
    std::printf("small files: cp %.3f s  cp+sync %.3f s  DuplicaFichero %.3f s  "
                "ratio to cp %.3f  to cp+sync %.3f\n",
                sc, ss, so, so / sc, so / ss);
    return 0;
}
