#pragma once
// TFormLumbrake: the program's only window, a label, a progress bar, a Cancel button and a
// 100 ms timer. On its first activation it reads the command line and starts the copy job on
// a worker thread; the timer mirrors the job's monitor into the label and the bar, and closes
// the window (ending the program) once the job has finished.
#include <memory>

#include "app/copia.h"
#include "app/parametros.h"
#include "platform/gui/gui.h"
#include "tasks/slow_task.h"

class TFormLumbrake : public gui::FormEvents, public CopyState {
  public:
    explicit TFormLumbrake(gui::Application& app);
    // Cancels and waits for a job still running before the state it works on goes.
    ~TFormLumbrake() override;

    void FormActivate();
    void Timer1Timer();
    void BotCancelarClick();
    // Reads the command line, without touching any disc: DirDestino at once, DirOrigen on the
    // worker thread when the job starts (its drive root may ask the disc).
    bool LeeParametros(DString& e);

    // The window: Label1, ProgressBarProceso, BotCancelar and Timer1.
    std::unique_ptr<gui::ProgressForm> Window;
    TTareaProcesosLentos* Tarea = nullptr;
    // How the run went, for RunApplication to return (kRunDone, kRunFailed, kRunBadParameters).
    int outcome = 0;

  private:
    void OnActivate() override { FormActivate(); }
    void OnTimer() override { Timer1Timer(); }
    void OnButtonClick() override { BotCancelarClick(); }
    bool OnCloseRequest() override;
    void EndJob();
    // The job still runs on its thread.
    bool JobRunning() const;
    // The label and the bar from the monitor.
    void ShowProgress();
    // On the worker thread, before the job: the source folder from the command line.
    static bool Job(void* arg, DString* error, TMonitorProc* monitor);
    // On a terminal: the source folder was not there, so nothing was copied.
    void NoteMissingSource();

    // The user asked to close the window while the job ran: it closes once the job stops.
    bool close_requested_ = false;
    CommandLine command_line_;
    // The source's drive root as the label shows it; written by the worker under the monitor
    // lock, given to the window once.
    DString shown_root_;
    bool root_given_ = false;
};

extern TFormLumbrake* FormLumbrake;
// True at program start; the first activation clears it, so later ones do nothing.
extern bool PrimeraActivacion;

// A modal message box over the main window; texts are UTF-8. Returns the button pressed.
int MuestraMensaje(const DString& texto, const DString& titulo, unsigned tipo);

// How a run ended: the copy finished or was cancelled; the copy ended with an error (or the
// job or the entry threw); the command line was refused.
enum : int { kRunDone = 0, kRunFailed = 1, kRunBadParameters = 2 };

// The application entry: builds the window, runs the message loop, returns how the run ended.
int RunApplication();
