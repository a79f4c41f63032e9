// What the shipped levels and the menus look like on the OpenGL driver under Xvfb, against
// pictures recorded once: every level from its own start view a fixed game time after its
// load, the title with its main menu and every main-menu screen once it has come in, and the
// greenhouse at the other graphics settings. A picture is kept as the mean colour of each of
// 32 x 24 blocks (tests/game/records/pictures/<case>.txt); the screenshots stay in the build
// folder (level-picture-<case>.png).
//
// Everything drawn follows the engine's clock (fades, animated meshes, water, particles, the
// shadow maps' refresh): the test holds that clock and moves it by one frame target each
// frame, so a busy machine draws the same pictures, only later. Particles draw from the
// engine's random numbers: their sequence starts afresh with each level. The post-processing's
// random vectors (seeded from the wall clock) belong to the ambient occlusion, which the game
// never turns on; nothing else in the picture is random.
#include "GameFixture.h"

#include "camera/CameraManager.h"
#include "camera/CameraObject.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "gui/GUIOptionsList.h"
#include "gui/GUIScrollList.h"
#include "level/LevelManager.h"
#include "screens/ScreenManager.h"
#include "screens/levels/GUIStoryLevelSelectScreen.h"
#include "screens/menus/GUIAudioOptionsScreen.h"
#include "screens/menus/GUIControlOptionsScreen.h"
#include "screens/menus/GUIControlsRemapScreen.h"
#include "screens/menus/GUIDialogScreen.h"
#include "screens/menus/GUIGraphicsOptionsScreen.h"
#include "screens/menus/GUIMainScreen.h"
#include "screens/menus/GUIOptionsScreen.h"
#include "screens/menus/GUIPauseScreen.h"
#include "screens/menus/GUIPlayScreen.h"

#include "support/GraphicsDriver.h"
#include "support/RecordedResult.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace irr;

namespace {

constexpr int pictureWidth = 640;
constexpr int pictureHeight = 480;
constexpr u32 blocksAcross = 32;
constexpr u32 blocksDown = 24;
// Frames a level plays from its load to its picture (half a second of game time).
constexpr int framesAfterLoad = 30;
// A block's mean may differ by this much per channel between runs. Repeated runs (busy
// machine, sanitizer build) drew the same pixels; the margin lets an edge that lands on a
// rounding boundary fall a pixel aside.
constexpr double colourTolerance = 2.0;

// The engine's clock in the frame's own terms: a start, then one frame target per frame.
constexpr u32 frameTargetMicroseconds = 16700;

// Backdrops the menus show through their own camera (far from the origin, named after the
// level): their start view is the empty sky, so the test looks through that camera.
const std::set<std::string> backdrops = {"CalibrationLevel", "Menu_Garden", "Menu_Greenhouse", "Menu_Shed",
                                         "WorkshopPreview"};

// Every shipped level (Content/Levels/*.irr), one case each.
const std::vector<std::string> shippedLevels = {
    "AnimatorDemo", "CalibrationLevel", "CameraModesDemo", "CharacterDemo", "CutsceneDemo",
    "JointDemo", "MainScreen_Background", "Menu_Garden", "Menu_Greenhouse", "Menu_Shed",
    "ObjectivesDemo", "PhysicsDemo", "ResetDemo", "Story_Garden", "Story_Greenhouse",
    "Story_Shed", "Sub_ShedShelf", "SwimDemo", "TieDemo", "TriggerActionsDemo",
    "TriggerControlDemo", "WorkshopPreview"};

// The picture as block means: one line per row of blocks, red green blue of each block.
std::string blockMeans(video::IImage* shot) {
    const core::dimension2du size = shot->getDimension();
    const u32 blockWidth = size.Width / blocksAcross, blockHeight = size.Height / blocksDown;
    std::string text;
    char number[16];
    for (u32 by = 0; by < blocksDown; ++by) {
        text += "row";
        std::snprintf(number, sizeof number, " %u", by);
        text += number;
        for (u32 bx = 0; bx < blocksAcross; ++bx) {
            unsigned long sum[3] = {0, 0, 0};
            for (u32 y = by * blockHeight; y < (by + 1) * blockHeight; ++y)
                for (u32 x = bx * blockWidth; x < (bx + 1) * blockWidth; ++x) {
                    const video::SColor c = shot->getPixel(x, y);
                    sum[0] += c.getRed();
                    sum[1] += c.getGreen();
                    sum[2] += c.getBlue();
                }
            const unsigned long count = static_cast<unsigned long>(blockWidth) * blockHeight;
            for (unsigned long channel : sum) {
                std::snprintf(number, sizeof number, " %lu", (channel + count / 2) / count);
                text += number;
            }
        }
        text += '\n';
    }
    return text;
}

class LevelPictureFixture : public GameFixture {
protected:
    // The OpenGL driver at the picture's size; `adjust` may change more settings.
    void startWith(const std::function<void()>& adjust = {}) {
        test::keepGraphicsDriverLoaded();
        useSingleBuffer();
        useSteadyFrames();
        writeSettings([&adjust] {
            setSettingString("Graphics_Driver", "OpenGL");
            setSettingBool("Graphics_Vsync", false);
            setSettingInt("Graphics_Antialiasing", 0);
            setSettingInt("Graphics_FullscreenMode", 0);
            setSettingInt("Graphics_ScreenWidth", pictureWidth);
            setSettingInt("Graphics_ScreenHeight", pictureHeight);
            if (adjust)
                adjust();
        });
        holdTheClock(1000);
    }
    // From this frame on the engine's clock reads `startMs` and one frame target more each
    // frame; it never runs by itself (its speed is nought), whether the game starts or stops it.
    void holdTheClock(u32 startMs) {
        const int startFrame = frame;
        everyFrame = [this, startMs, startFrame] {
            ITimer* timer = gameDevice->getTimer();
            timer->setSpeed(0.0f);
            const std::uint64_t elapsed = static_cast<std::uint64_t>(frame - startFrame) * frameTargetMicroseconds / 1000;
            timer->setTime(startMs + static_cast<u32>(elapsed));
        };
    }
    // The level loads in this frame (the title's screens closed); the clock starts again at a
    // round time and the random numbers afresh, so the level's picture does not depend on how
    // many frames the title took.
    void loadLevel(const std::string& level) {
        screenManager->closeAllScreens();
        levelManager->unloadLevel();
        gameDevice->getRandomizer()->reset();
        holdTheClock(100000);
        everyFrame();
        ASSERT_TRUE(levelManager->loadLevel(("Content/Levels/" + level + ".irr").c_str()));
        loadedAt = frame;
        if (backdrops.count(level)) {
            auto* camera = dynamic_cast<CameraObject*>(
                gameDevice->getSceneManager()->getSceneNodeFromName((level + "Camera").c_str()));
            ASSERT_NE(camera, nullptr) << level;
            cameraManagers[0]->pushCamera(camera, nullptr, 0.0f, false);
        }
    }
    // The frame drawn before this step (single-buffered: the front buffer), kept as a PNG and
    // compared with its record.
    void shoot(const std::string& name) {
        video::IVideoDriver* driver = gameDevice->getVideoDriver();
        video::IImage* shot = driver->createScreenShot();
        ASSERT_NE(shot, nullptr);
        driver->writeImageToFile(shot, (std::string(PADDLESTONE_SHOT_DIR) + "/level-picture-" + name + ".png").c_str());
        const core::dimension2du size = shot->getDimension();
        const bool fullSize = size == core::dimension2du(pictureWidth, pictureHeight);
        const std::string means = blockMeans(shot);
        shot->drop();
        ASSERT_TRUE(fullSize) << size.Width << " x " << size.Height;
        test::expectMatchesRecord("game/records/pictures/" + name + ".txt", means,
                                  test::RecordTolerance{colourTolerance, 0.0});
    }
    // The level plays its frames from its load, then its picture is taken.
    void pictureTheLevel(const std::string& level, const std::string& name) {
        waitFor("the title", titleShown, [this, level] { loadLevel(level); });
        waitFor(
            "the level's picture", [this] { return frame >= loadedAt + framesAfterLoad; },
            [this, name] {
                EXPECT_FALSE(levelManager->levelLoading);
                shoot(name);
            });
        ASSERT_NO_FATAL_FAILURE(playGame());
    }

    // The screen of that type is on top, has come in, its rows stand still and it stays.
    template <class Screen>
    bool settled() {
        return settledScreen(dynamic_cast<Screen*>(screenManager->getTopScreen()));
    }
    template <class Screen>
    static Screen* top() {
        return dynamic_cast<Screen*>(screenManager->getTopScreen());
    }

    int loadedAt = 0;
};

class LevelPictureGlTest : public LevelPictureFixture, public ::testing::WithParamInterface<std::string> {};

TEST_P(LevelPictureGlTest, TheLevelLooksAsRecordedFromItsStartView) {
    startWith();
    pictureTheLevel(GetParam(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(ShippedLevels, LevelPictureGlTest, ::testing::ValuesIn(shippedLevels),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

using ShippedLevelListTest = LevelPictureFixture;

// A level added to the game gets a picture too.
TEST_F(ShippedLevelListTest, EveryShippedLevelHasAPictureCase) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator("Content/Levels"))
        if (entry.path().extension() == ".irr")
            found.push_back(entry.path().stem().string());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, shippedLevels);
}

// The greenhouse (lights, shadows, water, a fountain's particles) at the graphics settings
// the options offer besides the defaults.
struct QualityCase {
    const char* name;
    int quality;
    bool shadows;
    int shadowQuality;
    int shadowDistance;
    bool reflection;
};

class QualityPictureGlTest : public LevelPictureFixture, public ::testing::WithParamInterface<QualityCase> {};

TEST_P(QualityPictureGlTest, TheGreenhouseLooksAsRecordedAtTheSetting) {
    const QualityCase setting = GetParam();
    startWith([setting] {
        setSettingInt("Graphics_Quality", setting.quality);
        setSettingBool("Graphics_Shadows", setting.shadows);
        setSettingInt("Graphics_ShadowQuality", setting.shadowQuality);
        setSettingInt("Graphics_ShadowDistance", setting.shadowDistance);
        setSettingBool("Graphics_Reflection", setting.reflection);
    });
    pictureTheLevel("Story_Greenhouse", std::string("Story_Greenhouse-") + setting.name);
}

INSTANTIATE_TEST_SUITE_P(Settings, QualityPictureGlTest,
                         ::testing::Values(QualityCase{"Basic", 2, true, 2048, 1, true},
                                           QualityCase{"LowShadowsFarNoReflection", 0, true, 512, 2, false},
                                           QualityCase{"NoShadows", 0, false, 2048, 1, true}),
                         [](const ::testing::TestParamInfo<QualityCase>& info) { return std::string(info.param.name); });

// The mean brightness of each block of the screen's left three fifths, left of the main menu's
// panel (whose rows slide in over the first frames).
std::vector<double> blocksLeftOfThePanel() {
    video::IImage* shot = gameDevice->getVideoDriver()->createScreenShot();
    if (!shot)
        return {};
    const core::dimension2du size = shot->getDimension();
    const u32 blockWidth = size.Width / blocksAcross, blockHeight = size.Height / blocksDown;
    const u32 across = blocksAcross * 3 / 5;
    std::vector<double> means;
    for (u32 by = 0; by < blocksDown; ++by)
        for (u32 bx = 0; bx < across; ++bx) {
            double sum = 0.0;
            for (u32 y = by * blockHeight; y < (by + 1) * blockHeight; ++y)
                for (u32 x = bx * blockWidth; x < (bx + 1) * blockWidth; ++x)
                    sum += shot->getPixel(x, y).getLuminance();
            means.push_back(sum / (blockWidth * blockHeight));
        }
    shot->drop();
    return means;
}

// The title and the main menus, each once it has come in: the options' reset question too,
// and the pause menu over the first story level. The title's first frame already shows it as
// it stays, from its own view.
class MenuPictureGlTest : public LevelPictureFixture, public ::testing::WithParamInterface<std::string> {
protected:
    // The road from the title to the screen; its last step takes the picture.
    void roadTo(const std::string& screen) {
        const auto shot = [this, screen] { shoot(screen); };
        std::function<void()> fromTitle = [] { top<GUIPlayScreen>()->openOptions(nullptr); };
        if (screen == "Title") {
            nextFrame("the first frame", {});
            nextFrame("the first frame drawn", [this] { firstFrame = blocksLeftOfThePanel(); });
            fromTitle = [this, shot] {
                const std::vector<double> settled = blocksLeftOfThePanel();
                ASSERT_FALSE(settled.empty());
                ASSERT_EQ(settled.size(), firstFrame.size());
                double widest = 0.0;
                for (std::size_t i = 0; i < settled.size(); ++i)
                    widest = std::max(widest, std::fabs(settled[i] - firstFrame[i]));
                EXPECT_LT(widest, 8.0) << "the first frame shows another view than the title";
                shot();
            };
        }
        else if (screen == "StorySelect")
            fromTitle = [] { top<GUIPlayScreen>()->openStorySelect(nullptr); };
        else if (screen == "Pause")
            fromTitle = [this] { loadLevel("Story_Garden"); };
        waitFor("the title", [this] { return titleShown() && settled<GUIPlayScreen>(); }, fromTitle);
        if (screen == "Title")
            return;
        if (screen == "StorySelect")
            return waitFor("the story select", [this] { return settled<GUIStoryLevelSelectScreen>(); }, shot);
        if (screen == "Pause") {
            // The first story level plays a while, then the pause menu comes over it.
            waitFor("the level playing", [this] { return frame >= loadedAt + framesAfterLoad; },
                    [] { screenManager->setPauseScreenVisible(true); });
            return waitFor("the pause menu", [this] { return settled<GUIPauseScreen>(); }, shot);
        }
        if (screen == "Options")
            return waitFor("the options", [this] { return settled<GUIOptionsScreen>(); }, shot);
        if (screen == "ResetDialog") {
            waitFor("the options", [this] { return settled<GUIOptionsScreen>(); },
                    [] { top<GUIOptionsScreen>()->onReset(nullptr); });
            return waitFor("the reset dialog", [this] { return settled<GUIDialogScreen>(); }, shot);
        }
        if (screen == "GraphicsOptions") {
            waitFor("the options", [this] { return settled<GUIOptionsScreen>(); },
                    [] { top<GUIOptionsScreen>()->onGraphics(nullptr); });
            return waitFor("the graphics options", [this] { return settled<GUIGraphicsOptionsScreen>(); }, shot);
        }
        if (screen == "AudioOptions") {
            waitFor("the options", [this] { return settled<GUIOptionsScreen>(); },
                    [] { top<GUIOptionsScreen>()->onAudio(nullptr); });
            return waitFor("the audio options", [this] { return settled<GUIAudioOptionsScreen>(); }, shot);
        }
        waitFor("the options", [this] { return settled<GUIOptionsScreen>(); },
                [] { top<GUIOptionsScreen>()->onControls(nullptr); });
        if (screen == "ControlOptions")
            return waitFor("the control options", [this] { return settled<GUIControlOptionsScreen>(); }, shot);
        ASSERT_EQ(screen, "ControlsRemap");
        waitFor("the control options", [this] { return settled<GUIControlOptionsScreen>(); },
                [] { top<GUIControlOptionsScreen>()->onRemapControls(nullptr); });
        waitFor("the remapping", [this] { return settled<GUIControlsRemapScreen>(); }, shot);
    }
    std::vector<double> firstFrame;
};

TEST_P(MenuPictureGlTest, TheScreenLooksAsRecordedOnceItHasComeIn) {
    startWith();
    ASSERT_NO_FATAL_FAILURE(roadTo(GetParam()));
    ASSERT_NO_FATAL_FAILURE(playGame());
}

// A second game on a held save folder says so on its title screen on a panel like the
// notifications': dark, with white text.
TEST_F(MenuPictureGlTest, TheSecondGamesNoticeIsAPanelLikeTheNotifications) {
    const std::filesystem::path folder = dir.path() / "data" / "Paddlestone";
    std::filesystem::create_directories(folder);
    const int held = ::open((folder / "Paddlestone.lock").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0) << "the other game's lock";
    startWith();
    waitFor("the title", [this] { return titleShown() && settled<GUIPlayScreen>(); }, [] {
        const GUIScreen* title = screenManager->getScreenStack().back();
        ASSERT_EQ(std::string(title->getTypeName()), "GUIMainScreen");
        const gui::IGUIElement* notice = static_cast<const GUIMainScreen*>(title)->getSaveFolderWarning();
        ASSERT_NE(notice, nullptr);
        video::IImage* shot = gameDevice->getVideoDriver()->createScreenShot();
        ASSERT_NE(shot, nullptr);
        const core::recti area = notice->getAbsolutePosition();
        const int pixels = area.getArea();
        const int dark = test::countPixels(shot, area, [](const video::SColor& c) { return c.getLuminance() < 90; });
        const int white = test::countPixels(shot, area, [](const video::SColor& c) { return c.getLuminance() > 200; });
        shot->drop();
        EXPECT_GT(dark, pixels / 2) << "the panel is dark";
        EXPECT_GT(white, pixels / 50) << "the text is white";
        EXPECT_LT(white, pixels / 4);
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
    ::close(held);
}

INSTANTIATE_TEST_SUITE_P(Screens, MenuPictureGlTest,
                         ::testing::Values("Title", "Options", "GraphicsOptions", "AudioOptions", "ControlOptions",
                                           "ControlsRemap", "StorySelect", "ResetDialog", "Pause"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

} // namespace
