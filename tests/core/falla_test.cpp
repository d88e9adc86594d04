#include <gtest/gtest.h>

#include "code_of.h"
#include "platform/debugger.h"

namespace {

int g_version_calls, g_present_calls, g_breaks;
bool g_is_nt, g_present;

// Counts the system queries for the life of a test, then puts the real ones back.
struct FakeDebugger {
    platform::DebuggerOps saved = platform::debugger();
    FakeDebugger(bool is_nt, bool present) {
        g_version_calls = g_present_calls = g_breaks = 0;
        g_is_nt = is_nt;
        g_present = present;
        platform::debugger() = {[] { return ++g_version_calls, g_is_nt; },
                                [] { return ++g_present_calls, g_present; }, [] { ++g_breaks; }};
        ResetDebuggerCache();
    }
    ~FakeDebugger() {
        platform::debugger() = saved;
        ResetDebuggerCache();
    }
};

} // namespace

TEST(Falla, ThrowsItsCodeAfterBreakingIntoADebugger) {
    {
        FakeDebugger fake(true, false);
        EXPECT_EQ(code_of([] { Falla(7); }), 7);
        EXPECT_EQ(code_of([] { CompruebaPuntero(nullptr, 8, 4); }), 15);
        EXPECT_EQ(code_of([] { CompruebaPuntero(&g_breaks, 4, 1); }), 0);
        EXPECT_EQ(g_breaks, 0);
    }
    FakeDebugger fake(true, true);
    EXPECT_EQ(code_of([] { Falla(6); }), 6);
    EXPECT_EQ(g_breaks, 1);
    g_present = false; // a debugger that detaches is still believed present
    EXPECT_EQ(code_of([] { Falla(5); }), 5);
    EXPECT_EQ(g_breaks, 2);
    EXPECT_EQ(g_version_calls, 1); // the system is asked once
    EXPECT_EQ(g_present_calls, 1);
}

TEST(HayDepurador, AsksTheSystemOnce) {
    // Not the NT family: false without looking for the debugger test.
    FakeDebugger fake(false, true);
    EXPECT_FALSE(HayDepurador());
    EXPECT_FALSE(HayDepurador());
    EXPECT_EQ(g_version_calls, 1);
    EXPECT_EQ(g_present_calls, 0);
}
