// The main road on the OpenGL driver under Xvfb, with the real registrations and frame loop
// and keys injected where the window delivers them: the title screen over its background
// level; Enter on New Game loads the first story level behind the loading overlay; Escape
// pauses; Restart from the beginning asks and reloads the level; Quit asks and returns to
// the title screen. Each step is checked on the screen stack, the level and a screenshot
// that is not black and differs from the step before; the pictures stay in the build folder
// (main-road-1-title.png ...).
#include "GameFixture.h"

#include "core/GameApplication.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "gui/GUIScreen.h"
#include "level/LevelManager.h"
#include "screens/ScreenManager.h"

#include "support/GraphicsDriver.h"

#include <cstdlib>
#include <string>

using namespace irr;

namespace {

constexpr const wchar_t* mainRoadLevel = L"Content/Levels/Story_Garden.irr";
constexpr int mainRoadFrameLimit = 4000;

void useOpenGLOnTheMainRoad() {
    setSettingString("Graphics_Driver", "OpenGL");
    setSettingBool("Graphics_Vsync", false);
    setSettingInt("Graphics_Antialiasing", 0);
    setSettingInt("Graphics_ScreenWidth", 800);
    setSettingInt("Graphics_ScreenHeight", 450);
}

int mainRoadLoads = 0;
void countMainRoadLoad() { ++mainRoadLoads; }

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

class MainRoadGlTest : public GameFixture {
protected:
    ~MainRoadGlTest() override {
        if (previous)
            previous->drop();
    }
    // One step of the road: runs when the condition holds (checked every frame), then the
    // action; the next step waits for the frame after.
    struct Step {
        const char* name;
        std::function<bool()> ready;
        std::function<void()> act;
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
        postKey(key, true);
        keyUps.push_back(key);
    }
    static std::string topType() {
        GUIScreen* top = screenManager->getTopScreen();
        return top ? top->getTypeName() : "";
    }
    static bool settled() { return !levelManager->loadingOverlay.isBusy() && levelManager->getLevelEvents().empty(); }

    video::IImage* previous = nullptr;
    std::vector<EKEY_CODE> keyUps;
};

TEST_F(MainRoadGlTest, FromTheTitleScreenIntoTheFirstLevelAndBack) {
    test::keepGraphicsDriverLoaded();
    writeSettings(useOpenGLOnTheMainRoad);
    setenv("PADDLESTONE_SINGLE_BUFFER", "1", 1);
    useGameMenus();
    mainRoadLoads = 0;
    int stableFrames = 0;
    const auto stableFor = [&stableFrames](bool condition, int frames) {
        stableFrames = condition ? stableFrames + 1 : 0;
        return stableFrames >= frames;
    };
    const std::vector<Step> road = {
        {"title",
         [&] { return stableFor(frame > 20 && topType() == "GUIPlayScreen" && settled(), 20); },
         [&] {
             const auto& stack = screenManager->getScreenStack();
             ASSERT_EQ(stack.size(), 2u);
             EXPECT_STREQ(stack[1]->getTypeName(), "GUIMainScreen");
             EXPECT_EQ(levelManager->getCurrentLevelPath(), core::stringw(titleBackgroundLevel));
             levelManager->onLevelLoaded.addFunction(&countMainRoadLoad);
             shoot("1-title");
             // A camera cut with a cross-fade: the scene as it was fades out over the next frames.
             screenManager->captureCrossfade();
             EXPECT_EQ(screenManager->CrossfadeAlpha, 0.5f) << "the game's shaders run: the scene was kept";
         }},
        {"cross-fade",
         [&] { return stableFor(true, 1); },
         [&] {
             EXPECT_LT(screenManager->CrossfadeAlpha, 0.5f) << "it fades";
             video::IImage* shot = gameDevice->getVideoDriver()->createScreenShot();
             gameDevice->getVideoDriver()->writeImageToFile(shot, (std::string(PADDLESTONE_SHOT_DIR) + "/main-road-1b-crossfade.png").c_str());
             shot->drop();
             press(KEY_RETURN); // New Game has the focus
         }},
        {"level",
         [&] {
             return stableFor(levelManager->getCurrentLevelPath() == core::stringw(mainRoadLevel) && settled() &&
                                  screenManager->getScreenStack().empty(),
                              30);
         },
         [&] {
             EXPECT_EQ(mainRoadLoads, 1);
             EXPECT_TRUE(screenManager->isInputAllowed());
             shoot("2-level");
             press(KEY_ESCAPE);
         }},
        {"pause",
         [&] { return stableFor(screenManager->isPauseScreenVisible() && topType() == "GUIPauseScreen", 20); },
         [&] {
             EXPECT_FALSE(screenManager->isInputAllowed());
             EXPECT_TRUE(gameDevice->getTimer()->isStopped());
             shoot("3-pause");
             press(KEY_DOWN); // Restart
         }},
        {"restart row", [&] { return stableFor(true, 3); }, [&] { press(KEY_RETURN); }},
        {"restart question",
         [&] { return stableFor(topType() == "GUIScreen" && screenManager->getScreenStack().size() == 1, 20); },
         [&] { press(KEY_DOWN); }}, // from the beginning
        {"from the beginning", [&] { return stableFor(true, 3); }, [&] { press(KEY_RETURN); }},
        {"restarted",
         [&] {
             return stableFor(mainRoadLoads == 2 && settled() && !screenManager->isPauseScreenVisible() &&
                                  screenManager->getScreenStack().empty(),
                              30);
         },
         [&] {
             EXPECT_EQ(levelManager->getCurrentLevelPath(), core::stringw(mainRoadLevel));
             EXPECT_TRUE(screenManager->isInputAllowed());
             shoot("4-restarted");
             press(KEY_ESCAPE);
         }},
        {"pause again", [&] { return stableFor(screenManager->isPauseScreenVisible(), 20); },
         [&] { press(KEY_DOWN); }}, // down from Resume to Quit
        {"down 2", [&] { return stableFor(true, 3); }, [&] { press(KEY_DOWN); }},
        {"down 3", [&] { return stableFor(true, 3); }, [&] { press(KEY_DOWN); }},
        {"quit row", [&] { return stableFor(true, 3); }, [&] { press(KEY_RETURN); }},
        {"quit question",
         [&] { return stableFor(topType() == "GUIScreen" && screenManager->getScreenStack().size() == 1, 20); },
         [&] { press(KEY_DOWN); }}, // Yes
        {"yes", [&] { return stableFor(true, 3); }, [&] { press(KEY_RETURN); }},
        {"title again",
         [&] {
             return stableFor(topType() == "GUIPlayScreen" && settled() &&
                                  levelManager->getCurrentLevelPath() == core::stringw(titleBackgroundLevel),
                              30);
         },
         [&] {
             ASSERT_EQ(screenManager->getScreenStack().size(), 2u);
             EXPECT_FALSE(screenManager->isPauseScreenVisible());
             shoot("5-title-again");
             QuitRequested = true;
         }},
    };
    std::size_t next = 0;
    std::function<void()> tick = [&] {
        for (EKEY_CODE key : keyUps)
            postKey(key, false);
        keyUps.clear();
        if (next < road.size() && road[next].ready()) {
            SCOPED_TRACE(road[next].name);
            road[next].act();
            stableFrames = 0;
            ++next;
        }
        if (frame >= mainRoadFrameLimit) {
            ADD_FAILURE() << "the road stopped before: " << (next < road.size() ? road[next].name : "the end");
            QuitRequested = true;
        }
        steps[frame + 1] = tick;
    };
    steps[1] = tick;

    GameApplication game;
    EXPECT_EQ(game.run(), gameStatusNormal);
    EXPECT_EQ(next, road.size());
    unsetenv("PADDLESTONE_SINGLE_BUFFER");
    for (const std::string& line : logLines())
        EXPECT_EQ(line.rfind("ERROR: ", 0), std::string::npos) << line;
}

} // namespace
