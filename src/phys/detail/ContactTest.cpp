#include "phys/detail/ContactTest.h"

#include <BulletCollision/BroadphaseCollision/btCollisionAlgorithm.h>
#include <BulletCollision/CollisionDispatch/btCollisionDispatcher.h>
#include <BulletCollision/CollisionDispatch/btCollisionObject.h>
#include <BulletCollision/CollisionDispatch/btCollisionObjectWrapper.h>
#include <BulletCollision/CollisionDispatch/btDefaultCollisionConfiguration.h>
#include <BulletCollision/CollisionDispatch/btManifoldResult.h>
#include <BulletCollision/NarrowPhaseCollision/btPersistentManifold.h>

namespace phys::detail {

namespace {

// Keeps the deepest point the algorithm reports, with its normal turned to point from the
// second shape towards the first.
class DeepestPoint : public btManifoldResult {
public:
    DeepestPoint(const btCollisionObjectWrapper* a, const btCollisionObjectWrapper* b) : btManifoldResult(a, b) {}

    void addContactPoint(const btVector3& normalOnB, const btVector3&, btScalar depth) override {
        const bool swapped = m_manifoldPtr && m_manifoldPtr->getBody0() != m_body0Wrap->getCollisionObject();
        if (found && depth >= distance)
            return;
        found = true;
        distance = depth;
        normal = swapped ? -normalOnB : normalOnB;
    }

    bool found = false;
    btScalar distance = 0;
    btVector3 normal{0, 1, 0};
};

} // namespace

ContactTester::ContactTester() {
    btDefaultCollisionConstructionInfo info;
    // Small pools: one pair at a time.
    info.m_defaultMaxPersistentManifoldPoolSize = 16;
    info.m_defaultMaxCollisionAlgorithmPoolSize = 16;
    configuration = std::make_unique<btDefaultCollisionConfiguration>(info);
    dispatcher = std::make_unique<btCollisionDispatcher>(configuration.get());
}

ContactTester::~ContactTester() = default;

bool ContactTester::closest(const btCollisionShape& a, const btTransform& poseA, const btCollisionShape& b,
                            const btTransform& poseB, float maxDistance, float& distance, btVector3& normal) {
    btCollisionObject objectA, objectB;
    objectA.setCollisionShape(const_cast<btCollisionShape*>(&a));
    objectA.setWorldTransform(poseA);
    objectB.setCollisionShape(const_cast<btCollisionShape*>(&b));
    objectB.setWorldTransform(poseB);
    const btCollisionObjectWrapper wrapA(nullptr, &a, &objectA, poseA, -1, -1);
    const btCollisionObjectWrapper wrapB(nullptr, &b, &objectB, poseB, -1, -1);
    btCollisionAlgorithm* algorithm = dispatcher->findAlgorithm(&wrapA, &wrapB, nullptr, BT_CLOSEST_POINT_ALGORITHMS);
    if (!algorithm)
        return false;
    DeepestPoint result(&wrapA, &wrapB);
    result.m_closestPointDistanceThreshold = maxDistance;
    btDispatcherInfo info;
    algorithm->processCollision(&wrapA, &wrapB, info, &result);
    algorithm->~btCollisionAlgorithm();
    dispatcher->freeCollisionAlgorithm(algorithm);
    if (!result.found || result.distance > maxDistance)
        return false;
    distance = result.distance;
    normal = result.normal.fuzzyZero() ? btVector3(0, 1, 0) : result.normal.normalized();
    return true;
}

} // namespace phys::detail
