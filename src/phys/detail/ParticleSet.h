#pragma once

#include "phys/Particles.h"

#include <LinearMath/btVector3.h>

#include <vector>

// The particle systems and fluids of one scene. The caller's particles (front) are copied to
// the back arrays in simulate() (only the written ones), the worker moves the back particles
// after the rigid step, with one ray per moving particle against the dynamics world, and
// fetchResults() copies them to the front except where the caller wrote meanwhile.
//
// Which actors a system's particles meet is decided on the main thread inside simulate(),
// for the actors whose bounds meet the system's, by the scene's filter shader.

class btCollisionObject;

namespace phys {
class RigidActor;
}

namespace phys::detail {

class SceneCore;

// Whether a system's particles collide with an actor (its collision object).
struct ActorDecision {
    const btCollisionObject* body = nullptr;
    bool collide = false;
};

struct ParticleBack {
    explicit ParticleBack(uint32_t capacity) : positions(capacity), velocities(capacity), flags(capacity, 0) {}

    std::vector<Vec3> positions;
    std::vector<Vec3> velocities;
    std::vector<uint16_t> flags;
    uint32_t validRange = 0;
    ParticleBase::Params params;
    Vec3 gravity;
    // The actors near the particles, sorted by body. Written in simulate, read by the worker.
    // Both lists keep their storage from step to step: a step of live particles allocates
    // nothing.
    std::vector<ActorDecision> decisions;
    std::vector<ActorDecision> previousDecisions; // simulate's, the step before

    Bounds3 bounds; // of the particles after the last step
    bool refilter = true;
};

class ParticleSet {
public:
    explicit ParticleSet(SceneCore& core);
    ~ParticleSet();

    void add(ParticleBase& system);
    void release(ParticleBase& system);

    // simulate: free released systems, carry the written particles and the settings.
    void push();
    // simulate, after the broadphase is up to date: decide the actors each system meets.
    void filter(const std::vector<RigidActor*>& changedActors);
    // Worker.
    void step(float dt);
    // fetchResults.
    void pull();
    // An actor left the scene: decisions are taken again (its body's address may come back).
    void actorReleased();
    // Scene teardown.
    void clear();

private:
    void decide(ParticleBase& system, const std::vector<RigidActor*>& changedActors);
    void move(ParticleBack& back, float dt);

    SceneCore& core;
    std::vector<ParticleBase*> systems;
    std::vector<ParticleBase*> released;
    std::vector<ParticleBack*> stepping; // what the worker moves, fixed at simulate
    std::vector<RigidActor*> overlapping; // decide's, kept for its storage
    uint32_t nextPairId = 1;
};

} // namespace phys::detail
