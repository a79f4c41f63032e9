// The splash picture: it fills the screen cropped on the overflowing sides, keeps the level
// running behind it, and returns to the main menu once after ten seconds.
#include "../gui/GuiFixture.h"

#include "core/Globals.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GuiCommon.h"
#include "gui/GuiHooks.h"
#include "level/LevelManager.h"
#include "screens/ScreenManager.h"
#include "screens/menus/GUISplashScreen.h"

#include <string>

using namespace irr;

namespace {

using SplashScreenTest = guitest::GuiFixture;

TEST_F(SplashScreenTest, PictureFillsTheScreenCroppedOnTheOverflowingSides) {
    const core::dimension2du picture(1280, 720);
    // 21:9: full width, cropped top and bottom.
    EXPECT_EQ(GUISplashScreen::pictureRect(picture, 2520, 1080), core::recti(0, -168, 2520, 1248));
    // 4:3: full height, cropped left and right.
    EXPECT_EQ(GUISplashScreen::pictureRect(picture, 960, 720), core::recti(-160, 0, 1120, 720));
    // Exactly 16:9 fits.
    EXPECT_EQ(GUISplashScreen::pictureRect(picture, 1920, 1080), core::recti(0, 0, 1920, 1080));
    // A screen of exactly 16:9 fits the height, only a wider one the width (a picture of
    // another shape shows which).
    const core::dimension2du square(1080, 1080);
    EXPECT_EQ(GUISplashScreen::pictureRect(square, 1920, 1080), core::recti(420, 0, 1500, 1080));
    EXPECT_EQ(GUISplashScreen::pictureRect(square, 1922, 1080), core::recti(0, -421, 1922, 1501));
}

TEST_F(SplashScreenTest, ReturnsToTheMainMenuOnceAfterTenSeconds) {
    // The loading overlay covered the screen until the picture came.
    level->loadingOverlay.fadeValue = 1.0f;
    auto* splash = new GUISplashScreen(environment, root(), core::recti(0, 0, 100, 100));
    screenManager->pushScreen(splash);
    splash->drop();
    EXPECT_EQ(splash->getID(), ScreenManager::splashScreenId);
    // The picture has no words: the message stands over it, on the screen.
    ASSERT_NE(splash->getMessage(), nullptr);
    EXPECT_TRUE(splash->getMessage()->isVisible());
    EXPECT_EQ(splash->getMessage()->getOwnText(), getLanguageText(GUISplashScreen::messageTextId));
    EXPECT_FALSE(splash->getMessage()->getOwnText().empty());
    EXPECT_TRUE(core::recti(0, 0, screenWidth, screenHeight).isRectCollided(splash->getMessage()->getAbsolutePosition()));
    // Dark brown, centred in a band across the top of the screen.
    EXPECT_EQ(splash->getMessage()->getOverrideColor(), video::SColor(0xFF5A2A1A));
    EXPECT_EQ(splash->getMessage()->getHorizontalAlignment(), gui::EGUIA_CENTER);
    EXPECT_EQ(splash->getMessage()->getVerticalAlignment(), gui::EGUIA_CENTER);
    EXPECT_EQ(splash->getMessage()->getRelativePosition(),
              core::recti(0, screenHeightPart(0.04f), screenWidth, screenHeightPart(0.19f)));
    EXPECT_STREQ(splash->getTypeName(), "GUISplashScreen");
    EXPECT_EQ(level->loadingOverlay.fadeValue, 0.0f);
    EXPECT_TRUE(queuedLevelEvents().empty());
    // Input is held, the level keeps running.
    EXPECT_FALSE(screenManager->isInputAllowed());
    EXPECT_TRUE(screenManager->topScreenKeepsTimerRunning());
    for (int i = 0; i < 99; ++i) {
        setFrameDelta(0.1f);
        postRenderAll();
    }
    EXPECT_TRUE(queuedLevelEvents().empty());
    for (int i = 0; i < 40; ++i) {
        setFrameDelta(0.1f);
        postRenderAll();
    }
    // A one-second cover on view 2, then the menus close and the main menu comes (once).
    EXPECT_EQ(queuedLevelEvents(),
              (std::vector<std::string>{"LET_Transition 1 3 2 10 0 0", "LET_ClearMenus", "LET_ReturnToMainMenu"}));
    EXPECT_EQ(splash->getShownSeconds(), -1.0f);
}

} // namespace
