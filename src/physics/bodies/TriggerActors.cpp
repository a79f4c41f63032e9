// Bodies the physics manager builds for other subsystems: the kinematic actor of a trigger
// volume, the capsule controller of a character, the particles of a particle node; and the
// box of a physics object.
#include "core/LoadBudget.h"
#include "physics/objects/PhysicsObject.h"
#include "physics/world/PhysicsLibraryCallbacks.h"
#include "physics/world/PhysicsManager.h"

#include <algorithm>

phys::RigidActor* PhysicsManager::createBoxActor(PhysicsObject* object, const phys::Transform& pose, float mass,
                                                 float restitution, float friction, bool isStatic, bool isKinematic) {
    if (!object)
        return nullptr;
    return createBoxActor(object, object->getMeshNode(), object->body().BoxExtents, pose, mass, restitution,
                          friction, isStatic, isKinematic);
}

phys::RigidDynamic* PhysicsManager::createTriggerActor(irr::s32 kind, const irr::core::vector3df& position,
                                                       const irr::core::vector3df& size, irr::scene::IMesh* mesh,
                                                       bool isTrigger) {
    if (!physics || ((kind == 2 || kind == 4) && !mesh) || kind < 0 || kind > 4)
        return nullptr;
    if ((kind == 2 || kind == 4) && mesh->getMeshBufferCount() == 0)
        return nullptr;
    phys::Material* material = getMaterial(0);
    if (!material)
        return nullptr;
    phys::RigidDynamic* actor = physics->createRigidDynamic(phys::Transform(toPhys(position)));
    if (!actor)
        return nullptr;
    auto setKind = [isTrigger](phys::Shape* shape) {
        if (!shape)
            return;
        // Clear the one being left first: a shape never has both.
        if (isTrigger) {
            shape->setFlag(phys::ShapeSimulation, false);
            shape->setFlag(phys::ShapeTrigger, true);
        } else {
            shape->setFlag(phys::ShapeTrigger, false);
            shape->setFlag(phys::ShapeSimulation, true);
        }
    };
    phys::Shape* last = nullptr;
    switch (kind) {
    case 0: last = actor->createShape(phys::BoxGeometry(toPhys(size)), *material); break;
    case 1: last = actor->createShape(phys::SphereGeometry(size.X), *material); break;
    case 3: last = actor->createShape(phys::CapsuleGeometry(size.X, size.Y), *material); break;
    default:
        // Built once per mesh and scale in a level and charged to its memory, shared with the
        // other volumes and bodies of that mesh. A buffer that does not cook (or that the
        // budget refused) gives no shape; the others still do.
        for (phys::ConvexMesh* convex : shapeCache.hulls(*this, *mesh, size)) {
            if (!convex)
                continue;
            last = actor->createShape(phys::ConvexMeshGeometry(convex), *material);
            setKind(last);
        }
        break;
    }
    setKind(last);
    actor->setRigidDynamicFlag(phys::RigidDynamicFlag::Kinematic, true);
    phys::setMassAndUpdateInertia(*actor, 1.0f);
    actor->userData = nullptr;
    if (scene)
        scene->addActor(*actor);
    return actor;
}

phys::Controller* PhysicsManager::createCharacterController(const irr::core::vector3df& position, void* userData,
                                                            float height, float radius) {
    if (!physics || !controllerManager || !scene)
        return nullptr;
    phys::CapsuleControllerDesc desc;
    desc.position = phys::ExtVec3(position.X, position.Y, position.Z);
    desc.radius = std::max(radius, 0.01f);
    desc.height = std::max(height, 0.01f);
    desc.stepOffset = 0.0f;
    desc.scaleCoeff = 0.95f;
    desc.climbingMode = phys::ClimbingMode::Easy;
    desc.material = getMaterial(0);
    desc.callback = callbacks;
    desc.behaviorCallback = callbacks;
    desc.userData = userData;
    return controllerManager->createController(*physics, scene, desc);
}

phys::ParticleBase* PhysicsManager::createParticleSystem(float particleSize, float damping, float restitution,
                                                         float friction, float particleMass, float viscosity,
                                                         float stiffness) {
    if (!physics)
        return nullptr;
    constexpr irr::u32 particleLimit = 16250;
    // The particles are allocated for the whole limit at once: charged to the level's memory,
    // and left out when it has no room for them.
    if (!loadBudget().charge(LoadBudget::Memory, phys::ParticleBase::memoryBytes(particleLimit)))
        return nullptr;
    // The products in double precision from the float constants, narrowed at the end.
    const double s = particleSize;
    phys::ParticleBase* particles = nullptr;
    if (viscosity > 0.0f || stiffness > 0.0f) {
        phys::ParticleFluid* fluid = physics->createParticleFluid(particleLimit);
        if (!fluid)
            return nullptr;
        const double t = s * static_cast<double>(0.3f);
        fluid->setGridSize(static_cast<float>(s * static_cast<double>(3.3333333f) * 50.0));
        fluid->setMaxMotionDistance(0.3f);
        fluid->setRestOffset(static_cast<float>(t * 0.5));
        fluid->setContactOffset(static_cast<float>(t));
        fluid->setRestParticleDistance(static_cast<float>(t));
        fluid->setViscosity(viscosity);
        fluid->setStiffness(stiffness);
        particles = fluid;
    } else {
        phys::ParticleSystem* system = physics->createParticleSystem(particleLimit);
        if (!system)
            return nullptr;
        system->setGridSize(static_cast<float>(s * 2.0 * 50.0));
        system->setMaxMotionDistance(0.43f);
        system->setRestOffset(static_cast<float>(s * 0.5));
        system->setContactOffset(static_cast<float>(s));
        particles = system;
    }
    particles->setParticleMass(particleMass);
    particles->setDamping(damping);
    particles->setRestitution(restitution);
    particles->setDynamicFriction(friction);
    particles->setStaticFriction(friction);
    particles->setParticleReadDataFlag(phys::ParticleReadVelocities, true);
    phys::FilterData filter;
    filter.word0 = 1;
    filter.word1 = 0x0fffff87;
    particles->setSimulationFilterData(filter);
    if (scene)
        scene->addActor(*particles);
    return particles;
}
