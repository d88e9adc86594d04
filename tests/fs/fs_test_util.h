#pragma once
// Scratch folders and small file helpers for the file-system tests.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fstest {

// The library's form of a path: UTF-8 with backslash separators.
inline std::string lib(const std::filesystem::path& p) {
    auto u8 = p.u8string();
    std::string s(u8.begin(), u8.end());
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

inline void write_file(const std::filesystem::path& p, const std::string& data) {
    std::ofstream out(p, std::ios::binary);
    out << data;
}

inline std::string read_all(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A fresh folder below the system's temporary folder, removed with its content.
struct TempDir {
    std::filesystem::path path;
    TempDir() {
        static std::atomic<int> n{0};
        auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path = std::filesystem::temp_directory_path() /
               ("lumbrake-fs-" + std::to_string(stamp) + "-" + std::to_string(n++));
        std::filesystem::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
};

} // namespace fstest
