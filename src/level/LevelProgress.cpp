// The level manager's part in the player's progress: checkpoints and the autosave, restarts,
// the level and story times, and the records the save keeps of a level run.

#include "level/LevelManager.h"

#include "core/FileUtils.h"
#include "core/Globals.h"
#include "core/LoadBudget.h"
#include "core/Log.h"
#include "core/RepeatedLog.h"
#include "core/ProcessGuards.h"
#include "core/SafeWrite.h"
#include "core/TextUtils.h"
#include "core/Utf8.h"
#include "level/LevelFile.h"
#include "level/LevelHooks.h"
#include "level/LevelInfo.h"
#include "level/ObjectiveObject.h"
#include "level/SaveManager.h"

#include <algorithm>
#include <sys/stat.h>

using namespace irr;

// --- checkpoints ---------------------------------------------------------------------------------

io::path LevelManager::getCheckpointPath(bool story) const {
    const std::string folder = saveManager ? saveManager->getFolder() : saveFolderPath();
    std::string name = story ? storyCheckpointFileName : freeplayCheckpointFileName;
    if (binarySaves)
        name = name.substr(0, name.rfind('.')) + binaryCheckpointExtension;
    return (folder + "/" + name).c_str();
}

int LevelManager::checkpointModeOf(const io::path& path) const {
    for (int story = 0; story < 2; ++story)
        if (equalsIgnoringAsciiCase(std::string_view(path.c_str()),
                                    std::string_view(getCheckpointPath(story == 1).c_str())))
            return story;
    return -1;
}

void LevelManager::saveCheckpointAt(scene::ISceneNode* checkpoint) {
    if (!checkpoint)
        return;
    const LevelHookTable::Triggers& checkpoints = levelHooks().triggers;
    scene::ISceneNode* previous = activeCheckpoint;
    if (checkpoints.setCheckpointActive) {
        if (previous && previous != checkpoint)
            checkpoints.setCheckpointActive(previous, false);
        checkpoints.setCheckpointActive(checkpoint, true);
    }
    activeCheckpoint = checkpoint;
    const bool listed =
        std::find(checkpointList.begin(), checkpointList.end(), checkpoint->getID()) != checkpointList.end();
    if (!listed)
        checkpointList.push_back(checkpoint->getID());

    // The player starts a level restored from this save at the checkpoint (and with its
    // camera: applyLevelSettings).
    s32 spawnCameraID = 0;
    if (currentLevelInfo && checkpoints.getCheckpointSpawn &&
        checkpoints.getCheckpointSpawn(checkpoint, spawnCameraID)) {
        checkpoint->updateAbsolutePosition();
        currentLevelInfo->settings.PlayerSpawnPosition = checkpoint->getAbsolutePosition();
        currentLevelInfo->settings.PlayerSpawnRotation =
            checkpoint->getAbsoluteTransformation().getRotationDegrees();
    }
    if (!saveCheckpoint()) {
        // The file on the disk is still the checkpoint before (or none): a restart from the
        // checkpoint goes there, not to one that was never written.
        if (checkpoints.setCheckpointActive && previous != checkpoint) {
            checkpoints.setCheckpointActive(checkpoint, false);
            if (previous)
                checkpoints.setCheckpointActive(previous, true);
        }
        activeCheckpoint = previous;
        if (!listed)
            checkpointList.pop_back();
        return;
    }

    // The save now holds an autosave of this level for the current mode.
    if (!saveManager)
        return;
    const bool story = isStoryRun();
    const bool automatic = saveManager->automaticWriting;
    saveManager->automaticWriting = false;
    saveManager->setAutoSaveExists(true, story);
    saveManager->setAutoSavePath(currentLevelPath.c_str(), story);
    saveManager->setAutoSaveCheckpoint(currentLevelPath.c_str(), story);
    saveManager->automaticWriting = automatic;
    // The checkpoint file is written: the save that points to it follows by the frame's end.
    if (automatic)
        saveManager->requestWriteThisFrame();
}

bool LevelManager::saveCheckpoint() {
    // The progress asked for so far goes to the disk first: a checkpoint of a large level
    // takes a while, and a game ended during it must not lose the save.
    if (saveManager)
        saveManager->writeRequested();
    checkpointSaving = true;
    onCheckpointSave.invoke();
    const bool written = writeCheckpointFile(getCheckpointPath(isStoryRun()));
    checkpointSaving = false;
    return written;
}

bool LevelManager::writeCheckpointFile(const io::path& path) {
    if (!sceneManager || (saveManager && !saveManager->canWrite()))
        return false;
    createDirectoryPath(saveManager ? saveManager->getFolder() : saveFolderPath());
    // A large level takes a while: loading frames show, and a quit stops the write.
    std::string bytes;
    if (!encodeLevelFile(sceneManager, path, bytes, nullptr, true))
        return false;
    // What the game writes it must read back: a checkpoint larger than a level load reads
    // would be refused at the restart, so it is not written and the old one stays.
    const std::uint64_t readable = loadBudget().limit(LoadBudget::Bytes);
    if (bytes.size() > readable) {
        logRepeatableAs(std::string("checkpoint too large: ") + path.c_str(),
                        std::string(logErrorPrefix) + "The checkpoint \"" + path.c_str() + "\" is not written: it " +
                            "would be " + std::to_string(bytes.size()) + " bytes, more than the " +
                            std::to_string(readable) + " a level load reads; the old one is kept.");
        return false;
    }
    // The player's file: written beside the old one and put in place only once it reads
    // back as a whole level.
    SafeFileWrite file(path.c_str());
    if (!file.isOpen() || !file.write(bytes.data(), bytes.size()))
        return false;
    std::string error;
    if (!isWholeXmlLevel(sceneManager->getFileSystem(), file.tempPath().c_str(), error, true)) {
        if (!gameQuitting())
            logMessage(std::string(logErrorPrefix) + "The checkpoint \"" + path.c_str() +
                       "\" could not be written whole (" + error + "); the old one is kept.");
        return false;
    }
    return file.commit();
}

void LevelManager::clearCheckpoint() {
    activeCheckpoint = nullptr;
    checkpointList.clear();
}

void LevelManager::restartLevel() {
    const io::path path = currentLevelPath.c_str();
    if (path.empty()) {
        logRepeatable(std::string(logErrorPrefix) + "There is no level to restart.");
        return;
    }
    unloadLevel();
    loadLevel(path);
}

void LevelManager::restartFromCheckpoint() {
    const io::path checkpoint = getCheckpointPath(isStoryRun());
    struct stat info {};
    if (checkpointList.empty() || ::stat(checkpoint.c_str(), &info) != 0) {
        logMessage("No checkpoint to restart from; restarting the level.");
        restartLevel();
        return;
    }
    // The run goes on from the checkpoint: its times and records stay.
    restoringCheckpoint = true;
    unloadLevel();
    const bool loaded = loadLevel(checkpoint);
    restoringCheckpoint = false;
    if (!loaded && !gameQuitting())
        restartLevel();
}

void LevelManager::loadLevelFromEvent(const io::path& path) {
    if (!currentLevelPath.empty())
        unloadLevel();
    loadLevel(path);
}

// --- a level run ------------------------------------------------------------------------------------

void LevelManager::beginLevelRun(const io::path& loadedPath) {
    const int checkpointMode = checkpointModeOf(loadedPath);
    if (checkpointMode >= 0 && saveManager) {
        // A checkpoint file stands for the level its autosave names.
        const std::wstring level = saveManager->getAutoSavePath(checkpointMode == 1);
        if (!level.empty())
            currentLevelPath = level.c_str();
    }
    gameOverTimer = 0.0f;
    if (activeCheckpoint &&
        std::find(checkpointList.begin(), checkpointList.end(), activeCheckpoint->getID()) == checkpointList.end())
        checkpointList.push_back(activeCheckpoint->getID());

    if (!restoringCheckpoint) {
        levelRun = LevelRunRecord();
        // A level resumed from a checkpoint file has no time of its own up to there.
        levelRun.validTime = checkpointMode < 0;
        levelRun.countsStoryTime = isStoryRun() && saveManager && saveManager->isStoryTimeAllowed();
        levelRun.storyTime = levelRun.countsStoryTime ? saveManager->getStoryTime() : 0.0f;
        levelLengthRecorded = false;
        statsPending = true;
    }

    std::string collection = toUtf8(getLevelName().c_str());
    collection = collection.substr(0, collection.rfind('.'));
    objectives.setCollection(collection);
    objectives.setCollectionFile(languageFile(ObjectiveList::defaultCollectionFile));
    if (sceneManager) {
        objectives.loadCollection(sceneManager->getFileSystem());
        listLoadedObjectives(sceneManager->getRootSceneNode(), objectives);
    }
}

bool LevelManager::isTimedLevel() const {
    // Asked every frame: the title level's path is widened once, the current one not copied.
    static const core::stringw titleLevel(titleBackgroundLevel);
    return !currentLevelPath.empty() && !levelLoading &&
           !equalsIgnoringAsciiCase(std::wstring_view(titleLevel.c_str(), titleLevel.size()),
                                    std::wstring_view(currentLevelPath.c_str(), currentLevelPath.size()));
}

void LevelManager::advanceLevelTime(f32 seconds) {
    if (seconds <= 0.0f || !isTimedLevel() || loadingOverlay.showsLoadingScreen())
        return;
    levelRun.levelTime += seconds;
    if (levelRun.countsStoryTime)
        levelRun.storyTime += seconds;
}

bool LevelManager::recordLevelLength() {
    if (levelLengthRecorded || !levelRun.validTime || !saveManager || currentLevelPath.empty())
        return false;
    levelLengthRecorded = true;
    return saveManager->saveLevelLength(currentLevelPath.c_str(), levelRun.levelTime);
}

void LevelManager::submitLevelStats(bool finishedGame) {
    if (saveManager)
        saveManager->submitLevelStats(levelRun, finishedGame);
}

SuspicionMeter* LevelManager::getPlayerSuspicion(int index) {
    PlayerObject* player = getPlayer(index);
    const auto& playerMeter = levelHooks().players.getSuspicionRecord;
    if (player && playerMeter)
        if (SuspicionMeter* meter = playerMeter(player))
            return meter;
    return suspicionMeter.get();
}

bool LevelManager::isCurrentObjective(const ObjectiveObject* objective) const {
    return objective && objectives.isCurrent(objective->getID());
}
