#include "platform/identity.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

namespace platform {
namespace {

// The first word of a small system file; empty when it cannot be read.
std::string first_word(const char* path) {
    std::string word;
    std::ifstream(path) >> word;
    return word;
}

} // namespace

std::string host_identity() {
    static const std::string id = [] {
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        std::string machine = first_word("/etc/machine-id");
        if (machine.empty()) machine = first_word("/var/lib/dbus/machine-id");
        return std::string(host) + "/" + machine;
    }();
    return id;
}

unsigned long process_id() {
    return static_cast<unsigned long>(::getpid()); // asked each time: fork changes it
}

int64_t boot_time() {
    static const int64_t booted = [] {
        std::ifstream in("/proc/stat");
        std::string key;
        int64_t value = 0;
        while (in >> key)
            if (key == "btime" && in >> value) return value;
        return int64_t{0};
    }();
    return booted;
}

bool process_runs(unsigned long process) {
    return ::kill(static_cast<pid_t>(process), 0) == 0 || errno == EPERM;
}

// The 22nd field of /proc/<pid>/stat, after the command name in parentheses (which may hold
// blanks): the start in clock ticks after the boot.
int64_t process_started(unsigned long process) {
    std::ifstream in("/proc/" + std::to_string(process) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos || boot_time() == 0) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    for (int i = 3; i < 22 && fields >> field; ++i) {
    }
    long long ticks = 0;
    if (!(fields >> ticks)) return 0;
    const long per_second = ::sysconf(_SC_CLK_TCK);
    return per_second > 0 ? boot_time() + ticks / per_second : 0;
}

} // namespace platform
