#include "phys/detail/StepBroadphase.h"

#include "phys/detail/Backs.h"

#include <algorithm>

namespace phys::detail {

namespace {

// Gathers the partners whose own leaves meet the moved leaf (the tree's boxes are wider).
class PartnerCollider : public btDbvt::ICollide {
public:
    explicit PartnerCollider(std::vector<btDbvtProxy*>& met) : met(met) {}
    void Process(const btDbvtNode* partner, const btDbvtNode* moved) override {
        btDbvtProxy* proxy = static_cast<btDbvtProxy*>(partner->data);
        if (Intersect(proxy->leaf->volume, moved->volume))
            met.push_back(proxy);
    }
    std::vector<btDbvtProxy*>& met;
};

// The partners' tree's box round a leaf: wider by a quarter of its longest side each way, so
// that a partner moving a little (a body sliding, swinging or settling) keeps it for some steps.
btDbvtVolume widened(const btDbvtVolume& leaf) {
    const btVector3 size = leaf.Lengths();
    const btScalar by = 0.25f * std::max(size.x(), std::max(size.y(), size.z()));
    btDbvtVolume box = leaf;
    box.Expand(btVector3(by, by, by));
    return box;
}

bool sameBox(const btDbvtVolume& a, const btDbvtVolume& b) { return a.Mins() == b.Mins() && a.Maxs() == b.Maxs(); }

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

bool StepBroadphase::searchesPartnersApart() const {
    const int leaves = m_sets[DYNAMIC_SET].m_leaves + m_sets[FIXED_SET].m_leaves;
    return 2 * static_cast<int>(partnerLeaves.size()) < leaves;
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
    if (found == partnerLeaves.end())
        partnerLeaves.emplace(&proxy, partners.insert(widened(proxy.leaf->volume), &proxy));
    else if (!found->second->volume.Contain(proxy.leaf->volume))
        refit(found->second, proxy.leaf->volume);
}

void StepBroadphase::refit(btDbvtNode* box, const btDbvtVolume& leaf) {
    btDbvtVolume wider = widened(leaf);
    partners.update(box, wider);
}

void StepBroadphase::noteMoved(btDbvtProxy& proxy) {
    if (moved.size() > partnerLeaves.size()) {
        allMoved = true;
        moved.clear();
        return;
    }
    moved.push_back(&proxy);
}

void StepBroadphase::catchUp() {
    if (allMoved) {
        for (const auto& [proxy, box] : partnerLeaves)
            if (!box->volume.Contain(proxy->leaf->volume))
                refit(box, proxy->leaf->volume);
    } else {
        // A proxy gone since is no longer found (or is a new partner at the same place).
        for (const btDbvtProxy* proxy : moved)
            if (const auto found = partnerLeaves.find(proxy);
                found != partnerLeaves.end() && !found->second->volume.Contain(proxy->leaf->volume))
                refit(found->second, proxy->leaf->volume);
    }
    moved.clear();
    allMoved = false;
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
    if (!pairsWithPartnersOnly(proxy.m_collisionFilterGroup)) {
        // A partner: where its leaf changed, its box in the partners' tree is looked at when a
        // search needs it (every box is, once more have changed than there are partners).
        if (allMoved) {
            btDbvtBroadphase::setAabb(absProxy, aabbMin, aabbMax, dispatcher);
            return;
        }
        const btDbvtVolume leafBefore = proxy.leaf->volume;
        btDbvtBroadphase::setAabb(absProxy, aabbMin, aabbMax, dispatcher);
        if (!sameBox(proxy.leaf->volume, leafBefore))
            noteMoved(proxy);
        return;
    }
    if (exact || !searchesPartnersApart()) {
        btDbvtBroadphase::setAabb(absProxy, aabbMin, aabbMax, dispatcher);
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
    if ((wasFixed || !sameBox(proxy.leaf->volume, before)) && !deferred) {
        catchUp();
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

void StepBroadphase::groupChanged(btBroadphaseProxy* proxy) {
    if (proxy)
        follow(*static_cast<btDbvtProxy*>(proxy));
}

} // namespace phys::detail
