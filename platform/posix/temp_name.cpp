#include "platform/temp_name.h"

#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <fstream>

namespace platform {
namespace {

std::string letters_and_digits(const std::string& text, size_t most) {
    std::string out;
    for (char c : text)
        if (std::isalnum(static_cast<unsigned char>(c)) && out.size() < most) out += c;
    return out.empty() ? "0" : out;
}

} // namespace

ProcessIdentity this_process() {
    static const ProcessIdentity machine = [] {
        ProcessIdentity id;
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        id.host = letters_and_digits(host, 24);
        std::string boot;
        std::ifstream("/proc/sys/kernel/random/boot_id") >> boot;
        id.boot = letters_and_digits(boot, 12);
        return id;
    }();
    ProcessIdentity me = machine;
    me.process = static_cast<unsigned long>(::getpid()); // asked each time: fork changes it
    return me;
}

bool process_runs(unsigned long process) {
    return ::kill(static_cast<pid_t>(process), 0) == 0 || errno == EPERM;
}

} // namespace platform
