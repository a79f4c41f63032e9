#include "phys/detail/QueryWorld.h"

#include "phys/Meshes.h"
#include "phys/RigidBody.h"
#include "phys/Shape.h"
#include "phys/detail/Backs.h"
#include "phys/detail/BulletConvert.h"

#include <BulletCollision/CollisionDispatch/btCollisionWorld.h>
#include <BulletCollision/CollisionShapes/btConvexShape.h>

#include <algorithm>
#include <memory>

namespace phys::detail {

namespace {

// Entry distance of a ray into a box, or a negative value when it misses it within length.
float slabEntry(const Vec3& origin, const Vec3& dir, float length, const Vec3& mn, const Vec3& mx) {
    float t0 = 0.0f, t1 = length;
    const float o[3] = {origin.x, origin.y, origin.z}, d[3] = {dir.x, dir.y, dir.z};
    const float lo[3] = {mn.x, mn.y, mn.z}, hi[3] = {mx.x, mx.y, mx.z};
    for (int i = 0; i < 3; ++i) {
        if (std::fabs(d[i]) < 1e-12f) {
            if (o[i] < lo[i] || o[i] > hi[i])
                return -1.0f;
            continue;
        }
        float a = (lo[i] - o[i]) / d[i], b = (hi[i] - o[i]) / d[i];
        if (a > b)
            std::swap(a, b);
        t0 = std::max(t0, a);
        t1 = std::min(t1, b);
        if (t0 > t1)
            return -1.0f;
    }
    return t0;
}

uint32_t originalFace(const Shape& shape, int face) {
    if (face < 0 || shape.getGeometryType() != GeometryType::TriangleMesh)
        return 0xFFFFFFFF;
    const TriangleMesh* mesh = shape.getGeometry().triangleMesh().triangleMesh;
    return static_cast<uint32_t>(face) < mesh->getNbTriangles() ? mesh->getTrianglesRemap()[face] : 0xFFFFFFFF;
}

bool wordsMeet(const FilterData& q, const FilterData& s) {
    return ((q.word0 & s.word0) | (q.word1 & s.word1) | (q.word2 & s.word2) | (q.word3 & s.word3)) != 0;
}

// Leaves whose shapes' own boxes meet the volume (or, without one, every leaf the tree gives:
// a ray's candidates are cut by their boxes after): the tree's boxes are wider.
class CollectLeaves : public btDbvt::ICollide {
public:
    explicit CollectLeaves(std::vector<const btDbvtNode*>& out_, const btDbvtVolume* volume_ = nullptr)
        : out(out_), volume(volume_) {}
    void Process(const btDbvtNode* leaf) override {
        if (!volume || Intersect(static_cast<const Shape*>(leaf->data)->back().queryBox, *volume))
            out.push_back(leaf);
    }
    std::vector<const btDbvtNode*>& out;
    const btDbvtVolume* volume;
};

class ClosestRay : public btCollisionWorld::RayResultCallback {
public:
    btScalar addSingleResult(btCollisionWorld::LocalRayResult& r, bool normalInWorldSpace) override {
        if (r.m_hitFraction > m_closestHitFraction)
            return m_closestHitFraction;
        m_closestHitFraction = r.m_hitFraction;
        m_collisionObject = r.m_collisionObject;
        normal = normalInWorldSpace ? r.m_hitNormalLocal
                                    : r.m_collisionObject->getWorldTransform().getBasis() * r.m_hitNormalLocal;
        triangle = r.m_localShapeInfo ? r.m_localShapeInfo->m_triangleIndex : -1;
        return m_closestHitFraction;
    }
    btVector3 normal{0, 0, 0};
    int triangle = -1;
};

} // namespace

btScalar ClosestSweep::addSingleResult(btCollisionWorld::LocalConvexResult& r, bool normalInWorldSpace) {
    if (r.m_hitFraction > m_closestHitFraction)
        return m_closestHitFraction;
    m_closestHitFraction = r.m_hitFraction;
    normal = normalInWorldSpace ? r.m_hitNormalLocal
                                : r.m_hitCollisionObject->getWorldTransform().getBasis() * r.m_hitNormalLocal;
    point = r.m_hitPointLocal;
    triangle = r.m_localShapeInfo ? r.m_localShapeInfo->m_triangleIndex : -1;
    return m_closestHitFraction;
}

struct QueryWorld::Scratch {
    std::vector<const btDbvtNode*> leaves;
    std::vector<Candidate> candidates;
};

// The next free set of working lists for the length of one query, emptied.
class QueryWorld::ScratchLease {
public:
    explicit ScratchLease(QueryWorld& world) : world(world) {
        if (world.scratchInUse == world.scratch.size())
            world.scratch.push_back(std::make_unique<Scratch>());
        lists = world.scratch[world.scratchInUse++].get();
        lists->leaves.clear();
        lists->candidates.clear();
    }
    ~ScratchLease() { --world.scratchInUse; }
    ScratchLease(const ScratchLease&) = delete;
    ScratchLease& operator=(const ScratchLease&) = delete;
    Scratch* operator->() const { return lists; }

private:
    QueryWorld& world;
    Scratch* lists = nullptr;
};

QueryWorld::QueryWorld() = default;

QueryWorld::~QueryWorld() = default;

QueryGroup& QueryWorld::groupOf(const Shape& shape) {
    const FilterData& words = shape.getQueryFilterData();
    const bool isStatic = shape.getActor()->getType() == ActorType::RigidStatic;
    for (const std::unique_ptr<QueryGroup>& group : groups)
        if (group->isStatic == isStatic && group->words == words)
            return *group;
    groups.push_back(std::make_unique<QueryGroup>());
    groups.back()->words = words;
    groups.back()->isStatic = isStatic;
    return *groups.back();
}

void QueryWorld::place(Shape& shape) {
    ShapeBack& back = shape.back();
    const btTransform world = toBt(shape.getActor()->getGlobalPose() * shape.getLocalPose());
    back.queryObject.setWorldTransform(world);
    btVector3 mn, mx;
    back.shape->getAabb(world, mn, mx);
    back.queryBox = btDbvtVolume::FromMM(mn, mx);
    if (back.queryLeaf && !(back.queryGroup->words == shape.getQueryFilterData())) {
        back.queryGroup->tree.remove(back.queryLeaf); // to its new group, keeping its place among equals
        back.queryLeaf = nullptr;
        back.queryGroup = &groupOf(shape);
    } else if (!back.queryLeaf) {
        back.querySerial = joinedSoFar++;
        back.queryGroup = &groupOf(shape);
    }
    // The tree holds the box widened by a twentieth of its size: a shape that moves a little
    // (a walking character's capsule) keeps its leaf for many frames; the shape's own box
    // decides what a query meets.
    if (back.queryLeaf && back.queryLeaf->volume.Contain(back.queryBox))
        return;
    const btVector3 wider((mx - mn).length() * 0.05f * btVector3(1, 1, 1));
    btDbvtVolume fat = btDbvtVolume::FromMM(mn - wider, mx + wider);
    if (back.queryLeaf)
        back.queryGroup->tree.update(back.queryLeaf, fat);
    else
        back.queryLeaf = back.queryGroup->tree.insert(fat, &shape);
}

void QueryWorld::removeShape(Shape& shape) {
    ShapeBack& back = shape.back();
    if (back.queryLeaf) {
        back.queryGroup->tree.remove(back.queryLeaf);
        back.queryLeaf = nullptr;
        back.queryGroup = nullptr;
    }
}

void QueryWorld::addActor(RigidActor& actor) {
    Shape* shapes[64];
    for (uint32_t start = 0; start < actor.getNbShapes(); start += 64) {
        const uint32_t n = actor.getShapes(shapes, 64, start);
        for (uint32_t i = 0; i < n; ++i)
            shapeChanged(*shapes[i]);
    }
}

void QueryWorld::removeActor(RigidActor& actor) {
    Shape* shapes[64];
    for (uint32_t start = 0; start < actor.getNbShapes(); start += 64) {
        const uint32_t n = actor.getShapes(shapes, 64, start);
        for (uint32_t i = 0; i < n; ++i)
            removeShape(*shapes[i]);
    }
    if (actor.back().queryMoved) {
        moved.erase(std::remove(moved.begin(), moved.end(), &actor), moved.end());
        actor.back().queryMoved = false;
    }
}

void QueryWorld::shapeChanged(Shape& shape) {
    if (shape.getFlags() & ShapeSceneQuery)
        place(shape);
    else
        removeShape(shape);
}

void QueryWorld::actorMoved(RigidActor& actor) {
    if (actor.back().queryMoved)
        return;
    actor.back().queryMoved = true;
    moved.push_back(&actor);
}

void QueryWorld::sync() {
    for (RigidActor* actor : moved) {
        actor->back().queryMoved = false;
        Shape* shapes[64];
        for (uint32_t start = 0; start < actor->getNbShapes(); start += 64) {
            const uint32_t n = actor->getShapes(shapes, 64, start);
            for (uint32_t i = 0; i < n; ++i)
                if (shapes[i]->back().queryLeaf)
                    place(*shapes[i]);
        }
    }
    moved.clear();
}

namespace {

// Whether the query takes the shapes of the group: their kind of actor and words.
bool accepts(const QueryFilterData& filterData, const QueryGroup& group) {
    if (!(filterData.flags & (group.isStatic ? QueryStatic : QueryDynamic)))
        return false;
    return filterData.data.isZero() || wordsMeet(filterData.data, group.words);
}

// The pre-filter's word on a gathered shape (its group was accepted).
bool passesFilters(Shape& shape, const QueryFilterData& filterData, QueryFilterCallback* filterCallback,
                   uint32_t hitFlags) {
    if ((filterData.flags & QueryPrefilter) && filterCallback) {
        uint32_t flags = hitFlags;
        // Touch hits never end a single query: only blocking candidates go on.
        if (filterCallback->preFilter(filterData.data, &shape, shape.getActor(), flags) != QueryHitType::Block)
            return false;
    }
    return true;
}

// Walks the candidates nearest first until the closest blocking hit is known. exact(shape,
// hit) tests one shape and fills the hit's distance, position, normal and face index.
template <class Hit, class Exact>
bool closestBlock(std::vector<Candidate>& candidates, float distance, uint32_t hitFlags,
                  const QueryFilterData& filterData, QueryFilterCallback* filterCallback, Hit& out, Exact exact) {
    // Nearest first, ties in the order the shapes joined the world.
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return a.entry < b.entry || (a.entry == b.entry && a.order < b.order);
    });
    bool found = false;
    float best = distance;
    for (const Candidate& c : candidates) {
        if (c.entry > best)
            break;
        Shape& shape = *c.shape;
        if (!passesFilters(shape, filterData, filterCallback, hitFlags))
            continue;
        Hit h;
        if (!exact(shape, h) || h.distance > best)
            continue;
        h.shape = &shape;
        h.actor = shape.getActor();
        h.flags = hitFlags & (HitImpact | HitNormal | HitDistance);
        if ((filterData.flags & QueryPostfilter) && filterCallback &&
            filterCallback->postFilter(filterData.data, h) != QueryHitType::Block)
            continue;
        out = h;
        best = h.distance;
        found = true;
    }
    return found;
}

// Shapes whose boxes, grown by half on every side, the moving point enters within distance,
// into out.
std::vector<Candidate>& candidatesAlong(const std::vector<const btDbvtNode*>& leaves, const Vec3& origin,
                                        const Vec3& unitDir, float distance, const Vec3& half,
                                        std::vector<Candidate>& out) {
    for (const btDbvtNode* leaf : leaves) {
        Shape* shape = static_cast<Shape*>(leaf->data);
        const btDbvtVolume& box = shape->back().queryBox;
        const float entry = slabEntry(origin, unitDir, distance, fromBt(box.Mins()) - half, fromBt(box.Maxs()) + half);
        if (entry >= 0.0f)
            out.push_back({entry, shape, shape->back().querySerial});
    }
    return out;
}

} // namespace

void QueryWorld::collect(const btDbvtVolume& volume, const QueryFilterData& filterData,
                         std::vector<const btDbvtNode*>& out) const {
    CollectLeaves leaves(out, &volume);
    for (const std::unique_ptr<QueryGroup>& group : groups)
        if (accepts(filterData, *group))
            group->tree.collideTV(group->tree.m_root, volume, leaves);
}

bool QueryWorld::raycast(const Vec3& origin, const Vec3& unitDir, float distance, uint32_t hitFlags,
                         RaycastHit& hit, const QueryFilterData& filterData, QueryFilterCallback* filterCallback) {
    sync();
    const Vec3 end = origin + unitDir * distance;
    const ScratchLease lists(*this);
    CollectLeaves collect(lists->leaves);
    for (const std::unique_ptr<QueryGroup>& group : groups)
        if (accepts(filterData, *group))
            btDbvt::rayTest(group->tree.m_root, toBt(origin), toBt(end), collect);

    const btTransform from(btQuaternion::getIdentity(), toBt(origin));
    const btTransform to(btQuaternion::getIdentity(), toBt(end));
    return closestBlock(candidatesAlong(lists->leaves, origin, unitDir, distance, Vec3(), lists->candidates), distance,
                        hitFlags, filterData,
                        filterCallback, hit, [&](Shape& shape, RaycastHit& h) {
                            ShapeBack& back = shape.back();
                            ClosestRay result;
                            btCollisionWorld::rayTestSingle(from, to, &back.queryObject, back.shape,
                                                            back.queryObject.getWorldTransform(), result);
                            if (!result.hasHit())
                                return false;
                            h.distance = result.m_closestHitFraction * distance;
                            h.position = origin + unitDir * h.distance;
                            h.normal = fromBt(result.normal).getNormalized();
                            h.faceIndex = originalFace(shape, result.triangle);
                            return true;
                        });
}

bool QueryWorld::sweep(const GeometryHolder& geometry, const Transform& pose, const Vec3& unitDir, float distance,
                       uint32_t hitFlags, SweepHit& hit, const QueryFilterData& filterData,
                       QueryFilterCallback* filterCallback) {
    std::unique_ptr<btCollisionShape> cast(createBulletShape(geometry));
    if (!cast || !cast->isConvex())
        return false;
    return sweepShape(static_cast<const btConvexShape&>(*cast), pose, unitDir, distance, hitFlags, hit, filterData,
                      filterCallback);
}

bool QueryWorld::sweepShape(const btConvexShape& shape, const Transform& pose, const Vec3& unitDir, float distance,
                            uint32_t hitFlags, SweepHit& hit, const QueryFilterData& filterData,
                            QueryFilterCallback* filterCallback) {
    sync();
    const btConvexShape* convex = &shape;
    const btCollisionShape* cast = &shape;
    const btTransform from = toBt(pose);
    const btTransform to(from.getBasis(), from.getOrigin() + toBt(unitDir * distance));
    btVector3 mn, mx;
    cast->getAabb(from, mn, mx);
    Bounds3 swept(fromBt(mn), fromBt(mx));
    swept.include(Bounds3(fromBt(mn) + unitDir * distance, fromBt(mx) + unitDir * distance));
    const ScratchLease lists(*this);
    collect(btDbvtVolume::FromMM(toBt(swept.minimum), toBt(swept.maximum)), filterData, lists->leaves);

    const Vec3 start = fromBt(mn + mx) * 0.5f;
    const Vec3 half = fromBt(mx - mn) * 0.5f;
    return closestBlock(candidatesAlong(lists->leaves, start, unitDir, distance, half, lists->candidates), distance,
                        hitFlags, filterData,
                        filterCallback, hit, [&](Shape& shape, SweepHit& h) {
                            ShapeBack& back = shape.back();
                            ClosestSweep result;
                            btCollisionWorld::objectQuerySingle(convex, from, to, &back.queryObject, back.shape,
                                                                back.queryObject.getWorldTransform(), result, 0.0f);
                            if (!result.hasHit())
                                return false;
                            h.distance = result.m_closestHitFraction * distance;
                            h.position = fromBt(result.point);
                            h.normal = fromBt(result.normal).getNormalized();
                            h.faceIndex = originalFace(shape, result.triangle);
                            return true;
                        });
}

void QueryWorld::penetrations(const btConvexShape& shape, const Transform& pose, const QueryFilterData& filterData,
                              QueryFilterCallback* filterCallback, std::vector<Penetration>& out) {
    sync();
    out.clear();
    const btTransform at = toBt(pose);
    btVector3 mn, mx;
    shape.getAabb(at, mn, mx);
    const ScratchLease lists(*this);
    collect(btDbvtVolume::FromMM(mn, mx), filterData, lists->leaves);
    std::sort(lists->leaves.begin(), lists->leaves.end(), [](const btDbvtNode* a, const btDbvtNode* b) {
        return static_cast<const Shape*>(a->data)->back().querySerial <
               static_cast<const Shape*>(b->data)->back().querySerial;
    });
    for (const btDbvtNode* leaf : lists->leaves) {
        Shape& other = *static_cast<Shape*>(leaf->data);
        if (!passesFilters(other, filterData, filterCallback, 0))
            continue;
        ShapeBack& back = other.back();
        float distance = 0.0f;
        btVector3 normal;
        if (!contacts.closest(shape, at, *back.shape, back.queryObject.getWorldTransform(), 0.0f, distance, normal) ||
            distance >= 0.0f)
            continue;
        if ((filterData.flags & QueryPostfilter) && filterCallback) {
            SweepHit h;
            h.shape = &other;
            h.actor = other.getActor();
            h.position = pose.p;
            h.normal = fromBt(normal);
            if (filterCallback->postFilter(filterData.data, h) != QueryHitType::Block)
                continue;
        }
        out.push_back({&other, -distance, fromBt(normal)});
    }
}

} // namespace phys::detail
