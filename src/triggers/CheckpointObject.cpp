#include "triggers/CheckpointObject.h"

#include "core/Globals.h"
#include "level/AttributeExtras.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"

using namespace irr;

void CheckpointObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    LevelObject::serializeAttributes(out, options);
    out->addBool("UseCheckpointAsSpawn", UseCheckpointAsSpawn);
    if (UseCheckpointAsSpawn)
        out->addInt("SpawnCameraID", SpawnCameraID);
    out->addBool("CheckpointSaved", CheckpointSaved);
    out->addBool("IsActiveCheckpoint", IsActiveCheckpoint);
}

void CheckpointObject::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    LevelObject::deserializeAttributes(in, options);
    readIfPresent(in, "UseCheckpointAsSpawn", UseCheckpointAsSpawn);
    if (UseCheckpointAsSpawn)
        readIfPresent(in, "SpawnCameraID", SpawnCameraID);
    readIfPresent(in, "CheckpointSaved", CheckpointSaved);
    // A reached checkpoint reads as met in expressions of a level restored from a save.
    if (CheckpointSaved)
        ConditionMet = true;
    readIfPresent(in, "IsActiveCheckpoint", IsActiveCheckpoint);
    if (IsActiveCheckpoint && levelManager && saveManager &&
        saveManager->getAutoSaveExists(levelManager->isStoryRun()))
        levelManager->activeCheckpoint = this;
}

scene::ISceneNode* CheckpointObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    // The copy reads this checkpoint's keys: it must not take over as the active one.
    scene::ISceneNode* active = levelManager ? levelManager->activeCheckpoint : nullptr;
    auto* copy = static_cast<CheckpointObject*>(cloneAs<CheckpointObject>(newParent, newManager));
    if (levelManager)
        levelManager->activeCheckpoint = active;
    // A copy is a checkpoint of its own: nothing saved there yet.
    if (copy) {
        copy->CheckpointSaved = false;
        copy->IsActiveCheckpoint = false;
        copy->ConditionMet = false;
        copy->PrevConditionMet = false;
    }
    return copy;
}

