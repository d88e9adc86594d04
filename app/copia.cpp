#include "app/copia.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>

#include "file/fichero.h"
#include "fs/fs.h"
#include "fs/iterator.h"
#include "platform/fs.h"
#include "platform/shown_path.h"
#include "text/casefold.h"

namespace {

bool Cancelled(const CopyState* w) {
    return w->Monitor.cancelado.load(std::memory_order_relaxed);
}

void SetStep(CopyState* w, const DString& paso) {
    TCriticalSectionOrvEntra guard(MonitorLock());
    w->Monitor.paso = paso;
}

void SetDetail(CopyState* w, const DString& detalle) {
    TCriticalSectionOrvEntra guard(MonitorLock());
    w->Monitor.detalle = detalle;
}

// The destination folder met while walking the source: it is not walked into.
bool IsDestination(const CopyState* w, const DString& carpeta) {
    if (!w->destination_known) return false;
    platform::FolderId id;
    return platform::folder_id(carpeta.c_str(), id) && id == w->destination_id;
}

// A path as the person reading the window or a message expects it on this system.
DString Shown(const DString& ruta) {
    return DString(platform::shown_path(ruta.c_str()).c_str());
}

DString CopyError(const DString& origen, const DString& destino) {
    return DString("Error copying file: ") + Shown(origen) + " to " + Shown(destino);
}

// Deeper than this, a tree is taken for a hostile one: the walk would exhaust the stack.
constexpr int kMaxDepth = 1000;

// A walk of one folder, from the folder the job began at; depth counts the folders entered
// on the way down to it.
struct FolderWalk {
    int& depth;
    TIteradorFitx it;
    FolderWalk(const CopyState* w, int& entered, const DString& carpeta)
        : depth(entered), it(carpeta + "\\*.*") {
        it.walk_top = w->DirOrigen;
        it.descriptors = w->committer;
        ++depth;
    }
    ~FolderWalk() { --depth; }
    FolderWalk(const FolderWalk&) = delete;
    FolderWalk& operator=(const FolderWalk&) = delete;
    bool TooDeep() const { return depth > kMaxDepth; }
};

class ScanHelper;
int64_t ScanFolder(CopyState* w, const DString& carpeta, int& depth, ScanHelper* helper);

// The scan's second thread: whenever it is idle it takes a whole folder from the job's
// thread and totals it. Listing folders and opening every file for its size is all the scan
// does, and the second core is otherwise idle until the copy begins.
class ScanHelper {
  public:
    explicit ScanHelper(CopyState* w) : w_(w), thread_([this] { Run(); }) {}
    ~ScanHelper() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closing_ = true;
        }
        work_.notify_one();
        thread_.join();
    }
    ScanHelper(const ScanHelper&) = delete;
    ScanHelper& operator=(const ScanHelper&) = delete;

    // Takes carpeta, found at the given depth, when idle; false leaves it to the caller.
    bool Offer(const DString& carpeta, int depth) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (busy_) return false;
            busy_ = true;
            folder_ = carpeta;
            depth_ = depth;
        }
        work_.notify_one();
        return true;
    }
    // Waits for the folders taken so far; the bytes found below them.
    int64_t Total() {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [&] { return !busy_; });
        return sum_;
    }

  private:
    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            work_.wait(lock, [&] { return busy_ || closing_; });
            if (!busy_) return;
            const DString carpeta = folder_;
            int depth = depth_;
            lock.unlock();
            const int64_t bytes = ScanFolder(w_, carpeta, depth, nullptr);
            lock.lock();
            sum_ += bytes;
            busy_ = false;
            done_.notify_all();
        }
    }

    CopyState* const w_;
    std::mutex mutex_;
    std::condition_variable work_, done_;
    DString folder_;
    int depth_ = 0;
    bool busy_ = false, closing_ = false;
    int64_t sum_ = 0;
    std::thread thread_; // last: it starts once the members above are ready
};

// The scan counts whatever it can read; what it cannot, the copy meets and reports.
int64_t ScanFolder(CopyState* w, const DString& carpeta, int& depth, ScanHelper* helper) {
    SetDetail(w, Shown(carpeta));
    int64_t suma = 0;
    FolderWalk r(w, depth, carpeta);
    if (r.TooDeep()) return 0;
    while (r.it.Siguiente()) {
        if (r.it.ruta.Nombre()[0] != '.') {
            if (r.it.es_carpeta) {
                if (!IsDestination(w, r.it.ruta) && !(helper && helper->Offer(r.it.ruta, depth)))
                    suma += ScanFolder(w, r.it.ruta, depth, helper);
            } else {
                suma += TamanoFichero(r.it.ruta, r.it.Listed());
            }
        }
        if (Cancelled(w)) return 0;
    }
    return suma;
}

// After the listing of carpeta stopped: whether it stopped short of its end. The source
// folder missing from the start is no failure.
bool ReadFailed(const CopyState* w, const TIteradorFitx& it, const DString& carpeta) {
    switch (it.ended) {
    case platform::ListingEnd::complete:
        return false;
    case platform::ListingEnd::missing:
        return !(w->source_missing && carpeta.equals(w->DirOrigen.c_str()));
    default:
        return true;
    }
}

DString ReadError(const DString& carpeta) {
    return DString("Error reading folder: ") + Shown(carpeta);
}

// The names of one folder met so far, by their case-folded form: a second name of the same
// form lands on the first one's entry where the destination ignores case (FAT, exFAT, NTFS,
// Windows), whatever the script. Only a hash of each is kept, so that a folder of many
// entries stays small; a false match costs a look at the destination, nothing more.
class FoldedNames {
  public:
    // False when a name of the same folded form was met before.
    bool Add(const char* nombre) {
        return seen_.insert(std::hash<std::string>()(FoldCase(nombre))).second;
    }

  private:
    std::unordered_set<size_t> seen_;
};

// Whether the destination folder lists the name exactly, case included: where case is
// ignored, a name that differs from an earlier one only in case finds that one's entry and
// is not listed itself.
bool ListedExactly(const DString& carpeta, const char* nombre) {
    TIteradorFitx it(carpeta + "*.*");
    it.incluir_ocultos = true;
    while (it.Siguiente())
        if (std::strcmp(it.ruta.Nombre(), nombre) == 0) return true;
    return false;
}

// The progress of one file's copy, piece by piece. The pieces advance the monitor up to the
// size counted for the file in the scan's way, so the file's total is its size whatever the
// copy finds; a Cancel stops the copy before its next piece.
struct FileProgress {
    CopyState* w;
    int64_t size;
    int64_t shown = 0;
    bool stopped = false;

    static bool Piece(void* context, uint64_t bytes) {
        auto* p = static_cast<FileProgress*>(context);
        const int64_t step = std::min<int64_t>(static_cast<int64_t>(bytes), p->size - p->shown);
        if (step > 0) {
            p->w->Monitor.Avanza(step);
            p->shown += step;
        }
        p->stopped = Cancelled(p->w);
        return !p->stopped;
    }
};

} // namespace

bool TareaCopia(void* arg, DString*, TMonitorProc*) {
    auto* w = static_cast<CopyState*>(arg);
    const bool ok = CopiaFicheros(w);
    if (w->on_finished) w->on_finished();
    return ok;
}

bool CopiaFicheros(CopyState* w) {
    // The first text shows before anything asks the disc, which may be slow to answer.
    SetStep(w, "Preparing to copy files...");
    // A destination that exists already is known before the scan; one made by the copy is
    // learnt when it is made.
    w->destination_known = platform::folder_id(w->DirDestino.c_str(), w->destination_id);

    {
        TIteradorFitx origen(w->DirOrigen + "\\*.*");
        origen.incluir_ocultos = true;
        w->source_missing = !origen.Siguiente() && origen.ended == platform::ListingEnd::missing;
    }

    const int64_t total = TamanoCarpeta(w, w->DirOrigen);
    {
        TCriticalSectionOrvEntra guard(MonitorLock());
        w->Monitor.paso.clear();
        w->Monitor.detalle.clear();
    }
    bool ok = true;
    // A Cancel during the scan ends the job here: nothing is copied.
    if (!Cancelled(w)) {
        w->Monitor.PonTotal(total);
        // The copies are flushed and named in groups apart from the copying; the job ends
        // only once the last of them, also after a failure or a Cancel, has its name.
        CopyCommitter committer([w] { return Cancelled(w); });
        w->committer = &committer;
        ok = CopiaCarpeta(w, w->DirOrigen, w->DirDestino, w->TextoError);
        DString origen, destino;
        const bool named = committer.Finish(origen, destino);
        w->committer = nullptr;
        if (!named && ok) {
            ok = false;
            w->TextoError = CopyError(origen, destino);
        }
    }
    w->Terminado.store(true, std::memory_order_release);
    return ok;
}

int64_t TamanoCarpeta(CopyState* w, const DString& carpeta) {
    ScanHelper helper(w);
    const int64_t suma = ScanFolder(w, carpeta, w->depth, &helper) + helper.Total();
    return Cancelled(w) ? 0 : suma;
}

bool CopiaCarpeta(CopyState* w, const DString& origen, DString& destino, DString& error) {
    bool ok = true;
    if (destino.is_empty() || destino.char_at(destino.length() - 1) != '\\') destino.append('\\');
    bool made = false;
    if (!ExisteCarpeta(destino, true)) {
        made = CreaCarpeta(destino);
        // A folder that another run made meanwhile is as good as one made here.
        if (!made && !ExisteCarpeta(destino, true)) {
            error = DString("Error creating folder:") + Shown(destino);
            return false;
        }
    } else {
        // What a killed run left behind goes before this one adds to the folder.
        RemoveStaleTemporaries(destino);
    }
    if (!w->destination_known)
        w->destination_known = platform::folder_id(destino.c_str(), w->destination_id);

    FolderWalk r(w, w->depth, origen);
    if (r.TooDeep()) {
        error = ReadError(origen);
        return false;
    }
    FoldedNames names;
    bool more;
    while ((more = r.it.Siguiente()) && ok && !Cancelled(w)) {
        const char* nombre = r.it.ruta.Nombre();
        if (nombre[0] == '.') continue;
        TStringNomFitx destino_entrada;
        destino_entrada.Une(destino.c_str(), nombre);
        const bool repeated = !names.Add(nombre);
        // The first name's copy may still wait for its name: the destination is looked at
        // once it has it.
        if (repeated && w->committer) w->committer->WaitNamed();
        if (r.it.es_carpeta) {
            if (IsDestination(w, r.it.ruta)) continue;
            if (repeated && ExisteCarpeta(destino_entrada, false) &&
                !ListedExactly(destino, nombre)) {
                // The two names share one folder there: its files would mix.
                ok = false;
                error = DString("Error creating folder:") + Shown(destino_entrada + "\\");
            } else {
                ok = CopiaCarpeta(w, r.it.ruta, destino_entrada, error);
            }
        } else if (repeated && ExisteFichero(destino_entrada) && !ListedExactly(destino, nombre)) {
            // The two names share one file there: a collision, not a file to keep.
            ok = false;
            error = CopyError(r.it.ruta, destino_entrada);
        } else {
            ok = CopiaFichero(w, r.it.ruta, destino_entrada, error, made, r.it.Listed());
        }
    }
    // A folder that could not be read to its end makes the copy incomplete: it fails.
    if (!more && ok && ReadFailed(w, r.it, origen)) {
        error = ReadError(origen);
        return false;
    }
    return ok;
}

bool CopiaFichero(CopyState* w, const DString& origen, const DString& destino, DString& error,
                  bool in_new_folder, const platform::ListedEntry* listed) {
    SetStep(w, DString("Copying file: ") + Shown(origen));
    bool ok = true;
    FileProgress progress{w, TamanoFichero(origen, listed)};
    // In a folder made by this job a name can be taken only by another run working alongside,
    // and the copy's naming, which never replaces, finds that out: the file then counts as
    // one that was there already, as if it had been found here.
    if (in_new_folder || !ExisteFichero(destino)) {
        const platform::CopyProgress pieces{FileProgress::Piece, &progress,
                                            static_cast<uint64_t>(progress.size)};
        const bool handed = w->committer ? w->committer->Submit(origen, destino, &pieces, listed)
                                         : DuplicaFichero(origen, destino, true, &pieces);
        if (!handed) {
            // A copy stopped by Cancel left nothing behind and is no failure; nor is one
            // whose name another run has taken meanwhile: that file counts as there already.
            if (!progress.stopped && !ExisteFichero(destino)) {
                ok = false;
                error = CopyError(origen, destino);
            }
        } else if (DString fallo_origen, fallo_destino;
                   w->committer && w->committer->Failed(fallo_origen, fallo_destino)) {
            // An earlier copy could not be named: that failure ends the job.
            ok = false;
            error = CopyError(fallo_origen, fallo_destino);
        }
    }
    w->Monitor.Avanza(progress.size - progress.shown);
    return ok;
}
