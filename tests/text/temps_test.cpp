#include <gtest/gtest.h>

#include "text/temps.h"

TEST(TTemps, FromSystemRecord) {
    TTemps fresh;
    TTempsUTC fresh_utc;
    for (const TTemps* t :
         {static_cast<const TTemps*>(&fresh), static_cast<const TTemps*>(&fresh_utc)}) {
        EXPECT_EQ(t->day, 0);
        EXPECT_EQ(t->month, 0);
        EXPECT_EQ(t->year, 0);
        EXPECT_EQ(t->hour, 0);
        EXPECT_EQ(t->minute, 0);
        EXPECT_EQ(t->second, 0.0f);
    }

    platform::SystemTime st{2010, 3, 0, 28, 2, 59, 59, 999};
    TTemps t;
    t.set_from_systemtime(st);
    EXPECT_EQ(t.day, 28);
    EXPECT_EQ(t.month, 3);
    EXPECT_EQ(t.year, 2010);
    EXPECT_EQ(t.hour, 2);
    EXPECT_EQ(t.minute, 59);
    EXPECT_FLOAT_EQ(t.second, 59.999f);
    EXPECT_LT(t.second, 60.0f);

    st.second = 12;
    st.milliseconds = 345;
    t.set_from_systemtime(st);
    EXPECT_FLOAT_EQ(t.second, 12.345f);

    // The clocks give a plausible date.
    TTempsUTC now;
    now.now();
    EXPECT_GE(now.year, 2020);
    EXPECT_GE(now.month, 1);
    EXPECT_LE(now.month, 12);
    EXPECT_GE(now.day, 1);
    EXPECT_LT(now.second, 60.0f);
}
