#pragma once

#include "physics/objects/PhysicsObject.h"

// A dynamic physics object of its own kind ('apsx', "AdvancedPhysicsObject"): a door that
// swings on a hinge, or a target blocker. Its body is the physics object's own; a door adds
// a kinematic post beside its hinge edge (box 1), for a one-way door a kinematic stop one
// door thickness beyond the side it may not swing to (box 2), and a six-axis joint between
// the door and the post that leaves only the turn about the vertical free (limited to 90
// degrees for a one-way door). The door's poses are saved into checkpoints
// ("UseCheckpointPos") so that a restored door is rebuilt exactly where it stood.
// Advanced objects have their own filter words: doors meet door posts, target blockers do
// not.
class AdvancedPhysicsObject : public PhysicsObject {
public:
    enum Kind : irr::s32 { Door = 0, TargetBlocker = 1 };
    static const char* const advancedTypeNames[];

    AdvancedPhysicsObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1);
    ~AdvancedPhysicsObject() override;

    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("apsx"); }
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;
    void updateCollisionFilter(phys::RigidActor* body) override;

    // Builds (or rebuilds) the door's hinge: post, stop and joint.
    void createDoor();

    phys::D6Joint* getDoorJoint() const { return doorJoint; }
    phys::RigidDynamic* getHingePost() const { return box1Actor; }
    phys::RigidActor* getDoorStop() const { return box2Actor; }

    irr::s32 AdvancedType = Door;
    bool DoorOpensBothWays = false;
    bool DoorOpensLeft = false;
    bool DoorOpensIn = false;
    irr::core::vector3df Box1Position, Box1Rotation, Box2Position, Box2Rotation, JointPosition;
    irr::core::quaternion JointRotation{0.0f, 0.0f, 0.0f, 1.0f};
    bool UseCheckpointPos = false;

private:
    void releaseHinge();

    phys::D6Joint* doorJoint = nullptr;
    phys::RigidDynamic* box1Actor = nullptr;
    phys::RigidActor* box2Actor = nullptr;
};

// Registers the "AdvancedPhysicsObject" row of the scene-node factory.
void registerAdvancedPhysicsObjectType();
