#include "LevelTestSupport.h"

#include "level/LevelHooks.h"
#include "level/LevelShellHooks.h"
#include "level/SceneNodeBase.h"

#include "core/Globals.h"
#include "core/ShellHooks.h"

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
