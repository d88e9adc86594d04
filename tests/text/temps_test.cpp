#include <gtest/gtest.h>

#include "text/temps.h"

TEST(TTemps, FromSystemRecord) {
    TTempsUTC fresh;
    EXPECT_EQ(fresh.day + fresh.month + fresh.year + fresh.hour + fresh.minute, 0);
    EXPECT_EQ(fresh.second, 0.0f);

    TTemps t;
    t.set_from_systemtime({2010, 3, 0, 28, 2, 59, 59, 999});
    EXPECT_EQ(t.day, 28);
    EXPECT_EQ(t.month, 3);
    EXPECT_EQ(t.year, 2010);
    EXPECT_EQ(t.hour, 2);
    EXPECT_EQ(t.minute, 59);
    EXPECT_FLOAT_EQ(t.second, 59.999f);
    EXPECT_LT(t.second, 60.0f); // never rounded into the next minute

    fresh.now();
    EXPECT_GE(fresh.year, 2020);
    EXPECT_TRUE(fresh.month >= 1 && fresh.month <= 12 && fresh.day >= 1);
}
