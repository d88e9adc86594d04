// The program's entry: arguments as UTF-8, then the application entry. The exit code is 0,
// except after a termination request (SIGTERM, SIGHUP), which cancels the copy and makes the
// program end with 128 + the signal's number once the job has stopped.
#include "app/form_lumbrake.h"
#include "fs/commit.h"
#include "platform/args.h"
#include "platform/process.h"
#include "platform/utf8_args.h"

int main(int argc, char** argv) {
    platform::process::start();
    CopyCommitter::PrepareProcess();
    platform::utf8_arguments(argc, argv);
    platform::set_args(argc, argv);
    const int code = RunApplication();
    const int sig = platform::process::termination_signal();
    return sig ? 128 + sig : code;
}
