#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "core/CoreSlots.h"

#include <gtest/gtest.h>

namespace {

double storage[3];

// The queries answer from whatever managers exist; these stand in for them.
class ProgramQueriesTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetCoreSlots();
        CoreSlots& h = coreSlots();
        h.screens.overlayBlend = [this] { return blend; };
        h.screens.isStackActive = [this] { return stackActive; };
        h.screens.isPauseScreenVisible = [this] { return pauseVisible; };
        h.screens.isInputAllowed = [this] { return inputAllowed; };
        h.screens.isGameUpdateAllowed = [this] { return gameUpdateAllowed; };
        h.screens.topScreenKeepsTimerRunning = [this] { return keepsTimer; };
        h.level.isSuspended = [this] { return suspended; };
        h.level.isLoadingOverlayBusy = [this] { return overlayBusy; };
        h.level.loadingOverlayTransitionKind = [this] { return kind; };
        h.level.loadingOverlayFadeValue = [this] { return fade; };
        h.level.isLevelLoading = [this] { return loading; };
        h.physics.isSimulationActive = [] { return true; };
    }
    void TearDown() override {
        resetCoreSlots();
        screenManager = nullptr;
        levelManager = nullptr;
        physicsManager = nullptr;
    }
    static void allManagers() {
        screenManager = reinterpret_cast<ScreenManager*>(&storage[0]);
        levelManager = reinterpret_cast<LevelManager*>(&storage[1]);
        physicsManager = reinterpret_cast<PhysicsManager*>(&storage[2]);
    }

    float blend = 0.0f;
    bool stackActive = false;
    bool pauseVisible = false;
    bool inputAllowed = true;
    bool gameUpdateAllowed = true;
    bool keepsTimer = false;
    bool suspended = false;
    bool overlayBusy = false;
    irr::s32 kind = 2;
    float fade = 0.0f;
    bool loading = false;
};

} // namespace

TEST_F(ProgramQueriesTest, WithoutManagersEachQueryGivesItsOwnAnswer) {
    blend = 1.0f;
    stackActive = true;
    suspended = true;
    keepsTimer = true;
    loading = true;
    inputAllowed = false;
    gameUpdateAllowed = false;
    EXPECT_TRUE(screensAllowInput());
    EXPECT_TRUE(screensAllowGameUpdate());
    EXPECT_FALSE(isSimulationActive());
    EXPECT_FALSE(isSimulationRunning());
    EXPECT_FALSE(isGameplaySuspended());
    EXPECT_FALSE(isGameplaySuspendedOrLoading());
    EXPECT_FALSE(isMenuOpen());
    EXPECT_FALSE(isGameRunningBehindScreen());
    EXPECT_FALSE(isGameInputBlocked());
    EXPECT_TRUE(isLoadingOverlayOpaque());
    EXPECT_FALSE(isEditorActive());
}

TEST_F(ProgramQueriesTest, GameplaySuspendedByTheCutsceneOrTheLevel) {
    allManagers();
    EXPECT_FALSE(isGameplaySuspended());
    blend = 0.25f;
    EXPECT_TRUE(isGameplaySuspended());
    blend = 0.0f;
    suspended = true;
    EXPECT_TRUE(isGameplaySuspended());
    // Either manager missing: false.
    levelManager = nullptr;
    EXPECT_FALSE(isGameplaySuspended());
}

TEST_F(ProgramQueriesTest, SuspendedOrLoadingReadsTheOverlayNotTheSuspendFlag) {
    allManagers();
    suspended = true;
    EXPECT_FALSE(isGameplaySuspendedOrLoading());
    overlayBusy = true;
    EXPECT_TRUE(isGameplaySuspendedOrLoading());
    overlayBusy = false;
    blend = 0.5f;
    EXPECT_TRUE(isGameplaySuspendedOrLoading());
    screenManager = nullptr;
    EXPECT_FALSE(isGameplaySuspendedOrLoading());
}

TEST_F(ProgramQueriesTest, MenuOpenWhileTheStackIsActiveAndNoPauseScreenShows) {
    allManagers();
    EXPECT_FALSE(isMenuOpen());
    stackActive = true;
    EXPECT_TRUE(isMenuOpen());
    pauseVisible = true;
    EXPECT_FALSE(isMenuOpen());
}

TEST_F(ProgramQueriesTest, OpaqueOnlyForKindTwoFullyFaded) {
    allManagers();
    fade = 1.0f;
    EXPECT_TRUE(isLoadingOverlayOpaque());
    fade = 1.0f - 5e-7f;
    EXPECT_TRUE(isLoadingOverlayOpaque());
    fade = 0.999f;
    EXPECT_FALSE(isLoadingOverlayOpaque());
    fade = 1.0f;
    kind = 1;
    EXPECT_FALSE(isLoadingOverlayOpaque());
}

TEST_F(ProgramQueriesTest, InputBlockedWhileLoadingOrWhenScreensHoldInput) {
    allManagers();
    EXPECT_FALSE(isGameInputBlocked());
    loading = true;
    EXPECT_TRUE(isGameInputBlocked());
    loading = false;
    inputAllowed = false;
    EXPECT_TRUE(isGameInputBlocked());
}

TEST_F(ProgramQueriesTest, TheScreenGatesAreTheScreenManagersOwn) {
    allManagers();
    EXPECT_TRUE(screensAllowInput());
    EXPECT_TRUE(screensAllowGameUpdate());
    inputAllowed = false;
    EXPECT_FALSE(screensAllowInput());
    EXPECT_TRUE(screensAllowGameUpdate());
    gameUpdateAllowed = false;
    EXPECT_FALSE(screensAllowGameUpdate());
    // Unfilled slots hold nothing back.
    resetCoreSlots();
    EXPECT_TRUE(screensAllowInput());
    EXPECT_TRUE(screensAllowGameUpdate());
}

TEST_F(ProgramQueriesTest, SimulationAndScreenKeepingTheGameRunning) {
    allManagers();
    EXPECT_TRUE(isSimulationActive());
    EXPECT_TRUE(isSimulationRunning());
    EXPECT_FALSE(isGameRunningBehindScreen());
    keepsTimer = true;
    EXPECT_TRUE(isGameRunningBehindScreen());
    // Unfilled slots answer their defaults.
    resetCoreSlots();
    EXPECT_FALSE(isSimulationActive());
    EXPECT_FALSE(isGameplaySuspended());
    EXPECT_FALSE(isLoadingOverlayOpaque());
}
