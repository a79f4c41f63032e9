#include "platform/Wait.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

TEST(WaitTest, NeverReturnsBeforeTheTime) {
    for (double seconds : {0.0003, 0.002, 0.0104}) {
        const auto start = std::chrono::steady_clock::now();
        platform::waitSeconds(seconds);
        const double waited = secondsSince(start);
        EXPECT_GE(waited, seconds);
        // A loaded machine may be late by a lot; a wait in the wrong unit is later still.
        EXPECT_LT(waited, seconds + 0.5);
    }
}

TEST(WaitTest, ZeroOrNegativeReturnsAtOnce) {
    const auto start = std::chrono::steady_clock::now();
    platform::waitSeconds(0.0);
    platform::waitSeconds(-1.0);
    // A negative time taken as its size would wait a whole second.
    EXPECT_LT(secondsSince(start), 0.5);
}
