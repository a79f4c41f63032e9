#pragma once

#include "phys/Phys.h"

#include <cstddef>
#include <string>
#include <vector>

// The objects the physics library calls back into: its allocator, its error handler, the
// completion task of an asynchronous step and the simulation events.

class PhysicsManager;
class Stopwatch;
struct PhysicsUserData;
namespace irr::scene {
class ISceneNode;
}

// 16-byte aligned blocks; the type name, file and line are not used.
class PhysicsAllocator : public phys::Allocator {
public:
    void* allocate(std::size_t size, const char* typeName, const char* file, int line) override;
    void deallocate(void* ptr) override;
};

// Logs "ERROR: [Physx]: <code> - <message>" and the call stack; the library goes on. Safe
// from any thread: reports are written one at a time.
class PhysicsErrorCallback : public phys::ErrorHandler {
public:
    void reportError(phys::ErrorCode code, const char* message, const char* file, int line) override;
};

// The text of a library error line.
std::string physicsErrorLine(phys::ErrorCode code, const char* message);

// Runs when a step has finished, on the thread that finished it: ticks the profiler's
// "Physics" stopwatch, so the profile records when the simulation ended.
class StepTimerTask : public phys::CompletionTask {
public:
    explicit StepTimerTask(Stopwatch* watch) : watch(watch) {}
    const char* getName() const override { return "Timer Task"; }
    void run() override;

private:
    Stopwatch* watch;
};

// Ticks the profiler's "Physics" stopwatch. The completion task ticks it from the worker
// and the manager from the main thread, so both go through here, one at a time.
void tickPhysicsStopwatch(Stopwatch* watch);
void resumePhysicsStopwatch(Stopwatch* watch);
// The stopwatch has no target: it measures from its reset, which each frame's first step
// makes (else it would show the whole run's time). The step's completion pauses it, so the
// time the frame spends elsewhere until the results are fetched is not the physics'.
void resetPhysicsStopwatch(Stopwatch* watch);
void pausePhysicsStopwatch(Stopwatch* watch);

// The simulation events of the scene, delivered on the main thread inside fetchResults and
// handed at once to the objects concerned: trigger volumes (through the trigger slots),
// physics objects (their contact reaction). While the manager resets its scene every
// report is dropped.
class PhysicsCallbacks : public phys::SimulationEventCallback,
                         public phys::ControllerHitReport,
                         public phys::ControllerBehaviorCallback {
public:
    explicit PhysicsCallbacks(PhysicsManager& manager) : manager(manager) {}

    // Character controllers: what they touched (characters push objects and wake one
    // another once the characters exist), and how they treat what they stand on: they ride
    // kinematic physics objects.
    void onShapeHit(const phys::ControllerShapeHit& hit) override;
    void onControllerHit(const phys::ControllersHit& hit) override;
    void onObstacleHit(const phys::ControllerObstacleHit&) override {}
    uint32_t getBehaviorFlags(const phys::Shape& shape) override;
    uint32_t getBehaviorFlags(const phys::Controller&) override { return phys::BehaviorUserDefinedRide; }
    uint32_t getBehaviorFlags(const phys::Obstacle&) override { return phys::BehaviorUserDefinedRide; }

    void onConstraintBreak(phys::ConstraintInfo* constraints, uint32_t count) override;
    void onWake(phys::Actor** actors, uint32_t count) override;
    void onSleep(phys::Actor** actors, uint32_t count) override;
    void onContact(const phys::ContactPairHeader& header, const phys::ContactPair* pairs, uint32_t count) override;
    void onTrigger(phys::TriggerPair* pairs, uint32_t count) override;

    // Reports that reached the callbacks and were not dropped (contact pairs and trigger
    // pairs), for the profile and the tests.
    unsigned acceptedReports() const { return accepted; }
    unsigned droppedReports() const { return dropped; }

private:
    bool accept(uint32_t count);
    void dispatchTriggerContact(PhysicsUserData* trigger, phys::RigidActor* triggerActor, phys::RigidActor* otherActor,
                                irr::scene::ISceneNode* otherNode, phys::Shape* touchedShape,
                                const phys::ContactPair& pair);

    // Room for the contact points of one pair, made on the first report and kept: reports
    // come every step while objects touch.
    std::vector<phys::ContactPairPoint>& contactPoints();

    PhysicsManager& manager;
    unsigned accepted = 0;
    unsigned dropped = 0;
    std::vector<phys::ContactPairPoint> pointRoom;
};
