#include "platform/identity.h"

#include <windows.h>

#include <string>

namespace platform {
namespace {

// The file name of a process's program, without its folder; empty when it cannot be read.
std::wstring program_of(HANDLE process) {
    std::wstring path(32768, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    if (!QueryFullProcessImageNameW(process, 0, path.data(), &size)) return std::wstring();
    path.resize(size);
    return path.substr(path.find_last_of(L"\\/") + 1);
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

bool process_runs(unsigned long process) {
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(process));
    if (!h) return GetLastError() == ERROR_ACCESS_DENIED;
    const bool running = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    CloseHandle(h);
    return running;
}

bool runs_this_program(unsigned long process) {
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(process));
    if (!h) return true;
    const std::wstring theirs = program_of(h);
    CloseHandle(h);
    const std::wstring ours = program_of(GetCurrentProcess());
    return theirs.empty() || ours.empty() ||
           CompareStringOrdinal(theirs.c_str(), -1, ours.c_str(), -1, TRUE) == CSTR_EQUAL;
}

} // namespace platform
