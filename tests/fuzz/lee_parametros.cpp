// LeeParametros over arbitrary argument vectors (words separated by NUL bytes): it either
// sets both folders or leaves them alone and gives one of its six messages.
#include <vector>

#include "app/parametros.h"
#include "args.h"
#include "check.h"

FUZZ_TARGET(0, 2048) {
    std::vector<std::string> words{"lumbrake", ""};
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            words.emplace_back();
        else
            words.back() += static_cast<char>(data[i]);
    }
    if (words.size() > 64) return;
    ArgsScope args(std::move(words));

    DString origen("o"), destino("d"), error;
    if (LeeParametros(origen, destino, error)) return check(error.is_empty());
    check(origen.equals("o"));
    check(destino.equals("d"));
    const std::string e = error.str();
    check(e == "_argc<3" || e.rfind("i>_argc, src2 = ", 0) == 0 ||
          e.rfind("i>_argc, dst2 = ", 0) == 0 || e == "falta /src" || e == "falta /dst" ||
          e == "falta /drm");
}
