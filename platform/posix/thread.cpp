#include <pthread.h>

#include <cstdlib>

#include "platform/thread.h"

// The POSIX thread is created when the thread is started: until then there is nothing that
// could run.
namespace platform {

struct Thread::Impl {
    pthread_t id{};
    bool started = false;
    bool joined = false;
};

Thread::Thread() : impl_(new Impl) {}

Thread::~Thread() {
    WaitFor();
    delete impl_;
}

struct ThreadStart {
    static void* Run(void* p) {
        Thread::Body(static_cast<Thread*>(p));
        return nullptr;
    }
};

void Thread::Resume() {
    if (impl_->started) return;
    impl_->started = true;
    if (pthread_create(&impl_->id, nullptr, ThreadStart::Run, this) != 0) std::abort();
}

void Thread::WaitFor() {
    if (!impl_->started || impl_->joined) return;
    pthread_join(impl_->id, nullptr);
    impl_->joined = true;
}

} // namespace platform
