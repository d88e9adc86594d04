#include "fs/iterator.h"

#include "fs/commit.h"
#include "fs/link_rule.h"

TIteradorFitx::TIteradorFitx(const DString& pattern) : patron(pattern), base(pattern) {}

TIteradorFitx::~TIteradorFitx() {
    CloseSearch();
}

// The hidden test is the listing's own: the attributes it has just read for the entry.
bool TIteradorFitx::Siguiente() {
    for (;;) {
        if (!Paso()) return false;
        if (incluir_ocultos || !(datos.attributes & platform::kAttrHidden)) return true;
    }
}

bool TIteradorFitx::Paso() {
    platform::FsOps& ops = platform::fs_ops();
    bool more;
    if (!busqueda) {
        const std::string folder = base.Carpeta().str();
        links_ = std::make_unique<LinkRule>(walk_top.str(), folder);
        if (!links_->TopAllowed()) {
            ended = platform::ListingEnd::missing; // left out like a link that leads nowhere
            return false;
        }
        busqueda = ops.find_first(patron.c_str(), &datos, &ended);
        if (!busqueda && descriptors && ended == platform::ListingEnd::failed &&
            platform::out_of_descriptors(ops.last_error())) {
            descriptors->ReleaseDescriptors();
            busqueda = ops.find_first(patron.c_str(), &datos, &ended);
        }
        more = busqueda != nullptr;
    } else {
        more = ops.find_next(busqueda, &datos, &ended);
    }
    while (more && !links_->Takes(datos))
        more = ops.find_next(busqueda, &datos, &ended);
    if (!more) {
        CloseSearch();
        return false;
    }
    LeeEntrada();
    return true;
}

const platform::ListedEntry* TIteradorFitx::Listed() const {
    return busqueda ? platform::fs_ops().listed(busqueda) : nullptr;
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
