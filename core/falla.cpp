#include "core/falla.h"

#include <atomic>

#include "platform/debugger.h"

namespace {
// Not locked. The first call marks the question asked before it asks the system: a thread
// that asks meanwhile gets the answer as it stands then (false), and only the first call
// waits for the system's.
std::atomic<bool> g_asked{false};
std::atomic<bool> g_present{false};
} // namespace

void Falla(int32_t codigo) {
    if (HayDepurador()) platform::debugger().debug_break();
    throw TXErrorVectores{codigo};
}

void CompruebaPuntero(const void* p, size_t, size_t) {
    if (!p) Falla(kErrNoMemory);
}

bool HayDepurador() {
    if (g_asked.load(std::memory_order_relaxed)) return g_present.load(std::memory_order_relaxed);
    g_present.store(false, std::memory_order_relaxed);
    g_asked.store(true, std::memory_order_relaxed);
    const platform::DebuggerOps& ops = platform::debugger();
    if (!ops.version_is_nt()) return false;
    bool present = ops.debugger_present();
    g_present.store(present, std::memory_order_relaxed);
    return present;
}

void ResetDebuggerCache() {
    g_asked.store(false);
    g_present.store(false);
}
