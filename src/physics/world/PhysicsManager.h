#pragma once

#include "phys/Phys.h"
#include "physics/bodies/CollisionShapeCache.h"

#include <irrlicht.h>

#include <array>
#include <memory>
#include <vector>

// The physics world: the single owner of the physics library's foundation, physics object,
// cooking, controller manager, dispatcher and scene, the shared materials and the callback
// objects. It is made at start-up, initialised once the movement object and the profiler
// exist, rebuilds its scene on every level unload (resetScene, in the level-unloaded list)
// and tears the world down in a fixed order when destroyed.
//
// Stepping: the world advances in fixed steps of 0.0167 s. Each frame updateStepCount counts
// the steps the frame is worth (at most 10), beginStep starts one step asynchronously at the
// end of the update so that it runs while the frame is drawn, stepDuringRender runs catch-up
// steps between the render passes, and endStep fetches the last one at the start of the next
// update and runs whatever is still due. Nothing may be released while a step is in flight:
// actors and joints go through releaseActor and releaseJoint, forces through the queues.

class Stopwatch;
struct StopwatchClock;
class PhysicsCallbacks;
class PhysicsObject;
class PhysicsAllocator;
class PhysicsErrorCallback;
class StepTimerTask;

namespace irr::scene {
class IMesh;
class IMeshBuffer;
} // namespace irr::scene

// A force or torque waiting for the next step.
struct QueuedForce {
    phys::RigidDynamic* actor = nullptr;
    phys::Vec3 vector;
    irr::s32 mode = 0; // phys::ForceMode
    phys::Vec3 position; // world point; (0, 0, 0): at the centre of mass
};

// Work run before every step of the frame with the bodies as they are at that step (a liquid
// pushes by where a body is now, not where it was when the frame began). The owner is held
// until the queue empties with the continuous forces.
struct StepWork {
    irr::scene::ISceneNode* owner = nullptr;
    void (*run)(irr::scene::ISceneNode& owner) = nullptr;
};

class PhysicsManager {
public:
    // The fixed step; the frame cap uses the same value.
    static constexpr float fixedStepSize = 0.0167f;
    static constexpr unsigned defaultMaxStepsPerFrame = 10;
    static constexpr float stepTimerTarget = 0.009f;
    static constexpr int maxThreadCount = 10;

    PhysicsManager();
    ~PhysicsManager();
    PhysicsManager(const PhysicsManager&) = delete;
    PhysicsManager& operator=(const PhysicsManager&) = delete;

    // World set-up and teardown.
    bool init();
    bool createScene();
    void releaseScene();
    void resetScene();
    void releasePhysics();
    // The scene's gravity; the vector is left as passed without a scene.
    void getGravity(phys::Vec3& gravity) const;
    void setGravity(const phys::Vec3& gravity);

    // The fixed step.
    void updateStepCount();
    // updateStepCount with the frame's seconds given (the frame loop passes the frame
    // stopwatch's delta).
    void updateStepCount(float frameSeconds);
    void beginStep();
    void endStep();
    void stepDuringRender();
    // The clock that times a catch-up step's wait for the running step (after init; the
    // system's counter unless a test hands in its own).
    void setStepTimerClock(const StopwatchClock& clock);
    // Debug drawing: the library's shape wireframes (around the first player), captured at
    // each step start and drawn over the scene while debug mode is on.
    void toggleDebugVisualization();
    void captureDebugLines();
    void drawDebug();
    irr::u32 getDebugLineCount() const { return debugLineCount; }
    size_t getDebugBlockCount() const { return debugBlocks.size(); }
    const std::vector<irr::video::S3DVertex>& getDebugVertices(size_t block) const { return debugBlocks[block].vertices; }

    // Forces and torques, applied before the next step (refused while the game may not
    // update, and for null or kinematic actors).
    void addForce(const phys::Vec3& force, phys::ForceMode mode, phys::RigidDynamic* actor, bool continuous,
                  const phys::Vec3& position = phys::Vec3());
    void addTorque(const phys::Vec3& torque, phys::ForceMode mode, phys::RigidDynamic* actor, bool scaleByFrame);
    // Refused while the game may not update, and for a null owner or function.
    void addStepWork(irr::scene::ISceneNode* owner, void (*run)(irr::scene::ISceneNode& owner));
    float getFrameStepTime() const;
    // getFrameStepTime with the frame's seconds given.
    float getFrameStepTime(float frameSeconds) const;

    // Releases now, or after the step in flight has been fetched. The actor is inert at once.
    void releaseActor(phys::Actor* actor, bool releaseNow);
    void releaseJoint(phys::Joint* joint, bool releaseNow);

    // Shapes and actors (builders). Each returns null without a physics object; the actor
    // is in the scene with null user data.
    phys::Material* createMaterial(float staticFriction, float dynamicFriction, float restitution);
    phys::RigidActor* createSphereActor(const phys::Transform& pose, float radius, float mass, float friction,
                                        float restitution, bool isStatic, bool isKinematic);
    // The box of a physics object: object is the object's node (its absolute scale),
    // meshNode its mesh node or null, boxExtents its "BoxExtents" (full edge lengths; zero
    // takes the mesh node's bounds). Null without an object.
    phys::RigidActor* createBoxActor(irr::scene::ISceneNode* object, irr::scene::ISceneNode* meshNode,
                                     const irr::core::vector3df& boxExtents, const phys::Transform& pose,
                                     float mass, float restitution, float friction, bool isStatic,
                                     bool isKinematic);
    // The box of a physics object from its "BoxExtents", mesh node and transformation.
    phys::RigidActor* createBoxActor(PhysicsObject* object, const phys::Transform& pose, float mass,
                                     float restitution, float friction, bool isStatic, bool isKinematic);
    phys::RigidActor* createCapsuleActor(const phys::Transform& pose, float radius, float height, float mass,
                                         float friction, float restitution, bool isStatic, bool isKinematic);
    // One convex shape per mesh buffer, cooked with the vertex scale (once per mesh, scale and
    // kind in a level: the shape cache).
    phys::RigidActor* createConvexActor(irr::scene::IMesh* mesh, const phys::Transform& pose,
                                        const irr::core::vector3df& vertexScale, float mass, float friction,
                                        float restitution, bool isStatic, bool isKinematic);
    // One triangle-mesh shape per mesh buffer (shared as the convex ones); never made
    // kinematic here.
    phys::RigidActor* createTriangleMeshActor(irr::scene::IMesh* mesh, const phys::Transform& pose,
                                              const irr::core::vector3df& vertexScale, float mass,
                                              float friction, float restitution, bool isStatic);
    // The kinematic actor of a trigger volume: kind 0 box (size: half extents), 1 sphere
    // (radius size.X), 3 capsule (radius size.X, half-height size.Y), 2 and 4 convex hulls of
    // the mesh's buffers (size: vertex scale). Trigger shapes when isTrigger, else colliding
    // shapes. Null for other kinds, a missing or empty mesh, or without a world.
    phys::RigidDynamic* createTriggerActor(irr::s32 kind, const irr::core::vector3df& position,
                                           const irr::core::vector3df& size, irr::scene::IMesh* mesh,
                                           bool isTrigger);
    // A capsule controller for a character (radius and height at least 0.01, no step offset).
    phys::Controller* createCharacterController(const irr::core::vector3df& position, void* userData, float height,
                                                float radius);
    // The particles behind a particle node: a fluid when viscosity or stiffness is above 0,
    // else a plain particle system (16,250 particles), sized from the particle size.
    phys::ParticleBase* createParticleSystem(float particleSize, float damping, float restitution, float friction,
                                             float particleMass, float viscosity, float stiffness);
    // A cloth of the mesh's first buffer (one particle per vertex, positions scaled), every
    // particle free; null without a world, a buffer of 16-bit indices or a fabric.
    phys::Cloth* createClothFromMesh(irr::scene::IMesh* mesh, const phys::Transform& pose,
                                     const irr::core::vector3df& vertexScale,
                                     const phys::ClothCollisionData* collision = nullptr);
    phys::Cloth* createClothActor(const phys::ClothMeshDesc& desc, const phys::Transform& pose,
                                  const phys::ClothCollisionData* collision, const phys::Vec3& gravityDirection);
    // A box standing on the actor origin (doors).
    phys::RigidDynamic* createStandingBoxActor(const irr::core::vector3df& position,
                                               const irr::core::vector3df& halfExtents, float density);

    // Accessors.
    phys::Scene* getScene() const { return scene; }
    phys::Physics* getPhysics() const { return physics; }
    phys::Foundation* getFoundation() const { return foundation; }
    phys::Cooking* getCooking() const { return cooking; }
    phys::ControllerManager* getControllerManager() const { return controllerManager; }
    PhysicsCallbacks* getCallbacks() const { return callbacks; }
    const std::vector<phys::Material*>& getMaterials() const { return materials; }
    phys::Material* getMaterial(irr::u32 index) const { return index < materials.size() ? materials[index] : nullptr; }
    const std::vector<phys::Material*>& getMaterialCache() const { return materialCache; }
    // The convex and triangle-mesh shapes the level's bodies share; given back with the scene.
    CollisionShapeCache& getShapeCache() { return shapeCache; }
    int getThreadCount() const { return threadCount; }
    float getStepSize() const { return stepSize; }
    int getStepsDue() const { return stepsDue; }
    float getAccumulator() const { return accumulator; }
    unsigned getFrameCounter() const { return frameCounter; }
    void resetFrameCounter() { frameCounter = 0; }
    float getFrameSimulatedTime() const { return frameSimulatedTime; }
    // The simulated time of the steps this frame's update counted (updateStepCount, before
    // beginStep starts them): what the frame plays of the level, however long it took. 0
    // while the simulation is off.
    float getCountedStepTime() const { return simulationActive ? static_cast<float>(stepsDue) * stepSize : 0.0f; }
    void setFrameSimulatedTime(float seconds) { frameSimulatedTime = seconds; }
    bool isSimulationActive() const { return simulationActive; }
    bool isStepInFlight() const { return stepInFlight; }
    bool isResetting() const { return resetting; }
    bool isDebugVisualizationOn() const { return debugVisualization; }
    // The level is being played (not edited): set from construction, never cleared by the
    // game; the cameras and editor-only behaviour read it.
    bool isRunning() const { return running; }
    void setRunning(bool value) { running = value; }
    const phys::Tolerances& getTolerances() const { return tolerances; }
    size_t queuedActorReleases() const { return actorReleaseQueue.size(); }
    size_t queuedJointReleases() const { return jointReleaseQueue.size(); }
    const std::vector<QueuedForce>& getContinuousForces() const { return continuousForces; }
    const std::vector<QueuedForce>& getImpulseForces() const { return impulseForces; }
    const std::vector<QueuedForce>& getImpulseTorques() const { return impulseTorques; }
    size_t queuedStepWork() const { return stepWork.size(); }

    // "Game_PhysicsThreads" clamped to 0..10; 0 without settings.
    static int readThreadCount();

private:
    void applyQueuedForces(bool clearImpulses);
    void applyImpulseForces();
    void flushJointReleases();
    void flushActorReleases();
    void runCatchUpUpdate();
    void clearForceQueues();
    void clearStepWork();
    // Picks a free completion task and starts one asynchronous step.
    void startAsyncStep();
    Stopwatch* physicsStopwatch() const;
    void addDebugLineBlock();

    // Debug lines: blocks of 30,000 lines, each drawn whole; never shrunk while the
    // manager lives.
    struct DebugLineBlock {
        std::vector<irr::video::S3DVertex> vertices;
        std::vector<irr::u32> indices;
    };
    std::vector<DebugLineBlock> debugBlocks;
    irr::u32 debugLineCount = 0;

    // World handles.
    phys::Physics* physics = nullptr;
    phys::Foundation* foundation = nullptr;
    phys::Scene* scene = nullptr;
    phys::Cooking* cooking = nullptr;
    std::vector<phys::Material*> materials;
    phys::ControllerManager* controllerManager = nullptr;
    PhysicsCallbacks* callbacks = nullptr;
    phys::Dispatcher* cpuDispatcher = nullptr;
    int threadCount = 0;

    // Deferred work.
    std::vector<phys::Actor*> actorReleaseQueue;
    std::vector<phys::Joint*> jointReleaseQueue;

    // Flags.
    bool stepInFlight = false;
    bool simulationActive = true;
    bool debugVisualization = false;
    bool resetting = false;
    bool running = true;

    // Queued forces.
    std::vector<QueuedForce> continuousForces;
    std::vector<QueuedForce> continuousTorques;
    std::vector<QueuedForce> impulseForces;
    std::vector<QueuedForce> impulseTorques;
    std::vector<StepWork> stepWork;

    // Step clock.
    std::array<StepTimerTask*, 2> stepTimerTasks{};
    float accumulator = 0.0f;
    float stepSize = fixedStepSize;
    int stepsDue = 0;
    unsigned maxStepsPerFrame = defaultMaxStepsPerFrame;
    unsigned frameCounter = 0;
    Stopwatch* stepTimer = nullptr;
    float frameSimulatedTime = fixedStepSize;

    // Library callbacks.
    PhysicsAllocator* allocator = nullptr;
    PhysicsErrorCallback* errorCallback = nullptr;
    phys::Tolerances tolerances{1.0f, 1000.0f, 10.0f};

    // Builders' shared materials, never removed while the manager lives.
    std::vector<phys::Material*> materialCache;
    CollisionShapeCache shapeCache;
};

// The program-wide physics manager (core/Globals.h holds the pointer).
extern PhysicsManager* physicsManager;

// Engine and layer vectors.
inline phys::Vec3 toPhys(const irr::core::vector3df& v) { return {v.X, v.Y, v.Z}; }
inline irr::core::vector3df toEngine(const phys::Vec3& v) { return {v.x, v.y, v.z}; }
