#pragma once

#include <BulletCollision/CollisionDispatch/btCollisionDispatcher.h>
#include <BulletSoftBody/btSoftRigidDynamicsWorld.h>

#include <vector>

// The Bullet world as the layer steps it.
//
// The broadphase runs on the main thread in simulate() (prepareCollisionPairs), so that the
// filter decisions exist before the worker starts; the step itself then only dispatches the
// pairs. Damping (unclamped) and the angular velocity limit are applied per body from the
// layer's own values. The dispatcher skips killed pairs, resolves contacts only for pairs
// whose decisions ask for it, and records the reporting pairs it looked at.

namespace phys::detail {

class PairFilter;

class StepWorld : public btSoftRigidDynamicsWorld {
public:
    StepWorld(btDispatcher* dispatcher, btBroadphaseInterface* broadphase, btConstraintSolver* solver,
              btCollisionConfiguration* configuration);

    // Main thread: bring the broadphase up to date with the current poses.
    void prepareCollisionPairs();
    // Worker: narrow phase over the pairs found by prepareCollisionPairs.
    void performDiscreteCollisionDetection() override;

    btAlignedObjectArray<btRigidBody*>& nonStaticBodies() { return m_nonStaticRigidBodies; }

    // The layer's own damping (unclamped) and angular velocity limit of a dynamic body.
    struct MotionParams {
        float linearDamping = 0.0f;
        float angularDamping = 0.0f;
        float maxAngularVelocity = 7.0f;
    };
    // Main thread, no step in flight. Kept in one dense array (the body's third user index is
    // its slot), so the step's passes over the moving bodies read no actor.
    void setMotionParams(btRigidBody& body, const MotionParams& params);
    void releaseMotionParams(btRigidBody& body);

    // The movable bodies that were awake when the step integrated them (no body wakes later in
    // a step): the ones the pull reads, with those awake at the last pull.
    std::vector<btRigidBody*> awakeBodies;

protected:
    void predictUnconstraintMotion(btScalar timeStep) override;
    void integrateTransforms(btScalar timeStep) override;

private:
    // Dynamic bodies of the layer that are awake, with their motion parameters.
    template <class F>
    void forEachMovingBody(F visit);

    std::vector<MotionParams> motionParams;
    std::vector<int> freeMotionSlots;
};

class StepDispatcher : public btCollisionDispatcher {
public:
    StepDispatcher(btCollisionConfiguration* configuration, PairFilter& pairs);

    bool needsResponse(const btCollisionObject* body0, const btCollisionObject* body1) override;

    PairFilter& pairs;

private:
    static void nearCallback(btBroadphasePair& pair, btCollisionDispatcher& dispatcher, const btDispatcherInfo& info);
};

// Installs the process-wide Bullet hooks the layer relies on (once).
void installBulletHooks();

} // namespace phys::detail
