#pragma once
// Who is running: this host, this boot of its system, this process, and whether another
// process still runs. The hidden temporary files of copies carry the first and the third in
// their names (fs/temp_names.h), so that a later run can tell what a dead process left.
#include <cstdint>
#include <string>

namespace platform {

// Text that tells this host from others: its name and the system's own machine identity.
std::string host_identity();
unsigned long process_id();
// When the system started, in seconds since 1970 (UTC); 0 when unknown.
int64_t boot_time();
// Whether a process with this number runs now on this host.
bool process_runs(unsigned long process);
// When the process with this number started, in seconds since 1970 (UTC); 0 when unknown.
int64_t process_started(unsigned long process);

} // namespace platform
