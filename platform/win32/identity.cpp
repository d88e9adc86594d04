#include "platform/temp_name.h"

#include <windows.h>

namespace platform {

// Windows has no boot identity at hand; a file left from before a restart whose process
// number is in use again is left alone, which only costs a stray hidden file.
ProcessIdentity this_process() {
    static const ProcessIdentity me = [] {
        ProcessIdentity id;
        char host[MAX_COMPUTERNAME_LENGTH + 1] = {};
        DWORD size = sizeof host;
        GetComputerNameA(host, &size);
        id.host = host;
        id.process = GetCurrentProcessId();
        return id;
    }();
    return me;
}

bool process_runs(unsigned long process) {
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(process));
    if (!h) return GetLastError() == ERROR_ACCESS_DENIED;
    const bool running = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    CloseHandle(h);
    return running;
}

} // namespace platform
