#pragma once

#include <BulletCollision/BroadphaseCollision/btDbvt.h>
#include <BulletCollision/BroadphaseCollision/btDbvtBroadphase.h>

#include <unordered_map>
#include <vector>

// Bullet's tree broadphase, with one saving: static and kinematic actors never pair with each
// other (unless the scene reports kinematic pairs), so when one of them moves it looks for new
// pairs only among the proxies it can pair with (dynamic actors, anything not an actor), kept
// in a tree of their own, instead of among every proxy near it. A crowd's large kinematic
// volumes (vision cones) moving every frame overlap hundreds of each other; their pair
// search then costs what the few dynamic bodies near them cost.
//
// It does what Bullet does to the bit: the partners' tree holds the partners' own leaf boxes,
// kept in step whenever a partner's leaf changes, so the pairs found are Bullet's; they go
// into the cache in the order Bullet's search would meet them (the cache's order is the
// step's); and the leaves Bullet's search would have met are counted as it counts them, since
// the count sizes the pair cleanup before each step (only until it covers every pair).

namespace phys::detail {

class StepBroadphase : public btDbvtBroadphase {
public:
    explicit StepBroadphase(bool kinematicPairs) : kinematicPairs(kinematicPairs) {}
    ~StepBroadphase() override;

    btBroadphaseProxy* createProxy(const btVector3& aabbMin, const btVector3& aabbMax, int shapeType, void* userPtr,
                                   int collisionFilterGroup, int collisionFilterMask, btDispatcher* dispatcher) override;
    void destroyProxy(btBroadphaseProxy* proxy, btDispatcher* dispatcher) override;
    void setAabb(btBroadphaseProxy* proxy, const btVector3& aabbMin, const btVector3& aabbMax,
                 btDispatcher* dispatcher) override;
    // The proxy's group changed (an actor became kinematic or dynamic): it joins or leaves
    // the partners.
    void groupChanged(btBroadphaseProxy* proxy);
    void calculateOverlappingPairs(btDispatcher* dispatcher) override;

    // Whether a moving proxy of this group looks for pairs among the partners only.
    bool pairsWithPartnersOnly(int group) const;
    // Proxies in the partners' tree (for tests).
    std::size_t partnerCount() const { return partnerLeaves.size(); }

    // While set, every move searches as Bullet does: pairs are about to be added other than
    // by a search (an actor's pairs made anew), which the count of a shortened search (see
    // setAabb) cannot foresee.
    bool exact = false;

private:
    // Puts the proxy's leaf box into the partners' tree, or takes it out, as its group says.
    void follow(btDbvtProxy& proxy);
    // Leaves of the tree other than the leaf whose boxes meet the leaf's, counted up to the limit.
    int countMeeting(const btDbvt& tree, const btDbvtNode* leaf, int limit);
    // Whether Bullet's search for a moved leaf meets the one proxy before the other.
    bool metBefore(const btDbvtProxy* a, const btDbvtProxy* b);

    bool kinematicPairs;
    btDbvt partners;
    std::unordered_map<const btDbvtProxy*, btDbvtNode*> partnerLeaves;
    // Working lists, kept for their capacity.
    std::vector<const btDbvtNode*> stack, pathA, pathB;
    std::vector<btDbvtProxy*> met, staged;
};

} // namespace phys::detail
