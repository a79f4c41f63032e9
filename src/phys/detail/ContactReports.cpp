#include "phys/detail/ContactReports.h"

#include "phys/Meshes.h"
#include "phys/RigidBody.h"
#include "phys/Shape.h"
#include "phys/detail/Backs.h"
#include "phys/detail/BulletConvert.h"
#include "phys/detail/PairFilter.h"

#include <BulletCollision/BroadphaseCollision/btCollisionAlgorithm.h>
#include <BulletCollision/NarrowPhaseCollision/btPersistentManifold.h>

#include <algorithm>

namespace phys::detail {

namespace {

constexpr PairFlags TouchKinds = PairNotifyTouchFound | PairNotifyTouchPersists | PairNotifyTouchLost;

// Face index in the mesh's original numbering, or 0xFFFFFFFF when the shape is no mesh.
uint32_t originalFace(const Shape& shape, int face) {
    if (face < 0 || shape.getGeometryType() != GeometryType::TriangleMesh)
        return 0xFFFFFFFF;
    const TriangleMesh* mesh = shape.getGeometry().triangleMesh().triangleMesh;
    if (static_cast<uint32_t>(face) >= mesh->getNbTriangles())
        return 0xFFFFFFFF;
    return mesh->getTrianglesRemap()[face];
}

bool sameShapes(const TouchState& a, const TouchState& b) { return a.shape0 == b.shape0 && a.shape1 == b.shape1; }

} // namespace

void ContactReports::beginStep() {
    stepEvents.clear();
    points.clear();
}

void ContactReports::emit(std::vector<TouchEvent>& list, const PairRecord& record, const TouchState& touch,
                          PairFlags kind, const PointRef* refs, uint32_t refCount) {
    TouchEvent e;
    e.actor0 = record.actor0;
    e.actor1 = record.actor1;
    e.shape0 = touch.shape0;
    e.shape1 = touch.shape1;
    e.events = kind;
    e.trigger = touch.trigger != NoTrigger;
    e.firstPoint = static_cast<uint32_t>(points.size());
    if (touch.trigger == TriggerSecond) {
        // Trigger events name the trigger shape first.
        std::swap(e.actor0, e.actor1);
        std::swap(e.shape0, e.shape1);
    }
    if (!e.trigger && kind != PairNotifyTouchLost && (touch.pairFlags & PairNotifyContactPoints)) {
        for (uint32_t i = 0; i < refCount; ++i) {
            const btManifoldPoint& p = *refs[i].point;
            const bool swapped = refs[i].swapped;
            const btVector3 normal = swapped ? -p.m_normalWorldOnB : p.m_normalWorldOnB;
            ContactPairPoint out;
            out.position = fromBt(p.m_positionWorldOnB);
            out.separation = p.m_distance1;
            out.normal = fromBt(normal);
            out.impulse = fromBt(normal * p.getAppliedImpulse());
            out.internalFaceIndex0 = originalFace(*touch.shape0, swapped ? p.m_partId1 : p.m_partId0);
            out.internalFaceIndex1 = originalFace(*touch.shape1, swapped ? p.m_partId0 : p.m_partId1);
            points.push_back(out);
        }
        e.pointCount = refCount;
    }
    list.push_back(e);
}

uint32_t ContactReports::gather(PairRecord& record, btPersistentManifold* const* manifolds, uint32_t manifoldCount,
                                bool responds) {
    if (record.quietWhileTouching()) {
        uint32_t pointCount = 0;
        for (uint32_t m = 0; m < manifoldCount; ++m)
            pointCount += static_cast<uint32_t>(manifolds[m]->getNumContacts());
        if (pointCount > 0)
            return responds ? 3u * pointCount : 0u;
    }
    const btCollisionObject* body0 = record.body0;
    pointRefs.clear();
    for (uint32_t m = 0; m < manifoldCount; ++m) {
        const btPersistentManifold* manifold = manifolds[m];
        const bool swapped = manifold->getBody0() != body0;
        for (int k = 0; k < manifold->getNumContacts(); ++k) {
            const btManifoldPoint& p = manifold->getContactPoint(k);
            // A body of one convex shape leaves its child index unset (-1): it is child 0.
            const int index0 = std::max(0, p.m_index0), index1 = std::max(0, p.m_index1);
            pointRefs.push_back({swapped ? index1 : index0, swapped ? index0 : index1, &p, swapped});
        }
    }
    // Group the points by shape pair (a handful of points: insertion sort keeps their order).
    if (record.count0 * record.count1 > 1) {
        for (size_t i = 1; i < pointRefs.size(); ++i) {
            const PointRef ref = pointRefs[i];
            size_t j = i;
            for (; j > 0 && (pointRefs[j - 1].child0 > ref.child0 ||
                             (pointRefs[j - 1].child0 == ref.child0 && pointRefs[j - 1].child1 > ref.child1));
                 --j)
                pointRefs[j] = pointRefs[j - 1];
            pointRefs[j] = ref;
        }
    }

    newTouches.clear();
    for (size_t g = 0; g < pointRefs.size();) {
        size_t h = g + 1;
        while (h < pointRefs.size() && pointRefs[h].child0 == pointRefs[g].child0 &&
               pointRefs[h].child1 == pointRefs[g].child1)
            ++h;
        const ShapePairDecision* d = record.decision(pointRefs[g].child0, pointRefs[g].child1);
        if (d && d->pass) {
            TouchState touch{record.shape0(pointRefs[g].child0), record.shape1(pointRefs[g].child1), d->pairFlags,
                             d->trigger};
            newTouches.push_back(touch);
            const bool before = std::any_of(record.touches.begin(), record.touches.end(),
                                            [&](const TouchState& t) { return sameShapes(t, touch); });
            const PairFlags kind = before ? PairNotifyTouchPersists : PairNotifyTouchFound;
            const bool wanted = (touch.pairFlags & kind) && !(touch.trigger && kind == PairNotifyTouchPersists);
            if (wanted)
                emit(stepEvents, record, touch, kind, &pointRefs[g], static_cast<uint32_t>(h - g));
        }
        g = h;
    }
    for (const TouchState& old : record.touches) {
        const bool still = std::any_of(newTouches.begin(), newTouches.end(),
                                       [&](const TouchState& t) { return sameShapes(t, old); });
        if (!still && (old.pairFlags & PairNotifyTouchLost))
            emit(stepEvents, record, old, PairNotifyTouchLost, nullptr, 0);
    }
    record.touches.clear();
    for (const TouchState& t : newTouches)
        record.touches.push_back(t);
    return responds ? 3u * static_cast<uint32_t>(pointRefs.size()) : 0u;
}

void ContactReports::addEnded(const PairRecord& record, const TouchState& touch) {
    if (touch.pairFlags & PairNotifyTouchLost)
        emit(ended, record, touch, PairNotifyTouchLost, nullptr, 0);
}

void ContactReports::deliver(SimulationEventCallback* callback) {
    if (callback) {
        triggerScratch.clear();
        const std::vector<TouchEvent>* lists[2] = {&ended, &stepEvents};
        // Contact events of one actor pair that follow each other form one report.
        RigidActor* groupActors[2] = {nullptr, nullptr};
        auto flush = [&] {
            if (contactScratch.empty())
                return;
            ContactPairHeader header;
            header.actors[0] = groupActors[0];
            header.actors[1] = groupActors[1];
            header.flags = static_cast<uint16_t>((groupActors[0]->isReleased() ? DeletedActor0 : 0) |
                                                 (groupActors[1]->isReleased() ? DeletedActor1 : 0));
            callback->onContact(header, contactScratch.data(), static_cast<uint32_t>(contactScratch.size()));
            contactScratch.clear();
        };
        for (const std::vector<TouchEvent>* list : lists) {
            for (const TouchEvent& e : *list) {
                const bool deleted0 = e.shape0->getActor()->isReleased();
                const bool deleted1 = e.shape1->getActor()->isReleased();
                // A released shape only reports that its pairs ended.
                if ((deleted0 || deleted1) && e.events != PairNotifyTouchLost)
                    continue;
                if (e.trigger) {
                    TriggerPair t;
                    t.triggerShape = e.shape0;
                    t.otherShape = e.shape1;
                    t.status = e.events;
                    t.flags = static_cast<uint8_t>((deleted0 ? DeletedTriggerShape : 0) | (deleted1 ? DeletedOtherShape : 0));
                    triggerScratch.push_back(t);
                    continue;
                }
                if (e.actor0 != groupActors[0] || e.actor1 != groupActors[1]) {
                    flush();
                    groupActors[0] = e.actor0;
                    groupActors[1] = e.actor1;
                }
                ContactPair pair;
                pair.shapes[0] = e.shape0;
                pair.shapes[1] = e.shape1;
                pair.contactCount = static_cast<uint16_t>(std::min<uint32_t>(e.pointCount, 0xFFFF));
                pair.flags = static_cast<uint16_t>((deleted0 ? DeletedShape0 : 0) | (deleted1 ? DeletedShape1 : 0));
                pair.events = e.events;
                pair.points = e.pointCount ? &points[e.firstPoint] : nullptr;
                contactScratch.push_back(pair);
            }
        }
        flush();
        if (!triggerScratch.empty())
            callback->onTrigger(triggerScratch.data(), static_cast<uint32_t>(triggerScratch.size()));
    }
    clear();
}

void ContactReports::clear() {
    ended.clear();
    stepEvents.clear();
    points.clear();
    contactScratch.clear();
    triggerScratch.clear();
}

} // namespace phys::detail
