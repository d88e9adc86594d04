#include "tasks/monitor.h"

#include <gtest/gtest.h>

#include <thread>

TEST(Monitor, PercentageFollowsCounts) {
    TMonitorProc m;
    EXPECT_EQ(m.Porcentaje(), 0); // not counting yet: -1 of 10 clamps to 0

    m.PonTotal(0);
    m.Avanza(500);
    EXPECT_EQ(m.Porcentaje(), 0);

    m.PonTotal(200);
    m.Avanza(50);
    EXPECT_DOUBLE_EQ(m.Porcentaje(), 25);
    m.Avanza(250);
    EXPECT_DOUBLE_EQ(m.Porcentaje(), 150); // no upper clamp

    // Byte counts beyond 32 bits: a 4.7 GB tree counts truly and ends at exactly 100.
    const int64_t big = 4700000000LL;
    m.PonTotal(big);
    double last = -1;
    for (int64_t done = 0; done < big; done += big / 7) {
        m.PonHecho(done);
        double p = m.Porcentaje();
        EXPECT_GE(p, last);
        last = p;
    }
    m.PonHecho(big);
    EXPECT_DOUBLE_EQ(m.Porcentaje(), 100);
}

TEST(Monitor, TextsAndCancel) {
    TMonitorProc m;
    m.detalle = "d";
    EXPECT_STREQ(m.Texto(true).c_str(), "  d");
    m.paso = "Preparing to copy files...";
    m.detalle = "C:\\src";
    EXPECT_STREQ(m.Texto(false).c_str(), "Preparing to copy files...  C:\\src");

    m.Cancela();
    EXPECT_TRUE(m.EstaCancelado());
    m.PonTotal(10);
    EXPECT_FALSE(m.EstaCancelado());
    EXPECT_EQ(m.hecho.load(), 0);

    m.Inicializa();
    EXPECT_EQ(m.hecho.load(), -1);
    EXPECT_EQ(m.total.load(), 10);
    EXPECT_TRUE(m.Texto(true).is_empty());
}

TEST(Monitor, ParentAndChild) {
    TMonitorProc padre;
    padre.PonTotal(100);
    padre.Avanza(10);
    int llamadas = 0;
    padre.SetCancelCallback([](void* p) { ++*static_cast<int*>(p); }, &llamadas);
    {
        TMonitorProc hijo;
        hijo.EnlazaHijo(&padre, 50);
        EXPECT_EQ(padre.hijo, &hijo);
        hijo.PonTotal(4);
        hijo.Avanza(2);
        EXPECT_NEAR(padre.Porcentaje(), 35, 1e-4); // 10 + 50 * 0.5 of 100
        padre.paso = "P";
        hijo.paso = "H";
        EXPECT_STREQ(padre.Texto(true).c_str(), "P H");
        EXPECT_STREQ(padre.Texto(false).c_str(), "P");

        padre.cancelado = true;
        EXPECT_TRUE(hijo.EstaCancelado()); // through the parent
        EXPECT_FALSE(hijo.cancelado.load());
        padre.Cancela();
        EXPECT_EQ(llamadas, 1);
        EXPECT_TRUE(hijo.cancelado.load());
    }
    // The child gave its weight and its cancel back and unlinked itself.
    EXPECT_EQ(padre.hijo, nullptr);
    EXPECT_EQ(padre.hecho.load(), 60);
    EXPECT_TRUE(padre.cancelado.load());
}

TEST(Monitor, LockIsReentrantAndGuardLeavesOnce) {
    TCriticalSectionOrvEntra g(MonitorLock());
    TMonitorProc m;
    m.paso = "x";
    EXPECT_STREQ(m.Texto(true).c_str(), "x"); // takes the lock again on this thread
    g.Sale();
    g.Sale(); // holds none any more: nothing happens
}

TEST(Monitor, WriterAndReaderThreads) {
    TMonitorProc m;
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
        double p = m.Porcentaje();
        EXPECT_GE(p, last);
        last = p;
        (void)m.Texto(true);
        m.cancelado = false;
    }
    worker.join();
    EXPECT_DOUBLE_EQ(m.Porcentaje(), 100);
}
