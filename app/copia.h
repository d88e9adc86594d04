#pragma once
// The copy job: totals the source tree, then copies every visible file to the same relative
// place below the destination, creating folders as it goes and never replacing a file that
// is already there. It runs on the worker thread and reports through the state it is given,
// which the progress window holds and reads.
#include <atomic>
#include <cstdint>

#include "fs/commit.h"
#include "fs/path.h"
#include "platform/folder_id.h"
#include "tasks/monitor.h"
#include "text/dstring.h"

struct CopyState {
    TStringNomFitx DirOrigen;
    TStringNomFitx DirDestino;
    // Set by the job as its last step, with release: it publishes TextoError.
    std::atomic<bool> Terminado{false};
    DString TextoError;
    TMonitorProc Monitor;

    // Called on the worker thread once the job has ended, so the window need not wait for
    // its next tick; may be null.
    void (*on_finished)() = nullptr;
    // The destination folder, once it exists: a destination inside the source tree is left
    // out of the scan and the copy.
    platform::FolderId destination_id;
    bool destination_known = false;
    // Makes and names the job's copies apart from the walk while the tree is copied; null
    // outside it, and then each copy is named before CopiaFichero returns.
    CopyCommitter* committer = nullptr;
    // The source folder did not exist when the job began: nothing to copy, and no error.
    // Missing later (a disc taken out) it is a folder that cannot be read.
    bool source_missing = false;
    // Folders entered below the source, in the walk under way.
    int depth = 0;
};

// The task function for TTareaProcesosLentos; arg is the CopyState.
bool TareaCopia(void* arg, DString* error, TMonitorProc* monitor);
// The whole job: true when it ran to its end or was cancelled, false when a failure ended it.
bool CopiaFicheros(CopyState* w);
// Bytes below carpeta; 0 when the job was cancelled during the scan.
int64_t TamanoCarpeta(CopyState* w, const DString& carpeta);
// Copies the tree below origen into destino, to which a backslash is appended.
bool CopiaCarpeta(CopyState* w, const DString& origen, DString& destino, DString& error);
// in_new_folder: destino lies in a folder that this job has just made, which holds only what
// the job put there; no file is looked for there before the copy. listed: origen as the
// walk's listing has just returned it, or null.
bool CopiaFichero(CopyState* w, const DString& origen, const DString& destino, DString& error,
                  bool in_new_folder = false, const platform::ListedEntry* listed = nullptr);
