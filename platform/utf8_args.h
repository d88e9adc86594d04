#pragma once
// The program's arguments as UTF-8. On Windows argc and argv are replaced by an exact UTF-8
// copy of the wide command line (the runtime's 8-bit vector is in the active code page, which
// cannot hold every name), kept for the life of the process; elsewhere they stay as they are.
namespace platform {

void utf8_arguments(int& argc, char**& argv);

} // namespace platform
