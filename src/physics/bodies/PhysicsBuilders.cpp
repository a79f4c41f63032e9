// The shape and actor builders of the physics manager and its material cache: one actor in
// the scene per call, its user data left null for the caller.
#include "physics/bodies/PhysicsBuilders.h"

#include "physics/world/PhysicsManager.h"

#include <cmath>
#include <optional>

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

// The material (friction as static and dynamic friction) and a static or dynamic actor at the
// pose; null without a world.
phys::RigidActor* startActor(PhysicsManager& manager, const phys::Transform& pose, float friction, float restitution,
                             bool isStatic, phys::Material*& material) {
    if (!manager.getPhysics())
        return nullptr;
    material = manager.createMaterial(friction, friction, restitution);
    phys::Physics& physics = *manager.getPhysics();
    phys::RigidActor* actor = isStatic ? static_cast<phys::RigidActor*>(physics.createRigidStatic(pose))
                                       : physics.createRigidDynamic(pose);
    if (actor && !material) {
        actor->release();
        return nullptr;
    }
    return actor;
}

// One shape per mesh buffer that cooked (the shape takes its own reference to the shared
// mesh). False when the mesh had buffers and none of them gave a shape.
template <class Geometry, class Cooked>
bool addSharedShapes(phys::RigidActor& actor, const irr::scene::IMesh& mesh, const std::vector<Cooked*>& shapes,
                     phys::Material& material) {
    for (Cooked* cooked : shapes)
        if (cooked)
            actor.createShape(Geometry(cooked), material);
    return actor.getNbShapes() > 0 || mesh.getMeshBufferCount() == 0;
}

// The pattern of every builder: material, actor at the pose, its shapes (a body whose shapes
// could not be made is released and not built), a dynamic actor's mass and kinematic flag
// (left untouched without a value), null user data, into the scene.
template <class AddShapes>
phys::RigidActor* buildActor(PhysicsManager& manager, const phys::Transform& pose, float friction, float restitution,
                             bool isStatic, float mass, std::optional<bool> isKinematic, AddShapes addShapes) {
    phys::Material* material = nullptr;
    phys::RigidActor* actor = startActor(manager, pose, friction, restitution, isStatic, material);
    if (!actor)
        return nullptr;
    if (!addShapes(*actor, *material)) {
        actor->release();
        return nullptr;
    }
    if (phys::RigidDynamic* body = actor->asRigidDynamic()) {
        phys::setMassAndUpdateInertia(*body, mass);
        if (isKinematic)
            body->setRigidDynamicFlag(phys::RigidDynamicFlag::Kinematic, *isKinematic);
    }
    actor->userData = nullptr;
    if (manager.getScene())
        manager.getScene()->addActor(*actor);
    return actor;
}

} // namespace

phys::RigidActor* PhysicsManager::createSphereActor(const phys::Transform& pose, float radius, float mass,
                                                    float friction, float restitution, bool isStatic,
                                                    bool isKinematic) {
    return buildActor(*this, pose, friction, restitution, isStatic, mass, isKinematic,
                      [&](phys::RigidActor& actor, phys::Material& material) {
                          return actor.createShape(phys::SphereGeometry(radius), material) != nullptr;
                      });
}

phys::RigidActor* PhysicsManager::createBoxActor(irr::scene::ISceneNode* object, irr::scene::ISceneNode* meshNode,
                                                 const irr::core::vector3df& boxExtents, const phys::Transform& pose,
                                                 float mass, float restitution, float friction, bool isStatic,
                                                 bool isKinematic) {
    if (!object)
        return nullptr;
    return buildActor(*this, pose, friction, restitution, isStatic, mass, isKinematic,
                      [&](phys::RigidActor& actor, phys::Material& material) {
                          const phys::Vec3 halfExtents = toPhys(boxHalfExtents(object, meshNode, boxExtents));
                          return actor.createShape(phys::BoxGeometry(halfExtents), material) != nullptr;
                      });
}

phys::RigidActor* PhysicsManager::createCapsuleActor(const phys::Transform& pose, float radius, float height,
                                                     float mass, float friction, float restitution, bool isStatic,
                                                     bool isKinematic) {
    return buildActor(*this, pose, friction, restitution, isStatic, mass, isKinematic,
                      [&](phys::RigidActor& actor, phys::Material& material) {
                          return actor.createShape(phys::CapsuleGeometry(radius, height * 0.5f), material) != nullptr;
                      });
}

phys::RigidActor* PhysicsManager::createConvexActor(irr::scene::IMesh* mesh, const phys::Transform& pose,
                                                    const irr::core::vector3df& vertexScale, float mass,
                                                    float friction, float restitution, bool isStatic,
                                                    bool isKinematic) {
    if (!mesh)
        return nullptr;
    return buildActor(*this, pose, friction, restitution, isStatic, mass, isKinematic,
                      [&](phys::RigidActor& actor, phys::Material& material) {
                          return addSharedShapes<phys::ConvexMeshGeometry>(
                              actor, *mesh, shapeCache.hulls(*this, *mesh, vertexScale), material);
                      });
}

phys::RigidActor* PhysicsManager::createTriangleMeshActor(irr::scene::IMesh* mesh, const phys::Transform& pose,
                                                          const irr::core::vector3df& vertexScale, float mass,
                                                          float friction, float restitution, bool isStatic) {
    if (!mesh)
        return nullptr;
    // The kinematic flag is not touched: a triangle mesh is static or kinematic already.
    return buildActor(*this, pose, friction, restitution, isStatic, mass, std::nullopt,
                      [&](phys::RigidActor& actor, phys::Material& material) {
                          return addSharedShapes<phys::TriangleMeshGeometry>(
                              actor, *mesh, shapeCache.triangleMeshes(*this, *mesh, vertexScale), material);
                      });
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
