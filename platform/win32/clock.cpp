#include <windows.h>

#include "platform/clock.h"

namespace platform {
namespace {
SystemTime convert(const SYSTEMTIME& s) {
    return SystemTime{s.wYear, s.wMonth,  s.wDayOfWeek, s.wDay,
                      s.wHour, s.wMinute, s.wSecond,    s.wMilliseconds};
}
} // namespace

SystemTime local_time() {
    SYSTEMTIME s;
    GetLocalTime(&s);
    return convert(s);
}

SystemTime utc_time() {
    SYSTEMTIME s;
    GetSystemTime(&s);
    return convert(s);
}

} // namespace platform
