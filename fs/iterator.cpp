#include "fs/iterator.h"

#include "fs/fs.h"

TIteradorFitx::TIteradorFitx(const DString& pattern) : patron(pattern), base(pattern) {}

TIteradorFitx::~TIteradorFitx() {
    if (busqueda) platform::fs_ops().find_close(busqueda);
}

bool TIteradorFitx::Siguiente() {
    for (;;) {
        if (!Paso()) return false;
        // An entry whose attributes cannot be read counts as hidden.
        if (incluir_ocultos || !EsOculto(ruta)) return true;
    }
}

bool TIteradorFitx::Paso() {
    platform::FsOps& ops = platform::fs_ops();
    if (!busqueda) {
        busqueda = ops.find_first(patron.c_str(), &datos);
        if (!busqueda) return false;
    } else if (!ops.find_next(busqueda, &datos)) {
        ops.find_close(busqueda);
        busqueda = nullptr;
        return false;
    }
    LeeEntrada();
    return true;
}

void TIteradorFitx::LeeEntrada() {
    ruta.Une("", datos.name[0] ? datos.name : "utf16 error!");
    ruta.HazAbsoluta(base);
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
