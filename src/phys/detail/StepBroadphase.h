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
// It does what Bullet does to the bit: a partner is met when its own leaf box meets the moved
// leaf, so the pairs found are Bullet's; they go into the cache in the order Bullet's search
// would meet them (the cache's order is the step's); and the leaves Bullet's search would have
// met are counted as it counts them, since the count sizes the pair cleanup before each step
// (only until it covers every pair).
//
// The partners' tree costs nothing where no such actor moves (falling boxes, jointed chains):
// it holds a box somewhat wider than each partner's leaf and is brought round the leaves that
// left their boxes only when a search needs it; a leaf that moved a little keeps its box.

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

    // Whether a moving proxy of this group pairs with the partners only.
    bool pairsWithPartnersOnly(int group) const;
    // Whether such a proxy looks for its pairs in the partners' tree now. Bullet's search meets
    // its kind and the partners alike; the partners' own tree pays where they are fewer than
    // the rest (a crowd's cones among a few bodies), and costs more than it saves where they
    // are most of the scene (movers crossing a field of boxes).
    bool searchesPartnersApart() const;
    // Proxies in the partners' tree (for tests).
    std::size_t partnerCount() const { return partnerLeaves.size(); }

    // While set, every move searches as Bullet does: pairs are about to be added other than
    // by a search (an actor's pairs made anew), which the count of a shortened search (see
    // setAabb) cannot foresee.
    bool exact = false;

private:
    // Puts a box round the proxy's leaf into the partners' tree, or takes it out, as its
    // group says.
    void follow(btDbvtProxy& proxy);
    // A partner's leaf changed: its box in the partners' tree is looked at before the next search.
    void noteMoved(btDbvtProxy& proxy);
    // Brings the partners' boxes round the leaves that left them.
    void catchUp();
    // Gives a partner's box in the partners' tree the room round its leaf.
    void refit(btDbvtNode* box, const btDbvtVolume& leaf);
    // Leaves of the tree other than the leaf whose boxes meet the leaf's, counted up to the limit.
    int countMeeting(const btDbvt& tree, const btDbvtNode* leaf, int limit);
    // Whether Bullet's search for a moved leaf meets the one proxy before the other.
    bool metBefore(const btDbvtProxy* a, const btDbvtProxy* b);

    bool kinematicPairs;
    btDbvt partners;
    std::unordered_map<const btDbvtProxy*, btDbvtNode*> partnerLeaves;
    // Partners whose leaves changed since the last catch-up (some perhaps twice, or gone since);
    // past one for each partner, every partner is looked at instead.
    std::vector<const btDbvtProxy*> moved;
    bool allMoved = false;
    // Working lists, kept for their capacity.
    std::vector<const btDbvtNode*> stack, pathA, pathB;
    std::vector<btDbvtProxy*> met;
};

} // namespace phys::detail
