#include "phys/detail/SceneCore.h"

#include "phys/Cloth.h"
#include "phys/Foundation.h"
#include "phys/Joint.h"
#include "phys/Physics.h"
#include "phys/RigidBody.h"
#include "phys/Shape.h"
#include "phys/detail/Backs.h"
#include "phys/detail/BulletConvert.h"
#include "phys/detail/ClothSet.h"
#include "phys/detail/ContactReports.h"
#include "phys/detail/ControllerMotion.h"
#include "phys/detail/DebugLines.h"
#include "phys/detail/JointSet.h"
#include "phys/detail/PairFilter.h"
#include "phys/detail/ParticleSet.h"
#include "phys/detail/QueryWorld.h"
#include "phys/detail/StepBroadphase.h"
#include "phys/detail/StepWorld.h"

#include <BulletCollision/NarrowPhaseCollision/btPersistentManifold.h>
#include <BulletDynamics/ConstraintSolver/btSequentialImpulseConstraintSolver.h>
#include <BulletSoftBody/btSoftBodyRigidBodyCollisionConfiguration.h>

#include <cmath>
#include <cstring>

namespace phys::detail {

SceneCore::SceneCore(Scene& scene_, Physics& physics_, const SceneDesc& desc_)
    : scene(scene_), physics(physics_), foundation(physics_.getFoundation()), desc(desc_),
      dispatcher(desc_.dispatcher), gravity(desc_.gravity) {
    if (desc.filterShaderData && desc.filterShaderDataSize) {
        shaderData.resize(desc.filterShaderDataSize);
        std::memcpy(shaderData.data(), desc.filterShaderData, desc.filterShaderDataSize);
    }
    desc.filterShaderData = nullptr;

    installBulletHooks();
    pairs = std::make_unique<PairFilter>(*this);
    reports = std::make_unique<ContactReports>();
    queries = std::make_unique<QueryWorld>();
    controllerBounds = std::make_unique<ControllerBounds>();
    joints = std::make_unique<JointSet>(*this);
    cloths = std::make_unique<ClothSet>(*this);
    particles = std::make_unique<ParticleSet>(*this);
    collisionConfiguration = std::make_unique<btSoftBodyRigidBodyCollisionConfiguration>();
    collisionDispatcher = std::make_unique<StepDispatcher>(collisionConfiguration.get(), *pairs);
    broadphase = std::make_unique<StepBroadphase>(desc.reportKinematicPairs);
    broadphase->getOverlappingPairCache()->setOverlapFilterCallback(pairs.get());
    broadphase->getOverlappingPairCache()->setInternalGhostPairCallback(pairs.get());
    solver = std::make_unique<btSequentialImpulseConstraintSolver>();
    world = std::make_unique<StepWorld>(collisionDispatcher.get(), broadphase.get(), solver.get(),
                                        collisionConfiguration.get());
    world->setGravity(toBt(gravity));
    world->getSolverInfo().m_restitutionVelocityThreshold = desc.bounceThresholdVelocity;
    dispatcher->attachScene();
}

SceneCore::~SceneCore() { shutDown(); }

void SceneCore::shutDown() {
    if (!world)
        return;
    if (inFlight) {
        std::unique_lock<std::mutex> lock(doneMutex);
        doneSignal.wait(lock, [this] { return stepDone; });
        inFlight = false;
    }
    tearingDown = true;
    for (Controller* controller : controllers)
        ControllerMotion::sceneGone(*controller);
    controllers.clear();
    joints->clear();
    cloths->clear();
    particles->clear();
    reports->clear();
    pairs->clear();
    pulledBodies.clear(); // every body goes: no need to take them out one by one
    for (std::vector<RigidActor*>* list : {&actors, &pendingRemoval, &removedZombies}) {
        for (RigidActor* actor : *list) {
            destroyBody(*actor);
            destroyActor(*actor);
        }
        list->clear();
    }
    dirtyActors.clear();
    pendingFilter.clear();
    broadphase->getOverlappingPairCache()->setInternalGhostPairCallback(nullptr);
    world.reset();
    solver.reset();
    broadphase.reset();
    collisionDispatcher.reset();
    collisionConfiguration.reset();
    if (dispatcher)
        dispatcher->detachScene();
    dispatcher = nullptr;
}

void SceneCore::destroyActor(RigidActor& actor) {
    physics.forgetActor(actor);
    delete &actor;
}

void SceneCore::addActor(Actor& actor) {
    if (actor.scene || actor.released || &actor.getPhysics() != &physics) {
        PHYS_REPORT(foundation, ErrorCode::InvalidOperation,
                    "addActor: the actor is already in a scene, released, or made by another physics object");
        return;
    }
    if (actor.getType() == ActorType::Cloth) {
        actor.scene = &scene;
        cloths->add(static_cast<Cloth&>(actor));
        return;
    }
    if (actor.getType() == ActorType::ParticleSystem || actor.getType() == ActorType::ParticleFluid) {
        actor.scene = &scene;
        particles->add(static_cast<ParticleBase&>(actor));
        return;
    }
    if (!actor.isRigidActor()) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter, "addActor: unknown kind of actor");
        return;
    }
    RigidActor& rigid = static_cast<RigidActor&>(actor);
    rigid.scene = &scene;
    rigid.back().sceneIndex = actors.size();
    actors.push_back(&rigid);
    queries->addActor(rigid);
    markDirty(rigid, DirtyAdded);
    // Joints made before the actor joined a scene join it now.
    const std::vector<Joint*> attached = rigid.attachedJoints;
    for (Joint* joint : attached)
        joints->add(*joint);
}

void SceneCore::release(Actor& actor) {
    if (actor.isRigidActor()) {
        releaseActor(static_cast<RigidActor&>(actor));
        return;
    }
    actor.released = true;
    if (actor.getType() == ActorType::Cloth)
        cloths->release(static_cast<Cloth&>(actor));
    else
        particles->release(static_cast<ParticleBase&>(actor));
}

void SceneCore::releaseActor(RigidActor& actor) {
    actor.released = true;
    joints->actorReleased(actor);
    particles->actorReleased();
    for (Controller* controller : controllers)
        ControllerMotion::actorReleased(*controller, actor);
    queries->removeActor(actor);
    const size_t index = actor.back().sceneIndex;
    if (index < actors.size() && actors[index] == &actor) {
        actors[index] = actors.back();
        actors[index]->back().sceneIndex = index;
        actors.pop_back();
    }
    pendingRemoval.push_back(&actor);
}

void SceneCore::shapeCreated(Shape& shape) {
    queries->shapeChanged(shape);
    markDirty(*shape.getActor(), DirtyShapes | DirtyParams | DirtyFilter);
}

void SceneCore::shapeQueryChanged(Shape& shape) { queries->shapeChanged(shape); }

void SceneCore::actorMovedByCaller(RigidActor& actor) { queries->actorMoved(actor); }

void SceneCore::setActorPairCollision(RigidActor& a, RigidActor& b, bool enabled) {
    pairs->excludeActorPair(a, b, !enabled);
    for (RigidActor* actor : {&a, &b})
        if (actor->scene == &scene && !actor->released)
            markDirty(*actor, DirtyPairs);
}

void SceneCore::setGravity(const Vec3& g) {
    gravity = g;
    gravityChanged = true;
}

void SceneCore::simulate(float dt, CompletionTask* task) {
    if (inFlight) {
        PHYS_REPORT(foundation, ErrorCode::InvalidOperation, "simulate: the last step has not been fetched");
        return;
    }
    if (delivering) {
        PHYS_REPORT(foundation, ErrorCode::InvalidOperation, "simulate: not allowed inside a report callback");
        return;
    }
    if (!std::isfinite(dt) || dt <= 0.0f) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter, "simulate: the step must be positive and finite");
        return;
    }
    stepDt = dt;
    push();
    world->prepareCollisionPairs();
    filterScratch.swap(pendingFilter);
    pairs->filterPass(filterScratch);
    particles->filter(filterScratch);
    filterScratch.clear();

    ++stepIndex;
    completion = task;
    if (task)
        task->pending.store(true, std::memory_order_release);
    {
        std::lock_guard<std::mutex> lock(doneMutex);
        stepDone = false;
    }
    inFlight = true;
    dispatcher->submit(job);
}

void SceneCore::StepJob::execute() { core.runStep(); }

void SceneCore::runStep() {
    reports->beginStep();
    pairs->processed.clear();
    pairs->processedManifolds.resizeNoInitialize(0);
    pairs->contactRows = 0;
    world->stepSimulation(stepDt, 0);
    joints->checkBreaks();
    cloths->step(stepDt);
    particles->step(stepDt);
    const std::vector<PairFilter::Processed>& processed = pairs->processed;
    const btAlignedObjectArray<btPersistentManifold*>& manifolds = pairs->processedManifolds;
    for (size_t i = 0; i < processed.size(); ++i) {
        // The pairs' records and manifolds are scattered and long out of the cache: ask for
        // the ones a few pairs ahead.
        if (i + 4 < processed.size()) {
            const PairFilter::Processed& ahead = processed[i + 4];
            __builtin_prefetch(ahead.record);
            if (ahead.manifoldCount) {
                const btPersistentManifold* m = manifolds[static_cast<int>(ahead.firstManifold)];
                __builtin_prefetch(&m->getContactPoint(0));
                __builtin_prefetch(&m->getContactPoint(0) + MANIFOLD_CACHE_SIZE); // bodies and point count
            }
        }
        const PairFilter::Processed& p = processed[i];
        pairs->contactRows +=
            reports->gather(*p.record, p.manifoldCount ? &manifolds[static_cast<int>(p.firstManifold)] : nullptr,
                            p.manifoldCount, p.responds);
        PairFilter::retag(*p.pair, *p.record);
    }
    contactSolverRows = pairs->contactRows;
    if (completion) {
        completion->run();
        completion->pending.store(false, std::memory_order_release);
    }
    // Signalled under the lock: the main thread may free the scene as soon as it sees the flag.
    std::lock_guard<std::mutex> lock(doneMutex);
    stepDone = true;
    doneSignal.notify_all();
}

uint32_t SceneCore::countSolverRows() const {
    uint32_t rows = contactSolverRows;
    for (int i = 0; i < world->getNumConstraints(); ++i) {
        btTypedConstraint* c = world->getConstraint(i);
        if (!c->isEnabled())
            continue;
        btTypedConstraint::btConstraintInfo1 info;
        c->getInfo1(&info);
        rows += static_cast<uint32_t>(info.m_numConstraintRows);
    }
    return rows;
}

bool SceneCore::checkResults(bool block) {
    if (!inFlight)
        return false;
    std::unique_lock<std::mutex> lock(doneMutex);
    if (!stepDone && block)
        doneSignal.wait(lock, [this] { return stepDone; });
    return stepDone;
}

bool SceneCore::fetchResults(bool block) {
    if (!inFlight || delivering)
        return false;
    if (!checkResults(block))
        return false;
    inFlight = false;
    foundation.flushDeferredErrors();
    pull();
    joints->pull();
    cloths->pull();
    particles->pull();
    latchStatistics();
    buildDebugLines(actors, visualization, cullingBox, renderBuffer);
    delivering = true;
    joints->deliver(desc.eventCallback);
    reports->deliver(desc.eventCallback);
    delivering = false;
    freeZombies();
    return true;
}

void SceneCore::freeZombies() {
    for (RigidActor* actor : removedZombies)
        destroyActor(*actor);
    removedZombies.clear();
}

void SceneCore::latchStatistics() {
    stepBroadphaseAdds = pairs->broadphaseAdds;
    stepBroadphaseRemoves = pairs->broadphaseRemoves;
    pairs->broadphaseAdds = pairs->broadphaseRemoves = 0;
    statisticsStale = true;
}

const SimulationStatistics& SceneCore::currentStatistics() {
    if (statisticsStale && world && !inFlight) { // a running step owns the constraints
        buildStatistics();
        statisticsStale = false;
    }
    return statistics;
}

void SceneCore::buildStatistics() {
    SimulationStatistics s;
    for (const RigidActor* actor : actors) {
        if (actor->getType() == ActorType::RigidStatic) {
            ++s.nbStaticBodies;
        } else {
            const RigidDynamic& body = *actor->asRigidDynamic();
            if (body.isKinematic()) {
                if (!body.isSleeping())
                    ++s.nbActiveKinematicBodies;
            } else {
                ++s.nbDynamicBodies;
                if (!body.isSleeping())
                    ++s.nbActiveDynamicBodies;
            }
        }
        Shape* shapes[64];
        for (uint32_t start = 0; start < actor->getNbShapes(); start += 64) {
            const uint32_t n = actor->getShapes(shapes, 64, start);
            for (uint32_t i = 0; i < n; ++i) {
                const int type = static_cast<int>(shapes[i]->getGeometryType());
                if (type >= 0 && type < 7)
                    ++s.nbShapes[type];
            }
        }
    }
    for (int i = 0; i < world->getNumConstraints(); ++i)
        if (world->getConstraint(i)->isEnabled())
            ++s.nbActiveConstraints;
    s.nbAxisSolverConstraints = countSolverRows();
    s.nbBroadPhaseAdds = stepBroadphaseAdds;
    s.nbBroadPhaseRemoves = stepBroadphaseRemoves;
    statistics = s;
}

} // namespace phys::detail
