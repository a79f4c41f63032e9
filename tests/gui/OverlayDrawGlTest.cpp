// The shader-drawn overlays on the OpenGL driver under Xvfb: the suspicion meter's fill
// through its mask, the loading screen's picture and its bar in the mask's shape, the circle
// wipes half-way and the camera crossfade.
// Each test keeps its picture in the folder it starts in (shot-meter.png,
// shot-loading-bar.png, shot-wipe-*.png) and reads it back.
#include "core/Globals.h"
#include "gui/GUIImage.h"
#include "gui/GuiHooks.h"
#include "gui/hud/GUIHud.h"
#include "level/LevelManager.h"
#include "level/LoadingOverlay.h"
#include "render/ScreenQuads.h"
#include "render/ShaderCallbacks.h"
#include "render/ShaderManager.h"
#include "screens/ScreenManager.h"

#include "../render/RenderFixture.h"
#include "render/RenderManagers.h"
#include "support/GraphicsDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

using namespace irr;

namespace {

class OverlayDrawGlTest : public ::testing::Test, protected rendertest::RenderGlFixture {
protected:
    void SetUp() override {
        // The pictures go to the folder the test was started in (the build folder's), not
        // to the source folder the rendering works from.
        shotFolder = std::filesystem::current_path();
        ASSERT_TRUE(openRendering(core::dimension2du(1280, 720)));
        startRendering(EffectHandlerSetup{});
        ASSERT_GT(shaderManager->meterMaterial, 0) << "meter shader compiled";
        ASSERT_GT(shaderManager->circleMaterial, 0) << "circle shader compiled";
        levels = std::make_unique<LevelManager>(device);
        levelManager = levels.get();
    }
    void TearDown() override {
        levelManager = nullptr;
        levels.reset();
        resetGuiHooks();
        currentMeterValue = 0.0f;
        currentMeterAlpha = 1.0f;
        closeRendering();
    }
    // Draws one frame over the background and returns the picture, kept under the name.
    video::IImage* drawFrame(const char* name, const std::function<void()>& draw) {
        video::IVideoDriver* driver = device->getVideoDriver();
        driver->beginScene(true, true, background);
        draw();
        driver->endScene();
        video::IImage* shot = driver->createScreenShot();
        if (shot && name)
            driver->writeImageToFile(shot, (shotFolder / name).string().c_str());
        return shot;
    }
    static bool reddish(const video::SColor& c) { return c.getRed() > c.getGreen() + 80 && c.getRed() > c.getBlue() + 80; }

    // The HUD over an objective panel along the screen's bottom, which places its meter.
    GUIHud* addHudOverPanel() {
        gui::IGUIEnvironment* environment = device->getGUIEnvironment();
        auto* panel = new gui::IGUIElement(gui::EGUIET_ELEMENT, environment, environment->getRootGUIElement(), -1,
                                           core::recti(0, 500, 1280, 700));
        panel->drop();
        auto* hud = new GUIHud(environment, environment->getRootGUIElement());
        hud->drop();
        hud->ObjectivePanel = panel;
        return hud;
    }
    const video::SColor background{255, 40, 52, 70};
    std::unique_ptr<LevelManager> levels;
    std::filesystem::path shotFolder;
};

TEST_F(OverlayDrawGlTest, TheMeterFillShowsThroughItsMaskUpToTheValue) {
    guiHooks().suspicion.shown = [] { return std::optional<ShownSuspicion>(ShownSuspicion{50.0f, 50.0f, 50.0f, 0}); };
    GUIHud* hud = addHudOverPanel();
    video::IImage* shot = drawFrame("shot-meter.png", [&] { hud->drawSuspicionMeter(); });
    ASSERT_NE(shot, nullptr);
    const core::recti meter = hud->getMeterRect();
    EXPECT_EQ(meter, core::recti(400, 578, 880, 640));
    EXPECT_FLOAT_EQ(currentMeterValue, 0.5f) << "the last fill drawn is the value's";
    // Along the bar's middle: red fill left of the half, none right of it.
    const s32 w = meter.getWidth(), y = meter.getCenter().Y;
    const core::recti filled(meter.UpperLeftCorner.X + w / 10, y - 3, meter.UpperLeftCorner.X + w * 45 / 100, y + 3);
    const core::recti empty(meter.UpperLeftCorner.X + w * 55 / 100, y - 3, meter.UpperLeftCorner.X + w * 9 / 10, y + 3);
    EXPECT_GT(test::countPixels(shot, filled, reddish), filled.getArea() * 8 / 10);
    EXPECT_EQ(test::countPixels(shot, empty, reddish), 0);
    // Above and below the mask's bar no fill shows.
    const core::recti above(meter.UpperLeftCorner.X, meter.UpperLeftCorner.Y, meter.LowerRightCorner.X,
                            meter.UpperLeftCorner.Y + meter.getHeight() / 4);
    EXPECT_EQ(test::countPixels(shot, above, reddish), 0);
    // On the GUI's 2D material, as the game's frame draws it, the same picture.
    video::IImage* onGuiMaterial = drawFrame("shot-meter-gui-material.png", [&] {
        beginGuiMaterial2D(device->getVideoDriver());
        hud->drawSuspicionMeter();
        endGuiMaterial2D(device->getVideoDriver());
    });
    ASSERT_NE(onGuiMaterial, nullptr);
    const core::dimension2du size = shot->getDimension();
    int differing = 0;
    for (u32 y = 0; y < size.Height; ++y)
        for (u32 x = 0; x < size.Width; ++x)
            differing += onGuiMaterial->getPixel(x, y) != shot->getPixel(x, y) ? 1 : 0;
    EXPECT_EQ(differing, 0);
    onGuiMaterial->drop();
    shot->drop();
    hud->ObjectivePanel->remove();
    hud->remove();
}

// After a drop of the meter the trailing fill shows what was drained, from the pending value
// up to the value before the drop; with nothing drained it is not drawn.
TEST_F(OverlayDrawGlTest, TheTrailingFillShowsWhatADropDrained) {
    GUIHud* hud = addHudOverPanel();
    video::IImage* shots[2] = {};
    for (int drained = 0; drained < 2; ++drained) {
        const f32 before = drained ? 70.0f : 30.0f;
        guiHooks().suspicion.shown = [before] { return std::optional<ShownSuspicion>(ShownSuspicion{30.0f, 30.0f, before, 0}); };
        shots[drained] = drawFrame(drained ? "shot-meter-drained.png" : nullptr, [&] { hud->drawSuspicionMeter(); });
        ASSERT_NE(shots[drained], nullptr);
    }
    // Between 40 and 60 along the bar's middle the drained frame shows the trailing fill.
    const core::recti meter = hud->getMeterRect();
    const s32 w = meter.getWidth(), y = meter.getCenter().Y;
    const core::recti drainedPart(meter.UpperLeftCorner.X + w * 40 / 100, y - 3, meter.UpperLeftCorner.X + w * 60 / 100, y + 3);
    int changed = 0;
    for (s32 x = drainedPart.UpperLeftCorner.X; x < drainedPart.LowerRightCorner.X; ++x)
        for (s32 py = drainedPart.UpperLeftCorner.Y; py < drainedPart.LowerRightCorner.Y; ++py)
            changed += shots[0]->getPixel(x, py) != shots[1]->getPixel(x, py) ? 1 : 0;
    EXPECT_GT(changed, drainedPart.getArea() * 8 / 10);
    for (video::IImage* shot : shots)
        shot->drop();
    hud->ObjectivePanel->remove();
    hud->remove();
}

// The loading bar in the mask's shape up to the progress while the loading screen fills the
// screen; as the cover fades out over what comes in (the menu, the level) the bar is gone.
TEST_F(OverlayDrawGlTest, TheLoadingBarFillsTheMaskShapeUpToTheProgressUnderTheFullCoverOnly) {
    LoadingOverlay& overlay = levelManager->loadingOverlay;
    overlay.mode = LoadingOverlay::FadeToBlack;
    overlay.fadeValue = 1.0f;
    overlay.beginLoad();
    for (const f32 fade : {1.0f, 0.99f}) {
        SCOPED_TRACE(fade);
        overlay.fadeValue = fade;
        overlay.progress = 0.0f;
        video::IImage* without = drawFrame(nullptr, [&] { ScreenManager::drawLoadingOverlay(overlay); });
        overlay.progress = 0.5f;
        video::IImage* with = drawFrame(fade == 1.0f ? "shot-loading-bar.png" : "shot-loading-bar-fading.png",
                                        [&] { ScreenManager::drawLoadingOverlay(overlay); });
        ASSERT_NE(without, nullptr);
        ASSERT_NE(with, nullptr);
        // The pixels the bar's fill brightened: where they lie and how tall the bar is.
        s32 left = 1280, right = -1, top = 720, bottom = -1;
        for (u32 y = 0; y < 720; ++y)
            for (u32 x = 0; x < 1280; ++x) {
                const int more = static_cast<int>(with->getPixel(x, y).getLuminance()) -
                                 static_cast<int>(without->getPixel(x, y).getLuminance());
                if (more > 30) {
                    left = std::min(left, s32(x));
                    right = std::max(right, s32(x));
                    top = std::min(top, s32(y));
                    bottom = std::max(bottom, s32(y));
                }
            }
        without->drop();
        with->drop();
        if (fade < 1.0f) {
            EXPECT_LT(right, left) << "a fill drawn over a fading cover";
            continue;
        }
        EXPECT_FLOAT_EQ(currentMeterValue, 0.5f);
        ASSERT_GE(right, left) << "no fill drawn";
        EXPECT_GE(left, 384);
        EXPECT_NEAR(right, 640, 8) << "half of the bar, which runs from 30% to 70% of the width";
        EXPECT_GE(bottom - top + 1, 14) << "the mask's bar, not a thin strip";
        EXPECT_GT(top, 600);
    }
}

// The loading screen's picture fills the screen at its own proportions, after a fade to black
// and after a fade to white alike: each screen pixel above the bar shows the picture's pixel
// at the same place, the picture's bright middle mark included.
TEST_F(OverlayDrawGlTest, TheLoadingPictureFillsTheScreenAtItsOwnProportions) {
    video::IImage* picture =
        device->getVideoDriver()->createImageFromFile("Content/Screens/Backgrounds/Loading.png");
    ASSERT_NE(picture, nullptr);
    const core::dimension2du size = picture->getDimension();
    ASSERT_EQ(size.Width * 720, size.Height * 1280) << "a picture of the screen's proportions";
    for (const s32 mode : {LoadingOverlay::FadeToBlack, LoadingOverlay::FadeToWhite}) {
        SCOPED_TRACE(mode);
        LoadingOverlay& overlay = levelManager->loadingOverlay;
        overlay = LoadingOverlay{};
        overlay.mode = mode;
        overlay.fadeValue = 1.0f;
        overlay.beginLoad();
        video::IImage* shot = drawFrame(mode == LoadingOverlay::FadeToBlack ? "shot-loading-picture.png"
                                                                           : "shot-loading-picture-white-fade.png",
                                        [&] { ScreenManager::drawLoadingOverlay(overlay); });
        ASSERT_NE(shot, nullptr);
        // Sampled every 16 pixels: the mean difference of a channel stays within filtering's blur.
        f64 difference = 0.0;
        u32 samples = 0;
        for (u32 y = 8; y < 600; y += 16)
            for (u32 x = 8; x < 1280; x += 16) {
                const video::SColor drawn = shot->getPixel(x, y);
                const video::SColor own = picture->getPixel(x * size.Width / 1280, y * size.Height / 720);
                difference += std::abs(s32(drawn.getRed()) - s32(own.getRed())) +
                              std::abs(s32(drawn.getGreen()) - s32(own.getGreen())) +
                              std::abs(s32(drawn.getBlue()) - s32(own.getBlue()));
                samples += 3;
            }
        EXPECT_LT(difference / samples, 2.0);
        // The picture's bright mark, half-way across and at 250/360 of its height.
        const video::SColor mark = shot->getPixel(640, 500);
        EXPECT_GT(mark.getLuminance(), 180.0f) << mark.getRed() << " " << mark.getGreen() << " " << mark.getBlue();
        shot->drop();
    }
    picture->drop();
}

TEST_F(OverlayDrawGlTest, CircleWipesCoverTheEdgesAndLeaveTheMiddleHalfWay) {
    struct Case {
        LoadingOverlay::TransitionType mode;
        const char* shot;
        bool blackEdges;
    };
    for (const Case& c : {Case{LoadingOverlay::CircleWipeBlack, "shot-wipe-black.png", true},
                          Case{LoadingOverlay::CircleWipeImage, "shot-wipe-image.png", false}}) {
        SCOPED_TRACE(c.shot);
        LoadingOverlay& overlay = levelManager->loadingOverlay;
        overlay = LoadingOverlay{};
        overlay.mode = c.mode;
        overlay.startIntro();
        // Half-way through the wipe: the circle's radius half the screen height.
        overlay.fadeValue = 0.684f;
        video::IImage* shot = drawFrame(c.shot, [&] { ScreenManager::drawLoadingOverlay(overlay); });
        ASSERT_NE(shot, nullptr);
        EXPECT_EQ(shot->getPixel(640, 360), background) << "the middle is still open";
        EXPECT_EQ(shot->getPixel(640, 150), background);
        for (const core::vector2d<u32>& corner : {core::vector2d<u32>(4, 4), core::vector2d<u32>(1275, 715)}) {
            const video::SColor edge = shot->getPixel(corner.X, corner.Y);
            EXPECT_NE(edge, background) << "the edges are covered";
            if (c.blackEdges) {
                EXPECT_LT(edge.getLuminance(), 5.0f);
            }
        }
        shot->drop();
    }
}

// A camera cut's crossfade lays the last frame shown over the new one. While it is opaque
// the old frame covers a wide screen whole: no column or row of the new frame shows, the
// last ones included.
TEST_F(OverlayDrawGlTest, TheCrossfadePictureCoversAWideScreenWhole) {
    shaderManager->shaderLevel = 3; // the crossfade needs the game's shaders
    shaderManager->graphicsQuality = 0;
    ScreenManager screens(device->getGUIEnvironment());
    video::IVideoDriver* driver = device->getVideoDriver();
    const video::SColor lastFrame(255, 230, 200, 60);
    driver->beginScene(true, true, lastFrame);
    screens.captureCrossfade();
    driver->endScene();
    ASSERT_NE(screens.getCrossfadeTarget(), nullptr);
    screens.CrossfadeAlpha = 1.0f;
    video::IImage* shot = drawFrame("shot-crossfade.png", [&] { screens.draw(); });
    ASSERT_NE(shot, nullptr);
    const core::dimension2du size = shot->getDimension();
    ASSERT_EQ(size, core::dimension2du(1280, 720));
    const auto notLastFrame = [&](const video::SColor& c) {
        return std::abs(s32(c.getRed()) - s32(lastFrame.getRed())) > 8 ||
               std::abs(s32(c.getGreen()) - s32(lastFrame.getGreen())) > 8 ||
               std::abs(s32(c.getBlue()) - s32(lastFrame.getBlue())) > 8;
    };
    EXPECT_EQ(test::countPixels(shot, core::recti(0, 0, 1280, 720), notLastFrame), 0);
    for (const core::vector2d<u32>& corner : {core::vector2d<u32>(0, 0), core::vector2d<u32>(1279, 0),
                                              core::vector2d<u32>(0, 719), core::vector2d<u32>(1279, 719)})
        EXPECT_FALSE(notLastFrame(shot->getPixel(corner.X, corner.Y))) << corner.X << "," << corner.Y;
    shot->drop();
}

} // namespace

// A picture smaller than its element repeats across it: each tile starts again with the
// picture's left half, where a stretched or clamped draw would show the right edge.
TEST_F(OverlayDrawGlTest, ATiledPictureRepeatsAcrossItsElement) {
    video::IVideoDriver* driver = device->getVideoDriver();
    video::IImage* halves = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(8, 8));
    for (u32 y = 0; y < 8; ++y)
        for (u32 x = 0; x < 8; ++x)
            halves->setPixel(x, y, x < 4 ? video::SColor(255, 220, 20, 20) : video::SColor(255, 20, 20, 220));
    video::ITexture* texture = driver->addTexture("halves", halves);
    halves->drop();
    ASSERT_NE(texture, nullptr);
    gui::IGUIEnvironment* environment = device->getGUIEnvironment();
    auto* image = new GUIImage(environment, environment->getRootGUIElement(), -1, core::recti(100, 100, 132, 108));
    image->drop();
    ASSERT_TRUE(image->getTileImage());
    image->setImage(texture);
    video::IImage* shot = drawFrame("shot-tiled.png", [&] { environment->drawAll(); });
    ASSERT_NE(shot, nullptr);
    for (s32 tile = 0; tile < 4; ++tile) {
        EXPECT_TRUE(reddish(shot->getPixel(100 + tile * 8 + 1, 104))) << "tile " << tile << " starts red";
        EXPECT_FALSE(reddish(shot->getPixel(100 + tile * 8 + 6, 104))) << "tile " << tile << " ends blue";
    }
    shot->drop();
}
