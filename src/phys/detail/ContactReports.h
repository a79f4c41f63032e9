#pragma once

#include "phys/SimulationEvents.h"
#include "phys/detail/PairFilter.h"

#include <cstdint>
#include <vector>

// Touch and trigger reports. After each step the worker compares, for every reporting pair
// that Bullet looked at, which shape pairs touch now with which touched before, and records
// the transitions with their contact points. Pairs that end between steps (removed from
// the broadphase, filtered away, actor released) record their "lost" on the main thread.
// fetchResults delivers both, in that order, and groups them per actor pair.

class btManifoldPoint;
class btPersistentManifold;

namespace phys {
class RigidActor;
class Shape;
}

namespace phys::detail {

struct TouchEvent {
    RigidActor* actor0 = nullptr;
    RigidActor* actor1 = nullptr;
    Shape* shape0 = nullptr;
    Shape* shape1 = nullptr;
    PairFlags events = 0; // the one transition, already masked by the pair's flags
    bool trigger = false;
    uint32_t firstPoint = 0;
    uint32_t pointCount = 0;
};

class ContactReports {
public:
    // Worker: start a step's list.
    void beginStep();
    // Worker: compare a looked-at reporting pair's touches with the previous ones. Returns the
    // solver rows of its contacts when they go to the solver.
    uint32_t gather(PairRecord& record, btPersistentManifold* const* manifolds, uint32_t manifoldCount,
                    bool responds);

    // Main thread: a touching shape pair ended outside a step.
    void addEnded(const PairRecord& record, const TouchState& touch);

    // Main thread: hand every recorded report to the callback (or drop them without one).
    void deliver(SimulationEventCallback* callback);
    // Drops everything (teardown).
    void clear();

private:
    struct PointRef {
        int child0, child1;
        const btManifoldPoint* point;
        bool swapped;
    };
    void emit(std::vector<TouchEvent>& list, const PairRecord& record, const TouchState& touch, PairFlags kind,
              const PointRef* points, uint32_t pointCount);

    std::vector<TouchEvent> ended;     // main thread, between steps
    std::vector<TouchEvent> stepEvents; // worker, during the step
    std::vector<ContactPairPoint> points;
    std::vector<PointRef> pointRefs;
    std::vector<TouchState> newTouches;
    std::vector<ContactPair> contactScratch;
    std::vector<TriggerPair> triggerScratch;
};

} // namespace phys::detail
