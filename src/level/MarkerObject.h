#pragma once

#include "level/LevelObject.h"

// A pose for the physics layer: a rotation and a position relative to the parent body.
struct MarkerPose {
    irr::core::quaternion rotation; // identity: (0, 0, 0, 1)
    irr::core::vector3df position;
};

// A marker ('mrkr'): the anchor of a joint. Its parent is the body it is fixed to (a
// physics object, or the level information for a marker on the player); "SegmentID"
// names a segment of the player's body by one of the 24 names of `segmentNames`.
class MarkerObject : public LevelObject {
public:
    MarkerObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager,
                 irr::s32 id = -1)
        : LevelObject(parent, manager, id) {}

    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("mrkr"); }

    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;

    // The marker's pose in its parent body: when the parent is of a physics kind ('phsx',
    // 'apsx', 'ties', 'crct'), the rotation is the quaternion of the marker's relative
    // rotation (degrees times 0.01745) and the position its relative position times the
    // parent's relative scale, component by component; otherwise the identity.
    static MarkerPose getPoseRelativeTo(const MarkerObject* marker);

    // "Head", "Head Collider", "Torso", "Hips", "LArm1".."LArm6", "LLeg1".."LLeg3", "LFoot",
    // "RArm1".."RArm6", "RLeg1".."RLeg3", "RFoot"; null-terminated.
    static const irr::c8* const segmentNames[];
    static constexpr irr::s32 segmentCount = 24;

    irr::s32 SegmentID = 0;
};
