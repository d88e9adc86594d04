#include <gtest/gtest.h>

#include "core/vector.h"
#include "text/dstring.h"

TEST(DString, EmptyStringHasNoBlock) {
    DString s;
    EXPECT_EQ(s.length(), 0);
    EXPECT_TRUE(s.is_empty());
    EXPECT_STREQ(s.c_str(), "");
    EXPECT_EQ(s.data(), nullptr);
    EXPECT_EQ(s.char_at(0), 0);
    EXPECT_EQ(s.find_char(0), 0);
    EXPECT_EQ(s.find_char_from(0, 0), -1);
}
