#pragma once
// The hidden temporary files that copies are written to where the system cannot make a file
// without a name. Each name tells which process made it: its host, the boot of that host and
// its process number, so that a later run can tell a temporary file left by a process that
// died (a kill, a crash, a power cut) from one that another run is still writing.
//   .lumbrake-<host>-<boot>-<process>-<counter>.tmp
#include <string>

namespace platform {

// A fresh name for a temporary file of this process (the name only, no folder).
std::string temp_file_name();
// Whether name is a temporary file that a process of this host left behind and that no
// running process will still name: one of an earlier boot, or of a process that has ended.
bool stale_temp_file(const std::string& name);

// Provided by each system.
struct ProcessIdentity {
    std::string host; // letters and digits only
    std::string boot; // changes with every start of the system; letters and digits only
    unsigned long process = 0;
};
ProcessIdentity this_process();
// Whether a process with this number runs now on this host.
bool process_runs(unsigned long process);

} // namespace platform
