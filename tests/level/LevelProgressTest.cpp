#include "LevelTestSupport.h"

#include "support/FileSizeLimit.h"

#include "characters/SuspicionMeter.h"
#include "core/Globals.h"
#include "core/LoadBudget.h"
#include "core/LogManager.h"
#include "level/LevelHooks.h"
#include "level/LevelInfo.h"
#include "level/ObjectiveObject.h"
#include "level/SaveManager.h"
#include "level/VariableObject.h"
#include "triggers/CheckpointObject.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace irr;

namespace {

constexpr const char* flowLevel = "FlowLevel.irr";

class LevelProgressTest : public test::LevelFixture {
protected:
    void SetUp() override {
        LevelFixture::SetUp();
        useTestData();
        save = std::make_unique<SaveManager>(device->get()->getFileSystem(), temp.file("save"));
        save->automaticWriting = false;
        saveManager = save.get();
        manager->PlayMode = 2; // free play
    }
    void TearDown() override {
        saveManager = nullptr;
        save.reset();
        LevelFixture::TearDown();
    }

    template <class T> T* node(s32 id) { return static_cast<T*>(manager->getSceneNodeFromID(id)); }
    void runQueue() {
        for (int i = 0; i < 100 && !manager->getLevelEvents().empty(); ++i)
            manager->processLevelEvents(1.0f);
    }
    // Queues a checkpoint save and runs it.
    bool saveAt(s32 id) {
        const bool queued = manager->queueSaveCheckpoint(node<CheckpointObject>(id));
        runQueue();
        return queued;
    }

    std::unique_ptr<SaveManager> save;
};

bool checkpointSavingDuringList = false;
void noteCheckpointSaving() {
    checkpointSavingDuringList = levelManager->checkpointSaving;
}

TEST_F(LevelProgressTest, CheckpointFilesLiveInTheSaveFolder) {
    EXPECT_EQ(manager->getCheckpointPath(true), io::path((temp.file("save") + "/checkpoint_story.irr").c_str()));
    EXPECT_EQ(manager->getCheckpointPath(false),
              io::path((temp.file("save") + "/checkpoint_freeplay.irr").c_str()));
}

TEST_F(LevelProgressTest, CheckpointSaveWritesTheFileWithTheFlagSetDuringTheList) {
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    manager->onCheckpointSave.addFunction(&noteCheckpointSaving);
    checkpointSavingDuringList = false;
    ASSERT_TRUE(saveAt(50));
    EXPECT_TRUE(checkpointSavingDuringList);
    EXPECT_FALSE(manager->checkpointSaving);

    const std::string file = manager->getCheckpointPath(false).c_str();
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_FALSE(std::filesystem::exists(manager->getCheckpointPath(true).c_str()));
    auto* checkpoint = node<CheckpointObject>(50);
    EXPECT_TRUE(checkpoint->IsActiveCheckpoint);
    EXPECT_EQ(manager->activeCheckpoint, checkpoint);
    EXPECT_EQ(manager->checkpointList, std::vector<s32>{50});
    // The save knows of the free-play autosave of this level.
    EXPECT_TRUE(save->getAutoSaveExists(false));
    EXPECT_FALSE(save->getAutoSaveExists(true));
    EXPECT_EQ(save->getAutoSavePath(false), L"FlowLevel.irr");
    EXPECT_EQ(save->getAutoSaveCheckpoint(false), L"FlowLevel.irr");
    EXPECT_FALSE(std::filesystem::exists(save->getSavePath())) << "no write without automatic writing";
    EXPECT_TRUE(save->listBackups().empty());
}

TEST_F(LevelProgressTest, SecondSaveMovesTheActiveFlagAndTheSpawn) {
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    saveAt(50);
    saveAt(51);
    EXPECT_FALSE(node<CheckpointObject>(50)->IsActiveCheckpoint);
    EXPECT_TRUE(node<CheckpointObject>(51)->IsActiveCheckpoint);
    EXPECT_EQ(manager->activeCheckpoint, node<CheckpointObject>(51));
    EXPECT_EQ(manager->checkpointList, (std::vector<s32>{50, 51}));
    // Checkpoint 51 is the spawn: the player starts at its place in the world.
    const LevelSettings& settings = manager->currentLevelInfo->settings;
    test::expectNear(settings.PlayerSpawnPosition, core::vector3df(110, 0, 5), 1e-3f);
    test::expectNear(settings.PlayerSpawnRotation, core::vector3df(0, 90, 0), 1e-3f);
}

// Hundreds of checkpoints reached in one frame: one line for the refused saves, and at the
// level's unload one line of how many more there were.
TEST_F(LevelProgressTest, RefusedSavesOfOneFrameLogOneLineAndTheirCount) {
    const std::string refused = "ERROR: Failed to queue additional level event: LET_SaveCheckpoint.";
    const struct {
        int saves;
        std::vector<std::string> lines;
    } cases[] = {{2, {refused}},
                 {3, {refused, "Repeated 1 more time: " + refused}},
                 {500, {refused, "Repeated 498 more times: " + refused}}};
    for (const auto& c : cases) {
        ASSERT_TRUE(manager->loadLevel(flowLevel));
        log.lines.clear();
        for (int i = 0; i < c.saves; ++i)
            manager->queueSaveCheckpoint(node<CheckpointObject>(50));
        EXPECT_EQ(log.countStartingWith("ERROR: "), 1u) << c.saves;
        manager->dropQueuedEvents();
        manager->unloadLevel();
        EXPECT_EQ(log.lines, c.lines) << c.saves;
    }
}

TEST_F(LevelProgressTest, SaveIsRefusedWhenOneIsQueuedOrTheMeterIsFull) {
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    auto* checkpoint = node<CheckpointObject>(50);
    log.lines.clear();
    EXPECT_TRUE(manager->queueSaveCheckpoint(checkpoint));
    EXPECT_FALSE(manager->queueSaveCheckpoint(node<CheckpointObject>(51)));
    EXPECT_TRUE(log.contains("ERROR: Failed to queue additional level event: LET_SaveCheckpoint."));
    runQueue();

    manager->suspicionMeter->pendingValue = 100.0f;
    EXPECT_FALSE(manager->queueSaveCheckpoint(node<CheckpointObject>(51)));
    EXPECT_TRUE(manager->getLevelEvents().empty());
    manager->suspicionMeter->pendingValue = 99.0f;
    EXPECT_TRUE(manager->queueSaveCheckpoint(node<CheckpointObject>(51)));
}

TEST_F(LevelProgressTest, CheckpointOfAnUnloadedLevelIsNotSaved) {
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    ASSERT_TRUE(manager->queueSaveCheckpoint(node<CheckpointObject>(50)));
    manager->unloadLevel();
    log.lines.clear();
    runQueue();
    EXPECT_FALSE(std::filesystem::exists(manager->getCheckpointPath(false).c_str()));
    EXPECT_EQ(manager->activeCheckpoint, nullptr);
    EXPECT_TRUE(log.contains("Skipped a checkpoint save: its level was unloaded.")) << "an information line, no error";
}

TEST_F(LevelProgressTest, RestartFromCheckpointRestoresTheSavedLevelAndItsActiveCheckpoint) {
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    node<VariableObject>(11)->Value = 7.0f;
    saveAt(51);
    node<VariableObject>(11)->Value = 99.0f;
    manager->advanceLevelTime(30.0f);

    ASSERT_TRUE(manager->queueRestartFromCheckpoint());
    runQueue();
    EXPECT_FLOAT_EQ(node<VariableObject>(11)->Value, 7.0f);
    auto* checkpoint = node<CheckpointObject>(51);
    ASSERT_NE(checkpoint, nullptr);
    EXPECT_TRUE(checkpoint->IsActiveCheckpoint);
    EXPECT_EQ(manager->activeCheckpoint, checkpoint);
    EXPECT_FALSE(node<CheckpointObject>(50)->IsActiveCheckpoint);
    // It is still the same level, and the same run of it.
    EXPECT_EQ(manager->getCurrentLevelPath(), core::stringw(L"FlowLevel.irr"));
    EXPECT_EQ(manager->getLevelName(), core::stringw(L"FlowLevel.irr"));
    EXPECT_FLOAT_EQ(manager->levelRun.levelTime, 30.0f);
    EXPECT_TRUE(manager->hasValidTime());
    EXPECT_EQ(manager->checkpointList, std::vector<s32>{51});
}

TEST_F(LevelProgressTest, ALevelRestoredAtASpawnCheckpointStartsWithItsCamera) {
    std::vector<s32> spawnCameras;
    levelHooks().camera.applyLevelSettings = [&](const LevelSettings&, s32 spawnCameraID) {
        spawnCameras.push_back(spawnCameraID);
    };
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    saveAt(50); // no spawn
    ASSERT_TRUE(manager->queueRestartFromCheckpoint());
    runQueue();
    ASSERT_EQ(manager->activeCheckpoint, node<CheckpointObject>(50));
    saveAt(51); // the spawn, with camera 70
    ASSERT_TRUE(manager->queueRestartFromCheckpoint());
    runQueue();
    ASSERT_EQ(manager->activeCheckpoint, node<CheckpointObject>(51));
    EXPECT_EQ(spawnCameras, (std::vector<s32>{0, 0, 70}));
}

TEST_F(LevelProgressTest, RestartLevelGoesBackToTheLevelFile) {
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    node<VariableObject>(11)->Value = 7.0f;
    saveAt(50);
    manager->advanceLevelTime(30.0f);
    manager->queueClearCheckpoint();
    manager->queueRestartLevel();
    runQueue();
    EXPECT_FLOAT_EQ(node<VariableObject>(11)->Value, 3.5f);
    EXPECT_EQ(manager->activeCheckpoint, nullptr);
    EXPECT_TRUE(manager->checkpointList.empty());
    EXPECT_FALSE(node<CheckpointObject>(50)->IsActiveCheckpoint);
    EXPECT_FLOAT_EQ(manager->levelRun.levelTime, 0.0f);
}

TEST_F(LevelProgressTest, RestartFromCheckpointWithoutOneRestartsTheLevel) {
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    node<VariableObject>(11)->Value = 7.0f;
    manager->queueRestartFromCheckpoint();
    runQueue();
    EXPECT_TRUE(log.contains("No checkpoint to restart from; restarting the level."));
    EXPECT_FLOAT_EQ(node<VariableObject>(11)->Value, 3.5f);

    // A checkpoint file of an earlier run is not this run's checkpoint.
    node<VariableObject>(11)->Value = 9.0f;
    ASSERT_TRUE(saveAt(50));
    manager->clearCheckpoint();
    manager->queueRestartFromCheckpoint();
    runQueue();
    EXPECT_FLOAT_EQ(node<VariableObject>(11)->Value, 3.5f);
}

TEST_F(LevelProgressTest, ActiveCheckpointNeedsAnAutosaveOfTheCurrentMode) {
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    saveAt(50);
    const io::path file = manager->getCheckpointPath(false);
    // Story mode asks the story group, which holds no autosave.
    manager->PlayMode = 1;
    manager->unloadLevel();
    manager->clearCheckpoint();
    ASSERT_TRUE(manager->loadLevel(file));
    EXPECT_EQ(manager->activeCheckpoint, nullptr);
    EXPECT_TRUE(node<CheckpointObject>(50)->IsActiveCheckpoint);
    // Free play has one.
    manager->PlayMode = 2;
    manager->unloadLevel();
    ASSERT_TRUE(manager->loadLevel(file));
    EXPECT_EQ(manager->activeCheckpoint, node<CheckpointObject>(50));
}

TEST_F(LevelProgressTest, ResumingFromTheCheckpointFileIsTheLevelWithoutAValidTime) {
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    saveAt(50);
    manager->unloadLevel();
    manager->clearCheckpoint();
    // The level menus resume free play by loading the checkpoint file.
    ASSERT_TRUE(manager->queueLoadLevel(manager->getCheckpointPath(false), true));
    runQueue();
    EXPECT_EQ(manager->getCurrentLevelPath(), core::stringw(L"FlowLevel.irr"));
    EXPECT_EQ(manager->activeCheckpoint, node<CheckpointObject>(50));
    EXPECT_EQ(manager->checkpointList, std::vector<s32>{50});
    EXPECT_FALSE(manager->hasValidTime());
    manager->advanceLevelTime(12.0f);
    EXPECT_FALSE(manager->recordLevelLength());
}

TEST_F(LevelProgressTest, CheckpointWriteThatFailsKeepsTheOldFile) {
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    saveAt(50);
    const std::string file = manager->getCheckpointPath(false).c_str();
    const std::string before = test::readFileBytes(file);
    node<VariableObject>(11)->Value = 42.0f;
    bool written = true;
    {
        // The disk fills up halfway through the new file.
        test::FileSizeLimit limit(before.size() / 2);
        written = manager->saveCheckpoint();
    }
    EXPECT_FALSE(written);
    EXPECT_FALSE(manager->checkpointSaving);
    EXPECT_EQ(test::readFileBytes(file), before);

    // A file where the save folder should be: nothing can be written there.
    test::writeFileBytes(temp.file("NotAFolder"), "x");
    SaveManager blocked(device->get()->getFileSystem(), temp.file("NotAFolder"));
    saveManager = &blocked;
    written = manager->saveCheckpoint();
    saveManager = save.get();
    EXPECT_FALSE(written);
    EXPECT_EQ(test::readFileBytes(temp.file("NotAFolder")), "x");
    LevelManager bare(nullptr);
    EXPECT_FALSE(bare.saveCheckpoint());
}

bool saveOnDiskDuringList = false;
void noteSaveOnDisk() {
    saveOnDiskDuringList = std::filesystem::exists(saveManager->getSavePath());
}

// What the game writes it reads back: a level filled with cubes, written by the game near a
// load's bytes, gets a checkpoint of about its own size (no default material values) that
// loads back with the bytes on its size; one byte less and the checkpoint is not written (one
// line), the one before stays and a restart goes there. The save asked for so far is written
// before the checkpoint.
TEST_F(LevelProgressTest, ACheckpointIsWrittenOnlyWhenALevelLoadCanReadItBack) {
    struct RestoreBytes {
        ~RestoreBytes() { loadBudget().setLimit(LoadBudget::Bytes, LoadBudget::gameLimits[LoadBudget::Bytes]); }
    } restoreBytes;
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    for (int i = 0; i < 100; ++i)
        smgr()->addCubeSceneNode(1.0f, root(), 1000 + i, core::vector3df(static_cast<f32>(i), 0, 0));
    ASSERT_TRUE(manager->saveLevel("Cubes.irr"));
    const std::uintmax_t levelBytes = std::filesystem::file_size("Cubes.irr");
    loadBudget().setLimit(LoadBudget::Bytes, levelBytes + levelBytes / 10);
    manager->unloadLevel();
    ASSERT_TRUE(manager->loadLevel("Cubes.irr"));
    const u32 nodes = countNodes(root());
    save->requestWrite();
    manager->onCheckpointSave.addFunction(&noteSaveOnDisk);
    ASSERT_TRUE(saveAt(50));
    EXPECT_TRUE(saveOnDiskDuringList);
    const std::string file = manager->getCheckpointPath(false).c_str();
    const std::uintmax_t checkpointBytes = std::filesystem::file_size(file);
    EXPECT_LT(checkpointBytes, levelBytes + levelBytes / 20);

    // On the bound, one past it, and one past it at a checkpoint not saved before.
    const struct {
        std::uintmax_t limit;
        s32 checkpoint;
    } rows[] = {{checkpointBytes, 50}, {checkpointBytes - 1, 50}, {checkpointBytes - 1, 51}};
    const std::string refusal = "ERROR: The checkpoint \"" + file + "\" is not written: it would be ";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.checkpoint);
        loadBudget().setLimit(LoadBudget::Bytes, row.limit);
        const bool fits = row.limit == checkpointBytes;
        node<VariableObject>(11)->Value = fits ? 7.0f : 8.0f;
        log.lines.clear();
        manager->saveCheckpointAt(node<CheckpointObject>(row.checkpoint));
        EXPECT_EQ(log.countStartingWith(refusal), fits ? 0u : 1u);
        if (row.checkpoint == 50 && !fits) {
            EXPECT_TRUE(log.contains(refusal + std::to_string(checkpointBytes) + " bytes, more than the " +
                                     std::to_string(row.limit) + " a level load reads; the old one is kept."));
        }
        EXPECT_EQ(manager->checkpointList, std::vector<s32>{50});
        EXPECT_EQ(manager->activeCheckpoint, node<CheckpointObject>(50));
        loadBudget().setLimit(LoadBudget::Bytes, checkpointBytes);
        ASSERT_TRUE(manager->queueRestartFromCheckpoint());
        runQueue();
        ASSERT_NE(node<VariableObject>(11), nullptr);
        EXPECT_FLOAT_EQ(node<VariableObject>(11)->Value, 7.0f);
        EXPECT_EQ(manager->activeCheckpoint, node<CheckpointObject>(50));
        EXPECT_EQ(countNodes(root()), nodes);
    }
}

// While changes go on the save waits for its second; the level's end writes it at once.
TEST_F(LevelProgressTest, TheLevelsEndWritesTheSaveThatWaits) {
    save->setWriteClock([] { return 0.0; });
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    for (const bool waits : {false, true}) {
        save->requestWrite();
        EXPECT_EQ(save->writeRequestedWhenDue(), !waits);
        EXPECT_EQ(save->isWriteRequested(), waits);
    }
    manager->unloadLevel();
    EXPECT_FALSE(save->isWriteRequested());
    EXPECT_FALSE(save->writeRequestedWhenDue());
}

// --- times and records ----------------------------------------------------------------------

TEST_F(LevelProgressTest, LevelTimeCountsWhileALevelRunsAndStoryTimeOnlyInAStory) {
    manager->advanceLevelTime(5.0f); // no level
    EXPECT_FLOAT_EQ(manager->levelRun.levelTime, 0.0f);
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    EXPECT_TRUE(manager->statsPending);
    EXPECT_FALSE(manager->countsStoryTime());
    manager->advanceLevelTime(2.5f);
    manager->advanceLevelTime(-1.0f);
    EXPECT_FLOAT_EQ(manager->levelRun.levelTime, 2.5f);
    EXPECT_FLOAT_EQ(manager->levelRun.storyTime, 0.0f);

    // A story run that allows story time goes on from the story time the save holds.
    save->resetStorySave();
    LevelRunRecord earlier;
    earlier.countsStoryTime = true;
    earlier.storyTime = 100.0f;
    save->submitLevelStats(earlier, false);
    manager->PlayMode = 1;
    manager->unloadLevel();
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    EXPECT_TRUE(manager->countsStoryTime());
    manager->advanceLevelTime(4.0f);
    EXPECT_FLOAT_EQ(manager->levelRun.levelTime, 4.0f);
    EXPECT_FLOAT_EQ(manager->levelRun.storyTime, 104.0f);
    manager->submitLevelStats(false);
    EXPECT_FLOAT_EQ(save->getStoryTime(), 104.0f);

    // Nothing counts while a level loads or while the loading screen still hides it, nor
    // story time in a story that does not allow it. The time runs again as the cover lifts.
    manager->levelLoading = true;
    manager->advanceLevelTime(1.0f);
    manager->levelLoading = false;
    EXPECT_FLOAT_EQ(manager->levelRun.levelTime, 4.0f);
    manager->loadingOverlay.fadeValue = 1.0f;
    manager->loadingOverlay.beginLoad();
    manager->advanceLevelTime(1.0f);
    EXPECT_FLOAT_EQ(manager->levelRun.levelTime, 4.0f) << "under the loading screen";
    manager->loadingOverlay.fadeValue = 0.99f;
    manager->advanceLevelTime(1.0f);
    EXPECT_FLOAT_EQ(manager->levelRun.levelTime, 5.0f) << "the cover lifting";
    save->getModeGroup(true)->setAttribute("AllowStoryTime", false);
    manager->unloadLevel();
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    EXPECT_FALSE(manager->countsStoryTime());
}

// The level's one clock: a frame plays what the physics simulates of it (the level's time and
// its script's timers go on by that), and nothing while the loading screen hides the level.
TEST_F(LevelProgressTest, AFramePlaysWhatItSimulatesAndNothingUnderTheLoadingScreen) {
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    constexpr f32 simulated = 10 * 0.0167f; // a slow frame's ten steps
    manager->setSimulatedSeconds(simulated);
    for (const bool loadingScreen : {true, false}) {
        manager->loadingOverlay.fadeValue = 1.0f;
        manager->loadingOverlay.loadingScreen = loadingScreen;
        const f32 played = loadingScreen ? 0.0f : simulated;
        const f32 before = manager->levelRun.levelTime;
        EXPECT_FLOAT_EQ(levelPlaySeconds(), played) << loadingScreen;
        manager->update();
        EXPECT_FLOAT_EQ(manager->levelRun.levelTime - before, played) << loadingScreen;
    }
}

TEST_F(LevelProgressTest, TitleBackgroundIsNotTimed) {
    std::filesystem::create_directories("Content/Levels");
    std::filesystem::copy_file("PlainLevel.irr", titleBackgroundLevel);
    ASSERT_TRUE(manager->loadLevel(titleBackgroundLevel));
    manager->advanceLevelTime(3.0f);
    EXPECT_FLOAT_EQ(manager->levelRun.levelTime, 0.0f);
}

TEST_F(LevelProgressTest, LevelLengthIsRecordedOncePerRunKeepingTheBest) {
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    manager->advanceLevelTime(80.0f);
    EXPECT_TRUE(manager->recordLevelLength());
    manager->advanceLevelTime(10.0f);
    EXPECT_FALSE(manager->recordLevelLength()); // once per run
    EXPECT_FLOAT_EQ(save->getBestLevelTime(L"FlowLevel.irr"), 80.0f);
    manager->restartLevel();
    manager->advanceLevelTime(95.0f);
    EXPECT_FALSE(manager->recordLevelLength()); // slower
    manager->restartLevel();
    manager->advanceLevelTime(60.0f);
    EXPECT_TRUE(manager->recordLevelLength());
    EXPECT_FLOAT_EQ(save->getBestLevelTime(L"FlowLevel.irr"), 60.0f);
}

// --- objectives -------------------------------------------------------------------------------------

class RecordingObjectiveDisplay : public ObjectiveDisplay {
public:
    void setRowText(int row, const wchar_t* text) override {
        calls.push_back("text " + std::to_string(row) + " " + core::stringc(text).c_str());
    }
    void setRowOpenLook(int row, s32 frame, bool visible) override {
        calls.push_back("open " + std::to_string(row) + " " + std::to_string(frame) + (visible ? " shown" : " hidden"));
    }
    void showCompletionHighlight(int row) override { calls.push_back("highlight " + std::to_string(row)); }
    void setRowCompletedLook(int row, s32 frame) override {
        calls.push_back("completed " + std::to_string(row) + " " + std::to_string(frame));
    }
    void hideAll() override { calls.push_back("hide all"); }
    std::vector<std::string> calls;
};

TEST_F(LevelProgressTest, ObjectivesRevealActivateCompleteAndReplace) {
    RecordingObjectiveDisplay display;
    manager->objectives.setDisplay(&display);
    std::vector<f32> reductions;
    levelHooks().characters.reduceSuspicion = [&](SuspicionMeter& meter, f32 amount) {
        EXPECT_EQ(&meter, manager->suspicionMeter.get());
        reductions.push_back(amount);
    };
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    // The level's collection follows the level's name.
    EXPECT_EQ(manager->objectives.getCollection(), "FlowLevel");
    auto* inside = node<ObjectiveObject>(60);
    auto* escape = node<ObjectiveObject>(61);
    display.calls.clear();

    inside->addToObjectiveList(); // not revealed: nothing
    EXPECT_TRUE(manager->objectives.getEntries().empty());
    inside->setRevealed(true);
    inside->addToObjectiveList();
    escape->setRevealed(true);
    escape->addToObjectiveList();
    EXPECT_TRUE(manager->isCurrentObjective(inside));
    EXPECT_FALSE(manager->isCurrentObjective(escape));
    EXPECT_EQ(display.calls, (std::vector<std::string>{"text 0 #GetInside", "open 0 2 shown",
                                                       "text 1 #Escape", "open 1 4 shown"}));
    display.calls.clear();

    inside->complete();
    inside->complete();
    EXPECT_EQ(reductions, std::vector<f32>{25.0f});
    escape->complete(); // reduces nothing
    EXPECT_EQ(reductions.size(), 1u);
    EXPECT_EQ(display.calls, (std::vector<std::string>{"highlight 0", "highlight 1"}));
    display.calls.clear();

    escape->replaceFrom(*inside);
    escape->setRevealed(false);
    EXPECT_EQ(escape->TextID, L"GetInside");
    EXPECT_EQ(escape->IconFrame, 2);
    EXPECT_TRUE(escape->ReducesSuspicion);
    EXPECT_FLOAT_EQ(escape->SuspicionReduction, inside->SuspicionReduction);

    manager->unloadLevel();
    EXPECT_EQ(display.calls.back(), "hide all");
    EXPECT_TRUE(manager->objectives.getEntries().empty());
    manager->objectives.setDisplay(nullptr);
}

} // namespace

namespace {

TEST_F(LevelProgressTest, CheckpointKeysAndClonesFollowTheirRules) {
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    saveAt(51);
    auto* source = node<CheckpointObject>(51);
    source->CheckpointSaved = true;
    io::IAttributes* attributes = device->get()->getFileSystem()->createEmptyAttributes();
    source->serializeAttributes(attributes);
    EXPECT_TRUE(attributes->getAttributeAsBool("UseCheckpointAsSpawn"));
    EXPECT_EQ(attributes->getAttributeAsInt("SpawnCameraID"), 70);
    EXPECT_TRUE(attributes->getAttributeAsBool("CheckpointSaved"));
    EXPECT_TRUE(attributes->getAttributeAsBool("IsActiveCheckpoint"));
    attributes->clear();
    // SpawnCameraID only goes with UseCheckpointAsSpawn.
    node<CheckpointObject>(50)->serializeAttributes(attributes);
    EXPECT_FALSE(attributes->existsAttribute("SpawnCameraID"));
    attributes->drop();

    // A copy is a checkpoint of its own and does not take over as the active one.
    scene::ISceneNode* copy = source->clone();
    ASSERT_NE(copy, nullptr);
    auto* checkpointCopy = static_cast<CheckpointObject*>(copy);
    EXPECT_FALSE(checkpointCopy->CheckpointSaved);
    EXPECT_FALSE(checkpointCopy->IsActiveCheckpoint);
    EXPECT_TRUE(checkpointCopy->UseCheckpointAsSpawn);
    EXPECT_EQ(manager->activeCheckpoint, source);
}

TEST_F(LevelProgressTest, ObjectiveKeysRoundTrip) {
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    auto* inside = node<ObjectiveObject>(60);
    inside->setRevealed(true);
    inside->complete();
    ASSERT_TRUE(manager->saveLevel("Saved.irr"));
    manager->unloadLevel();
    ASSERT_TRUE(manager->loadLevel("Saved.irr"));
    inside = node<ObjectiveObject>(60);
    EXPECT_EQ(inside->getType(), typeId("obji"));
    EXPECT_EQ(inside->TextID, L"GetInside");
    EXPECT_EQ(inside->IconFrame, 2);
    EXPECT_TRUE(inside->IsRevealed);
    EXPECT_TRUE(inside->IsCompleted);
    EXPECT_TRUE(inside->ReducesSuspicion);
    EXPECT_FLOAT_EQ(inside->SuspicionReduction, 25.0f);
}

} // namespace

namespace {

TEST_F(LevelProgressTest, FinishedLevelStatisticsReachTheSaveThroughTheLog) {
    LogManager statsLog(temp.file("PaddlestoneLog.txt"));
    logManager = &statsLog;
    manager->init(); // takes the statistics hand-over
    manager->PlayMode = 1;
    save->resetStorySave();
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    manager->advanceLevelTime(50.0f);
    statsLog.submitLevelStats(true);
    EXPECT_FLOAT_EQ(save->getBestStoryTime(), 50.0f);
    EXPECT_EQ(save->getGroup(SaveManager::Statistics)->getAttributeAsInt("GamesFinished"), 1);
    manager.reset(); // lets go of the hand-over
    levelManager = nullptr;
    statsLog.submitLevelStats(true);
    EXPECT_EQ(save->getGroup(SaveManager::Statistics)->getAttributeAsInt("GamesFinished"), 1);
    logManager = nullptr;
}

} // namespace

namespace {

TEST_F(LevelProgressTest, ObjectiveListComesBackWithARestartFromCheckpoint) {
    ASSERT_TRUE(manager->loadLevel(flowLevel));
    EXPECT_TRUE(manager->objectives.getEntries().empty()); // the level file lists none
    auto* escape = node<ObjectiveObject>(61);
    auto* inside = node<ObjectiveObject>(60);
    escape->setRevealed(true);
    escape->addToObjectiveList();
    inside->setRevealed(true);
    inside->addToObjectiveList();
    inside->complete();
    saveAt(50);
    manager->queueRestartFromCheckpoint();
    runQueue();
    const auto& entries = manager->objectives.getEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].id, 61);
    EXPECT_EQ(entries[1].id, 60);
    EXPECT_TRUE(entries[1].completed);
    EXPECT_TRUE(manager->isCurrentObjective(node<ObjectiveObject>(61)));
}

} // namespace
