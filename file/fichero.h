#pragma once
// TFicheroOrv: the library's file object. It opens one file at a time through a back-end
// (a system file handle or a C stream) and adds the library's conventions: writing under a
// temporary ".$$$" name committed at close, ".BAK" copies, a 64 KiB read-ahead window and a
// reader for text data files. Sizes and positions are 64-bit throughout.
#include <cstdint>
#include <memory>

#include "fs/path.h"
#include "platform/fileio.h"
#include "text/dstring.h"

class TMonitorProc;

// Open mode bits. Exactly one of FITX_READ, FITX_WRITE and FITX_APPEND is set.
inline constexpr uint32_t FITX_READ = 0x0001;       // the file must exist
inline constexpr uint32_t FITX_WRITE = 0x0002;      // created or emptied
inline constexpr uint32_t FITX_APPEND = 0x0004;     // created if missing, writes at the end
inline constexpr uint32_t FITX_TEXT = 0x0008;       // byte-order mark, text reader
inline constexpr uint32_t FITX_BINARY = 0x0010;     // read_int reads 4 raw bytes
inline constexpr uint32_t FITX_BACKUP_EXT = 0x0020; // copy to name.BAK before writing
inline constexpr uint32_t FITX_VERSION = 0x0040;    // read an integer version at open
inline constexpr uint32_t FITX_UPDATE = 0x0080;     // read and write access
inline constexpr uint32_t FITX_TEMP = 0x0100;       // write under name.$$$, commit at close
inline constexpr uint32_t FITX_BACKUP_ADD = 0x0200; // copy to name.ext.BAK before writing
inline constexpr uint32_t FITX_WIN32 = 0x0400;      // system handle back-end
inline constexpr uint32_t FITX_CACHED = 0x1000;     // handle back-end + read-ahead window
inline constexpr uint32_t FITX_NO_BOM = 0x4000;     // never write a byte-order mark

// The I/O back-end interface. Error texts are stored (replacing what the text held).
class TFicheroOrv_Base {
  public:
    TFicheroOrv_Base() = default;
    virtual ~TFicheroOrv_Base() = default;
    TFicheroOrv_Base(const TFicheroOrv_Base&) = delete;
    TFicheroOrv_Base& operator=(const TFicheroOrv_Base&) = delete;

    // listed: the entry a listing has just returned at path, or null (see platform/fs.h).
    virtual bool open(const TStringNomFitx& path, uint32_t mode, DString* error,
                      const platform::ListedEntry* listed) = 0;
    virtual bool close(DString* error) = 0;
    virtual bool is_open() const = 0;
    // True exactly when n bytes were transferred; a short transfer stays done.
    virtual bool read(void* buf, uint32_t n) = 0;
    virtual bool write(const void* buf, uint32_t n) = 0;
    virtual void set_pos(int64_t pos) = 0;
    virtual bool eof() = 0;
    virtual int64_t tell() = 0;
    // The file's size; the position is unchanged afterwards.
    virtual int64_t size() = 0;
    virtual void flush() {}
    // Whether transfers complete in the background; no back-end does.
    virtual bool is_async() const { return false; }
    // Ends the file at the current position.
    virtual void truncate() {}
};

// Back-end on a system file handle. Unbuffered: every transfer is one system call.
class TFicheroOrv_win64 : public TFicheroOrv_Base {
  public:
    ~TFicheroOrv_win64() override;
    bool open(const TStringNomFitx& path, uint32_t mode, DString* error,
              const platform::ListedEntry* listed) override;
    bool close(DString* error) override;
    bool is_open() const override { return handle != nullptr; }
    bool read(void* buf, uint32_t n) override;
    bool write(const void* buf, uint32_t n) override;
    void set_pos(int64_t pos) override;
    bool eof() override;
    int64_t tell() override;
    int64_t size() override;
    void truncate() override;

    platform::FileHandle handle = nullptr;
    int64_t openSize = 0; // size right after open; writes do not update it

  private:
    bool append_ = false;
};

// Back-end on a C stream, relying on the runtime's buffering.
class TFicheroOrv_stdio : public TFicheroOrv_Base {
  public:
    ~TFicheroOrv_stdio() override;
    // Throws "Error en TFicheroOrv::Abre" when the mode is not exactly one of read, write
    // and append.
    bool open(const TStringNomFitx& path, uint32_t mode, DString* error,
              const platform::ListedEntry* listed) override;
    bool close(DString* error) override;
    bool is_open() const override { return stream != nullptr; }
    bool read(void* buf, uint32_t n) override;
    bool write(const void* buf, uint32_t n) override;
    void set_pos(int64_t pos) override;
    bool eof() override;
    int64_t tell() override;
    int64_t size() override;
    void flush() override;

    std::FILE* stream = nullptr;

  private:
    // The size the open found, for a stream opened only for reading: nothing written
    // through it can change it.
    int64_t size_at_open_ = -1;
};

class TFicheroOrv {
  public:
    TFicheroOrv();
    // Closes with commit: a pending ".$$$" file replaces the target.
    virtual ~TFicheroOrv();
    TFicheroOrv(const TFicheroOrv&) = delete;
    TFicheroOrv& operator=(const TFicheroOrv&) = delete;

    // Failure texts are appended to error (the back-ends store theirs). listed: the entry a
    // listing has just returned at path, when the caller has one (see platform/fs.h).
    bool Abre(const TStringNomFitx& path, uint32_t mode, DString* error = nullptr,
              const platform::ListedEntry* listed = nullptr);
    bool close(bool commit = true, DString* error = nullptr);
    int64_t size64();
    void seek64(int64_t pos);
    bool is_open() const;

    virtual char read_byte();
    virtual void seek(int32_t pos);
    virtual int32_t tell();
    virtual int64_t tell64();
    virtual uint32_t size();
    virtual bool eof();
    // With a monitor the transfer goes in pieces of chunk bytes (32000 when chunk < 1),
    // counting into the monitor and stopping with false once it is cancelled.
    virtual bool write(const void* buf, int32_t n, TMonitorProc* monitor = nullptr,
                       int32_t chunk = -1);
    virtual bool read(void* buf, int32_t n, TMonitorProc* monitor = nullptr, int32_t chunk = -1);

    // Text data reading.
    bool detect_bom();
    void write_bom(int32_t cp);
    char get_char();
    void unget_char(char c);
    void unget_text(const DString& text);
    // Reads one item (up to a line end or a ";" comment) and returns its line number.
    int32_t read_item(DString& out, int32_t maxLen = -1);
    // Reads the next field and returns the line number it stands on.
    int32_t get_dato_texto(DString& out);
    TFicheroOrv& read_int(int32_t& out);
    void to_internal_codepage(DString& item);

    int32_t version = 0;
    uint32_t mode = 0;
    int32_t codePage = -1;
    DString separators;
    DString pushBack;
    int32_t pushBackCount = 0;
    int32_t lineCount = 0;
    std::unique_ptr<TFicheroOrv_Base> ptrFitx;
    char lastChar = 0;
    bool tempPending = false;
    TStringNomFitx fileName;

    // Read-ahead window; on while cache is set.
    std::unique_ptr<uint8_t[]> cache;
    int64_t cacheFileSize = 0;
    int32_t cacheSize = 0;
    int64_t cachePos = 0;
    int64_t windowStart = 0;
    int64_t windowEnd = 0;
    int32_t cacheError = 0;

  private:
    void start_window();
    bool fill_window(int64_t p);
    bool window_read(void* buf, int32_t n);
    bool pieces(void* buf, int32_t n, TMonitorProc* monitor, int32_t chunk, bool writing);

    bool atEnd_ = false; // the last get_char found no byte
};

// The size of a file in bytes; 0 when it is missing, a folder or cannot be opened.
// Reads no byte of the file. listed: the entry a listing has just returned at path, when
// the caller has one: the file opens through that listing.
int64_t TamanoFichero(const DString& path, const platform::ListedEntry* listed = nullptr);
