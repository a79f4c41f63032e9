#pragma once

#include "phys/Geometry.h"
#include "phys/SceneQuery.h"
#include "phys/detail/ContactTest.h"

#include <BulletCollision/BroadphaseCollision/btDbvt.h>
#include <BulletCollision/CollisionDispatch/btCollisionWorld.h>

#include <memory>
#include <vector>

// The query world: one box per scene-query shape, placed at the front pose of its actor
// times its local pose, used only on the main thread. It follows every change at once
// (moves are applied lazily, before the next query), so queries see the last fetched state
// plus every change since, also while a step is in flight.
//
// The boxes are kept in groups, one tree per kind of actor (static or not) and query filter
// data, so that a query gathers only shapes whose kind and words its filter data accepts: a
// character's move in a crowd never gathers the other characters' vision cones, which its
// words leave out. Shapes at equal distance are taken in the order they joined the world,
// whichever group holds them.

class btConvexShape;

namespace phys {
class RigidActor;
class Shape;
}

namespace phys::detail {

// The shapes of one kind of actor (static or not) with one query filter data, in a tree.
struct QueryGroup {
    FilterData words;
    bool isStatic = false;
    btDbvt tree;
    ~QueryGroup() { tree.clear(); }
};

class QueryWorld {
public:
    QueryWorld();
    ~QueryWorld();

    void addActor(RigidActor& actor);
    void removeActor(RigidActor& actor);
    // The shape's scene-query flag or local pose changed.
    void shapeChanged(Shape& shape);
    void actorMoved(RigidActor& actor);

    bool raycast(const Vec3& origin, const Vec3& unitDir, float distance, uint32_t hitFlags, RaycastHit& hit,
                 const QueryFilterData& filterData, QueryFilterCallback* filterCallback);
    bool sweep(const GeometryHolder& geometry, const Transform& pose, const Vec3& unitDir, float distance,
               uint32_t hitFlags, SweepHit& hit, const QueryFilterData& filterData,
               QueryFilterCallback* filterCallback);
    // The same with a Bullet shape made by the caller.
    bool sweepShape(const btConvexShape& shape, const Transform& pose, const Vec3& unitDir, float distance,
                    uint32_t hitFlags, SweepHit& hit, const QueryFilterData& filterData,
                    QueryFilterCallback* filterCallback);

    // Every filtered shape the convex shape overlaps at the pose, with how deep and the
    // direction that leads out of it, in the order the shapes joined the world.
    struct Penetration {
        Shape* shape;
        float depth;
        Vec3 normal;
    };
    void penetrations(const btConvexShape& shape, const Transform& pose, const QueryFilterData& filterData,
                      QueryFilterCallback* filterCallback, std::vector<Penetration>& out);

    ContactTester& contactTester() { return contacts; }

private:
    void sync();
    void place(Shape& shape);
    void removeShape(Shape& shape);
    QueryGroup& groupOf(const Shape& shape);
    // The leaves of the groups the filter data accepts whose boxes meet the volume.
    void collect(const btDbvtVolume& volume, const QueryFilterData& filterData,
                 std::vector<const btDbvtNode*>& out) const;

    // The working lists of one query, kept for their capacity: the queries of a steady frame
    // allocate nothing. A query made from inside another's filter callback takes the next set.
    struct Scratch;
    class ScratchLease;

    std::vector<std::unique_ptr<QueryGroup>> groups; // groups stay while the world lives
    uint64_t joinedSoFar = 0;
    std::vector<RigidActor*> moved;
    ContactTester contacts;
    std::vector<std::unique_ptr<Scratch>> scratch;
    std::size_t scratchInUse = 0;
};

// The first hit of a convex sweep, with its world normal and point and, on a mesh, triangle.
class ClosestSweep : public btCollisionWorld::ConvexResultCallback {
public:
    btScalar addSingleResult(btCollisionWorld::LocalConvexResult& r, bool normalInWorldSpace) override;
    btVector3 normal{0, 0, 0};
    btVector3 point{0, 0, 0};
    int triangle = -1;
};

// A shape a query may hit, by the distance at which the query enters its box; order is when
// the shape joined the query world (ties keep it).
struct Candidate {
    float entry;
    Shape* shape;
    uint64_t order;
};

} // namespace phys::detail
