#pragma once

#include "level/LevelObject.h"

#include <irrlicht.h>

namespace phys {
class Joint;
class RigidActor;
struct Transform;
} // namespace phys
class MarkerObject;
class PhysicsObject;

// A joint between two bodies ('jont', "JointObject"). The designer places two markers, each
// a child of the body it anchors (a physics object, or the level information for the
// player), and names them in "ObjectID1" and "ObjectID2"; the markers give the joint its
// frames. The object draws nothing. On its first animation pass it resolves its markers and
// bodies and builds the joint of its "JointType" (D6, distance, fixed, prismatic, revolute,
// spherical) with its motions, limits, drives and projection; one second of passes later it
// sets the break limits. The "Physics Joint" property of the set-object-property action
// builds (true) and releases (false) it; a body switching between kinematic and dynamic
// releases and rebuilds it. A save writes "JointEnabled" as the joint's live state: false
// once it has broken or been released.
class JointObject : public LevelObject {
public:
    enum Kind : irr::s32 { D6 = 0, Distance = 1, Fixed = 2, Prismatic = 3, Revolute = 4, Spherical = 5 };
    enum Motion : irr::s32 { Locked = 0, Limited = 1, Free = 2 };

    static const char* const jointTypeNames[];
    static const char* const motionNames[];

    JointObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1);
    ~JointObject() override;

    void OnAnimate(irr::u32 timeMs) override;
    const irr::core::aabbox3df& getBoundingBox() const override { return boundingBox; }
    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("jont"); }
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;
    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    // Builds the joint (replacing a live one) when the bodies can be joined; sets
    // "JointEnabled" whenever they pass the check.
    void createJoint();
    // Releases the joint and clears "JointEnabled".
    void releaseJoint();
    // Sets the break limits ("BreakForce" or "BreakTorque" standing in for the other).
    void applyBreakForce();
    bool checkBodies();
    // Logs an invalid limit; answers valid.
    bool checkLimit(bool valid);
    // A body is being destroyed: the joint forgets it and the marker it carries.
    void forgetBody(irr::scene::ISceneNode* body);

    phys::Joint* getJoint() const { return joint; }
    // The joint exists and the physics library has not broken it.
    bool isJointLive() const;
    irr::scene::ISceneNode* getBody(int index) const { return index == 0 ? body1 : body2; }

    irr::core::vector2df PrismaticLimitPair{0.0f, 5.0f};
    irr::f32 PrismaticLimitDistance = 0.05f;
    irr::core::vector2df TwistLimitPair{45.0f, 45.0f};
    irr::f32 TwistLimitDistance = 0.05f;
    irr::core::vector2df SwingLimitPair{45.0f, 45.0f};
    irr::f32 SwingLimitDistance = 0.05f;
    irr::core::vector2df SphereLimitCone{45.0f, 45.0f};
    irr::f32 SphereLimitDistance = 0.05f;
    irr::core::vector2df RevoluteLimitPair{45.0f, 45.0f};
    irr::f32 RevoluteLimitDistance = 0.05f;
    irr::f32 LinearLimit = 1.0f;
    irr::f32 LinearLimitDistance = 0.05f;
    irr::core::vector2df MinMaxDistance{0.0f, 2.0f};
    irr::core::vector3df LinearDriveVelocity;
    irr::core::vector3df AngularDriveVelocity;
    irr::f32 BreakForce = 0.0f;
    irr::f32 BreakTorque = 0.0f;
    irr::f32 JointSpring = 0.0f;
    irr::f32 JointDamping = 0.0f;
    irr::f32 breakTimer = 0.0f;
    irr::s32 ObjectID1 = 0;
    irr::s32 ObjectID2 = 0;
    irr::s32 JointType = Fixed;
    bool bodiesPending = true;
    bool CollideJointedObjects = true;
    bool JointEnabled = true;
    // X, Y, Z, Twist, Swing1, Swing2.
    irr::s32 motions[6] = {Free, Free, Free, Free, Free, Free};
    // XDrive, YDrive, ZDrive, TwistDrive, SwingDrive, SlerpDrive: spring, damping, force limit.
    irr::core::vector3df drives[6];
    bool driveAccel[6] = {false, false, false, false, false, false};
    irr::s32 DrivePositionMarkerID = 0;

private:
    void resolveBodies();
    phys::RigidActor* actorOf(irr::scene::ISceneNode* body, const MarkerObject* marker) const;
    void buildD6(phys::RigidActor* actor0, const phys::Transform& frame0, phys::RigidActor* actor1,
                 const phys::Transform& frame1);
    void linkBodies(bool add);
    // The body as a physics object, or null; the player's body is never looked at, as it may
    // already be gone when the scene is cleared (it tells no joint when it goes).
    PhysicsObject* physicsBody(irr::scene::ISceneNode* body) const;

    irr::core::aabbox3df boundingBox{-1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f};
    phys::Joint* joint = nullptr;
    MarkerObject* marker1 = nullptr;
    MarkerObject* marker2 = nullptr;
    irr::scene::ISceneNode* body1 = nullptr;
    irr::scene::ISceneNode* body2 = nullptr;
    // The player's body when a marker stands for the player.
    irr::scene::ISceneNode* playerBody = nullptr;
    MarkerObject* driveMarker = nullptr;
};

// Registers the "JointObject" row of the scene-node factory.
void registerJointObjectType();
