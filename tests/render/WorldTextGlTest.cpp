// Text in the world and the head-mounted-display pass on the OpenGL driver under Xvfb:
// bitmap and TrueType text objects where they stand, a speech bubble part way through its
// reveal, the eye target's layer in the warp material, and both lens-warped eye views side
// by side.
// PADDLESTONE_KEEP_SCREENSHOT=/path/shot.png keeps the pictures (shot-text.png,
// shot-bubble.png, shot-hmd.png).
#include "render/HmdRenderer.h"
#include "render/TextBubbleObject.h"
#include "render/TextObject.h"

#include "core/Globals.h"
#include "gui/fonts/FontCache.h"
#include "support/ScreenConnections.h"
#include "support/GraphicsDriver.h"
#include "support/TempDir.h"

#include "RenderFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

using namespace irr;

namespace {

class WorldTextGlTest : public ::testing::Test {
protected:
    void open(const core::dimension2du& size) {
        ASSERT_TRUE(rendertest::rasterizeOnTestThread());
        rendertest::resetRenderGlobals();
        workingDir = std::make_unique<test::ScopedWorkingDir>(test::sourceDir());
        device = test::createOpenGLTestDevice(size);
        ASSERT_NE(device, nullptr) << "no OpenGL device (run under Xvfb)";
        gameDevice = device;
        scene = device->getSceneManager();
        driver = device->getVideoDriver();
        connectGameObjectsToScreens(); // the world text's fonts
    }
    void TearDown() override {
        test::disconnectGameObjectsFromScreens();
        destroyHmdOutput();
        if (scene)
            scene->clear();
        clearFontCache();
        if (device)
            device->drop();
        rendertest::resetRenderGlobals();
        workingDir.reset();
    }
    // Draws a frame with drawAll (or the draw function) and returns its screenshot.
    video::IImage* shoot(const char* suffix, const std::function<void()>& draw = {}) {
        for (int frame = 0; frame < 2; ++frame) {
            device->run();
            scene->getRootSceneNode()->OnAnimate(device->getTimer()->getTime());
            driver->beginScene(true, true, video::SColor(255, 200, 200, 200));
            if (draw)
                draw();
            else
                scene->drawAll();
            driver->endScene();
        }
        video::IImage* shot = driver->createScreenShot();
        rendertest::keepScreenshot(driver, shot, suffix);
        return shot;
    }
    TextObject* addText(const char* fontPath, s32 fontSize, const wchar_t* text, const core::vector3df& at,
                        video::SColor top, video::SColor bottom) {
        auto* object = new TextObject(scene->getRootSceneNode(), scene, -1);
        object->drop();
        io::IAttributes* in = device->getFileSystem()->createEmptyAttributes(driver);
        in->addVector3d("Position", at);
        in->addString("FontPath", fontPath);
        in->addInt("FontSize", fontSize);
        in->addString("Text", text);
        in->addColor("ColorTop", top);
        in->addColor("ColorBottom", bottom);
        object->deserializeAttributes(in);
        in->drop();
        object->updateAbsolutePosition();
        return object;
    }
    static int darkPixels(video::IImage* shot, const core::recti& area) {
        return test::countPixels(shot, area, [](const video::SColor& c) { return c.getLuminance() < 120; });
    }

    test::TempDir dir;
    std::unique_ptr<test::ScopedWorkingDir> workingDir;
    IrrlichtDevice* device = nullptr;
    scene::ISceneManager* scene = nullptr;
    video::IVideoDriver* driver = nullptr;
};

TEST_F(WorldTextGlTest, BitmapAndTrueTypeTextStandWhereTheyArePlaced) {
    open(core::dimension2du(1280, 720));
    scene::ICameraSceneNode* camera = scene->addCameraSceneNode(nullptr, core::vector3df(0, 0, -60));
    camera->setTarget(core::vector3df(0, 0, 0));
    // Upper half: the bitmap font, centred on its node; lower half: TrueType glyphs from
    // the node to the right.
    TextObject* bitmap = addText("Content/Font/NoMoveBitmap.xml", 0, L"Bitmap text", core::vector3df(0, 12, 0),
                                 video::SColor(255, 150, 20, 20), video::SColor(255, 20, 20, 150));
    TextObject* trueType = addText("Content/Font/NoMove.ttf", 64, L"TrueType", core::vector3df(-20, -8, 0),
                                   video::SColor(255, 20, 90, 20), video::SColor(255, 20, 90, 20));
    ASSERT_NE(bitmap->getFont(), nullptr);
    EXPECT_EQ(bitmap->getGlyphRecords().size(), 11u);
    EXPECT_EQ(trueType->getGlyphNodes().size(), 8u);

    video::IImage* shot = shoot("-text");
    ASSERT_NE(shot, nullptr);
    scene::ISceneCollisionManager* collision = scene->getSceneCollisionManager();
    const core::position2di bitmapAt = collision->getScreenCoordinatesFrom3DPosition(bitmap->getAbsolutePosition());
    const core::position2di trueTypeAt =
        collision->getScreenCoordinatesFrom3DPosition(trueType->getAbsolutePosition());
    // The bitmap strip is centred on its node: ink on both sides of it, none far outside.
    EXPECT_GT(darkPixels(shot, core::recti(bitmapAt.X - 150, bitmapAt.Y - 30, bitmapAt.X, bitmapAt.Y + 30)), 300);
    EXPECT_GT(darkPixels(shot, core::recti(bitmapAt.X, bitmapAt.Y - 30, bitmapAt.X + 150, bitmapAt.Y + 30)), 300);
    EXPECT_EQ(darkPixels(shot, core::recti(0, 0, 1280, 60)), 0);
    // TrueType glyphs begin at their node and run to the right.
    EXPECT_GT(darkPixels(shot, core::recti(trueTypeAt.X, trueTypeAt.Y - 80, trueTypeAt.X + 500, trueTypeAt.Y + 80)),
              2000);
    EXPECT_EQ(darkPixels(shot, core::recti(0, trueTypeAt.Y - 80, trueTypeAt.X - 10, trueTypeAt.Y + 80)), 0);
    // Colours: the bitmap text shades from red at its top to blue at its bottom; the
    // TrueType text is green.
    const auto redMinusBlue = [&](const core::recti& area) {
        double sum = 0.0;
        const int n = test::countPixels(shot, area, [&](const video::SColor& c) {
            if (c.getLuminance() >= 120)
                return false;
            sum += static_cast<double>(c.getRed()) - c.getBlue();
            return true;
        });
        return n ? sum / n : 0.0;
    };
    const double upper = redMinusBlue(core::recti(bitmapAt.X - 150, bitmapAt.Y - 30, bitmapAt.X + 150, bitmapAt.Y - 4));
    const double lower = redMinusBlue(core::recti(bitmapAt.X - 150, bitmapAt.Y + 4, bitmapAt.X + 150, bitmapAt.Y + 30));
    EXPECT_GT(upper, lower + 20.0) << "upper " << upper << ", lower " << lower;
    const int green = test::countPixels(shot, core::recti(0, 0, 1280, 720), [](const video::SColor& c) {
        return c.getGreen() > c.getRed() + 40 && c.getGreen() > c.getBlue() + 40;
    });
    EXPECT_GT(green, 500);
    // Their boxes' lines are an editor's aid: none in play.
    const int boxLines = test::countPixels(shot, core::recti(0, 0, 1280, 720), [](const video::SColor& c) {
        return std::abs(static_cast<int>(c.getRed()) - 208) < 4 && std::abs(static_cast<int>(c.getGreen()) - 195) < 4 &&
               std::abs(static_cast<int>(c.getBlue()) - 152) < 4;
    });
    EXPECT_EQ(boxLines, 0);
    shot->drop();
}

TEST_F(WorldTextGlTest, SpeechBubbleShowsItsRevealedLettersOnTheCard) {
    open(core::dimension2du(1280, 720));
    scene::ICameraSceneNode* camera = scene->addCameraSceneNode(nullptr, core::vector3df(0, 0, -40));
    camera->setTarget(core::vector3df(0, 0, 0));
    auto* bubble = new TextBubbleObject(scene->getRootSceneNode(), scene, -1);
    bubble->drop();
    io::IAttributes* in = device->getFileSystem()->createEmptyAttributes(driver);
    in->addString("FontPath", "Content/Font/NoMove.ttf");
    in->addInt("FontSize", 48);
    in->addString("Text", "Hello there!\\How are you?");
    in->addColor("ColorTop", video::SColor(255, 30, 30, 30));
    in->addColor("ColorBottom", video::SColor(255, 30, 30, 30));
    bubble->deserializeAttributes(in);
    in->drop();
    ASSERT_EQ(bubble->getGlyphCount(), 24);
    bubble->advanceReveal(18.5f / 15.0f); // "Hello there!" and "How a"
    EXPECT_EQ(bubble->countRevealedGlyphs(), 19);
    video::IImage* shot = shoot("-bubble");
    ASSERT_NE(shot, nullptr);
    // The card is the pale paper colour and covers the middle of the screen.
    const int paper = test::countPixels(shot, core::recti(0, 0, 1280, 720), [](const video::SColor& c) {
        return c.getRed() > 240 && c.getGreen() > 240 && c.getBlue() > 230;
    });
    EXPECT_GT(paper, 40000);
    const int ink = test::countPixels(shot, core::recti(0, 0, 1280, 720),
                                      [](const video::SColor& c) { return c.getLuminance() < 80; });
    EXPECT_GT(ink, 3000);
    shot->drop();
}

// The warp program samples the eye picture from the first texture unit: the render target
// goes on layer 0 of the distortion material and every other layer stays empty.
TEST_F(WorldTextGlTest, TheDistortionMaterialTakesTheEyeTargetOnLayerZeroAlone) {
    open(core::dimension2du(64, 64));
    HmdRenderer renderer(device, HmdDescription(), 10.0f);
    ASSERT_NE(renderer.renderTarget, nullptr);
    EXPECT_EQ(renderer.distortionMaterial.getTexture(0), renderer.renderTarget);
    for (u32 layer = 1; layer < video::MATERIAL_MAX_TEXTURES; ++layer)
        EXPECT_EQ(renderer.distortionMaterial.getTexture(layer), nullptr) << "layer " << layer;
}

TEST_F(WorldTextGlTest, DistortionPassDrawsTwoBarrelWarpedEyes) {
    // The test screen is 720 lines high: the eyes' 800-line viewports lose their bottom rows.
    open(core::dimension2du(1280, 720));
    // A wall of straight bars in front of a camera that looks along -Z.
    scene::ICameraSceneNode* camera = scene->addCameraSceneNode(nullptr, core::vector3df(0, 0, 0));
    for (int i = -3; i <= 3; ++i) {
        scene::IMeshSceneNode* bar = scene->addCubeSceneNode(1.0f, nullptr, -1, core::vector3df(0, i * 8.0f, -40));
        bar->setScale(core::vector3df(200.0f, 1.5f, 1.0f));
        bar->setMaterialFlag(video::EMF_LIGHTING, false);
        bar->getMaterial(0).DiffuseColor = video::SColor(255, 255, 255, 255);
        for (u32 v = 0; v < bar->getMesh()->getMeshBuffer(0)->getVertexCount(); ++v)
            static_cast<video::S3DVertex*>(bar->getMesh()->getMeshBuffer(0)->getVertices())[v].Color =
                video::SColor(255, 250, 250, 60);
    }
    HmdRenderer renderer(device, HmdDescription(), 10.0f);
    ASSERT_TRUE(renderer.isMaterialCompiled());
    ASSERT_NE(renderer.renderTarget, nullptr);
    EXPECT_EQ(renderer.renderTarget->getSize(), core::dimension2du(813, 1017));
    scene->setActiveCamera(camera);
    video::IImage* shot = shoot("-hmd", [&] { renderer.renderHmdEyes(); });
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(scene->getActiveCamera(), camera);

    // Two eye pictures side by side, each black where the warp leaves the picture.
    const auto bright = [](const video::SColor& c) { return c.getLuminance() > 100; };
    const int left = test::countPixels(shot, core::recti(0, 0, 640, 720), bright);
    const int right = test::countPixels(shot, core::recti(640, 0, 1280, 720), bright);
    EXPECT_GT(left, 20000);
    EXPECT_GT(right, 20000);
    EXPECT_NEAR(left, right, left / 5);
    const auto black = [](const video::SColor& c) { return c.getLuminance() < 5; };
    EXPECT_EQ(test::countPixels(shot, core::recti(0, 0, 20, 20), black), 400);
    EXPECT_EQ(test::countPixels(shot, core::recti(1260, 700, 1280, 720), black), 400);

    // A straight bar away from the middle bends: in the left eye, the bar above the centre
    // sits lower near the lens centre than it does further out (barrel distortion).
    const auto barRow = [&](s32 x) {
        for (s32 y = 80; y < 400; ++y)
            if (shot->getPixel(static_cast<u32>(x), static_cast<u32>(y)).getLuminance() > 100)
                return y;
        return -1;
    };
    const s32 lensX = 320 + static_cast<s32>(renderer.lensShift * 320.0f);
    const s32 atCentre = barRow(lensX);
    const s32 outward = barRow(lensX + 180);
    ASSERT_GT(atCentre, 0);
    ASSERT_GT(outward, 0);
    EXPECT_GT(outward - atCentre, 4) << "centre row " << atCentre << ", outer row " << outward;
    shot->drop();
}

} // namespace
