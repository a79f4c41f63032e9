// Under Xvfb the OpenGL renderer is Mesa's llvmpipe, whose anisotropic filter scans every
// texel under a pixel's footprint. A material that asks for the filter gets it turned off, and
// faces seen almost edge-on (the footprint there runs towards infinity) draw in a moment.
#include "platform/TextureFiltering.h"

#include "support/GraphicsDriver.h"

#include <irrlicht.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

using namespace irr;

namespace {

// A checkered texture with mip maps, so that every filter path has levels to choose from.
video::ITexture* checkerTexture(video::IVideoDriver* driver) {
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(16, 16));
    for (u32 y = 0; y < 16; ++y)
        for (u32 x = 0; x < 16; ++x)
            image->setPixel(x, y, ((x ^ y) & 1) ? video::SColor(255, 200, 80, 40) : video::SColor(255, 40, 80, 200));
    video::ITexture* texture = driver->addTexture("checker", image);
    image->drop();
    return texture;
}

// Textured quads whose planes pass just beside the eye, fanned round the view direction:
// each shows as a thin sliver along its own horizon, where the texture coordinates of the
// pixels next to it run off towards infinity.
void drawEdgeOnFan(video::IVideoDriver* driver) {
    const u16 indices[] = {0, 1, 2, 0, 2, 3};
    const video::SColor white(255, 255, 255, 255);
    for (int i = 0; i < 48; ++i) {
        const f32 angle = core::PI * i / 24.0f;
        const core::vector3df side(std::cos(angle), std::sin(angle), 0.0f);
        const core::vector3df normal(-side.Y, side.X, 0.0f);
        const core::vector3df offset = normal * (0.0005f * (1 + i % 6));
        const video::S3DVertex vertices[] = {
            {offset - side * 2.0f + core::vector3df(0, 0, 0.5f), normal, white, {0.0f, 0.0f}},
            {offset - side * 2.0f + core::vector3df(0, 0, 50.0f), normal, white, {0.0f, 1.0f}},
            {offset + side * 2.0f + core::vector3df(0, 0, 50.0f), normal, white, {1.0f, 1.0f}},
            {offset + side * 2.0f + core::vector3df(0, 0, 0.5f), normal, white, {1.0f, 0.0f}},
        };
        driver->drawIndexedTriangleList(vertices, 4, indices, 2);
    }
}

} // namespace

TEST(TextureFilteringGlTest, EdgeOnFacesDrawPromptlyWithTheFilterAskedFor) {
    IrrlichtDevice* device = test::createOpenGLTestDevice(core::dimension2du(640, 480));
    ASSERT_NE(device, nullptr) << "needs an X server (the gl tests run under Xvfb)";
    video::IVideoDriver* driver = device->getVideoDriver();
    ASSERT_NE(platform::currentRendererName().find("llvmpipe"), std::string::npos)
        << platform::currentRendererName();
    EXPECT_FALSE(platform::anisotropicFilterAllowed());
    EXPECT_EQ(platform::anisotropicFilterLevel(true), 0);

    video::SMaterial material;
    material.Lighting = false;
    material.BackfaceCulling = false;
    material.setTexture(0, checkerTexture(driver));
    material.setFlag(video::EMF_TRILINEAR_FILTER, true);
    material.setFlag(video::EMF_ANISOTROPIC_FILTER, true);
    EXPECT_TRUE(platform::limitAnisotropicFilter(material));

    core::matrix4 projection;
    projection.buildProjectionMatrixPerspectiveFovLH(1.2f, 640.0f / 480.0f, 0.1f, 100.0f);
    core::matrix4 view;
    view.buildCameraLookAtMatrixLH(core::vector3df(0, 0, 0), core::vector3df(0, 0, 1), core::vector3df(0, 1, 0));

    const auto started = std::chrono::steady_clock::now();
    for (int frame = 0; frame < 3; ++frame) {
        ASSERT_TRUE(driver->beginScene(true, true, video::SColor(255, 0, 0, 0)));
        driver->setTransform(video::ETS_PROJECTION, projection);
        driver->setTransform(video::ETS_VIEW, view);
        driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
        driver->setMaterial(material);
        drawEdgeOnFan(driver);
        ASSERT_TRUE(driver->endScene());
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // Turned off, the three frames take about a second on a loaded machine; with the filter
    // on they took 45 s there, and a sliver closer still to its horizon never ends.
    EXPECT_LT(seconds, 20.0);

    // The slivers are drawn: textured pixels fan out from the middle of the picture.
    video::IImage* shot = driver->createScreenShot();
    ASSERT_NE(shot, nullptr);
    const int textured = test::countPixels(shot, core::recti(0, 0, 640, 480),
                                           [](const video::SColor& c) { return c.getRed() + c.getBlue() > 60; });
    shot->drop();
    EXPECT_GT(textured, 2000);
    device->drop();
}
