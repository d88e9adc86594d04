#include "app/copia.h"

#include "file/fichero.h"
#include "fs/fs.h"
#include "fs/iterator.h"
#include "platform/shown_path.h"

namespace {

bool Cancelado(const CopyState* w) {
    return w->Monitor.cancelado.load(std::memory_order_relaxed);
}

void PonPaso(CopyState* w, const DString& paso) {
    TCriticalSectionOrvEntra guard(MonitorLock());
    w->Monitor.paso = paso;
}

void PonDetalle(CopyState* w, const DString& detalle) {
    TCriticalSectionOrvEntra guard(MonitorLock());
    w->Monitor.detalle = detalle;
}

// The destination folder met while walking the source: it is not walked into.
bool EsDestino(const CopyState* w, const DString& carpeta) {
    if (!w->destino_conocido) return false;
    platform::FolderId id;
    return platform::folder_id(carpeta.c_str(), id) && id == w->destino_id;
}

// A path as the person reading the window or a message expects it on this system.
DString Shown(const DString& ruta) {
    return DString(platform::shown_path(ruta.c_str()).c_str());
}

DString ErrorCopia(const DString& origen, const DString& destino) {
    return DString("Error copying file: ") + Shown(origen) + " to " + Shown(destino);
}

// Deeper than this, a tree is taken for a hostile one: the walk would exhaust the stack.
constexpr int kMaxDepth = 1000;

// A walk of one folder, from the folder the job began at.
struct FolderWalk {
    CopyState* w;
    TIteradorFitx it;
    FolderWalk(CopyState* state, const DString& carpeta) : w(state), it(carpeta + "\\*.*") {
        it.walk_top = w->DirOrigen;
        ++w->depth;
    }
    ~FolderWalk() { --w->depth; }
    FolderWalk(const FolderWalk&) = delete;
    FolderWalk& operator=(const FolderWalk&) = delete;
    bool TooDeep() const { return w->depth > kMaxDepth; }
};

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

} // namespace

bool TareaCopia(void* arg, DString*, TMonitorProc*) {
    auto* w = static_cast<CopyState*>(arg);
    const bool ok = CopiaFicheros(w);
    if (w->on_finished) w->on_finished();
    return ok;
}

bool CopiaFicheros(CopyState* w) {
    // A destination that exists already is known before the scan; one made by the copy is
    // learnt when it is made.
    w->destino_conocido = platform::folder_id(w->DirDestino.c_str(), w->destino_id);

    {
        TIteradorFitx origen(w->DirOrigen + "\\*.*");
        origen.incluir_ocultos = true;
        w->source_missing = !origen.Siguiente() && origen.ended == platform::ListingEnd::missing;
    }

    PonPaso(w, "Preparing to copy files...");
    const int64_t total = TamanoCarpeta(w, w->DirOrigen);
    {
        TCriticalSectionOrvEntra guard(MonitorLock());
        w->Monitor.paso.clear();
        w->Monitor.detalle.clear();
    }
    bool ok = true;
    // A Cancel during the scan ends the job here: nothing is copied.
    if (!Cancelado(w)) {
        w->Monitor.PonTotal(total);
        // The copies are named in groups, each group after one sync of the destination;
        // the last group, also after a failure or a Cancel, before the job ends.
        TLoteCopias lote;
        struct EnUso {
            CopyState* w;
            ~EnUso() { w->lote = nullptr; }
        } en_uso{w};
        w->lote = &lote;
        ok = CopiaCarpeta(w, w->DirOrigen, w->DirDestino, w->TextoError);
        DString origen, destino;
        if (!lote.Confirma(origen, destino) && ok) {
            ok = false;
            w->TextoError = ErrorCopia(origen, destino);
        }
    }
    w->Terminado.store(true, std::memory_order_release);
    return ok;
}

// The scan counts whatever it can read; what it cannot, the copy meets and reports.
int64_t TamanoCarpeta(CopyState* w, const DString& carpeta) {
    PonDetalle(w, Shown(carpeta));
    int64_t suma = 0;
    FolderWalk r(w, carpeta);
    if (r.TooDeep()) return 0;
    while (r.it.Siguiente()) {
        if (r.it.ruta.Nombre()[0] != '.') {
            if (r.it.es_carpeta) {
                if (!EsDestino(w, r.it.ruta)) suma += TamanoCarpeta(w, r.it.ruta);
            } else {
                suma += TamanoFichero(r.it.ruta);
            }
        }
        if (Cancelado(w)) return 0;
    }
    return suma;
}

bool CopiaCarpeta(CopyState* w, const DString& origen, DString& destino, DString& error) {
    bool ok = true;
    if (destino.is_empty() || destino.char_at(destino.length() - 1) != '\\') destino.append('\\');
    if (!ExisteCarpeta(destino, true)) {
        if (!CreaCarpeta(destino)) {
            error = DString("Error creating folder:") + Shown(destino);
            return false;
        }
    }
    if (!w->destino_conocido)
        w->destino_conocido = platform::folder_id(destino.c_str(), w->destino_id);

    FolderWalk r(w, origen);
    if (r.TooDeep()) {
        error = ReadError(origen);
        return false;
    }
    bool more;
    while ((more = r.it.Siguiente()) && ok && !Cancelado(w)) {
        const char* nombre = r.it.ruta.Nombre();
        if (nombre[0] == '.') continue;
        TStringNomFitx destino_entrada;
        destino_entrada.Une(destino.c_str(), nombre);
        if (r.it.es_carpeta) {
            if (EsDestino(w, r.it.ruta)) continue;
            ok = CopiaCarpeta(w, r.it.ruta, destino_entrada, error);
        } else {
            ok = CopiaFichero(w, r.it.ruta, destino_entrada, error);
        }
    }
    // A folder that could not be read to its end makes the copy incomplete: it fails.
    if (!more && ok && ReadFailed(w, r.it, origen)) {
        error = ReadError(origen);
        return false;
    }
    return ok;
}

bool CopiaFichero(CopyState* w, const DString& origen, const DString& destino, DString& error) {
    PonPaso(w, DString("Copying file: ") + Shown(origen));
    bool ok = true;
    if (!ExisteFichero(destino)) {
        if (!DuplicaFichero(origen, destino, true)) {
            ok = false;
            error = ErrorCopia(origen, destino);
        } else if (w->lote && w->lote->Lleno()) {
            // The copy that could not be named may be an earlier one of the group.
            DString fallo_origen, fallo_destino;
            if (!w->lote->Confirma(fallo_origen, fallo_destino)) {
                ok = false;
                error = ErrorCopia(fallo_origen, fallo_destino);
            }
        }
    }
    const int64_t size = TamanoFichero(origen);
    w->Monitor.Avanza(size);
    return ok;
}
