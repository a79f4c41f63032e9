// What the game asks of the driver's texture filter: no anisotropic filtering on renderers
// that scan a pixel's texels without bound.
#include "platform/TextureFiltering.h"

#include <SMaterial.h>

#include <gtest/gtest.h>

TEST(TextureFilteringTest, OnlyMesasSoftwareRasterizersLeaveTheFilterUnbounded) {
    const struct {
        const char* renderer;
        bool bounded;
    } cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", false},
        {"softpipe", false},
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", true},
        {"AMD Radeon RX 580 Series (polaris10, LLVM 15.0.6, DRM 3.49)", true},
        {"NVIDIA GeForce GTX 1060/PCIe/SSE2", true},
        {"", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::rendererBoundsAnisotropicFilter(c.renderer), c.bounded) << c.renderer;
        EXPECT_EQ(platform::rendererRasterizesOnProcessor(c.renderer), !c.bounded) << c.renderer;
    }
}

TEST(TextureFilteringTest, LimitingTurnsEveryLayerOffOnlyWhereTheFilterIsNotAllowed) {
    irr::video::SMaterial material;
    material.setFlag(irr::video::EMF_ANISOTROPIC_FILTER, true);
    EXPECT_FALSE(platform::limitAnisotropicFilter(material, true));
    for (const irr::video::SMaterialLayer& layer : material.TextureLayer)
        EXPECT_EQ(layer.AnisotropicFilter, 255);

    EXPECT_TRUE(platform::limitAnisotropicFilter(material, false));
    for (const irr::video::SMaterialLayer& layer : material.TextureLayer)
        EXPECT_EQ(layer.AnisotropicFilter, 0);
    // Already off: nothing to change.
    EXPECT_FALSE(platform::limitAnisotropicFilter(material, false));
}

// The null driver has no OpenGL context: no renderer name, and the filter stays allowed.
TEST(TextureFilteringTest, WithoutAContextTheFilterIsAllowed) {
    EXPECT_EQ(platform::currentRendererName(), "");
    EXPECT_TRUE(platform::anisotropicFilterAllowed());
    EXPECT_EQ(platform::anisotropicFilterLevel(true), 255);
    EXPECT_EQ(platform::anisotropicFilterLevel(false), 0);
}
