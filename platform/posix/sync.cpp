#include <pthread.h>
#include <time.h>

#include <cerrno>
#include <cstdlib>

#include "platform/sync.h"

namespace platform {

RecursiveLock::RecursiveLock() {
    auto* m = new pthread_mutex_t;
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    if (pthread_mutex_init(m, &attr) != 0) std::abort();
    pthread_mutexattr_destroy(&attr);
    impl_ = m;
}

RecursiveLock::~RecursiveLock() {
    auto* m = static_cast<pthread_mutex_t*>(impl_);
    pthread_mutex_destroy(m);
    delete m;
}

void RecursiveLock::Enter() {
    pthread_mutex_lock(static_cast<pthread_mutex_t*>(impl_));
}

void RecursiveLock::Leave() {
    pthread_mutex_unlock(static_cast<pthread_mutex_t*>(impl_));
}

void sleep_ms(unsigned ms) {
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

} // namespace platform
