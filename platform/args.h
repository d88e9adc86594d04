#pragma once
// The program's 8-bit argument vector as the C runtime split the command line; entry 0 is the
// program path.
namespace platform {

int arg_count();
// Argument i, or null when i is outside 0..arg_count()-1.
const char* arg_at(int i);
// Replaces the vector that arg_count/arg_at answer from (main's vector, or a test's). The
// array of pointers is copied; the strings themselves are not and must outlive their use.
void set_args(int argc, char** argv);

} // namespace platform
