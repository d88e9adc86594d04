#include <gtest/gtest.h>

#include "core/vector.h"
#include <string>

namespace {

int code_of(void (*fn)()) {
    try {
        fn();
    } catch (const TXErrorVectores& e) {
        return e.codigo;
    }
    return 0;
}

// Counts live instances, to see who deletes elements.
struct Counted {
    static int alive;
    Counted() { ++alive; }
    ~Counted() { --alive; }
};
int Counted::alive = 0;

std::string text_of(const VectorI<std::string>& v) {
    std::string out;
    for (int i = v.First(); i < v.First() + v.Count(); ++i)
        out += v.Exists(i) ? *v.Get(i) : std::string("-");
    return out;
}

} // namespace

TEST(Vector, GrowthAndFailures) {
    Vector<std::string> v(10, 10);
    for (int i = 0; i < 10; ++i)
        v.Add(-1);
    EXPECT_EQ(v.Capacity(), 10);
    v.Add(-1);
    EXPECT_EQ(v.Capacity(), 23);
    EXPECT_EQ(v.Count(), 11);

    EXPECT_EQ(code_of([] {
                  Vector<std::string> fixed(2, 0);
                  fixed.Add(-1);
                  fixed.Add(-1);
                  fixed.Add(-1);
              }),
              6);
    EXPECT_EQ(code_of([] {
                  Vector<std::string> w(2, 2);
                  w.Add(-1);
                  w.Get(w.Count());
              }),
              7);
    EXPECT_EQ(code_of([] {
                  Vector<std::string> w(2, 2);
                  w.Grow(1); // a counted slot that holds nothing
                  EXPECT_FALSE(w.Exists(0));
                  w.Get(0);
              }),
              8);
    EXPECT_EQ(code_of([] {
                  Vector<std::string> w(2, 2);
                  w.Insert(nullptr, 0);
              }),
              16);
    EXPECT_EQ(code_of([] {
                  Vector<std::string> w(2, 2);
                  w.Add(-1);
                  w.Get(-1);
              }),
              7);

    // A vector made with step 0 grows again after it was cleared.
    Vector<std::string> fixed(2, 0);
    fixed.Add(-1);
    fixed.clear();
    EXPECT_EQ(fixed.Count(), 0);
    for (int i = 0; i < 5; ++i)
        fixed.Add(-1);
    EXPECT_EQ(fixed.Count(), 5);
}

TEST(Vector, PlacingAndOwnership) {
    Vector<std::string> v(4, 4);
    *v.Add(-1) = "a";
    *v.Add(-1) = "b";
    *v.Add(0) = "x";
    EXPECT_EQ(text_of(v), "xab");
    std::string y("y");
    EXPECT_EQ(v.Insert(&y, 1), 1);
    EXPECT_EQ(v.Insert(&y, -1), 4);
    EXPECT_EQ(text_of(v), "xyaby");
    y = "changed";
    EXPECT_EQ(*v.Get(1), "y"); // a copy was inserted

    Counted::alive = 0;
    {
        VectorI<Counted> owning(2, 2, true);
        owning.Add(-1);
        owning.Add(-1);
        EXPECT_EQ(Counted::alive, 2);
    }
    EXPECT_EQ(Counted::alive, 0);

    auto* borrowing = new VectorI<Counted>(2, 2, false);
    Counted* first = borrowing->Add(-1);
    borrowing->clear();
    EXPECT_EQ(Counted::alive, 1); // cleared, not deleted
    delete first;
    Counted* second = borrowing->Add(-1);
    delete borrowing;
    EXPECT_EQ(Counted::alive, 1); // destroyed, not deleted
    delete second;
    EXPECT_EQ(Counted::alive, 0);
}
