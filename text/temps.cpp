#include "text/temps.h"

void TTemps::set_from_systemtime(const platform::SystemTime& st) {
    year = st.year;
    month = st.month;
    day = st.day;
    hour = st.hour;
    minute = st.minute;
    // Computed in extended precision, then stored as float: 59 s 999 ms stays 59.999.
    long double s = static_cast<long double>(st.second) + st.milliseconds * 0.001L;
    second = static_cast<float>(s);
}

void TTemps::now() {
    set_from_systemtime(platform::local_time());
}

void TTempsUTC::now() {
    set_from_systemtime(platform::utc_time());
}
