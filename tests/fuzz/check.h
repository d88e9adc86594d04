#pragma once
// A property that does not hold ends the run, so the fuzzer keeps the input.
#include <cstdlib>

inline void check(bool ok) {
    if (!ok) std::abort();
}
