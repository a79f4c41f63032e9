// The fixed step of the physics manager: counting the steps a frame is worth, the
// asynchronous step overlapped with the frame, the catch-up steps, the queued forces and the
// deferred releases.
#include "physics/world/PhysicsManager.h"

#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsLibraryCallbacks.h"

#include "core/Globals.h"
#include "core/ProgramQueries.h"
#include "core/Stopwatch.h"
#include "level/LevelManager.h"
#include "physics/world/PhysicsHooks.h"
#include "player/InputManager.h"

#include <algorithm>

namespace {

float frameDeltaSeconds() { return frameStopwatch ? frameStopwatch->delta() : 0.0f; }

bool isForceOrAcceleration(phys::ForceMode mode) {
    return mode == phys::ForceMode::Force || mode == phys::ForceMode::Acceleration;
}

bool isKinematicActor(const phys::RigidDynamic* actor) { return !actor || actor->isKinematic(); }

void applyForceRecord(const QueuedForce& record) {
    const auto mode = static_cast<phys::ForceMode>(record.mode);
    if (record.position.isZero())
        record.actor->addForce(record.vector, mode, true);
    else
        phys::addForceAtPos(*record.actor, record.vector, record.position, mode, true);
}

// A zero velocity change stops the body.
bool isStopRecord(const QueuedForce& record) {
    return record.vector.isZero() && record.mode == static_cast<irr::s32>(phys::ForceMode::VelocityChange);
}

// An actor that leaves: no collisions, no queries, no owner.
void makeActorInert(phys::Actor& actor) {
    if (phys::RigidActor* rigid = actor.asRigidActor()) {
        std::vector<phys::Shape*> shapes(rigid->getNbShapes());
        rigid->getShapes(shapes.data(), static_cast<uint32_t>(shapes.size()));
        for (phys::Shape* shape : shapes) {
            shape->setSimulationFilterData(phys::FilterData());
            shape->setQueryFilterData(phys::FilterData());
            shape->setFlag(phys::ShapeSimulation, false);
            shape->setFlag(phys::ShapeSceneQuery, false);
            shape->userData = nullptr;
        }
    }
    actor.userData = nullptr;
}

} // namespace

void PhysicsManager::clearForceQueues() {
    continuousForces.clear();
    continuousTorques.clear();
    impulseForces.clear();
    impulseTorques.clear();
    clearStepWork();
}

void PhysicsManager::clearStepWork() {
    // Letting go of an owner may delete it, and its destructor may call back here.
    while (!stepWork.empty()) {
        irr::scene::ISceneNode* owner = stepWork.back().owner;
        stepWork.pop_back();
        owner->drop();
    }
}

void PhysicsManager::updateStepCount() { updateStepCount(frameDeltaSeconds()); }

void PhysicsManager::updateStepCount(float seconds) {
    if (!simulationActive)
        return;
    // A remainder larger than one step, left by the cap, is dropped.
    if (accumulator > stepSize)
        accumulator = 0.0f;
    ++frameCounter;
    accumulator += seconds;
    // The first two updates after start-up or a level load count no steps.
    if (accumulator >= stepSize && frameCounter >= 3) {
        const unsigned steps = std::min(static_cast<unsigned>(accumulator / stepSize), maxStepsPerFrame);
        stepsDue = static_cast<int>(steps);
        if (controllerManager)
            controllerManager->computeInteractions(static_cast<float>(steps) * stepSize);
        accumulator -= static_cast<float>(steps) * stepSize;
    } else {
        stepsDue = 0;
        if (frameCounter < 3)
            accumulator = 0.0f;
        continuousForces.clear();
        continuousTorques.clear();
        clearStepWork();
    }
}

void PhysicsManager::startAsyncStep() {
    StepTimerTask* task = stepTimerTasks[0] && !stepTimerTasks[0]->isPending() ? stepTimerTasks[0] : stepTimerTasks[1];
    if (stepTimer)
        stepTimer->reset();
    scene->simulate(stepSize, task);
    stepInFlight = true;
}

void PhysicsManager::beginStep() {
    if (!simulationActive || stepInFlight || !scene)
        return;
    captureDebugLines();
    if (physicsHooks().screens.handleDebugKeys)
        physicsHooks().screens.handleDebugKeys();
    applyQueuedForces(true);
    // The players' per-step updates would queue forces here; they are applied at once.
    applyImpulseForces();
    frameSimulatedTime = stepSize;
    resetPhysicsStopwatch(physicsStopwatch());
    startAsyncStep();
}

void PhysicsManager::endStep() {
    if (!simulationActive)
        return;
    if (stepInFlight && scene) {
        stepInFlight = false;
        Stopwatch* watch = physicsStopwatch();
        resumePhysicsStopwatch(watch);
        scene->fetchResults(true);
        stepsDue = std::max(stepsDue - 1, 0);
        while (stepsDue > 0) {
            frameSimulatedTime += fixedStepSize;
            applyQueuedForces(false);
            scene->simulate(stepSize);
            scene->fetchResults(true);
            --stepsDue;
        }
        tickPhysicsStopwatch(watch);
    }
    flushJointReleases();
    flushActorReleases();
    clearForceQueues();
}

void PhysicsManager::stepDuringRender() {
    if (!simulationActive || !stepInFlight || stepsDue < 2 || !scene)
        return;
    if (gameDevice && stepTimer) {
        // The running step gets its time before it is waited for.
        stepTimer->tick();
        if (stepTimer->delta() < stepTimerTarget)
            return;
        stepTimer->reset();
        impulseForces.clear();
        impulseTorques.clear();
    }
    resumePhysicsStopwatch(physicsStopwatch());
    scene->fetchResults(true);
    --stepsDue;
    stepInFlight = false;
    if (stepsDue > 0) {
        // Input keeps flowing during a long catch-up; the pointer is read once a frame, by
        // the frame's own input update.
        if (inputManager && gameDevice) {
            inputManager->endFrame();
            gameDevice->run();
            inputManager->updateCatchUpStep();
        }
        runCatchUpUpdate();
        applyQueuedForces(false);
        startAsyncStep();
    }
    tickPhysicsStopwatch(physicsStopwatch());
}

void PhysicsManager::setStepTimerClock(const StopwatchClock& clock) {
    delete stepTimer;
    stepTimer = new Stopwatch(L"Step Timer", stepTimerTarget, clock);
}

void PhysicsManager::runCatchUpUpdate() {
    // The screens run a frame of their own while the physics catches up.
    if (physicsHooks().screens.catchUpUpdate)
        physicsHooks().screens.catchUpUpdate();
    if (levelManager)
        levelManager->updateDebugKeys();
}

void PhysicsManager::applyImpulseForces() {
    for (const QueuedForce& record : impulseForces) {
        if (isKinematicActor(record.actor))
            continue;
        applyForceRecord(record);
        if (isStopRecord(record))
            record.actor->setLinearVelocity(phys::Vec3(), true);
    }
}

void PhysicsManager::applyQueuedForces(bool clearImpulses) {
    applyImpulseForces();
    if (clearImpulses)
        impulseForces.clear();
    for (const QueuedForce& record : impulseTorques) {
        if (isKinematicActor(record.actor))
            continue;
        record.actor->addTorque(record.vector, static_cast<phys::ForceMode>(record.mode), true);
        if (isStopRecord(record))
            record.actor->setAngularVelocity(phys::Vec3(), true);
    }
    if (clearImpulses)
        impulseTorques.clear();
    for (const QueuedForce& record : continuousForces)
        if (!isKinematicActor(record.actor))
            applyForceRecord(record);
    for (const QueuedForce& record : continuousTorques)
        if (!isKinematicActor(record.actor))
            record.actor->addTorque(record.vector, static_cast<phys::ForceMode>(record.mode), true);
    for (const StepWork& work : stepWork)
        work.run(*work.owner);
}

void PhysicsManager::addForce(const phys::Vec3& force, phys::ForceMode mode, phys::RigidDynamic* actor,
                              bool continuous, const phys::Vec3& position) {
    if (!screensAllowGameUpdate() || isKinematicActor(actor))
        return;
    const QueuedForce record{actor, force, static_cast<irr::s32>(mode), position};
    if (continuous && isForceOrAcceleration(mode))
        continuousForces.push_back(record);
    else
        impulseForces.push_back(record);
}

void PhysicsManager::addStepWork(irr::scene::ISceneNode* owner, void (*run)(irr::scene::ISceneNode& owner)) {
    if (!screensAllowGameUpdate() || !owner || !run)
        return;
    owner->grab();
    stepWork.push_back(StepWork{owner, run});
}

void PhysicsManager::addTorque(const phys::Vec3& torque, phys::ForceMode mode, phys::RigidDynamic* actor,
                               bool scaleByFrame) {
    if (!screensAllowGameUpdate() || isKinematicActor(actor))
        return;
    double factor = 1.0;
    if (scaleByFrame && isForceOrAcceleration(mode))
        factor = static_cast<double>(getFrameStepTime()) / 0.0167;
    impulseTorques.push_back(
        QueuedForce{actor, torque * static_cast<float>(factor), static_cast<irr::s32>(mode), phys::Vec3()});
}

float PhysicsManager::getFrameStepTime() const { return getFrameStepTime(frameDeltaSeconds()); }

float PhysicsManager::getFrameStepTime(float seconds) const {
    float t = seconds;
    if (t > stepSize)
        t = static_cast<float>(stepsDue) * fixedStepSize;
    if (stepSize >= t)
        t = fixedStepSize;
    return t;
}

void PhysicsManager::releaseActor(phys::Actor* actor, bool releaseNow) {
    if (!actor)
        return;
    if (!stepInFlight)
        releaseNow = true;
    makeActorInert(*actor);
    if (releaseNow)
        actor->release();
    else if (std::find(actorReleaseQueue.begin(), actorReleaseQueue.end(), actor) == actorReleaseQueue.end())
        actorReleaseQueue.push_back(actor);
}

void PhysicsManager::releaseJoint(phys::Joint* joint, bool releaseNow) {
    if (!joint)
        return;
    if (!stepInFlight || releaseNow)
        joint->release();
    else if (std::find(jointReleaseQueue.begin(), jointReleaseQueue.end(), joint) == jointReleaseQueue.end())
        jointReleaseQueue.push_back(joint);
}

void PhysicsManager::flushJointReleases() {
    const bool any = !jointReleaseQueue.empty();
    for (phys::Joint*& joint : jointReleaseQueue) {
        if (joint)
            joint->release();
        joint = nullptr;
    }
    jointReleaseQueue.clear();
    if (any && scene)
        scene->flush(false);
}

void PhysicsManager::flushActorReleases() {
    const bool any = !actorReleaseQueue.empty();
    for (phys::Actor*& actor : actorReleaseQueue) {
        if (actor) {
            makeActorInert(*actor);
            actor->release();
        }
        actor = nullptr;
    }
    actorReleaseQueue.clear();
    if (any && scene)
        scene->flush(false);
}
