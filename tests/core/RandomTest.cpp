#include "core/Random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace {

TEST(RandomTest, RandomFloatLiesInZeroToOne) {
    seedRandom(7);
    float lowest = 1.0f, highest = 0.0f;
    double sum = 0.0;
    constexpr int draws = 200000;
    for (int i = 0; i < draws; ++i) {
        const float r = randomFloat();
        ASSERT_GE(r, 0.0f);
        ASSERT_LT(r, 1.0f);
        lowest = std::min(lowest, r);
        highest = std::max(highest, r);
        sum += r;
    }
    EXPECT_LT(lowest, 0.001f);
    EXPECT_GT(highest, 0.999f);
    EXPECT_NEAR(sum / draws, 0.5, 0.01);
}

TEST(RandomTest, RawAccessorLiesInOneToTwo) {
    seedRandom(7);
    for (int i = 0; i < 100000; ++i) {
        const float r = randomFloatRaw();
        ASSERT_GE(r, 1.0f);
        ASSERT_LT(r, 2.0f);
    }
    // The physics cooldown 0.1 x r + 0.1 then lies between 0.2 and 0.3 s.
    const float cooldown = randomFloatRaw() * 0.1f + 0.1f;
    EXPECT_GE(cooldown, 0.2f);
    EXPECT_LE(cooldown, 0.3f);
}

TEST(RandomTest, ValuesCarryTwentyThreeRandomBits) {
    seedRandom(3);
    for (int i = 0; i < 1000; ++i) {
        const double scaled = static_cast<double>(randomFloat()) * 8388608.0; // 2^23
        ASSERT_EQ(scaled, std::floor(scaled));
    }
}

TEST(RandomTest, SameSeedGivesTheSameSequence) {
    std::vector<float> first, second, other;
    seedRandom(12345);
    for (int i = 0; i < 50; ++i)
        first.push_back(randomFloat());
    seedRandom(12345);
    for (int i = 0; i < 50; ++i)
        second.push_back(randomFloat());
    seedRandom(12346);
    for (int i = 0; i < 50; ++i)
        other.push_back(randomFloat());
    EXPECT_EQ(first, second);
    EXPECT_NE(first, other);
}

TEST(RandomTest, RawAndUnitDrawsAreTheSameDrawShifted) {
    seedRandom(99);
    const float raw = randomFloatRaw();
    seedRandom(99);
    EXPECT_EQ(randomFloat(), raw - 1.0f);
}

TEST(RandomTest, SeedZeroStillGivesVariedValues) {
    seedRandom(0);
    const float a = randomFloat();
    bool varied = false;
    for (int i = 0; i < 10; ++i)
        varied = varied || randomFloat() != a;
    EXPECT_TRUE(varied);
}

TEST(RandomTest, RandomIntCoversZeroToNInclusiveEvenly) {
    seedRandom(5);
    constexpr int n = 4, draws = 50000;
    int counts[n + 1] = {};
    for (int i = 0; i < draws; ++i) {
        const int r = randomInt(n);
        ASSERT_GE(r, 0);
        ASSERT_LE(r, n);
        ++counts[r];
    }
    for (int c : counts)
        EXPECT_NEAR(c, draws / (n + 1), draws / (n + 1) / 10);
}

TEST(RandomTest, RandomIntOfZeroOrLessIsZero) {
    seedRandom(5);
    EXPECT_EQ(randomInt(0), 0);
    EXPECT_EQ(randomInt(-1), 0); // count - 1 of an empty list
    EXPECT_EQ(randomInt(INT_MIN), 0);
}

TEST(RandomTest, RandomIntHandlesTheLargestRange) {
    seedRandom(5);
    for (int i = 0; i < 1000; ++i)
        ASSERT_GE(randomInt(INT_MAX), 0);
}

} // namespace
