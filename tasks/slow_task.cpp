#include "tasks/slow_task.h"

#include "platform/exception.h"
#include "platform/sync.h"

TThreadOrv::TThreadOrv(const char* name) : platform::Thread(), nombre(name) {}

TThreadOrv::~TThreadOrv() {
    WaitFor();
}

void TThreadOrv::Execute() {
    ejecutado.store(false);
    try {
        Trabaja();
    } catch (...) {
    }
    try {
        AlTerminar();
    } catch (...) {
    }
    ejecutado.store(true, std::memory_order_release);
}

TTareaProcesosLentos::TTareaProcesosLentos() : TThreadOrv("TTareaProcesosLentos") {}

TTareaProcesosLentos::~TTareaProcesosLentos() {
    for (int i = 0; i < 10 && !fin.load(std::memory_order_acquire); ++i)
        platform::sleep_ms(100);
    WaitFor();
}

namespace {
const char kPrefijo[] = "Exception TTareaProcesosLentos::Execute ";
}

void TTareaProcesosLentos::Acaba() {
    if (monitor) monitor->acabado.store(true, std::memory_order_release);
    // The object goes whether the task returned or threw: nobody else can free it.
    delete objeto;
    objeto = nullptr;
    hecha.store(true, std::memory_order_release);
}

bool TTareaProcesosLentos::Trabaja() {
    try {
        resultado = funcion(arg, &error, monitor);
        Acaba();
        return true;
    } catch (const DString& s) {
        error = DString(kPrefijo) + s;
    } catch (const char* s) {
        error = DString(kPrefijo) + s;
    } catch (Exception* e) {
        DString m;
        m.assign_wide(e->Message().c_str(), static_cast<int>(e->Message().size()));
        error = DString(kPrefijo) + m;
        delete e;
    } catch (...) {
        error = "Undefined error in TTareaProcesosLentos::Execute";
    }
    resultado = false;
    Acaba();
    return false;
}

void TTareaProcesosLentos::AlTerminar() {
    fin.store(true, std::memory_order_release);
}
