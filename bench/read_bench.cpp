// Reads one 256 MiB file in 16-byte pieces through the read-ahead window and through the
// plain C-stream back-end, and prints both times and their ratio.
// Usage: read_bench [scratch-file]   (default: a file in the system's temporary folder)
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "file/fichero.h"

namespace {
constexpr int64_t kFileBytes = int64_t{256} << 20;
constexpr int32_t kPiece = 16;

struct Run {
    double seconds;
    uint64_t sum;
    int64_t bytes;
};

Run read_all(const DString& path, uint32_t mode) {
    TFicheroOrv f;
    Run r{0, 0, 0};
    auto t0 = std::chrono::steady_clock::now();
    if (!f.Abre(path, mode)) return r;
    unsigned char buf[kPiece];
    while (f.read(buf, kPiece)) {
        r.sum = r.sum * 31 + buf[0] + buf[kPiece - 1];
        r.bytes += kPiece;
    }
    f.close();
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return r;
}
} // namespace

int main(int argc, char** argv) {
    std::filesystem::path file =
        argc > 1 ? std::filesystem::path(argv[1])
                 : std::filesystem::temp_directory_path() / "lumbrake_read_bench.dat";
    {
        std::vector<char> block(1 << 20);
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>((i * 2654435761u) >> 13);
        std::ofstream out(file, std::ios::binary);
        for (int64_t done = 0; done < kFileBytes; done += static_cast<int64_t>(block.size()))
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    DString path(reinterpret_cast<const char*>(file.u8string().c_str()));

    // One untimed pass so that both timed passes find the file in the system's cache.
    read_all(path, FITX_READ | FITX_BINARY);
    Run window = read_all(path, FITX_READ | FITX_BINARY | FITX_CACHED);
    Run stdio = read_all(path, FITX_READ | FITX_BINARY);
    std::filesystem::remove(file);

    if (window.bytes != kFileBytes || stdio.bytes != kFileBytes || window.sum != stdio.sum) {
        std::printf("read_bench: the two reads differ (%lld / %lld bytes)\n",
                    static_cast<long long>(window.bytes), static_cast<long long>(stdio.bytes));
        return 1;
    }
    double mib = static_cast<double>(kFileBytes) / (1 << 20);
    std::printf("256 MiB in %d-byte reads\n", kPiece);
    std::printf("  read-ahead window : %8.3f s  %8.1f MiB/s\n", window.seconds,
                mib / window.seconds);
    std::printf("  C stream back-end : %8.3f s  %8.1f MiB/s\n", stdio.seconds, mib / stdio.seconds);
    std::printf("  ratio stream/window: %.2f\n", stdio.seconds / window.seconds);
    return 0;
}
