#include "file/fichero.h"
#include "fs/fs.h"

using platform::SeekFrom;

TFicheroOrv_stdio::~TFicheroOrv_stdio() {
    close(nullptr);
}

bool TFicheroOrv_stdio::open(const TStringNomFitx& path, uint32_t mode, DString* error,
                             const platform::ListedEntry* listed) {
    const char* text;
    bool update = (mode & FITX_UPDATE) != 0;
    switch (mode & (FITX_READ | FITX_WRITE | FITX_APPEND)) {
    case FITX_READ:
        text = update ? "r+b" : "rb";
        break;
    case FITX_WRITE:
        text = update ? "w+b" : "wb";
        break;
    case FITX_APPEND:
        text = update ? "a+b" : "ab";
        break;
    default:
        throw "Error en TFicheroOrv::Abre";
    }
    const bool reading = (mode & FITX_READ) && !(mode & FITX_WRITE);
    // An entry just listed is there: the open itself tells of one gone since.
    if (reading && !listed && !ExisteFichero(path)) {
        if (error) error->assign("Error File Does not exist");
        return false;
    }
    size_at_open_ = -1;
    stream = platform::stream_open(path.c_str(), text, listed,
                                   reading && !update ? &size_at_open_ : nullptr);
    if (!stream) {
        if (error) error->assign("Error Opening File.");
        return false;
    }
    return true;
}

bool TFicheroOrv_stdio::close(DString* /*error*/) {
    if (stream) {
        std::fclose(stream);
        stream = nullptr;
    }
    return true;
}

bool TFicheroOrv_stdio::read(void* buf, uint32_t n) {
    if (!stream) return false;
    return std::fread(buf, 1, n, stream) == n;
}

bool TFicheroOrv_stdio::write(const void* buf, uint32_t n) {
    if (!stream) return false;
    return std::fwrite(buf, 1, n, stream) == n;
}

void TFicheroOrv_stdio::set_pos(int64_t pos) {
    if (stream) platform::stream_seek(stream, pos, SeekFrom::begin);
}

bool TFicheroOrv_stdio::eof() {
    return !stream || std::feof(stream) != 0;
}

int64_t TFicheroOrv_stdio::tell() {
    if (!stream) return 0;
    return platform::stream_tell(stream);
}

int64_t TFicheroOrv_stdio::size() {
    if (!stream) return -1;
    if (size_at_open_ >= 0) return size_at_open_;
    return platform::stream_size(stream);
}

void TFicheroOrv_stdio::flush() {
    if (stream) std::fflush(stream);
}
