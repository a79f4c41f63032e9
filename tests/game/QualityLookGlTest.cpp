// Every graphics quality draws a story level as High draws it, with fewer effects: on the
// OpenGL driver under Xvfb the game starts with a stored quality and shows the level held
// still (nothing updates from its load on) from one place; the graphics options then choose
// High and the level is shown again; for Basic the options choose Basic once more and the
// level is loaded anew. Each picture is compared with the High one in blocks of 50 x 50: no
// block's mean colour strays far, and none is blown out to white where High's is not. The
// pictures stay in the build folder (quality-look-<stored>-<step>.png); those of a failed run
// are copied aside as well (quality-look-<stored>-<step>-failed-<time>.png), out of the next
// run's way.
#include "GameFixture.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "level/LevelManager.h"
#include "render/EffectHandler.h"
#include "render/RenderServices.h"
#include "render/ShaderManager.h"
#include "screens/ScreenManager.h"
#include "screens/menus/GUIGraphicsOptionsScreen.h"
#include "screens/menus/GUIOptionsScreen.h"

#include "support/GraphicsDriver.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

using namespace irr;

namespace {

constexpr const char* storyLevel = "Content/Levels/Story_Greenhouse.irr";
constexpr u32 blockSide = 50;
// Furthest a block's mean may stray from High's in one channel, and most of a block that may
// turn white where High's is coloured. Lit at its corners, the floor's one large quad comes within
// about 45 of the shader's lighting of every pixel; blown out, it strayed by 120.
constexpr double meanBound = 64.0;
constexpr double whiteShareBound = 0.25;

bool white(const video::SColor& c) { return c.getRed() > 245 && c.getGreen() > 245 && c.getBlue() > 245; }
// A channel well below white: a pixel High draws in colour, not one a few levels short of
// white (the greenhouse glass), which light choice may tip either way.
bool coloured(const video::SColor& c) { return std::min({c.getRed(), c.getGreen(), c.getBlue()}) < 215; }

// Mean red, green and blue of the block, and its share of pixels white where High's are coloured.
struct Block {
    double mean[3] = {0, 0, 0};
    double blownOut = 0.0;
};

Block measure(video::IImage* shot, video::IImage* high, u32 bx, u32 by) {
    Block block;
    for (u32 y = by; y < by + blockSide; ++y)
        for (u32 x = bx; x < bx + blockSide; ++x) {
            const video::SColor c = shot->getPixel(x, y);
            block.mean[0] += c.getRed();
            block.mean[1] += c.getGreen();
            block.mean[2] += c.getBlue();
            block.blownOut += white(c) && coloured(high->getPixel(x, y));
        }
    for (double* value : {&block.mean[0], &block.mean[1], &block.mean[2], &block.blownOut})
        *value /= blockSide * blockSide;
    return block;
}

void expectLikeHigh(video::IImage* seen, video::IImage* high, const char* what) {
    ASSERT_TRUE(seen && high) << what;
    ASSERT_EQ(seen->getDimension(), high->getDimension()) << what;
    const core::dimension2du size = high->getDimension();
    for (u32 by = 0; by + blockSide <= size.Height; by += blockSide)
        for (u32 bx = 0; bx + blockSide <= size.Width; bx += blockSide) {
            const Block a = measure(seen, high, bx, by), h = measure(high, high, bx, by);
            const std::string where =
                std::string(what) + ", block at " + std::to_string(bx) + "," + std::to_string(by);
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(a.mean[c], h.mean[c], meanBound) << where << ", channel " << c;
            EXPECT_LE(a.blownOut, whiteShareBound) << where << " is blown out";
        }
}

class QualityLookGlTest : public GameFixture, public ::testing::WithParamInterface<int> {
protected:
    ~QualityLookGlTest() override {
        for (video::IImage* shot : {started, high, chosen})
            if (shot)
                shot->drop();
    }
    // A GUI element with an id on the root holds the world still while the frames still draw
    // (the GUI owns it; it goes with the game). The frames are drawn from the test's place.
    void holdTheWorldStill() {
        gui::IGUIEnvironment* gui = gameDevice->getGUIEnvironment();
        auto* gate = new gui::IGUIElement(gui::EGUIET_ELEMENT, gui, gui->getRootGUIElement(), 1,
                                          core::recti());
        gate->drop();
        everyFrame = [] {
            const auto& viewportCamera = renderServices().cameras.viewportCamera;
            if (scene::ICameraSceneNode* camera = viewportCamera ? viewportCamera(0) : nullptr) {
                camera->setPosition(core::vector3df(0, 15, -28));
                camera->updateAbsolutePosition();
                camera->setTarget(core::vector3df(0, 2, 2));
            }
        };
    }
    static void loadTheStoryLevel() {
        screenManager->closeAllScreens();
        levelManager->queueLoadLevel(storyLevel, true);
    }
    bool levelShown() {
        return stableFor(levelManager->getCurrentLevelPath() == core::stringw(storyLevel) &&
                             !levelManager->loadingOverlay.isBusy() &&
                             levelManager->getLevelEvents().empty() &&
                             screenManager->getScreenStack().empty(),
                         3);
    }
    // The frame drawn before this step (single-buffered: the front buffer).
    video::IImage* shoot(const char* name) {
        video::IVideoDriver* driver = gameDevice->getVideoDriver();
        video::IImage* shot = driver->createScreenShot();
        if (shot)
            driver->writeImageToFile(shot, (std::string(PADDLESTONE_SHOT_DIR) + "/quality-look-" +
                                            std::to_string(GetParam()) + "-" + name + ".png")
                                               .c_str());
        return shot;
    }
    // The graphics page from the main menu chooses the quality (its row's handler). Opened
    // from the main menu, the options keep the level running behind them: here they hold it
    // still too, or its animations would run on for as long as the pages take to come in (the
    // greenhouse lamp's colour cycles), a time that grows with a busy machine.
    void chooseQuality(s32 quality) {
        const std::string which = " for quality " + std::to_string(quality);
        const auto holdStill = [](GUIScreen* screen) {
            ASSERT_NE(screen, nullptr);
            screen->setKeepTimerRunning(false);
            screen->PassUpdate = false;
        };
        waitFor(
            "the options" + which, [] { return true; },
            [holdStill] {
                GUIOptionsScreen* options = openOptionsScreen(true);
                holdStill(options);
                options->onGraphics(nullptr);
                holdStill(dynamic_cast<GUIGraphicsOptionsScreen*>(screenManager->getTopScreen()));
            });
        waitFor(
            "the graphics page" + which,
            [] {
                auto* page = dynamic_cast<GUIGraphicsOptionsScreen*>(screenManager->getTopScreen());
                return page && page->getFadeState() == GUIScreen::Shown;
            },
            [quality] {
                static_cast<GUIGraphicsOptionsScreen*>(screenManager->getTopScreen())
                    ->onQuality(quality);
                screenManager->closeAllScreens();
            });
    }

    // Copies this run's pictures to names of their own.
    void keepPicturesAside() const {
        const std::string stamp = std::to_string(std::chrono::system_clock::now().time_since_epoch().count());
        for (const char* step : {"started", "high", "chosen"}) {
            const std::filesystem::path picture = std::filesystem::path(PADDLESTONE_SHOT_DIR) /
                                                  ("quality-look-" + std::to_string(GetParam()) + "-" + step + ".png");
            std::error_code error;
            if (std::filesystem::exists(picture, error))
                std::filesystem::copy_file(picture, picture.parent_path() /
                                                        (picture.stem().string() + "-failed-" + stamp + ".png"),
                                           error);
        }
    }

    video::IImage* started = nullptr;
    video::IImage* high = nullptr;
    video::IImage* chosen = nullptr;
};

TEST_P(QualityLookGlTest, TheStoryLevelLooksAsAtHigh) {
    const int stored = GetParam();
    test::keepGraphicsDriverLoaded();
    useSingleBuffer();
    // A level's new objects animate once in their first frame, by that frame's time: on the
    // wall clock the frame after a load would span the load, and the greenhouse lamp's colour
    // (which cycles) would stand where a busy machine's load time put it. Each frame is one
    // frame step of the game's time instead, so every picture finds it in the same place.
    useSteadyFrames();
    writeSettings([stored] {
        setSettingString("Graphics_Driver", "OpenGL");
        setSettingBool("Graphics_Vsync", false);
        setSettingInt("Graphics_Antialiasing", 0);
        setSettingInt("Graphics_ScreenWidth", 800);
        setSettingInt("Graphics_ScreenHeight", 450);
        // Shadows darken whole blocks at High only: an effect, not the scene's colours.
        setSettingBool("Graphics_Shadows", false);
        setSettingInt("Graphics_Quality", stored);
    });
    waitFor("the title", titleShown, [this] {
        holdTheWorldStill();
        loadTheStoryLevel();
    });
    waitFor(
        "the level at the stored quality", [this] { return levelShown(); },
        [this, stored] {
            EXPECT_EQ(shaderManager->areShadersEnabled(), stored != 2);
            started = shoot("started");
        });
    chooseQuality(0);
    waitFor(
        "the level again at High", [this] { return levelShown(); },
        [this] {
            EXPECT_TRUE(shaderManager->areShadersEnabled());
            EXPECT_TRUE(effectHandler->hardwareSkinning && effectHandler->instancing);
            high = shoot("high");
        });
    if (stored == 2) {
        // Basic from the options shows the calibration level: the story level comes after.
        chooseQuality(2);
        waitFor(
            "the calibration level",
            [] {
                return levelManager->getCurrentLevelPath() ==
                           core::stringw(GUIGraphicsOptionsScreen::calibrationLevel) &&
                       levelManager->getLevelEvents().empty() &&
                       !levelManager->loadingOverlay.isBusy();
            },
            [] { loadTheStoryLevel(); });
        waitFor(
            "the level at Basic from the options", [this] { return levelShown(); },
            [this] {
                EXPECT_FALSE(shaderManager->areShadersEnabled());
                EXPECT_FALSE(effectHandler->hardwareSkinning || effectHandler->instancing);
                chosen = shoot("chosen");
            });
    }
    ASSERT_NO_FATAL_FAILURE(playGame());
    expectLikeHigh(started, high, "as started");
    if (stored == 2)
        expectLikeHigh(chosen, high, "as chosen in the options");
    if (HasFailure())
        keepPicturesAside();
}

// Stored 1 is the Direct3D 9 shader-model-2 choice, which OpenGL draws as High; 2 is Basic.
INSTANTIATE_TEST_SUITE_P(StoredQualities, QualityLookGlTest, ::testing::Values(1, 2));

} // namespace
