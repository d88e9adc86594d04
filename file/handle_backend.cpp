#include "file/fichero.h"

using platform::FileDisposition;
using platform::SeekFrom;

TFicheroOrv_win64::~TFicheroOrv_win64() {
    close(nullptr);
}

bool TFicheroOrv_win64::open(const TStringNomFitx& path, uint32_t mode, DString* error,
                             const platform::ListedEntry*) {
    unsigned access;
    FileDisposition disposition;
    switch (mode & (FITX_READ | FITX_WRITE | FITX_APPEND)) {
    case FITX_READ:
        access = platform::kAccessRead;
        disposition = FileDisposition::open_existing;
        break;
    case FITX_WRITE:
        access = platform::kAccessWrite;
        disposition = FileDisposition::create_always;
        break;
    case FITX_APPEND:
        access = platform::kAccessRead | platform::kAccessWrite;
        disposition = FileDisposition::open_always;
        break;
    default:
        return false;
    }
    if (mode & FITX_UPDATE) access = platform::kAccessRead | platform::kAccessWrite;
    // Others may read a file that is only read here; any other use is exclusive.
    bool share_read = access == platform::kAccessRead;
    handle = platform::file_open(path.c_str(), access, disposition, share_read);
    if (!handle) {
        if (error) {
            error->assign("Error Opening File. ");
            error->append(path.Nombre());
        }
        return false;
    }
    append_ = (mode & FITX_APPEND) != 0;
    openSize = size();
    return true;
}

bool TFicheroOrv_win64::close(DString* /*error*/) {
    if (handle) {
        platform::file_close(handle);
        handle = nullptr;
    }
    return true;
}

bool TFicheroOrv_win64::read(void* buf, uint32_t n) {
    if (!handle) return false;
    uint32_t done = 0;
    return platform::file_read(handle, buf, n, &done) && done == n;
}

bool TFicheroOrv_win64::write(const void* buf, uint32_t n) {
    if (!handle) return false;
    // Appending writes always land at the current end, never inside the old content.
    if (append_) platform::file_seek(handle, 0, SeekFrom::end);
    uint32_t done = 0;
    return platform::file_write(handle, buf, n, &done) && done == n;
}

void TFicheroOrv_win64::set_pos(int64_t pos) {
    if (handle) platform::file_seek(handle, pos, SeekFrom::begin);
}

bool TFicheroOrv_win64::eof() {
    return openSize <= tell();
}

int64_t TFicheroOrv_win64::tell() {
    if (!handle) return 0;
    return platform::file_seek(handle, 0, SeekFrom::current);
}

int64_t TFicheroOrv_win64::size() {
    if (!handle) return -1;
    int64_t pos = tell();
    int64_t end = platform::file_seek(handle, 0, SeekFrom::end);
    set_pos(pos);
    return end;
}

void TFicheroOrv_win64::truncate() {
    if (handle) platform::file_set_end(handle);
}
