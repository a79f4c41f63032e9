#pragma once

#include "phys/Joint.h"

// The six joint kinds and their creators. Each creator takes (physics, actor 0, frame 0,
// actor 1, frame 1) and returns the joint, or null with an error when the arguments cannot
// make one: no actor at all, the same actor twice, two static actors, actors of different
// scenes, a released actor, or a frame that is not a valid pose.
//
// Axes are those of the frame of actor 0: twist turns about X, swing 1 about Y, swing 2
// about Z. Limits pass their isValid test or are refused with an error and left unchanged.
//
// Approximations on this simulation (good enough for levels, exact where noted): several
// limited linear axes of a D6 joint are bounded by a box instead of a sphere; a cone whose
// two angles are both limited is bounded by a box of the two angles (exact when one swing
// is locked); the Euler axis in the middle of the joint's rotation order keeps its limits
// below 90 degrees; drives follow the targets with springs and motors of their own model;
// limit contact distances and projection are kept but do not act (projected joints get more
// solver iterations instead).

namespace phys {

enum class D6Axis : int { X = 0, Y = 1, Z = 2, Twist = 3, Swing1 = 4, Swing2 = 5 };
enum class D6Motion : int { Locked = 0, Limited = 1, Free = 2 };
enum class D6Drive : int { X = 0, Y = 1, Z = 2, Swing = 3, Twist = 4, Slerp = 5 };

enum D6JointDriveFlag : uint32_t {
    D6DriveAcceleration = 1, // spring, damping and force limit are per unit of mass
};

struct D6JointDrive {
    D6JointDrive() = default;
    D6JointDrive(float driveSpring, float driveDamping, float driveForceLimit, bool acceleration = false)
        : spring(driveSpring), damping(driveDamping), forceLimit(driveForceLimit),
          flags(acceleration ? D6DriveAcceleration : 0u) {}

    float spring = 0.0f;
    float damping = 0.0f;
    float forceLimit = 3.402823466e+38f;
    uint32_t flags = 0;
};

// Six degrees of freedom, each locked (the default), limited or free; one linear limit for
// every limited linear axis, a twist range and a swing cone; drives towards a target pose
// and velocity.
class D6Joint : public Joint {
public:
    void setMotion(D6Axis axis, D6Motion motion);
    D6Motion getMotion(D6Axis axis) const;
    void setLinearLimit(const JointLimit& limit);
    JointLimit getLinearLimit() const { return linearLimit; }
    void setTwistLimit(const JointLimitPair& limit);
    JointLimitPair getTwistLimit() const { return twistLimit; }
    void setSwingLimit(const JointLimitCone& limit);
    JointLimitCone getSwingLimit() const { return swingLimit; }
    void setDrive(D6Drive index, const D6JointDrive& drive);
    D6JointDrive getDrive(D6Drive index) const;
    // Target pose of the frame of actor 1 in the frame of actor 0.
    void setDrivePosition(const Transform& pose);
    Transform getDrivePosition() const { return drivePosition; }
    void setDriveVelocity(const Vec3& linear, const Vec3& angular);
    void getDriveVelocity(Vec3& linear, Vec3& angular) const;

private:
    friend class Joint;
    D6Joint(Physics& physics, RigidActor* a0, const Transform& f0, RigidActor* a1, const Transform& f1);

    D6Motion motions[6] = {};
    JointLimit linearLimit;
    JointLimitPair twistLimit;
    JointLimitCone swingLimit;
    D6JointDrive drives[6];
    Transform drivePosition;
    Vec3 driveLinearVelocity;
    Vec3 driveAngularVelocity;
};

enum DistanceJointFlag : uint32_t {
    DistanceMinEnabled = 2,
    DistanceMaxEnabled = 4,
    DistanceSpringEnabled = 8,
};

// Keeps the distance between the two frame origins within [min, max] (each bound only when
// enabled); with the spring flag the bounds pull like a spring instead of holding hard.
// By default only the maximum is enabled, at 0: the origins are held together.
class DistanceJoint : public Joint {
public:
    // The current distance between the two frame origins.
    float getDistance() const;
    void setMinDistance(float distance);
    float getMinDistance() const { return minDistance; }
    void setMaxDistance(float distance);
    float getMaxDistance() const { return maxDistance; }
    void setSpring(float spring);
    float getSpring() const { return spring; }
    void setDamping(float damping);
    float getDamping() const { return damping; }
    void setDistanceJointFlag(DistanceJointFlag flag, bool value) { setFlagBit(distanceFlags, flag, value); }
    uint32_t getDistanceJointFlags() const { return distanceFlags; }

private:
    friend class Joint;
    DistanceJoint(Physics& physics, RigidActor* a0, const Transform& f0, RigidActor* a1, const Transform& f1);
    void setNotNegative(float& field, float value, const char* operation);

    float minDistance = 0.0f;
    float maxDistance = 0.0f;
    float spring = 0.0f;
    float damping = 0.0f;
    uint32_t distanceFlags = DistanceMaxEnabled;
};

// Holds the relative pose of the two frames.
class FixedJoint : public Joint {
private:
    friend class Joint;
    FixedJoint(Physics& physics, RigidActor* a0, const Transform& f0, RigidActor* a1, const Transform& f1);
};

// The prismatic and revolute joints: one limit pair on the X axis of the frames.
class LimitPairJoint : public Joint {
public:
    void setLimit(const JointLimitPair& limit);
    JointLimitPair getLimit() const { return limit; }

protected:
    LimitPairJoint(Physics& physics, JointType type, RigidActor* a0, const Transform& f0, RigidActor* a1,
                   const Transform& f1, const JointLimitPair& initial)
        : Joint(physics, type, a0, f0, a1, f1), limit(initial) {}

    JointLimitPair limit;
    uint32_t kindFlags = 0;
};

enum PrismaticJointFlag : uint32_t {
    PrismaticLimitEnabled = 2,
};

// Slides along the X axis of the frames, within the limit pair when enabled.
class PrismaticJoint : public LimitPairJoint {
public:
    void setPrismaticJointFlag(PrismaticJointFlag flag, bool value) { setFlagBit(kindFlags, flag, value); }
    uint32_t getPrismaticJointFlags() const { return kindFlags; }

private:
    friend class Joint;
    PrismaticJoint(Physics& physics, RigidActor* a0, const Transform& f0, RigidActor* a1, const Transform& f1);
};

enum RevoluteJointFlag : uint32_t {
    RevoluteLimitEnabled = 1,
};

// Turns about the X axis of the frames, within the limit pair (radians) when enabled.
class RevoluteJoint : public LimitPairJoint {
public:
    void setRevoluteJointFlag(RevoluteJointFlag flag, bool value) { setFlagBit(kindFlags, flag, value); }
    uint32_t getRevoluteJointFlags() const { return kindFlags; }

private:
    friend class Joint;
    RevoluteJoint(Physics& physics, RigidActor* a0, const Transform& f0, RigidActor* a1, const Transform& f1);
};

enum SphericalJointFlag : uint32_t {
    SphericalLimitEnabled = 2,
};

// Holds the frame origins together; the X axis of frame 1 stays within the cone around the X
// axis of frame 0 when the limit is enabled.
class SphericalJoint : public Joint {
public:
    void setLimitCone(const JointLimitCone& limit);
    JointLimitCone getLimitCone() const { return limit; }
    void setSphericalJointFlag(SphericalJointFlag flag, bool value) { setFlagBit(kindFlags, flag, value); }
    uint32_t getSphericalJointFlags() const { return kindFlags; }

private:
    friend class Joint;
    SphericalJoint(Physics& physics, RigidActor* a0, const Transform& f0, RigidActor* a1, const Transform& f1);

    JointLimitCone limit;
    uint32_t kindFlags = 0;
};

D6Joint* createD6Joint(Physics& physics, RigidActor* actor0, const Transform& frame0, RigidActor* actor1,
                       const Transform& frame1);
DistanceJoint* createDistanceJoint(Physics& physics, RigidActor* actor0, const Transform& frame0, RigidActor* actor1,
                                   const Transform& frame1);
FixedJoint* createFixedJoint(Physics& physics, RigidActor* actor0, const Transform& frame0, RigidActor* actor1,
                             const Transform& frame1);
PrismaticJoint* createPrismaticJoint(Physics& physics, RigidActor* actor0, const Transform& frame0,
                                     RigidActor* actor1, const Transform& frame1);
RevoluteJoint* createRevoluteJoint(Physics& physics, RigidActor* actor0, const Transform& frame0, RigidActor* actor1,
                                   const Transform& frame1);
SphericalJoint* createSphericalJoint(Physics& physics, RigidActor* actor0, const Transform& frame0,
                                     RigidActor* actor1, const Transform& frame1);

} // namespace phys
