#include "phys/detail/StepWorld.h"

#include "phys/RigidBody.h"
#include "phys/Shape.h"
#include "phys/detail/Backs.h"
#include "phys/detail/PairFilter.h"

#include <BulletCollision/CollisionDispatch/btCollisionObjectWrapper.h>
#include <BulletCollision/CollisionDispatch/btCompoundCollisionAlgorithm.h>
#include <BulletCollision/CollisionDispatch/btCompoundCompoundCollisionAlgorithm.h>
#include <BulletCollision/CollisionDispatch/btInternalEdgeUtility.h>
#include <BulletCollision/CollisionDispatch/btManifoldResult.h>
#include <BulletCollision/NarrowPhaseCollision/btPersistentManifold.h>

#include <algorithm>
#include <mutex>

namespace phys::detail {

namespace {

// The pair the narrow phase is working on, for the child-shape callbacks below. One step
// runs on one thread at a time per scene; scenes may step on different threads.
thread_local const PairRecord* currentPair = nullptr;

// Bullet asks before it collides two child shapes of compound actors.
bool childShapesPass(const btCollisionShape* a, const btCollisionShape* b) {
    const PairRecord* record = currentPair;
    if (!record)
        return true;
    const ShapeBack* sa = backOf(a);
    const ShapeBack* sb = backOf(b);
    if (!sa || !sb)
        return true;
    return record->shapesPass(*sa, *sb);
}

// The layer's shape behind a wrapper chain (actor's collision object at the top, then the
// compound child, then a triangle of a mesh), and the triangle index when there is one.
const ShapeBack* identify(const btCollisionObjectWrapper* w, int& face) {
    face = w->getCollisionShape()->getShapeType() == TRIANGLE_SHAPE_PROXYTYPE ? w->m_index : -1;
    const btCollisionObjectWrapper* top = w;
    const btCollisionObjectWrapper* below = nullptr;
    while (top->m_parent) {
        below = top;
        top = top->m_parent;
    }
    const btCollisionShape* shape = top->getCollisionShape();
    if (shape->isCompound()) {
        if (!below)
            return nullptr;
        shape = below->getCollisionShape();
    }
    return backOf(shape);
}

// Smooths contact normals at the inner edges of a mesh so bodies slide over them without
// bumping. The mesh is the second body of its manifold (the convex-concave algorithm keeps
// it there). Bullet looks the mesh up through the collision object's own shape, which for
// a compound actor is the compound, so a stand-in object carrying the mesh shape is used,
// and the point is expressed in the mesh child's frame for the duration of the call.
void adjustInternalEdge(btManifoldPoint& cp, const btCollisionObjectWrapper* triangle,
                        const btCollisionObjectWrapper* other, int partId, int index) {
    const btCollisionObjectWrapper* mesh = triangle->m_parent;
    if (!mesh)
        return;
    thread_local btCollisionObject standIn;
    standIn.setCollisionShape(const_cast<btCollisionShape*>(mesh->getCollisionShape()));
    btCollisionObjectWrapper wrapper(nullptr, triangle->getCollisionShape(), &standIn, triangle->getWorldTransform(),
                                     partId, index);
    const btTransform& bodyTransform = triangle->getCollisionObject()->getWorldTransform();
    cp.m_localPointB = triangle->getWorldTransform().invXform(cp.m_positionWorldOnB);
    btAdjustInternalEdgeContacts(cp, &wrapper, other, partId, index);
    cp.m_localPointB = bodyTransform.invXform(cp.m_positionWorldOnB);
}

// Every new or replaced contact point of a body that asked for it (a compound or a mesh):
// average the two materials, and record which shapes (child indices) and which triangles
// the point belongs to.
bool contactAdded(btManifoldPoint& cp, const btCollisionObjectWrapper* w0, int, int, const btCollisionObjectWrapper* w1,
                  int partId1, int index1) {
    int face0 = -1, face1 = -1;
    const ShapeBack* s0 = identify(w0, face0);
    const ShapeBack* s1 = identify(w1, face1);
    if (!s0 || !s1)
        return false;
    if (face1 >= 0)
        adjustInternalEdge(cp, w1, w0, partId1, index1);
    cp.m_combinedFriction = 0.5f * (s0->friction + s1->friction);
    cp.m_combinedRestitution = 0.5f * (s0->restitution + s1->restitution);
    cp.m_index0 = s0->childIndex;
    cp.m_index1 = s1->childIndex;
    cp.m_partId0 = face0;
    cp.m_partId1 = face1;
    return true;
}

// Bodies of one convex shape and one material skip the per-point callback: Bullet combines
// their materials from the bodies through these. Two of the layer's bodies average; any
// other pair keeps Bullet's own rule (a product).
btScalar combinedFriction(const btCollisionObject* a, const btCollisionObject* b) {
    if (actorOf(a) && actorOf(b))
        return 0.5f * (a->getFriction() + b->getFriction());
    return std::clamp(a->getFriction() * b->getFriction(), btScalar(-10), btScalar(10));
}

btScalar combinedRestitution(const btCollisionObject* a, const btCollisionObject* b) {
    if (actorOf(a) && actorOf(b))
        return 0.5f * (a->getRestitution() + b->getRestitution());
    return a->getRestitution() * b->getRestitution();
}

} // namespace

void installBulletHooks() {
    static std::once_flag once;
    std::call_once(once, [] {
        gContactAddedCallback = contactAdded;
        gCalculateCombinedFrictionCallback = combinedFriction;
        gCalculateCombinedRestitutionCallback = combinedRestitution;
        gCompoundChildShapePairCallback = childShapesPass;
        gCompoundCompoundChildShapePairCallback = childShapesPass;
        // Seconds of rest before a body may sleep.
        gDeactivationTime = 0.4f;
    });
}

StepWorld::StepWorld(btDispatcher* dispatcher, btBroadphaseInterface* broadphase, btConstraintSolver* solver,
                     btCollisionConfiguration* configuration)
    : btSoftRigidDynamicsWorld(dispatcher, broadphase, solver, configuration, nullptr) {
    // Boxes come from the current poses only, so the main thread can compute the same
    // pairs the step will use.
    getDispatchInfo().m_useContinuous = false;
    setForceUpdateAllAabbs(false);
}

void StepWorld::prepareCollisionPairs() {
    btCollisionWorld::updateAabbs();
    btCollisionWorld::computeOverlappingPairs();
}

void StepWorld::performDiscreteCollisionDetection() {
    if (btDispatcher* dispatcher = getDispatcher())
        dispatcher->dispatchAllCollisionPairs(m_broadphasePairCache->getOverlappingPairCache(), getDispatchInfo(),
                                              dispatcher);
}

void StepWorld::setMotionParams(btRigidBody& body, const MotionParams& params) {
    int slot = body.getUserIndex3();
    if (slot < 0) {
        if (freeMotionSlots.empty()) {
            slot = static_cast<int>(motionParams.size());
            motionParams.emplace_back();
        } else {
            slot = freeMotionSlots.back();
            freeMotionSlots.pop_back();
        }
        body.setUserIndex3(slot);
    }
    motionParams[static_cast<size_t>(slot)] = params;
}

void StepWorld::releaseMotionParams(btRigidBody& body) {
    const int slot = body.getUserIndex3();
    if (slot < 0)
        return;
    freeMotionSlots.push_back(slot);
    body.setUserIndex3(-1);
}

template <class F>
void StepWorld::forEachMovingBody(F visit) {
    for (int i = 0; i < m_nonStaticRigidBodies.size(); ++i) {
        btRigidBody* body = m_nonStaticRigidBodies[i];
        const int slot = body->getUserIndex3();
        if (slot >= 0 && !body->isStaticOrKinematicObject() && body->isActive())
            visit(*body, motionParams[static_cast<size_t>(slot)]);
    }
}

void StepWorld::predictUnconstraintMotion(btScalar timeStep) {
    forEachMovingBody([timeStep](btRigidBody& body, const MotionParams& params) {
        const btScalar linear = std::max(btScalar(0), btScalar(1) - params.linearDamping * timeStep);
        const btScalar angular = std::max(btScalar(0), btScalar(1) - params.angularDamping * timeStep);
        body.setLinearVelocity(body.getLinearVelocity() * linear);
        body.setAngularVelocity(body.getAngularVelocity() * angular);
    });
    btSoftRigidDynamicsWorld::predictUnconstraintMotion(timeStep);
}

void StepWorld::integrateTransforms(btScalar timeStep) {
    awakeBodies.clear();
    for (int i = 0; i < m_nonStaticRigidBodies.size(); ++i) {
        btRigidBody& body = *m_nonStaticRigidBodies[i];
        if (!body.isActive())
            continue;
        awakeBodies.push_back(&body);
        const int slot = body.getUserIndex3();
        if (slot < 0 || body.isStaticOrKinematicObject())
            continue;
        const btScalar limit = motionParams[static_cast<size_t>(slot)].maxAngularVelocity;
        const btVector3 w = body.getAngularVelocity();
        const btScalar speed2 = w.length2();
        if (speed2 > limit * limit)
            body.setAngularVelocity(w * (limit / std::sqrt(speed2)));
    }
    btSoftRigidDynamicsWorld::integrateTransforms(timeStep);
}

StepDispatcher::StepDispatcher(btCollisionConfiguration* configuration, PairFilter& pairs_)
    : btCollisionDispatcher(configuration), pairs(pairs_) {
    setNearCallback(nearCallback);
}

bool StepDispatcher::needsResponse(const btCollisionObject* body0, const btCollisionObject* body1) {
    if (!btCollisionDispatcher::needsResponse(body0, body1))
        return false;
    if (!actorOf(body0) || !actorOf(body1))
        return true;
    if (unresolvedPairsOf(body0) == 0 && unresolvedPairsOf(body1) == 0)
        return true; // every passing pair of these actors resolves
    const PairRecord* record = pairs.find(body0, body1);
    return record && record->resolve;
}

void StepDispatcher::nearCallback(btBroadphasePair& pair, btCollisionDispatcher& dispatcher,
                                  const btDispatcherInfo& info) {
    StepDispatcher& self = static_cast<StepDispatcher&>(dispatcher);
    auto* o0 = static_cast<btCollisionObject*>(pair.m_pProxy0->m_clientObject);
    auto* o1 = static_cast<btCollisionObject*>(pair.m_pProxy1->m_clientObject);
    const uintptr_t tag = PairFilter::tagOf(pair);
    if (!tag) {
        if (actorOf(o0) && actorOf(o1)) {
            ++self.pairs.undecidedPairs; // not filtered yet: no contacts this step
            return;
        }
        defaultNearCallback(pair, dispatcher, info);
        return;
    }
    if (!(tag & PairFilter::TagPasses) || !dispatcher.needsCollision(o0, o1))
        return;

    // As Bullet's default near callback, with the pair's decisions at hand for the child
    // shape callbacks.
    btCollisionObjectWrapper w0(nullptr, o0->getCollisionShape(), o0, o0->getWorldTransform(), -1, -1);
    btCollisionObjectWrapper w1(nullptr, o1->getCollisionShape(), o1, o1->getWorldTransform(), -1, -1);
    if (!pair.m_algorithm)
        pair.m_algorithm = dispatcher.findAlgorithm(&w0, &w1, nullptr, BT_CONTACT_POINT_ALGORITHMS);
    if (!pair.m_algorithm)
        return;
    PairRecord* record = PairFilter::recordOf(tag);
    currentPair = record;
    btManifoldResult result(&w0, &w1);
    pair.m_algorithm->processCollision(&w0, &w1, info, &result);
    currentPair = nullptr;

    // Collect the pair's manifolds now, while they are at hand: touch reports and the
    // statistics' solver rows need them after the step.
    const bool reports = (tag & PairFilter::TagReports) != 0;
    const bool responds = (tag & PairFilter::TagResolves) && self.btCollisionDispatcher::needsResponse(o0, o1);
    if (!reports && !responds)
        return;
    btAlignedObjectArray<btPersistentManifold*>& manifolds = self.pairs.processedManifolds;
    const int first = manifolds.size();
    pair.m_algorithm->getAllContactManifolds(manifolds);
    const auto count = static_cast<uint32_t>(manifolds.size() - first);
    uint32_t points = 0;
    for (int i = first; i < manifolds.size(); ++i)
        points += static_cast<uint32_t>(manifolds[i]->getNumContacts());
    // A pair whose touch state stays as it was has nothing to report: it stays out of the
    // list the step walks afterwards, which would only find that out again from its record.
    const bool quiet = (tag & (points > 0 ? PairFilter::TagQuietTouching : PairFilter::TagApart)) != 0;
    if (reports && !quiet) {
        self.pairs.processed.push_back({record, static_cast<uint32_t>(first), count, responds, &pair});
        return;
    }
    if (responds)
        self.pairs.contactRows += 3u * points;
    manifolds.resizeNoInitialize(first);
}

} // namespace phys::detail
