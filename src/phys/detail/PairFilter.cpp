#include "phys/detail/PairFilter.h"

#include "phys/RigidBody.h"
#include "phys/Shape.h"
#include "phys/detail/Backs.h"
#include "phys/detail/ContactReports.h"
#include "phys/detail/SceneCore.h"
#include "phys/detail/StepBroadphase.h"
#include "phys/detail/StepWorld.h"

#include <BulletCollision/BroadphaseCollision/btBroadphaseInterface.h>

#include <algorithm>
#include <iterator>
#include <utility>

namespace phys::detail {

namespace {

bool isKinematic(const RigidActor& a) { return a.back().kinematic; }
bool isStatic(const RigidActor& a) { return a.back().isStatic; }

bool shapeCanPair(const Shape& s) { return (s.back().flags & (ShapeSimulation | ShapeTrigger)) != 0; }

bool sameDecisions(const SmallVector<ShapePairDecision, 4>& a, const SmallVector<ShapePairDecision, 4>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].pass != b[i].pass || a[i].trigger != b[i].trigger || a[i].pairFlags != b[i].pairFlags)
            return false;
    return true;
}

} // namespace

FilterObjectAttributes attributesOf(const RigidActor& actor, const Shape& shape) {
    FilterObjectAttributes a = static_cast<uint32_t>(actor.getType());
    if (isKinematic(actor))
        a |= FilterObjectKinematic;
    if (shape.back().flags & ShapeTrigger)
        a |= FilterObjectTrigger;
    return a;
}

bool PairRecord::quietWhileTouching() const {
    if (count0 != 1 || count1 != 1 || touches.size() != 1)
        return false;
    const TouchState& touch = touches[0];
    const ShapePairDecision* d = decision(0, 0);
    const bool persistsWanted = touch.trigger == NoTrigger && (touch.pairFlags & PairNotifyTouchPersists);
    return !persistsWanted && d && d->pass && d->trigger == touch.trigger && touch.shape0 == first0 &&
           touch.shape1 == first1;
}

Shape* PairRecord::shape0(int child) const { return count0 == 1 ? first0 : actor0->back().children[child]; }

Shape* PairRecord::shape1(int child) const { return count1 == 1 ? first1 : actor1->back().children[child]; }

bool PairRecord::shapesPass(const ShapeBack& a, const ShapeBack& b) const {
    const ShapePairDecision* d = a.actor == actor0 ? decision(a.childIndex, b.childIndex) : decision(b.childIndex, a.childIndex);
    return d && d->pass;
}

PairFilter::PairFilter(SceneCore& core_) : core(core_) {
    // Room for the pairs of a small level from the start: the lists then grow no more while
    // objects first meet and part.
    constexpr std::size_t startingRoom = 64;
    freeRecords.reserve(startingRoom);
    spareEntries.reserve(startingRoom);
}

PairFilter::~PairFilter() = default;

uint64_t PairFilter::keyOf(const btBroadphaseProxy* a, const btBroadphaseProxy* b) {
    uint64_t ua = static_cast<uint32_t>(a->m_uniqueId), ub = static_cast<uint32_t>(b->m_uniqueId);
    if (ua > ub)
        std::swap(ua, ub);
    return (ua << 32) | ub;
}

bool PairFilter::actorsMayPair(const RigidActor& a, const RigidActor& b) const {
    if (&a == &b || a.isReleased() || b.isReleased())
        return false;
    const bool dynamicA = !isStatic(a) && !isKinematic(a);
    const bool dynamicB = !isStatic(b) && !isKinematic(b);
    if (!dynamicA && !dynamicB && (!core.desc.reportKinematicPairs || (isStatic(a) && isStatic(b))))
        return false;
    if (!excludedActorPairs.empty()) {
        const auto key = &a < &b ? std::make_pair(&a, &b) : std::make_pair(&b, &a);
        if (excludedActorPairs.count(key))
            return false;
    }
    return true;
}

bool PairFilter::needBroadphaseCollision(btBroadphaseProxy* proxy0, btBroadphaseProxy* proxy1) const {
    const int group0 = proxy0->m_collisionFilterGroup, group1 = proxy1->m_collisionFilterGroup;
    if (!(group0 & group1 & ActorProxyGroup))
        return (group0 & proxy1->m_collisionFilterMask) != 0 && (group1 & proxy0->m_collisionFilterMask) != 0;
    // Read from the proxies (the broadphase has them at hand, the bodies it does not); their
    // groups carry the same kinds as the actors' backs. Released actors have left Bullet
    // before any pair is sought.
    constexpr int fixed = btBroadphaseProxy::StaticFilter | btBroadphaseProxy::KinematicFilter;
    if ((group0 & fixed) && (group1 & fixed) &&
        (!core.desc.reportKinematicPairs || (group0 & group1 & btBroadphaseProxy::StaticFilter)))
        return false;
    if (excludedActorPairs.empty())
        return true;
    const auto* o0 = static_cast<const btCollisionObject*>(proxy0->m_clientObject);
    const auto* o1 = static_cast<const btCollisionObject*>(proxy1->m_clientObject);
    return actorsMayPair(*actorOf(o0), *actorOf(o1));
}

btBroadphasePair* PairFilter::addOverlappingPair(btBroadphaseProxy* proxy0, btBroadphaseProxy* proxy1) {
    if (core.tearingDown)
        return nullptr;
    if (proxy0->m_uniqueId > proxy1->m_uniqueId)
        std::swap(proxy0, proxy1);
    const uint64_t key = keyOf(proxy0, proxy1);
    if (records.count(key))
        return nullptr;
    PairRecord* record = newRecord();
    record->proxy0 = proxy0;
    record->proxy1 = proxy1;
    record->actor0 = actorOf(static_cast<btCollisionObject*>(proxy0->m_clientObject));
    record->actor1 = actorOf(static_cast<btCollisionObject*>(proxy1->m_clientObject));
    record->body0 = static_cast<btCollisionObject*>(proxy0->m_clientObject);
    if (!record->actor0 || !record->actor1) {
        freeRecord(record);
        return nullptr;
    }
    addRecordEntry(key, record);
    newKeys.push_back(key);
    ++broadphaseAdds;
    return nullptr;
}

void* PairFilter::removeOverlappingPair(btBroadphaseProxy* proxy0, btBroadphaseProxy* proxy1, btDispatcher*) {
    if (core.tearingDown)
        return nullptr;
    auto it = records.find(keyOf(proxy0, proxy1));
    if (it == records.end())
        return nullptr;
    endRecord(*it->second);
    freeRecord(it->second);
    removeRecordEntry(it);
    ++broadphaseRemoves;
    return nullptr;
}

void PairFilter::removeOverlappingPairsContainingProxy(btBroadphaseProxy* proxy, btDispatcher*) {
    if (core.tearingDown)
        return;
    for (auto it = records.begin(); it != records.end();) {
        if (it->second->proxy0 == proxy || it->second->proxy1 == proxy) {
            endRecord(*it->second);
            freeRecord(it->second);
            it = removeRecordEntry(it);
            ++broadphaseRemoves;
        } else {
            ++it;
        }
    }
}

void PairFilter::endRecord(PairRecord& record) {
    if (record.countedUnresolved) {
        addUnresolvedPairs(record.actor0->back().body, -1);
        addUnresolvedPairs(record.actor1->back().body, -1);
        record.countedUnresolved = false;
    }
    for (const TouchState& touch : record.touches)
        core.reports->addEnded(record, touch);
    record.touches.clear();
    const bool removed = record.actor0->isReleased() || record.actor1->isReleased();
    for (const CallbackPair& p : record.callbackPairs)
        if (p.notifyLost)
            lostNotifications.push_back({p, removed});
    record.callbackPairs.clear();
}

void PairFilter::decide(PairRecord& record) {
    const std::vector<Shape*>& shapes0 = record.actor0->back().children;
    const std::vector<Shape*>& shapes1 = record.actor1->back().children;
    record.count0 = static_cast<uint32_t>(shapes0.size());
    record.count1 = static_cast<uint32_t>(shapes1.size());
    record.first0 = shapes0.empty() ? nullptr : shapes0[0];
    record.first1 = shapes1.empty() ? nullptr : shapes1[0];
    record.decisions.assign(static_cast<size_t>(record.count0) * record.count1, ShapePairDecision());
    record.callbackPairs.clear();

    const SceneDesc& desc = core.desc;
    const void* block = core.shaderData.empty() ? nullptr : core.shaderData.data();
    const uint32_t blockSize = static_cast<uint32_t>(core.shaderData.size());
    for (uint32_t i = 0; i < record.count0; ++i) {
        Shape& s0 = *shapes0[i];
        if (!shapeCanPair(s0))
            continue;
        for (uint32_t j = 0; j < record.count1; ++j) {
            Shape& s1 = *shapes1[j];
            if (!shapeCanPair(s1))
                continue;
            const bool trigger0 = (s0.back().flags & ShapeTrigger) != 0;
            const bool trigger1 = (s1.back().flags & ShapeTrigger) != 0;
            if (trigger0 && trigger1)
                continue; // two trigger volumes never pair
            const FilterObjectAttributes a0 = attributesOf(*record.actor0, s0);
            const FilterObjectAttributes a1 = attributesOf(*record.actor1, s1);
            const FilterData d0 = s0.getSimulationFilterData();
            const FilterData d1 = s1.getSimulationFilterData();
            PairFlags pairFlags = 0;
            const FilterFlags result = desc.filterShader(a0, d0, a1, d1, pairFlags, block, blockSize);
            if (result & (FilterKill | FilterSuppress))
                continue;
            if ((result & FilterCallback) && desc.filterCallback) {
                CallbackPair cp{nextPairId++, (result & FilterNotify) == FilterNotify, &s0, &s1, a0, a1, d0, d1};
                const FilterFlags answer = desc.filterCallback->pairFound(cp.pairId, a0, d0, record.actor0, &s0, a1,
                                                                          d1, record.actor1, &s1, pairFlags);
                record.callbackPairs.push_back(cp);
                if (answer & (FilterKill | FilterSuppress))
                    continue;
            }
            ShapePairDecision& d = record.decisions[static_cast<size_t>(i) * record.count1 + j];
            d.pass = true;
            d.trigger = trigger0 ? TriggerFirst : trigger1 ? TriggerSecond : NoTrigger;
            d.pairFlags = pairFlags;
        }
    }
    record.decided = true;
    summarize(record);
}

void PairFilter::summarize(PairRecord& record) {
    record.anyPass = record.resolve = record.reports = false;
    for (const ShapePairDecision& d : record.decisions) {
        if (!d.pass)
            continue;
        record.anyPass = true;
        if (!d.trigger && (d.pairFlags & PairSolveContact))
            record.resolve = true;
        const PairFlags notify = d.trigger ? (PairNotifyTouchFound | PairNotifyTouchLost)
                                           : (PairNotifyTouchFound | PairNotifyTouchPersists | PairNotifyTouchLost);
        if (d.pairFlags & notify)
            record.reports = true;
    }
    // Actors without such pairs let the dispatcher skip the per-pair response lookup.
    const bool unresolved = record.anyPass && !record.resolve;
    if (unresolved != record.countedUnresolved) {
        const int delta = unresolved ? 1 : -1;
        addUnresolvedPairs(record.actor0->back().body, delta);
        addUnresolvedPairs(record.actor1->back().body, delta);
        record.countedUnresolved = unresolved;
    }
    publish(record);
}

void PairFilter::publish(PairRecord& record) {
    btBroadphasePair* pair = core.broadphase->getOverlappingPairCache()->findPair(record.proxy0, record.proxy1);
    if (!pair)
        return;
    uintptr_t tag = reinterpret_cast<uintptr_t>(&record);
    if (record.anyPass)
        tag |= TagPasses;
    if (record.reports)
        tag |= TagReports;
    if (record.resolve)
        tag |= TagResolves;
    tag |= quietBitsOf(record);
    pair->m_internalInfo1 = reinterpret_cast<void*>(tag);
}

void PairFilter::refilter(PairRecord& record) {
    const auto before = record.decisions;
    const uint32_t count0 = record.count0, count1 = record.count1;
    for (const CallbackPair& p : record.callbackPairs)
        if (p.notifyLost)
            lostNotifications.push_back({p, false});
    decide(record);

    // A touching pair that no longer passes (or changed kind) ends with one "lost".
    for (size_t i = 0; i < record.touches.size();) {
        TouchState& touch = record.touches[i];
        const ShapePairDecision* d = record.decision(touch.shape0->back().childIndex, touch.shape1->back().childIndex);
        if (!d || !d->pass || d->trigger != touch.trigger) {
            core.reports->addEnded(record, touch);
            record.touches.erase(i);
        } else {
            touch.pairFlags = d->pairFlags;
            ++i;
        }
    }
    publish(record); // its touches changed after decide() published it
    if (count0 != record.count0 || count1 != record.count1 || !sameDecisions(before, record.decisions))
        cleanAlgorithm(record);
}

void PairFilter::cleanAlgorithm(PairRecord& record) {
    btOverlappingPairCache* cache = core.broadphase->getOverlappingPairCache();
    if (btBroadphasePair* pair = cache->findPair(record.proxy0, record.proxy1))
        cache->cleanOverlappingPair(*pair, core.world->getDispatcher());
}

void PairFilter::filterPass(const std::vector<RigidActor*>& changedActors) {
    for (uint64_t key : newKeys) {
        auto it = records.find(key);
        if (it != records.end() && !it->second->decided)
            decide(*it->second);
    }
    newKeys.clear();

    if (!changedActors.empty()) {
        std::vector<const RigidActor*> changed(changedActors.begin(), changedActors.end());
        std::sort(changed.begin(), changed.end());
        auto isChanged = [&](const RigidActor* a) { return std::binary_search(changed.begin(), changed.end(), a); };
        for (auto& [key, record] : records)
            if (record->decided && (isChanged(record->actor0) || isChanged(record->actor1)))
                refilter(*record);
    }

    runStatusChanges();

    if (core.desc.filterCallback)
        for (const LostNotification& n : lostNotifications)
            core.desc.filterCallback->pairLost(n.pair.pairId, n.pair.attributes0, n.pair.data0, n.pair.attributes1,
                                               n.pair.data1, n.objectRemoved);
    lostNotifications.clear();
}

void PairFilter::runStatusChanges() {
    SimulationFilterCallback* callback = core.desc.filterCallback;
    if (!callback)
        return;
    for (int guard = 0; guard < 100000; ++guard) {
        uint32_t pairId = 0;
        PairFlags pairFlags = 0;
        FilterFlags filterFlags = 0;
        if (!callback->statusChange(pairId, pairFlags, filterFlags))
            return;
        for (auto& [key, record] : records) {
            auto cp = std::find_if(record->callbackPairs.begin(), record->callbackPairs.end(),
                                   [&](const CallbackPair& p) { return p.pairId == pairId; });
            if (cp == record->callbackPairs.end())
                continue;
            const auto before = record->decisions;
            ShapePairDecision* d = record->decision(cp->shape0->back().childIndex, cp->shape1->back().childIndex);
            if (d) {
                d->pass = (filterFlags & (FilterKill | FilterSuppress)) == 0;
                d->pairFlags = pairFlags;
            }
            summarize(*record);
            for (size_t i = 0; i < record->touches.size();) {
                const TouchState& t = record->touches[i];
                if (t.shape0 == cp->shape0 && t.shape1 == cp->shape1 && d && !d->pass) {
                    core.reports->addEnded(*record, t);
                    record->touches.erase(i);
                } else {
                    ++i;
                }
            }
            publish(*record);
            if (!sameDecisions(before, record->decisions))
                cleanAlgorithm(*record);
            break;
        }
    }
}

void PairFilter::excludeActorPair(const RigidActor& a, const RigidActor& b, bool exclude) {
    const auto key = &a < &b ? std::make_pair(&a, &b) : std::make_pair(&b, &a);
    if (exclude) {
        ++excludedActorPairs[key];
        return;
    }
    auto it = excludedActorPairs.find(key);
    if (it != excludedActorPairs.end() && --it->second == 0)
        excludedActorPairs.erase(it);
}

PairRecord* PairFilter::find(const btCollisionObject* a, const btCollisionObject* b) const {
    btBroadphaseProxy* pa = const_cast<btCollisionObject*>(a)->getBroadphaseHandle();
    btBroadphaseProxy* pb = const_cast<btCollisionObject*>(b)->getBroadphaseHandle();
    if (!pa || !pb)
        return nullptr;
    btBroadphasePair* pair = core.broadphase->getOverlappingPairCache()->findPair(pa, pb);
    return pair ? recordFor(*pair) : nullptr;
}

namespace {
class CollectProxies : public btBroadphaseAabbCallback {
public:
    explicit CollectProxies(btBroadphaseProxy* self_) : self(self_) {}
    bool process(const btBroadphaseProxy* proxy) override {
        if (proxy != self)
            found.push_back(const_cast<btBroadphaseProxy*>(proxy));
        return true;
    }
    btBroadphaseProxy* self;
    std::vector<btBroadphaseProxy*> found;
};
} // namespace

void PairFilter::updateActorPairs(RigidActor& actor) {
    btRigidBody* body = actor.back().body;
    if (!body || !body->getBroadphaseHandle())
        return;
    btBroadphaseProxy* self = body->getBroadphaseHandle();
    btOverlappingPairCache* cache = core.broadphase->getOverlappingPairCache();
    btDispatcher* dispatcher = core.world->getDispatcher();

    std::vector<std::pair<btBroadphaseProxy*, btBroadphaseProxy*>> gone;
    for (auto& [key, record] : records)
        if ((record->proxy0 == self || record->proxy1 == self) && !actorsMayPair(*record->actor0, *record->actor1))
            gone.emplace_back(record->proxy0, record->proxy1);
    for (auto& [p0, p1] : gone)
        cache->removeOverlappingPair(p0, p1, dispatcher);

    CollectProxies overlapping(self);
    core.broadphase->aabbTest(self->m_aabbMin, self->m_aabbMax, overlapping);
    for (btBroadphaseProxy* other : overlapping.found)
        cache->addOverlappingPair(self, other);
}

PairRecord* PairFilter::newRecord() {
    if (freeRecords.empty())
        return &recordPool.emplace_back();
    PairRecord* record = freeRecords.back();
    freeRecords.pop_back();
    return record;
}

void PairFilter::freeRecord(PairRecord* record) {
    // Made anew for the next pair; its lists keep their room.
    SmallVector<ShapePairDecision, 4> decisions = std::move(record->decisions);
    SmallVector<TouchState, 2> touches = std::move(record->touches);
    std::vector<CallbackPair> callbackPairs = std::move(record->callbackPairs);
    *record = PairRecord();
    decisions.clear();
    touches.clear();
    callbackPairs.clear();
    record->decisions = std::move(decisions);
    record->touches = std::move(touches);
    record->callbackPairs = std::move(callbackPairs);
    freeRecords.push_back(record);
}

void PairFilter::addRecordEntry(uint64_t key, PairRecord* record) {
    if (spareEntries.empty()) {
        records.emplace(key, record);
        return;
    }
    Records::node_type entry = std::move(spareEntries.back());
    spareEntries.pop_back();
    entry.key() = key;
    entry.mapped() = record;
    records.insert(std::move(entry));
}

PairFilter::Records::iterator PairFilter::removeRecordEntry(Records::iterator entry) {
    const Records::iterator after = std::next(entry);
    spareEntries.push_back(records.extract(entry));
    return after;
}

void PairFilter::clear() {
    records.clear();
    spareEntries.clear();
    recordPool.clear();
    freeRecords.clear();
    newKeys.clear();
    lostNotifications.clear();
    processed.clear();
    processedManifolds.resizeNoInitialize(0);
}

} // namespace phys::detail
