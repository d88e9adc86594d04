#pragma once
// TTemps: a broken-down calendar date and time. TTempsUTC reads the UTC clock.
#include <cstdint>

#include "platform/clock.h"

class TTemps {
  public:
    TTemps() = default;
    virtual ~TTemps() = default;
    virtual void reservado() {}
    virtual void now();
    void set_from_systemtime(const platform::SystemTime& st);

    int32_t day = 0;
    int32_t month = 0;
    int32_t year = 0;
    int32_t hour = 0;
    int32_t minute = 0;
    float second = 0.0f;
};

class TTempsUTC : public TTemps {
  public:
    TTempsUTC() { day = month = year = hour = minute = 0, second = 0.0f; }
    void now() override;
};
