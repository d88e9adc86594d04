#include "fs/fs.h"

#include "fs/path.h"
#include "fs/staged_copy.h"
#include "fs/temp_names.h"
#include "platform/fs.h"

namespace {
platform::FsOps& ops() {
    return platform::fs_ops();
}

// Drive C and paths that begin with a backslash are always asked about; for another drive
// letter the drive must be present first, so that an empty drive is not touched. A first
// character that is no letter names no drive, and the system decides.
bool drive_present(const TStringNomFitx& path) {
    if (!path.EsAbsoluta()) return true;
    char c = path.char_at(0);
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c == 'C' || c == '\\' || c < 'A' || c > 'Z') return true;
    return (ops().drive_mask() >> (c - 'A')) & 1u;
}

uint32_t attributes_of(const DString& path) {
    return ops().attributes(path.c_str(), 0);
}
} // namespace

bool ExisteFichero(const DString& path) {
    if (!drive_present(TStringNomFitx(path))) return false;
    uint32_t a = ops().attributes(path.c_str(), path.get_codepage());
    return a != platform::kAttrInvalid && !(a & platform::kAttrDirectory);
}

bool ExisteCarpeta(const DString& path, bool carpeta_de) {
    uint32_t a = attributes_of(carpeta_de ? TStringNomFitx(path).Carpeta() : path);
    return a != platform::kAttrInvalid && (a & platform::kAttrDirectory);
}

// When the attributes cannot be read every bit is set, so both tests answer true.
bool EsSoloLectura(const DString& path) {
    return attributes_of(path) & platform::kAttrReadOnly;
}

bool EsOculto(const DString& path) {
    return attributes_of(path) & platform::kAttrHidden;
}

bool BorraFichero(const DString& path) {
    return ops().remove(path.c_str());
}

bool DuplicaFichero(const DString& src, const DString& dst, bool fail_if_exists,
                    const platform::CopyProgress* progress) {
    CopyControl control;
    control.progress = progress;
    return CopyNow(src, dst, !fail_if_exists, control);
}

bool MueveFichero(const DString& src, const DString& dst) {
    if (ops().move(src.c_str(), dst.c_str())) return true;
    if (!platform::cross_volume(ops().last_error())) return false;
    // Another volume: a complete copy first, then the original goes.
    if (!CopyNow(src, dst, false, CopyControl())) return false;
    ops().remove(src.c_str());
    return true;
}

void RemoveStaleTemporaries(const DString& folder) {
    DString base = folder;
    if (base.is_empty() || base.char_at(base.length() - 1) != '\\') base.append('\\');
    platform::FindRecord rec;
    platform::ListingEnd end;
    platform::FindHandle search = ops().find_first((base + kTempFilePattern).c_str(), &rec, &end);
    if (!search) return;
    do {
        if (StaleTemporary(rec)) ops().discard((base + rec.name).c_str());
    } while (ops().find_next(search, &rec, &end));
    ops().find_close(search);
}

bool CreaCarpeta(const DString& path) {
    return ops().make_folder(path.c_str());
}

unsigned long LastSystemError() {
    return ops().last_error();
}
