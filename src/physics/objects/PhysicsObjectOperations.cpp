// Body operations of a physics object: teleporting, turning, switching collision, queued
// forces, velocity scaling, mass and surface material, and centring the mesh node. Trigger
// actions, animators and characters move bodies only through these.
#include "physics/objects/PhysicsObject.h"

#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsManager.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "core/RepeatedLog.h"
#include "level/WorldTransform.h"
#include "player/PlayerObject.h"

#include <vector>

using namespace irr;

namespace {

// A dynamic actor that is not flagged kinematic.
phys::RigidDynamic* freeDynamicOf(phys::RigidActor* actor) {
    phys::RigidDynamic* dynamic = actor ? actor->asRigidDynamic() : nullptr;
    return dynamic && !dynamic->isKinematic() ? dynamic : nullptr;
}

void centreOnMeshBounds(scene::ISceneNode* node, scene::IMesh* mesh) {
    if (!node || !mesh)
        return;
    const core::aabbox3df& box = mesh->getBoundingBox();
    node->setPosition(-(box.MinEdge + box.MaxEdge) * 0.5f);
}

} // namespace

void PhysicsObject::teleport(const core::vector3df& position) {
    if (bodySettings->boundType == BoundType::None) {
        setPosition(position);
        return;
    }
    if (!actor)
        return;
    if (holdCount != 0 && !CanHangFrom && playerCount() > 0)
        if (PlayerObject* player = getPlayer(0))
            player->releaseObject(this, 4, false);
    switch (userData->state) {
    case PhysicsState::Dynamic: {
        const phys::Transform pose = actor->getGlobalPose();
        actor->setGlobalPose(phys::Transform(toPhys(position), pose.q), true);
        if (phys::RigidDynamic* dynamic = freeDynamicOf(actor)) {
            dynamic->setLinearVelocity(phys::Vec3(), true);
            dynamic->setAngularVelocity(phys::Vec3(), true);
        }
        break;
    }
    case PhysicsState::Kinematic: setNodeWorldPosition(this, position); break;
    case PhysicsState::Static: logRepeatable("ERROR: Trying to teleport static PhysicsObject."); break;
    }
}

void PhysicsObject::setBodyRotation(const phys::Quat& rotation, const core::vector3df& eulerDegrees) {
    if (bodySettings->boundType == BoundType::None) {
        setRotation(eulerDegrees);
        return;
    }
    if (!actor)
        return;
    if (userData->state == PhysicsState::Dynamic) {
        const phys::Transform pose = actor->getGlobalPose();
        actor->setGlobalPose(phys::Transform(pose.p, isPoseValid(rotation) ? rotation : pose.q), true);
        if (phys::RigidDynamic* dynamic = freeDynamicOf(actor))
            dynamic->setAngularVelocity(phys::Vec3(), true);
    } else if (userData->state == PhysicsState::Kinematic) {
        setNodeWorldRotation(this, eulerDegrees);
    }
}

void PhysicsObject::setCollisionEnabled(bool enable) {
    if (!actor)
        return;
    const bool value = enable && !bodySettings->collisionForcedOff;
    setActorShapeFlag(actor, phys::ShapeSimulation, value);
    setActorShapeFlag(actor, phys::ShapeSceneQuery, value);
    if (phys::RigidDynamic* dynamic = freeDynamicOf(actor)) {
        if (enable)
            dynamic->wakeUp(phys::RigidDynamic::DefaultWakeCounter);
        else
            dynamic->putToSleep();
    }
}

bool PhysicsObject::isCollisionEnabled() { return actor && isActorSimulationShape(actor); }

void PhysicsObject::centerMeshNode() {
    scene::ISceneNode* debugNode = meshSettings->debugShapeNode;
    if (bodySettings->boundType == BoundType::Box) {
        if (meshNode)
            centreOnMeshBounds(meshNode, meshNode->getMesh());
        if (debugNode && debugNode->getType() == scene::ESNT_MESH)
            centreOnMeshBounds(debugNode, static_cast<scene::IMeshSceneNode*>(debugNode)->getMesh());
        return;
    }
    if (meshNode)
        meshNode->setPosition(core::vector3df());
    if (debugNode)
        debugNode->setPosition(core::vector3df());
}

void PhysicsObject::addForceAndTorque(const core::vector3df& force, const core::vector3df& torque,
                                      phys::ForceMode forceMode, phys::ForceMode torqueMode, bool continuous) {
    if (!physicsManager)
        return;
    phys::RigidDynamic* body = actor ? actor->asRigidDynamic() : nullptr;
    physicsManager->addForce(toPhys(force), forceMode, body, continuous, phys::Vec3());
    physicsManager->addTorque(toPhys(torque), torqueMode, body, continuous);
}

void PhysicsObject::scaleLinearVelocity(f32 factor) {
    phys::RigidDynamic* dynamic = actor ? actor->asRigidDynamic() : nullptr;
    if (!dynamic || userData->state != PhysicsState::Dynamic)
        return;
    dynamic->setLinearVelocity(dynamic->getLinearVelocity() * factor, true);
}

void PhysicsObject::setMass(f32 mass) {
    bodySettings->Mass = mass;
    phys::RigidDynamic* dynamic = actor ? actor->asRigidDynamic() : nullptr;
    if (!dynamic)
        return;
    phys::setMassAndUpdateInertia(*dynamic, mass);
    if (isVectorSet(bodySettings->InertiaTensor))
        dynamic->setMassSpaceInertiaTensor(toPhys(bodySettings->InertiaTensor));
}

void PhysicsObject::updatePhysicsMaterial() {
    if (!actor || !physicsManager)
        return;
    std::vector<phys::Shape*> shapes(actor->getNbShapes());
    actor->getShapes(shapes.data(), static_cast<u32>(shapes.size()));
    for (phys::Shape* shape : shapes) {
        if (reinterpret_cast<uintptr_t>(shape->userData) == phys::ControllerShapeTag)
            continue;
        const auto* owner = static_cast<const PhysicsUserData*>(shape->userData);
        if (!owner || owner->node != this)
            continue;
        phys::Material* material =
            physicsManager->createMaterial(bodySettings->Friction, bodySettings->Friction, bodySettings->Restitution);
        if (material)
            shape->setMaterials(&material, 1);
    }
}
