#pragma once

// What the physics benchmarks share: the game's settings, its filter words and shader, the
// same scene set up through the layer and through plain Bullet, and the side-by-side timing.

#include "phys/Phys.h"

#include <benchmark/benchmark.h>
#include <btBulletDynamicsCommon.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <vector>

namespace physbench {

using Clock = std::chrono::steady_clock;
constexpr float Step = 0.0167f;
constexpr int Steps = 600;
constexpr float Gravity = -55.0f;
// The layer averages the two materials (0.5 friction, 0.1 restitution); Bullet multiplies.
inline const float RawFriction = std::sqrt(0.5f);
inline const float RawRestitution = std::sqrt(0.1f);

// The game's scales: lengths of about 5 units, masses of 5,000, a fall's speed.
inline phys::Tolerances gameTolerances() {
    phys::Tolerances tolerances;
    tolerances.length = 5.0f;
    tolerances.mass = 5000.0f;
    tolerances.speed = -Gravity;
    return tolerances;
}

inline double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The calling thread's own CPU time: on a loaded machine, wall time also counts the time
// other programs held the core. Both worlds step on the calling thread.
inline double threadMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Filter words as the game gives them: dynamic objects, static objects, trigger volumes.
constexpr phys::FilterData DynamicWords(0x1, 0x0FFFFF8F, 0, 0);
constexpr phys::FilterData StaticWords(0x2, 0x0FFFFF8D, 0, 0);
constexpr phys::FilterData TriggerWords(0x8, 0x0FFFFF87, 0, 0);

inline phys::FilterFlags gameShader(phys::FilterObjectAttributes a0, phys::FilterData d0, phys::FilterObjectAttributes a1,
                             phys::FilterData d1, phys::PairFlags& flags, const void*, uint32_t) {
    const bool accept01 = (d0.word1 & d1.word0) != 0, accept10 = (d1.word1 & d0.word0) != 0;
    if ((a0 | a1) & phys::FilterObjectTrigger) {
        if (!(accept01 && accept10))
            return phys::FilterKill;
        flags = 0x1C;
        return phys::FilterDefault;
    }
    if (!(accept01 && accept10))
        return phys::FilterKill;
    // As the game: touches found and lost with their points; persisting touches only with
    // the player's body (0x3F00), which these scenes do not have.
    const uint32_t persists = ((d0.word0 | d1.word0) & 0x3F00) ? 0x8 : 0x0;
    flags = ((d0.word0 == 8 || d1.word0 == 8) ? 0x114 : 0x115) | persists;
    return phys::FilterDefault;
}

class CountingEvents : public phys::SimulationEventCallback {
public:
    void onConstraintBreak(phys::ConstraintInfo*, uint32_t) override {}
    void onWake(phys::Actor**, uint32_t) override {}
    void onSleep(phys::Actor**, uint32_t) override {}
    void onContact(const phys::ContactPairHeader&, const phys::ContactPair* pairs, uint32_t count) override {
        phys::ContactPairPoint points[16];
        for (uint32_t i = 0; i < count; ++i)
            contacts += pairs[i].extractContacts(points, 16);
    }
    void onTrigger(phys::TriggerPair*, uint32_t count) override { triggers += count; }
    uint64_t contacts = 0, triggers = 0;
};

// --- the layer ----------------------------------------------------------------------------

struct LayerWorld {
    explicit LayerWorld(uint32_t threads) {
        foundation = phys::Foundation::create(nullptr, nullptr);
        const phys::Tolerances tolerances = gameTolerances();
        physics = phys::Physics::create(*foundation, tolerances);
        dispatcher = phys::Dispatcher::create(threads);
        phys::SceneDesc desc(tolerances);
        desc.gravity = phys::Vec3(0, Gravity, 0);
        desc.dispatcher = dispatcher;
        desc.filterShader = gameShader;
        desc.eventCallback = &events;
        scene = physics->createScene(desc);
        material = physics->createMaterial(0.5f, 0.5f, 0.1f);
        ground = physics->createRigidStatic(phys::Transform(phys::Vec3(0, -1, 0)));
        ground->createShape(phys::BoxGeometry(100, 1, 100), *material)->setSimulationFilterData(StaticWords);
        scene->addActor(*ground);
    }
    ~LayerWorld() {
        scene->release();
        dispatcher->release();
        physics->release();
        foundation->release();
    }
    phys::RigidDynamic* addBox(const phys::Vec3& at, bool kinematic = false, bool trigger = false) {
        phys::RigidDynamic* body = physics->createRigidDynamic(phys::Transform(at));
        phys::Shape* shape = body->createShape(phys::BoxGeometry(trigger ? 2.0f : 0.5f, 0.5f, trigger ? 2.0f : 0.5f),
                                               *material);
        if (trigger) {
            shape->setFlag(phys::ShapeSimulation, false);
            shape->setFlag(phys::ShapeTrigger, true);
        }
        shape->setSimulationFilterData(trigger ? TriggerWords : DynamicWords);
        phys::setMassAndUpdateInertia(*body, 10.0f);
        body->setRigidDynamicFlag(phys::RigidDynamicFlag::Kinematic, kinematic || trigger);
        scene->addActor(*body);
        return body;
    }
    void step() {
        scene->simulate(Step);
        scene->fetchResults(true);
    }

    CountingEvents events;
    phys::Foundation* foundation;
    phys::Physics* physics;
    phys::Dispatcher* dispatcher;
    phys::Scene* scene;
    phys::Material* material;
    phys::RigidStatic* ground;
};

// --- plain Bullet ---------------------------------------------------------------------------

struct RawWorld {
    RawWorld() : dispatcher(&configuration), world(&dispatcher, &broadphase, &solver, &configuration) {
        world.setGravity(btVector3(0, Gravity, 0));
        world.getDispatchInfo().m_useContinuous = false;
        world.setForceUpdateAllAabbs(false);
        world.getSolverInfo().m_restitutionVelocityThreshold = 0.2f * 55.0f;
        gDeactivationTime = 0.4f;
        addBody(btVector3(0, -1, 0), &groundShape, 0.0f);
    }
    ~RawWorld() {
        for (btTypedConstraint* joint : joints) {
            world.removeConstraint(joint);
            delete joint;
        }
        for (int i = world.getNumCollisionObjects() - 1; i >= 0; --i) {
            btCollisionObject* object = world.getCollisionObjectArray()[i];
            world.removeCollisionObject(object);
            delete object;
        }
    }
    btRigidBody* addBody(const btVector3& at, btCollisionShape* shape, float mass) {
        btVector3 inertia(0, 0, 0);
        if (mass > 0)
            shape->calculateLocalInertia(mass, inertia);
        btRigidBody::btRigidBodyConstructionInfo info(mass, nullptr, shape, inertia);
        info.m_friction = RawFriction;
        info.m_restitution = RawRestitution;
        info.m_angularDamping = 0.05f;
        info.m_linearSleepingThreshold = info.m_angularSleepingThreshold = std::sqrt(2.0f * 5e-5f) * 55.0f;
        info.m_startWorldTransform.setOrigin(at);
        auto* body = new btRigidBody(info);
        body->setFlags(0);
        world.addRigidBody(body);
        return body;
    }
    btRigidBody* addBox(const btVector3& at, bool kinematic = false, bool trigger = false) {
        btRigidBody* body = addBody(at, trigger ? &triggerShape : &boxShape, kinematic || trigger ? 0.0f : 10.0f);
        if (kinematic || trigger) {
            body->setCollisionFlags((body->getCollisionFlags() & ~btCollisionObject::CF_STATIC_OBJECT) |
                                    btCollisionObject::CF_KINEMATIC_OBJECT |
                                    (trigger ? btCollisionObject::CF_NO_CONTACT_RESPONSE : 0));
            world.removeRigidBody(body);
            world.addRigidBody(body);
        }
        return body;
    }
    // What a caller of plain Bullet does for its touch reports: walk the manifolds.
    void step() {
        world.stepSimulation(Step, 0);
        for (int i = 0; i < dispatcher.getNumManifolds(); ++i)
            touching += dispatcher.getManifoldByIndexInternal(i)->getNumContacts() > 0;
    }

    btDefaultCollisionConfiguration configuration;
    btCollisionDispatcher dispatcher;
    btDbvtBroadphase broadphase;
    btSequentialImpulseConstraintSolver solver;
    btDiscreteDynamicsWorld world;
    btBoxShape groundShape{btVector3(100, 1, 100)};
    btBoxShape boxShape{btVector3(0.5f, 0.5f, 0.5f)};
    btBoxShape triggerShape{btVector3(2.0f, 0.5f, 2.0f)};
    std::vector<btTypedConstraint*> joints;
    uint64_t touching = 0;
};

// Both worlds are stepped in turn, each step timed on its own, so that both see the same
// load of the (shared) machine. Milliseconds of thread CPU time.
struct Timing {
    double layer = 0, raw = 0;
};

// Times one call in thread CPU milliseconds into the slot.
template <class F>
void timeInto(double& slot, F work) {
    const double start = threadMilliseconds();
    work();
    slot += threadMilliseconds() - start;
}

// Steps both worlds Steps times, in turn.
inline Timing stepSideBySide(LayerWorld& layer, RawWorld& raw) {
    Timing t;
    for (int i = 0; i < Steps; ++i) {
        timeInto(t.layer, [&] { layer.step(); });
        timeInto(t.raw, [&] { raw.step(); });
    }
    return t;
}

// Reports layer_ms and raw_ms (thread CPU time per run) and their ratio.
inline void compare(benchmark::State& state, Timing (*run)()) {
    Timing total;
    for (auto _ : state) {
        const Timing t = run();
        total.layer += t.layer;
        total.raw += t.raw;
        state.SetIterationTime((t.layer + t.raw) / 1000.0);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["layer_ms"] = total.layer / n;
    state.counters["raw_ms"] = total.raw / n;
    state.counters["ratio"] = total.raw > 0 ? total.layer / total.raw : 0.0;
}

} // namespace physbench
