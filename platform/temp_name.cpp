#include "platform/temp_name.h"

#include <atomic>
#include <cstdlib>

namespace platform {
namespace {

constexpr const char kPrefix[] = ".lumbrake-";
constexpr const char kSuffix[] = ".tmp";

// The text up to the next '-' of name from pos on; pos moves past the '-'.
bool next_field(const std::string& name, size_t& pos, std::string& field) {
    size_t end = name.find('-', pos);
    if (end == std::string::npos) return false;
    field = name.substr(pos, end - pos);
    pos = end + 1;
    return !field.empty();
}

} // namespace

std::string temp_file_name() {
    static std::atomic<unsigned> counter{0};
    const ProcessIdentity me = this_process();
    return kPrefix + me.host + "-" + me.boot + "-" + std::to_string(me.process) + "-" +
           std::to_string(counter.fetch_add(1)) + kSuffix;
}

bool stale_temp_file(const std::string& name) {
    const size_t prefix = sizeof kPrefix - 1, suffix = sizeof kSuffix - 1;
    if (name.size() <= prefix + suffix || name.compare(0, prefix, kPrefix) != 0 ||
        name.compare(name.size() - suffix, suffix, kSuffix) != 0)
        return false;
    size_t pos = prefix;
    std::string host, boot, process;
    if (!next_field(name, pos, host) || !next_field(name, pos, boot) ||
        !next_field(name, pos, process))
        return false;
    const ProcessIdentity me = this_process();
    if (host != me.host) return false; // another machine's run may still be writing it
    if (boot != me.boot) return true;
    char* end = nullptr;
    const unsigned long number = std::strtoul(process.c_str(), &end, 10);
    if (*end != 0) return false;
    return number != me.process && !process_runs(number);
}

} // namespace platform
