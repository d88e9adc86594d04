#include "platform/temp_name.h"

#include <atomic>
#include <cstdint>

namespace platform {
namespace {

constexpr size_t kHost = 2, kBoot = 2, kProcess = 5, kCounter = 2;
constexpr size_t kLength = 2 + kHost + kBoot + kProcess + kCounter;
constexpr const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";

// n in base 36, the last `width` digits.
std::string base36(uint64_t n, size_t width) {
    std::string out(width, '0');
    for (size_t i = width; i-- > 0; n /= 36)
        out[i] = kDigits[n % 36];
    return out;
}

// FNV-1a: the same text gives the same digits on every run.
std::string hashed(const std::string& text, size_t width) {
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : text)
        h = (h ^ c) * 1099511628211ull;
    return base36(h, width);
}

// The value of base-36 digits; false when one is not a digit.
bool value(const std::string& digits, uint64_t& n) {
    n = 0;
    for (char c : digits) {
        const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'z' ? c - 'a' + 10 : -1;
        if (d < 0) return false;
        n = n * 36 + static_cast<uint64_t>(d);
    }
    return true;
}

} // namespace

std::string temp_file_name() {
    static std::atomic<unsigned> counter{0};
    const ProcessIdentity me = this_process();
    return ".l" + hashed(me.host, kHost) + hashed(me.boot, kBoot) + base36(me.process, kProcess) +
           base36(counter.fetch_add(1), kCounter);
}

bool stale_temp_file(const std::string& name) {
    uint64_t any = 0, process = 0;
    if (name.size() != kLength || name.compare(0, 2, ".l") != 0 || !value(name.substr(2), any))
        return false;
    const ProcessIdentity me = this_process();
    // Another machine's run may still be writing it.
    if (name.compare(2, kHost, hashed(me.host, kHost)) != 0) return false;
    if (name.compare(2 + kHost, kBoot, hashed(me.boot, kBoot)) != 0) return true;
    value(name.substr(2 + kHost + kBoot, kProcess), process);
    return process != me.process % 60466176 && !process_runs(static_cast<unsigned long>(process));
}

} // namespace platform
