// Building, limiting, driving and releasing the library joint of a joint object. Every
// limit is tested before it is set: an invalid one is logged and left off, and the rest of
// the joint is built.
#include "physics/joints/JointObject.h"

#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsManager.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "level/LevelManager.h"
#include "level/MarkerObject.h"
#include "level/NodeHelpers.h"
#include "player/PlayerObject.h"

#include <cmath>

using namespace irr;

namespace {

constexpr f32 jointDegToRad = 0.017453292f;

// A value is set when it differs from 0 by more than 1e-6 (in double precision).
bool jointValueSet(f32 value) { return std::fabs(static_cast<double>(value)) > 1e-6; }
bool jointVectorSet(const core::vector3df& v) { return jointValueSet(v.X) || jointValueSet(v.Y) || jointValueSet(v.Z); }

phys::Transform markerFrame(const MarkerObject* marker) {
    const MarkerPose pose = MarkerObject::getPoseRelativeTo(marker);
    return phys::Transform(toPhys(pose.position),
                           phys::Quat(pose.rotation.X, pose.rotation.Y, pose.rotation.Z, pose.rotation.W));
}

// The first player when the node is that player, else null.
PlayerObject* asListedPlayer(scene::ISceneNode* node) {
    PlayerObject* player = playerCount() > 0 ? getPlayer(0) : nullptr;
    return node && player == node ? player : nullptr;
}

// A dynamic body that is not kinematic stops (a joint with break limits is built at rest).
void stopFreeBody(phys::RigidActor* actor) {
    phys::RigidDynamic* dynamic = actor ? actor->asRigidDynamic() : nullptr;
    if (!dynamic || dynamic->isKinematic())
        return;
    dynamic->setLinearVelocity(phys::Vec3(), true);
    dynamic->setAngularVelocity(phys::Vec3(), true);
}

} // namespace

phys::RigidActor* JointObject::actorOf(scene::ISceneNode* body, const MarkerObject* marker) const {
    const s32 segment = marker ? marker->SegmentID : 0;
    if (PhysicsObject* object = asPhysicsObject(body))
        return object->getActor(segment);
    if (PlayerObject* player = asListedPlayer(body))
        return static_cast<phys::RigidActor*>(player->getSegmentActor(segment));
    return nullptr;
}

bool JointObject::checkBodies() {
    if (!marker1 || !marker2 || !body1 || !body2)
        return false;
    auto bodyActor = [this](scene::ISceneNode* body, const MarkerObject* marker) -> phys::RigidActor* {
        if (PhysicsObject* object = asPhysicsObject(body))
            return object->getBodyActor();
        return actorOf(body, marker);
    };
    auto staticActor = [](scene::ISceneNode* body) -> phys::RigidActor* {
        PhysicsObject* object = asPhysicsObject(body);
        return object ? object->getStaticActor() : nullptr;
    };
    if (!bodyActor(body1, marker1) || !bodyActor(body2, marker2)) {
        logMessagePair("ERROR: JointObject does not have two collision bodies: ", getNodeDisplayName(this).c_str());
        return false;
    }
    if (staticActor(body1) && staticActor(body2)) {
        logMessagePair("ERROR: JointObject cannot joint 2 static bodies: ", getNodeDisplayName(this).c_str());
        return false;
    }
    return true;
}

bool JointObject::checkLimit(bool valid) {
    if (!valid)
        logMessagePair("ERROR: Joint limit invalid for JointObject: ", getNodeDisplayName(this).c_str());
    return valid;
}

void JointObject::createJoint() {
    if (!checkBodies() || !physicsManager || !physicsManager->getPhysics())
        return;
    if (joint) {
        joint->release();
        joint = nullptr;
    }
    phys::Physics& physics = *physicsManager->getPhysics();
    phys::RigidActor* actor0 = actorOf(body1, marker1);
    phys::RigidActor* actor1 = actorOf(body2, marker2);
    linkBodies(true);
    const phys::Transform frame0 = markerFrame(marker1);
    const phys::Transform frame1 = markerFrame(marker2);

    switch (JointType) {
    case D6: buildD6(actor0, frame0, actor1, frame1); break;
    case Distance: {
        phys::DistanceJoint* distance = phys::createDistanceJoint(physics, actor0, frame0, actor1, frame1);
        joint = distance;
        if (!distance)
            break;
        const f32 minimum = MinMaxDistance.X, maximum = MinMaxDistance.Y;
        if (minimum != 0.0f) {
            distance->setMinDistance(minimum);
            distance->setDistanceJointFlag(phys::DistanceMinEnabled, true);
        }
        if (maximum != 0.0f && maximum > minimum) {
            distance->setMaxDistance(maximum);
            distance->setDistanceJointFlag(phys::DistanceMaxEnabled, true);
        }
        if (JointSpring != 0.0f) {
            distance->setSpring(JointSpring);
            distance->setDistanceJointFlag(phys::DistanceSpringEnabled, true);
        }
        if (JointDamping != 0.0f)
            distance->setDamping(JointDamping);
        break;
    }
    case Fixed: {
        // Both frames meet at the first marker with the world's orientation: the joint holds
        // the bodies in the pose they have now.
        const phys::Vec3 point = marker1 ? toPhys(marker1->getAbsolutePosition()) : phys::Vec3();
        auto frameAt = [&point](phys::RigidActor* actor) {
            if (!actor)
                return phys::Transform(point, phys::Quat());
            const phys::Transform global = actor->getGlobalPose();
            const phys::Quat inverse = global.q.getConjugate();
            return phys::Transform(inverse.rotate(point - global.p), inverse);
        };
        const phys::Transform local1 = frameAt(actor1);
        const phys::Transform local0 = frameAt(actor0);
        phys::FixedJoint* fixed = phys::createFixedJoint(physics, actor0, local0, actor1, local1);
        joint = fixed;
        if (fixed) {
            fixed->setProjectionAngularTolerance(0.3f);
            fixed->setProjectionLinearTolerance(0.3f);
            fixed->setConstraintFlag(phys::ConstraintProjection, true);
        }
        break;
    }
    case Prismatic: {
        phys::PrismaticJoint* prismatic = phys::createPrismaticJoint(physics, actor0, frame0, actor1, frame1);
        joint = prismatic;
        if (prismatic && (jointValueSet(PrismaticLimitPair.X) || jointValueSet(PrismaticLimitPair.Y) ||
                          jointValueSet(PrismaticLimitDistance))) {
            const phys::JointLimitPair limit(PrismaticLimitPair.X, PrismaticLimitPair.Y, PrismaticLimitDistance);
            if (checkLimit(limit.isValid())) {
                prismatic->setPrismaticJointFlag(phys::PrismaticLimitEnabled, true);
                prismatic->setLimit(limit);
            }
        }
        break;
    }
    case Revolute: {
        phys::RevoluteJoint* revolute = phys::createRevoluteJoint(physics, actor0, frame0, actor1, frame1);
        joint = revolute;
        if (!revolute)
            break;
        if (jointValueSet(RevoluteLimitPair.X) || jointValueSet(RevoluteLimitPair.Y) ||
            jointValueSet(RevoluteLimitDistance)) {
            const phys::JointLimitPair limit(RevoluteLimitPair.X * jointDegToRad, RevoluteLimitPair.Y * jointDegToRad,
                                             RevoluteLimitDistance);
            if (checkLimit(limit.isValid())) {
                revolute->setRevoluteJointFlag(phys::RevoluteLimitEnabled, true);
                revolute->setLimit(limit);
            }
        }
        revolute->setProjectionAngularTolerance(0.05f);
        revolute->setProjectionLinearTolerance(0.05f);
        revolute->setConstraintFlag(phys::ConstraintProjection, true);
        break;
    }
    case Spherical: {
        phys::SphericalJoint* spherical = phys::createSphericalJoint(physics, actor0, frame0, actor1, frame1);
        joint = spherical;
        if (!spherical) {
            logMessage("Failed to create spherical joint: ");
            break;
        }
        spherical->setConstraintFlag(phys::ConstraintProjection, true);
        spherical->setProjectionLinearTolerance(0.3f);
        if (jointValueSet(SphereLimitCone.X) || jointValueSet(SphereLimitCone.Y) ||
            jointValueSet(SphereLimitDistance)) {
            const phys::JointLimitCone cone(SphereLimitCone.X * jointDegToRad, SphereLimitCone.Y * jointDegToRad,
                                            SphereLimitDistance);
            if (checkLimit(cone.isValid())) {
                spherical->setSphericalJointFlag(phys::SphericalLimitEnabled, true);
                spherical->setLimitCone(cone);
            }
        }
        break;
    }
    default: break;
    }

    if (BreakForce != 0.0f || BreakTorque != 0.0f) {
        stopFreeBody(actorOf(body1, marker1));
        stopFreeBody(actorOf(body2, marker2));
    }
    if (CollideJointedObjects && joint)
        joint->setConstraintFlag(phys::ConstraintCollisionEnabled, true);
    JointEnabled = true;
}

void JointObject::buildD6(phys::RigidActor* actor0, const phys::Transform& frame0, phys::RigidActor* actor1,
                          const phys::Transform& frame1) {
    for (phys::RigidActor* actor : {actor0, actor1})
        if (phys::RigidDynamic* dynamic = actor ? actor->asRigidDynamic() : nullptr)
            dynamic->setSolverIterationCounts(15, 1);
    phys::D6Joint* d6 = phys::createD6Joint(*physicsManager->getPhysics(), actor0, frame0, actor1, frame1);
    joint = d6;
    if (!d6)
        return;
    for (int axis = 0; axis < 6; ++axis)
        d6->setMotion(static_cast<phys::D6Axis>(axis), static_cast<phys::D6Motion>(core::clamp(motions[axis], 0, 2)));
    if (jointValueSet(LinearLimit) || jointValueSet(LinearLimitDistance)) {
        phys::JointLimit limit(LinearLimit, LinearLimitDistance);
        limit.spring = JointSpring;
        limit.damping = JointDamping;
        if (checkLimit(limit.isValid()))
            d6->setLinearLimit(limit);
    }
    if ((motions[4] == Limited || motions[5] == Limited) && jointValueSet(SwingLimitPair.X) &&
        jointValueSet(SwingLimitPair.Y)) {
        const phys::JointLimitCone cone(SwingLimitPair.X * jointDegToRad, SwingLimitPair.Y * jointDegToRad,
                                        SwingLimitDistance);
        if (checkLimit(cone.isValid()))
            d6->setSwingLimit(cone);
    }
    if (motions[3] == Limited &&
        (jointValueSet(TwistLimitPair.X) || jointValueSet(TwistLimitPair.Y) || jointValueSet(TwistLimitDistance))) {
        const phys::JointLimitPair pair(TwistLimitPair.X * jointDegToRad, TwistLimitPair.Y * jointDegToRad,
                                        TwistLimitDistance);
        if (checkLimit(pair.isValid()))
            d6->setTwistLimit(pair);
    }
    // Drive records in the level's order X, Y, Z, Twist, Swing, Slerp.
    const phys::D6Drive driveSlots[6] = {phys::D6Drive::X,     phys::D6Drive::Y,     phys::D6Drive::Z,
                                         phys::D6Drive::Twist, phys::D6Drive::Swing, phys::D6Drive::Slerp};
    for (int i = 0; i < 6; ++i)
        if (jointVectorSet(drives[i]))
            d6->setDrive(driveSlots[i], phys::D6JointDrive(drives[i].X, drives[i].Y, drives[i].Z, driveAccel[i]));
    if (jointVectorSet(LinearDriveVelocity) || jointVectorSet(AngularDriveVelocity))
        d6->setDriveVelocity(toPhys(LinearDriveVelocity), toPhys(AngularDriveVelocity));
    scene::ISceneNode* target = levelManager ? levelManager->getSceneNodeFromID(DrivePositionMarkerID) : nullptr;
    driveMarker = target && target->getType() == typeId("mrkr") ? static_cast<MarkerObject*>(target) : nullptr;
    if (driveMarker)
        d6->setDrivePosition(markerFrame(driveMarker));
}

void JointObject::releaseJoint() {
    if (joint) {
        linkBodies(false);
        joint->release();
        joint = nullptr;
    }
    JointEnabled = false;
}

void JointObject::applyBreakForce() {
    if (BreakForce == 0.0f && BreakTorque == 0.0f)
        return;
    const f32 force = BreakForce != 0.0f ? BreakForce : BreakTorque;
    const f32 torque = BreakTorque != 0.0f ? BreakTorque : BreakForce;
    if (joint)
        joint->setBreakForce(force, torque);
}
