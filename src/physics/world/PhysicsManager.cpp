// World set-up and teardown of the physics manager.
#include "physics/world/PhysicsManager.h"

#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsLibraryCallbacks.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "core/ProfilerManager.h"
#include "core/Stopwatch.h"
#include "player/ConfigTentMovementObject.h"

#include <algorithm>

namespace {

// The scene flag the world is created with: bit 10, on its own.
constexpr uint32_t worldSceneFlags = 0x400;

// The movement object's gravity, or its default while there is none.
irr::core::vector3df tuningGravity() {
    irr::core::vector3df gravity = MovementTuning().Gravity;
    getMovementGravity(gravity);
    return gravity;
}

// The shared materials, by index: static friction, dynamic friction, restitution.
constexpr float standardMaterials[3][3] = {{0.5f, 0.5f, 0.1f}, {0.0f, 0.0f, 0.0f}, {8000.0f, 8000.0f, 0.0f}};

} // namespace

PhysicsManager::PhysicsManager() { threadCount = readThreadCount(); }

PhysicsManager::~PhysicsManager() {
    releasePhysics();
    materials.clear();
    materialCache.clear();
}

int PhysicsManager::readThreadCount() {
    if (!gameSettings || !gameSettings->getAttributes())
        return 0;
    return std::clamp(getSettingInt("Game_PhysicsThreads"), 0, maxThreadCount);
}

Stopwatch* PhysicsManager::physicsStopwatch() const {
    return profilerManager ? &profilerManager->stopwatch(ProfilerManager::Physics) : nullptr;
}

bool PhysicsManager::init() {
    releasePhysics();
    for (StepTimerTask*& task : stepTimerTasks)
        task = new StepTimerTask(physicsStopwatch());
    stepTimer = new Stopwatch(L"Step Timer", stepTimerTarget);

    // The speed scale is the speed of a fall: minus the gravity's y. An upward gravity gives
    // no speed scale rather than one the library refuses.
    tolerances.length = 5.0f;
    tolerances.mass = 5000.0f;
    tolerances.speed = std::max(0.0f, -tuningGravity().Y);

    allocator = new PhysicsAllocator();
    errorCallback = new PhysicsErrorCallback();
    foundation = phys::Foundation::create(allocator, errorCallback);
    if (!foundation)
        return false;
    physics = phys::Physics::create(*foundation, tolerances);
    if (!physics)
        return false;
    if (!phys::initExtensions(*physics))
        return false;

    phys::CookingParams params;
    params.scale = tolerances;
    params.skinWidth = 0.0f;
    params.suppressTriangleMeshRemapTable = false;
    params.buildTriangleAdjacencies = false;
    cooking = phys::Cooking::create(*foundation, params);
    if (!cooking)
        return false;
    controllerManager = phys::ControllerManager::create(*foundation);
    if (!controllerManager)
        return false;

    callbacks = new PhysicsCallbacks(*this);
    for (const auto& m : standardMaterials)
        materials.push_back(createMaterial(m[0], m[1], m[2]));
    return createScene();
}

bool PhysicsManager::createScene() {
    if (!physics)
        return false;
    phys::SceneDesc desc(physics->getTolerancesScale());
    desc.gravity = toPhys(tuningGravity());

    threadCount = readThreadCount();
    if (!desc.dispatcher) {
        if (!cpuDispatcher)
            cpuDispatcher = phys::Dispatcher::create(static_cast<uint32_t>(threadCount));
        if (!cpuDispatcher)
            return false;
        desc.dispatcher = cpuDispatcher;
    }
    if (!desc.filterShader)
        desc.filterShader = simulationFilterShader;
    desc.eventCallback = callbacks;
    desc.filterCallback = &physicsFilterCallback();
    desc.flags = worldSceneFlags;

    scene = physics->createScene(desc);
    return scene != nullptr;
}

void PhysicsManager::releaseScene() {
    resetting = true;
    if (stepInFlight && scene) {
        scene->fetchResults(true);
        flushJointReleases();
        flushActorReleases();
    }
    stepInFlight = false;
    accumulator = 0.0f;
    stepsDue = 0;
    clearForceQueues();
    if (scene)
        scene->flush(false);
    // The dispatcher stays usable by its scene until the scene has gone.
    if (cpuDispatcher) {
        cpuDispatcher->release();
        cpuDispatcher = nullptr;
    }
    if (scene) {
        scene->release();
        scene = nullptr;
    }
    // Whatever still waited went with the scene, and the level's shared shapes go with it.
    jointReleaseQueue.clear();
    actorReleaseQueue.clear();
    shapeCache.clear();
    resetting = false;
}

void PhysicsManager::resetScene() {
    resetting = true;
    if (simulationActive && physics) {
        releaseScene();
        resetting = true;
        createScene();
    }
    resetting = false;
}

void PhysicsManager::releasePhysics() {
    if (cpuDispatcher) {
        cpuDispatcher->release();
        cpuDispatcher = nullptr;
    }
    if (physics) {
        if (scene)
            releaseScene();
        shapeCache.clear();
        if (cooking)
            cooking->release();
        cooking = nullptr;
        // The materials go with the physics object.
        materials.clear();
        materialCache.clear();
        physics->release();
        physics = nullptr;
        delete callbacks;
        callbacks = nullptr;
    }
    // Safe on a manager whose init stopped half-way.
    for (StepTimerTask*& task : stepTimerTasks) {
        delete task;
        task = nullptr;
    }
    delete stepTimer;
    stepTimer = nullptr;
    if (controllerManager)
        controllerManager->release();
    controllerManager = nullptr;
    if (foundation) {
        phys::closeExtensions();
        foundation->release();
        foundation = nullptr;
    }
    delete errorCallback;
    errorCallback = nullptr;
    delete allocator;
    allocator = nullptr;
}

void PhysicsManager::getGravity(phys::Vec3& gravity) const {
    if (physics && scene)
        gravity = scene->getGravity();
}

void PhysicsManager::setGravity(const phys::Vec3& gravity) {
    if (physics && scene && gravity.isFinite())
        scene->setGravity(gravity);
}
