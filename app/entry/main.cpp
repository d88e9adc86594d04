// The program's entry: arguments as UTF-8, then the application entry. Where the system's
// programs answer --help and --version, a command line that asks only for one of them is
// answered here, before any window or display. The exit code follows the system's
// conventions (platform::process::exit_code): on Linux how the run ended, or 128 + the
// signal's number after a termination request (SIGTERM, SIGHUP), which cancels the copy.
#include <cstdio>

#include "app/entry/usage.h"
#include "app/form_lumbrake.h"
#include "fs/commit.h"
#include "platform/args.h"
#include "platform/process.h"
#include "platform/utf8_args.h"

int main(int argc, char** argv) {
    platform::process::start();
    platform::utf8_arguments(argc, argv);
    if (platform::process::answers_help()) {
        if (const char* text = StandaloneAnswer(argc, argv))
            return std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
    }
    CopyCommitter::PrepareProcess();
    platform::set_args(argc, argv);
    return platform::process::exit_code(RunApplication());
}
