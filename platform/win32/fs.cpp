// The file-system services over the Windows kernel calls: attributes, delete, move, folders,
// times, links, limits, what error codes mean, and the table. Paths reach the wide calls as
// UTF-16 through the exact path conversion; long absolute paths get the \\?\ prefix.
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/codepage.h"
#include "platform/fs_services.h"
#include "platform/win32/listed.h"
#include "platform/win32/wide_path.h"

namespace platform {
namespace {

// The 8-bit calls read their text in the active code page, whose conversion is not exact for
// every name (a lone surrogate, say): they get only short plain ASCII paths, which read the
// same in every code page. Otherwise the wide call is made.
bool narrow_call_fits(const char* path) {
    const size_t n = std::strlen(path);
    if (n >= kLongPath) return false;
    for (size_t i = 0; i < n; ++i)
        if (static_cast<unsigned char>(path[i]) >= 0x80) return false;
    return true;
}
} // namespace

namespace service {

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

// An entry opened for its final path, links followed; no access right is needed.
std::string resolve(const char* path) {
    HANDLE h = CreateFileW(wide_path(path).c_str(), 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::string();
    DWORD n = GetFinalPathNameByHandleW(h, nullptr, 0, FILE_NAME_NORMALIZED);
    std::wstring out(n, L'\0');
    n = n ? GetFinalPathNameByHandleW(h, out.data(), n, FILE_NAME_NORMALIZED) : 0;
    CloseHandle(h);
    out.resize(n);
    if (out.rfind(L"\\\\?\\UNC\\", 0) == 0)
        out = L"\\\\" + out.substr(8);
    else if (out.rfind(L"\\\\?\\", 0) == 0)
        out = out.substr(4);
    return path_from_utf16(reinterpret_cast<const char16_t*>(out.c_str()), out.size());
}

bool is_link(const char* path) {
    const DWORD a = GetFileAttributesW(wide_path(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

} // namespace service

namespace {

// A wide path's text for comparison: both separators alike, no trailing one.
std::wstring compared(const std::string& path) {
    const std::u16string u = path_to_utf16(path.c_str(), path.size());
    std::wstring w(u.begin(), u.end());
    for (wchar_t& c : w)
        if (c == L'/') c = L'\\';
    while (w.size() > 1 && w.back() == L'\\')
        w.pop_back();
    return w;
}

} // namespace

bool names_nothing(unsigned long code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
           code == ERROR_CANT_RESOLVE_FILENAME;
}

bool name_taken(unsigned long error) {
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
}

bool out_of_descriptors(unsigned long error) {
    return error == ERROR_TOO_MANY_OPEN_FILES;
}

bool unsupported(unsigned long error) {
    return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
}

// Under Wine a read error of the host (EIO) arrives as "not ready", which on Windows itself
// means a drive with no disc in it: only there is it taken for a damaged spot.
bool read_fault(unsigned long error) {
    static const bool wine =
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return error == ERROR_CRC || error == ERROR_IO_DEVICE || error == ERROR_SECTOR_NOT_FOUND ||
           (wine && error == ERROR_NOT_READY);
}

bool cross_volume(unsigned long error) {
    return error == ERROR_NOT_SAME_DEVICE;
}

unsigned long cancelled_error() {
    return ERROR_CANCELLED;
}

void set_last_error(unsigned long error) {
    SetLastError(static_cast<DWORD>(error));
}

// Letter case is ignored, as Windows ignores it in names.
bool path_within(const std::string& path, const std::string& folder) {
    const std::wstring p = compared(path), f = compared(folder);
    if (f.empty() || p.size() < f.size()) return false;
    if (CompareStringOrdinal(p.c_str(), static_cast<int>(f.size()), f.c_str(),
                             static_cast<int>(f.size()), TRUE) != CSTR_EQUAL)
        return false;
    return p.size() == f.size() || p[f.size()] == L'\\' || f.back() == L'\\';
}

bool system_root(const std::string&) {
    return false;
}

// Wine may show a Unix link to a folder as a plain folder.
bool folders_may_be_links() {
    return true;
}

// Kernel handles have no per-process limit worth raising.
unsigned long raise_open_file_limit() {
    return 1ul << 24;
}

void reserve_descriptors(unsigned long) {}

} // namespace platform
