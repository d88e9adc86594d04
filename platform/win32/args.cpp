#include <stdlib.h>

#include "platform/args.h"

namespace platform {
namespace {
// Set only when set_args replaced the runtime's vector.
bool g_overridden = false;
int g_argc = 0;
char** g_argv = nullptr;
} // namespace

int arg_count() {
    return g_overridden ? g_argc : __argc;
}

const char* arg_at(int i) {
    int n = arg_count();
    char** v = g_overridden ? g_argv : __argv;
    return (v && i >= 0 && i < n) ? v[i] : nullptr;
}

void set_args(int argc, char** argv) {
    g_overridden = true;
    g_argc = argc;
    g_argv = argv;
}

} // namespace platform
