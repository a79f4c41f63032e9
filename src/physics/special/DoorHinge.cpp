// The door's hinge: a kinematic post beside the hinge edge, a kinematic stop on the side a
// one-way door may not swing to, and a six-axis joint that leaves the door only its turn
// about the vertical. All sizes come from the door's mesh and transformation.
#include "physics/special/AdvancedPhysicsObject.h"

#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsManager.h"

#include "core/Log.h"

#include <cmath>

using namespace irr;

namespace {

phys::Quat doorQuat(const core::vector3df& degrees) {
    core::quaternion q;
    q.set(degrees.X * 0.01745f, degrees.Y * 0.01745f, degrees.Z * 0.01745f);
    q.normalize();
    return {q.X, q.Y, q.Z, q.W};
}

} // namespace

void AdvancedPhysicsObject::createDoor() {
    scene::IAnimatedMeshSceneNode* mesh = getMeshNode();
    phys::RigidDynamic* door = actor ? actor->asRigidDynamic() : nullptr;
    if (!mesh)
        logMessage("ERROR: Door does not have a mesh.");
    if (!mesh || !door || !physicsManager || !physicsManager->getPhysics())
        return;
    if (getPhysicsState() == PhysicsState::Dynamic) {
        // A door that has moved is rebuilt where it now stands.
        syncNodeFromActor(actor, this);
        updateAbsolutePosition();
    }
    releaseHinge();

    mesh->updateAbsolutePosition();
    const core::aabbox3df bounds = mesh->getBoundingBox();
    const core::vector3df extent = bounds.MaxEdge - bounds.MinEdge;
    const core::vector3df absoluteScale = mesh->getAbsoluteTransformation().getScale();
    const core::vector3df ownScale = mesh->getScale();
    const f32 width = std::fabs(ownScale.X * absoluteScale.X) * extent.X;
    const f32 halfHeight = std::fabs(ownScale.Y * absoluteScale.Y) * extent.Y * 0.5f;
    const f32 thickness = std::fabs(ownScale.Z * absoluteScale.Z) * extent.Z;
    const f32 halfThickness = thickness * 0.5f;
    const core::vector3df position = getAbsolutePosition();
    const core::vector3df rotation = getAbsoluteTransformation().getRotationDegrees();
    const phys::Quat turn = doorQuat(rotation);

    // Box 1, the post, half a unit beyond the hinge edge.
    const f32 side = width * 0.5f + 0.5f;
    const phys::Vec3 offset = turn.rotate(phys::Vec3(DoorOpensLeft ? -side : side, 0.0f, 0.0f));
    core::vector3df post(position.X + offset.x, position.Y - halfHeight, position.Z + offset.z);
    core::vector3df postRotation = rotation;
    if (UseCheckpointPos) {
        post = Box1Position;
        postRotation = Box1Rotation;
    } else {
        Box1Position = post;
        Box1Rotation = postRotation;
    }
    box1Actor = physicsManager->createStandingBoxActor(post, core::vector3df(0.5f, halfHeight, halfThickness), 10.0f);
    if (box1Actor) {
        box1Actor->setRigidDynamicFlag(phys::RigidDynamicFlag::Kinematic, true);
        box1Actor->setGlobalPose(phys::Transform(toPhys(post), doorQuat(postRotation)), true);
        setActorFilterData(box1Actor, 0x20, 0x4);
    }

    // Box 2, the stop: a copy of the door's box one thickness beyond the closed door.
    if (!DoorOpensBothWays) {
        core::vector3df towards(0.0f, 0.0f, -thickness);
        getAbsoluteTransformation().rotateVect(towards);
        if (towards.getLengthSQ() > 0.0f)
            towards = towards.normalize() * thickness;
        if (!DoorOpensIn)
            towards = -towards;
        core::vector3df stop = position + towards;
        core::vector3df stopRotation = rotation;
        if (UseCheckpointPos) {
            stop = Box2Position;
            stopRotation = Box2Rotation;
        } else {
            Box2Position = stop;
            Box2Rotation = stopRotation;
        }
        const PhysicsBodySettings& b = body();
        box2Actor = physicsManager->createBoxActor(this, phys::Transform(toPhys(stop), doorQuat(stopRotation)), b.Mass,
                                                   b.Restitution, b.Friction,
                                                   getPhysicsState() == PhysicsState::Static,
                                                   getPhysicsState() == PhysicsState::Kinematic);
        if (phys::RigidDynamic* stopBody = box2Actor ? box2Actor->asRigidDynamic() : nullptr)
            stopBody->setRigidDynamicFlag(phys::RigidDynamicFlag::Kinematic, true);
        if (box2Actor)
            setActorFilterData(box2Actor, 0x20, 0x4);
    }
    if (!box1Actor)
        return;

    // The hinge point: on the post's face towards the door, at the door's own height, on
    // the edge of the side a one-way door opens to.
    const phys::Transform doorPose = door->getGlobalPose();
    const phys::Transform postPose = box1Actor->getGlobalPose();
    const f32 ux = DoorOpensLeft ? 0.5f : -0.5f;
    const f32 uz = DoorOpensBothWays ? 0.0f : (DoorOpensIn ? halfThickness : -halfThickness);
    const phys::Vec3 local = doorPose.q.rotate(phys::Vec3(ux, 0.0f, uz));
    core::vector3df hinge(postPose.p.x + local.x, postPose.p.y + halfHeight, postPose.p.z + local.z);
    if (UseCheckpointPos)
        hinge = JointPosition;
    else
        JointPosition = hinge;

    // The door's frame is turned 45 degrees from the post's: the closed door lies at one end
    // of the 90-degree swing range.
    const f32 angle = (DoorOpensIn != DoorOpensLeft) ? -0.78525f : 0.78525f;
    core::quaternion jointTurn;
    jointTurn.set(0.0f, angle, 0.0f);
    phys::Transform frame0 =
        doorPose.getInverse() * phys::Transform(toPhys(hinge), phys::Quat(jointTurn.X, jointTurn.Y, jointTurn.Z, jointTurn.W));
    const phys::Transform frame1 = postPose.getInverse() * phys::Transform(toPhys(hinge), phys::Quat());
    if (UseCheckpointPos)
        frame0.q = phys::Quat(JointRotation.X, JointRotation.Y, JointRotation.Z, JointRotation.W);
    else
        JointRotation = core::quaternion(frame0.q.x, frame0.q.y, frame0.q.z, frame0.q.w);

    doorJoint = phys::createD6Joint(*physicsManager->getPhysics(), door, frame0, box1Actor, frame1);
    if (doorJoint) {
        doorJoint->setMotion(phys::D6Axis::X, phys::D6Motion::Locked);
        doorJoint->setMotion(phys::D6Axis::Y, phys::D6Motion::Locked);
        doorJoint->setMotion(phys::D6Axis::Z, phys::D6Motion::Locked);
        doorJoint->setMotion(phys::D6Axis::Twist, phys::D6Motion::Locked);
        doorJoint->setMotion(phys::D6Axis::Swing1, DoorOpensBothWays ? phys::D6Motion::Free : phys::D6Motion::Limited);
        doorJoint->setMotion(phys::D6Axis::Swing2, phys::D6Motion::Locked);
        if (!DoorOpensBothWays) {
            doorJoint->setSwingLimit(phys::JointLimitCone(0.7853982f, 1.5707964f, 0.05f));
            doorJoint->setConstraintFlag(phys::ConstraintCollisionEnabled, false);
        }
    }
    const PhysicsBodySettings& b = body();
    box1Actor->setLinearDamping(b.LinearDamping);
    box1Actor->setAngularDamping(b.AngularDamping);
    door->setLinearDamping(b.LinearDamping);
    door->setAngularDamping(b.AngularDamping);
}
