#pragma once
// Locking and sleeping services of the system.
namespace platform {

// A mutex that the thread holding it may enter again; every Enter is matched by a Leave.
class RecursiveLock {
  public:
    RecursiveLock();
    ~RecursiveLock();
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;
    void Enter();
    void Leave();

  private:
    void* impl_;
};

void sleep_ms(unsigned ms);

} // namespace platform
