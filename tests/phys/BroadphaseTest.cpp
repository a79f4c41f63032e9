#include "phys/detail/Backs.h"
#include "phys/detail/StepBroadphase.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace phys::detail {
namespace {

// Static and kinematic proxies never pair with each other, as in a scene without kinematic pairs.
class FixedApart : public btOverlapFilterCallback {
public:
    bool needBroadphaseCollision(btBroadphaseProxy* a, btBroadphaseProxy* b) const override {
        constexpr int fixed = btBroadphaseProxy::StaticFilter | btBroadphaseProxy::KinematicFilter;
        return !((a->m_collisionFilterGroup & fixed) && (b->m_collisionFilterGroup & fixed));
    }
};

std::vector<std::pair<int, int>> pairsOf(btBroadphaseInterface& broadphase) {
    std::vector<std::pair<int, int>> out;
    btBroadphasePairArray& pairs = broadphase.getOverlappingPairCache()->getOverlappingPairArray();
    for (int i = 0; i < pairs.size(); ++i)
        out.emplace_back(pairs[i].m_pProxy0->m_uniqueId, pairs[i].m_pProxy1->m_uniqueId);
    return out;
}

// An actor's proxy of the kind (Bullet's static or kinematic bit, or none for a dynamic one)
// with the box `half` each way round `at`.
btBroadphaseProxy* actorProxy(btBroadphaseInterface& broadphase, const btVector3& at, float half, int kind) {
    const btVector3 h(half, half, half);
    return broadphase.createProxy(at - h, at + h, 0, nullptr, btBroadphaseProxy::DefaultFilter | ActorProxyGroup | kind,
                                  btBroadphaseProxy::AllFilter, nullptr);
}

// Static, kinematic and dynamic proxies (the kinematic ones as large as vision cones) moving
// through each other: the pairs, their order in the cache and so what the cleanup before each
// step takes away are Bullet's own, also after an actor turns from kinematic to dynamic and
// back, and where the kinematic ones move among dynamic ones that moved many times while no
// kinematic one looked for pairs in the partners' tree (which it does while the partners are
// fewer than the rest); with kinematic pairs reported every move searches as Bullet does.
TEST(StepBroadphaseTest, KeepsThePairsOfBulletsOwnBroadphaseInTheirOrder) {
    for (const bool kinematicPairs : {false, true}) {
        FixedApart filter;
        btDbvtBroadphase plain;
        StepBroadphase ours(kinematicPairs);
        std::vector<btBroadphaseInterface*> both = {&plain, &ours};
        std::vector<std::vector<btBroadphaseProxy*>> proxies(2);
        const int kinds[] = {btBroadphaseProxy::StaticFilter, btBroadphaseProxy::KinematicFilter, 0};
        for (int b = 0; b < 2; ++b) {
            both[b]->getOverlappingPairCache()->setOverlapFilterCallback(&filter);
            for (int i = 0; i < 60; ++i) {
                const float half = i % 3 == 1 ? 6.0f : 0.5f;
                const btVector3 at(static_cast<float>(i % 8) * 2.0f, 0, static_cast<float>(i / 8) * 2.0f);
                proxies[b].push_back(actorProxy(*both[b], at, half, kinds[i % 3]));
            }
        }
        if (!kinematicPairs) {
            EXPECT_EQ(ours.partnerCount(), 20u) << "the dynamic ones";
        }
        // Thirty frames each: the kinematic ones move; some of every kind; the kinematic ones;
        // the dynamic ones only, with 30 more resting far off; the kinematic ones.
        const int firstMoving[] = {1, 1, 1, 2, 1}, everyMoving[] = {3, 2, 3, 3, 3};
        std::vector<std::vector<btBroadphaseProxy*>> farOff(2);
        for (int frame = 0; frame < 150; ++frame) {
            for (int b = 0; b < 2; ++b) {
                for (int i = 0; i < 30 && frame == 90; ++i)
                    farOff[b].push_back(actorProxy(*both[b], btVector3(100.0f + 2.0f * static_cast<float>(i), 0, 0), 0.5f, 0));
                for (int i = 0; i < 30 && frame == 120; ++i)
                    both[b]->destroyProxy(farOff[b][i], nullptr);
                if (frame == 30 || frame == 60) { // one turns dynamic, then kinematic again
                    proxies[b][4]->m_collisionFilterGroup ^= btBroadphaseProxy::KinematicFilter;
                    if (b == 1)
                        ours.groupChanged(proxies[b][4]);
                }
                // One resting in the fixed set now and then set where it is.
                if ((frame / 30) % 2 == 1 && frame % 5 == 0) {
                    btVector3 mn, mx;
                    both[b]->getAabb(proxies[b][10], mn, mx);
                    both[b]->setAabb(proxies[b][10], mn, mx, nullptr);
                }
                for (int i = firstMoving[frame / 30]; i < 60; i += everyMoving[frame / 30]) {
                    const float t = 0.05f * static_cast<float>(frame) + static_cast<float>(i);
                    const float half = i % 3 == 1 ? 6.0f : 0.5f;
                    const btVector3 at(static_cast<float>(i % 8) * 2.0f + 6.0f * std::sin(t), 0,
                                       static_cast<float>(i / 8) * 2.0f + 6.0f * std::cos(0.7f * t));
                    both[b]->setAabb(proxies[b][i], at - btVector3(half, half, half), at + btVector3(half, half, half),
                                     nullptr);
                }
                both[b]->calculateOverlappingPairs(nullptr);
            }
            ASSERT_EQ(pairsOf(ours), pairsOf(plain)) << "frame " << frame << (kinematicPairs ? ", kinematic pairs" : "");
            if (!kinematicPairs) {
                ASSERT_EQ(ours.searchesPartnersApart(), frame < 90 || frame >= 120) << "frame " << frame;
            }
        }
        EXPECT_GT(pairsOf(plain).size(), 10u);
        for (int b = 0; b < 2; ++b)
            for (btBroadphaseProxy* proxy : proxies[b])
                both[b]->destroyProxy(proxy, nullptr);
        EXPECT_EQ(ours.partnerCount(), 0u);
    }
}

// A dynamic proxy resting in the fixed set holds its exact box there and goes back to the
// moving set with the exact new one: a box that changed on one side only (or on one axis) gives
// a leaf with the other side unchanged. A kinematic proxy moved into the part only the new box
// covers pairs with it as in Bullet's own broadphase (touching it, not one step past it).
TEST(StepBroadphaseTest, FollowsALeafThatChangedOnOneSideOnly) {
    struct Case {
        const char* change;
        btVector3 min, max;  // the dynamic proxy's new box (it was the unit cube)
        btVector3 kinematic; // where the kinematic one's small box then goes
        std::size_t pairs;   // Bullet's
    };
    const Case cases[] = {
        {"max grown along x, touching it", btVector3(0, 0, 0), btVector3(3, 1, 1), btVector3(3.125f, 0.5f, 0.5f), 1},
        {"max grown along x, just past it", btVector3(0, 0, 0), btVector3(3, 1, 1), btVector3(3.25f, 0.5f, 0.5f), 0},
        {"min lowered along z", btVector3(0, 0, -2), btVector3(1, 1, 1), btVector3(0.5f, 0.5f, -1.5f), 1},
        {"moved along y", btVector3(0, 0.5f, 0), btVector3(1, 1.5f, 1), btVector3(0.5f, 1.25f, 0.5f), 1},
    };
    for (const Case& c : cases) {
        FixedApart filter;
        btDbvtBroadphase plain;
        StepBroadphase ours(false);
        btBroadphaseInterface* both[] = {&plain, &ours};
        btBroadphaseProxy* dynamic[2];
        btBroadphaseProxy* kinematic[2];
        btBroadphaseProxy* statics[2]; // so that the dynamic one is fewer than the rest
        const float small = 0.125f; // exact in binary: the edges are exact
        const btVector3 away(20, 0, 0);
        for (int b = 0; b < 2; ++b) {
            both[b]->getOverlappingPairCache()->setOverlapFilterCallback(&filter);
            dynamic[b] = actorProxy(*both[b], btVector3(0.5f, 0.5f, 0.5f), 0.5f, 0);
            kinematic[b] = actorProxy(*both[b], away, small, btBroadphaseProxy::KinematicFilter);
            if (b == 1) {
                EXPECT_FALSE(ours.searchesPartnersApart()) << "as many partners as others";
            }
            statics[b] = actorProxy(*both[b], -away, small, btBroadphaseProxy::StaticFilter);
            for (int frame = 0; frame < 3; ++frame) // all come to rest in the fixed set
                both[b]->calculateOverlappingPairs(nullptr);
            both[b]->setAabb(dynamic[b], c.min, c.max, nullptr);
            both[b]->setAabb(kinematic[b], c.kinematic - btVector3(small, small, small),
                             c.kinematic + btVector3(small, small, small), nullptr);
            both[b]->calculateOverlappingPairs(nullptr);
        }
        ASSERT_TRUE(ours.searchesPartnersApart()) << "one partner, two others";
        EXPECT_EQ(pairsOf(plain).size(), c.pairs) << c.change;
        EXPECT_EQ(pairsOf(ours), pairsOf(plain)) << c.change;
        for (int b = 0; b < 2; ++b) {
            both[b]->destroyProxy(statics[b], nullptr);
            both[b]->destroyProxy(kinematic[b], nullptr);
            both[b]->destroyProxy(dynamic[b], nullptr);
        }
    }
}

// Dynamic proxies that moved more often than there are of them while no kinematic one looked
// for pairs: every one of their moves is still seen, so a kinematic one moved onto where they
// went meets each of them as in Bullet's own broadphase.
TEST(StepBroadphaseTest, AKinematicMovedOntoDynamicOnesThatMovedManyTimesMeetsThemAll) {
    FixedApart filter;
    btDbvtBroadphase plain;
    StepBroadphase ours(false);
    btBroadphaseInterface* both[] = {&plain, &ours};
    const int dynamicCount = 4;
    std::vector<btBroadphaseProxy*> proxies[2];
    for (int b = 0; b < 2; ++b) {
        both[b]->getOverlappingPairCache()->setOverlapFilterCallback(&filter);
        for (int i = 0; i < dynamicCount; ++i)
            proxies[b].push_back(actorProxy(*both[b], btVector3(static_cast<float>(i) * 4.0f, 0, 0), 0.5f, 0));
        // More others than partners, so that the kinematic one searches the partners apart.
        proxies[b].push_back(actorProxy(*both[b], btVector3(0, 0, 50), 0.5f, btBroadphaseProxy::KinematicFilter));
        for (int i = 0; i < dynamicCount; ++i)
            proxies[b].push_back(
                actorProxy(*both[b], btVector3(static_cast<float>(i) * 4.0f, 0, -50), 0.5f, btBroadphaseProxy::StaticFilter));
        // Each dynamic one moves twice, far each time.
        for (int round = 1; round <= 2; ++round) {
            for (int i = 0; i < dynamicCount; ++i) {
                const btVector3 at(static_cast<float>(i) * 4.0f, static_cast<float>(round) * 10.0f, 0);
                both[b]->setAabb(proxies[b][i], at - btVector3(0.5f, 0.5f, 0.5f), at + btVector3(0.5f, 0.5f, 0.5f), nullptr);
            }
            both[b]->calculateOverlappingPairs(nullptr);
        }
        // The kinematic one covers all of them where they are now.
        both[b]->setAabb(proxies[b][dynamicCount], btVector3(-1, 19, -1), btVector3(4.0f * dynamicCount, 21, 1), nullptr);
        both[b]->calculateOverlappingPairs(nullptr);
    }
    ASSERT_TRUE(ours.searchesPartnersApart());
    EXPECT_EQ(pairsOf(plain).size(), static_cast<std::size_t>(dynamicCount));
    EXPECT_EQ(pairsOf(ours), pairsOf(plain));
    for (int b = 0; b < 2; ++b)
        for (btBroadphaseProxy* proxy : proxies[b])
            both[b]->destroyProxy(proxy, nullptr);
}

} // namespace
} // namespace phys::detail
