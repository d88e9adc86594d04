#include "platform/temp_name.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

namespace platform {

ProcessIdentity this_process() {
    static const ProcessIdentity machine = [] {
        ProcessIdentity id;
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        id.host = host;
        std::ifstream("/proc/sys/kernel/random/boot_id") >> id.boot;
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
