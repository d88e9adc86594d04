#pragma once
// The process as the system starts it: standard descriptors that may be missing, a reader
// that may go away, and requests to stop from the user or the system.
namespace platform::process {

// Called first thing in main: descriptors 0-2 that are closed are opened on the null device
// (so no file we open takes their number), writing to a closed pipe fails instead of ending
// the process, and interrupts (Ctrl-C) and termination requests are counted from now on
// instead of ending the process.
void start();
// Interrupts and termination requests received since the last call.
int take_interrupts();
// The number of the first termination request received (SIGTERM, SIGHUP), or 0. A program
// stopped by one ends with 128 + this number.
int termination_signal();

// The exit code for a run that ended with outcome (0 done or cancelled, 1 failed, 2 refused
// parameters). POSIX: the outcome, or 128 + the termination signal's number when one came.
// Windows: 0 always, as the installers that start the program expect.
int exit_code(int outcome);
// Whether the system's programs answer --help and --version on standard output (POSIX). A
// Windows window program has no console to answer on.
bool answers_help();

} // namespace platform::process
