// The main road on the OpenGL driver under Xvfb, with the real registrations and frame loop
// and keys injected where the window delivers them: the title screen over its background
// level; Enter on New Game loads the first story level behind the loading overlay, whose
// first frame shows the loading screen's picture, spinner and bar (main-road-1c-loading.png); Escape
// pauses; Restart from the beginning asks and reloads the level; Quit asks and returns to
// the title screen. Each step is checked on the screen stack, the level and a screenshot
// that is not black and differs from the step before; the pictures stay in the build folder
// (main-road-1-title.png ...). The roads by keyboard and by gamepad then play the story
// levels: New Game and the first level playing by itself, and in demo mode the other two
// chosen in the story select (main-road-keyboard-1-title.png ...).
#include "GameFixture.h"

#include "camera/CameraManager.h"
#include "camera/CameraObject.h"
#include "core/app/GameApplication.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "gui/GUIImage.h"
#include "gui/GUIScreen.h"
#include "gui/GuiCommon.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "platform/FakePadBackend.h"
#include "player/InputManager.h"
#include "player/devices/GamepadDevice.h"
#include "render/ShaderManager.h"
#include "screens/ScreenManager.h"
#include "screens/levels/GUIStoryLevelSelectScreen.h"
#include "screens/levels/LevelCatalogue.h"
#include "screens/menus/GUIMainScreen.h"
#include "triggers/CheckpointObject.h"

#include "support/GraphicsDriver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

using namespace irr;

namespace {

constexpr const wchar_t* mainRoadLevel = L"Content/Levels/Story_Garden.irr";

// The window is 800 x 450 unless PADDLESTONE_ROAD_SIZE (e.g. "1280x720") asks for another
// size (the README's pictures).
void useOpenGLOnTheMainRoad() {
    int width = 800, height = 450;
    if (const char* size = std::getenv("PADDLESTONE_ROAD_SIZE"))
        std::sscanf(size, "%dx%d", &width, &height);
    setSettingString("Graphics_Driver", "OpenGL");
    setSettingBool("Graphics_Vsync", false);
    setSettingInt("Graphics_Antialiasing", 0);
    setSettingInt("Graphics_ScreenWidth", width);
    setSettingInt("Graphics_ScreenHeight", height);
}

void useDemoModeOnTheMainRoad() {
    useOpenGLOnTheMainRoad();
    setSettingBool("System_DemoMode", true);
}

int mainRoadLoads = 0;
void countMainRoadLoad() { ++mainRoadLoads; }

double meanLuminance(video::IImage* image, const core::recti& area) {
    double sum = 0.0;
    for (s32 y = area.UpperLeftCorner.Y; y < area.LowerRightCorner.Y; ++y)
        for (s32 x = area.UpperLeftCorner.X; x < area.LowerRightCorner.X; ++x)
            sum += image->getPixel(x, y).getLuminance();
    return area.getArea() > 0 ? sum / area.getArea() : 0.0;
}

// The share of pixels that are not (nearly) black, and that differ clearly between two
// pictures of the same size.
double litShare(video::IImage* image) {
    const core::dimension2du size = image->getDimension();
    const int lit = test::countPixels(image, core::recti(0, 0, size.Width, size.Height), [](const video::SColor& c) {
        return c.getRed() + c.getGreen() + c.getBlue() > 30;
    });
    return static_cast<double>(lit) / (size.Width * size.Height);
}

double changedShare(video::IImage* a, video::IImage* b) {
    const core::dimension2du size = a->getDimension();
    int changed = 0;
    for (u32 y = 0; y < size.Height; ++y)
        for (u32 x = 0; x < size.Width; ++x) {
            const video::SColor p = a->getPixel(x, y), q = b->getPixel(x, y);
            const int d = std::abs(static_cast<int>(p.getRed()) - static_cast<int>(q.getRed())) +
                          std::abs(static_cast<int>(p.getGreen()) - static_cast<int>(q.getGreen())) +
                          std::abs(static_cast<int>(p.getBlue()) - static_cast<int>(q.getBlue()));
            changed += d > 24;
        }
    return static_cast<double>(changed) / (size.Width * size.Height);
}

// The menu inputs of the road, given by the keyboard or by pad 0.
enum class RoadInput { Down, Confirm, Pause };

class MainRoadGlTest : public GameFixture {
protected:
    ~MainRoadGlTest() override {
        if (previous)
            previous->drop();
        if (firstLoadingFrame)
            firstLoadingFrame->drop();
        platform::setPadBackend(nullptr);
    }
    // One step of the road: runs when the condition holds (checked every frame), then the
    // action; the next step waits for the frame after. A step that does not come within its
    // bound fails the road with its name.
    // A step that loads a level takes longer.
    static constexpr double levelLoadSeconds = 120.0;
    struct Step {
        const char* name;
        std::function<bool()> ready;
        std::function<void()> act;
        double boundSeconds = stepBoundSeconds;
    };
    void shoot(const char* name) {
        video::IVideoDriver* driver = gameDevice->getVideoDriver();
        video::IImage* shot = driver->createScreenShot();
        ASSERT_NE(shot, nullptr) << name;
        driver->writeImageToFile(shot, (std::string(PADDLESTONE_SHOT_DIR) + "/main-road-" + name + ".png").c_str());
        EXPECT_GT(litShare(shot), 0.2) << name << ": the picture is not black";
        if (previous) {
            EXPECT_GT(changedShare(previous, shot), 0.02) << name << ": the picture changed from the step before";
            previous->drop();
        }
        previous = shot;
    }
    void press(EKEY_CODE key) {
        focusBefore = screenManager->getTopScreenFocus();
        postKey(key, true);
        keyUps.push_back(key);
    }
    // The last input has been let go, and the game has seen it up: a button held on into the
    // next press would make no new press.
    bool inputLetGo() const { return frame > letGoAt && keyUps.empty() && !padUp; }
    // The top screen's focus has moved since the last input, and the screen takes input.
    bool focusMoved() const {
        return inputLetGo() && topShown() && screenManager->getTopScreenFocus() != focusBefore;
    }
    // The top screen, and every screen under it, has faded in.
    static bool topShown() {
        GUIScreen* top = screenManager->getTopScreen();
        return top && top->getFadeState() == GUIScreen::Shown;
    }
    static bool allShown() {
        const auto& stack = screenManager->getScreenStack();
        return !stack.empty() && std::all_of(stack.begin(), stack.end(), [](GUIScreen* screen) {
                   return screen->getFadeState() == GUIScreen::Shown;
               });
    }
    static std::string topType() {
        GUIScreen* top = screenManager->getTopScreen();
        return top ? top->getTypeName() : "";
    }
    // A question dialog is the only screen on the stack, faded in.
    static bool dialogShown() {
        return topType() == "GUIScreen" && screenManager->getScreenStack().size() == 1 && topShown();
    }
    static bool pauseShown() { return topType() == "GUIPauseScreen" && topShown(); }
    static bool settled() { return !levelManager->loadingOverlay.isBusy() && levelManager->getLevelEvents().empty(); }
    template <class Text> static bool onLevel(const Text* path) {
        return levelManager->getCurrentLevelPath() == core::stringw(path);
    }
    static s32 overrideCameraID() {
        CameraObject* camera = cameraManagers[0] ? cameraManagers[0]->getOverrideCamera() : nullptr;
        return camera ? camera->getID() : -1;
    }

    // Plays by pad 0 from now on (plugged in before the game starts).
    void usePad() {
        auto backend = std::make_unique<platform::FakePadBackend>();
        pad = backend.get();
        pad->setConnected(0, true);
        platform::setPadBackend(std::move(backend));
    }
    void push(RoadInput input) {
        if (pad) {
            focusBefore = screenManager->getTopScreenFocus();
            static constexpr u16 buttons[] = {platform::padButton::dpadDown, platform::padButton::a,
                                              platform::padButton::start};
            pad->setButtons(0, buttons[static_cast<int>(input)]);
            padUp = true;
            return;
        }
        static constexpr EKEY_CODE keys[] = {KEY_DOWN, KEY_RETURN, KEY_ESCAPE};
        press(keys[static_cast<int>(input)]);
    }
    bool padReady() const {
        return !pad || (inputManager->getGamepad() && inputManager->getGamepad()->isConnected(0));
    }

    // Runs the game along the road; each step's inputs are let go in the next frame, and
    // `watch` looks at every frame.
    void driveRoad(const std::vector<Step>& road, const std::function<void()>& watch = {}) {
        everyFrame = [this, watch] {
            if (!keyUps.empty() || padUp)
                letGoAt = frame;
            for (EKEY_CODE key : keyUps)
                postKey(key, false);
            keyUps.clear();
            if (padUp)
                pad->setButtons(0, 0);
            padUp = false;
            watchPlayedLevel();
            if (watch)
                watch();
        };
        for (const Step& step : road)
            waitFor(step.name, step.ready, step.act, step.boundSeconds);
        playGame();
    }
    // The log of the road holds no error, no warning and no file the engine could not open.
    void expectACleanLog() {
        for (const std::string& line : logLines())
            EXPECT_TRUE(line.rfind("ERROR: ", 0) == std::string::npos && line.rfind("Warning: ", 0) == std::string::npos &&
                        line.find("Could not open file") == std::string::npos)
                << line;
    }
    // The pause menu's Quit row asks, and Yes returns to the title screen.
    // A story level's script ends it by itself after a while: once the road has reached the
    // level it plays, leaving it before the road has paused it fails the road at once (the
    // step it waited for there can no longer come).
    void playLevel(const wchar_t* level) {
        playedLevel = level;
        playedLevelReached = false;
    }
    void watchPlayedLevel() {
        if (!playedLevel)
            return;
        if (onLevel(playedLevel))
            playedLevelReached = true;
        else if (playedLevelReached)
            FAIL() << "the level " << core::stringc(playedLevel).c_str() << " ended before the step \""
                   << waitingStep() << "\"";
    }
    // (From the pause menu shown.)
    void quitFromThePause(std::vector<Step>& road, int downs) {
        for (int i = 0; i < downs; ++i)
            road.push_back({"down to quit", [this, i] { return i == 0 || focusMoved(); },
                            [this] { push(RoadInput::Down); }});
        road.push_back({"quit row", [this] { return focusMoved(); }, [this] { push(RoadInput::Confirm); }});
        road.push_back({"quit question", [] { return dialogShown(); }, [this] { push(RoadInput::Down); }});
        road.push_back({"yes", [this] { return focusMoved(); }, [this] { push(RoadInput::Confirm); }});
    }
    // The title screen over its background level, every menu faded in.
    bool atTheTitle() {
        return stableFor(topType() == "GUIPlayScreen" && allShown() && settled() && onLevel(titleBackgroundLevel) &&
                             padReady(),
                         2);
    }
    // The game's settings for the road and a single-buffered OpenGL window.
    void startOnOpenGL(void (*settings)()) {
        test::keepGraphicsDriverLoaded();
        writeSettings(settings);
        useSingleBuffer();
    }
    void playTheRoad(const char* device);
    void playTheStorySelect(const char* device);

    video::IImage* previous = nullptr;
    video::IImage* firstLoadingFrame = nullptr;
    std::vector<EKEY_CODE> keyUps;
    GUIButton* focusBefore = nullptr;
    int letGoAt = 0;
    const wchar_t* playedLevel = nullptr;
    bool playedLevelReached = false;
    platform::FakePadBackend* pad = nullptr;
    bool padUp = false;
};

TEST_F(MainRoadGlTest, FromTheTitleScreenIntoTheFirstLevelAndBack) {
    startOnOpenGL(useOpenGLOnTheMainRoad);
    mainRoadLoads = 0;
    const std::vector<Step> road = {
        {"title",
         [&] { return stableFor(topType() == "GUIPlayScreen" && allShown() && settled(), 2); },
         [&] {
             const auto& stack = screenManager->getScreenStack();
             ASSERT_EQ(stack.size(), 2u);
             EXPECT_STREQ(stack[1]->getTypeName(), "GUIMainScreen");
             EXPECT_EQ(levelManager->getCurrentLevelPath(), core::stringw(titleBackgroundLevel));
             levelManager->onLevelLoaded.addFunction(&countMainRoadLoad);
             // The start compiled only the Phong variants the title asked for, and made its
             // screen pictures without mip maps and the scene's textures with them.
             EXPECT_FALSE(shaderManager->waitingVariants().empty());
             video::IVideoDriver* driver = gameDevice->getVideoDriver();
             EXPECT_FALSE(driver->getTexture(GUIMainScreen::logoBackgroundPath)->hasMipMaps());
             EXPECT_TRUE(driver->getTexture("Content/Models/Editor/Gradient.png")->hasMipMaps());
             shoot("1-title");
             // A camera cut with a cross-fade: the scene as it was fades out over the next frames.
             screenManager->captureCrossfade();
             EXPECT_EQ(screenManager->CrossfadeAlpha, 0.5f) << "the game's shaders run: the scene was kept";
         },
         levelLoadSeconds},
        {"cross-fade", [&] { return stableFor(true, 1); },
         [&] {
             EXPECT_LT(screenManager->CrossfadeAlpha, 0.5f) << "it fades";
             video::IImage* shot = gameDevice->getVideoDriver()->createScreenShot();
             gameDevice->getVideoDriver()->writeImageToFile(shot, (std::string(PADDLESTONE_SHOT_DIR) + "/main-road-1b-crossfade.png").c_str());
             shot->drop();
             // The first frame drawn with the loading screen up.
             betweenFrames = [this] {
                 if (!firstLoadingFrame && levelManager->loadingOverlay.loadingScreen)
                     firstLoadingFrame = gameDevice->getVideoDriver()->createScreenShot();
             };
             press(KEY_RETURN); // New Game has the focus
             playLevel(mainRoadLevel);
         }},
        {"level",
         [&] {
             return stableFor(levelManager->getCurrentLevelPath() == core::stringw(mainRoadLevel) &&
                                  settled() && screenManager->getScreenStack().empty() &&
                                  saveManager->getAutoSaveCheckpoint(true) ==
                                      std::wstring(mainRoadLevel),
                              2);
         },
         [&] {
             // The loading screen's first frame (New Game fades to white before it) is its
             // picture with a spinner and a bar that stand out from it.
             ASSERT_NE(firstLoadingFrame, nullptr);
             video::IVideoDriver* driver = gameDevice->getVideoDriver();
             driver->writeImageToFile(firstLoadingFrame, (std::string(PADDLESTONE_SHOT_DIR) + "/main-road-1c-loading.png").c_str());
             const core::dimension2du size = firstLoadingFrame->getDimension();
             EXPECT_LT(meanLuminance(firstLoadingFrame, core::recti(0, 0, size.Width, size.Height)), 160.0) << "not white";
             const core::recti icon = screenManager->getLoadingIcon()->getAbsolutePosition();
             const s32 brightDots = test::countPixels(firstLoadingFrame, icon, [](const video::SColor& c) { return c.getLuminance() > 180.0f; });
             const double aboveIcon = meanLuminance(firstLoadingFrame, icon + core::position2di(0, -icon.getHeight()));
             EXPECT_GT(brightDots, icon.getArea() / 20) << "the spinner's dots show, on a picture of " << aboveIcon;
             EXPECT_LT(aboveIcon, 120.0);
             const s32 barY = static_cast<s32>(size.Height) - guiUnits(56);
             const core::recti bar(size.Width * 2 / 5, barY - 1, size.Width * 3 / 5, barY + 2);
             EXPECT_GT(std::abs(meanLuminance(firstLoadingFrame, bar) -
                                meanLuminance(firstLoadingFrame, bar - core::position2di(0, guiUnits(24)))),
                       15.0)
                 << "the bar's back stands out from the picture";
             EXPECT_EQ(mainRoadLoads, 1);
             EXPECT_TRUE(screenManager->isInputAllowed());
             EXPECT_TRUE(shaderManager->waitingVariants().empty()) << "built with the level, not while it plays";
             shoot("2-level");
             press(KEY_ESCAPE);
         },
         levelLoadSeconds},
        {"pause", [&] { return screenManager->isPauseScreenVisible() && pauseShown(); },
         [&] {
             EXPECT_FALSE(screenManager->isInputAllowed());
             EXPECT_TRUE(gameDevice->getTimer()->isStopped());
             shoot("3-pause");
             press(KEY_DOWN); // Restart
             playLevel(nullptr);
         }},
        {"restart row", [&] { return focusMoved(); }, [&] { press(KEY_RETURN); }},
        {"restart question", [&] { return dialogShown(); }, [&] { press(KEY_DOWN); }}, // from the beginning
        {"from the beginning", [&] { return focusMoved(); }, [&] { press(KEY_RETURN); }},
        // The level saved a checkpoint: leaving it behind asks once more.
        {"beginning question", [&] { return dialogShown(); }, [&] { press(KEY_DOWN); }}, // Yes
        {"yes, the beginning", [&] { return focusMoved(); }, [&] { press(KEY_RETURN); }},
        {"restarted",
         [&] {
             // Once its checkpoint is saved again: it would otherwise be saved while the level is
             // left.
             return stableFor(
                 mainRoadLoads == 2 && settled() && !screenManager->isPauseScreenVisible() &&
                     screenManager->getScreenStack().empty() && levelManager->activeCheckpoint,
                 2);
         },
         [&] {
             EXPECT_EQ(levelManager->getCurrentLevelPath(), core::stringw(mainRoadLevel));
             EXPECT_TRUE(screenManager->isInputAllowed());
             shoot("4-restarted");
             press(KEY_ESCAPE);
         },
         levelLoadSeconds},
        {"pause again", [&] { return screenManager->isPauseScreenVisible() && pauseShown(); },
         [&] { press(KEY_DOWN); }}, // down from Resume to Quit
        {"down 2", [&] { return focusMoved(); }, [&] { press(KEY_DOWN); }},
        {"down 3", [&] { return focusMoved(); }, [&] { press(KEY_DOWN); }},
        {"quit row", [&] { return focusMoved(); }, [&] { press(KEY_RETURN); }},
        {"quit question", [&] { return dialogShown(); }, [&] { press(KEY_DOWN); }}, // Yes
        {"yes", [&] { return focusMoved(); }, [&] { press(KEY_RETURN); }},
        {"title again",
         [&] {
             return stableFor(topType() == "GUIPlayScreen" && allShown() && settled() &&
                                  levelManager->getCurrentLevelPath() == core::stringw(titleBackgroundLevel),
                              2);
         },
         [&] {
             ASSERT_EQ(screenManager->getScreenStack().size(), 2u);
             EXPECT_FALSE(screenManager->isPauseScreenVisible());
             shoot("5-title-again");
             QuitRequested = true;
         },
         levelLoadSeconds},
    };
    ASSERT_NO_FATAL_FAILURE(driveRoad(road));
    expectACleanLog();
}

constexpr const wchar_t* secondStoryLevel = L"Content/Levels/Story_Greenhouse.irr";
constexpr const wchar_t* thirdStoryLevel = L"Content/Levels/Story_Shed.irr";

// Title, New Game, the first story level playing by itself (its flower bed's trigger switched
// to the bed camera, the checkpoint saved, the gardener walked), pause, quit to the title.
void MainRoadGlTest::playTheRoad(const char* device) {
    startOnOpenGL(useOpenGLOnTheMainRoad);
    const std::string shot = std::string(device) + "-";
    bool bedCameraSeen = false;
    core::vector3df gardenerStart;
    const auto watch = [&] {
        if (onLevel(mainRoadLevel) && overrideCameraID() == 1101)
            bedCameraSeen = true;
    };
    const auto gardenerWalked = [&] {
        scene::ISceneNode* gardener = levelManager->getSceneNodeFromID(1600);
        return gardener && gardener->getAbsolutePosition().getDistanceFrom(gardenerStart) > 2.0f;
    };
    const auto checkpointSaved = [] {
        return saveManager->getAutoSaveCheckpoint(true) == std::wstring(mainRoadLevel) &&
               std::filesystem::exists(levelManager->getCheckpointPath(true).c_str());
    };
    std::vector<Step> road = {
        {"title", [&] { return atTheTitle(); },
         [&] {
             ASSERT_EQ(screenManager->getScreenStack().size(), 2u);
             EXPECT_STREQ(screenManager->getScreenStack()[1]->getTypeName(), "GUIMainScreen");
             shoot((shot + "1-title").c_str());
             push(RoadInput::Confirm); // New Game
             playLevel(mainRoadLevel);
         },
         levelLoadSeconds},
        {"first level",
         [&] {
             return stableFor(
                 onLevel(mainRoadLevel) && settled() && screenManager->getScreenStack().empty(), 2);
         },
         [&] {
             EXPECT_EQ(levelManager->PlayMode, LevelManager::playModeStory);
             gardenerStart = levelManager->getSceneNodeFromID(1600)->getAbsolutePosition();
         },
         levelLoadSeconds},
        {"the level plays",
         [&] { return bedCameraSeen && checkpointSaved() && gardenerWalked(); },
         [&] {
             shoot((shot + "2-level").c_str());
             push(RoadInput::Pause);
         }},
        {"pause", [&] { return screenManager->isPauseScreenVisible() && pauseShown(); },
         [&] {
             EXPECT_FALSE(screenManager->isInputAllowed());
             shoot((shot + "3-pause").c_str());
             playLevel(nullptr);
         }},
    };
    quitFromThePause(road, 3); // Resume, Restart, Options, Quit
    road.push_back({"title again", [&] { return atTheTitle(); },
                    [&] {
                        shoot((shot + "4-title-again").c_str());
                        QuitRequested = true;
                    },
                    levelLoadSeconds});
    ASSERT_NO_FATAL_FAILURE(driveRoad(road, watch));
    expectACleanLog();
}

// In demo mode the main menu's one entry opens the story select: the second and the third
// story levels are chosen there, each played until its script runs, paused and left.
void MainRoadGlTest::playTheStorySelect(const char* device) {
    startOnOpenGL(useDemoModeOnTheMainRoad);
    const std::string shot = std::string(device) + "-select-";
    bool cutsceneCameraSeen = false;
    const auto watch = [&] {
        if (onLevel(thirdStoryLevel) && overrideCameraID() == 3100)
            cutsceneCameraSeen = true;
    };
    const auto focusOnRow = [](std::size_t row) {
        auto* select = dynamic_cast<GUIStoryLevelSelectScreen*>(screenManager->getTopScreen());
        return select && row < select->getRows().size() && screenManager->getTopScreenFocus() == select->getRows()[row];
    };
    std::vector<Step> road;
    const auto chooseLevel = [&](std::size_t row, const wchar_t* level, const std::function<bool()>& playing,
                                 const char* name) {
        road.push_back({"title", [&] { return atTheTitle(); }, [&] { push(RoadInput::Confirm); }, levelLoadSeconds});
        road.push_back({"story select",
                        [&] { return topType() == "GUILevelSelectScreen" && topShown() && focusOnRow(0); },
                        [&] { EXPECT_EQ(countUnlockedStoryLevels(), 3u); }});
        for (std::size_t i = 1; i <= row; ++i)
            road.push_back({"down to the level", [&, i] { return inputLetGo() && focusOnRow(i - 1); },
                            [&] { push(RoadInput::Down); }});
        // The chosen row's preview has faded in behind the list.
        road.push_back({"choose",
                        [&, row] { return stableFor(focusOnRow(row) && screenManager->CrossfadeAlpha <= 0.0f, 2); },
                        [&, level, name] {
                            shoot((shot + name + "-preview").c_str());
                            push(RoadInput::Confirm);
                            playLevel(level);
                        }});
        road.push_back({name,
                        [&, level, playing] {
                            return stableFor(onLevel(level) && settled() && screenManager->getScreenStack().empty() &&
                                                 playing(),
                                             2);
                        },
                        [&, name] {
                            EXPECT_EQ(levelManager->PlayMode, 2) << "started from the story select";
                            shoot((shot + name).c_str());
                            push(RoadInput::Pause);
                        },
                        levelLoadSeconds});
        road.push_back({"pause", [&] { return screenManager->isPauseScreenVisible() && pauseShown(); },
                        [&] { playLevel(nullptr); }});
        quitFromThePause(road, 2); // Resume, Restart, Quit
    };
    // The greenhouse's opening trigger has looked at the pots; the shed's cutscene is over and
    // its checkpoint saved (left before, its save would wait for a level already gone).
    chooseLevel(1, secondStoryLevel, [] { return overrideCameraID() >= 2101; }, "greenhouse");
    chooseLevel(
        2, thirdStoryLevel,
        [&] {
            return cutsceneCameraSeen && levelManager->activeCheckpoint &&
                   levelManager->activeCheckpoint->getID() == 3015;
        },
        "shed");
    road.push_back({"title at last", [&] { return atTheTitle(); }, [] { QuitRequested = true; }, levelLoadSeconds});
    ASSERT_NO_FATAL_FAILURE(driveRoad(road, watch));
    expectACleanLog();
}

TEST_F(MainRoadGlTest, TheRoadByKeyboard) {
    playTheRoad("keyboard");
}

TEST_F(MainRoadGlTest, TheRoadByGamepad) {
    usePad();
    playTheRoad("gamepad");
}

TEST_F(MainRoadGlTest, TheStorySelectByKeyboard) {
    playTheStorySelect("keyboard");
}

TEST_F(MainRoadGlTest, TheStorySelectByGamepad) {
    usePad();
    playTheStorySelect("gamepad");
}

} // namespace
