#pragma once

#include "triggers/TriggerObject.h"

// A place in a level where progress is saved ('chck'). It counts as a trigger kind, so that
// an object-ID expression naming a reached checkpoint is true (its ConditionMet), but it
// never evaluates, fires or runs an action, and its files hold none of the trigger keys. It
// holds what the level manager's checkpoint saves need: the four keys, and the rule that a
// checkpoint read as the active one becomes the level manager's active checkpoint.
class CheckpointObject : public TriggerObject {
public:
    CheckpointObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1)
        : TriggerObject(parent, manager, id) {}

    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("chck"); }
    // Only the scene node's own step (animators and children).
    void OnAnimate(irr::u32 timeMs) override { LevelObject::OnAnimate(timeMs); }
    const irr::core::aabbox3df& getBoundingBox() const override { return checkpointBox; }
    // It draws nothing: every index answers the engine's identity material.
    irr::video::SMaterial& getMaterial(irr::u32) override { return irr::video::IdentityMaterial; }

    // "UseCheckpointAsSpawn"; "SpawnCameraID" only with it; "CheckpointSaved";
    // "IsActiveCheckpoint".
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    // The same keys, each only when present. CheckpointSaved true also sets ConditionMet
    // (never back to false). IsActiveCheckpoint true makes this the level
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

private:
    irr::core::aabbox3df checkpointBox{-1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f};
};

