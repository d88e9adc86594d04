#include <windows.h>

#include <cstdlib>

#include "platform/thread.h"

// The system thread is created suspended at construction. A thread destroyed without having
// been started is resumed with its body skipped, so that it ends at once.
namespace platform {

struct Thread::Impl {
    HANDLE handle = nullptr;
    bool started = false;
    bool skip_body = false;
    bool joined = false;
};

struct ThreadStart {
    static DWORD WINAPI Run(void* p) {
        auto* self = static_cast<Thread*>(p);
        if (!self->impl_->skip_body) Thread::Body(self);
        return 0;
    }
};

Thread::Thread() : impl_(new Impl) {
    impl_->handle = ::CreateThread(nullptr, 0, ThreadStart::Run, this, CREATE_SUSPENDED, nullptr);
    if (!impl_->handle) std::abort();
}

Thread::~Thread() {
    if (!impl_->started) {
        impl_->skip_body = true;
        impl_->started = true;
        ::ResumeThread(impl_->handle);
    }
    WaitFor();
    ::CloseHandle(impl_->handle);
    delete impl_;
}

void Thread::Resume() {
    if (impl_->started) return;
    impl_->started = true;
    ::ResumeThread(impl_->handle);
}

void Thread::WaitFor() {
    if (!impl_->started || impl_->joined) return;
    ::WaitForSingleObject(impl_->handle, INFINITE);
    impl_->joined = true;
}

} // namespace platform
