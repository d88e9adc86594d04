#include "platform/args.h"

namespace platform {
namespace {
int g_argc = 0;
char** g_argv = nullptr;

// glibc hands every .init_array function the vector that main() will receive, so the
// arguments are known even before main calls set_args.
void capture(int argc, char** argv, char**) {
    g_argc = argc;
    g_argv = argv;
}
__attribute__((section(".init_array"), used)) void (*const capture_at_start)(int, char**,
                                                                             char**) = capture;
} // namespace

int arg_count() {
    return g_argv ? g_argc : 0;
}

const char* arg_at(int i) {
    return (g_argv && i >= 0 && i < g_argc) ? g_argv[i] : nullptr;
}

void set_args(int argc, char** argv) {
    g_argc = argc;
    g_argv = argv;
}

} // namespace platform
