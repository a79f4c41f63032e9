#pragma once

#include "phys/SimulationEvents.h"

#include <BulletDynamics/ConstraintSolver/btTypedConstraint.h>

#include <vector>

// The joints of one scene and their Bullet constraints. Front settings change at any time
// and mark the joint dirty; simulate() carries them to the constraints (after removing the
// constraints of released joints, before the bodies of released actors go). The worker
// checks the break limits after the step; fetchResults marks the broken joints and reports
// them.

namespace phys {
class Joint;
class RigidActor;
class Scene;
}

namespace phys::detail {

class SceneCore;

struct JointBack {
    JointBack() = default;
    JointBack(const JointBack&) = delete;
    JointBack& operator=(const JointBack&) = delete;
    ~JointBack() { delete constraint; }

    class JointSet* set = nullptr; // the scene's joints it belongs to, null before
    btTypedConstraint* constraint = nullptr;
    btJointFeedback feedback;
    bool inWorld = false;
    bool inDirtyList = false;
    bool excluding = false; // counts one collision exclusion of its actor pair
    bool inert = false;     // an actor went: the joint no longer acts
    bool broken = false;    // broken by a step (set by the worker)

    // Copies the worker reads during a step.
    Joint* owner = nullptr;
    btScalar breakForce = 0, breakTorque = 0;
    btVector3 anchorA{0, 0, 0}; // joint origin in the centre-of-mass frame of body A
};

class JointSet {
public:
    explicit JointSet(SceneCore& core);
    ~JointSet();

    // --- main thread, at any time ------------------------------------------------------
    void add(Joint& joint);
    void markDirty(Joint& joint);
    void release(Joint& joint);
    // The collision flag of a joint changed.
    void collisionChanged(Joint& joint);
    // An actor of the scene was released: its joints stop acting.
    void actorReleased(RigidActor& actor);
    // An actor's centre of mass moved: its joints' frames are set again.
    void actorMassFrameChanged(RigidActor& actor);

    // --- simulate --------------------------------------------------------------------
    // Before released actors leave Bullet: constraints of released or inert joints go.
    void removeStale();
    // After the bodies are up to date: create and configure the dirty joints' constraints.
    void apply(float dt);

    // --- worker ------------------------------------------------------------------------
    void checkBreaks();

    // --- fetchResults ------------------------------------------------------------------
    void pull();
    void deliver(SimulationEventCallback* callback);

    // Scene teardown: every constraint and joint goes, without reports.
    void clear();

    uint32_t size() const { return static_cast<uint32_t>(joints.size()); }
    Scene& scene() const;

private:
    void setExcluded(Joint& joint, bool exclude);
    void removeConstraint(JointBack& back);
    void destroy(Joint& joint);
    bool configure(Joint& joint, float dt);

    SceneCore& core;
    std::vector<Joint*> joints;
    std::vector<Joint*> dirty;
    std::vector<Joint*> releasedJoints; // freed at the next simulate, after their constraint
    std::vector<JointBack*> breakable;  // read by the worker
    std::vector<Joint*> brokenInStep;   // written by the worker
    std::vector<ConstraintInfo> reports;
    float lastDt = 0.0f;
};

} // namespace phys::detail
