#include "tasks/slow_task.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "platform/exception.h"
#include "platform/sync.h"

namespace {

// Runs f on a task with the given monitor and waits for the task's end.
void RunTask(TTareaProcesosLentos& t, TaskFunction f, TMonitorProc* m) {
    t.funcion = f;
    t.monitor = m;
    t.Resume();
    while (!t.fin.load(std::memory_order_acquire))
        platform::sleep_ms(1);
}

struct Counted : TaskObject {
    explicit Counted(int* n) : n_(n) {}
    ~Counted() override { ++*n_; }
    int* n_;
};

} // namespace

TEST(SlowTask, ReturnsMarksTheMonitorAndDeletesItsObject) {
    TMonitorProc m;
    int deleted = 0, seven = 7;
    TTareaProcesosLentos t;
    t.arg = &seven;
    t.objeto = new Counted(&deleted);
    RunTask(
        t, [](void* arg, DString*, TMonitorProc*) { return *static_cast<int*>(arg) == 7; }, &m);
    EXPECT_TRUE(t.resultado);
    EXPECT_TRUE(m.acabado.load());
    EXPECT_EQ(deleted, 1);

    // Without a monitor; a failure keeps the body's own text.
    TTareaProcesosLentos u;
    RunTask(
        u, [](void*, DString* error, TMonitorProc*) { return *error = "own text", false; },
        nullptr);
    EXPECT_FALSE(u.resultado);
    EXPECT_STREQ(u.error.c_str(), "own text");
}

TEST(SlowTask, ThrownThingsBecomeText) {
    const std::pair<TaskFunction, const char*> cases[] = {
        {[](void*, DString*, TMonitorProc*) -> bool { throw DString("boom"); },
         "Exception TTareaProcesosLentos::Execute boom"},
        {[](void*, DString*, TMonitorProc*) -> bool { throw "lit"; },
         "Exception TTareaProcesosLentos::Execute lit"},
        {[](void*, DString*, TMonitorProc*) -> bool { throw new Exception(u"w\u00e9"); },
         "Exception TTareaProcesosLentos::Execute w\xc3\xa9"},
        {[](void*, DString*, TMonitorProc*) -> bool { throw 42; },
         "Undefined error in TTareaProcesosLentos::Execute"},
    };
    for (const auto& [f, text] : cases) {
        TMonitorProc m;
        TTareaProcesosLentos t;
        t.resultado = true;
        RunTask(t, f, &m);
        EXPECT_FALSE(t.resultado);
        EXPECT_STREQ(t.error.c_str(), text);
        EXPECT_TRUE(m.acabado.load());
    }
}

TEST(SlowTask, DestroyWhileRunningWaitsForTheBody) {
    static std::atomic<bool> go{false}, ended{false};
    auto start = std::chrono::steady_clock::now();
    {
        TTareaProcesosLentos t;
        t.funcion = [](void*, DString*, TMonitorProc*) {
            while (!go.load())
                platform::sleep_ms(1);
            platform::sleep_ms(50);
            return ended = true;
        };
        t.Resume();
        go = true;
    }
    EXPECT_TRUE(ended.load());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    // Never started: the destructor gives up after about a second and ends cleanly.
    { TTareaProcesosLentos idle; }
}
