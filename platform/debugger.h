#pragma once
// Debugger services, as a table so tests can count and replace the system queries.
namespace platform {

struct DebuggerOps {
    // The system reports the NT family (platform id 2).
    bool (*version_is_nt)();
    // Looks up and asks the system's debugger-present test; false when it is not found.
    bool (*debugger_present)();
    void (*debug_break)();
};

DebuggerOps& debugger();

} // namespace platform
