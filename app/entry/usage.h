#pragma once
// The answers to a command line that asks only for help or the version.

// The text to print for `--help`, `-h` or `--version` given as the only argument; null for
// every other command line, which is the copy's.
const char* StandaloneAnswer(int argc, char** argv);
