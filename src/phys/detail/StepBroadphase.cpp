#include "phys/detail/StepBroadphase.h"

#include "phys/detail/Backs.h"

#include <algorithm>

namespace phys::detail {

namespace {

// Gathers the partners whose boxes meet the moved leaf.
class PartnerCollider : public btDbvt::ICollide {
public:
    explicit PartnerCollider(std::vector<btDbvtProxy*>& met) : met(met) {}
    void Process(const btDbvtNode* partner, const btDbvtNode*) override {
        met.push_back(static_cast<btDbvtProxy*>(partner->data));
    }
    std::vector<btDbvtProxy*>& met;
};

// The nodes from the leaf up to its tree's root.
void pathOf(const btDbvtNode* leaf, std::vector<const btDbvtNode*>& out) {
    out.clear();
    for (const btDbvtNode* n = leaf; n; n = n->parent)
        out.push_back(n);
}

} // namespace

bool StepBroadphase::metBefore(const btDbvtProxy* a, const btDbvtProxy* b) {
    // The fixed set is searched first.
    const bool fixedA = a->stage == STAGECOUNT, fixedB = b->stage == STAGECOUNT;
    if (fixedA != fixedB)
        return fixedA;
    // Within a tree the search goes down a node's second child before its first: below the
    // last node both paths share, the one through the second child comes first.
    pathOf(a->leaf, pathA);
    pathOf(b->leaf, pathB);
    std::size_t i = pathA.size(), j = pathB.size();
    while (i > 0 && j > 0 && pathA[i - 1] == pathB[j - 1]) {
        --i;
        --j;
    }
    if (i == 0 || j == 0)
        return false;
    return pathA[i - 1] == pathA[i - 1]->parent->childs[1];
}

int StepBroadphase::countMeeting(const btDbvt& tree, const btDbvtNode* leaf, int limit) {
    int count = 0;
    stack.clear();
    if (tree.m_root)
        stack.push_back(tree.m_root);
    while (!stack.empty() && count < limit) {
        const btDbvtNode* node = stack.back();
        stack.pop_back();
        if (!Intersect(node->volume, leaf->volume))
            continue;
        if (node->isinternal()) {
            stack.push_back(node->childs[0]);
            stack.push_back(node->childs[1]);
        } else if (node != leaf) {
            ++count;
        }
    }
    return count;
}

StepBroadphase::~StepBroadphase() { partners.clear(); }

bool StepBroadphase::pairsWithPartnersOnly(int group) const {
    constexpr int fixed = btBroadphaseProxy::StaticFilter | btBroadphaseProxy::KinematicFilter;
    if (!(group & ActorProxyGroup) || !(group & fixed))
        return false;
    // With kinematic pairs, only static actors keep apart from each other.
    return !kinematicPairs;
}

void StepBroadphase::follow(btDbvtProxy& proxy) {
    const auto found = partnerLeaves.find(&proxy);
    if (pairsWithPartnersOnly(proxy.m_collisionFilterGroup)) {
        if (found != partnerLeaves.end()) {
            partners.remove(found->second);
            partnerLeaves.erase(found);
        }
        return;
    }
    btDbvtVolume volume = proxy.leaf->volume;
    if (found == partnerLeaves.end())
        partnerLeaves.emplace(&proxy, partners.insert(volume, &proxy));
    else if (!(found->second->volume.Mins() == volume.Mins() && found->second->volume.Maxs() == volume.Maxs()))
        partners.update(found->second, volume);
}

btBroadphaseProxy* StepBroadphase::createProxy(const btVector3& aabbMin, const btVector3& aabbMax, int shapeType,
                                               void* userPtr, int collisionFilterGroup, int collisionFilterMask,
                                               btDispatcher* dispatcher) {
    btBroadphaseProxy* proxy = btDbvtBroadphase::createProxy(aabbMin, aabbMax, shapeType, userPtr,
                                                             collisionFilterGroup, collisionFilterMask, dispatcher);
    follow(*static_cast<btDbvtProxy*>(proxy));
    return proxy;
}

void StepBroadphase::destroyProxy(btBroadphaseProxy* proxy, btDispatcher* dispatcher) {
    const auto found = partnerLeaves.find(static_cast<btDbvtProxy*>(proxy));
    if (found != partnerLeaves.end()) {
        partners.remove(found->second);
        partnerLeaves.erase(found);
    }
    btDbvtBroadphase::destroyProxy(proxy, dispatcher);
}

void StepBroadphase::setAabb(btBroadphaseProxy* absProxy, const btVector3& aabbMin, const btVector3& aabbMax,
                             btDispatcher* dispatcher) {
    btDbvtProxy& proxy = *static_cast<btDbvtProxy*>(absProxy);
    if (exact || !pairsWithPartnersOnly(proxy.m_collisionFilterGroup)) {
        btDbvtBroadphase::setAabb(absProxy, aabbMin, aabbMax, dispatcher);
        follow(proxy);
        return;
    }
    // Bullet moves the leaf and looks for pairs at once when it comes out of the fixed set or
    // leaves its margin; deferred, it only moves it, and the search runs here among the
    // partners.
    const bool wasFixed = proxy.stage == STAGECOUNT;
    const btDbvtVolume before = proxy.leaf->volume;
    const bool deferred = m_deferedcollide;
    m_deferedcollide = true;
    btDbvtBroadphase::setAabb(absProxy, aabbMin, aabbMax, dispatcher);
    m_deferedcollide = deferred;
    follow(proxy);
    const bool moved = wasFixed || !(proxy.leaf->volume.Mins() == before.Mins() &&
                                     proxy.leaf->volume.Maxs() == before.Maxs());
    if (moved && !deferred) {
        met.clear();
        PartnerCollider collider(met);
        partners.collideTTpersistentStack(partners.m_root, proxy.leaf, collider);
        // Offered in the order Bullet's search meets them: the cache keeps pairs in the
        // order they came, and the step takes them so.
        std::sort(met.begin(), met.end(), [this](const btDbvtProxy* a, const btDbvtProxy* b) { return metBefore(a, b); });
        for (btDbvtProxy* partner : met)
            m_paircache->addOverlappingPair(partner, &proxy);
        const int found = static_cast<int>(met.size());
        m_newpairs += found;
        // Bullet's search counts every leaf it meets, partner or not, and the pair cleanup
        // before the step looks at as many pairs as that count (at least a tenth, at most
        // all): count the others too, but only until the count covers every pair.
        const int room = m_paircache->getNumOverlappingPairs() - m_newpairs;
        if (room > 0) {
            const int limit = found + room;
            int all = countMeeting(m_sets[FIXED_SET], proxy.leaf, limit);
            all += countMeeting(m_sets[DYNAMIC_SET], proxy.leaf, limit - all);
            m_newpairs += std::max(0, std::min(all, limit) - found);
        }
    }
}

void StepBroadphase::calculateOverlappingPairs(btDispatcher* dispatcher) {
    // Bullet's pass moves the proxies that have not moved for a while into its fixed set,
    // with their exact boxes instead of the grown ones: the partners' boxes follow.
    staged.clear();
    for (btDbvtProxy* p = m_stageRoots[(m_stageCurrent + 1) % STAGECOUNT]; p; p = p->links[1])
        staged.push_back(p);
    btDbvtBroadphase::calculateOverlappingPairs(dispatcher);
    for (btDbvtProxy* p : staged)
        follow(*p);
}

void StepBroadphase::groupChanged(btBroadphaseProxy* proxy) {
    if (proxy)
        follow(*static_cast<btDbvtProxy*>(proxy));
}

} // namespace phys::detail
