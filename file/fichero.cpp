#include "file/fichero.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "fs/fs.h"
#include "tasks/monitor.h"

namespace {
constexpr int32_t kWindowBytes = 65536;
constexpr int32_t kDefaultChunk = 32000;
} // namespace

TFicheroOrv::TFicheroOrv() : separators(" \t\n") {}

TFicheroOrv::~TFicheroOrv() {
    close(true, nullptr);
}

bool TFicheroOrv::Abre(const TStringNomFitx& path, uint32_t open_mode, DString* error,
                       const platform::ListedEntry* listed) {
    if (ptrFitx) {
        if (error) error->append(" file already oppened.");
        return false;
    }
    fileName = path;
    mode = open_mode;
    lastChar = 0;
    // A reused object starts its text state afresh: mark detection runs only while the code
    // page is unknown, and characters pushed back belong to the previous file.
    codePage = -1;
    pushBackCount = 0;
    pushBack.clear();
    atEnd_ = false;
    TStringNomFitx open_path = path;

    if (mode & (FITX_WIN32 | FITX_CACHED))
        ptrFitx.reset(new (std::nothrow) TFicheroOrv_win64());
    else
        ptrFitx.reset(new (std::nothrow) TFicheroOrv_stdio());
    if (!ptrFitx) {
        if (error) error->append(" ptrFitx not created");
        return false;
    }

    if ((mode & FITX_WRITE) && !(mode & FITX_TEMP)) {
        // The copies hold the previous content: they are made before the file is emptied.
        if (mode & FITX_BACKUP_EXT) {
            TStringNomFitx bak = path;
            bak.CambiaExtension("BAK");
            DuplicaFichero(path, bak, false);
        }
        if (mode & FITX_BACKUP_ADD) DuplicaFichero(path, path + ".BAK", false);
    }

    if (mode & FITX_TEMP) {
        if (ExisteFichero(path) && EsSoloLectura(path)) {
            // The unopened back-end stays attached until close.
            if (error) error->append(" Error, file is ReadOnly.");
            return false;
        }
        tempPending = true;
        open_path.append(".$$$");
    }

    bool opened;
    try {
        opened = ptrFitx->open(open_path, mode, error, tempPending ? nullptr : listed);
    } catch (...) {
        // The back-end stays attached, unopened, until close; nothing is pending.
        tempPending = false;
        throw;
    }
    if (!opened) {
        ptrFitx.reset();
        tempPending = false;
        return false;
    }

    if ((mode & FITX_READ) && (mode & FITX_CACHED) && !(mode & FITX_UPDATE)) start_window();

    bool as_read, as_written;
    if ((mode & FITX_TEXT) && (mode & FITX_UPDATE)) {
        as_written = size64() == 0;
        as_read = !as_written;
    } else {
        as_read = (mode & FITX_READ) != 0;
        as_written = (mode & FITX_WRITE) != 0;
    }
    if (mode & FITX_TEXT) {
        if (as_read) {
            if (!detect_bom()) codePage = 1;
        } else if (as_written && !(mode & FITX_NO_BOM)) {
            write_bom(kDefaultCodePage);
        }
    }
    if (as_read && (mode & FITX_VERSION)) read_int(version);

    lineCount = 0;
    return true;
}

bool TFicheroOrv::close(bool commit, DString* error) {
    cache.reset();
    bool result = true;
    if (ptrFitx) {
        result = ptrFitx->close(error);
        ptrFitx.reset();
    }
    if (!tempPending) return result;
    tempPending = false;
    DString temp = fileName + ".$$$";
    if (!ExisteFichero(temp)) {
        if (error) error->assign("Error TFicheroOrv close 1");
        return false;
    }
    if (!commit) {
        BorraFichero(temp);
        return true;
    }
    // Order: backup copy, delete of the old file, move of the new one. When the move fails
    // the new content is still under ".$$$" and the old one in ".BAK".
    int ex = 0;
    if (ExisteFichero(fileName)) {
        ex = 1;
        DuplicaFichero(fileName, fileName + ".BAK", false);
        BorraFichero(fileName);
        if (ExisteFichero(fileName)) ex = 2;
    }
    if (!MueveFichero(temp, fileName)) {
        unsigned long code = LastSystemError();
        if (error) {
            error->assign("Error TFicheroOrv close 2.");
            error->append(" err=");
            error->append(std::to_string(code).c_str());
            error->append(" ex=");
            error->append_int(ex);
        }
        return false;
    }
    return result;
}

int64_t TFicheroOrv::size64() {
    return ptrFitx ? ptrFitx->size() : 0;
}

void TFicheroOrv::seek64(int64_t pos) {
    if (!ptrFitx) return;
    if (cache) {
        if (windowStart <= pos && pos <= windowEnd)
            cachePos = pos;
        else
            fill_window(pos);
    } else {
        ptrFitx->set_pos(pos);
    }
}

bool TFicheroOrv::is_open() const {
    return ptrFitx && ptrFitx->is_open();
}

char TFicheroOrv::read_byte() {
    char c = 0;
    return read(&c, 1) ? c : 0;
}

void TFicheroOrv::seek(int32_t pos) {
    seek64(pos);
}

int32_t TFicheroOrv::tell() {
    return static_cast<int32_t>(static_cast<uint32_t>(tell64()));
}

int64_t TFicheroOrv::tell64() {
    int64_t pos = 0;
    if (cache)
        pos = cachePos;
    else if (ptrFitx)
        pos = ptrFitx->tell();
    return pos - pushBackCount;
}

uint32_t TFicheroOrv::size() {
    return static_cast<uint32_t>(size64());
}

bool TFicheroOrv::eof() {
    if (cache) return cacheError != 0 || cachePos >= cacheFileSize;
    return !ptrFitx || ptrFitx->eof();
}

bool TFicheroOrv::write(const void* buf, int32_t n, TMonitorProc* monitor, int32_t chunk) {
    if (!ptrFitx || n < 0) return false;
    if (monitor) return pieces(const_cast<void*>(buf), n, monitor, chunk, true);
    return ptrFitx->write(buf, static_cast<uint32_t>(n));
}

bool TFicheroOrv::read(void* buf, int32_t n, TMonitorProc* monitor, int32_t chunk) {
    if (!ptrFitx || n < 0) return false;
    if (cache && buf != cache.get()) return window_read(buf, n);
    if (monitor) return pieces(buf, n, monitor, chunk, false);
    return ptrFitx->read(buf, static_cast<uint32_t>(n));
}

// A monitored transfer: pieces of at most chunk bytes, the count of bytes done after each,
// and a stop after the piece during which the monitor was cancelled.
bool TFicheroOrv::pieces(void* buf, int32_t n, TMonitorProc* monitor, int32_t chunk, bool writing) {
    if (chunk < 1) chunk = kDefaultChunk;
    monitor->hecho = 0;
    monitor->total = n;
    auto* bytes = static_cast<uint8_t*>(buf);
    int32_t done = 0;
    while (done < n) {
        int32_t piece = std::min(chunk, n - done);
        bool ok = writing ? ptrFitx->write(bytes + done, static_cast<uint32_t>(piece))
                          : ptrFitx->read(bytes + done, static_cast<uint32_t>(piece));
        if (!ok) return false;
        done += piece;
        monitor->hecho = done;
        if (monitor->cancelado) return false;
    }
    return true;
}

void TFicheroOrv::start_window() {
    int64_t p = tell64();
    cacheFileSize = size64();
    cacheError = 0;
    cacheSize = static_cast<int32_t>(std::clamp<int64_t>(cacheFileSize, 0, kWindowBytes));
    cache = std::make_unique<uint8_t[]>(static_cast<size_t>(cacheSize));
    windowStart = windowEnd = 0;
    cachePos = p;
    fill_window(p);
}

bool TFicheroOrv::fill_window(int64_t p) {
    if (p < 0) return false; // no such position: the window stays as it was
    windowStart = p;
    windowEnd = std::min(p + cacheSize, cacheFileSize);
    if (windowEnd - windowStart < 1) {
        // At or past the end: the window holds the file's last bytes.
        windowStart = std::max<int64_t>(0, windowEnd - cacheSize);
        if (windowEnd - windowStart < 1) return false;
    }
    ptrFitx->set_pos(windowStart);
    if (!ptrFitx->read(cache.get(), static_cast<uint32_t>(windowEnd - windowStart))) {
        // Nothing in the buffer can be trusted any more.
        cacheError = 1;
        windowEnd = windowStart;
        return false;
    }
    cachePos = p;
    return true;
}

// Only the filled part of the buffer is ever copied: a read that reaches past the end of
// the file delivers the bytes there are, moves past them and answers false.
bool TFicheroOrv::window_read(void* buf, int32_t n) {
    if (n > cacheSize) {
        ptrFitx->set_pos(cachePos);
        cachePos += n;
        return ptrFitx->read(buf, static_cast<uint32_t>(n));
    }
    if (cacheFileSize < 0) return false;
    if (cachePos + n > windowEnd && !fill_window(cachePos)) return false;
    int64_t avail = std::clamp<int64_t>(windowEnd - cachePos, 0, n);
    if (cachePos < windowStart) avail = 0;
    if (avail > 0) std::memcpy(buf, cache.get() + (cachePos - windowStart), avail);
    cachePos += avail;
    return avail == n;
}

int64_t TamanoFichero(const DString& path, const platform::ListedEntry* listed) {
    TFicheroOrv file;
    if (!file.Abre(path, FITX_READ | FITX_BINARY, nullptr, listed)) return 0;
    int64_t size = file.size64();
    file.close();
    return size < 0 ? 0 : size;
}
