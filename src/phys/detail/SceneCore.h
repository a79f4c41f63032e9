#pragma once

#include "phys/Dispatcher.h"
#include "phys/Scene.h"
#include "phys/SimulationEvents.h"
#include "phys/Visualization.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

// The scene's machinery. Front objects (actors, shapes) are what callers see; Bullet is the
// back. Bullet is touched only by simulate() (push: carry every change made since the last
// step; then find and filter the broadphase pairs), by the worker during the step, and by
// fetchResults() (pull the simulated state into the fronts the caller did not write since,
// then deliver the step's reports). So every call is legal while a step is in flight.
//
// Released actors become zombies: out of the scene and queries at once, out of Bullet at
// the next push (which ends their pairs with "lost" reports), freed after the fetch that
// delivers those reports.

class btCollisionConfiguration;
class btRigidBody;
class btSequentialImpulseConstraintSolver;

namespace phys {
class Controller;
class Foundation;
class RigidActor;
class RigidBody;
class RigidDynamic;
}

namespace phys::detail {

class ClothSet;
class ContactReports;
class ControllerBounds;
class JointSet;
class PairFilter;
class ParticleSet;
class QueryWorld;
class StepBroadphase;
class StepDispatcher;
class StepWorld;

class SceneCore {
public:
    SceneCore(Scene& scene, Physics& physics, const SceneDesc& desc);
    ~SceneCore();

    // --- calls from Scene -------------------------------------------------------------
    void addActor(Actor& actor);
    void simulate(float dt, CompletionTask* completion);
    bool fetchResults(bool block);
    bool checkResults(bool block);
    bool isSimulating() const { return inFlight; }
    void setGravity(const Vec3& g);
    // Finishes a running step and frees everything without calling back.
    void shutDown();

    // --- calls from actors and shapes --------------------------------------------------
    void markDirty(RigidActor& actor, uint32_t bits);
    // An actor of the scene of any kind is released.
    void release(Actor& actor);
    void releaseActor(RigidActor& actor);
    void shapeCreated(Shape& shape);
    // The shape's scene-query flag or local pose changed.
    void shapeQueryChanged(Shape& shape);
    void actorMovedByCaller(RigidActor& actor);
    // Whether two actors may touch at all (joints without collision switch it off); counted,
    // so each switch-off needs its own switch-on. Applied at the next step.
    void setActorPairCollision(RigidActor& a, RigidActor& b, bool enabled);

    // --- shared state ----------------------------------------------------------------
    Scene& scene;
    Physics& physics;
    Foundation& foundation;
    SceneDesc desc;
    std::vector<unsigned char> shaderData;
    Dispatcher* dispatcher;
    Vec3 gravity;

    std::unique_ptr<btCollisionConfiguration> collisionConfiguration;
    std::unique_ptr<StepDispatcher> collisionDispatcher;
    std::unique_ptr<StepBroadphase> broadphase;
    std::unique_ptr<btSequentialImpulseConstraintSolver> solver;
    std::unique_ptr<StepWorld> world;

    std::unique_ptr<PairFilter> pairs;
    std::unique_ptr<ContactReports> reports;
    std::unique_ptr<QueryWorld> queries;
    std::unique_ptr<JointSet> joints;
    std::unique_ptr<ClothSet> cloths;
    std::unique_ptr<ParticleSet> particles;

    std::vector<RigidActor*> actors;         // in the scene, not released
    std::vector<RigidActor*> dirtyActors;    // changed since the last push
    std::vector<RigidActor*> pendingRemoval; // released, still in Bullet
    std::vector<RigidActor*> removedZombies; // out of Bullet, freed after the next fetch
    std::vector<Controller*> controllers;    // character controllers moving in this scene
    std::unique_ptr<ControllerBounds> controllerBounds; // their capsules' boxes, for their moves

    float visualization[static_cast<int>(VisualizationParameter::Count)] = {};
    Bounds3 cullingBox;
    RenderBuffer renderBuffer;
    uint32_t contactSolverRows = 0; // of the last step, counted by the worker

    // The statistics as of the last fetch, counted at the first read after it: most steps
    // nobody reads them.
    const SimulationStatistics& currentStatistics();

    float stepDt = 0.0f;
    uint64_t stepIndex = 0;
    bool tearingDown = false;

private:
    class StepJob : public Job {
    public:
        explicit StepJob(SceneCore& core) : core(core) {}
        void execute() override;
        SceneCore& core;
    };

    // Push (BodySync.cpp).
    void push();
    void removeZombieBodies();
    void syncActor(RigidActor& actor, uint32_t bits, std::vector<RigidActor*>& refilter);
    void createBody(RigidActor& actor);
    void destroyBody(RigidActor& actor);
    void rebuildCollisionShape(RigidActor& actor);
    void switchKinematic(RigidBody& body);
    void applyMass(RigidBody& body);
    void applyParams(RigidActor& actor);
    void applyPose(RigidActor& actor);
    void applyTarget(RigidDynamic& body);
    void applyVelocities(RigidBody& body);
    void applyForces(RigidBody& body);
    void applySleepState(RigidDynamic& body, uint32_t bits);
    void applyGravity(RigidActor& actor);
    // Pull (BodySync.cpp).
    void pull();
    void pullBody(btRigidBody& rb);
    // The body was woken by the caller (or made): the next pull reads it.
    void markPulledActive(btRigidBody& rb);

    // On the worker (or inline).
    void runStep();
    // The solver rows of the last step's contacts and of the enabled joints as they stand.
    uint32_t countSolverRows() const;

    void freeZombies();
    void latchStatistics();
    void buildStatistics();
    void destroyActor(RigidActor& actor);

    SimulationStatistics statistics;
    bool statisticsStale = true;
    uint32_t stepBroadphaseAdds = 0, stepBroadphaseRemoves = 0; // of the last fetched step

    std::vector<RigidActor*> pendingFilter; // actors whose pairs the next filter pass looks at again
    std::vector<RigidActor*> pushScratch;   // the dirty actors a push walks
    std::vector<RigidActor*> filterScratch; // the actors a filter pass walks
    // Bodies awake at the last pull or woken by the caller since (marked PulledActive), and the
    // bodies a pull visits.
    std::vector<btRigidBody*> pulledBodies;
    std::vector<btRigidBody*> pullScratch;
    StepJob job{*this};
    CompletionTask* completion = nullptr;
    bool inFlight = false;
    bool stepDone = false;
    bool delivering = false;
    bool gravityChanged = false;
    std::mutex doneMutex;
    std::condition_variable doneSignal;
};

} // namespace phys::detail
