#include <gtest/gtest.h>

#include "core/falla.h"
#include "platform/debugger.h"

namespace {

int g_version_calls = 0;
int g_present_calls = 0;
int g_breaks = 0;
bool g_is_nt = true;
bool g_present = false;

bool fake_version() {
    ++g_version_calls;
    return g_is_nt;
}
bool fake_present() {
    ++g_present_calls;
    return g_present;
}
void fake_break() {
    ++g_breaks;
}

// Replaces the system queries with counters for the life of a test, then puts them back.
class FakeDebugger {
  public:
    FakeDebugger(bool is_nt, bool present) : saved_(platform::debugger()) {
        g_version_calls = g_present_calls = g_breaks = 0;
        g_is_nt = is_nt;
        g_present = present;
        platform::debugger() = {fake_version, fake_present, fake_break};
        ResetHayDepurador();
    }
    ~FakeDebugger() {
        platform::debugger() = saved_;
        ResetHayDepurador();
    }

  private:
    platform::DebuggerOps saved_;
};

} // namespace

TEST(Falla, ThrowsItsCode) {
    FakeDebugger fake(true, false);
    try {
        Falla(7);
        ADD_FAILURE() << "Falla returned";
    } catch (const TXErrorVectores& e) {
        EXPECT_EQ(e.codigo, 7);
    }
    EXPECT_EQ(g_breaks, 0);

    CompruebaPuntero(&fake, 1, 1); // returns
    try {
        CompruebaPuntero(nullptr, 8, 4);
        ADD_FAILURE() << "no exception";
    } catch (const TXErrorVectores& e) {
        EXPECT_EQ(e.codigo, 15);
    }
}

TEST(Falla, BreaksFirstUnderADebugger) {
    FakeDebugger fake(true, true);
    EXPECT_THROW(Falla(6), TXErrorVectores);
    EXPECT_EQ(g_breaks, 1);
}

TEST(HayDepurador, AsksTheSystemOnce) {
    {
        FakeDebugger fake(true, true);
        EXPECT_TRUE(HayDepurador());
        EXPECT_TRUE(HayDepurador());
        EXPECT_EQ(g_version_calls, 1);
        EXPECT_EQ(g_present_calls, 1);
        g_present = false; // a debugger that detaches is still believed present
        EXPECT_TRUE(HayDepurador());
    }
    {
        // Not the NT family: false without looking for the debugger test.
        FakeDebugger fake(false, true);
        EXPECT_FALSE(HayDepurador());
        EXPECT_FALSE(HayDepurador());
        EXPECT_EQ(g_version_calls, 1);
        EXPECT_EQ(g_present_calls, 0);
    }
}
