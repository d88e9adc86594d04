#include <gtest/gtest.h>

#include <string>

#include "code_of.h"
#include "core/vector.h"

TEST(Vector, GrowthPlacingAndFailures) {
    Vector<int> fixed(2, 0);
    *fixed.Add(-1) = 1;
    *fixed.Add(-1) = 2;
    EXPECT_EQ(code_of([&] { fixed.Add(-1); }), 6);
    EXPECT_EQ(code_of([&] { fixed.Get(fixed.Count()); }), 7);
    EXPECT_EQ(code_of([&] { fixed.Insert(nullptr, 0); }), 16);
    fixed.clear(); // a vector made with step 0 may grow after being cleared
    for (int i = 0; i < 3; ++i)
        fixed.Add(-1);
    EXPECT_EQ(fixed.Count(), 3);

    Vector<int> holes(2, 2);
    holes.Grow(1); // a counted slot that holds nothing
    EXPECT_FALSE(holes.Exists(0));
    EXPECT_EQ(code_of([&] { holes.Get(0); }), 8);

    Vector<int> v(4, 4);
    *v.Add(-1) = 1;
    *v.Add(-1) = 2;
    *v.Add(0) = 7;
    int y = 5;
    EXPECT_EQ(v.Insert(&y, 1), 1);
    EXPECT_EQ(v.Insert(&y, -1), 4);
    y = 0; // copies were inserted
    std::string all;
    for (int i = v.First(); i < v.First() + v.Count(); ++i)
        all += std::to_string(*v.Get(i));
    EXPECT_EQ(all, "75125");
}
