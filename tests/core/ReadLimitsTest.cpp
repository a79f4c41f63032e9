// The readers' rule: a count read from a file must fit in the bytes left, and what a stretch
// of a file is made into stays within a multiple of its bytes. Each on its bound and one past.
#include "core/ReadLimits.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(ReadLimitsTest, ACountFitsWhenItsElementsTakeNoMoreThanTheBytesLeft) {
    constexpr std::uint64_t most = UINT64_MAX;
    const struct {
        std::uint64_t count, elementBytes, bytesLeft;
        bool fits;
    } cases[] = {
        {4, 5, 20, true},  {5, 5, 20, false},  {0, 5, 0, true},     {1, 5, 4, false},
        {20, 0, 20, true}, {21, 0, 20, false}, // an element takes at least one byte
        {most, 2, most, false}, {most / 2, 2, most, true}, // no product to overflow
    };
    for (const auto& c : cases)
        EXPECT_EQ(countFits(c.count, c.elementBytes, c.bytesLeft), c.fits)
            << c.count << " x " << c.elementBytes << " in " << c.bytesLeft;
}

TEST(ReadLimitsTest, WhatIsMadeOfABlockStaysWithinSixteenTimesItsBytesAndFourKilobytes) {
    EXPECT_TRUE(expansionFits(16 * 100 + 4096, 100));
    EXPECT_FALSE(expansionFits(16 * 100 + 4097, 100));
    EXPECT_TRUE(expansionFits(4096, 0));
    EXPECT_FALSE(expansionFits(4097, 0));
    EXPECT_TRUE(expansionFits(UINT64_MAX, UINT64_MAX / 8)); // no product to overflow
}
