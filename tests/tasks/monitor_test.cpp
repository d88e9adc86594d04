#include "tasks/monitor.h"

#include <gtest/gtest.h>

#include <thread>

TEST(Monitor, PercentageTextsAndCancel) {
    TMonitorProc m;
    EXPECT_EQ(m.Porcentaje(), 0); // not counting yet: -1 of 10 clamps to 0
    m.PonTotal(0);
    m.Avanza(500);
    EXPECT_EQ(m.Porcentaje(), 0);

    // Byte counts beyond 32 bits: a 4.7 GB tree counts truly and ends at exactly 100.
    const int64_t big = 4700000000LL;
    m.PonTotal(big);
    m.PonHecho(big / 3);
    EXPECT_NEAR(m.Porcentaje(), 100.0 / 3, 1e-6);
    m.PonHecho(big);
    EXPECT_DOUBLE_EQ(m.Porcentaje(), 100);

    m.paso = "Preparing to copy files...";
    m.detalle = "C:\\src";
    EXPECT_STREQ(m.Texto(false).c_str(), "Preparing to copy files...  C:\\src");
    m.Cancela();
    EXPECT_TRUE(m.EstaCancelado());
    m.PonTotal(10); // a new count clears Cancel
    EXPECT_FALSE(m.EstaCancelado());
    m.Inicializa();
    EXPECT_EQ(m.hecho.load(), -1);
    EXPECT_TRUE(m.Texto(true).is_empty());
}

// The job thread writes while the GUI thread reads, also with the lock already held.
TEST(Monitor, WriterAndReaderThreads) {
    TMonitorProc m;
    {
        TCriticalSectionOrvEntra g(MonitorLock());
        m.paso = "x";
        EXPECT_STREQ(m.Texto(true).c_str(), "x"); // takes the lock again on this thread
        g.Sale();
        g.Sale(); // holds none any more: nothing happens
    }
    m.PonTotal(100000);
    std::thread worker([&] {
        for (int i = 0; i < 100000; ++i) {
            if (i % 1000 == 0) {
                TCriticalSectionOrvEntra g(MonitorLock());
                m.paso = "Copying file: ";
                m.paso.append_int(i);
            }
            m.Avanza(1);
        }
    });
    double last = 0;
    while (m.hecho.load() < 100000) {
        const double p = m.Porcentaje();
        EXPECT_GE(p, last);
        last = p;
        (void)m.Texto(true);
    }
    worker.join();
    EXPECT_DOUBLE_EQ(m.Porcentaje(), 100);
}
