// LeeParametros over arbitrary argument vectors (words separated by NUL bytes): it either
// sets both folders or leaves them alone and gives one of its six messages.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/parametros.h"
#include "platform/args.h"

namespace {
void check(bool ok) {
    if (!ok) std::abort();
}

bool starts(const DString& s, const char* prefix) {
    return std::strncmp(s.c_str(), prefix, std::strlen(prefix)) == 0;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 2048) return 0;
    std::vector<std::string> words{"lumbrake"};
    std::string cur;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            words.push_back(cur);
            cur.clear();
        } else {
            cur += static_cast<char>(data[i]);
        }
    }
    words.push_back(cur);
    if (words.size() > 64) return 0;
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    platform::set_args(static_cast<int>(argv.size()), argv.data());

    DString origen("o"), destino("d"), error;
    bool ok = LeeParametros(origen, destino, error);
    if (ok) {
        check(error.is_empty());
    } else {
        check(origen.equals("o") && destino.equals("d"));
        check(error.equals("_argc<3") || starts(error, "i>_argc, src2 = ") ||
              starts(error, "i>_argc, dst2 = ") || error.equals("falta /src") ||
              error.equals("falta /dst") || error.equals("falta /drm"));
    }
    platform::set_args(0, nullptr);
    return 0;
}
