#include <windows.h>

#include "platform/sync.h"

namespace platform {

RecursiveLock::RecursiveLock() {
    auto* cs = new CRITICAL_SECTION;
    InitializeCriticalSection(cs);
    impl_ = cs;
}

RecursiveLock::~RecursiveLock() {
    auto* cs = static_cast<CRITICAL_SECTION*>(impl_);
    DeleteCriticalSection(cs);
    delete cs;
}

void RecursiveLock::Enter() {
    EnterCriticalSection(static_cast<CRITICAL_SECTION*>(impl_));
}

void RecursiveLock::Leave() {
    LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(impl_));
}

void sleep_ms(unsigned ms) {
    ::Sleep(ms);
}

} // namespace platform
