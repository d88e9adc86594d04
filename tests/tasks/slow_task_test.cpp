#include "tasks/slow_task.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "platform/exception.h"
#include "platform/sync.h"

namespace {

void Espera(const TTareaProcesosLentos& t) {
    while (!t.fin.load(std::memory_order_acquire))
        platform::sleep_ms(1);
}

struct Contado : TaskObject {
    explicit Contado(int* n) : n_(n) {}
    ~Contado() override { ++*n_; }
    int* n_;
};

} // namespace

TEST(SlowTask, ReturnsAndMarksMonitor) {
    TMonitorProc m;
    int borrados = 0;
    TTareaProcesosLentos t;
    t.funcion = [](void* arg, DString*, TMonitorProc* mon) {
        mon->PonTotal(1);
        return *static_cast<int*>(arg) == 7;
    };
    int siete = 7;
    t.arg = &siete;
    t.monitor = &m;
    t.objeto = new Contado(&borrados);
    t.Resume();
    Espera(t);
    EXPECT_TRUE(t.resultado);
    EXPECT_TRUE(m.acabado.load());
    EXPECT_EQ(borrados, 1);

    // Without a monitor; a failure keeps the body's own text.
    TTareaProcesosLentos u;
    u.funcion = [](void*, DString* error, TMonitorProc* mon) {
        EXPECT_EQ(mon, nullptr);
        *error = "own text";
        return false;
    };
    u.Resume();
    Espera(u);
    EXPECT_FALSE(u.resultado);
    EXPECT_STREQ(u.error.c_str(), "own text");
}

TEST(SlowTask, ThrownThingsBecomeText) {
    struct Caso {
        TaskFunction f;
        const char* texto;
    } casos[] = {
        {[](void*, DString*, TMonitorProc*) -> bool { throw DString("boom"); },
         "Exception TTareaProcesosLentos::Execute boom"},
        {[](void*, DString*, TMonitorProc*) -> bool { throw "lit"; },
         "Exception TTareaProcesosLentos::Execute lit"},
        {[](void*, DString*, TMonitorProc*) -> bool { throw new Exception(u"w\u00e9"); },
         "Exception TTareaProcesosLentos::Execute w\xc3\xa9"},
        {[](void*, DString*, TMonitorProc*) -> bool { throw 42; },
         "Undefined error in TTareaProcesosLentos::Execute"},
    };
    for (const Caso& c : casos) {
        TMonitorProc m;
        TTareaProcesosLentos t;
        t.funcion = c.f;
        t.monitor = &m;
        t.resultado = true;
        t.Resume();
        Espera(t);
        EXPECT_FALSE(t.resultado);
        EXPECT_STREQ(t.error.c_str(), c.texto);
        EXPECT_TRUE(m.acabado.load());
    }
}

TEST(SlowTask, DestroyWhileRunningWaitsForTheBody) {
    static std::atomic<bool> salir{false}, acabada{false};
    auto inicio = std::chrono::steady_clock::now();
    {
        TTareaProcesosLentos t;
        t.funcion = [](void*, DString*, TMonitorProc*) {
            while (!salir.load())
                platform::sleep_ms(1);
            platform::sleep_ms(50);
            acabada = true;
            return true;
        };
        t.Resume();
        salir = true;
    }
    EXPECT_TRUE(acabada.load());
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, std::chrono::seconds(5));

    // Never started: the destructor gives up after about a second and ends cleanly.
    { TTareaProcesosLentos idle; }
}
