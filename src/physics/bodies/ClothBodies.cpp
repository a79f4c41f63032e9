// Cloth bodies: a cloth made from the first buffer of an engine mesh (one particle per
// vertex, the buffer's triangles as its fabric) and the services on its particles.
#include "physics/bodies/ClothBodies.h"

#include "physics/bodies/MeshCooking.h"
#include "physics/world/PhysicsManager.h"

using namespace irr;

namespace {

// The particles of a cloth, copied while they are locked.
bool copyClothParticles(phys::Cloth& cloth, std::vector<phys::ClothParticle>& out) {
    phys::ClothReadData* data = cloth.lockParticleData();
    if (!data)
        return false;
    out.assign(data->particles, data->particles + cloth.getNbParticles());
    data->unlock();
    return true;
}

} // namespace

phys::ClothFabric* cookClothFabric(PhysicsManager& manager, const phys::ClothMeshDesc& desc,
                                   const phys::Vec3& gravityDirection) {
    phys::CookedClothFabric cooked;
    if (!manager.getCooking() || !manager.getPhysics() ||
        !manager.getCooking()->cookClothFabric(desc, gravityDirection, cooked))
        return nullptr;
    return manager.getPhysics()->createClothFabric(cooked);
}

phys::Cloth* PhysicsManager::createClothActor(const phys::ClothMeshDesc& desc, const phys::Transform& pose,
                                              const phys::ClothCollisionData* collision,
                                              const phys::Vec3& gravityDirection) {
    if (!physics)
        return nullptr;
    phys::ClothFabric* fabric = cookClothFabric(*this, desc, gravityDirection);
    if (!fabric)
        return nullptr;
    std::vector<phys::ClothParticle> particles(desc.points.count);
    const u8* points = static_cast<const u8*>(desc.points.data);
    for (u32 i = 0; i < desc.points.count; ++i) {
        const f32* point = reinterpret_cast<const f32*>(points + i * desc.points.stride);
        particles[i].pos = phys::Vec3(point[0], point[1], point[2]);
        particles[i].invWeight = 1.0f / 1.0f;
    }
    const phys::ClothCollisionData empty;
    phys::Cloth* cloth = physics->createCloth(pose, *fabric, particles.data(), collision ? *collision : empty, 0);
    // The cloth holds the fabric from here.
    fabric->release();
    if (!cloth)
        return nullptr;
    cloth->setSolverFrequency(60.0f);
    cloth->userData = nullptr;
    if (scene)
        scene->addActor(*cloth);
    return cloth;
}

phys::Cloth* PhysicsManager::createClothFromMesh(scene::IMesh* mesh, const phys::Transform& pose,
                                                 const core::vector3df& vertexScale,
                                                 const phys::ClothCollisionData* collision) {
    scene::IMeshBuffer* buffer = mesh && mesh->getMeshBufferCount() > 0 ? mesh->getMeshBuffer(0) : nullptr;
    if (!buffer || buffer->getIndexType() != video::EIT_16BIT)
        return nullptr;
    const std::vector<phys::Vec3> points = scaledBufferPositions(*buffer, vertexScale);
    phys::ClothMeshDesc desc;
    desc.points.data = points.data();
    desc.points.stride = sizeof(phys::Vec3);
    desc.points.count = static_cast<u32>(points.size());
    desc.triangles.data = buffer->getIndices();
    desc.triangles.stride = 6;
    desc.triangles.count = buffer->getIndexCount() / 3;
    desc.flags = phys::MeshIndices16;
    return createClothActor(desc, pose, collision, phys::Vec3(0.0f, -1.0f, 0.0f));
}

bool transformClothParticles(phys::Cloth& cloth, const phys::Transform& pose) {
    std::vector<phys::ClothParticle> particles;
    if (!copyClothParticles(cloth, particles))
        return false;
    for (phys::ClothParticle& particle : particles)
        particle.pos = pose.transform(particle.pos);
    cloth.setParticles(particles.data(), nullptr);
    return true;
}

bool readClothParticlePositions(phys::Cloth& cloth, std::vector<core::vector3df>& positions) {
    phys::ClothReadData* data = cloth.lockParticleData();
    if (!data)
        return false;
    const u32 count = cloth.getNbParticles();
    positions.resize(count);
    for (u32 i = 0; i < count; ++i)
        positions[i] = toEngine(data->particles[i].pos);
    data->unlock();
    return true;
}

bool updatePinnedClothParticles(phys::Cloth& cloth, const std::vector<core::vector3df>& positions) {
    if (positions.size() != cloth.getNbParticles())
        return false;
    // Every frame for a pinned cloth: the copy reuses one buffer (main thread).
    thread_local std::vector<phys::ClothParticle> particles;
    if (!copyClothParticles(cloth, particles))
        return false;
    for (size_t i = 0; i < particles.size(); ++i)
        if (particles[i].invWeight == 0.0f)
            particles[i].pos = toPhys(positions[i]);
    cloth.setParticles(particles.data(), nullptr);
    return true;
}

void pinClothParticlesInShape(phys::Cloth& cloth, const phys::Shape& shape, float radius) {
    std::vector<phys::ClothParticle> particles;
    if (!copyClothParticles(cloth, particles))
        return;
    const phys::Transform clothPose = cloth.getGlobalPose();
    for (phys::ClothParticle& particle : particles)
        particle.invWeight = 1.0f;
    const phys::Transform shapePose = shape.getActor()->getGlobalPose() * shape.getLocalPose();
    const phys::SphereGeometry sphere(radius);
    for (phys::ClothParticle& particle : particles) {
        const phys::Transform at(clothPose.transform(particle.pos), phys::Quat());
        if (phys::GeometryQuery::overlap(sphere, at, shape.getGeometry().any(), shapePose))
            particle.invWeight = 0.0f;
    }
    cloth.setParticles(particles.data(), particles.data());
}
