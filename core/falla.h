#pragma once
// The failure routine: a broken precondition breaks into an attached debugger, then throws
// TXErrorVectores with its code.
#include <cstddef>
#include <cstdint>

struct TXErrorVectores {
    int32_t codigo;
};

// Vector and allocation failure codes.
enum : int32_t {
    kErrNoGrowth = 6,
    kErrIndexOutside = 7,
    kErrNoElement = 8,
    kErrInsertBeforeFirst = 12,
    kErrAddBeforeFirst = 13,
    kErrNoMemory = 15,
    kErrNullElement = 16,
};

[[noreturn]] void Falla(int32_t codigo);
void CompruebaPuntero(const void* p, size_t element_size, size_t count);
bool HayDepurador();
// Forgets the remembered answer of HayDepurador, so tests can ask again.
void ResetDebuggerCache();
