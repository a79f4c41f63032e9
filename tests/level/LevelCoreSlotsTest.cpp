#include "LevelTestSupport.h"

#include "level/LevelHooks.h"
#include "level/ResourceCaches.h"
#include "level/SaveManager.h"
#include "render/SpriteAnimation.h"
#include "player/PlayerHooks.h"
#include "level/SceneNodeBase.h"

#include "core/CoreSlots.h"
#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "core/app/SubsystemRegistration.h"

#include <cstdlib>
#include <filesystem>

using namespace irr;

namespace {

// The level manager as the shell makes and drives it (the fixture's), answering the
// program-wide queries through core's slots; the GUI's and the input's level slots.
class LevelCoreSlotsTest : public test::LevelFixture {
protected:
    void SetUp() override {
        LevelFixture::SetUp();
        useTestData();
        std::filesystem::create_directories("Content/Levels");
        std::filesystem::copy_file("PlainLevel.irr", titleBackgroundLevel);
        fillCoreSlots();
    }
    void TearDown() override {
        resetCoreSlots();
        LevelFixture::TearDown();
    }
};

TEST_F(LevelCoreSlotsTest, TheNamedLevelLoadsAndTheQueriesFollowTheLevelManager) {
    const CoreSlots::Level& level = coreSlots().level;
    ASSERT_TRUE(manager->setCommandLineLevel("TestLevel.irr"));
    ASSERT_TRUE(manager->loadInitialLevel());
    EXPECT_EQ(levelManager->getCurrentLevelPath(), L"TestLevel.irr");
    EXPECT_TRUE(levelOnCommandLine);
    EXPECT_FALSE(level.isLevelLoading());
    EXPECT_FALSE(level.isSuspended());
    levelManager->suspended = true;
    EXPECT_TRUE(level.isSuspended());
    levelManager->levelLoading = true;
    EXPECT_TRUE(level.isLevelLoading());
    levelManager->levelLoading = false;

    // Without the level manager every answer is its default.
    manager->unloadLevel();
    EXPECT_EQ(countNodes(root()), 0u);
    manager.reset();
    EXPECT_EQ(levelManager, nullptr);
    EXPECT_FALSE(level.isSuspended());
    EXPECT_FALSE(level.isLoadingOverlayBusy());
    EXPECT_EQ(level.loadingOverlayTransitionKind(), 0);
}

} // namespace

namespace {

TEST_F(LevelCoreSlotsTest, TheOverlayAnswersTheQueriesOnceALevelEventRan) {
    const CoreSlots::Level& level = coreSlots().level;
    EXPECT_FALSE(level.isLoadingOverlayBusy());
    levelManager->queueTransition(true, 2, 0.5f, 0.0f, 2);
    levelManager->processLevelEvents(0.0f);
    EXPECT_TRUE(level.isLoadingOverlayBusy());
    EXPECT_EQ(level.loadingOverlayTransitionKind(), 2);
    EXPECT_FLOAT_EQ(level.loadingOverlayFadeValue(), 0.0f);
    levelManager->loadingOverlay.fadeValue = 1.0f;
    EXPECT_FLOAT_EQ(level.loadingOverlayFadeValue(), 1.0f);
    EXPECT_TRUE(isLoadingOverlayOpaque());
}

TEST_F(LevelCoreSlotsTest, SaveManagerIsMadeInTheSaveFolderAndLoaded) {
    const char* previous = std::getenv("XDG_DATA_HOME");
    const std::string kept = previous ? previous : "";
    ::setenv("XDG_DATA_HOME", temp.file("data").c_str(), 1);
    createSaveManager(device->get()->getFileSystem());
    ASSERT_NE(saveManager, nullptr);
    EXPECT_EQ(saveManager->getFolder(), temp.file("data") + "/Paddlestone");
    saveManager->saveTieCollected(3);
    EXPECT_TRUE(saveManager->writeRequested());
    destroySaveManager();
    EXPECT_EQ(saveManager, nullptr);
    createSaveManager(device->get()->getFileSystem());
    EXPECT_TRUE(saveManager->isTieCollected(3));
    destroySaveManager();
    resetPlayerHooks();
    if (previous)
        ::setenv("XDG_DATA_HOME", kept.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}

} // namespace
