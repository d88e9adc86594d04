#include "fs/temp_names.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/identity.h"

namespace {

constexpr size_t kHost = 4, kProcess = 5, kCounter = 2;
constexpr size_t kLength = 2 + kHost + kProcess + kCounter;
constexpr int kCounterValues = 36 * 36;
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

const std::string& host_digits() {
    static const std::string digits = hashed(platform::host_identity(), kHost);
    return digits;
}

// The counter values held, and where the search for a free one goes on.
struct Counter {
    std::mutex mutex;
    std::condition_variable freed;
    std::vector<bool> held = std::vector<bool>(kCounterValues, false);
    int next = 0;
    int limit = kCounterValues;
};

Counter& counter() {
    static Counter c;
    return c;
}

} // namespace

TempName TempName::Take() {
    Counter& c = counter();
    std::unique_lock<std::mutex> lock(c.mutex);
    for (;;) {
        for (int i = 0; i < c.limit; ++i) {
            const int v = (c.next + i) % c.limit;
            if (!c.held[v]) {
                c.held[v] = true;
                c.next = (v + 1) % c.limit;
                return TempName(v);
            }
        }
        // Every value names a copy still waiting: the next one named gives its value back.
        c.freed.wait(lock);
    }
}

TempName& TempName::operator=(TempName&& other) noexcept {
    if (this != &other) {
        Release();
        value_ = other.value_;
        other.value_ = -1;
    }
    return *this;
}

void TempName::Release() {
    if (value_ < 0) return;
    Counter& c = counter();
    {
        std::lock_guard<std::mutex> lock(c.mutex);
        c.held[value_] = false;
    }
    c.freed.notify_one();
    value_ = -1;
}

std::string TempName::name() const {
    if (value_ < 0) return std::string();
    return ".l" + host_digits() + base36(platform::process_id(), kProcess) +
           base36(static_cast<uint64_t>(value_), kCounter);
}

void TempName::LimitCounterForTest(int n) {
    Counter& c = counter();
    std::lock_guard<std::mutex> lock(c.mutex);
    c.limit = n > 0 && n < kCounterValues ? n : kCounterValues;
    c.next = 0;
}

bool StaleTemporary(const platform::FindRecord& entry) {
    const std::string name = entry.name;
    uint64_t any = 0, process = 0;
    if (entry.attributes == platform::kAttrInvalid ||
        (entry.attributes & platform::kAttrDirectory) || name.size() != kLength ||
        name.compare(0, 2, ".l") != 0 || !value(name.substr(2), any))
        return false;
    // Another machine's run may still be writing it.
    if (name.compare(2, kHost, host_digits()) != 0) return false;
    value(name.substr(2 + kHost, kProcess), process);
    const unsigned long me = platform::process_id() % 60466176; // five digits
    if (process == me) return false;
    // Nobody names it once its process is gone, or once its number belongs to another program
    // (after a restart, say). A run of this program under that number may be the one that made
    // it, and its times cannot tell: a copy carries its source's times, and FAT keeps no time
    // of its own for a change; so that one's are left alone.
    const unsigned long pid = static_cast<unsigned long>(process);
    return !platform::process_runs(pid) || !platform::runs_this_program(pid);
}
