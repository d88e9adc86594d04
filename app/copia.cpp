#include "app/copia.h"

#include "file/fichero.h"
#include "fs/fs.h"
#include "fs/iterator.h"

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

DString ErrorCopia(const DString& origen, const DString& destino) {
    return DString("Error copying file: ") + origen + " to " + destino;
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

int64_t TamanoCarpeta(CopyState* w, const DString& carpeta) {
    const DString patron = carpeta + "\\*.*";
    PonDetalle(w, carpeta);
    int64_t suma = 0;
    TIteradorFitx it(patron);
    while (it.Siguiente()) {
        if (it.ruta.Nombre()[0] != '.') {
            if (it.es_carpeta) {
                if (!EsDestino(w, it.ruta)) suma += TamanoCarpeta(w, it.ruta);
            } else {
                suma += TamanoFichero(it.ruta);
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
            error = DString("Error creating folder:") + destino;
            return false;
        }
    }
    if (!w->destino_conocido)
        w->destino_conocido = platform::folder_id(destino.c_str(), w->destino_id);

    TIteradorFitx it(origen + "\\*.*");
    while (it.Siguiente() && ok && !Cancelado(w)) {
        const char* nombre = it.ruta.Nombre();
        if (nombre[0] == '.') continue;
        TStringNomFitx destino_entrada;
        destino_entrada.Une(destino.c_str(), nombre);
        if (it.es_carpeta) {
            if (EsDestino(w, it.ruta)) continue;
            ok = CopiaCarpeta(w, it.ruta, destino_entrada, error);
        } else {
            ok = CopiaFichero(w, it.ruta, destino_entrada, error);
        }
    }
    return ok;
}

bool CopiaFichero(CopyState* w, const DString& origen, const DString& destino, DString& error) {
    PonPaso(w, DString("Copying file: ") + origen);
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
