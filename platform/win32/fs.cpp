// The file-system services over the Windows kernel calls. Paths reach the wide calls as
// UTF-16 through DUString; long absolute paths get the \\?\ prefix at the call.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/fs.h"
#include "platform/temp_name.h"
#include "platform/win32/wide_path.h"

namespace platform {
namespace {

// Keeps the thread's last error across clean-up calls that may change it.
class KeepError {
  public:
    KeepError() : saved_(GetLastError()) {}
    ~KeepError() { SetLastError(saved_); }
    KeepError(const KeepError&) = delete;
    KeepError& operator=(const KeepError&) = delete;

  private:
    DWORD saved_;
};

// The 8-bit calls read their text in the active code page, whose conversion is not exact for
// every name (a lone surrogate, say): they get only short plain ASCII paths, which read the
// same in every code page. Otherwise the wide call is made.
bool narrow_call_fits(const char* path) {
    size_t n = std::strlen(path);
    if (n >= kLongPath) return false;
    for (size_t i = 0; i < n; ++i)
        if (static_cast<unsigned char>(path[i]) >= 0x80) return false;
    return true;
}

uint32_t attributes(const char* path, int codepage) {
    return GetFileAttributesW(wide_path(path, codepage).c_str());
}

uint32_t drive_mask() {
    return GetLogicalDrives();
}

bool remove_file(const char* path) {
    return DeleteFileW(wide_path(path).c_str()) != 0;
}

bool move_file(const char* src, const char* dst) {
    return MoveFileW(wide_path(src).c_str(), wide_path(dst).c_str()) != 0;
}

bool make_folder(const char* path) {
    if (narrow_call_fits(path)) return CreateDirectoryA(path, nullptr) != 0;
    return CreateDirectoryW(wide_path(path).c_str(), nullptr) != 0;
}

unsigned long last_error() {
    return GetLastError();
}

// ---- listing ----

struct Identity {
    DWORD volume;
    DWORD high, low;
    bool operator==(const Identity&) const = default;
};

struct Search {
    HANDLE find = INVALID_HANDLE_VALUE;
    std::wstring folder; // the listed folder, as written
    std::wstring top;    // where the walk began
    bool have_ancestors = false;
    std::vector<Identity> ancestors; // the listed folder and every folder above it
    bool have_confine = false;
    std::wstring confine; // final form of the drive root; links must lead inside it
};

// An entry opened for its identity and final path, links followed; no access right is needed.
HANDLE open_entry(const std::wstring& path) {
    return CreateFileW(extended_path(path).c_str(), 0,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool identity_of(HANDLE h, Identity& id) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info)) return false;
    id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return true;
}

// The path with every link resolved, without the \\?\ prefix; empty when it cannot be told.
std::wstring final_path(HANDLE h) {
    DWORD n = GetFinalPathNameByHandleW(h, nullptr, 0, FILE_NAME_NORMALIZED);
    if (n == 0) return std::wstring();
    std::wstring out(n, L'\0');
    n = GetFinalPathNameByHandleW(h, out.data(), n, FILE_NAME_NORMALIZED);
    out.resize(n);
    if (out.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + out.substr(8);
    if (out.rfind(L"\\\\?\\", 0) == 0) return out.substr(4);
    return out;
}

// Records the folder at path and each folder above it.
void add_chain(std::vector<Identity>& out, std::wstring p) {
    for (int guard = 0; guard < 4096 && !p.empty(); ++guard) {
        HANDLE h = open_entry(p);
        if (h != INVALID_HANDLE_VALUE) {
            Identity id;
            if (identity_of(h, id)) out.push_back(id);
            CloseHandle(h);
        }
        // One level up, keeping the separator so that "C:\a" leads to the root "C:\".
        size_t end = p.find_last_not_of(L"\\/");
        size_t cut = end == std::wstring::npos ? end : p.find_last_of(L"\\/", end);
        if (cut == std::wstring::npos) break;
        p.resize(cut + 1);
    }
}

bool leads_upwards(Search& s, const Identity& target) {
    if (!s.have_ancestors) {
        add_chain(s.ancestors, s.folder);
        HANDLE h = open_entry(s.folder);
        if (h != INVALID_HANDLE_VALUE) {
            add_chain(s.ancestors, final_path(h));
            CloseHandle(h);
        }
        s.have_ancestors = true;
    }
    for (const Identity& a : s.ancestors)
        if (a == target) return true;
    return false;
}

// The root of the drive that holds the walk's top folder, links resolved.
const std::wstring& confine_of(Search& s) {
    if (!s.have_confine) {
        HANDLE h = open_entry(s.top);
        if (h != INVALID_HANDLE_VALUE) {
            std::wstring top = final_path(h);
            CloseHandle(h);
            wchar_t root[MAX_PATH + 1];
            if (!top.empty() && GetVolumePathNameW(top.c_str(), root, MAX_PATH + 1))
                s.confine = root;
            else if (top.size() >= 3 && top[1] == L':')
                s.confine = top.substr(0, 3);
        }
        s.have_confine = true;
    }
    return s.confine;
}

bool inside(const std::wstring& path, std::wstring folder) {
    if (folder.empty()) return false;
    if (folder.back() != L'\\') folder += L'\\';
    std::wstring p = path.back() == L'\\' ? path : path + L'\\';
    return p.size() >= folder.size() &&
           CompareStringOrdinal(p.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                                static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL;
}

// A link (a reparse point; Wine marks Unix links so, with tag 0) is listed only when its
// target lies on the walk's drive and, for a folder, is neither this folder nor one above it.
// One that leads nowhere is left out as well.
bool link_allowed(Search& s, const WIN32_FIND_DATAW& d) {
    HANDLE h = open_entry(s.folder + L"\\" + d.cFileName);
    if (h == INVALID_HANDLE_VALUE) return false;
    const std::wstring target = final_path(h);
    Identity id{};
    const bool known = identity_of(h, id);
    CloseHandle(h);
    if (target.empty() || !known || !inside(target, confine_of(s))) return false;
    return !(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !leads_upwards(s, id);
}

// Any other folder is listed unless it is this folder or one above it however it is reached
// (a link the system does not mark as one): the walk would never end. "." and ".." are
// names for exactly those and stay listed, as the system lists them.
bool folder_allowed(Search& s, const WIN32_FIND_DATAW& d) {
    if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || std::wcscmp(d.cFileName, L".") == 0 ||
        std::wcscmp(d.cFileName, L"..") == 0)
        return true;
    HANDLE h = open_entry(s.folder + L"\\" + d.cFileName);
    if (h == INVALID_HANDLE_VALUE) return true; // the walk meets it and reports it
    Identity id{};
    const bool known = identity_of(h, id);
    CloseHandle(h);
    return !known || !leads_upwards(s, id);
}

void fill(const WIN32_FIND_DATAW& d, FindRecord* rec) {
    rec->attributes = d.dwFileAttributes;
    rec->size = (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
    const std::string name =
        path_from_utf16(reinterpret_cast<const char16_t*>(d.cFileName), std::wcslen(d.cFileName));
    if (name.size() >= sizeof rec->name)
        rec->name[0] = 0;
    else
        std::memcpy(rec->name, name.c_str(), name.size() + 1);
}

ListingEnd end_of_listing(DWORD error) {
    switch (error) {
    case ERROR_NO_MORE_FILES:
    case ERROR_FILE_NOT_FOUND: // nothing matches in an existing folder
        return ListingEnd::complete;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
        return ListingEnd::missing;
    default:
        return ListingEnd::failed;
    }
}

// From the current record on, finds the first one to be listed and fills rec with it.
bool next_listed(Search& s, WIN32_FIND_DATAW& d, FindRecord* rec, ListingEnd* end) {
    for (;;) {
        const bool link = (d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (link ? link_allowed(s, d) : folder_allowed(s, d)) {
            fill(d, rec);
            return true;
        }
        if (!FindNextFileW(s.find, &d)) {
            *end = end_of_listing(GetLastError());
            return false;
        }
    }
}

FindHandle find_first(const char* pattern, const char* top, FindRecord* rec, ListingEnd* end) {
    auto s = std::make_unique<Search>();
    const std::wstring wide = wide_path(pattern);
    WIN32_FIND_DATAW d;
    s->find = FindFirstFileW(wide.c_str(), &d);
    if (s->find == INVALID_HANDLE_VALUE) {
        *end = end_of_listing(GetLastError());
        return nullptr;
    }
    const size_t cut = wide.find_last_of(L"\\/");
    s->folder = cut == std::wstring::npos ? L"." : wide.substr(0, cut);
    s->top = top && *top ? wide_path(top) : s->folder;
    if (!next_listed(*s, d, rec, end)) {
        KeepError keep;
        FindClose(s->find);
        return nullptr;
    }
    return s.release();
}

bool find_next(FindHandle search, FindRecord* rec, ListingEnd* end) {
    auto* s = static_cast<Search*>(search);
    WIN32_FIND_DATAW d;
    if (!FindNextFileW(s->find, &d)) {
        *end = end_of_listing(GetLastError());
        return false;
    }
    return next_listed(*s, d, rec, end);
}

void find_close(FindHandle search) {
    auto* s = static_cast<Search*>(search);
    FindClose(s->find);
    delete s;
}

bool write_time(const char* path, SystemTime* utc) {
    HANDLE h =
        narrow_call_fits(path)
            ? CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
            : CreateFileW(wide_path(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                          OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    FILETIME created, accessed, written;
    BOOL ok = GetFileTime(h, &created, &accessed, &written);
    CloseHandle(h);
    SYSTEMTIME st;
    if (!ok || !FileTimeToSystemTime(&written, &st)) return false;
    utc->year = st.wYear;
    utc->month = st.wMonth;
    utc->day_of_week = st.wDayOfWeek;
    utc->day = st.wDay;
    utc->hour = st.wHour;
    utc->minute = st.wMinute;
    utc->second = st.wSecond;
    utc->milliseconds = st.wMilliseconds;
    return true;
}

// ---- the copy ----
// The data goes to a hidden temporary file in the destination folder and is flushed to the
// disk; only then does a rename give it the destination name. A crash or a power cut thus
// never leaves a half-written file under that name.

constexpr DWORD kBufferSize = 1 << 20;
constexpr DWORD kCopiedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

class Handle {
  public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~Handle() { close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    void reset(HANDLE h) {
        close();
        h_ = h;
    }
    bool close() {
        if (!valid()) return true;
        BOOL ok = CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
        return ok != 0;
    }

  private:
    HANDLE h_;
};

std::wstring folder_of(const std::wstring& path) {
    size_t cut = path.find_last_of(L"\\/");
    if (cut == std::wstring::npos) return L".";
    return path.substr(0, cut);
}

std::wstring temp_name(const std::wstring& folder) {
    const std::string name = temp_file_name(); // ASCII only
    return folder + L"\\" + std::wstring(name.begin(), name.end());
}

// Each piece written is told to the caller, who may stop the copy before the next one while
// data is still to come.
bool copy_data(HANDLE in, HANDLE out, const CopyProgress* progress, uint64_t size) {
    uint64_t copied = 0;
    std::unique_ptr<char[]> buf(new (std::nothrow) char[kBufferSize]);
    if (!buf) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in, buf.get(), kBufferSize, &got, nullptr)) return false;
        if (got == 0) return true;
        for (DWORD done = 0; done < got;) {
            DWORD put = 0;
            if (!WriteFile(out, buf.get() + done, got - done, &put, nullptr)) return false;
            if (put == 0) {
                SetLastError(ERROR_DISK_FULL);
                return false;
            }
            done += put;
        }
        copied += got;
        if (progress && progress->piece && !progress->piece(progress->context, got) &&
            copied < size) {
            SetLastError(ERROR_CANCELLED);
            return false;
        }
    }
}

// A staged copy: the hidden temporary file, still open and marked for deletion, so that if
// the process dies the system removes it when it closes the handle. The mark is lifted once
// the data is on disk.
struct Staged {
    Handle out;
    std::wstring temp, to;
    DWORD attrs = 0;
    bool replace = false;
    bool doomed = false;
    bool set_doom(bool on) {
        FILE_DISPOSITION_INFO doom{static_cast<BOOLEAN>(on)};
        return SetFileInformationByHandle(out.get(), FileDispositionInfo, &doom, sizeof doom) != 0;
    }
};

void discard_staged(StagedFile file) {
    std::unique_ptr<Staged> s(static_cast<Staged*>(file));
    KeepError keep;
    s->out.close();
    SetFileAttributesW(s->temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(s->temp.c_str());
}

StagedFile stage(const char* src, const char* dst, bool fail_if_exists,
                 const CopyProgress* progress, uint64_t* bytes) {
    auto s = std::make_unique<Staged>();
    std::wstring from = wide_path(src);
    s->to = wide_path(dst);
    Handle in(CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in.valid()) return nullptr;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(in.get(), &info)) return nullptr;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    // An existing destination is not looked for here: the caller has just asked where it
    // needs to (the copy job does), and the naming, which never replaces, refuses it in any
    // case; that refusal is what tells another run's file from a collision of this one.
    const std::wstring folder = folder_of(s->to);
    for (int attempt = 0; attempt < 100 && !s->out.valid(); ++attempt) {
        s->temp = extended_path(temp_name(folder));
        s->out.reset(CreateFileW(s->temp.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!s->out.valid() && GetLastError() != ERROR_FILE_EXISTS) return nullptr;
    }
    if (!s->out.valid()) return nullptr;
    s->doomed = s->set_doom(true);
    s->attrs = info.dwFileAttributes & kCopiedAttributes;
    s->replace = !fail_if_exists;
    const uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (!copy_data(in.get(), s->out.get(), progress, size)) {
        discard_staged(s.release());
        return nullptr;
    }
    SetFileTime(s->out.get(), nullptr, nullptr, &info.ftLastWriteTime); // best effort
    if (bytes) *bytes = size;
    return s.release();
}

void make_durable(StagedFile* files, size_t count, bool* durable) {
    for (size_t i = 0; i < count; ++i) {
        auto* s = static_cast<Staged*>(files[i]);
        durable[i] = FlushFileBuffers(s->out.get()) && (!s->doomed || s->set_doom(false));
    }
}

bool name_staged(StagedFile file) {
    auto* s = static_cast<Staged*>(file);
    const bool ok =
        s->out.close() &&
        SetFileAttributesW(s->temp.c_str(), s->attrs ? s->attrs : FILE_ATTRIBUTE_NORMAL) &&
        MoveFileExW(s->temp.c_str(), s->to.c_str(),
                    MOVEFILE_WRITE_THROUGH | (s->replace ? MOVEFILE_REPLACE_EXISTING : 0));
    if (!ok) {
        discard_staged(s);
        return false;
    }
    delete s;
    return true;
}

} // namespace

bool names_nothing(unsigned long code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
           code == ERROR_CANT_RESOLVE_FILENAME;
}

// Kernel handles have no per-process limit worth raising.
unsigned long raise_open_file_limit() {
    return 1ul << 24;
}

void reserve_descriptors(unsigned long) {}

bool out_of_descriptors(unsigned long error) {
    return error == ERROR_TOO_MANY_OPEN_FILES;
}

bool name_taken(unsigned long error) {
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
}

FsOps& fs_ops() {
    static FsOps ops{attributes, drive_mask,   remove_file, move_file,     make_folder,
                     last_error, find_first,   find_next,   find_close,    write_time,
                     stage,      make_durable, name_staged, discard_staged};
    return ops;
}

} // namespace platform
