#include <gtest/gtest.h>

#include "text/temps.h"

TEST(TTemps, FromSystemRecord) {
    TTemps t;
    t.set_from_systemtime({2010, 3, 0, 28, 2, 59, 59, 999});
    EXPECT_EQ(t.year * 10000 + t.month * 100 + t.day, 20100328);
    EXPECT_EQ(t.hour * 100 + t.minute, 259);
    EXPECT_FLOAT_EQ(t.second, 59.999f);
    EXPECT_LT(t.second, 60.0f); // never rounded into the next minute
}
