#include "tasks/monitor.h"

#include "platform/sync.h"

TCriticalSectionOrv::TCriticalSectionOrv() : cs_(new platform::RecursiveLock) {}

TCriticalSectionOrv::~TCriticalSectionOrv() {
    delete static_cast<platform::RecursiveLock*>(cs_);
}

void TCriticalSectionOrv::Entra() {
    static_cast<platform::RecursiveLock*>(cs_)->Enter();
}

void TCriticalSectionOrv::Sale() {
    static_cast<platform::RecursiveLock*>(cs_)->Leave();
}

TCriticalSectionOrvEntra::TCriticalSectionOrvEntra(TCriticalSectionOrv* cs, bool entra_ya)
    : cs_(cs) {
    if (entra_ya) Entra();
}

void TCriticalSectionOrvEntra::Entra() {
    if (cs_) cs_->Entra();
}

void TCriticalSectionOrvEntra::Sale() {
    if (cs_) cs_->Sale();
    cs_ = nullptr;
}

TCriticalSectionOrv* MonitorLock() {
    // Built on first use, so a monitor made during another unit's static initialisation
    // finds it too; destroyed after main has returned.
    static TCriticalSectionOrv lock;
    return &lock;
}

namespace {
// Makes sure the lock exists before the application entry runs.
TCriticalSectionOrv* const g_lock_at_start = MonitorLock();
} // namespace

TMonitorProc::TMonitorProc() {
    Inicializa();
}

TMonitorProc::~TMonitorProc() {
    if (padre) {
        TCriticalSectionOrvEntra guard(MonitorLock());
        padre->hecho.fetch_add(peso, std::memory_order_relaxed);
        padre->hijo = nullptr;
        padre->cancelado.store(cancelado.load(std::memory_order_relaxed),
                               std::memory_order_relaxed);
    }
}

void TMonitorProc::Cancela() {
    cancelado.store(true, std::memory_order_relaxed);
    TCriticalSectionOrvEntra guard(MonitorLock());
    if (FnCancela) FnCancela(ArgCancela);
    if (hijo) hijo->Cancela();
}

void TMonitorProc::Inicializa() {
    TCriticalSectionOrvEntra guard(MonitorLock());
    hecho.store(-1, std::memory_order_relaxed);
    total.store(10, std::memory_order_relaxed);
    paso.clear();
    detalle.clear();
    cancelado.store(false, std::memory_order_relaxed);
    acabado.store(false, std::memory_order_relaxed);
    padre = nullptr;
    hijo = nullptr;
}

double TMonitorProc::Porcentaje() {
    try {
        TCriticalSectionOrvEntra guard(MonitorLock());
        const int64_t t = total.load(std::memory_order_relaxed);
        if (t < 1) return 0;
        float share = 0;
        if (hijo) {
            share = static_cast<float>(hijo->Porcentaje());
            if (share < 0) share = 0;
            share = share * 0.01f;
            share = static_cast<float>(static_cast<double>(hijo->peso) * share);
        }
        // Counts are 64-bit; the quotient is taken in double so that large totals keep
        // their precision, then stored as a float like the rest of the figure.
        const double done = static_cast<double>(hecho.load(std::memory_order_relaxed)) + share;
        float r = static_cast<float>(done / static_cast<double>(t));
        if (r < 0) r = 0;
        return static_cast<double>(r) * 100;
    } catch (...) {
        return 0;
    }
}

void TMonitorProc::PonTotal(int64_t n) {
    total.store(n, std::memory_order_relaxed);
    hecho.store(0, std::memory_order_relaxed);
    cancelado.store(false, std::memory_order_relaxed);
    inicio.now();
}

bool TMonitorProc::Avanza(int64_t n) {
    hecho.fetch_add(n, std::memory_order_relaxed);
    return !EstaCancelado();
}

void TMonitorProc::PonHecho(int64_t n) {
    hecho.store(n, std::memory_order_relaxed);
    CambioProgreso();
}

bool TMonitorProc::EstaCancelado() const {
    if (cancelado.load(std::memory_order_relaxed)) return true;
    return padre ? padre->EstaCancelado() : false;
}

DString TMonitorProc::Texto(bool con_hijo) {
    TCriticalSectionOrvEntra guard(MonitorLock());
    DString t = paso;
    if (!detalle.is_empty()) {
        t.append("  ");
        t.append(detalle);
    }
    if (hijo && con_hijo) {
        DString c = hijo->Texto(true);
        if (!c.is_empty()) {
            t.append(" ");
            t.append(c);
        }
    }
    return t;
}

void TMonitorProc::EnlazaHijo(TMonitorProc* p, int64_t peso_en_padre) {
    TCriticalSectionOrvEntra guard(MonitorLock());
    padre = p;
    peso = peso_en_padre;
    if (p) p->hijo = this;
}

void TMonitorProc::SetCancelCallback(void (*fn)(void*), void* arg) {
    TCriticalSectionOrvEntra guard(MonitorLock());
    FnCancela = fn;
    ArgCancela = arg;
}
