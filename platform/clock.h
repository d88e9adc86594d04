#pragma once
// The system's broken-down time record, as the clock services fill it.
#include <cstdint>

namespace platform {

struct SystemTime {
    uint16_t year, month, day_of_week, day, hour, minute, second, milliseconds;
};

SystemTime local_time();
SystemTime utc_time();

} // namespace platform
