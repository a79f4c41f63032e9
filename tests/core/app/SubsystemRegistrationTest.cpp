// The game's registration fills every slot by which a lower layer calls up: a slot left empty
// fails silently in the running game, while a test that fills it itself would still pass.
#include "camera/CameraServices.h"
#include "characters/CharacterServices.h"
#include "core/CoreSlots.h"
#include "core/FileChecks.h"
#include "core/app/SubsystemRegistration.h"
#include "gui/GuiHooks.h"
#include "core/Globals.h"
#include "level/LevelHooks.h"
#include "level/LevelManager.h"
#include "support/NullDevice.h"
#include "physics/world/PhysicsHooks.h"
#include "player/PlayerHooks.h"
#include "render/RenderServices.h"
#include "triggers/TriggerServices.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

// The slots only a player body could fill, one line each on why; the game places no player
// body in the player list. None are left: the limb helpers call the physics object directly.
const std::set<std::string> playerBodySlots = {};

class SubsystemRegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetGameSubsystemSlots();
        registerGameSubsystems();
    }
    void TearDown() override { resetGameSubsystemSlots(); }
};

// A table holds nothing but slots, so its size tells how many it has: a slot added to a
// table and not to the walk below fails the walk.
template <class Table>
constexpr std::size_t slotCount() {
    static_assert(sizeof(Table) % sizeof(std::function<void()>) == 0, "a slot table holds only slots");
    return sizeof(Table) / sizeof(std::function<void()>);
}

#define SLOT(expr) std::pair<std::string, bool>(#expr, static_cast<bool>(expr))

// One table's slots as the walk names them (each name begins with the table's name).
struct SlotTable {
    const char* name;
    std::size_t slotCount;
    std::vector<std::pair<std::string, bool>> slots;
};

TEST_F(SubsystemRegistrationTest, EverySlotIsFilledExceptThoseOnlyAPlayerBodyCouldFill) {
    const CoreSlots& core = coreSlots();
    const LevelHookTable& level = levelHooks();
    const GuiHooks& gui = guiHooks();
    const PhysicsHookTable& physics = physicsHooks();
    const TriggerServiceTable& triggers = triggerServices();
    const CameraServices& camera = cameraServices();
    const RenderServices& render = renderServices();
    const CharacterServiceTable& characters = characterServices();
    const PlayerHooks& player = playerHooks();
    const std::vector<SlotTable> tables = {
        {"core", slotCount<CoreSlots>(),
         {
             SLOT(core.physics.isSimulationActive),
             SLOT(core.screens.isInputAllowed),
             SLOT(core.screens.isGameUpdateAllowed),
             SLOT(core.screens.topScreenKeepsTimerRunning),
             SLOT(core.screens.overlayBlend),
             SLOT(core.screens.isStackActive),
             SLOT(core.screens.isPauseScreenVisible),
             SLOT(core.level.isSuspended),
             SLOT(core.level.isLevelLoading),
             SLOT(core.level.isLoadingOverlayBusy),
             SLOT(core.level.loadingOverlayTransitionKind),
             SLOT(core.level.loadingOverlayFadeValue),
             SLOT(core.level.pauseSoundObject),
             SLOT(core.level.releaseSoundObjectAudio),
             SLOT(core.fonts.getCachedFont),
         }},
        {"level", slotCount<LevelHookTable>(),
         {
             SLOT(level.physics.resetFrameCounter),
             SLOT(level.physics.toggleDebugVisualization),
             SLOT(level.physics.applyLevelSettings),
             SLOT(level.physics.setSublevelState),
             SLOT(level.physics.cloneForInstance),
             SLOT(level.physics.registerInstance),
             SLOT(level.render.applyLevelSettings),
             SLOT(level.render.isInstancingEnabled),
             SLOT(level.render.skipNextScenePass),
             SLOT(level.render.requestEditorRefresh),
             SLOT(level.render.loadSpriteAnimation),
             SLOT(level.render.rebuildTextMesh),
             SLOT(level.camera.applyLevelSettings),
             SLOT(level.triggers.startLevelInfoEvents),
             SLOT(level.triggers.setCheckpointActive),
             SLOT(level.triggers.getCheckpointSpawn),
             SLOT(level.characters.makeProfile),
             SLOT(level.characters.resetSuspicion),
             SLOT(level.characters.updateSuspicion),
             SLOT(level.characters.reduceSuspicion),
             SLOT(level.characters.isSuspicionFull),
             SLOT(level.players.getSuspicionRecord),
             SLOT(level.gui.drawLoadingOverlay),
             SLOT(level.gui.playSubtitle),
             SLOT(level.screens.applyLevelSettings),
             SLOT(level.screens.maintainWorkshopZip),
             SLOT(level.screens.titleLevelLoaded),
             SLOT(level.screens.getLevelTitle),
             SLOT(level.screens.renderLoadingFrame),
             SLOT(level.screens.dismissAllNotifications),
             SLOT(level.screens.closeAllScreens),
             SLOT(level.screens.openMainScreen),
             SLOT(level.screens.showSplash),
             SLOT(level.screens.isGamePaused),
             SLOT(level.screens.clearSubtitleOf),
             SLOT(level.input.wasKeyPressed),
             SLOT(level.input.gameOverRumble),
         }},
        {"gui", slotCount<GuiHooks>(),
         {
             SLOT(gui.screens.findScreenOf),
             SLOT(gui.screens.topScreen),
             SLOT(gui.screens.topScreenFocus),
             SLOT(gui.screens.isInputAllowed),
             SLOT(gui.screens.overscanMargin),
             SLOT(gui.screens.overlayBlend),
             SLOT(gui.screens.hud),
             SLOT(gui.screens.pausePanel),
             SLOT(gui.screens.notificationQueueHead),
             SLOT(gui.screens.setCaptureInput),
             SLOT(gui.screens.capturedInput),
             SLOT(gui.menus.createMainScreen),
             SLOT(gui.menus.showCalibrationPreview),
             SLOT(gui.camera.menuCamera),
             SLOT(gui.camera.setCameraOffset),
             SLOT(gui.suspicion.shown),
             SLOT(gui.suspicion.addSplat),
         }},
        {"physics", slotCount<PhysicsHookTable>(),
         {
             SLOT(physics.triggers.onObjectEnter),
             SLOT(physics.triggers.onObjectLeave),
             SLOT(physics.characters.addSuspicion),
             SLOT(physics.characters.getSuspicionValues),
             SLOT(physics.characters.onCharacterStruck),
             SLOT(physics.characters.onControllerShapeHit),
             SLOT(physics.characters.walkingPush),
             SLOT(physics.characters.onControllersMet),
             SLOT(physics.characters.enableAnimators),
             SLOT(physics.characters.setAnimatorEnabled),
             SLOT(physics.cameras.startCutscene),
             SLOT(physics.cameras.cutsceneFinishedListeners),
             SLOT(physics.screens.handleDebugKeys),
             SLOT(physics.screens.catchUpUpdate),
         }},
        {"triggers", slotCount<TriggerServiceTable>(),
         {
             SLOT(triggers.screens.isGameHeld),
             SLOT(triggers.screens.objectiveCenter),
             SLOT(triggers.screens.setLevelTimerShown),
             SLOT(triggers.screens.notificationLayer),
             SLOT(triggers.screens.notificationByName),
             SLOT(triggers.screens.notificationByPath),
             SLOT(triggers.screens.showNotification),
             SLOT(triggers.screens.dismissNotification),
             SLOT(triggers.screens.isListedLevel),
         }},
        {"camera", slotCount<CameraServices>(),
         {
             SLOT(camera.screens.startCrossfade),
             SLOT(camera.screens.isInputAllowed),
             SLOT(camera.screens.cutsceneScreen),
             SLOT(camera.screens.overscan),
         }},
        {"render", slotCount<RenderServices>(),
         {
             SLOT(render.cameras.viewportCamera),
             SLOT(render.screens.renderLoadingFrame),
             SLOT(render.fonts.addTrueTypeText),
         }},
        {"characters", slotCount<CharacterServiceTable>(),
         {
             SLOT(characters.screens.addSplat),
             SLOT(characters.screens.drawsGui),
             SLOT(characters.screens.cutsceneBarsShown),
         }},
        {"player", slotCount<PlayerHooks>(),
         {
             SLOT(player.screens.getTopScreenFocus),
             SLOT(player.screens.activeScreenState),
         }},
    };
    std::set<std::string> walked;
    for (const SlotTable& table : tables) {
        EXPECT_EQ(table.slots.size(), table.slotCount) << "every slot of the table " << table.name << " is walked";
        for (const auto& [name, filled] : table.slots) {
            EXPECT_EQ(name.rfind(table.name + std::string("."), 0), 0u) << name << " is not a slot of " << table.name;
            EXPECT_TRUE(walked.insert(name).second) << name << " is walked twice";
            const bool bodyOnly = playerBodySlots.count(name) > 0;
            EXPECT_EQ(filled, !bodyOnly) << name << (bodyOnly ? " is filled, yet listed as a player body's" : " is empty");
        }
    }
}

#undef SLOT

// Emptied, every table answers its defaults again (the next run of the game registers afresh),
// and a user level's confinement of reads ends with the game that played it.
// The level slots read the level manager's own state, and answer "no" without one.
TEST_F(SubsystemRegistrationTest, TheLevelSlotsReadTheLevelManagersState) {
    const CoreSlots::Level& slots = coreSlots().level;
    EXPECT_FALSE(slots.isSuspended());
    EXPECT_FALSE(slots.isLevelLoading());
    EXPECT_EQ(slots.loadingOverlayTransitionKind(), 0);
    test::NullDevice engine;
    LevelManager level(engine.get());
    levelManager = &level;
    for (const bool on : {true, false}) {
        level.suspended = on;
        level.levelLoading = !on;
        EXPECT_EQ(slots.isSuspended(), on);
        EXPECT_EQ(slots.isLevelLoading(), !on);
    }
    level.loadingOverlay.kind = 3;
    level.loadingOverlay.fadeValue = 0.25f;
    EXPECT_EQ(slots.loadingOverlayTransitionKind(), 3);
    EXPECT_FLOAT_EQ(slots.loadingOverlayFadeValue(), 0.25f);
    levelManager = nullptr;
}

// Without a screen manager nothing stands in the way of the game: input and updates go on,
// and no screen is there to keep the timer running, hold a stack or show a pause screen.
TEST_F(SubsystemRegistrationTest, TheScreenSlotsAnswerForNoScreensWithoutAScreenManager) {
    ASSERT_EQ(screenManager, nullptr);
    const CoreSlots::Screens& screens = coreSlots().screens;
    EXPECT_TRUE(screens.isInputAllowed());
    EXPECT_TRUE(screens.isGameUpdateAllowed());
    EXPECT_FALSE(screens.topScreenKeepsTimerRunning());
    EXPECT_FALSE(screens.isStackActive());
    EXPECT_FALSE(screens.isPauseScreenVisible());
    EXPECT_EQ(screens.overlayBlend(), 0.0f);
}

TEST_F(SubsystemRegistrationTest, ResetEmptiesEveryTable) {
    confineReadsToFolders({"Content"});
    ASSERT_TRUE(isOutsideConfinedFolders("/etc/passwd"));
    resetGameSubsystemSlots();
    EXPECT_FALSE(isOutsideConfinedFolders("/etc/passwd")) << "reads are no longer confined";
    EXPECT_FALSE(coreSlots().screens.isInputAllowed);
    EXPECT_FALSE(levelHooks().screens.closeAllScreens);
    EXPECT_FALSE(guiHooks().screens.topScreen);
    EXPECT_FALSE(physicsHooks().triggers.onObjectEnter);
    EXPECT_FALSE(triggerServices().screens.isGameHeld);
    EXPECT_FALSE(cameraServices().screens.cutsceneScreen);
    EXPECT_FALSE(renderServices().fonts.addTrueTypeText);
    EXPECT_FALSE(characterServices().screens.addSplat);
    EXPECT_FALSE(playerHooks().screens.getTopScreenFocus);
}

} // namespace
