#pragma once
// TMonitorProc: progress shared between a slow task (worker thread) and the window (GUI
// thread). Counts and the cancel flag are atomic words with one writer each; the two texts
// are read and written under the one process-wide re-entrant lock.
#include <atomic>
#include <cstdint>

#include "text/dstring.h"
#include "text/temps.h"

class TCriticalSectionOrv {
  public:
    TCriticalSectionOrv();
    ~TCriticalSectionOrv();
    TCriticalSectionOrv(const TCriticalSectionOrv&) = delete;
    TCriticalSectionOrv& operator=(const TCriticalSectionOrv&) = delete;
    void Entra();
    void Sale();

  private:
    void* cs_; // the platform's re-entrant lock
};

class TCriticalSectionOrvEntra {
  public:
    explicit TCriticalSectionOrvEntra(TCriticalSectionOrv* cs, bool entra_ya = true);
    ~TCriticalSectionOrvEntra() { Sale(); }
    TCriticalSectionOrvEntra(const TCriticalSectionOrvEntra&) = delete;
    TCriticalSectionOrvEntra& operator=(const TCriticalSectionOrvEntra&) = delete;
    void Entra();
    void Sale();

  private:
    TCriticalSectionOrv* cs_;
};

// The one lock of all monitors; exists from before the application entry until after it.
TCriticalSectionOrv* MonitorLock();

class TMonitorProc {
  public:
    TMonitorProc();
    virtual ~TMonitorProc();
    TMonitorProc(const TMonitorProc&) = delete;
    TMonitorProc& operator=(const TMonitorProc&) = delete;

    virtual void Cancela();
    virtual void Inicializa();
    virtual void Notifica() {}
    virtual double Porcentaje();
    virtual void PonTotal(int64_t n);
    virtual bool Avanza(int64_t n);
    virtual void PonHecho(int64_t n);
    virtual void CambioProgreso() {}

    bool EstaCancelado() const;
    DString Texto(bool con_hijo);
    // Links this monitor as the child under way of padre, standing for peso of its units.
    void EnlazaHijo(TMonitorProc* padre, int64_t peso);
    void SetCancelCallback(void (*fn)(void*), void* arg);

    // Byte counts are 64-bit so trees and files of 2 GiB and more count truly.
    std::atomic<int64_t> hecho{-1};
    std::atomic<int64_t> total{10};
    std::atomic<bool> cancelado{false};
    DString paso;
    DString detalle;
    TTempsUTC inicio;
    std::atomic<bool> acabado{false};
    TMonitorProc* padre = nullptr;
    TMonitorProc* hijo = nullptr;
    int64_t peso = 0;
    uint32_t marca = 0xABCD;
    void* ArgCancela = nullptr;
    void (*FnCancela)(void*) = nullptr;
};
