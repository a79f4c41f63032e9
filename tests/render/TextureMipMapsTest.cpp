// The driver's mip-map switch while a TextureMipMaps lives, and its own value afterwards.
#include "render/TextureMipMaps.h"

#include "support/NullDevice.h"

#include <gtest/gtest.h>

using namespace irr;

TEST(TextureMipMapsTest, TheSwitchHoldsWhileTheObjectLivesAndComesBackAfter) {
    test::NullDevice device;
    video::IVideoDriver* driver = device->getVideoDriver();
    for (const bool before : {true, false}) {
        driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, before);
        for (const bool made : {true, false}) {
            {
                const TextureMipMaps scope(driver, made);
                EXPECT_EQ(driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS), made);
                {
                    // Scopes nest: the inner one gives back the outer one's value.
                    const TextureMipMaps inner(driver, !made);
                    EXPECT_EQ(driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS), !made);
                }
                EXPECT_EQ(driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS), made);
            }
            EXPECT_EQ(driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS), before);
        }
    }
    const TextureMipMaps noDriver(nullptr, false);
}
