#include "phys/JointKinds.h"

#include "phys/Actor.h"
#include "phys/Foundation.h"
#include "phys/Physics.h"

#include <cmath>

namespace phys {

namespace {
constexpr float Pi = 3.14159265358979f;
constexpr float MaxFloat = 3.402823466e+38f;

template <class J>
J* makeJoint(Physics& physics, RigidActor* a0, const Transform& f0, RigidActor* a1, const Transform& f1,
             const char* operation, J* (*construct)(Physics&, RigidActor*, const Transform&, RigidActor*, const Transform&)) {
    if (!J::checkCreation(physics, a0, f0, a1, f1, operation))
        return nullptr;
    J* joint = construct(physics, a0, f0, a1, f1);
    joint->attach();
    return joint;
}
} // namespace

// --- D6 ------------------------------------------------------------------------------------

D6Joint::D6Joint(Physics& physics_, RigidActor* a0, const Transform& f0, RigidActor* a1, const Transform& f1)
    : Joint(physics_, JointType::D6, a0, f0, a1, f1), linearLimit(MaxFloat), twistLimit(-0.5f * Pi, 0.5f * Pi),
      swingLimit(0.5f * Pi, 0.5f * Pi) {}

void D6Joint::setMotion(D6Axis axis, D6Motion motion) {
    const int i = static_cast<int>(axis);
    const int m = static_cast<int>(motion);
    if (i < 0 || i > 5 || m < 0 || m > 2) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter, "setMotion: unknown axis or motion");
        return;
    }
    motions[i] = motion;
    changed();
}

D6Motion D6Joint::getMotion(D6Axis axis) const {
    const int i = static_cast<int>(axis);
    return i >= 0 && i <= 5 ? motions[i] : D6Motion::Locked;
}

void D6Joint::setLinearLimit(const JointLimit& limit) {
    if (!checkLimit(limit.isValid(), "setLinearLimit"))
        return;
    linearLimit = limit;
    changed();
}

void D6Joint::setTwistLimit(const JointLimitPair& limit) {
    if (!checkLimit(limit.isValid(), "setTwistLimit"))
        return;
    twistLimit = limit;
    changed();
}

void D6Joint::setSwingLimit(const JointLimitCone& limit) {
    if (!checkLimit(limit.isValid(), "setSwingLimit"))
        return;
    swingLimit = limit;
    changed();
}

void D6Joint::setDrive(D6Drive index, const D6JointDrive& drive) {
    const int i = static_cast<int>(index);
    const bool valid = std::isfinite(drive.spring) && drive.spring >= 0.0f && std::isfinite(drive.damping) &&
                       drive.damping >= 0.0f && drive.forceLimit >= 0.0f;
    if (i < 0 || i > 5 || !valid) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter,
                    "setDrive: unknown drive, or spring, damping or force limit negative");
        return;
    }
    drives[i] = drive;
    changed();
}

D6JointDrive D6Joint::getDrive(D6Drive index) const {
    const int i = static_cast<int>(index);
    return i >= 0 && i <= 5 ? drives[i] : D6JointDrive();
}

void D6Joint::setDrivePosition(const Transform& pose) {
    if (!pose.isValid()) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter, "setDrivePosition: invalid pose");
        return;
    }
    drivePosition = Transform(pose.p, pose.q.getNormalized());
    changed();
}

void D6Joint::setDriveVelocity(const Vec3& linear, const Vec3& angular) {
    if (!linear.isFinite() || !angular.isFinite()) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter, "setDriveVelocity: not finite");
        return;
    }
    driveLinearVelocity = linear;
    driveAngularVelocity = angular;
    changed();
}

void D6Joint::getDriveVelocity(Vec3& linear, Vec3& angular) const {
    linear = driveLinearVelocity;
    angular = driveAngularVelocity;
}

void D6Joint::setProjectionLinearTolerance(float tolerance) {
    setProjectionTolerance(projectionLinearTolerance, tolerance, "setProjectionLinearTolerance");
}

void D6Joint::setProjectionAngularTolerance(float tolerance) {
    setProjectionTolerance(projectionAngularTolerance, tolerance, "setProjectionAngularTolerance");
}

D6Joint* createD6Joint(Physics& physics, RigidActor* a0, const Transform& f0, RigidActor* a1, const Transform& f1) {
    return makeJoint<D6Joint>(physics, a0, f0, a1, f1, "createD6Joint",
                              [](Physics& p, RigidActor* x0, const Transform& y0, RigidActor* x1, const Transform& y1) {
                                  return new D6Joint(p, x0, y0, x1, y1);
                              });
}

// --- distance --------------------------------------------------------------------------------

DistanceJoint::DistanceJoint(Physics& physics_, RigidActor* a0, const Transform& f0, RigidActor* a1,
                             const Transform& f1)
    : Joint(physics_, JointType::Distance, a0, f0, a1, f1) {}

float DistanceJoint::getDistance() const {
    const Transform pose0 = actors[0] ? actors[0]->getGlobalPose() * frames[0] : frames[0];
    const Transform pose1 = actors[1] ? actors[1]->getGlobalPose() * frames[1] : frames[1];
    return (pose1.p - pose0.p).magnitude();
}

void DistanceJoint::setNotNegative(float& field, float value, const char* operation) {
    if (!std::isfinite(value) || value < 0.0f) {
        PHYS_REPORT(physics.getFoundation(), ErrorCode::InvalidParameter, "%s: must be finite, not negative", operation);
        return;
    }
    field = value;
    changed();
}

void DistanceJoint::setMinDistance(float distance) { setNotNegative(minDistance, distance, "setMinDistance"); }

void DistanceJoint::setMaxDistance(float distance) { setNotNegative(maxDistance, distance, "setMaxDistance"); }

void DistanceJoint::setSpring(float value) { setNotNegative(spring, value, "setSpring"); }

void DistanceJoint::setDamping(float value) { setNotNegative(damping, value, "setDamping"); }

void DistanceJoint::setDistanceJointFlag(DistanceJointFlag flag, bool value) {
    distanceFlags = value ? distanceFlags | flag : distanceFlags & ~static_cast<uint32_t>(flag);
    changed();
}

DistanceJoint* createDistanceJoint(Physics& physics, RigidActor* a0, const Transform& f0, RigidActor* a1,
                                   const Transform& f1) {
    return makeJoint<DistanceJoint>(physics, a0, f0, a1, f1, "createDistanceJoint",
                                    [](Physics& p, RigidActor* x0, const Transform& y0, RigidActor* x1,
                                       const Transform& y1) { return new DistanceJoint(p, x0, y0, x1, y1); });
}

// --- fixed -----------------------------------------------------------------------------------

FixedJoint::FixedJoint(Physics& physics_, RigidActor* a0, const Transform& f0, RigidActor* a1, const Transform& f1)
    : Joint(physics_, JointType::Fixed, a0, f0, a1, f1) {}

void FixedJoint::setProjectionLinearTolerance(float tolerance) {
    setProjectionTolerance(projectionLinearTolerance, tolerance, "setProjectionLinearTolerance");
}

void FixedJoint::setProjectionAngularTolerance(float tolerance) {
    setProjectionTolerance(projectionAngularTolerance, tolerance, "setProjectionAngularTolerance");
}

FixedJoint* createFixedJoint(Physics& physics, RigidActor* a0, const Transform& f0, RigidActor* a1,
                             const Transform& f1) {
    return makeJoint<FixedJoint>(physics, a0, f0, a1, f1, "createFixedJoint",
                                 [](Physics& p, RigidActor* x0, const Transform& y0, RigidActor* x1,
                                    const Transform& y1) { return new FixedJoint(p, x0, y0, x1, y1); });
}

// --- prismatic -------------------------------------------------------------------------------

PrismaticJoint::PrismaticJoint(Physics& physics_, RigidActor* a0, const Transform& f0, RigidActor* a1,
                               const Transform& f1)
    : Joint(physics_, JointType::Prismatic, a0, f0, a1, f1), limit(-MaxFloat / 3.0f, MaxFloat / 3.0f) {}

void PrismaticJoint::setLimit(const JointLimitPair& value) {
    if (!checkLimit(value.isValid(), "PrismaticJoint::setLimit"))
        return;
    limit = value;
    changed();
}

void PrismaticJoint::setPrismaticJointFlag(PrismaticJointFlag flag, bool value) {
    kindFlags = value ? kindFlags | flag : kindFlags & ~static_cast<uint32_t>(flag);
    changed();
}

void PrismaticJoint::setProjectionLinearTolerance(float tolerance) {
    setProjectionTolerance(projectionLinearTolerance, tolerance, "setProjectionLinearTolerance");
}

void PrismaticJoint::setProjectionAngularTolerance(float tolerance) {
    setProjectionTolerance(projectionAngularTolerance, tolerance, "setProjectionAngularTolerance");
}

PrismaticJoint* createPrismaticJoint(Physics& physics, RigidActor* a0, const Transform& f0, RigidActor* a1,
                                     const Transform& f1) {
    return makeJoint<PrismaticJoint>(physics, a0, f0, a1, f1, "createPrismaticJoint",
                                     [](Physics& p, RigidActor* x0, const Transform& y0, RigidActor* x1,
                                        const Transform& y1) { return new PrismaticJoint(p, x0, y0, x1, y1); });
}

// --- revolute --------------------------------------------------------------------------------

RevoluteJoint::RevoluteJoint(Physics& physics_, RigidActor* a0, const Transform& f0, RigidActor* a1,
                             const Transform& f1)
    : Joint(physics_, JointType::Revolute, a0, f0, a1, f1), limit(-0.5f * Pi, 0.5f * Pi) {}

void RevoluteJoint::setLimit(const JointLimitPair& value) {
    if (!checkLimit(value.isValid(), "RevoluteJoint::setLimit"))
        return;
    limit = value;
    changed();
}

void RevoluteJoint::setRevoluteJointFlag(RevoluteJointFlag flag, bool value) {
    kindFlags = value ? kindFlags | flag : kindFlags & ~static_cast<uint32_t>(flag);
    changed();
}

void RevoluteJoint::setProjectionLinearTolerance(float tolerance) {
    setProjectionTolerance(projectionLinearTolerance, tolerance, "setProjectionLinearTolerance");
}

void RevoluteJoint::setProjectionAngularTolerance(float tolerance) {
    setProjectionTolerance(projectionAngularTolerance, tolerance, "setProjectionAngularTolerance");
}

RevoluteJoint* createRevoluteJoint(Physics& physics, RigidActor* a0, const Transform& f0, RigidActor* a1,
                                   const Transform& f1) {
    return makeJoint<RevoluteJoint>(physics, a0, f0, a1, f1, "createRevoluteJoint",
                                    [](Physics& p, RigidActor* x0, const Transform& y0, RigidActor* x1,
                                       const Transform& y1) { return new RevoluteJoint(p, x0, y0, x1, y1); });
}

// --- spherical -------------------------------------------------------------------------------

SphericalJoint::SphericalJoint(Physics& physics_, RigidActor* a0, const Transform& f0, RigidActor* a1,
                               const Transform& f1)
    : Joint(physics_, JointType::Spherical, a0, f0, a1, f1), limit(0.5f * Pi, 0.5f * Pi) {}

void SphericalJoint::setLimitCone(const JointLimitCone& value) {
    if (!checkLimit(value.isValid(), "setLimitCone"))
        return;
    limit = value;
    changed();
}

void SphericalJoint::setSphericalJointFlag(SphericalJointFlag flag, bool value) {
    kindFlags = value ? kindFlags | flag : kindFlags & ~static_cast<uint32_t>(flag);
    changed();
}

void SphericalJoint::setProjectionLinearTolerance(float tolerance) {
    setProjectionTolerance(projectionLinearTolerance, tolerance, "setProjectionLinearTolerance");
}

SphericalJoint* createSphericalJoint(Physics& physics, RigidActor* a0, const Transform& f0, RigidActor* a1,
                                     const Transform& f1) {
    return makeJoint<SphericalJoint>(physics, a0, f0, a1, f1, "createSphericalJoint",
                                     [](Physics& p, RigidActor* x0, const Transform& y0, RigidActor* x1,
                                        const Transform& y1) { return new SphericalJoint(p, x0, y0, x1, y1); });
}

} // namespace phys
