#pragma once

#include "phys/Cooking.h"
#include "phys/Geometry.h"
#include "phys/MathTypes.h"

#include <BulletCollision/BroadphaseCollision/btDbvt.h>
#include <BulletCollision/CollisionDispatch/btCollisionObject.h>
#include <BulletCollision/CollisionShapes/btBvhTriangleMeshShape.h>
#include <BulletCollision/CollisionShapes/btCompoundShape.h>
#include <BulletCollision/CollisionShapes/btTriangleIndexVertexArray.h>
#include <BulletCollision/CollisionShapes/btTriangleInfoMap.h>
#include <BulletDynamics/Dynamics/btRigidBody.h>

#include <memory>
#include <vector>

// The Bullet side ("back") of the layer's objects. The front objects (Shape, RigidActor...)
// hold what callers read and write; the back holds what the simulation uses. The main
// thread writes the back only while no step is in flight; the worker reads it during a step.

namespace phys {
class Controller;
class Material;
class RigidActor;
class Shape;
}

namespace phys::detail {

struct QueryGroup;

// Dirty bits of a rigid actor: what the next simulate must carry to Bullet.
enum Dirty : uint32_t {
    DirtyAdded = 1u << 0,           // no Bullet body yet
    DirtyPose = 1u << 1,
    DirtyLinearVelocity = 1u << 2,
    DirtyAngularVelocity = 1u << 3,
    DirtyForces = 1u << 4,
    DirtyWake = 1u << 5,
    DirtySleep = 1u << 6,
    DirtyMass = 1u << 7,            // mass or inertia
    DirtyShapes = 1u << 8,          // shape set, local poses or centre of mass
    DirtyKinematic = 1u << 9,
    DirtyTarget = 1u << 10,
    DirtyFilter = 1u << 11,         // pairs must be filtered again
    DirtyParams = 1u << 12,         // damping, angular limit, gravity flag, materials, shape flags
    DirtyPairs = 1u << 13,          // which actors it may pair with changed
    DirtyAll = 0xFFFFFFFFu,
};

struct ShapeBack {
    ShapeBack() = default;
    ShapeBack(const ShapeBack&) = delete;
    ShapeBack& operator=(const ShapeBack&) = delete;
    ~ShapeBack() { delete shape; }

    // Read by the narrow phase (the Bullet shape's user pointer points here), set when the
    // body is rebuilt or its parameters change.
    Shape* owner = nullptr;
    const RigidActor* actor = nullptr;
    int childIndex = -1;
    uint32_t flags = 0;       // shape flags as the current step sees them
    float friction = 0.0f;    // of the first material, as the current step sees it
    float restitution = 0.0f;

    // This shape's own Bullet shape: a child of its body's collision shape and the shape of
    // its query object.
    btCollisionShape* shape = nullptr;

    // Query world (main thread only).
    btCollisionObject queryObject;
    btDbvtNode* queryLeaf = nullptr; // holds a box around queryBox
    btDbvtVolume queryBox;           // the shape's own box where it stands
    QueryGroup* queryGroup = nullptr; // whose tree holds the leaf
    uint64_t querySerial = 0;         // when it joined the query world: its place among equals
};

struct RigidBack {
    btRigidBody* body = nullptr;
    btCompoundShape* compound = nullptr; // null when the only shape is used directly
    std::vector<Shape*> children;        // by child index
    bool isStatic = false;
    bool kinematic = false;
    bool inWorld = false;
    size_t sceneIndex = 0;     // position in the scene's actor list
    bool queryMoved = false;   // its query objects wait for its new pose
    const Controller* controller = nullptr; // the character controller the actor follows, if any
    // The centre-of-mass pose the Bullet body was last placed with; poses pulled back from
    // Bullet use it, not one set since (a step in flight still ran with this one).
    Transform appliedCMass;
    bool appliedCMassIsIdentity = true; // the pulled pose is the body's own
};

struct ConvexMeshData {
    btAlignedObjectArray<btVector3> corePoints;
    float margin = 0.0f;
    CookedConvex cooked;
    Bounds3 localBounds;
};

struct TriangleMeshData {
    ~TriangleMeshData();

    std::vector<Vec3> vertices;
    std::vector<uint32_t> triangles; // three indices per triangle
    std::vector<uint32_t> remap;     // original index of each triangle
    Bounds3 localBounds;
    btTriangleIndexVertexArray* meshInterface = nullptr;
    btBvhTriangleMeshShape* bvh = nullptr;
    btTriangleInfoMap* triangleInfo = nullptr;
};

// A new Bullet shape for a geometry (null for unsupported ones); its user pointer is unset.
btCollisionShape* createBulletShape(const GeometryHolder& geometry);

// How many of a body's pairs pass without resolving contacts, kept in the collision
// object (its second user index) where the dispatcher reads it with the body.
inline int unresolvedPairsOf(const btCollisionObject* object) { return object->getUserIndex2(); }
inline void addUnresolvedPairs(btCollisionObject* object, int delta) {
    object->setUserIndex2(object->getUserIndex2() + delta);
}

// The broadphase group of an actor's body: Bullet's default group, a mark that the body is
// an actor's, and Bullet's static and kinematic bits as its collision flags say, so that the
// pair filter can sort out pairs from the proxies alone.
constexpr int ActorProxyGroup = 1 << 10;
inline int proxyGroupOf(const btCollisionObject& object) {
    return btBroadphaseProxy::DefaultFilter | ActorProxyGroup |
           (object.isStaticObject() ? btBroadphaseProxy::StaticFilter : 0) |
           (object.isKinematicObject() ? btBroadphaseProxy::KinematicFilter : 0);
}
// Brings the proxy's group in line after the body's kind changed.
inline void updateProxyGroup(btCollisionObject& object) {
    if (btBroadphaseProxy* proxy = object.getBroadphaseHandle())
        proxy->m_collisionFilterGroup = proxyGroupOf(object);
}

// Where a movable body stands for the pull, kept in the collision object (its first user
// index) so that the pull reads only the bodies: in the scene's list of bodies awake at the
// last pull (or woken since), or already visited by the pull under way.
enum PullMark : int { NotPulled = 0, PulledActive = 1, PullVisited = 2 };
inline int pullMarkOf(const btCollisionObject& object) { return object.getUserIndex(); }
inline void setPullMark(btCollisionObject& object, PullMark mark) { object.setUserIndex(mark); }

// The back of the shape behind a Bullet shape (null for shapes that are not ours).
inline const ShapeBack* backOf(const btCollisionShape* shape) {
    return shape ? static_cast<const ShapeBack*>(shape->getUserPointer()) : nullptr;
}
// The actor stored in a collision object's user pointer (null for objects that are not ours).
inline RigidActor* actorOf(const btCollisionObject* object) {
    return object ? static_cast<RigidActor*>(object->getUserPointer()) : nullptr;
}

} // namespace phys::detail
