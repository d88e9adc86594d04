#pragma once
// TThreadOrv: a worker thread whose body runs Trabaja and then AlTerminar, shielded from
// exceptions. TTareaProcesosLentos: runs one task function on such a thread, turns what
// the task throws into an error text and marks the task's monitor as ended.
#include <atomic>

#include "platform/thread.h"
#include "tasks/monitor.h"
#include "text/dstring.h"

class TThreadOrv : public platform::Thread {
  public:
    explicit TThreadOrv(const char* name);
    ~TThreadOrv() override;

    std::atomic<bool> ejecutado{false};
    DString nombre;

  protected:
    void Execute() override;
    virtual bool Trabaja() = 0;
    virtual void AlTerminar() {}
};

// An object handed to the task's thread, which deletes it when the task has ended.
class TaskObject {
  public:
    virtual ~TaskObject() = default;
};

using TaskFunction = bool (*)(void* arg, DString* error, TMonitorProc* monitor);

class TTareaProcesosLentos : public TThreadOrv {
  public:
    TTareaProcesosLentos();
    // Waits up to about a second for the thread body to reach its end, then for the thread
    // itself: the body uses the fields below until its last step.
    ~TTareaProcesosLentos() override;

    // Set by the owner before Resume.
    TaskFunction funcion = nullptr;
    void* arg = nullptr;
    TMonitorProc* monitor = nullptr;
    TaskObject* objeto = nullptr;

    // Written by the worker. hecha and fin publish resultado and error (release/acquire).
    std::atomic<bool> hecha{false};
    std::atomic<bool> fin{false};
    bool resultado = false;
    DString error;
    DString texto;

  protected:
    bool Trabaja() override;
    void AlTerminar() override;

  private:
    void Acaba();
};
