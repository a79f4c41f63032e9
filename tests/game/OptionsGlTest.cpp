// A resolution change in the graphics options on the OpenGL driver under Xvfb: the game
// restarts in its process at the new size, the options menu opens again, and the settings
// file keeps the new size; a size the display cannot show falls back with a log line.
#include "GameFixture.h"

#include "core/app/GameApplication.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUIOptionCycle.h"
#include "gui/GUIScrollList.h"
#include "gui/hud/GUINotification.h"
#include "gui/hud/GUIObjectiveCenter.h"
#include "gui/hud/GUISubtitleManager.h"
#include "level/LevelHooks.h"
#include "level/LevelInfo.h"
#include "level/LevelManager.h"
#include "screens/ScreenManager.h"
#include "screens/menus/GUIAudioOptionsScreen.h"
#include "screens/menus/GUIGraphicsOptionsScreen.h"
#include "screens/menus/GUIOptionsScreen.h"
#include "screens/menus/GUIPauseScreen.h"

#include "support/GraphicsDriver.h"

#include <IAttributes.h>

#include <cstdlib>

namespace {

using OptionsGlTest = GameFixture;

// The screen of that type on top of the stack, faded in with its rows in place; else null.
template <class Screen>
Screen* settledOnTop() {
    auto* screen = dynamic_cast<Screen*>(screenManager->getTopScreen());
    if (!screen || screen->getFadeState() != GUIScreen::Shown)
        return nullptr;
    if (GUIScrollList* rows = screen->getScrollList(); rows && rows->getAppear() < 1.0f)
        return nullptr;
    return screen;
}

void useOpenGLWindow(int width, int height) {
    setSettingString("Graphics_Driver", "OpenGL");
    setSettingBool("Graphics_Vsync", false);
    setSettingInt("Graphics_Antialiasing", 0);
    setSettingInt("Graphics_FullscreenMode", 0);
    setSettingInt("Graphics_ScreenWidth", width);
    setSettingInt("Graphics_ScreenHeight", height);
}

// The size the settings file holds.
irr::core::dimension2di savedSize() {
    GameSettings saved;
    saved.load();
    irr::io::IAttributes* attributes = saved.getAttributes();
    if (!attributes)
        return {};
    return {attributes->getAttributeAsInt("Graphics_ScreenWidth"), attributes->getAttributeAsInt("Graphics_ScreenHeight")};
}

TEST_F(OptionsGlTest, AResolutionChangeRestartsTheGameAtTheNewSizeAndReopensTheOptions) {
    test::keepGraphicsDriverLoaded();
    useSingleBuffer();
    writeSettings([] { useOpenGLWindow(800, 600); });

    // The first run: the options from the main menu, the graphics page, 1024 x 600, back.
    waitFor("the title", titleShown, [&] {
        EXPECT_EQ(screenWidth, 800);
        screenManager->closeAllScreens();
        GUIOptionsScreen* options = openOptionsScreen(true);
        ASSERT_NE(options, nullptr);
        options->onGraphics(nullptr);
    });
    waitFor("the graphics page", [] { return settledOnTop<GUIGraphicsOptionsScreen>() != nullptr; }, [&] {
        GUIGraphicsOptionsScreen* graphics = settledOnTop<GUIGraphicsOptionsScreen>();
        GUIOptionCycle* row = graphics->getResolutionRow();
        for (std::size_t i = 0; i < graphics->getResolutions().size(); ++i)
            if (graphics->getResolutions()[static_cast<std::size_t>(row->getIndex())] != irr::core::dimension2du(1024, 600))
                row->selectNext();
        EXPECT_TRUE(graphics->needsRestart());
        graphics->onBack(nullptr);
    });
    waitForTheEnd("the restart for the new size");
    ASSERT_NO_FATAL_FAILURE(playGame(gameStatusRestart));
    EXPECT_TRUE(ReopenOptionsRequested);
    // The test's X server offers no list of video modes: the page does without, quietly.
    for (const std::string& line : logLines()) {
        EXPECT_EQ(line.find("Warning: "), std::string::npos) << line;
        EXPECT_EQ(line.find("ERROR: "), std::string::npos) << line;
    }

    // The second run: the new size; the main menu opens the options again, as asked.
    clearRoad();
    bool reopened = false;
    nextFrame("the first frame at the new size", [&] {
        EXPECT_EQ(screenWidth, 1024);
        EXPECT_EQ(screenHeight, 600);
        EXPECT_EQ(gameDevice->getVideoDriver()->getScreenSize(), irr::core::dimension2du(1024, 600));
        screenManager->closeAllScreens();
        if (ReopenOptionsRequested) {
            reopened = openOptionsScreen(true) != nullptr;
            ReopenOptionsRequested = false;
        }
    });
    waitFor("the options", [] { return settledOnTop<GUIOptionsScreen>() != nullptr; });
    // The picture the last frame drew (single-buffered: the front buffer).
    nextFrame("the options drawn", [&] {
        irr::video::IImage* shot = gameDevice->getVideoDriver()->createScreenShot();
        ASSERT_NE(shot, nullptr);
        EXPECT_EQ(shot->getDimension(), irr::core::dimension2du(1024, 600));
        if (const char* keep = std::getenv("PADDLESTONE_KEEP_SCREENSHOT"))
            gameDevice->getVideoDriver()->writeImageToFile(shot, keep);
        // The options panel stands at the right edge: its paper is light.
        const int light = test::countPixels(shot, irr::core::recti(1024 - 200, 100, 1024, 500),
                                            [](const irr::video::SColor& c) { return c.getLuminance() > 180; });
        EXPECT_GT(light, 20000);
        shot->drop();
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
    EXPECT_TRUE(reopened);
    EXPECT_EQ(savedSize(), irr::core::dimension2di(1024, 600));
}

TEST_F(OptionsGlTest, ASizeTheDisplayCannotShowFallsBackWithALogLine) {
    test::keepGraphicsDriverLoaded();
    // The X server of the tests is 1280 x 720.
    writeSettings([] { useOpenGLWindow(3000, 2000); });
    nextFrame("the first frame", [] {
        EXPECT_EQ(screenWidth, 1280);
        EXPECT_EQ(screenHeight, 720);
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
    bool logged = false;
    for (const std::string& line : logLines())
        logged = logged || line.find("The display cannot show 3000 x 2000") != std::string::npos;
    EXPECT_TRUE(logged);
    EXPECT_EQ(savedSize(), irr::core::dimension2di(1280, 720)) << "the settings keep the fallback";
}

// In play: a notification at the left, a subtitle near the top and an objective with the
// meter at the bottom; then the graphics page over the pause menu with its option rows.
TEST_F(OptionsGlTest, NotificationsSubtitlesTheObjectivePanelAndTheOptionPagesDraw) {
    test::keepGraphicsDriverLoaded();
    useSingleBuffer();
    writeSettings([] { useOpenGLWindow(1280, 720); });
    auto shoot = [](const char* name) {
        irr::video::IImage* shot = gameDevice->getVideoDriver()->createScreenShot();
        if (const char* keep = std::getenv("PADDLESTONE_KEEP_SCREENSHOT"))
            gameDevice->getVideoDriver()->writeImageToFile(shot, (std::string(keep) + "." + name + ".png").c_str());
        return shot;
    };
    auto count = [](irr::video::IImage* shot, const irr::core::recti& area, bool light) {
        return test::countPixels(shot, area, [light](const irr::video::SColor& c) {
            return light ? c.getLuminance() > 200 : c.getLuminance() < 80;
        });
    };
    GUINotification* notification = nullptr;
    nextFrame("a notification, a subtitle and an objective", [&] {
        screenManager->closeAllScreens();
        notification = screenManager->getNotificationByName("Objective");
        screenManager->showNotification(notification, 10.0f);
        LevelSettings settings;
        settings.SubtitleFile = "Content/Language/English/Subtitles/PhysicsDemo.xml";
        settings.TaskIconAnimation = "Content/Screens/HUD/TaskIcons.xml";
        levelHooks().screens.applyLevelSettings(settings);
        levelHooks().gui.playSubtitle(100);
        levelManager->objectives.add(ObjectiveEntry{7, L"Knock the tower over", 0, true, false});
    });
    waitFor("the notification slid in", [&] {
        return notification->getSlide() >= 1.0f && screenManager->getSubtitleManager()->getTextLine()->isVisible();
    });
    // The picture the last frame drew (single-buffered: the front buffer).
    nextFrame("the play drawn", [&] {
        irr::video::IImage* shot = shoot("play");
        // The notification's panel (dark) at the left, its title (light) in it.
        EXPECT_GT(count(shot, irr::core::recti(0, 0, 300, 120), false), 5000);
        EXPECT_GT(count(shot, irr::core::recti(20, 10, 300, 60), true), 100);
        // The subtitle's light letters near the top middle.
        EXPECT_GT(count(shot, irr::core::recti(340, 60, 940, 110), true), 300);
        shot->drop();
        screenManager->setPauseScreenVisible(true);
    });
    waitFor("the pause menu", [] { return settledOnTop<GUIPauseScreen>() != nullptr; },
            [] { screenManager->getPauseScreen()->openOptions(nullptr); });
    waitFor("the options", [] { return settledOnTop<GUIOptionsScreen>() != nullptr; },
            [] { settledOnTop<GUIOptionsScreen>()->onGraphics(nullptr); });
    waitFor("the graphics page", [] { return settledOnTop<GUIGraphicsOptionsScreen>() != nullptr; });
    nextFrame("the graphics page drawn", [&] {
        irr::video::IImage* shot = shoot("graphics");
        // The rows' dark labels on the light sub panel at the right.
        EXPECT_GT(count(shot, irr::core::recti(1280 - 300, 300, 1280, 560), false), 1500);
        shot->drop();
        auto* options = dynamic_cast<GUIOptionsScreen*>(screenManager->getScreenStack().at(1));
        ASSERT_NE(options, nullptr);
        options->onAudio(nullptr);
    });
    waitFor("the audio page", [] { return settledOnTop<GUIAudioOptionsScreen>() != nullptr; });
    nextFrame("the audio page drawn", [&] {
        irr::video::IImage* shot = shoot("audio");
        // The volume meters' orange fills.
        const int orange = test::countPixels(shot, irr::core::recti(1280 - 300, 300, 1280, 400), [](const irr::video::SColor& c) {
            return c.getRed() > 170 && c.getGreen() < 120 && c.getBlue() < 80;
        });
        EXPECT_GT(orange, 300);
        shot->drop();
    });
    ASSERT_NO_FATAL_FAILURE(playGame());
    // A display without the video-mode extensions is told of once, not warned of at every
    // visit of the graphics page.
    for (const std::string& line : logLines())
        EXPECT_NE(line.rfind("Warning: ", 0), 0u) << line;
}

} // namespace
