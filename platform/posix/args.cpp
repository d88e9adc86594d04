#include <vector>

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

// A vector given to set_args is copied here, so the caller's array may go away.
std::vector<char*>& replaced() {
    static std::vector<char*> v;
    return v;
}
} // namespace

int arg_count() {
    return g_argv ? g_argc : 0;
}

const char* arg_at(int i) {
    return (g_argv && i >= 0 && i < g_argc) ? g_argv[i] : nullptr;
}

void set_args(int argc, char** argv) {
    std::vector<char*> copy(argv && argc > 0 ? argv : nullptr,
                            argv && argc > 0 ? argv + argc : nullptr);
    copy.push_back(nullptr);
    replaced().swap(copy);
    g_argc = argc > 0 ? argc : 0;
    g_argv = replaced().data();
}

} // namespace platform
