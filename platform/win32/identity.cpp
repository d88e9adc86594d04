#include "platform/identity.h"

#include <windows.h>

#include <string>

namespace platform {
namespace {

// FILETIME (100 ns since 1601) as seconds since 1970.
int64_t unix_seconds(const FILETIME& t) {
    const uint64_t ticks = (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    return static_cast<int64_t>(ticks / 10000000) - 11644473600;
}

} // namespace

std::string host_identity() {
    static const std::string id = [] {
        char host[MAX_COMPUTERNAME_LENGTH + 1] = {};
        DWORD size = sizeof host;
        GetComputerNameA(host, &size);
        char guid[64] = {};
        DWORD guid_size = sizeof guid;
        RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Cryptography", "MachineGuid",
                     RRF_RT_REG_SZ, nullptr, guid, &guid_size);
        return std::string(host) + "/" + guid;
    }();
    return id;
}

unsigned long process_id() {
    return GetCurrentProcessId();
}

int64_t boot_time() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return unix_seconds(now) - static_cast<int64_t>(GetTickCount64() / 1000);
}

bool process_runs(unsigned long process) {
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(process));
    if (!h) return GetLastError() == ERROR_ACCESS_DENIED;
    const bool running = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    CloseHandle(h);
    return running;
}

int64_t process_started(unsigned long process) {
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(process));
    if (!h) return 0;
    FILETIME created, exited, kernel, user;
    const bool ok = GetProcessTimes(h, &created, &exited, &kernel, &user) != 0;
    CloseHandle(h);
    return ok ? unix_seconds(created) : 0;
}

} // namespace platform
