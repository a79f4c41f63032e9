#include "phys/detail/ControllerMotion.h"

#include "phys/RigidBody.h"
#include "phys/Scene.h"
#include "phys/Shape.h"
#include "phys/detail/Backs.h"
#include "phys/detail/BulletConvert.h"
#include "phys/detail/QueryWorld.h"
#include "phys/detail/SceneCore.h"

#include <BulletCollision/CollisionDispatch/btCollisionWorld.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace phys::detail {

namespace {

// Gap kept between the grown capsule and what it touches, so the next sweep starts clear.
constexpr float Skin = 0.002f;
// Iterations of one sliding pass.
constexpr int MaxIterations = 10;
// Rounds of pushing out of overlapping shapes before a move.
constexpr int MaxDepenetration = 4;
// A surface whose normal does not point against the motion by at least this is left alone.
constexpr float LeavingTolerance = 1e-4f;
// Room around the boxes a move looks for other controllers in, for the rounding of the
// positions it adds up: a controller whose box misses by less is looked at, and the exact
// test turns it away.
constexpr float BoundsMargin = 0.01f;

thread_local uint64_t controllerTests = 0;

Vec3 toVec(const ExtVec3& v) { return Vec3(static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)); }

Bounds3 grown(const Bounds3& box, float by) { return Bounds3(box.minimum - Vec3(by), box.maximum + Vec3(by)); }

// The time at which p + v t enters the ball of radius r about the centre (in [0, 1] when
// it does so along the path), or 2 when it starts inside or never enters.
float ballEntry(const Vec3& p, const Vec3& v, const Vec3& centre, float r) {
    const Vec3 d = p - centre;
    const float a = v.dot(v), b = d.dot(v), c = d.dot(d) - r * r;
    if (a <= 0.0f || b >= 0.0f || c <= 0.0f)
        return 2.0f;
    const float disc = b * b - a * c;
    return disc < 0.0f ? 2.0f : (-b - std::sqrt(disc)) / a;
}

// A sweep between two capsules whose axes are parallel (characters standing upright), in
// closed form. Their surfaces meet where the moving centre comes within the sum of the
// radii of the other's axis lengthened by the moving one's half height: a ray against a
// capsule. Fills the fraction of the path at first contact, the normal from the other
// toward the moving one and the contact point on the other; a capsule that already
// overlaps meets it at 0. False when the axes are not parallel (the general test serves).
struct CapsuleContact {
    bool hit = false;
    float fraction = 0.0f;
    Vec3 normal, point;
};
bool sweepParallelCapsules(const btCapsuleShapeX& moving, const btTransform& from, const Vec3& path,
                           const btCapsuleShapeX& other, const btTransform& at, CapsuleContact& out) {
    const Vec3 axis = fromBt(at.getBasis().getColumn(0));
    if (fromBt(from.getBasis().getColumn(0)).cross(axis).magnitudeSquared() > 1e-10f)
        return false;
    const Vec3 centre = fromBt(at.getOrigin());
    const Vec3 start = fromBt(from.getOrigin()) - centre; // about the other's centre
    const float reach = moving.getHalfHeight() + other.getHalfHeight();
    const float radius = moving.getRadius() + other.getRadius();
    const auto onAxis = [&](const Vec3& p) { return axis * std::clamp(p.dot(axis), -reach, reach); };
    out = CapsuleContact();
    float t = 2.0f;
    if ((start - onAxis(start)).magnitudeSquared() <= radius * radius) {
        t = 0.0f;
    } else {
        // The side of the lengthened axis: the part of the motion across the axis.
        const Vec3 across = start - axis * start.dot(axis), pathAcross = path - axis * path.dot(axis);
        const float side = ballEntry(across, pathAcross, Vec3(), radius);
        if (side <= 1.0f && std::fabs((start + path * side).dot(axis)) <= reach)
            t = side;
        // Its two round ends.
        t = std::min({t, ballEntry(start, path, axis * reach, radius), ballEntry(start, path, axis * -reach, radius)});
        if (t > 1.0f)
            return true;
        t = std::max(t, 0.0f);
    }
    const Vec3 met = start + path * t;
    Vec3 normal = met - onAxis(met);
    const float length = normal.magnitude();
    normal = length > 1e-12f ? normal / length : (path.magnitudeSquared() > 0.0f ? -path.getNormalized() : axis);
    out.hit = true;
    out.fraction = t;
    out.normal = normal;
    // On the other's side, midway along the stretch where the two axes lie side by side.
    const float h = other.getHalfHeight(), level = met.dot(axis);
    const float low = std::max(level - moving.getHalfHeight(), -h), high = std::min(level + moving.getHalfHeight(), h);
    const float along = low <= high ? 0.5f * (low + high) : std::clamp(level, -h, h);
    out.point = centre + axis * along + normal * other.getRadius();
    return true;
}

class CollectControllers : public btDbvt::ICollide {
public:
    explicit CollectControllers(std::vector<Controller*>& out_) : out(out_) {}
    void Process(const btDbvtNode* leaf) override { out.push_back(static_cast<Controller*>(leaf->data)); }
    std::vector<Controller*>& out;
};

} // namespace

// --- the scene's controller boxes ----------------------------------------------------------

ControllerBounds::~ControllerBounds() { tree.clear(); }

Bounds3 ControllerBounds::boxOf(const Controller& c) {
    const ControllerBack& b = c.back();
    btVector3 mn, mx;
    b.bodyShape.getAabb(b.object.getWorldTransform(), mn, mx);
    return Bounds3(fromBt(mn), fromBt(mx));
}

void ControllerBounds::place(Controller& c) {
    ControllerBack& b = c.back();
    const Bounds3 box = boxOf(c);
    btDbvtVolume volume = btDbvtVolume::FromMM(toBt(box.minimum), toBt(box.maximum));
    if (!b.boundsLeaf) {
        b.boundsLeaf = tree.insert(volume, &c);
        b.joined = joinedSoFar++;
    } else if (!(b.boundsLeaf->volume.Mins() == volume.Mins() && b.boundsLeaf->volume.Maxs() == volume.Maxs())) {
        tree.update(b.boundsLeaf, volume);
    }
}

void ControllerBounds::remove(Controller& c) {
    ControllerBack& b = c.back();
    if (b.boundsLeaf) {
        tree.remove(b.boundsLeaf);
        b.boundsLeaf = nullptr;
    }
}

void ControllerBounds::overlapping(const Bounds3& box, std::vector<Controller*>& out) const {
    const std::size_t first = out.size();
    CollectControllers collect(out);
    tree.collideTV(tree.m_root, btDbvtVolume::FromMM(toBt(box.minimum), toBt(box.maximum)), collect);
    std::sort(out.begin() + static_cast<std::ptrdiff_t>(first), out.end(),
              [](const Controller* a, const Controller* b) { return a->back().joined < b->back().joined; });
}

// --- moves -----------------------------------------------------------------------------------

QueryHitType ControllerMotion::Filter::preFilter(const FilterData& data, Shape* shape, RigidActor* actor,
                                                 uint32_t& flags) {
    if (actor->back().controller || (shape->getFlags() & ShapeTrigger))
        return QueryHitType::None;
    if (user && (userFlags & QueryPrefilter))
        return user->preFilter(data, shape, actor, flags);
    return QueryHitType::Block;
}

QueryHitType ControllerMotion::Filter::postFilter(const FilterData& data, const QueryHit& hit) {
    // Sweeps and overlap tests hand in sweep hits.
    if (!leavingPasses && static_cast<const SweepHit&>(hit).normal.dot(direction) >= -LeavingTolerance)
        return QueryHitType::None;
    if (user && (userFlags & QueryPostfilter))
        return user->postFilter(data, hit);
    return QueryHitType::Block;
}

struct ControllerMotion::Lists {
    std::vector<Controller*> others;
    std::vector<Controller*> touching;
    std::vector<ControllerShapeHit> shapeHits;
    std::vector<ControllersHit> controllerHits;
    std::vector<QueryWorld::Penetration> penetrations;
};

// The list sets of the moves under way on this thread (the main thread), and how many are
// in use.
struct ControllerMotion::ListPool {
    std::vector<std::unique_ptr<Lists>> sets;
    std::size_t inUse = 0;
};

ControllerMotion::ListPool& ControllerMotion::listPool() {
    thread_local ListPool pool;
    return pool;
}

ControllerMotion::Lists& ControllerMotion::borrowLists() {
    ListPool& pool = listPool();
    if (pool.inUse == pool.sets.size())
        pool.sets.push_back(std::make_unique<Lists>());
    Lists& taken = *pool.sets[pool.inUse++];
    taken.others.clear();
    taken.touching.clear();
    taken.shapeHits.clear();
    taken.controllerHits.clear();
    taken.penetrations.clear();
    return taken;
}

ControllerMotion::~ControllerMotion() { --listPool().inUse; }

ControllerMotion::ControllerMotion(Controller& c, const ControllerFilters& filters)
    : controller(c), back(c.back()), core(c.scene->core()), lists(borrowLists()), others(lists.others),
      touching(lists.touching), shapeHits(lists.shapeHits), controllerHits(lists.controllerHits), penetrations(lists.penetrations) {
    queryData.data = filters.filterData ? *filters.filterData : FilterData();
    queryData.flags = (filters.filterFlags & (QueryStatic | QueryDynamic)) | QueryPrefilter | QueryPostfilter;
    filter.user = filters.filterCallback;
    filter.userFlags = filters.filterFlags;
    controllerFilter = filters.cctFilterCallback;
}

void ControllerMotion::placeCapsule(Controller& c) {
    c.back().object.setWorldTransform(toBt(Transform(toVec(c.position), c.capsuleRotation)));
    if (c.scene)
        c.scene->core().controllerBounds->place(c);
}

uint64_t ControllerMotion::controllerTestsSoFar() { return controllerTests; }

void ControllerMotion::gatherOthers(const Bounds3& box, std::vector<Controller*>& out) {
    out.clear();
    if (controller.interaction == InteractionMode::Exclude)
        return;
    core.controllerBounds->overlapping(box, out);
    out.erase(std::remove_if(out.begin(), out.end(),
                                [this](Controller* other) {
                                    return other == &controller || other->interaction == InteractionMode::Exclude ||
                                           (controllerFilter && !controllerFilter->filter(controller, *other));
                                }),
              out.end());
}

void ControllerMotion::actorReleased(Controller& c, const RigidActor& actor) {
    if (c.actor == &actor)
        c.actor = nullptr; // the caller released the controller's own actor
    ControllerBack& b = c.back();
    if (b.groundActor == &actor) {
        b.groundActor = nullptr;
        b.groundShape = nullptr;
    }
}

void ControllerMotion::sceneGone(Controller& c) {
    c.scene = nullptr;
    c.back().boundsLeaf = nullptr; // the tree goes with the scene
    c.actor = nullptr;
    c.back().groundActor = nullptr;
    c.back().groundShape = nullptr;
}

ControllerMotion::Hit ControllerMotion::sweepControllers(const Vec3& from, const Vec3& direction, float length) {
    Hit best;
    if (others.empty())
        return best;
    const btTransform start = toBt(Transform(from, controller.capsuleRotation));
    const btTransform end(start.getBasis(), start.getOrigin() + toBt(direction * length));
    btVector3 mn, mx;
    back.sweepShape.getAabb(start, mn, mx);
    Bounds3 path(fromBt(mn), fromBt(mx));
    path.include(Bounds3(fromBt(mn) + direction * length, fromBt(mx) + direction * length));
    for (Controller* other : others) {
        btVector3 omn, omx;
        ControllerBack& ob = other->back();
        ob.bodyShape.getAabb(ob.object.getWorldTransform(), omn, omx);
        if (!path.intersects(Bounds3(fromBt(omn), fromBt(omx))))
            continue;
        CapsuleContact contact;
        if (!sweepParallelCapsules(back.sweepShape, start, direction * length, ob.bodyShape,
                                   ob.object.getWorldTransform(), contact)) {
            ClosestSweep cast;
            btCollisionWorld::objectQuerySingle(&back.sweepShape, start, end, &ob.object, &ob.bodyShape,
                                                ob.object.getWorldTransform(), cast, 0.0f);
            contact.hit = cast.hasHit();
            contact.fraction = cast.m_closestHitFraction;
            contact.normal = fromBt(cast.normal).getNormalized();
            contact.point = fromBt(cast.point);
        }
        if (!contact.hit)
            continue;
        const float distance = contact.fraction * length;
        if (contact.normal.dot(direction) >= -LeavingTolerance || (best.found && distance >= best.distance))
            continue;
        best.found = true;
        best.distance = distance;
        best.normal = contact.normal;
        best.position = contact.point;
        best.other = other;
    }
    return best;
}

ControllerMotion::Hit ControllerMotion::sweep(const Vec3& from, const Vec3& direction, float length) {
    filter.direction = direction;
    filter.leavingPasses = false;
    Hit best = sweepControllers(from, direction, length);
    SweepHit h;
    if (core.queries->sweepShape(back.sweepShape, Transform(from, controller.capsuleRotation), direction, length,
                                 HitDefault, h, queryData, &filter) &&
        (!best.found || h.distance < best.distance)) {
        best = Hit();
        best.found = true;
        best.distance = h.distance;
        best.position = h.position;
        best.normal = h.normal;
        best.shape = h.shape;
        best.face = h.faceIndex;
    }
    return best;
}

bool ControllerMotion::depenetrate(Vec3& position) {
    filter.leavingPasses = true;
    std::vector<QueryWorld::Penetration>& found = penetrations;
    const float reach = controller.radius + controller.contactOffset;
    bool moved = false;
    for (int round = 0; round < MaxDepenetration; ++round) {
        core.queries->penetrations(back.sweepShape, Transform(position, controller.capsuleRotation), queryData, &filter,
                                   found);
        float deepest = 0.0f;
        Vec3 out;
        for (const QueryWorld::Penetration& p : found) {
            if (p.depth > deepest) {
                deepest = p.depth;
                out = p.normal;
            }
        }
        // Other controllers whose boxes meet the capsule's: the distance between the two
        // capsules' axes. Where the capsule has not moved yet they are among the move's
        // others, gathered here with a larger box: the tree is not asked again.
        const btTransform here = toBt(Transform(position, controller.capsuleRotation));
        btVector3 mn, mx;
        back.sweepShape.getAabb(here, mn, mx);
        const Bounds3 box = grown(Bounds3(fromBt(mn), fromBt(mx)), BoundsMargin);
        if (moved) {
            gatherOthers(box, touching);
        } else {
            const btDbvtVolume volume = btDbvtVolume::FromMM(toBt(box.minimum), toBt(box.maximum));
            touching.clear();
            for (Controller* other : others)
                if (other->back().boundsLeaf && Intersect(other->back().boundsLeaf->volume, volume))
                    touching.push_back(other);
        }
        for (Controller* other : touching) {
            ++controllerTests;
            float distance = 0.0f;
            btVector3 normal;
            ControllerBack& ob = other->back();
            if (core.queries->contactTester().closest(back.sweepShape, here, ob.bodyShape,
                                                      ob.object.getWorldTransform(), 0.0f, distance, normal) &&
                -distance > deepest) {
                deepest = -distance;
                out = fromBt(normal);
            }
        }
        if (deepest <= 0.0f)
            return moved;
        position += out * std::min(deepest + Skin, 2.0f * reach);
        moved = true;
    }
    return moved;
}

void ControllerMotion::record(const Hit& hit, const Vec3& direction, float length) {
    const ExtVec3 at(hit.position.x, hit.position.y, hit.position.z);
    if (hit.other) {
        for (const ControllersHit& h : controllerHits)
            if (h.other == hit.other)
                return;
        ControllersHit h;
        h.controller = &controller;
        h.other = hit.other;
        h.worldPos = at;
        h.worldNormal = hit.normal;
        h.dir = direction;
        h.length = length;
        controllerHits.push_back(h);
        return;
    }
    for (const ControllerShapeHit& h : shapeHits)
        if (h.shape == hit.shape)
            return;
    ControllerShapeHit h;
    h.controller = &controller;
    h.worldPos = at;
    h.worldNormal = hit.normal;
    h.dir = direction;
    h.length = length;
    h.shape = hit.shape;
    h.actor = hit.shape->getActor();
    h.triangleIndex = hit.face;
    shapeHits.push_back(h);
}

bool ControllerMotion::slide(Vec3& position, const Vec3& motion, float minDistance, Pass pass) {
    const Vec3 up = controller.up;
    bool blocked = false;
    Vec3 remaining = motion;
    for (int i = 0; i < MaxIterations; ++i) {
        const float length = remaining.magnitude();
        if (length <= minDistance || length < 1e-6f)
            break;
        const Vec3 direction = remaining / length;
        const Hit hit = sweep(position, direction, length);
        if (!hit.found) {
            position += remaining;
            break;
        }
        const float advance = std::max(0.0f, hit.distance - Skin);
        position += direction * advance;
        blocked = true;
        record(hit, direction, length);
        Vec3 normal = hit.normal;
        const bool walkable = normal.dot(up) >= controller.slopeLimit;
        if (pass == Pass::Up)
            break;
        if (pass == Pass::Down && walkable) {
            landing = hit;
            break;
        }
        if (pass == Pass::Side && !walkable) {
            // A wall: slide along it horizontally, never up it.
            normal = normal - up * normal.dot(up);
            if (normal.magnitudeSquared() < 1e-8f)
                break;
            normal = normal.getNormalized();
        }
        Vec3 rest = direction * (length - advance);
        const float into = rest.dot(normal);
        if (into < 0.0f)
            rest -= normal * into;
        if (pass == Pass::Side && rest.dot(motion) <= 0.0f)
            break;
        remaining = rest;
    }
    return blocked;
}

void ControllerMotion::ride(Vec3& position) {
    if (!back.groundActor || !controller.behavior)
        return;
    if (!(controller.behavior->getBehaviorFlags(*back.groundShape) & BehaviorCanRideOnObject))
        return;
    const Transform moved = back.groundActor->getGlobalPose() * back.groundPose.getInverse();
    position = moved.transform(position);
}

void ControllerMotion::report() {
    ControllerHitReport* callback = controller.hitReport;
    if (!callback)
        return;
    for (const ControllerShapeHit& h : shapeHits)
        callback->onShapeHit(h);
    for (const ControllersHit& h : controllerHits)
        callback->onControllerHit(h);
}

uint32_t ControllerMotion::run(const Vec3& displacement, float minDistance) {
    const Vec3 up = controller.up;
    Vec3 position = toVec(controller.position);
    ride(position);

    const float vertical = displacement.dot(up);
    const Vec3 side = displacement - up * vertical;
    const bool onGround = (controller.lastFlags & ControllerCollisionDown) != 0;
    const float step = onGround && side.magnitude() > minDistance ? controller.stepOffset : 0.0f;
    uint32_t flags = 0;

    float stepUsed = 0.0f;
    const float upward = std::max(vertical, 0.0f) + step;
    // A pass moves the capsule at most its own length, so every sweep of the move stays within
    // the capsule's box grown by the three lengths: the controllers there are all it can meet.
    const float moveReach = upward + side.magnitude() + std::max(-vertical, 0.0f) + step + BoundsMargin;
    const auto gatherForMove = [&] {
        btVector3 mn, mx;
        back.sweepShape.getAabb(toBt(Transform(position, controller.capsuleRotation)), mn, mx);
        gatherOthers(grown(Bounds3(fromBt(mn), fromBt(mx)), moveReach), others);
    };
    gatherForMove();
    if (depenetrate(position))
        gatherForMove();
    if (upward > 0.0f) {
        const float before = position.dot(up);
        if (slide(position, up * upward, minDistance, Pass::Up))
            flags |= ControllerCollisionUp;
        stepUsed = std::clamp(position.dot(up) - before - std::max(vertical, 0.0f), 0.0f, step);
    }
    if (side.magnitude() > 0.0f && slide(position, side, minDistance, Pass::Side))
        flags |= ControllerCollisionSides;
    const float downward = std::max(-vertical, 0.0f) + stepUsed;
    back.groundShape = nullptr;
    back.groundActor = nullptr;
    if (downward > 0.0f && slide(position, up * -downward, minDistance, Pass::Down))
        flags |= ControllerCollisionDown;
    if (landing.found && landing.shape) {
        back.groundShape = landing.shape;
        back.groundActor = landing.shape->getActor();
        back.groundPose = back.groundActor->getGlobalPose();
    }

    controller.position = ExtVec3(position.x, position.y, position.z);
    controller.lastFlags = flags;
    placeCapsule(controller);
    report();
    return flags;
}

} // namespace phys::detail
