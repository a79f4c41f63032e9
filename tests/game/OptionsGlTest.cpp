// A resolution change in the graphics options on the OpenGL driver under Xvfb: the game
// restarts in its process at the new size, the options menu opens again, and the settings
// file keeps the new size; a size the display cannot show falls back with a log line.
#include "GameFixture.h"

#include "core/GameApplication.h"
#include "core/GameSettings.h"
#include "core/Globals.h"
#include "gui/GUIOptionCycle.h"
#include "screens/ScreenManager.h"
#include "screens/menus/GUIGraphicsOptionsScreen.h"
#include "screens/menus/GUIOptionsScreen.h"

#include "support/GraphicsDriver.h"

#include <IAttributes.h>

#include <cstdlib>

namespace {

using OptionsGlTest = GameFixture;

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
    setenv("PADDLESTONE_SINGLE_BUFFER", "1", 1);
    writeSettings([] { useOpenGLWindow(800, 600); });

    // The first run: the options from the main menu, the graphics page, 1024 x 600, back.
    GUIGraphicsOptionsScreen* graphics = nullptr;
    steps[10] = [&] {
        EXPECT_EQ(screenWidth, 800);
        screenManager->closeAllScreens();
        GUIOptionsScreen* options = openOptionsScreen(true);
        ASSERT_NE(options, nullptr);
        options->onGraphics(nullptr);
        graphics = static_cast<GUIGraphicsOptionsScreen*>(screenManager->getScreenStack().front());
    };
    steps[30] = [&] {
        GUIOptionCycle* row = graphics->getResolutionRow();
        for (std::size_t i = 0; i < graphics->getResolutions().size(); ++i)
            if (graphics->getResolutions()[static_cast<std::size_t>(row->getIndex())] != irr::core::dimension2du(1024, 600))
                row->selectNext();
        EXPECT_TRUE(graphics->needsRestart());
        graphics->onBack(nullptr);
    };
    for (int at = 31; at < 200; ++at)
        steps[at] = [] {};
    GameApplication first;
    ASSERT_EQ(first.run(), gameStatusRestart);
    EXPECT_TRUE(ReopenOptionsRequested);

    // The second run: the new size; the main menu opens the options again, as asked.
    frame = 0;
    steps.clear();
    bool reopened = false;
    steps[5] = [&] {
        EXPECT_EQ(screenWidth, 1024);
        EXPECT_EQ(screenHeight, 600);
        EXPECT_EQ(gameDevice->getVideoDriver()->getScreenSize(), irr::core::dimension2du(1024, 600));
        screenManager->closeAllScreens();
        if (ReopenOptionsRequested) {
            reopened = openOptionsScreen(true) != nullptr;
            ReopenOptionsRequested = false;
        }
    };
    steps[40] = [&] {
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
    };
    quitAt(41);
    GameApplication second;
    EXPECT_EQ(second.run(), gameStatusNormal);
    EXPECT_TRUE(reopened);
    EXPECT_EQ(savedSize(), irr::core::dimension2di(1024, 600));
    unsetenv("PADDLESTONE_SINGLE_BUFFER");
}

TEST_F(OptionsGlTest, ASizeTheDisplayCannotShowFallsBackWithALogLine) {
    test::keepGraphicsDriverLoaded();
    // The X server of the tests is 1280 x 720.
    writeSettings([] { useOpenGLWindow(3000, 2000); });
    steps[5] = [] {
        EXPECT_EQ(screenWidth, 1280);
        EXPECT_EQ(screenHeight, 720);
    };
    quitAt(6);
    GameApplication game;
    EXPECT_EQ(game.run(), gameStatusNormal);
    bool logged = false;
    for (const std::string& line : logLines())
        logged = logged || line.find("The display cannot show 3000 x 2000") != std::string::npos;
    EXPECT_TRUE(logged);
    EXPECT_EQ(savedSize(), irr::core::dimension2di(1280, 720)) << "the settings keep the fallback";
}

} // namespace
