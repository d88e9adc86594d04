#pragma once
// The base of a worker thread: always created suspended, started once with Resume, runs
// Execute and then DoTerminate on a thread of its own. It never starts from its constructor,
// so that Execute only ever runs on a whole object, its derived part included.
namespace platform {

class Thread {
  public:
    Thread();
    // Waits for the thread body. A derived class whose Execute uses its own members must call
    // WaitFor in its own destructor, since by the time this one runs those members are gone.
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts a thread created suspended; writes made before the call are visible to it.
    // Further calls do nothing.
    void Resume();
    // Blocks until the thread body has ended; returns at once for a thread never started.
    void WaitFor();

  protected:
    virtual void Execute() = 0;
    virtual void DoTerminate() {}

  private:
    friend struct ThreadStart; // the per-system entry of the thread
    static void Body(Thread* self);
    struct Impl;
    Impl* impl_;
};

} // namespace platform
