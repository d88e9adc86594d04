#pragma once
// The code of the TXErrorVectores that fn throws, or 0 when it returns.
#include "core/falla.h"

template <class F> int code_of(F fn) {
    try {
        fn();
    } catch (const TXErrorVectores& e) {
        return e.codigo;
    }
    return 0;
}
