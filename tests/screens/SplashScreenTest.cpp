// The splash picture: it fills the screen cropped on the overflowing sides, keeps the level
// running behind it, and returns to the main menu once after ten seconds.
#include "../gui/GuiFixture.h"

#include "core/Globals.h"
#include "gui/GuiHooks.h"
#include "screens/ScreenManager.h"
#include "screens/menus/GUISplashScreen.h"

#include <string>

using namespace irr;

namespace {

class SplashScreenTest : public guitest::GuiFixture {
protected:
    void SetUp() override {
        guitest::GuiFixture::SetUp();
        GuiLevelHooks& level = guiHooks().level;
        level.queueTransition = [this](bool cover, s32 mode, s32 view, f32 seconds, s32 extra) {
            events.push_back("transition " + std::to_string(cover) + " " + std::to_string(mode) + " " +
                             std::to_string(view) + " " + std::to_string(static_cast<int>(seconds * 10)) + " " +
                             std::to_string(extra));
        };
        level.queueClearMenus = [this] { events.push_back("clearMenus"); };
        level.queueReturnToMainMenu = [this] { events.push_back("returnToMainMenu"); };
        level.uncoverLoadingOverlay = [this] { events.push_back("uncover"); };
    }
    std::vector<std::string> events;
};

TEST_F(SplashScreenTest, PictureFillsTheScreenCroppedOnTheOverflowingSides) {
    const core::dimension2du picture(1280, 720);
    // 21:9: full width, cropped top and bottom.
    EXPECT_EQ(GUISplashScreen::pictureRect(picture, 2520, 1080), core::recti(0, -168, 2520, 1248));
    // 4:3: full height, cropped left and right.
    EXPECT_EQ(GUISplashScreen::pictureRect(picture, 960, 720), core::recti(-160, 0, 1120, 720));
    // Exactly 16:9 fits.
    EXPECT_EQ(GUISplashScreen::pictureRect(picture, 1920, 1080), core::recti(0, 0, 1920, 1080));
}

TEST_F(SplashScreenTest, ReturnsToTheMainMenuOnceAfterTenSeconds) {
    auto* splash = new GUISplashScreen(environment, root(), core::recti(0, 0, 100, 100));
    screenManager->pushScreen(splash);
    splash->drop();
    EXPECT_EQ(splash->getID(), ScreenManager::splashScreenId);
    EXPECT_STREQ(splash->getTypeName(), "GUISplashScreen");
    EXPECT_EQ(events, std::vector<std::string>{"uncover"});
    // Input is held, the level keeps running.
    EXPECT_FALSE(screenManager->isInputAllowed());
    EXPECT_TRUE(screenManager->topScreenKeepsTimerRunning());
    events.clear();
    for (int i = 0; i < 99; ++i) {
        setFrameDelta(0.1f);
        postRenderAll();
    }
    EXPECT_TRUE(events.empty());
    for (int i = 0; i < 40; ++i) {
        setFrameDelta(0.1f);
        postRenderAll();
    }
    EXPECT_EQ(events, (std::vector<std::string>{"transition 1 3 2 10 0", "clearMenus", "returnToMainMenu"}));
    EXPECT_EQ(splash->getShownSeconds(), -1.0f);
}

} // namespace
