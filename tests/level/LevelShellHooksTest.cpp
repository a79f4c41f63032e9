#include "LevelTestSupport.h"

#include "level/LevelHooks.h"
#include "level/LevelShellHooks.h"
#include "gui/GuiHooks.h"
#include "level/ResourceCaches.h"
#include "level/SaveManager.h"
#include "render/SpriteAnimation.h"
#include "player/PlayerHooks.h"
#include "level/SceneNodeBase.h"

#include "core/Globals.h"
#include "core/ShellHooks.h"

#include <cstdlib>
#include <filesystem>

using namespace irr;

namespace {

// The shell reaches the level manager only through its hooks, as in the running game.
class LevelShellHooksTest : public test::LevelFixture {
protected:
    void SetUp() override {
        LevelFixture::SetUp();
        useTestData();
        std::filesystem::create_directories("Content/Levels");
        std::filesystem::copy_file("PlainLevel.irr", titleBackgroundLevel);
        manager.reset(); // the shell makes its own through the hooks
        levelManager = nullptr;
        registerLevelShellHooks();
        LevelHooks& level = shellHooks().level;
        levelManager = level.create(device->get());
        level.init();
        level.registerSceneNodeFactory(smgr());
    }
    void TearDown() override {
        if (levelManager)
            shellHooks().level.unloadAndDestroy();
        LevelFixture::TearDown();
    }
};

TEST_F(LevelShellHooksTest, StartUpLoadsTheNamedLevelAndShutdownUnloadsIt) {
    LevelHooks& level = shellHooks().level;
    ASSERT_NE(levelManager, nullptr);
    level.loadInitialLevel("TestLevel.irr");
    EXPECT_EQ(levelManager->getCurrentLevelPath(), L"TestLevel.irr");
    EXPECT_TRUE(levelOnCommandLine);
    EXPECT_FALSE(level.isLevelLoading());
    EXPECT_FALSE(level.isSuspended());
    levelManager->suspended = true;
    EXPECT_TRUE(level.isSuspended());

    level.unloadAndDestroy();
    EXPECT_EQ(levelManager, nullptr);
    EXPECT_EQ(countNodes(root()), 0u);
}

TEST_F(LevelShellHooksTest, AMissingNamedLevelBringsUpTheTitleBackground) {
    levelOnCommandLine = true; // what the shell assumes from the argument
    shellHooks().level.loadInitialLevel("Gone.irr");
    EXPECT_FALSE(levelOnCommandLine);
    EXPECT_EQ(levelManager->getCurrentLevelPath(), core::stringw(titleBackgroundLevel));
    EXPECT_TRUE(
        log.contains("ERROR: The level named on the command line does not exist: Gone.irr"));
}

TEST_F(LevelShellHooksTest, FrameStepsReachTheLevelManager) {
    LevelHooks& level = shellHooks().level;
    level.loadInitialLevel("");
    EXPECT_EQ(levelManager->getCurrentLevelPath(), core::stringw(titleBackgroundLevel));

    const u32 frame = levelAnimateFrame;
    level.update();
    EXPECT_EQ(levelAnimateFrame, frame + 1);

    static int endOfUpdate = 0;
    levelManager->onEndOfUpdate.addFunction(+[] { ++endOfUpdate; });
    level.runEndOfUpdateList();
    EXPECT_EQ(endOfUpdate, 1);

    levelHooks().input.wasKeyPressed = [](EKEY_CODE key) {
        return key == LevelManager::debugKeyToggleDebugMode;
    };
    level.processLevelEvents();
    EXPECT_TRUE(debugMode);
}

} // namespace

namespace {

TEST_F(LevelShellHooksTest, LevelEventsRunInTheFrameStepAndTheOverlayAnswersTheQueries) {
    LevelHooks& level = shellHooks().level;
    EXPECT_FALSE(level.isLoadingOverlayBusy());
    levelManager->queueTransition(true, 2, 0.5f, 0.0f, 2);
    level.processLevelEvents(); // without the frame stopwatch the frame takes no time
    EXPECT_TRUE(level.isLoadingOverlayBusy());
    EXPECT_EQ(level.loadingOverlayTransitionKind(), 2);
    EXPECT_FLOAT_EQ(level.loadingOverlayFadeValue(), 0.0f);
    levelManager->loadingOverlay.fadeValue = 1.0f;
    EXPECT_FLOAT_EQ(level.loadingOverlayFadeValue(), 1.0f);
}

TEST_F(LevelShellHooksTest, SaveManagerIsMadeInTheSaveFolderAndLoaded) {
    const char* previous = std::getenv("XDG_DATA_HOME");
    const std::string kept = previous ? previous : "";
    ::setenv("XDG_DATA_HOME", temp.file("data").c_str(), 1);
    LevelHooks& level = shellHooks().level;
    level.createSaveManager();
    ASSERT_NE(saveManager, nullptr);
    EXPECT_EQ(saveManager->getFolder(), temp.file("data") + "/Paddlestone");
    saveManager->saveTieCollected(3);
    level.destroySaveManager();
    saveManager = nullptr;
    level.createSaveManager();
    EXPECT_TRUE(saveManager->isTieCollected(3));
    level.destroySaveManager();
    saveManager = nullptr;
    if (previous)
        ::setenv("XDG_DATA_HOME", kept.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}

} // namespace

namespace {

TEST_F(LevelShellHooksTest, GuiQueuesLevelEventsAndTakesSpriteAnimationsFromTheCache) {
    GuiHooks& gui = guiHooks();
    gui.level.queueTransition(true, 3, 2, 2.0f, 0);
    gui.level.queueClearMenus();
    gui.level.queueReturnToMainMenu();
    const auto& events = levelManager->getLevelEvents();
    ASSERT_EQ(events.size(), 3u);
    const auto* transition = static_cast<const TransitionEvent*>(events[0].get());
    EXPECT_TRUE(transition->intro);
    EXPECT_EQ(transition->mode, 3);
    EXPECT_EQ(transition->viewId, 2);
    EXPECT_FLOAT_EQ(transition->speed, 0.5f);
    EXPECT_EQ(events[1]->getType(), LET_ClearMenus);
    EXPECT_EQ(events[2]->getType(), LET_ReturnToMainMenu);

    levelHooks().render.loadSpriteAnimation = [](SpriteAnimation& animation, const io::path& file) {
        animation.name = file;
        animation.last = 5;
        return true;
    };
    SpriteAnimation icons;
    gui.render.getSpriteAnimation(icons, "Content/Screens/HUD/TaskIcons.xml");
    EXPECT_EQ(icons.last, 5);
    resetGuiHooks();
    clearSpriteAnimationCache();
}

} // namespace
