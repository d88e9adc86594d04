#include "platform/identity.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

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

bool process_runs(unsigned long process) {
    return ::kill(static_cast<pid_t>(process), 0) == 0 || errno == EPERM;
}

// The command name the system keeps for a process, readable for every user's processes;
// empty when there is none.
std::string command_of(const std::string& process) {
    std::string name;
    std::getline(std::ifstream("/proc/" + process + "/comm"), name);
    return name;
}

bool runs_this_program(unsigned long process) {
    const std::string theirs = command_of(std::to_string(process));
    return theirs.empty() || theirs == command_of("self");
}

} // namespace platform
