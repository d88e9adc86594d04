#include "fs/iterator.h"

#include "fs/commit.h"

TIteradorFitx::TIteradorFitx(const DString& pattern) : patron(pattern), base(pattern) {}

TIteradorFitx::~TIteradorFitx() {
    CloseSearch();
}

bool TIteradorFitx::Siguiente() {
    platform::FsOps& ops = platform::fs_ops();
    for (;;) {
        if (!Paso()) return false;
        if (incluir_ocultos) return true;
        const uint32_t a = ops.attributes(ruta.c_str(), 0);
        if (a == platform::kAttrInvalid) {
            // An entry that is gone, or a link that leads nowhere, counts as hidden; any
            // other reason why its attributes cannot be read means the folder is unreadable.
            if (platform::names_nothing(ops.last_error())) continue;
            ended = platform::ListingEnd::failed;
            CloseSearch();
            return false;
        }
        if (!(a & platform::kAttrHidden)) return true;
    }
}

bool TIteradorFitx::Paso() {
    platform::FsOps& ops = platform::fs_ops();
    if (!busqueda) {
        busqueda = ops.find_first(patron.c_str(), walk_top.c_str(), &datos, &ended);
        // Copies still waiting to be named hold descriptors: once they are, try again.
        CopyCommitter* committer = CopyCommitter::OnThisThread();
        if (!busqueda && committer && ended == platform::ListingEnd::failed &&
            platform::out_of_descriptors(ops.last_error())) {
            committer->ReleaseDescriptors();
            busqueda = ops.find_first(patron.c_str(), walk_top.c_str(), &datos, &ended);
        }
        if (!busqueda) return false;
    } else if (!ops.find_next(busqueda, &datos, &ended)) {
        CloseSearch();
        return false;
    }
    LeeEntrada();
    return true;
}

void TIteradorFitx::CloseSearch() {
    if (busqueda) platform::fs_ops().find_close(busqueda);
    busqueda = nullptr;
}

// Every listed name is joined to the pattern's folder as it is: a name is never a path, not
// even one that holds a colon.
void TIteradorFitx::LeeEntrada() {
    DString entrada = base.Carpeta();
    entrada.append('\\');
    entrada.append(datos.name[0] ? datos.name : "utf16 error!");
    ruta = entrada;
    if (leer_hora) LeeHora(ruta, hora);
    es_carpeta = (datos.attributes & platform::kAttrDirectory) != 0;
    tamano = es_carpeta ? 0 : static_cast<uint32_t>(datos.size);
}

bool TIteradorFitx::LeeHora(const DString& path, TTemps& t) {
    platform::SystemTime st{};
    if (!platform::fs_ops().write_time(path.c_str(), &st)) return false;
    t.day = st.day;
    t.month = st.month;
    t.year = st.year;
    t.hour = st.hour;
    t.minute = st.minute;
    t.second = st.second;
    return true;
}
