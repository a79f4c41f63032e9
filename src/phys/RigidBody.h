#pragma once

#include "phys/Actor.h"

// Bodies with mass: velocities, forces, and the dynamic actor's kinematic mode, damping,
// angular velocity limit and sleep state.

namespace phys {

// Numbering shared with the game's name tables.
enum class ForceMode : int {
    Force = 0,          // mass * length / time^2, applied over the next step
    Impulse = 1,        // mass * length / time
    VelocityChange = 2, // length / time, mass ignored
    Acceleration = 3,   // length / time^2, mass ignored
};

enum class RigidDynamicFlag : uint32_t {
    Kinematic = 1,
};

class RigidBody : public RigidActor {
public:
    float getMass() const { return mass; }
    // Refuses values that are not finite and positive.
    void setMass(float mass);
    // Inertia about the principal axes of the mass frame; a zero component locks that axis.
    Vec3 getMassSpaceInertiaTensor() const { return inertia; }
    void setMassSpaceInertiaTensor(const Vec3& inertia);
    // Centre of mass and principal axes, relative to the actor frame.
    Transform getCMassLocalPose() const { return cmassLocalPose; }
    void setCMassLocalPose(const Transform& pose);

    // Velocities of the centre of mass.
    Vec3 getLinearVelocity() const { return linearVelocity; }
    void setLinearVelocity(const Vec3& velocity, bool autowake = true);
    Vec3 getAngularVelocity() const { return angularVelocity; }
    void setAngularVelocity(const Vec3& velocity, bool autowake = true);

    // Accumulated and applied during the next step, then cleared. Refused on kinematic
    // actors and actors outside a scene.
    void addForce(const Vec3& force, ForceMode mode = ForceMode::Force, bool autowake = true);
    void addTorque(const Vec3& torque, ForceMode mode = ForceMode::Force, bool autowake = true);
    void clearForce(ForceMode mode = ForceMode::Force, bool autowake = true);
    void clearTorque(ForceMode mode = ForceMode::Force, bool autowake = true);

    bool isKinematic() const { return (rigidDynamicFlags & static_cast<uint32_t>(RigidDynamicFlag::Kinematic)) != 0; }

    // Internal: the forces and torques accumulated since the last step, per force mode.
    const Vec3* pendingForces() const { return forces; }
    const Vec3* pendingTorques() const { return torques; }
    void clearPendingForces();

protected:
    RigidBody(Physics& physics, ActorType type, const Transform& pose);
    bool checkForceCall(const char* operation, const Vec3& value);
    void setVelocity(Vec3& field, const Vec3& value, uint32_t dirtyBit, const char* operation, bool autowake);
    void accumulate(Vec3* table, ForceMode mode, const Vec3& value, bool add, const char* operation, bool autowake);

    float mass = 1.0f;
    Vec3 inertia{1.0f, 1.0f, 1.0f};
    Transform cmassLocalPose;
    Vec3 linearVelocity;
    Vec3 angularVelocity;
    Vec3 forces[4];
    Vec3 torques[4];
    uint32_t rigidDynamicFlags = 0;
};

class RigidDynamic : public RigidBody {
public:
    // The body moves to the target during the next step, pushing what it meets; refused
    // unless kinematic. The target is used once.
    void setKinematicTarget(const Transform& target);
    bool getKinematicTarget(Transform& target) const;

    uint32_t getRigidDynamicFlags() const { return rigidDynamicFlags; }
    // Switching keeps pose and mass. A triangle-mesh shape keeps the actor kinematic.
    void setRigidDynamicFlag(RigidDynamicFlag flag, bool value);

    // Damping is unclamped (values above 1 slow faster); velocities shrink by max(0, 1 - d * dt)
    // each step.
    void setLinearDamping(float damping);
    float getLinearDamping() const { return linearDamping; }
    void setAngularDamping(float damping);
    float getAngularDamping() const { return angularDamping; }
    void setMaxAngularVelocity(float maximum);
    float getMaxAngularVelocity() const { return maxAngularVelocity; }

    // Wake counter in seconds: the body stays awake at least that long.
    void wakeUp(float wakeCounter = DefaultWakeCounter);
    // Zeroes the velocities and puts the body to sleep.
    void putToSleep();
    bool isSleeping() const { return sleeping; }
    float getWakeCounter() const { return wakeCounter; }

    // Kept for reading; the solver's iterations are per joint (see the joint layer).
    void setSolverIterationCounts(uint32_t positionIterations, uint32_t velocityIterations = 1);
    void getSolverIterationCounts(uint32_t& positionIterations, uint32_t& velocityIterations) const;

    static constexpr float DefaultWakeCounter = 0.4f;

private:
    friend class Physics;
    friend class detail::SceneCore;
    RigidDynamic(Physics& physics, const Transform& pose) : RigidBody(physics, ActorType::RigidDynamic, pose) {}
    void wakeFromUser() override;
    bool acceptsTriangleMeshes() const override { return isKinematic(); }

    float linearDamping = 0.0f;
    float angularDamping = 0.05f;
    float maxAngularVelocity = 7.0f;
    bool sleeping = false;
    float wakeCounter = DefaultWakeCounter;
    bool hasTarget = false;
    Transform target;
    uint32_t positionIterations = 4;
    uint32_t velocityIterations = 1;
};

// Mass helpers. Mass properties come from the box, sphere, capsule and convex shapes at a
// uniform density; triangle meshes add nothing. Without any volume the centre of mass is the
// actor origin and the inertia is (1, 1, 1) * mass. A given massLocalPose places the centre
// of mass there instead of at the computed one.
bool setMassAndUpdateInertia(RigidBody& body, float mass, const Vec3* massLocalPose = nullptr);
bool updateMassAndInertia(RigidBody& body, float density, const Vec3* massLocalPose = nullptr);
// addForce plus the torque (pos - centre of mass) x force, both with the same mode.
void addForceAtPos(RigidBody& body, const Vec3& force, const Vec3& pos, ForceMode mode = ForceMode::Force,
                   bool autowake = true);

} // namespace phys
