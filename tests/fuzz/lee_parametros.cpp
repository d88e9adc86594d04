// LeeParametros over arbitrary argument vectors (words separated by NUL bytes): it either
// sets both folders or leaves them alone and gives one of its six messages.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/parametros.h"
#include "args.h"
#include "check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 2048) return 0;
    std::vector<std::string> words{"lumbrake", ""};
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            words.emplace_back();
        else
            words.back() += static_cast<char>(data[i]);
    }
    if (words.size() > 64) return 0;
    ArgsScope args(std::move(words));

    DString origen("o"), destino("d"), error;
    if (LeeParametros(origen, destino, error)) {
        check(error.is_empty());
    } else {
        check(origen.equals("o") && destino.equals("d"));
        check(error.equals("_argc<3") || error.compare_n("i>_argc, src2 = ", 16) == 0 ||
              error.compare_n("i>_argc, dst2 = ", 16) == 0 || error.equals("falta /src") ||
              error.equals("falta /dst") || error.equals("falta /drm"));
    }
    return 0;
}
