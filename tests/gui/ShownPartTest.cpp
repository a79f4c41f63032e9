// Where a picture can change the screen: its pixels that are not transparent, carried onto
// the rectangle it is stretched over.
#include "gui/ShownPart.h"

#include <gtest/gtest.h>

#include <vector>

using namespace irr;

namespace {

const core::recti none(0, 0, 0, 0);

} // namespace

TEST(ShownPartTest, TheShownPixelsAreTheBoxOfEveryPixelWithAlpha) {
    struct Case {
        const char* name;
        std::vector<std::pair<u32, u32>> shown; // pixels of an 8 x 4 picture with alpha 1
        core::recti expected;
    };
    const Case cases[] = {
        {"none", {}, none},
        {"one corner pixel", {{7, 3}}, core::recti(7, 3, 8, 4)},
        {"two apart", {{1, 2}, {5, 0}}, core::recti(1, 0, 6, 3)},
        {"every corner", {{0, 0}, {7, 3}}, core::recti(0, 0, 8, 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A pitch wider than a row: the pixels past it are never read as pixels.
        std::vector<u32> pixels(10 * 4, 0x00FFFFFFu);
        for (u32 x = 8; x < 10; ++x)
            for (u32 y = 0; y < 4; ++y)
                pixels[y * 10 + x] = 0xFF000000u;
        for (const auto& [x, y] : c.shown)
            pixels[y * 10 + x] = 0x01000000u;
        EXPECT_EQ(findShownPixels(pixels.data(), core::dimension2du(8, 4), 40, video::ECF_A8R8G8B8), c.expected);
    }
    // The one-bit alpha of the 16-bit format; formats without alpha show whole.
    std::vector<u16> small(4 * 2, 0x7FFFu);
    small[1 * 4 + 2] = 0x8000u;
    EXPECT_EQ(findShownPixels(small.data(), core::dimension2du(4, 2), 8, video::ECF_A1R5G5B5),
              core::recti(2, 1, 3, 2));
    EXPECT_EQ(findShownPixels(small.data(), core::dimension2du(4, 2), 8, video::ECF_R5G6B5), core::recti(0, 0, 4, 2));
    EXPECT_EQ(findShownPixels(nullptr, core::dimension2du(4, 2), 8, video::ECF_A8R8G8B8), core::recti(0, 0, 4, 2));
}

TEST(ShownPartTest, TheShownPartOnScreenReachesOneTexelAndAPixelBeyondAndStaysInTheDestination) {
    struct Case {
        const char* name;
        core::recti shown, source, destination, expected;
    };
    const Case cases[] = {
        // One to one: two pixels of reach on each side.
        {"same size", core::recti(10, 10, 20, 20), core::recti(0, 0, 100, 100), core::recti(0, 0, 100, 100),
         core::recti(8, 8, 22, 22)},
        // Twice as large and moved: the texel's reach is two pixels, one more for rounding.
        {"stretched", core::recti(10, 10, 20, 20), core::recti(0, 0, 100, 100), core::recti(50, 0, 250, 200),
         core::recti(67, 17, 93, 43)},
        // At the picture's edge the reach ends at the destination's.
        {"at the edge", core::recti(0, 0, 5, 100), core::recti(0, 0, 100, 100), core::recti(0, 0, 100, 100),
         core::recti(0, 0, 7, 100)},
        // A source rectangle inside the picture.
        {"part of the picture", core::recti(60, 60, 70, 70), core::recti(50, 50, 100, 100),
         core::recti(0, 0, 50, 50), core::recti(8, 8, 22, 22)},
        {"nothing shows", none, core::recti(0, 0, 100, 100), core::recti(0, 0, 100, 100), none},
        {"shown part outside the source", core::recti(120, 0, 130, 10), core::recti(0, 0, 100, 100),
         core::recti(0, 0, 100, 100), none},
        {"empty source", core::recti(0, 0, 10, 10), none, core::recti(0, 0, 100, 100), none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(shownPartOnScreen(c.shown, c.source, c.destination), c.expected);
    }
}
