#include "triggers/actions/LevelFlowActions.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "core/LogManager.h"
#include "core/TextUtils.h"
#include "level/AttributeExtras.h"
#include "level/LevelEvents.h"
#include "level/LevelLimits.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"
#include "triggers/CheckpointObject.h"
#include "triggers/TriggerServices.h"
#include "triggers/actions/ActionSupport.h"

using namespace irr;

namespace {

bool sameLevelPath(const core::stringw& a, const char* b) {
    return equalsIgnoringAsciiCase(std::wstring_view(a.c_str(), a.size()), std::wstring_view(core::stringw(b).c_str()));
}

core::stringc narrowPath(const core::stringw& path) { return core::stringc(path.c_str()); }

// The player has left the level or restarts it (a quit, a load or a restart waits).
bool levelBeingLeft() {
    for (LevelEventType type : {LET_ReturnToMainMenu, LET_LoadLevel, LET_RestartLevel, LET_RestartFromCheckpoint})
        if (levelManager->isEventQueued(type))
            return true;
    return false;
}

// A level file the engine's file system can open.
bool isLoadableLevel(const core::stringw& path) {
    const core::stringc narrow = narrowPath(path);
    if (!core::hasFileExtension(narrow, "irr") || !gameDevice)
        return false;
    return gameDevice->getFileSystem()->existFile(narrow);
}

} // namespace

// --- End Level ----------------------------------------------------------------------------------

void EndLevelAction::queueReturn() const {
    levelManager->queueTransition(true, TransitionType, 1.0f, HoldLength, 2);
    levelManager->queueReturnToMainMenu();
}

void EndLevelAction::writeSave() {
    if (!saveManager)
        return;
    saveManager->automaticWriting = true;
    // The level's end is on the disk by the end of this frame: a game ended during the
    // transition that follows keeps it.
    saveManager->requestWriteThisFrame();
}

void EndLevelAction::execute(TriggerEventInfo&) {
    logStep();
    // A level the player is leaving (its script ran on behind the quit's transition) ends no
    // more: its covering transition and its return or splash would come after the menu it
    // was left for, and leave that covered.
    if (levelManager && levelBeingLeft()) {
        logMessage("The level is being left: it does not end.");
        return;
    }
    logMessage(std::string("Ending Level, transitioning to: ") + narrowPath(NextLevel).c_str());
    if (!levelManager)
        return;
    // One write at the end, whatever the steps below change.
    if (saveManager)
        saveManager->automaticWriting = false;
    const s32 mode = levelManager->PlayMode;
    const bool story = mode == LevelManager::playModeStory;
    const bool finishedGame = story && sameLevelPath(NextLevel, endingLevel);
    if (logManager) {
        logManager->submitLevelStats(finishedGame);
        levelManager->statsPending = false;
    }
    const core::stringw path = NextLevel;
    if (SaveLevelLength)
        levelManager->recordLevelLength();

    if (path.size() >= 2 && saveManager) {
        if (mode != LevelManager::playModeWorkshop && sameLevelPath(path, checkpointLevel))
            saveManager->setAutoSaveCheckpoint(path.c_str(), levelManager->isStoryRun());
        if (story) {
            const core::stringw savePath = SetSaveLevelPath ? SaveLevelPath : path;
            const auto& isListedLevel = triggerServices().screens.isListedLevel;
            if (!SetSaveLevelPath && !(isListedLevel && isListedLevel(narrowPath(savePath)))) {
                // Past the last listed level: the story is over.
                queueReturn();
                saveManager->setGameBeaten(true);
                writeSave();
                return;
            }
            saveManager->setAutoSaveCheckpoint(savePath.c_str(), true);
            if (!(SetSaveLevelPath && SaveLevelPath.empty())) {
                if (SetSaveLevelPath)
                    saveManager->setAutoSaveCheckpoint(SaveLevelPath.c_str(), true);
                saveManager->setAutoSavePath((SetSaveLevelPath ? SaveLevelPath : path).c_str(), true);
            }
            saveManager->setAutoSaveExists(false, true);
        }
    }

    levelManager->loadingOverlay.mode = TransitionType;
    levelManager->loadingOverlay.hold = HoldLength;
    const bool demoSplash = demoMode && !sameLevelPath(levelManager->getCurrentLevelPath(), demoControlsLevel);
    if (demoSplash) {
        // A show run ends every level on the thanks picture.
        levelManager->queueTransition(true, TransitionType, 1.0f, HoldLength, 2);
        levelManager->queueShowSplash();
    } else if (isLoadableLevel(path) && (story || SetSaveLevelPath || mode == LevelManager::playModeWorkshop)) {
        levelManager->queueLoadLevel(narrowPath(path), false);
    } else {
        queueReturn();
    }
    writeSave();
}

void EndLevelAction::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions*) const {
    addFilePath(out, "NextLevel", narrowPath(NextLevel).c_str());
    triggerActions::addEnumByIndex(out, "TransitionType", TransitionType, levelTransitionNames);
    out->addFloat("HoldLength", HoldLength);
    out->addBool("SaveLevelLength", SaveLevelLength);
    out->addBool("SetSaveLevelPath", SetSaveLevelPath);
    if (SetSaveLevelPath)
        addFilePath(out, "SaveLevelPath", narrowPath(SaveLevelPath).c_str());
}

void EndLevelAction::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions*) {
    if (in->existsAttribute("NextLevel"))
        NextLevel = in->getAttributeAsStringW("NextLevel");
    triggerActions::readKnownEnum(in, "TransitionType", levelTransitionNames, TransitionType);
    // The hold covers the next level: an endless one would keep it covered for good.
    if (readIfPresent(in, "HoldLength", HoldLength))
        clampLevelFloat(getName(), trigger ? trigger->getName() : "", "HoldLength", HoldLength, 0.0f,
                        maxLevelHoldSeconds);
    readIfPresent(in, "SaveLevelLength", SaveLevelLength);
    readIfPresent(in, "SetSaveLevelPath", SetSaveLevelPath);
    if (in->existsAttribute("SaveLevelPath"))
        SaveLevelPath = in->getAttributeAsStringW("SaveLevelPath");
}

TriggerAction* EndLevelAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new EndLevelAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}

// --- Level CheckPoint -------------------------------------------------------------------------------

void LevelCheckPointAction::execute(TriggerEventInfo&) {
    logStep();
    scene::ISceneNode* node = triggerActions::findObjectByID(ObjectID);
    if (!node || node->getType() != typeId("chck") || !levelManager)
        return;
    auto* checkpoint = static_cast<CheckpointObject*>(node);
    if (checkpoint->CheckpointSaved)
        return;
    checkpoint->CheckpointSaved = true;
    levelManager->queueSaveCheckpoint(checkpoint);
}

TriggerAction* LevelCheckPointAction::clone(TriggerObject* newTrigger) const {
    auto* copy = new LevelCheckPointAction(newTrigger);
    copyAttributes(this, copy);
    return copy;
}
