#pragma once

#include "phys/Cooking.h"
#include "phys/Filtering.h"
#include "phys/Geometry.h"
#include "phys/MathTypes.h"
#include "phys/SceneQuery.h"
#include "phys/Visualization.h"

#include <cstdint>
#include <memory>

// The simulated world. One step: simulate(dt) starts it (on the dispatcher's worker, or
// inline without threads), fetchResults() waits for it, applies what the caller changed
// meanwhile and delivers the step's reports on the calling thread.
//
// Threads: every call is made from the main thread; the filter shader, the filter callback,
// the event callback and query filters are called on the main thread; only the completion
// task runs on the worker.

namespace phys {

class Actor;
class CompletionTask;
class Dispatcher;
class Physics;
class SimulationEventCallback;
namespace detail {
class SceneCore;
}

struct SceneDesc {
    SceneDesc() : SceneDesc(Tolerances()) {}
    explicit SceneDesc(const Tolerances& scale) : bounceThresholdVelocity(0.2f * scale.speed) {}

    Vec3 gravity;
    Dispatcher* dispatcher = nullptr;           // required
    FilterShader filterShader = nullptr;         // required
    const void* filterShaderData = nullptr;      // copied; handed to every shader call
    uint32_t filterShaderDataSize = 0;
    SimulationFilterCallback* filterCallback = nullptr;
    SimulationEventCallback* eventCallback = nullptr;
    uint32_t flags = 0;                          // kept, no effect
    // Also consider kinematic-kinematic and kinematic-static pairs (filter, contacts, triggers).
    bool reportKinematicPairs = false;
    // Relative speeds below this do not bounce.
    float bounceThresholdVelocity;

    bool isValid() const;
};

class Scene {
public:
    // Finishes a running step, then frees every actor of the scene. No callback is called.
    void release();

    Physics& getPhysics() const;
    // Adds a rigid actor that is in no scene yet.
    void addActor(Actor& actor);
    uint32_t getNbActors() const;

    Vec3 getGravity() const;
    void setGravity(const Vec3& gravity);
    uint32_t getFlags() const;

    // Starts one step of dt seconds. An error (and no step) while the last step has not been
    // fetched, or for a dt that is not finite and positive.
    void simulate(float dt, CompletionTask* completion = nullptr);
    // True when the step has finished and its results are in. Without block, false while the
    // step still runs.
    bool fetchResults(bool block = true);
    bool checkResults(bool block = false);
    bool isSimulating() const;
    // Nothing to free here; kept for the caller's call order.
    void flush(bool sendPendingReports = false);

    // The closest blocking hit along the ray.
    bool raycastSingle(const Vec3& origin, const Vec3& unitDir, float distance, uint32_t hitFlags, RaycastHit& hit,
                       const QueryFilterData& filterData = QueryFilterData(),
                       QueryFilterCallback* filterCallback = nullptr) const;
    // The first blocking hit of a convex geometry (box, sphere, capsule, convex mesh) moved
    // from pose along the direction.
    bool sweepSingle(const Geometry& geometry, const Transform& pose, const Vec3& unitDir, float distance,
                     uint32_t hitFlags, SweepHit& hit, const QueryFilterData& filterData = QueryFilterData(),
                     QueryFilterCallback* filterCallback = nullptr) const;

    void setVisualizationParameter(VisualizationParameter parameter, float value);
    float getVisualizationParameter(VisualizationParameter parameter) const;
    void setVisualizationCullingBox(const Bounds3& box);
    Bounds3 getVisualizationCullingBox() const;
    // Lines of the last fetched step.
    const RenderBuffer& getRenderBuffer() const;

    // Filled at each fetch.
    void getSimulationStatistics(SimulationStatistics& statistics) const;

    detail::SceneCore& core() const { return *core_; }

private:
    friend class Physics;
    Scene(Physics& physics, const SceneDesc& desc);
    ~Scene();

    std::unique_ptr<detail::SceneCore> core_;
};

} // namespace phys
