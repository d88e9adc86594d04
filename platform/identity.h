#pragma once
// The hidden temporary files that copies are written to where the system cannot make a file
// without a name. Each name tells which process made it, so that a later run can tell a
// temporary file left by a process that died (a kill, a crash, a power cut) from one that
// another run is still writing:
//   ".l" HH BB PPPPP CC   (13 characters, digits and lower-case letters in base 36)
// HH and BB are hashes of the host's and the boot's identity, PPPPP the process number and CC
// a counter. Thirteen characters fit one long-name entry of a FAT folder, which is what keeps
// the FAT driver of FUSE from damaging folders whose long names are renamed again and again.
#include <string>

namespace platform {

// A fresh name for a temporary file of this process (the name only, no folder).
std::string temp_file_name();
// Whether name is a temporary file that a process of this host left behind and that no
// running process will still name: one of an earlier boot, or of a process that has ended.
bool stale_temp_file(const std::string& name);
// The pattern that every temporary file name matches, for a folder listing.
inline constexpr const char* kTempFilePattern = ".l*";

// Provided by each system.
struct ProcessIdentity {
    std::string host; // the host's name
    std::string boot; // changes with every start of the system
    unsigned long process = 0;
};
ProcessIdentity this_process();
// Whether a process with this number runs now on this host.
bool process_runs(unsigned long process);

} // namespace platform
