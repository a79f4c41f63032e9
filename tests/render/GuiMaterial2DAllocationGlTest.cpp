// A frame's GUI switches the OpenGL driver between its 2D and 3D modes (a 2D picture, a shader
// quad such as the HUD's meter, the scene of the next frame); on the GUI's 2D material these
// switches allocate nothing. Counted through the program's own operator new
// (support/CountingNew), which is why this test is a program of its own.
#include "render/ScreenQuads.h"

#include "support/CountingNew.h"
#include "support/GraphicsDriver.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

using namespace irr;

namespace {

class GuiMaterial2DAllocationGlTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        device = test::createOpenGLTestDevice(core::dimension2du(320, 240));
        ASSERT_NE(device, nullptr) << "needs an X server (the gl tests run under Xvfb)";
        driver = device->getVideoDriver();
        picture = driver->addTexture(core::dimension2du(16, 16), "picture");
        ASSERT_NE(picture, nullptr);
        // The scene's material, with its texture matrices as the game's drawn materials have.
        for (u32 layer = 0; layer < video::MATERIAL_MAX_TEXTURES; ++layer)
            scene.getTextureMatrix(layer);
        scene.Lighting = false;
    }
    void TearDown() override {
        counting_new::counting = false;
        if (device)
            device->drop();
    }

    // The allocations of one frame: a 3D draw, then the GUI (2D, a 2D draw on the override 2D
    // material of its own, a 3D quad, 2D again).
    long frame() {
        counting_new::count = 0;
        counting_new::counting = true;
        driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
        driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
        driver->setMaterial(scene);
        driver->drawVertexPrimitiveList(triangle, 3, indices, 1, video::EVT_STANDARD, scene::EPT_TRIANGLES,
                                        video::EIT_16BIT);
        const bool onGuiMaterial = GetParam();
        if (onGuiMaterial)
            beginGuiMaterial2D(driver);
        driver->draw2DImage(picture, core::position2di(10, 10));
        // A draw that switches the override 2D material on for itself (a tiled picture).
        driver->enableMaterial2D(true);
        driver->draw2DImage(picture, core::position2di(30, 10));
        restoreMaterial2D(driver);
        drawScreenQuad(driver, screenQuadMaterial(video::EMT_SOLID, picture), core::recti(40, 40, 80, 80));
        driver->draw2DRectangle(video::SColor(255, 200, 0, 0), core::recti(100, 10, 140, 50));
        if (onGuiMaterial)
            endGuiMaterial2D(driver);
        driver->endScene();
        counting_new::counting = false;
        return counting_new::count.load();
    }

    IrrlichtDevice* device = nullptr;
    video::IVideoDriver* driver = nullptr;
    video::ITexture* picture = nullptr;
    video::SMaterial scene;
    video::S3DVertex triangle[3] = {
        video::S3DVertex(-0.5f, -0.5f, 0, 0, 0, -1, video::SColor(255, 0, 0, 255), 0, 1),
        video::S3DVertex(0, 0.5f, 0, 0, 0, -1, video::SColor(255, 0, 0, 255), 0.5f, 0),
        video::S3DVertex(0.5f, -0.5f, 0, 0, 0, -1, video::SColor(255, 0, 0, 255), 1, 1)};
    const u16 indices[3] = {0, 1, 2};
};

// Off the GUI's material the driver makes its texture matrices anew at every switch into 3D.
TEST_P(GuiMaterial2DAllocationGlTest, ModeSwitchesAllocateOnlyOffTheGuiMaterial) {
    for (int warm = 0; warm < 3; ++warm)
        frame();
    const long allocations = frame();
    if (GetParam())
        EXPECT_EQ(allocations, 0);
    else
        EXPECT_GE(allocations, 4) << "the engine's own 2D material has no texture matrices";
}

INSTANTIATE_TEST_SUITE_P(Material2D, GuiMaterial2DAllocationGlTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "OnTheGuiMaterial" : "OnTheEngines";
                         });

} // namespace
