// The shape and actor builders of the physics manager and its material cache: one actor in
// the scene per call, its user data left null for the caller.
#include "physics/bodies/PhysicsBuilders.h"

#include "physics/bodies/MeshCooking.h"
#include "physics/world/PhysicsManager.h"

#include <cmath>

namespace {

// Within 1e-6 of zero in every component.
bool isUnset(const irr::core::vector3df& v) {
    return std::fabs(v.X) <= 1e-6f && std::fabs(v.Y) <= 1e-6f && std::fabs(v.Z) <= 1e-6f;
}

// The float 1e-6 widened to double, compared in double precision.
bool closeTo(float a, float b) {
    return std::fabs(static_cast<double>(a) - static_cast<double>(b)) <= static_cast<double>(1e-6f);
}

} // namespace

irr::core::vector3df boxHalfExtents(irr::scene::ISceneNode* object, irr::scene::ISceneNode* meshNode,
                                    const irr::core::vector3df& boxExtents) {
    irr::core::vector3df extents = boxExtents;
    irr::core::vector3df scale(1.0f, 1.0f, 1.0f);
    if (meshNode) {
        meshNode->updateAbsolutePosition();
        if (isUnset(extents)) {
            const irr::core::aabbox3df& bounds = meshNode->getBoundingBox();
            extents = bounds.MaxEdge - bounds.MinEdge;
            scale = meshNode->getScale() * meshNode->getAbsoluteTransformation().getScale();
        }
    } else {
        if (isUnset(extents))
            extents = irr::core::vector3df(1.0f, 1.0f, 1.0f);
        if (object)
            scale = object->getAbsoluteTransformation().getScale();
    }
    return {std::fabs(scale.X) * extents.X * 0.5f, std::fabs(scale.Y) * extents.Y * 0.5f,
            std::fabs(scale.Z) * extents.Z * 0.5f};
}

phys::Material* PhysicsManager::createMaterial(float staticFriction, float dynamicFriction, float restitution) {
    if (!physics)
        return nullptr;
    for (phys::Material* material : materialCache)
        if (closeTo(material->getStaticFriction(), staticFriction) &&
            closeTo(material->getDynamicFriction(), dynamicFriction) &&
            closeTo(material->getRestitution(), restitution))
            return material;
    phys::Material* material = physics->createMaterial(staticFriction, dynamicFriction, restitution);
    if (material)
        materialCache.push_back(material);
    return material;
}

namespace {

phys::RigidActor* createRigid(phys::Physics& physics, const phys::Transform& pose, bool isStatic) {
    if (isStatic)
        return physics.createRigidStatic(pose);
    return physics.createRigidDynamic(pose);
}

// Mass and kinematic flag of a dynamic actor, null user data, into the scene.
phys::RigidActor* finishActor(phys::RigidActor* actor, phys::Scene* scene, float mass, bool isKinematic,
                              bool setKinematic) {
    if (phys::RigidDynamic* body = actor->asRigidDynamic()) {
        phys::setMassAndUpdateInertia(*body, mass);
        if (setKinematic)
            body->setRigidDynamicFlag(phys::RigidDynamicFlag::Kinematic, isKinematic);
    }
    actor->userData = nullptr;
    if (scene)
        scene->addActor(*actor);
    return actor;
}

// A mesh whose buffers all failed gives no body at all (a mesh without buffers gives an
// actor without shapes).
bool keepMeshActor(phys::RigidActor* actor, irr::scene::IMesh* mesh) {
    if (actor->getNbShapes() > 0 || mesh->getMeshBufferCount() == 0)
        return true;
    actor->release();
    return false;
}

} // namespace

phys::RigidActor* PhysicsManager::createSphereActor(const phys::Transform& pose, float radius, float mass,
                                                    float friction, float restitution, bool isStatic,
                                                    bool isKinematic) {
    if (!physics)
        return nullptr;
    phys::Material* material = createMaterial(friction, friction, restitution);
    phys::RigidActor* actor = createRigid(*physics, pose, isStatic);
    if (!actor || !material)
        return actor;
    actor->createShape(phys::SphereGeometry(radius), *material);
    return finishActor(actor, scene, mass, isKinematic, true);
}

phys::RigidActor* PhysicsManager::createBoxActor(irr::scene::ISceneNode* object, irr::scene::ISceneNode* meshNode,
                                                 const irr::core::vector3df& boxExtents, const phys::Transform& pose,
                                                 float mass, float restitution, float friction, bool isStatic,
                                                 bool isKinematic) {
    if (!physics || !object)
        return nullptr;
    phys::Material* material = createMaterial(friction, friction, restitution);
    phys::RigidActor* actor = createRigid(*physics, pose, isStatic);
    if (!actor || !material)
        return actor;
    actor->createShape(phys::BoxGeometry(toPhys(boxHalfExtents(object, meshNode, boxExtents))), *material);
    return finishActor(actor, scene, mass, isKinematic, true);
}

phys::RigidActor* PhysicsManager::createCapsuleActor(const phys::Transform& pose, float radius, float height,
                                                     float mass, float friction, float restitution, bool isStatic,
                                                     bool isKinematic) {
    if (!physics)
        return nullptr;
    phys::Material* material = createMaterial(friction, friction, restitution);
    phys::RigidActor* actor = createRigid(*physics, pose, isStatic);
    if (!actor || !material)
        return actor;
    actor->createShape(phys::CapsuleGeometry(radius, height * 0.5f), *material);
    return finishActor(actor, scene, mass, isKinematic, true);
}

phys::RigidActor* PhysicsManager::createConvexActor(irr::scene::IMesh* mesh, const phys::Transform& pose,
                                                    const irr::core::vector3df& vertexScale, float mass,
                                                    float friction, float restitution, bool isStatic,
                                                    bool isKinematic) {
    if (!physics || !mesh)
        return nullptr;
    phys::Material* material = createMaterial(friction, friction, restitution);
    phys::RigidActor* actor = createRigid(*physics, pose, isStatic);
    if (!actor || !material)
        return actor;
    for (irr::u32 i = 0; i < mesh->getMeshBufferCount(); ++i) {
        // A buffer that does not cook adds no shape.
        phys::ConvexMesh* convex = cookConvexMesh(this, mesh->getMeshBuffer(i), vertexScale);
        if (!convex)
            continue;
        actor->createShape(phys::ConvexMeshGeometry(convex), *material);
        convex->release();
    }
    if (!keepMeshActor(actor, mesh))
        return nullptr;
    return finishActor(actor, scene, mass, isKinematic, true);
}

phys::RigidActor* PhysicsManager::createTriangleMeshActor(irr::scene::IMesh* mesh, const phys::Transform& pose,
                                                          const irr::core::vector3df& vertexScale, float mass,
                                                          float friction, float restitution, bool isStatic) {
    if (!physics || !mesh)
        return nullptr;
    phys::Material* material = createMaterial(friction, friction, restitution);
    phys::RigidActor* actor = createRigid(*physics, pose, isStatic);
    if (!actor || !material)
        return actor;
    for (irr::u32 i = 0; i < mesh->getMeshBufferCount(); ++i) {
        phys::TriangleMesh* triangles = cookTriangleMesh(this, mesh->getMeshBuffer(i), vertexScale);
        if (!triangles)
            continue;
        actor->createShape(phys::TriangleMeshGeometry(triangles), *material);
        triangles->release();
    }
    if (!keepMeshActor(actor, mesh))
        return nullptr;
    return finishActor(actor, scene, mass, false, false);
}

phys::RigidDynamic* PhysicsManager::createStandingBoxActor(const irr::core::vector3df& position,
                                                           const irr::core::vector3df& halfExtents, float density) {
    if (!physics)
        return nullptr;
    phys::RigidDynamic* actor = physics->createRigidDynamic(phys::Transform(toPhys(position)));
    phys::Material* material = getMaterial(0);
    if (!actor || !material)
        return actor;
    actor->createShape(phys::BoxGeometry(toPhys(halfExtents)), *material,
                       phys::Transform(phys::Vec3(0.0f, halfExtents.Y, 0.0f)));
    phys::updateMassAndInertia(*actor, density);
    actor->userData = nullptr;
    if (scene)
        scene->addActor(*actor);
    return actor;
}
