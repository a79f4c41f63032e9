#pragma once

#include "level/LevelObject.h"

// Stand-in for the checkpoint object ('chck') of the triggers subsystem, which completes it
// (as a kind of trigger, with its bounding box and cloning). It holds what the level
// manager's checkpoint saves need: the four keys, and the rule that a checkpoint read as
// the active one becomes the level manager's active checkpoint.
class CheckpointObject : public LevelObject {
public:
    CheckpointObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1)
        : LevelObject(parent, manager, id) {}

    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("chck"); }

    // "UseCheckpointAsSpawn"; "SpawnCameraID" only with it; "CheckpointSaved";
    // "IsActiveCheckpoint".
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    // The same keys, each only when present. IsActiveCheckpoint true makes this the level
    // manager's active checkpoint when the save holds an autosave for the current mode
    // (the story's in a story run, else free play's).
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;

    irr::s32 SpawnCameraID = 0;
    bool CheckpointSaved = false;
    bool IsActiveCheckpoint = false;
    bool UseCheckpointAsSpawn = false;
};

