// Carrying the front state of actors to their Bullet bodies (push, in simulate) and the
// simulated state back to the fronts (pull, in fetchResults).

#include "phys/detail/SceneCore.h"

#include "phys/Material.h"
#include "phys/Meshes.h"
#include "phys/Physics.h"
#include "phys/RigidBody.h"
#include "phys/Shape.h"
#include "phys/detail/Backs.h"
#include "phys/detail/BulletConvert.h"
#include "phys/detail/ClothSet.h"
#include "phys/detail/ParticleSet.h"
#include "phys/detail/JointSet.h"
#include "phys/detail/PairFilter.h"
#include "phys/detail/QueryWorld.h"
#include "phys/detail/StepBroadphase.h"
#include "phys/detail/StepWorld.h"

#include <BulletCollision/CollisionShapes/btBoxShape.h>
#include <BulletCollision/CollisionShapes/btCapsuleShape.h>
#include <BulletCollision/CollisionShapes/btConvexPointCloudShape.h>
#include <BulletCollision/CollisionShapes/btScaledBvhTriangleMeshShape.h>
#include <BulletCollision/CollisionShapes/btSphereShape.h>

#include <algorithm>

namespace phys::detail {

btCollisionShape* createBulletShape(const GeometryHolder& g) {
    switch (g.getType()) {
    case GeometryType::Box: return new btBoxShape(toBt(g.box().halfExtents));
    case GeometryType::Sphere: return new btSphereShape(g.sphere().radius);
    case GeometryType::Capsule: return new btCapsuleShapeX(g.capsule().radius, 2.0f * g.capsule().halfHeight);
    case GeometryType::ConvexMesh: {
        ConvexMeshData& d = g.convexMesh().convexMesh->data();
        auto* shape = new btConvexPointCloudShape(&d.corePoints[0], d.corePoints.size(), btVector3(1, 1, 1));
        shape->setMargin(d.margin);
        shape->recalcLocalAabb();
        return shape;
    }
    case GeometryType::TriangleMesh:
        return new btScaledBvhTriangleMeshShape(g.triangleMesh().triangleMesh->data().bvh, btVector3(1, 1, 1));
    default: return nullptr;
    }
}

namespace {

// Sleep thresholds from the tolerances: a body may sleep when its mass-normalised kinetic
// energy 0.5 * v^2 stays below 5e-5 * speed^2.
float sleepThreshold(float speed) { return std::sqrt(2.0f * 5e-5f) * speed; }

RigidBody* bodyOf(RigidActor& actor) {
    return actor.getType() == ActorType::RigidDynamic ? static_cast<RigidBody*>(&actor) : nullptr;
}

// Mass and kind (dynamic or kinematic) of a Bullet body from its front.
void applyBodyKind(RigidBody& body, btRigidBody& rb) {
    int flags = rb.getCollisionFlags();
    if (body.isKinematic()) {
        rb.setMassProps(0, btVector3(0, 0, 0));
        flags = (rb.getCollisionFlags() & ~btCollisionObject::CF_STATIC_OBJECT) | btCollisionObject::CF_KINEMATIC_OBJECT;
    } else {
        rb.setMassProps(body.getMass(), toBt(body.getMassSpaceInertiaTensor()));
        flags = rb.getCollisionFlags() & ~(btCollisionObject::CF_STATIC_OBJECT | btCollisionObject::CF_KINEMATIC_OBJECT);
    }
    rb.setCollisionFlags(flags);
    rb.updateInertiaTensor();
    updateProxyGroup(rb);
}

} // namespace

void SceneCore::markDirty(RigidActor& actor, uint32_t bits) {
    actor.dirty |= bits;
    if (!actor.inDirtyList) {
        actor.inDirtyList = true;
        dirtyActors.push_back(&actor);
    }
}

void SceneCore::push() {
    joints->removeStale();
    removeZombieBodies();
    // The lists trade buffers rather than letting them go: a steady step allocates nothing.
    // What the walk marks dirty again waits in dirtyActors for the next push.
    pushScratch.swap(dirtyActors);
    pendingFilter.clear();
    broadphase->exact = std::any_of(pushScratch.begin(), pushScratch.end(), [](const RigidActor* actor) {
        return !actor->released && (actor->dirty & (DirtyPairs | DirtyKinematic));
    });
    for (RigidActor* actor : pushScratch) {
        actor->inDirtyList = false;
        if (actor->released)
            continue;
        const uint32_t bits = actor->dirty;
        actor->dirty = 0;
        syncActor(*actor, bits, pendingFilter);
    }
    pushScratch.clear();
    broadphase->exact = false;
    if (gravityChanged) {
        gravityChanged = false;
        world->setGravity(toBt(gravity));
        for (RigidActor* actor : actors)
            if (actor->back().body)
                applyGravity(*actor);
    }
    joints->apply(stepDt);
    cloths->push(stepDt);
    particles->push();
}

void SceneCore::removeZombieBodies() {
    for (RigidActor* actor : pendingRemoval) {
        destroyBody(*actor);
        removedZombies.push_back(actor);
    }
    pendingRemoval.clear();
}

void SceneCore::syncActor(RigidActor& actor, uint32_t bits, std::vector<RigidActor*>& changed) {
    RigidBack& back = actor.back();
    RigidBody* body = bodyOf(actor);
    if (!back.body) {
        createBody(actor);
        return;
    }
    if (bits & DirtyShapes) {
        rebuildCollisionShape(actor);
        joints->actorMassFrameChanged(actor);
    }
    if (body && (bits & DirtyKinematic))
        switchKinematic(*body);
    if (body && (bits & DirtyMass))
        applyMass(*body);
    if (bits & (DirtyParams | DirtyShapes | DirtyKinematic))
        applyParams(actor);
    if (bits & (DirtyPose | DirtyShapes))
        applyPose(actor); // also after a new centre of mass
    if (body) {
        auto& dynamic = static_cast<RigidDynamic&>(*body);
        if (bits & DirtyTarget)
            applyTarget(dynamic);
        if (bits & (DirtyLinearVelocity | DirtyAngularVelocity))
            applyVelocities(*body);
        if (bits & DirtyForces)
            applyForces(*body);
        applySleepState(dynamic, bits);
        markPulledActive(*back.body);
    }
    if (bits & (DirtyPairs | DirtyKinematic))
        pairs->updateActorPairs(actor);
    if (bits & (DirtyFilter | DirtyShapes | DirtyKinematic | DirtyPairs))
        changed.push_back(&actor);
}

void SceneCore::createBody(RigidActor& actor) {
    RigidBack& back = actor.back();
    RigidBody* body = bodyOf(actor);
    back.isStatic = body == nullptr;
    back.kinematic = body && body->isKinematic();
    rebuildCollisionShape(actor);

    btRigidBody::btRigidBodyConstructionInfo info(0, nullptr, back.compound ? back.compound : back.children[0]->back().shape);
    const float threshold = sleepThreshold(physics.getTolerancesScale().speed);
    info.m_linearSleepingThreshold = threshold;
    info.m_angularSleepingThreshold = threshold;
    back.body = new btRigidBody(info);
    btRigidBody& rb = *back.body;
    rb.setUserPointer(&actor);
    rb.setUserIndex2(0); // no unresolved pairs yet
    setPullMark(rb, NotPulled);
    rb.setUserIndex3(-1); // no motion parameters yet
    rb.setFlags(0); // no gyroscopic term
    if (body)
        applyBodyKind(*body, rb);
    back.appliedCMass = body ? body->getCMassLocalPose() : Transform();
    back.appliedCMassIsIdentity = back.appliedCMass.isIdentity();
    const btTransform t = toBt(actor.pose * back.appliedCMass);
    rb.setWorldTransform(t);
    rb.setInterpolationWorldTransform(t);
    rb.updateInertiaTensor();
    world->addRigidBody(&rb, proxyGroupOf(rb), btBroadphaseProxy::AllFilter);
    back.inWorld = true;
    applyParams(actor);
    if (body) {
        auto& dynamic = static_cast<RigidDynamic&>(*body);
        applyTarget(dynamic);
        applyVelocities(*body);
        applyForces(*body);
        applySleepState(dynamic, DirtyAll);
        markPulledActive(*back.body);
    }
}

void SceneCore::destroyBody(RigidActor& actor) {
    RigidBack& back = actor.back();
    if (back.body) {
        if (back.inWorld)
            world->removeRigidBody(back.body);
        world->releaseMotionParams(*back.body);
        if (pullMarkOf(*back.body) == PulledActive) {
            const auto listed = std::find(pulledBodies.begin(), pulledBodies.end(), back.body);
            if (listed != pulledBodies.end())
                pulledBodies.erase(listed);
        }
        delete back.body;
        back.body = nullptr;
    }
    back.inWorld = false;
    delete back.compound;
    back.compound = nullptr;
    back.children.clear();
}

void SceneCore::rebuildCollisionShape(RigidActor& actor) {
    RigidBack& back = actor.back();
    RigidBody* body = bodyOf(actor);
    const Transform toMassFrame = body ? body->getCMassLocalPose().getInverse() : Transform();
    back.children = actor.shapes;
    for (size_t i = 0; i < back.children.size(); ++i)
        back.children[i]->back().childIndex = static_cast<int>(i);

    // A single shape at the centre of mass is used directly; anything else goes through a
    // compound (Bullet's compound pairs cost noticeably more than plain convex pairs).
    btCompoundShape* compound = nullptr;
    btCollisionShape* shape = nullptr;
    if (back.children.size() == 1 && (toMassFrame * back.children[0]->getLocalPose()).isIdentity()) {
        shape = back.children[0]->back().shape;
    } else {
        compound = new btCompoundShape(true, static_cast<int>(back.children.size()));
        for (Shape* child : back.children)
            compound->addChildShape(toBt(toMassFrame * child->getLocalPose()), child->back().shape);
        shape = compound;
    }
    if (back.body) {
        back.body->setCollisionShape(shape);
        if (back.inWorld) {
            broadphase->getOverlappingPairCache()->cleanProxyFromPairs(back.body->getBroadphaseHandle(),
                                                                       world->getDispatcher());
            world->updateSingleAabb(back.body);
        }
    }
    delete back.compound;
    back.compound = compound;
}

void SceneCore::switchKinematic(RigidBody& body) {
    RigidBack& back = body.back();
    back.kinematic = body.isKinematic();
    applyBodyKind(body, *back.body);
    broadphase->groupChanged(back.body->getBroadphaseHandle());
    back.body->setLinearVelocity(back.kinematic ? btVector3(0, 0, 0) : toBt(body.getLinearVelocity()));
    back.body->setAngularVelocity(back.kinematic ? btVector3(0, 0, 0) : toBt(body.getAngularVelocity()));
    back.body->activate(true);
}

void SceneCore::applyMass(RigidBody& body) {
    applyBodyKind(body, *body.back().body);
    broadphase->groupChanged(body.back().body->getBroadphaseHandle());
    applyGravity(body);
}

void SceneCore::applyParams(RigidActor& actor) {
    RigidBack& back = actor.back();
    bool anySimulation = false;
    for (Shape* shape : actor.shapes) {
        ShapeBack& s = shape->back();
        s.flags = shape->getFlags();
        Material* first = nullptr;
        shape->getMaterials(&first, 1);
        s.friction = first ? first->getDynamicFriction() : 0.0f;
        s.restitution = first ? first->getRestitution() : 0.0f;
        anySimulation |= (s.flags & ShapeSimulation) != 0;
    }
    // Bodies without a simulation shape push nothing and wake nothing.
    int flags = back.body->getCollisionFlags();
    flags = anySimulation ? flags & ~btCollisionObject::CF_NO_CONTACT_RESPONSE
                          : flags | btCollisionObject::CF_NO_CONTACT_RESPONSE;
    // A compound or a mesh needs the per-point callback (which child, which triangle, its
    // own material per child, smoothed mesh edges); one convex shape combines its material
    // from the body, without it.
    const bool perPoint = back.compound != nullptr || std::any_of(back.children.begin(), back.children.end(), [](Shape* s) {
                              return s->getGeometryType() == GeometryType::TriangleMesh;
                          });
    flags = perPoint ? flags | btCollisionObject::CF_CUSTOM_MATERIAL_CALLBACK
                     : flags & ~btCollisionObject::CF_CUSTOM_MATERIAL_CALLBACK;
    back.body->setCollisionFlags(flags);
    if (!back.children.empty()) {
        back.body->setFriction(back.children[0]->back().friction);
        back.body->setRestitution(back.children[0]->back().restitution);
    }
    if (actor.getType() == ActorType::RigidDynamic) {
        const RigidDynamic& dynamic = *actor.asRigidDynamic();
        world->setMotionParams(*back.body, {dynamic.getLinearDamping(), dynamic.getAngularDamping(),
                                            dynamic.getMaxAngularVelocity()});
        applyGravity(actor);
    }
}

void SceneCore::applyGravity(RigidActor& actor) {
    RigidBack& back = actor.back();
    if (back.isStatic)
        return;
    const bool disabled = actor.getActorFlag(ActorFlag::DisableGravity);
    back.body->setFlags(disabled ? BT_DISABLE_WORLD_GRAVITY : 0);
    back.body->setGravity(disabled || back.kinematic ? btVector3(0, 0, 0) : toBt(gravity));
}

void SceneCore::applyPose(RigidActor& actor) {
    RigidBack& back = actor.back();
    RigidBody* body = bodyOf(actor);
    back.appliedCMass = body ? body->getCMassLocalPose() : Transform();
    back.appliedCMassIsIdentity = back.appliedCMass.isIdentity();
    const btTransform t = toBt(actor.pose * back.appliedCMass);
    back.body->setWorldTransform(t);
    back.body->setInterpolationWorldTransform(t);
    back.body->updateInertiaTensor();
    world->updateSingleAabb(back.body);
}

void SceneCore::applyTarget(RigidDynamic& body) {
    if (!body.hasTarget)
        return;
    body.hasTarget = false;
    if (!body.isKinematic())
        return;
    // The interpolation transform keeps the current pose: Bullet derives the velocity that
    // carries the body to the target during the step.
    body.back().body->setWorldTransform(toBt(body.target * body.getCMassLocalPose()));
    body.back().body->activate(true);
}

void SceneCore::applyVelocities(RigidBody& body) {
    if (body.isKinematic())
        return;
    body.back().body->setLinearVelocity(toBt(body.getLinearVelocity()));
    body.back().body->setAngularVelocity(toBt(body.getAngularVelocity()));
}

void SceneCore::applyForces(RigidBody& body) {
    const Vec3* f = body.pendingForces();
    const Vec3* t = body.pendingTorques();
    btRigidBody& rb = *body.back().body;
    const bool asleep = static_cast<RigidDynamic&>(body).isSleeping();
    if (!body.isKinematic() && !asleep) {
        const float dt = stepDt;
        const float inverseMass = rb.getInvMass();
        const Vec3 dv = f[0] * (dt * inverseMass) + f[1] * inverseMass + f[2] + f[3] * dt;
        const btVector3 dw = rb.getInvInertiaTensorWorld() * toBt(t[0] * dt + t[1]) + toBt(t[2] + t[3] * dt);
        rb.setLinearVelocity(rb.getLinearVelocity() + toBt(dv));
        rb.setAngularVelocity(rb.getAngularVelocity() + dw);
    }
    body.clearPendingForces();
}

void SceneCore::applySleepState(RigidDynamic& body, uint32_t bits) {
    btRigidBody& rb = *body.back().body;
    if (body.isKinematic()) {
        if (bits & DirtyWake)
            rb.activate(true);
        return;
    }
    if (body.isSleeping()) {
        if (bits & DirtySleep) {
            rb.setLinearVelocity(btVector3(0, 0, 0));
            rb.setAngularVelocity(btVector3(0, 0, 0));
            rb.forceActivationState(ISLAND_SLEEPING);
        }
    } else if (bits & DirtyWake) {
        rb.activate(true);
        rb.setDeactivationTime(std::max(0.0f, RigidDynamic::DefaultWakeCounter - body.getWakeCounter()));
    }
}

void SceneCore::markPulledActive(btRigidBody& rb) {
    if (pullMarkOf(rb) == NotPulled) {
        setPullMark(rb, PulledActive);
        pulledBodies.push_back(&rb);
    }
}

void SceneCore::pull() {
    // As Bullet tells motion states only of awake bodies, only the bodies awake when the step
    // integrated them and those awake at the last pull (or woken since: they may have fallen
    // asleep) are read.
    pullScratch.clear();
    auto visit = [this](btRigidBody* rb) {
        if (pullMarkOf(*rb) == PullVisited)
            return;
        setPullMark(*rb, PullVisited);
        pullScratch.push_back(rb);
        pullBody(*rb);
    };
    for (btRigidBody* rb : pulledBodies)
        visit(rb);
    for (btRigidBody* rb : world->awakeBodies)
        visit(rb);
    world->awakeBodies.clear();
    pulledBodies.clear();
    for (btRigidBody* rb : pullScratch) {
        const RigidActor* actor = actorOf(rb);
        const bool keep = rb->isActive() && actor && !actor->released;
        setPullMark(*rb, keep ? PulledActive : NotPulled);
        if (keep)
            pulledBodies.push_back(rb);
    }
}

void SceneCore::pullBody(btRigidBody& rb) {
    RigidActor* actor = actorOf(&rb);
    if (!actor || actor->released || actor->getType() != ActorType::RigidDynamic) // released: leaves at the next push
        return;
    const bool active = rb.isActive();
    RigidBack& back = actor->back();
    RigidDynamic& body = *actor->asRigidDynamic();
    if (!(actor->dirty & DirtyPose)) {
        const Transform centre = fromBt(rb.getWorldTransform());
        const Transform pose = back.appliedCMassIsIdentity ? centre : centre * back.appliedCMass.getInverse();
        if (pose != actor->pose) {
            actor->pose = pose;
            queries->actorMoved(*actor);
        }
    }
    // A switch made while the step ran stands: its velocities are the body's own until the
    // switch reaches Bullet.
    const bool switchPending = (actor->dirty & DirtyKinematic) != 0;
    if (!(actor->dirty & DirtyLinearVelocity) && !switchPending)
        body.linearVelocity = fromBt(rb.getLinearVelocity());
    if (!(actor->dirty & DirtyAngularVelocity) && !switchPending)
        body.angularVelocity = fromBt(rb.getAngularVelocity());
    if (!(actor->dirty & (DirtyWake | DirtySleep)))
        body.sleeping = !active;
}

} // namespace phys::detail
