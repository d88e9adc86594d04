#include <sys/time.h>

#include <ctime>

#include "platform/clock.h"

namespace platform {
namespace {
SystemTime from_tm(const std::tm& t, long usec) {
    SystemTime st{};
    st.year = static_cast<uint16_t>(t.tm_year + 1900);
    st.month = static_cast<uint16_t>(t.tm_mon + 1);
    st.day_of_week = static_cast<uint16_t>(t.tm_wday);
    st.day = static_cast<uint16_t>(t.tm_mday);
    st.hour = static_cast<uint16_t>(t.tm_hour);
    st.minute = static_cast<uint16_t>(t.tm_min);
    st.second = static_cast<uint16_t>(t.tm_sec > 59 ? 59 : t.tm_sec);
    st.milliseconds = static_cast<uint16_t>(usec / 1000);
    return st;
}

SystemTime read_clock(bool utc) {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    std::tm t{};
    time_t secs = tv.tv_sec;
    if (utc)
        gmtime_r(&secs, &t);
    else
        localtime_r(&secs, &t);
    return from_tm(t, tv.tv_usec);
}
} // namespace

SystemTime local_time() {
    return read_clock(false);
}
SystemTime utc_time() {
    return read_clock(true);
}

} // namespace platform
