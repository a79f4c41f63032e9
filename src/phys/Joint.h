#pragma once

#include "phys/MathTypes.h"

#include <cstdint>
#include <memory>

// Joints: constraints between two rigid actors (or one actor and the world, given as null).
// Each actor's frame is a pose in that actor's frame (not its centre of mass); the joint acts
// between the two frames. A static actor is a valid partner.
//
// Joined actors do not collide with each other unless ConstraintCollisionEnabled is set.
// A joint with break limits breaks when the force or the torque it applies exceeds them:
// it stops acting, reports ConstraintBroken and calls onConstraintBreak once (inside the
// fetch of that step); it stays until released.
//
// Every call is legal while a step is in flight: changes take effect at the next step,
// and release() makes the joint unusable at once.
//
// An actor released under a joint leaves the joint without effect: getActors answers null
// for it, and the joint stays until it is released itself.

namespace phys {

class Physics;
class RigidActor;
class Scene;
namespace detail {
struct JointBack;
class JointSet;
}

// Numbering of the joint kinds as the game stores them.
enum class JointType : int {
    D6 = 0,
    Distance = 1,
    Fixed = 2,
    Prismatic = 3,
    Revolute = 4,
    Spherical = 5,
};

enum ConstraintFlag : uint32_t {
    ConstraintBroken = 1,
    ConstraintProjection = 2,
    ConstraintCollisionEnabled = 4,
};

// Common parameters of a limit. A spring above zero makes the limit soft: beyond it the
// joint pulls back like a spring with that stiffness and damping.
struct JointLimitParameters {
    float restitution = 0.0f;
    float spring = 0.0f;
    float damping = 0.0f;
    float contactDistance = 0.0f;

    // Restitution finite within [0, 1], spring and damping finite and not negative, contact
    // distance finite.
    bool isValid() const;
};

// A distance bound (linear limits of the D6 joint).
struct JointLimit : JointLimitParameters {
    JointLimit() = default;
    explicit JointLimit(float limitValue, float distance = 0.0f) : value(limitValue) { contactDistance = distance; }

    float value = 0.0f;
    // Parameters valid and value finite.
    bool isValid() const;
};

// A range [lower, upper] (twist, prismatic and revolute limits).
struct JointLimitPair : JointLimitParameters {
    JointLimitPair() = default;
    JointLimitPair(float lowerLimit, float upperLimit, float distance = 0.0f) : upper(upperLimit), lower(lowerLimit) {
        contactDistance = distance;
    }

    float upper = 0.0f;
    float lower = 0.0f;
    // Parameters valid, both ends finite, upper >= lower, contact distance <= upper - lower.
    bool isValid() const;
};

// A cone around the joint's X axis: yAngle bounds the turn about Y, zAngle the turn about Z.
struct JointLimitCone : JointLimitParameters {
    JointLimitCone() = default;
    JointLimitCone(float y, float z, float distance = 0.0f) : yAngle(y), zAngle(z) { contactDistance = distance; }

    float yAngle = 0.0f;
    float zAngle = 0.0f;
    // Parameters valid, each angle finite, above 0 and below pi.
    bool isValid() const;
};

class Joint {
public:
    // Removes the joint. The object must not be used afterwards.
    void release();

    JointType getType() const { return type; }
    // Null for the world, and for an actor that has been released.
    void getActors(RigidActor*& actor0, RigidActor*& actor1) const;
    // The joint frame of actor 0 or 1, in that actor's frame.
    Transform getLocalPose(int actorIndex) const;
    void setLocalPose(int actorIndex, const Transform& pose);

    // Limits of the force and torque the joint may apply before it breaks. Default: never.
    void setBreakForce(float force, float torque);
    void getBreakForce(float& force, float& torque) const;

    // ConstraintBroken can only be read: a broken joint stays broken.
    void setConstraintFlag(ConstraintFlag flag, bool value);
    uint32_t getConstraintFlags() const { return constraintFlags; }

    Scene* getScene() const;

    // Tolerances of projection (kept; see ConstraintProjection).
    void setProjectionLinearTolerance(float tolerance);
    float getProjectionLinearTolerance() const { return projectionLinearTolerance; }
    void setProjectionAngularTolerance(float tolerance);
    float getProjectionAngularTolerance() const { return projectionAngularTolerance; }

    void* userData = nullptr;

    detail::JointBack& back() const { return *back_; }
    // Internal, for the creators: a new joint of kind J, joined to its actors, the physics
    // object and the actors' scene; null (with an error) for arguments that cannot make one.
    template <class J>
    static J* make(Physics& physics, RigidActor* actor0, const Transform& frame0, RigidActor* actor1,
                   const Transform& frame1, const char* operation);

protected:
    Joint(Physics& physics, JointType type, RigidActor* actor0, const Transform& frame0, RigidActor* actor1,
          const Transform& frame1);
    virtual ~Joint();
    // A setting changed: the simulation takes it at the next step.
    void changed();
    static bool checkCreation(Physics& physics, RigidActor* actor0, const Transform& frame0, RigidActor* actor1,
                              const Transform& frame1, const char* operation);
    void attach();
    // Stores a limit that passes its test (else an error, and the old one stays).
    template <class Limit>
    void setLimitChecked(Limit& field, const Limit& value, const char* operation) {
        if (checkLimit(value.isValid(), operation)) {
            field = value;
            changed();
        }
    }
    void setFlagBit(uint32_t& flags, uint32_t bit, bool value) {
        flags = value ? flags | bit : flags & ~bit;
        changed();
    }
    bool checkLimit(bool valid, const char* operation);
    bool checkNotNegative(float value, const char* operation);

    friend class Physics;
    friend class detail::JointSet;
    friend class RigidActor;
    // An actor of the joint went away.
    void actorGone(RigidActor& actor);

    Physics& physics;
    JointType type;
    RigidActor* actors[2];
    Transform frames[2];
    float breakForce;
    float breakTorque;
    uint32_t constraintFlags = 0;
    float projectionLinearTolerance;
    float projectionAngularTolerance;
    bool released = false;
    std::unique_ptr<detail::JointBack> back_;
};

} // namespace phys
