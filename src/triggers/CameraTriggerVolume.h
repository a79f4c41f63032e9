#pragma once

#include "triggers/TriggerObject.h"

#include <vector>

// A camera volume ('cmrv', "CameraTriggerVolume"): a trigger volume preset to On Player
// Collide with a Set Camera action, so that entering it pushes its camera and leaving takes
// it back. Its table says, per camera volume the player may come from, how fast the camera
// moves over and whether it crossfades instead.
class CameraTriggerVolume : public TriggerObject {
public:
    CameraTriggerVolume(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1);

    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("cmrv"); }
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;
    const char* getEditorIconPath() const override { return "Content/Models/Editor/TransPurple.png"; }
    const char* getEditorIconPathAlt() const override { return "Content/Models/Editor/TransBlue.png"; }

    // The speed for coming from the previous volume: its table entry, else the Set Camera
    // action's speed, else -1 (the camera manager keeps its own).
    irr::f32 getTransitionSpeedFrom(irr::scene::ISceneNode* previous) const;
    // Whether coming from the previous volume crossfades (false when it is not in the table).
    bool getUseCrossfadeFrom(irr::scene::ISceneNode* previous) const;

    // Parallel rows: entry i of each belongs to the same previous volume.
    std::vector<irr::s32> previousVolumes;
    std::vector<irr::f32> transitionSpeeds;
    std::vector<bool> crossfades;
    bool AllowManualCamera = false;

private:
    // The table row of the previous volume, or -1.
    int rowOf(irr::scene::ISceneNode* previous) const;
};

// The volume as a camera volume, or null.
CameraTriggerVolume* asCameraVolume(irr::scene::ISceneNode* node);
