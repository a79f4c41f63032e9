// The physics layer against plain Bullet on the same scenes with the same settings:
// (a) 1,000 boxes falling onto a static ground and settling, 600 steps;
// (b) 1,000 resting boxes, 50 kinematic bodies moving through them and 20 trigger volumes,
//     600 steps;
// and the time the main thread waits in fetchResults when a threaded step of scene (a)
// overlaps 10 ms of other main-thread work.

#include "phys/Phys.h"

#include <benchmark/benchmark.h>
#include <btBulletDynamicsCommon.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <type_traits>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr float Step = 0.0167f;
constexpr int Steps = 600;
constexpr float Gravity = -55.0f;
// The layer averages the two materials (0.5 friction, 0.1 restitution); Bullet multiplies.
const float RawFriction = std::sqrt(0.5f);
const float RawRestitution = std::sqrt(0.1f);

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Filter words as the game gives them: dynamic objects, static objects, trigger volumes.
constexpr phys::FilterData DynamicWords(0x1, 0x0FFFFF8F, 0, 0);
constexpr phys::FilterData StaticWords(0x2, 0x0FFFFF8D, 0, 0);
constexpr phys::FilterData TriggerWords(0x8, 0x0FFFFF87, 0, 0);

phys::FilterFlags gameShader(phys::FilterObjectAttributes a0, phys::FilterData d0, phys::FilterObjectAttributes a1,
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
    flags = (d0.word0 == 8 || d1.word0 == 8) ? 0x11C : 0x11D;
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
        phys::Tolerances tolerances;
        tolerances.length = 5.0f;
        tolerances.mass = 5000.0f;
        tolerances.speed = 55.0f;
        physics = phys::Physics::create(*foundation, tolerances);
        dispatcher = phys::Dispatcher::create(threads);
        phys::SceneDesc desc(tolerances);
        desc.gravity = phys::Vec3(0, Gravity, 0);
        desc.dispatcher = dispatcher;
        desc.filterShader = gameShader;
        desc.eventCallback = &events;
        scene = physics->createScene(desc);
        material = physics->createMaterial(0.5f, 0.5f, 0.1f);
        phys::RigidStatic* ground = physics->createRigidStatic(phys::Transform(phys::Vec3(0, -1, 0)));
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
    uint64_t touching = 0;
};

// Scene (a): ten layers of a 10 x 10 grid, each box a little apart, dropped together.
template <class World>
void fillFallingBoxes(World& world) {
    for (int layer = 0; layer < 10; ++layer)
        for (int i = 0; i < 100; ++i) {
            const float x = (i % 10) * 1.1f - 5.0f + 0.05f * (layer % 2), z = (i / 10) * 1.1f - 5.0f;
            const float y = 1.0f + layer * 1.2f;
            if constexpr (std::is_same_v<World, LayerWorld>)
                world.addBox(phys::Vec3(x, y, z));
            else
                world.addBox(btVector3(x, y, z));
        }
}

// Scene (b): a 40 x 25 field of resting boxes, 50 movers in a row, 20 trigger volumes.
template <class World, class Body>
void fillField(World& world, std::vector<Body*>& movers) {
    for (int i = 0; i < 1000; ++i) {
        const float x = (i % 40) * 2.0f - 40.0f, z = (i / 40) * 2.0f - 25.0f;
        if constexpr (std::is_same_v<World, LayerWorld>)
            world.addBox(phys::Vec3(x, 0.5f, z));
        else
            world.addBox(btVector3(x, 0.5f, z));
    }
    for (int i = 0; i < 50; ++i) {
        if constexpr (std::is_same_v<World, LayerWorld>)
            movers.push_back(world.addBox(phys::Vec3(-45.0f, 0.5f, i - 25.0f), true));
        else
            movers.push_back(world.addBox(btVector3(-45.0f, 0.5f, i - 25.0f), true));
    }
    for (int i = 0; i < 20; ++i) {
        const float x = (i % 5) * 16.0f - 35.0f, z = (i / 5) * 12.0f - 20.0f;
        if constexpr (std::is_same_v<World, LayerWorld>)
            world.addBox(phys::Vec3(x, 0.5f, z), false, true);
        else
            world.addBox(btVector3(x, 0.5f, z), false, true);
    }
}

// The movers cross the field at 6 units per second.
float moverX(int step) { return -45.0f + 6.0f * Step * step; }

// Both worlds are stepped in turn, each step timed on its own, so that both see the same
// load of the (shared) machine.
struct Timing {
    double layer = 0, raw = 0;
};

Timing runA() {
    LayerWorld layer(0);
    RawWorld raw;
    fillFallingBoxes(layer);
    fillFallingBoxes(raw);
    Timing t;
    for (int i = 0; i < Steps; ++i) {
        Clock::time_point start = Clock::now();
        layer.step();
        t.layer += millisecondsSince(start);
        start = Clock::now();
        raw.step();
        t.raw += millisecondsSince(start);
    }
    return t;
}

Timing runB() {
    LayerWorld layer(0);
    RawWorld raw;
    std::vector<phys::RigidDynamic*> layerMovers;
    std::vector<btRigidBody*> rawMovers;
    fillField(layer, layerMovers);
    fillField(raw, rawMovers);
    for (int i = 0; i < 60; ++i) {
        layer.step(); // let the fields fall asleep
        raw.step();
    }
    Timing t;
    for (int i = 0; i < Steps; ++i) {
        Clock::time_point start = Clock::now();
        for (size_t m = 0; m < layerMovers.size(); ++m)
            layerMovers[m]->setKinematicTarget(phys::Transform(phys::Vec3(moverX(i + 1), 0.5f, m - 25.0f)));
        layer.step();
        t.layer += millisecondsSince(start);
        start = Clock::now();
        for (size_t m = 0; m < rawMovers.size(); ++m) {
            btTransform pose = rawMovers[m]->getWorldTransform();
            pose.setOrigin(btVector3(moverX(i + 1), 0.5f, m - 25.0f));
            rawMovers[m]->setWorldTransform(pose);
            rawMovers[m]->activate(true);
        }
        raw.step();
        t.raw += millisecondsSince(start);
    }
    return t;
}

void compare(benchmark::State& state, Timing (*run)()) {
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
    state.counters["ratio"] = total.layer / total.raw;
}

void SceneA_FallingBoxes(benchmark::State& state) { compare(state, runA); }
BENCHMARK(SceneA_FallingBoxes)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void SceneB_KinematicsAndTriggers(benchmark::State& state) { compare(state, runB); }
BENCHMARK(SceneB_KinematicsAndTriggers)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// Scene (a) stepped on the worker while the main thread does 10 ms of other work.
void SceneA_FetchWhileOverlapped(benchmark::State& state) {
    double started = 0, waited = 0, fetched = 0, slowest = 0;
    for (auto _ : state) {
        LayerWorld world(1);
        fillFallingBoxes(world);
        for (int i = 0; i < Steps; ++i) {
            const Clock::time_point begin = Clock::now();
            world.scene->simulate(Step);
            started += millisecondsSince(begin);
            const Clock::time_point work = Clock::now();
            while (millisecondsSince(work) < 10.0) {
            }
            const Clock::time_point wait = Clock::now();
            world.scene->checkResults(true);
            const double w = millisecondsSince(wait);
            const Clock::time_point fetch = Clock::now();
            world.scene->fetchResults(true);
            fetched += millisecondsSince(fetch);
            waited += w;
            slowest = std::max(slowest, w);
        }
    }
    const double steps = static_cast<double>(state.iterations()) * Steps;
    state.counters["simulate_ms_per_step"] = started / steps;
    state.counters["blocked_ms_per_step"] = waited / steps;
    state.counters["blocked_ms_worst"] = slowest;
    state.counters["fetch_ms_per_step"] = fetched / steps;
}
BENCHMARK(SceneA_FetchWhileOverlapped)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
