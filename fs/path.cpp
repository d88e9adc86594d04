#include "fs/path.h"

#include <cstring>

#include "core/vector.h"

const char* TStringNomFitx::Nombre() const {
    const char* text = c_str();
    const char* back = std::strrchr(text, '\\');
    const char* slash = std::strrchr(text, '/');
    const char* sep = back > slash ? back : slash;
    return sep ? sep + 1 : text;
}

DString TStringNomFitx::Carpeta() const {
    int cut = find_last_char('\\');
    if (cut < 0) return DString();
    DString folder(*this);
    folder.pos_ptr(cut)[0] = 0;
    return folder;
}

void TStringNomFitx::CambiaExtension(const char* ext) {
    int point = find_last_char('.');
    if (point >= 0 && find_char_from('\\', point) < 0) pos_ptr(point)[0] = 0;
    if (*ext && *ext != '.') append('.');
    append(ext);
}

void TStringNomFitx::Une(const char* carpeta, const char* nombre) {
    // Either text may point into this path, so both are copied before the path changes.
    DString folder(carpeta);
    DString name(nombre);
    assign(folder);
    if (!is_empty() && last_char() != '\\') append('\\');
    append(name);
}

bool TStringNomFitx::EsAbsoluta() const {
    if (length() < 2) return false;
    return char_at(1) == ':' || char_at(0) == '\\' || find_char(':') >= 0;
}

void TStringNomFitx::HazAbsoluta(const TStringNomFitx& base) {
    if (EsAbsoluta()) return;
    DString rel = Carpeta();
    DString name(Nombre());
    DString result = base.Carpeta();
    result.append('\\');
    result.append(name);
    assign(result);
    if (!rel.is_empty()) AplicaRelativa(rel.c_str());
}

void TStringNomFitx::AplicaRelativa(const char* rel) {
    DString steps(rel);
    steps.replace_char('/', '\\');
    Vector<DString> segments(10, 10);
    if (steps.find_char('\\') >= 0)
        steps.split("\\", segments, -1, false, get_codepage());
    else
        segments.Insert(&steps, -1);

    for (int32_t i = segments.First(); i < segments.First() + segments.Count(); ++i) {
        if (!segments.Exists(i)) continue;
        const DString& s = *segments.Get(i);
        DString name(Nombre());
        DString folder = Carpeta();
        if (s.equals("..")) {
            if (!folder.is_empty() && folder.last_char() == '\\')
                folder.pos_ptr(folder.length() - 1)[0] = 0;
            if (folder.cut_at_last('\\') < 0) continue; // never climbs above the first folder
            Une(folder.c_str(), name.c_str());
        } else if (!s.equals(".")) {
            folder.append('\\');
            folder.append(s);
            Une(folder.c_str(), name.c_str());
        }
    }
}
