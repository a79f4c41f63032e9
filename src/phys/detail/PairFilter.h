#pragma once

#include "phys/Filtering.h"
#include "phys/detail/SmallVector.h"

#include <BulletCollision/BroadphaseCollision/btOverlappingPairCache.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

// Broadphase pairs and their filter decisions. Bullet finds the overlapping actor pairs
// (one collision object per actor); for each new pair the main thread asks the filter
// shader (and callback) about every shape pair and keeps the result in a PairRecord, which
// the worker only reads. A record also keeps which of its shape pairs touched after the
// last step in which Bullet looked at the pair, for the touch reports.

class btCollisionAlgorithm;
class btCollisionObject;
class btPersistentManifold;

namespace phys {
class RigidActor;
class Shape;
}

namespace phys::detail {

class SceneCore;
struct ShapeBack;

// Which side of a shape pair is a trigger volume: none, the first or the second shape.
enum TriggerSide : uint8_t { NoTrigger = 0, TriggerFirst = 1, TriggerSecond = 2 };

struct ShapePairDecision {
    PairFlags pairFlags = 0;
    bool pass = false;
    uint8_t trigger = NoTrigger;
};

// A shape pair that touched at the end of the last looked-at step.
struct TouchState {
    Shape* shape0 = nullptr;
    Shape* shape1 = nullptr;
    PairFlags pairFlags = 0;
    uint8_t trigger = NoTrigger;
};

// A shape pair that went through the filter callback.
struct CallbackPair {
    uint32_t pairId = 0;
    bool notifyLost = false; // the shader asked to hear when the pair ends
    Shape* shape0 = nullptr;
    Shape* shape1 = nullptr;
    FilterObjectAttributes attributes0 = 0, attributes1 = 0;
    FilterData data0, data1;
};

// Aligned to 32: the low five bits of its address carry the pair's tag (see PairTag).
struct alignas(32) PairRecord {
    // Read by the worker every step: kept together.
    bool decided = false;
    bool anyPass = false;
    bool resolve = false; // at least one passing non-trigger shape pair solves contacts
    bool reports = false; // at least one passing shape pair reports touches
    uint32_t count0 = 0, count1 = 0;          // shapes of each actor when decided
    const btCollisionObject* body0 = nullptr; // actor0's collision object
    RigidActor* actor0 = nullptr;             // the actor of the proxy with the lower id
    RigidActor* actor1 = nullptr;
    Shape* first0 = nullptr; // the first shape of each actor
    Shape* first1 = nullptr;
    SmallVector<ShapePairDecision, 4> decisions; // [child0 * count1 + child1]
    SmallVector<TouchState, 2> touches;

    // Main thread only.
    btBroadphaseProxy* proxy0 = nullptr;
    btBroadphaseProxy* proxy1 = nullptr;
    std::vector<CallbackPair> callbackPairs;
    bool countedUnresolved = false; // counted in both actors' unresolvedPairs

    ShapePairDecision* decision(int child0, int child1) {
        return const_cast<ShapePairDecision*>(static_cast<const PairRecord*>(this)->decision(child0, child1));
    }
    const ShapePairDecision* decision(int child0, int child1) const {
        if (child0 < 0 || child1 < 0 || static_cast<uint32_t>(child0) >= count0 ||
            static_cast<uint32_t>(child1) >= count1)
            return nullptr;
        return &decisions[static_cast<size_t>(child0) * count1 + static_cast<size_t>(child1)];
    }
    // The shapes of each actor by child index (valid indices only).
    Shape* shape0(int child) const;
    Shape* shape1(int child) const;
    // Decision for two Bullet child shapes in either order (worker).
    bool shapesPass(const ShapeBack& a, const ShapeBack& b) const;
    // One shape on each side, already touching, and nobody asks to hear that the touch
    // persists: while the pair has contact points there is nothing to report (worker).
    bool quietWhileTouching() const;
};

// What the filter shader is told of a shape: its actor's type, kinematic and trigger bits.
FilterObjectAttributes attributesOf(const RigidActor& actor, const Shape& shape);

class PairFilter : public btOverlapFilterCallback, public btOverlappingPairCallback {
public:
    explicit PairFilter(SceneCore& core);
    ~PairFilter() override;

    // Bullet: whether two proxies may pair at all.
    bool needBroadphaseCollision(btBroadphaseProxy* proxy0, btBroadphaseProxy* proxy1) const override;
    // Bullet: a pair was added to / removed from the pair cache (main thread).
    btBroadphasePair* addOverlappingPair(btBroadphaseProxy* proxy0, btBroadphaseProxy* proxy1) override;
    void* removeOverlappingPair(btBroadphaseProxy* proxy0, btBroadphaseProxy* proxy1, btDispatcher* dispatcher) override;
    void removeOverlappingPairsContainingProxy(btBroadphaseProxy* proxy, btDispatcher* dispatcher) override;

    // Whether two actors may pair at all (both static or kinematic only when asked for,
    // never two static ones, never a released one, never an excluded pair).
    bool actorsMayPair(const RigidActor& a, const RigidActor& b) const;

    // After the broadphase: decide new pairs, filter again the pairs of changed actors, let
    // the filter callback change pairs, then tell the callback about pairs that ended.
    void filterPass(const std::vector<RigidActor*>& changedActors);

    // Pairs of these two actors never form while excluded (joints without collision). Counted:
    // each exclusion needs its own inclusion. Takes effect at the next push.
    void excludeActorPair(const RigidActor& a, const RigidActor& b, bool exclude);

    // The record of a broadphase pair sits in the pair itself (its internal info), with the
    // pair's summary in the pointer's low bits, so the narrow phase need not read the record
    // to skip or process the pair. While a pair's touch state stays as it was, it has nothing
    // to report and the narrow phase need not hand it on: TagQuietTouching, the record is
    // quietWhileTouching() (so it stays quiet while it has contact points); TagApart, it had
    // no touches (so it stays quiet while it has none).
    enum PairTag : uintptr_t {
        TagPasses = 1,
        TagReports = 2,
        TagResolves = 4,
        TagQuietTouching = 8,
        TagApart = 16,
        TagBits = 31
    };
    static uintptr_t quietBitsOf(const PairRecord& record) {
        if (record.touches.empty())
            return TagApart;
        return record.quietWhileTouching() ? uintptr_t(TagQuietTouching) : uintptr_t(0);
    }
    static uintptr_t tagOf(const btBroadphasePair& pair) { return reinterpret_cast<uintptr_t>(pair.m_internalInfo1); }
    static PairRecord* recordOf(uintptr_t tag) { return reinterpret_cast<PairRecord*>(tag & ~uintptr_t(TagBits)); }
    PairRecord* recordFor(const btBroadphasePair& pair) const { return recordOf(tagOf(pair)); }
    // Either thread: the record of two collision objects, or null.
    PairRecord* find(const btCollisionObject* a, const btCollisionObject* b) const;

    // Worker, after gathering a pair's reports: its quiet bit follows its new touches.
    static void retag(btBroadphasePair& pair, const PairRecord& record) {
        const uintptr_t tag = (tagOf(pair) & ~uintptr_t(TagQuietTouching | TagApart)) | quietBitsOf(record);
        pair.m_internalInfo1 = reinterpret_cast<void*>(tag);
    }

    // Removes pairs of an actor that may no longer pair, and adds the pairs it may now form.
    void updateActorPairs(RigidActor& actor);

    // Drops everything without reports or callbacks (scene teardown).
    void clear();

    // Worker, per step: the reporting pairs Bullet looked at, with their manifolds (collected
    // while the narrow phase has them at hand), and the solver rows of resolving contacts.
    struct Processed {
        PairRecord* record;
        uint32_t firstManifold;
        uint32_t manifoldCount;
        bool responds; // its contacts go to the solver (counted as solver rows)
        btBroadphasePair* pair; // where the tag lives (the pair array holds still during a step)
    };
    std::vector<Processed> processed;
    btAlignedObjectArray<btPersistentManifold*> processedManifolds;
    uint32_t contactRows = 0;
    uint32_t undecidedPairs = 0; // pairs met by the step before being filtered (should stay 0)
    uint32_t broadphaseAdds = 0;
    uint32_t broadphaseRemoves = 0;

private:
    static uint64_t keyOf(const btBroadphaseProxy* a, const btBroadphaseProxy* b);
    void decide(PairRecord& record);
    void summarize(PairRecord& record);
    void publish(PairRecord& record);
    void refilter(PairRecord& record);
    void endRecord(PairRecord& record);
    void cleanAlgorithm(PairRecord& record);
    void runStatusChanges();

    SceneCore& core;
    PairRecord* newRecord();
    void freeRecord(PairRecord* record);
    using Records = std::unordered_map<uint64_t, PairRecord*>;
    // A pair's entry in `records`, made from a node that an ended pair left when there is one.
    void addRecordEntry(uint64_t key, PairRecord* record);
    // Takes the entry out and keeps its node; returns the entry after it.
    Records::iterator removeRecordEntry(Records::iterator entry);

    Records records;
    // Nodes of ended pairs' entries: pairs begin and end as objects move, and a node kept
    // saves the map an allocation for the next.
    std::vector<Records::node_type> spareEntries;
    std::deque<PairRecord> recordPool; // records made together stay together in memory
    std::vector<PairRecord*> freeRecords;
    std::vector<uint64_t> newKeys;
    struct LostNotification {
        CallbackPair pair;
        bool objectRemoved;
    };
    std::vector<LostNotification> lostNotifications;
    std::map<std::pair<const RigidActor*, const RigidActor*>, uint32_t> excludedActorPairs;
    uint32_t nextPairId = 1;
};

} // namespace phys::detail
