#pragma once
// Who is running: this host, this process, and whether another process still runs and what
// it runs. The hidden temporary files of copies carry the first two in their names
// (fs/temp_names.h), so that a later run can tell what a dead process left.
#include <string>

namespace platform {

// Text that tells this host from others: its name and the system's own machine identity.
std::string host_identity();
unsigned long process_id();
// Whether a process with this number runs now on this host.
bool process_runs(unsigned long process);
// Whether the process with this number runs this same program; true when that cannot be told.
bool runs_this_program(unsigned long process);

} // namespace platform
