#pragma once

#include "phys/Controller.h"
#include "phys/detail/QueryWorld.h"

#include <BulletCollision/BroadphaseCollision/btDbvt.h>
#include <BulletCollision/CollisionDispatch/btCollisionObject.h>
#include <BulletCollision/CollisionShapes/btCapsuleShape.h>

#include <cstdint>
#include <vector>

// The moves of a capsule controller: collide-and-slide by sweeps on the scene's query world
// and against the capsules of the other controllers near it, on the main thread.

namespace phys {
class RigidActor;
class Shape;
}

namespace phys::detail {

class SceneCore;

struct ControllerBack {
    ControllerBack(float radius, float height, float contactOffset)
        : sweepShape(radius + contactOffset, height), bodyShape(radius, height) {
        object.setCollisionShape(&bodyShape);
    }

    btCapsuleShapeX sweepShape; // the capsule grown by the contact offset: what moves
    btCapsuleShapeX bodyShape;  // the capsule itself: what other controllers meet
    btCollisionObject object;   // carries bodyShape at the controller's pose

    // The walkable shape the last move landed on, with its actor's pose then.
    Shape* groundShape = nullptr;
    RigidActor* groundActor = nullptr;
    Transform groundPose;

    btDbvtNode* boundsLeaf = nullptr; // bodyShape's box in the scene's ControllerBounds
    uint64_t joined = 0;              // when it joined the scene: its place in the scene's list
};

// The boxes of a scene's controllers' capsules (bodyShape where it stands) in a tree, so that
// a move looks only at the controllers near it, not at every controller of the scene.
class ControllerBounds {
public:
    ControllerBounds() = default;
    ~ControllerBounds();
    ControllerBounds(const ControllerBounds&) = delete;
    ControllerBounds& operator=(const ControllerBounds&) = delete;

    // Puts the controller's box where its capsule stands (the first time, adds it).
    void place(Controller& controller);
    void remove(Controller& controller);
    // Appends the controllers whose boxes meet the box (boxes that only touch meet) in the
    // order they joined the scene, which is the order of the scene's list.
    void overlapping(const Bounds3& box, std::vector<Controller*>& out) const;
    // The box the tree holds for the controller's capsule.
    static Bounds3 boxOf(const Controller& controller);

private:
    btDbvt tree;
    uint64_t joinedSoFar = 0;
};

class ControllerMotion {
public:
    ControllerMotion(Controller& controller, const ControllerFilters& filters);
    ~ControllerMotion();
    ControllerMotion(const ControllerMotion&) = delete;
    ControllerMotion& operator=(const ControllerMotion&) = delete;
    uint32_t run(const Vec3& displacement, float minDistance);

    // The scene lets go of an actor: controllers standing on it stand on nothing, and a
    // controller whose own actor it was goes on without one.
    static void actorReleased(Controller& controller, const RigidActor& actor);
    // The scene goes: the controller is left without scene and actor.
    static void sceneGone(Controller& controller);
    // Places the controller's capsule (for other controllers' sweeps) at its position.
    static void placeCapsule(Controller& controller);
    // The closest-point tests between two controllers' capsules made on this thread so far.
    static uint64_t controllerTestsSoFar();

private:
    enum class Pass { Up, Side, Down };
    struct Hit {
        bool found = false;
        float distance = 0.0f;
        Vec3 position;
        Vec3 normal;
        Shape* shape = nullptr;
        Controller* other = nullptr;
        uint32_t face = 0xFFFFFFFF;
    };
    // Filters of every query of a move: the caller's words and callbacks, never a
    // controller's own actor nor trigger volumes, and never a surface the motion leaves.
    class Filter : public QueryFilterCallback {
    public:
        QueryHitType preFilter(const FilterData& data, Shape* shape, RigidActor* actor, uint32_t& flags) override;
        QueryHitType postFilter(const FilterData& data, const QueryHit& hit) override;
        QueryFilterCallback* user = nullptr;
        uint32_t userFlags = 0;
        Vec3 direction;
        bool leavingPasses = true;
    };

    // The other controllers this move may meet whose boxes meet the box, in the order of the
    // scene's list.
    void gatherOthers(const Bounds3& box, std::vector<Controller*>& out);
    Hit sweep(const Vec3& from, const Vec3& direction, float length);
    Hit sweepControllers(const Vec3& from, const Vec3& direction, float length);
    // Pushes the capsule out of what it overlaps; true when it moved. Takes the controllers it
    // meets from others while it stands where they were gathered.
    bool depenetrate(Vec3& position);
    bool slide(Vec3& position, const Vec3& motion, float minDistance, Pass pass);
    void ride(Vec3& position);
    void record(const Hit& hit, const Vec3& direction, float length);
    void report();

    Controller& controller;
    ControllerBack& back;
    SceneCore& core;
    QueryFilterData queryData;
    Filter filter;
    ControllerFilterCallback* controllerFilter;
    // The working lists of the move, borrowed from sets kept for their capacity (a move made
    // from inside another's hit report takes the next set): a steady frame's moves allocate
    // nothing.
    struct Lists;
    struct ListPool;
    static ListPool& listPool();
    static Lists& borrowLists();
    Lists& lists;
    std::vector<Controller*>& others;   // near the whole move
    std::vector<Controller*>& touching; // meeting the capsule where it is pushed out
    std::vector<ControllerShapeHit>& shapeHits;
    std::vector<ControllersHit>& controllerHits;
    std::vector<QueryWorld::Penetration>& penetrations;
    Hit landing; // the last walkable surface of the down pass
};

} // namespace phys::detail
