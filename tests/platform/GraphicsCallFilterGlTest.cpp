// The engine selects every texture unit and loads its texture matrix at each material it
// sets; the game passes on only the selections a call needs and the loads that change a
// matrix, hands a software rasterizer its work every few hundred draws, and shows a game
// frame on it at the next frame's first clear.
#include "platform/GraphicsCallFilter.h"
#include "platform/GraphicsLibrary.h"
#include "platform/TextureFiltering.h"

#include "support/GraphicsDriver.h"

#include <irrlicht.h>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

using namespace irr;

namespace {

constexpr unsigned kTexture0 = 0x84C0;
constexpr unsigned kTextureBinding2D = 0x8069;
constexpr unsigned kTextureMatrix = 0x0BA8;

class GraphicsCallFilterGlTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = test::createOpenGLTestDevice(core::dimension2du(320, 240));
        ASSERT_NE(device, nullptr) << "needs an X server (the gl tests run under Xvfb)";
        driver = device->getVideoDriver();
        // The engine's own way to its extension entries: the game's lookup.
        using GetProc = void* (*)(const unsigned char*);
        const auto getProc = platform::glFunction<GetProc>("glXGetProcAddressARB");
        ASSERT_NE(getProc, nullptr);
        activeTexture = reinterpret_cast<void (*)(unsigned)>(
            getProc(reinterpret_cast<const unsigned char*>("glActiveTextureARB")));
        getIntegerv = platform::glFunction<void (*)(unsigned, int*)>("glGetIntegerv");
        getFloatv = platform::glFunction<void (*)(unsigned, float*)>("glGetFloatv");
        ASSERT_TRUE(activeTexture && getIntegerv && getFloatv);
        for (u32 layer = 0; layer < 4; ++layer) {
            video::IImage* image =
                driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(4, 4));
            image->fill(video::SColor(255, 60 * layer, 200, 40));
            material.setTexture(
                layer, driver->addTexture(("layer" + std::to_string(layer)).c_str(), image));
            image->drop();
        }
        material.Lighting = false;
        shifted.setTextureTranslate(0.25f, 0.5f);
        material.setTextureMatrix(2, shifted);
    }
    void TearDown() override {
        if (device)
            device->drop();
    }

    void drawQuads(int count) {
        const video::SColor white(255, 255, 255, 255);
        const video::S3DVertex vertices[] = {
            {-1, -1, 2, 0, 0, -1, white, 0, 1},
            {-1, 1, 2, 0, 0, -1, white, 0, 0},
            {1, 1, 2, 0, 0, -1, white, 1, 0},
            {1, -1, 2, 0, 0, -1, white, 1, 1},
        };
        const u16 indices[] = {0, 1, 2, 0, 2, 3};
        for (int i = 0; i < count; ++i) {
            driver->setMaterial(material);
            driver->drawIndexedTriangleList(vertices, 4, indices, 2);
        }
    }

    core::matrix4 textureMatrixOf(u32 unit) {
        activeTexture(kTexture0 + unit);
        core::matrix4 matrix;
        getFloatv(kTextureMatrix, matrix.pointer());
        return matrix;
    }

    IrrlichtDevice* device = nullptr;
    video::IVideoDriver* driver = nullptr;
    video::SMaterial material;
    core::matrix4 shifted;
    void (*activeTexture)(unsigned) = nullptr;
    void (*getIntegerv)(unsigned, int*) = nullptr;
    void (*getFloatv)(unsigned, float*) = nullptr;
};

} // namespace

TEST_F(GraphicsCallFilterGlTest, UnitsAreSelectedOnlyForCallsThatNeedThemAndEveryLayerStaysAsSet) {
    ASSERT_TRUE(driver->beginScene(true, true, video::SColor(255, 0, 0, 0)));
    const platform::GraphicsCallCounts before = platform::graphicsCallCounts();
    drawQuads(100);
    const platform::GraphicsCallCounts after = platform::graphicsCallCounts();
    // Four units selected for every material set; what reaches the driver is the first
    // material's bindings, not one selection a draw.
    EXPECT_GE(after.unitSelections - before.unitSelections, 400u);
    EXPECT_LT(after.unitSelectionsMade - before.unitSelectionsMade, 20u);
    EXPECT_GE(after.textureMatrixLoadsSkipped - before.textureMatrixLoadsSkipped, 396u);

    // Each unit holds its own layer's texture and matrix.
    int bound[4] = {};
    for (u32 unit = 0; unit < 4; ++unit) {
        activeTexture(kTexture0 + unit);
        getIntegerv(kTextureBinding2D, &bound[unit]);
        EXPECT_NE(bound[unit], 0) << unit;
        for (u32 other = 0; other < unit; ++other)
            EXPECT_NE(bound[unit], bound[other]) << unit;
    }
    // The engine hands a texture matrix's shift to the driver in the matrix's last row.
    core::matrix4 shiftedInTheDriver;
    shiftedInTheDriver.setTranslation(core::vector3df(0.25f, 0.5f, 0.0f));
    EXPECT_TRUE(textureMatrixOf(2).equals(shiftedInTheDriver));
    EXPECT_TRUE(textureMatrixOf(0).isIdentity());

    // A changed matrix reaches the driver, and one set back does too.
    core::matrix4 scaled;
    scaled.setTextureScale(2.0f, 3.0f);
    material.setTextureMatrix(1, scaled);
    drawQuads(1);
    EXPECT_TRUE(textureMatrixOf(1).equals(scaled));
    material.setTextureMatrix(1, core::IdentityMatrix);
    drawQuads(1);
    EXPECT_TRUE(textureMatrixOf(1).isIdentity());
    ASSERT_TRUE(driver->endScene());
}

TEST_F(GraphicsCallFilterGlTest, ASoftwareRasterizerIsHandedItsWorkEveryFewHundredDraws) {
    ASSERT_TRUE(platform::rendererRasterizesOnProcessor(platform::currentRendererName()))
        << platform::currentRendererName();
    ASSERT_TRUE(driver->beginScene(true, true, video::SColor(255, 0, 0, 0)));
    constexpr unsigned every = platform::kSoftwareRasterizerFlushDraws;
    const platform::GraphicsCallCounts start = platform::graphicsCallCounts();
    const int toTheBound = static_cast<int>(every - start.draws % every);
    drawQuads(toTheBound - 1);
    EXPECT_EQ(platform::graphicsCallCounts().flushes, start.flushes)
        << "one draw short of the bound";
    drawQuads(1);
    EXPECT_EQ(platform::graphicsCallCounts().flushes, start.flushes + 1) << "on the bound";
    drawQuads(static_cast<int>(every));
    EXPECT_EQ(platform::graphicsCallCounts().flushes, start.flushes + 2);
    ASSERT_TRUE(driver->endScene());
}

namespace {

// The colour at the window's centre as the X server shows it (0xRRGGBB).
unsigned long shownColour(IrrlichtDevice* device) {
    const video::SExposedVideoData data = device->getVideoDriver()->getExposedVideoData();
    auto* display = static_cast<Display*>(data.OpenGLLinux.X11Display);
    const auto window = static_cast<Window>(data.OpenGLLinux.X11Window);
    XSync(display, False);
    XImage* image = XGetImage(display, window, 40, 30, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return 0xFFFFFFFFul;
    const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

} // namespace

TEST(GraphicsCallFilterSwapGlTest, AGameFrameIsShownBeforeTheNextClearAndAnyOtherFrameAtOnce) {
    IrrlichtDevice* device = test::createOpenGLTestDevice(core::dimension2du(80, 60), true);
    ASSERT_NE(device, nullptr) << "needs an X server (the gl tests run under Xvfb)";
    video::IVideoDriver* driver = device->getVideoDriver();
    ASSERT_TRUE(platform::rendererRasterizesOnProcessor(platform::currentRendererName()));
    const video::SColor red(255, 255, 0, 0), green(255, 0, 255, 0), blue(255, 0, 0, 255);
    ASSERT_TRUE(driver->beginScene(true, true, blue));
    ASSERT_TRUE(driver->endScene());
    ASSERT_EQ(shownColour(device), 0x0000FFul) << "a swap not asked to wait is made at once";

    const platform::GraphicsCallCounts before = platform::graphicsCallCounts();
    ASSERT_TRUE(driver->beginScene(true, true, red));
    platform::deferNextBufferSwap();
    ASSERT_TRUE(driver->endScene());
    EXPECT_EQ(platform::graphicsCallCounts().swapsKeptBack, before.swapsKeptBack + 1);
    EXPECT_EQ(platform::graphicsCallCounts().swaps, before.swaps);
    EXPECT_EQ(shownColour(device), 0x0000FFul) << "the frame kept back";

    // The next frame's clear shows it first, and the frame after that is its own.
    ASSERT_TRUE(driver->beginScene(true, true, green));
    EXPECT_EQ(platform::graphicsCallCounts().swaps, before.swaps + 1);
    EXPECT_EQ(shownColour(device), 0xFF0000ul);
    ASSERT_TRUE(driver->endScene());
    EXPECT_EQ(shownColour(device), 0x00FF00ul);
    EXPECT_EQ(platform::graphicsCallCounts().swapsKeptBack, before.swapsKeptBack + 1);
    device->drop();
}
