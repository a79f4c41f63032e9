// The screen manager's standing overlays: the loading billboards and bar, the level timer
// box, and the loading frames.
#include "LevelMenuFixture.h"

#include "core/Globals.h"

#include <algorithm>
#include <string>
#include <vector>
#include "core/CoreSlots.h"
#include "level/LevelHooks.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUIImage.h"
#include "gui/hud/GUINotification.h"
#include "level/LevelInfo.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "screens/ScreenManager.h"
#include "screens/levels/GUILevelElement.h"
#include "screens/menus/GUIPlayScreen.h"

#include <IAttributes.h>

using namespace irr;

namespace {

class ScreenOverlaysTest : public screenstest::LevelMenuFixture {
protected:
    void SetUp() override {
        screenstest::LevelMenuFixture::SetUp();
        StartingUp = false;
        screenManager->createScreens();
    }
    void drawFrame() {
        driver->beginScene();
        screenManager->draw();
        driver->endScene();
    }
};

TEST_F(ScreenOverlaysTest, BillboardsAndTheLoadingBarSitInTheCorners) {
    struct Case {
        s32 height;
        s32 loadingSide, checkpointSide;
    };
    for (const Case& c : {Case{720, 48, 64}, Case{1440, 112, 128}}) {
        SCOPED_TRACE(c.height);
        const s32 savedWidth = screenWidth, savedHeight = screenHeight;
        screenWidth = c.height * 16 / 9;
        screenHeight = c.height;
        screenManager->createScreens();
        EXPECT_EQ(screenManager->getLoadingIcon()->getRelativePosition().getWidth(), c.loadingSide);
        EXPECT_EQ(screenManager->getCheckpointIcon()->getRelativePosition().getWidth(), c.checkpointSide);
        EXPECT_EQ(screenManager->getLoadingIcon()->getRelativePosition().LowerRightCorner,
                  core::position2di(screenWidth - 16, screenHeight - 16));
        EXPECT_EQ(screenManager->getLoadingIcon()->getID(), ScreenManager::overlayId);
        screenWidth = savedWidth;
        screenHeight = savedHeight;
    }
    // Shown with the overscan margins on, both billboards keep inside them.
    screenManager->createScreens();
    screenManager->Overscan = true;
    level->levelLoading = true;
    level->checkpointSaving = true;
    drawFrame();
    const core::position2di m = screenManager->getOverscanMargin();
    ASSERT_NE(m, core::position2di(0, 0));
    EXPECT_EQ(screenManager->getLoadingIcon()->getRelativePosition().LowerRightCorner,
              core::position2di(screenWidth - m.X - 16, screenHeight - m.Y - 16));
    EXPECT_EQ(screenManager->getCheckpointIcon()->getRelativePosition(),
              core::recti(screenWidth - m.X - guiUnits(80), m.Y + guiUnits(16), screenWidth - m.X - guiUnits(16),
                          m.Y + guiUnits(80)));
    level->levelLoading = false;
    level->checkpointSaving = false;
    screenManager->Overscan = false;
    screenManager->createScreens();
    EXPECT_EQ(screenManager->getLoadingBarBack()->getRelativePosition(), core::recti(-71, 22, -9, 34));
    EXPECT_EQ(screenManager->getLoadingBarRect(), core::recti(-69, 24, -11, 32));
    for (s32 view : {1, 2}) {
        EXPECT_EQ(screenManager->getOverlayView(view)->getViewId(), view);
        EXPECT_TRUE(screenManager->getOverlayView(view)->isSubElement()) << view;
    }
    EXPECT_FALSE(screenManager->getTimerBox()->isVisible()) << "made hidden, before any frame asks for it";
    EXPECT_TRUE(screenManager->isInputAllowed()) << "the overlays never hold input";
}

// While a level loads, and while the loading screen stays up after, the loading billboard
// shows; its bar follows the loader, empty at a total of 0 and full when more was read than
// the total.
TEST_F(ScreenOverlaysTest, TheLoadingBillboardShowsWhileALevelLoads) {
    drawFrame();
    EXPECT_FALSE(screenManager->getLoadingIcon()->isVisible());
    auto* info = new LevelInfo(nullptr, device->getSceneManager());
    info->settings.TotalObjects = 10;
    level->currentLevelInfo = info;
    level->levelLoading = true;
    auto& loader = const_cast<SceneLoader&>(level->getLoader());
    struct Case {
        u32 read, total;
        s32 width;
    };
    const s32 full = screenManager->getLoadingBarRect().getWidth();
    for (const Case& c : {Case{0, 0, 0}, Case{5, 10, full / 2}, Case{12, 10, full}}) {
        loader.objectsRead = c.read;
        loader.objectsTotal = c.total;
        drawFrame();
        EXPECT_TRUE(screenManager->getLoadingIcon()->isVisible());
        EXPECT_TRUE(screenManager->getLoadingBarFill()->isVisible());
        // (an element is at least a pixel wide)
        EXPECT_EQ(screenManager->getLoadingBarFill()->getRelativePosition().getWidth(), std::max(c.width, 1));
    }
    info->settings.TotalObjects = 0;
    drawFrame();
    EXPECT_FALSE(screenManager->getLoadingBarFill()->isVisible()) << "no total: no bar";
    level->levelLoading = false;
    // The loading screen stays up after the load (the level's first frames compile their
    // shaders under it), and the spinner with it until the cover starts to lift.
    level->loadingOverlay.fadeValue = 1.0f;
    level->loadingOverlay.beginLoad();
    info->settings.TotalObjects = 10;
    drawFrame();
    EXPECT_TRUE(screenManager->getLoadingIcon()->isVisible());
    EXPECT_FALSE(screenManager->getLoadingBarFill()->isVisible()) << "its bar goes with the read";
    level->loadingOverlay.fadeValue = 0.99f;
    level->checkpointSaving = true;
    drawFrame();
    EXPECT_FALSE(screenManager->getLoadingIcon()->isVisible());
    EXPECT_TRUE(screenManager->getCheckpointIcon()->isVisible());
    level->currentLevelInfo = nullptr;
    level->checkpointSaving = false;
    info->drop();
}

// The loading overlay draws in the view it names; a transition of level flow names none and
// draws in view 2, above every screen.
TEST_F(ScreenOverlaysTest, TheLoadingOverlayDrawsInTheViewItNames) {
    std::vector<s32> drawnIn;
    s32 drawing = 0;
    levelHooks().gui.drawLoadingOverlay = [&](const LoadingOverlay&) { drawnIn.push_back(drawing); };
    for (s32 named : {0, 1, 2}) {
        SCOPED_TRACE(named);
        level->loadingOverlay.viewId = named;
        drawnIn.clear();
        for (s32 view : {1, 2}) {
            drawing = view;
            screenManager->getOverlayView(view)->draw();
        }
        EXPECT_EQ(drawnIn, std::vector<s32>{named == 1 ? 1 : 2});
    }
    levelHooks().gui.drawLoadingOverlay = nullptr;
}

// The times read white, the labels and the best times fainter, all centred on their line;
// the best time stands clear of the longest time.
TEST_F(ScreenOverlaysTest, TheTimerTextsHaveTheirOwnLooks) {
    const struct {
        const char* what;
        GUIFreeTypeText* text;
        u32 colour;
    } rows[] = {{"level time", screenManager->getLevelTimeText(), 0xFFFFFFFF},
                {"total time", screenManager->getTotalTimeText(), 0xFFFFFFFF},
                {"level best", screenManager->getLevelBestText(), 0x99FFFFFF},
                {"total best", screenManager->getTotalBestText(), 0x99FFFFFF}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_NE(row.text, nullptr);
        EXPECT_TRUE(row.text->isOverrideColorEnabled());
        EXPECT_EQ(row.text->getOverrideColor(), video::SColor(row.colour));
        EXPECT_EQ(row.text->getHorizontalAlignment(), gui::EGUIA_UPPERLEFT);
        EXPECT_EQ(row.text->getVerticalAlignment(), gui::EGUIA_CENTER);
        EXPECT_NE(row.text->getOverrideFont(), nullptr);
    }
    EXPECT_EQ(screenManager->getLevelTimeText()->getRelativePosition().UpperLeftCorner,
              core::position2di(guiUnits(35), 0));
    const core::position2di best = screenManager->getLevelBestText()->getRelativePosition().UpperLeftCorner;
    EXPECT_EQ(best.Y, guiUnits(6));
    EXPECT_GE(best.X, guiUnits(137));
    const s32 longestTime =
        static_cast<s32>(screenManager->getLevelTimeText()->getOverrideFont()->getDimension(L"0:00:00.000").Width);
    EXPECT_GE(best.X, guiUnits(35) + longestTime) << "the time would run into its best";
    EXPECT_EQ(std::wstring(screenManager->getTotalTimeText()->getText()), L"0:00:00.000");
}

TEST_F(ScreenOverlaysTest, TheLevelTimerShowsOnlyInPlayWhenAskedFor) {
    physicsManager = reinterpret_cast<PhysicsManager*>(0x10);
    coreSlots().physics.isSimulationActive = [] { return true; };
    drawFrame();
    EXPECT_FALSE(screenManager->getTimerBox()->isVisible()) << "neither the setting nor the level asks";
    auto* info = new LevelInfo(nullptr, device->getSceneManager());
    info->settings.ForceLevelTimer = true;
    level->currentLevelInfo = info;
    drawFrame();
    EXPECT_TRUE(screenManager->getTimerBox()->isVisible()) << "the level asks";
    level->currentLevelInfo = nullptr;
    info->drop();
    screenManager->ShowLevelTimer = true;
    level->levelRun.levelTime = 65.25f;
    drawFrame();
    EXPECT_TRUE(screenManager->getTimerBox()->isVisible());
    EXPECT_EQ(std::wstring(screenManager->getLevelTimeText()->getText()), L"0:01:05.250");
    EXPECT_EQ(std::wstring(screenManager->getLevelBestText()->getText()), L"N/A");
    EXPECT_FALSE(screenManager->getTotalRow()->isVisible());
    // The story's total shows only in a story run that counts it.
    level->levelRun.storyTime = 125.5f;
    for (const auto& [story, counts] : {std::pair{true, false}, std::pair{false, true}, std::pair{true, true}}) {
        level->PlayMode = story ? LevelManager::playModeStory : 0;
        level->levelRun.countsStoryTime = counts;
        drawFrame();
        EXPECT_EQ(screenManager->getTotalRow()->isVisible(), story && counts) << story << counts;
    }
    EXPECT_EQ(std::wstring(screenManager->getTotalTimeText()->getText()), L"0:02:05.500");
    EXPECT_EQ(std::wstring(screenManager->getTotalBestText()->getText()), L"N/A");
    // A run at its start reads zero, not "N/A"; the best story time comes from the save.
    level->levelRun.levelTime = 0.0f;
    level->levelRun.storyTime = 0.0f;
    save->getGroup(SaveManager::Statistics)->setAttribute("BestStoryTime", 300.5f);
    drawFrame();
    EXPECT_EQ(std::wstring(screenManager->getLevelTimeText()->getText()), L"0:00:00.000");
    EXPECT_EQ(std::wstring(screenManager->getTotalTimeText()->getText()), L"0:00:00.000");
    EXPECT_EQ(std::wstring(screenManager->getTotalBestText()->getText()), L"0:05:00.500");
    level->PlayMode = 0;
    level->levelRun.countsStoryTime = false;
    level->levelRun.validTime = false;
    drawFrame();
    EXPECT_EQ(std::wstring(screenManager->getLevelTimeText()->getText()), L"         N/A");
    screenManager->setPauseScreenVisible(true);
    drawFrame();
    EXPECT_TRUE(screenManager->getTimerBox()->isVisible()) << "under the pause menu";
    auto* overPause = new GUIPlayScreen(environment, true);
    screenManager->pushScreen(overPause);
    overPause->drop();
    drawFrame();
    EXPECT_TRUE(screenManager->getTimerBox()->isVisible()) << "a page opened from the pause menu";
    screenManager->closeAllScreens();
    screenManager->flushScreenRemovals();
    auto* menu = new GUIPlayScreen(environment, true);
    screenManager->pushScreen(menu);
    menu->drop();
    drawFrame();
    EXPECT_FALSE(screenManager->getTimerBox()->isVisible()) << "a menu is open";
    coreSlots().physics.isSimulationActive = nullptr;
    physicsManager = nullptr;
}

// The box stands a twentieth of the screen in from the top left; the notification on screen
// pushes it right by its right edge when that lies on screen.
TEST_F(ScreenOverlaysTest, ANotificationOnScreenPushesTheTimerBoxToItsRight) {
    physicsManager = reinterpret_cast<PhysicsManager*>(0x10);
    coreSlots().physics.isSimulationActive = [] { return true; };
    screenManager->ShowLevelTimer = true;
    GUINotification* head = screenManager->getNotificationByName("Pause");
    const s32 width = head->getRelativePosition().getWidth();
    const struct {
        const char* what;
        bool shown;
        s32 right, push;
    } cases[] = {{"no notification", false, 0, 0},
                 {"its right edge on the screen's left", true, 0, 0},
                 {"one pixel of it on screen", true, 1, 1},
                 {"on screen", true, 300, 300},
                 {"parked off screen", true, -10000 + width, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.shown && screenManager->getActiveNotifications().empty())
            screenManager->showNotification(head, 5.0f);
        ASSERT_EQ(screenManager->getActiveNotifications().size(), c.shown ? 1u : 0u);
        head->setRelativePosition(core::recti(c.right - width, 20, c.right, 60));
        drawFrame();
        EXPECT_EQ(screenManager->getTimerBox()->getRelativePosition().UpperLeftCorner,
                  core::position2di(static_cast<s32>(static_cast<f32>(screenWidth) * 0.05f) + c.push,
                                    static_cast<s32>(static_cast<f32>(screenHeight) * 0.05f)));
    }
    coreSlots().physics.isSimulationActive = nullptr;
    physicsManager = nullptr;
}

} // namespace
