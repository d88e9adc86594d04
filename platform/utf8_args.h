#pragma once
// The program's arguments as UTF-8. Where the runtime's 8-bit vector is in another code page
// (Windows without the UTF-8 code page in force), argc and argv are replaced by a UTF-8 copy
// made from the wide command line, kept for the life of the process.
namespace platform {

void utf8_arguments(int& argc, char**& argv);

} // namespace platform
