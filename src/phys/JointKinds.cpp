#include "phys/JointKinds.h"

#include "phys/Actor.h"
#include "phys/Foundation.h"
#include "phys/Physics.h"

#include <cmath>

namespace phys {

namespace {
constexpr float MaxFloat = 3.402823466e+38f;
} // namespace

template <class J>
J* Joint::make(Physics& physics, RigidActor* a0, const Transform& f0, RigidActor* a1, const Transform& f1,
               const char* operation) {
    if (!checkCreation(physics, a0, f0, a1, f1, operation))
        return nullptr;
    J* joint = new J(physics, a0, f0, a1, f1);
    joint->attach();
    return joint;
}


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

void D6Joint::setLinearLimit(const JointLimit& limit) { setLimitChecked(linearLimit, limit, "setLinearLimit"); }

void D6Joint::setTwistLimit(const JointLimitPair& limit) { setLimitChecked(twistLimit, limit, "setTwistLimit"); }

void D6Joint::setSwingLimit(const JointLimitCone& limit) { setLimitChecked(swingLimit, limit, "setSwingLimit"); }

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

D6Joint* createD6Joint(Physics& physics, RigidActor* a0, const Transform& f0, RigidActor* a1, const Transform& f1) {
    return Joint::make<D6Joint>(physics, a0, f0, a1, f1, "createD6Joint");
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
    if (!checkNotNegative(value, operation))
        return;
    field = value;
    changed();
}

void DistanceJoint::setMinDistance(float distance) { setNotNegative(minDistance, distance, "setMinDistance"); }

void DistanceJoint::setMaxDistance(float distance) { setNotNegative(maxDistance, distance, "setMaxDistance"); }

void DistanceJoint::setSpring(float value) { setNotNegative(spring, value, "setSpring"); }

void DistanceJoint::setDamping(float value) { setNotNegative(damping, value, "setDamping"); }

DistanceJoint* createDistanceJoint(Physics& physics, RigidActor* a0, const Transform& f0, RigidActor* a1,
                                   const Transform& f1) {
    return Joint::make<DistanceJoint>(physics, a0, f0, a1, f1, "createDistanceJoint");
}

// --- fixed -----------------------------------------------------------------------------------

FixedJoint::FixedJoint(Physics& physics_, RigidActor* a0, const Transform& f0, RigidActor* a1, const Transform& f1)
    : Joint(physics_, JointType::Fixed, a0, f0, a1, f1) {}

FixedJoint* createFixedJoint(Physics& physics, RigidActor* a0, const Transform& f0, RigidActor* a1,
                             const Transform& f1) {
    return Joint::make<FixedJoint>(physics, a0, f0, a1, f1, "createFixedJoint");
}

// --- prismatic and revolute -----------------------------------------------------------------

void LimitPairJoint::setLimit(const JointLimitPair& value) { setLimitChecked(limit, value, "setLimit"); }

PrismaticJoint::PrismaticJoint(Physics& physics_, RigidActor* a0, const Transform& f0, RigidActor* a1,
                               const Transform& f1)
    : LimitPairJoint(physics_, JointType::Prismatic, a0, f0, a1, f1, JointLimitPair(-MaxFloat / 3, MaxFloat / 3)) {}

PrismaticJoint* createPrismaticJoint(Physics& physics, RigidActor* a0, const Transform& f0, RigidActor* a1,
                                     const Transform& f1) {
    return Joint::make<PrismaticJoint>(physics, a0, f0, a1, f1, "createPrismaticJoint");
}

RevoluteJoint::RevoluteJoint(Physics& physics_, RigidActor* a0, const Transform& f0, RigidActor* a1,
                             const Transform& f1)
    : LimitPairJoint(physics_, JointType::Revolute, a0, f0, a1, f1, JointLimitPair(-0.5f * Pi, 0.5f * Pi)) {}

RevoluteJoint* createRevoluteJoint(Physics& physics, RigidActor* a0, const Transform& f0, RigidActor* a1,
                                   const Transform& f1) {
    return Joint::make<RevoluteJoint>(physics, a0, f0, a1, f1, "createRevoluteJoint");
}

// --- spherical -------------------------------------------------------------------------------

SphericalJoint::SphericalJoint(Physics& physics_, RigidActor* a0, const Transform& f0, RigidActor* a1,
                               const Transform& f1)
    : Joint(physics_, JointType::Spherical, a0, f0, a1, f1), limit(0.5f * Pi, 0.5f * Pi) {}

void SphericalJoint::setLimitCone(const JointLimitCone& value) { setLimitChecked(limit, value, "setLimitCone"); }

SphericalJoint* createSphericalJoint(Physics& physics, RigidActor* a0, const Transform& f0, RigidActor* a1,
                                     const Transform& f1) {
    return Joint::make<SphericalJoint>(physics, a0, f0, a1, f1, "createSphericalJoint");
}

} // namespace phys
