#include <stdlib.h>

#include <vector>

#include "platform/args.h"

namespace platform {
namespace {
// Set only when set_args replaced the runtime's vector; the array is copied here, so the
// caller's may go away.
bool g_overridden = false;
std::vector<char*>& replaced() {
    static std::vector<char*> v;
    return v;
}
} // namespace

int arg_count() {
    return g_overridden ? static_cast<int>(replaced().size()) - 1 : __argc;
}

const char* arg_at(int i) {
    int n = arg_count();
    char** v = g_overridden ? replaced().data() : __argv;
    return (v && i >= 0 && i < n) ? v[i] : nullptr;
}

void set_args(int argc, char** argv) {
    std::vector<char*> copy(argv && argc > 0 ? argv : nullptr,
                            argv && argc > 0 ? argv + argc : nullptr);
    copy.push_back(nullptr);
    replaced().swap(copy);
    g_overridden = true;
}

} // namespace platform
