#include "platform/thread.h"

namespace platform {

void Thread::Body(Thread* self) {
    self->Execute();
    self->DoTerminate();
}

} // namespace platform
