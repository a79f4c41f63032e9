#pragma once

#include "phys/Filtering.h"
#include "phys/MathTypes.h"
#include "phys/SceneQuery.h"

#include <cstdint>
#include <memory>
#include <vector>

// Character controllers: upright capsules moved by the caller, outside the simulation, by
// collide-and-slide against the scene's query shapes (what the simulation last fetched plus
// every change since, so moves are legal while a step is in flight).
//
// A move runs three passes: up (the upward part of the displacement plus the step offset),
// sideways (the horizontal part, sliding along what blocks it), down (the downward part plus
// the step offset again). The capsule keeps the contact offset clear of every surface.
// Surfaces whose normal points up by less than the slope limit (the cosine of the steepest
// walkable slope) are walls: they are not climbed, and a controller slides down them.
// Gravity comes only from the displacement the caller gives.
//
// Each controller has a kinematic actor in the scene (its capsule scaled by the descriptor's
// scale coefficient) that follows it and pushes dynamic bodies during the simulation; its
// shape carries ControllerShapeTag as user data until the caller changes it.
//
// Other controllers block a move by their capsules (not their actors'); a move looks only at
// the controllers whose capsules' boxes meet the room it can move in, found through a tree of
// their boxes, so its cost grows with its neighbours, not with the scene's controllers.
//
// Hits are reported after the move, once per move and shape (or other controller). Standing
// on a shape whose behaviour flags include BehaviorCanRideOnObject carries the controller
// along with that shape's actor at the next move. Obstacles are not supported.

namespace phys {

class Foundation;
class Material;
class Physics;
class RigidActor;
class RigidDynamic;
class Scene;
class Shape;
class Controller;
class ControllerManager;
namespace detail {
struct ControllerBack;
class ControllerMotion;
}

enum class ClimbingMode : int { Easy = 0, Constrained = 1 };
// How other controllers treat this one: as an obstacle (Include, and UseFilter without a
// controller filter) or not at all (Exclude).
enum class InteractionMode : int { Include = 0, Exclude = 1, UseFilter = 2 };

enum ControllerFlag : uint32_t {
    ControllerCollisionSides = 1,
    ControllerCollisionUp = 2,
    ControllerCollisionDown = 4,
};

enum BehaviorFlag : uint32_t {
    BehaviorCanRideOnObject = 1,
    BehaviorSlide = 2,
    BehaviorUserDefinedRide = 4,
};

// Opaque: obstacles are not supported (the reports never name one).
class Obstacle;
class ObstacleContext;

struct ControllerShapeHit {
    Controller* controller = nullptr;
    ExtVec3 worldPos;   // where the capsule touched
    Vec3 worldNormal;   // the surface normal there
    Vec3 dir;           // direction of the motion that hit
    float length = 0.0f; // length of that motion
    Shape* shape = nullptr;
    RigidActor* actor = nullptr;
    uint32_t triangleIndex = 0xFFFFFFFF;
};

struct ControllersHit {
    Controller* controller = nullptr;
    Controller* other = nullptr;
    ExtVec3 worldPos;
    Vec3 worldNormal;
    Vec3 dir;
    float length = 0.0f;
};

struct ControllerObstacleHit {
    Controller* controller = nullptr;
    const Obstacle* obstacle = nullptr;
};

class ControllerHitReport {
public:
    virtual ~ControllerHitReport() = default;
    virtual void onShapeHit(const ControllerShapeHit& hit) = 0;
    virtual void onControllerHit(const ControllersHit& hit) = 0;
    virtual void onObstacleHit(const ControllerObstacleHit& hit) = 0;
};

class ControllerBehaviorCallback {
public:
    virtual ~ControllerBehaviorCallback() = default;
    virtual uint32_t getBehaviorFlags(const Shape& shape) = 0;
    virtual uint32_t getBehaviorFlags(const Controller& controller) = 0;
    virtual uint32_t getBehaviorFlags(const Obstacle& obstacle) = 0;
};

// Decides whether two controllers collide (when given to a move).
class ControllerFilterCallback {
public:
    virtual ~ControllerFilterCallback() = default;
    virtual bool filter(const Controller& a, const Controller& b) = 0;
};

struct ControllerFilters {
    const FilterData* filterData = nullptr; // words the scene shapes are tested against (none: all pass)
    QueryFilterCallback* filterCallback = nullptr;
    uint32_t filterFlags = QueryStatic | QueryDynamic | QueryPrefilter;
    ControllerFilterCallback* cctFilterCallback = nullptr;
    uint32_t activeGroups = 0xffffffff; // kept, no effect
};

struct CapsuleControllerDesc {
    ExtVec3 position;           // centre of the capsule
    Vec3 upDirection{0, 1, 0};
    float slopeLimit = 0.707f;  // cosine of the steepest walkable slope
    float contactOffset = 0.1f;
    float stepOffset = 0.5f;
    float density = 10.0f;      // of the kinematic actor
    float scaleCoeff = 0.8f;    // size of the kinematic actor's capsule relative to the controller's
    float volumeGrowth = 1.5f;  // kept, no effect
    float radius = 0.0f;
    float height = 0.0f;        // of the cylinder between the two half spheres
    ClimbingMode climbingMode = ClimbingMode::Easy;
    Material* material = nullptr;
    ControllerHitReport* callback = nullptr;
    ControllerBehaviorCallback* behaviorCallback = nullptr;
    InteractionMode interactionMode = InteractionMode::UseFilter;
    void* userData = nullptr;

    // Positive radius, height, contact offset and density; step offset and slope limit not
    // negative; scale coefficient within [0, 1]; finite position; a unit up direction; a material.
    bool isValid() const;
};

class Controller {
public:
    // Moves by disp (world units); stops early when what is left is shorter than minDist.
    // Returns ControllerFlag bits: which passes were blocked.
    uint32_t move(const Vec3& disp, float minDist, float elapsedTime, const ControllerFilters& filters,
                  const ObstacleContext* obstacles = nullptr);
    // Teleports the centre of the capsule, without collision.
    bool setPosition(const ExtVec3& position);
    ExtVec3 getPosition() const { return position; }
    // The bottom of the capsule's contact skin: centre - up * (height / 2 + radius + contact offset).
    ExtVec3 getFootPosition() const;

    RigidDynamic* getActor() const { return actor; }
    Scene* getScene() const { return scene; }
    void setInteraction(InteractionMode mode) { interaction = mode; }
    InteractionMode getInteraction() const { return interaction; }
    void* getUserData() const { return userData; }
    void setUserData(void* data) { userData = data; }

    float getRadius() const { return radius; }
    float getHeight() const { return height; }
    float getContactOffset() const { return contactOffset; }
    float getStepOffset() const { return stepOffset; }
    void setStepOffset(float offset);
    float getSlopeLimit() const { return slopeLimit; }
    Vec3 getUpDirection() const { return up; }
    // The blocked passes of the last move.
    uint32_t getCollisionFlags() const { return lastFlags; }

    // Removes the controller and its actor.
    void release();

    detail::ControllerBack& back() const { return *back_; }

private:
    friend class ControllerManager;
    friend class detail::ControllerMotion;
    Controller(ControllerManager& manager, Scene& scene, const CapsuleControllerDesc& desc);
    ~Controller();
    void placeActor(bool teleport);

    ControllerManager& manager;
    Scene* scene;
    RigidDynamic* actor = nullptr;
    ExtVec3 position;
    Vec3 up;
    Quat capsuleRotation; // turns the capsule's X axis onto up
    float radius, height, contactOffset, stepOffset, slopeLimit;
    InteractionMode interaction;
    ControllerHitReport* hitReport;
    ControllerBehaviorCallback* behavior;
    void* userData;
    uint32_t lastFlags = 0;
    std::unique_ptr<detail::ControllerBack> back_;
};

class ControllerManager {
public:
    static ControllerManager* create(Foundation& foundation);
    // Releases every controller it made.
    void release();

    // Null (with an error) for an invalid descriptor or a missing scene.
    Controller* createController(Physics& physics, Scene* scene, const CapsuleControllerDesc& desc);
    uint32_t getNbControllers() const { return static_cast<uint32_t>(controllers.size()); }
    Controller* getController(uint32_t index) const;
    // Kept for the caller's step order; nothing to do here.
    void computeInteractions(float elapsedTime, ControllerFilterCallback* filter = nullptr);

    Foundation& getFoundation() const { return foundation; }
    // Internal: a controller went.
    void forget(Controller& controller);

private:
    explicit ControllerManager(Foundation& foundation);
    ~ControllerManager();

    Foundation& foundation;
    std::vector<Controller*> controllers;
};

} // namespace phys
