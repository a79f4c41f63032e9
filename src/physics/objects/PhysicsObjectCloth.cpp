// A cloth object: its cloth made from the mesh, its pinned particles carried by the physics
// parent's body, and its render mesh rebuilt from the particles every frame.
#include "physics/objects/PhysicsObject.h"

#include "core/LoadBudget.h"
#include "level/MeshGate.h"
#include "physics/bodies/ClothBodies.h"
#include "physics/world/PhysicsManager.h"

#include <algorithm>

using namespace irr;

void PhysicsObject::buildCloth(scene::IMesh* mesh, const phys::Transform& pose, const core::vector3df& scale) {
    PhysicsBodySettings& b = *bodySettings;
    if (b.cloth)
        physicsManager->releaseActor(b.cloth, false);
    b.cloth = nullptr;
    // A level whose memory budget has no room left makes no new cloth: it is not even cooked.
    if (b.clothMemory.charged() == 0 && !loadBudget().allows(LoadBudget::Memory, 1))
        return;
    b.cloth = physicsManager->createClothFromMesh(mesh, pose, scale);
    if (!b.cloth)
        return;
    // The cloth with the soft body the next step builds for it, its render mesh (a copy of
    // the node's) and the three arrays of one vector a particle: charged to the level's
    // memory before the step builds it; a cloth past the budget is left out.
    const u32 particles = b.cloth->getNbParticles();
    const std::uint64_t bytes = phys::Cloth::memoryBytes(b.cloth->getFabric().data()) +
                                3ull * particles * sizeof(core::vector3df) + meshBytes(meshNode ? meshNode->getMesh() : nullptr);
    if (!b.clothMemory.growTo(bytes)) {
        physicsManager->releaseActor(b.cloth, false);
        b.cloth = nullptr;
        return;
    }
    // The cloth works in world space: its frame is the identity and its particles are placed
    // where the node's pose puts them.
    b.cloth->setGlobalPose(phys::Transform());
    transformClothParticles(*b.cloth, pose);
    // The node draws a mesh of its own, rewritten from the particles.
    if (meshNode && meshNode->getMesh() && SceneManager) {
        scene::SMesh* copy = SceneManager->getMeshManipulator()->createMeshCopy(meshNode->getMesh());
        auto* animated = new scene::SAnimatedMesh(copy);
        copy->drop();
        meshNode->setMesh(animated);
        animated->drop();
        // Cloth is seen from both sides: neither side is culled (the lit shader lights the
        // side it shows).
        meshNode->setMaterialFlag(video::EMF_BACK_FACE_CULLING, false);
        updateClothMesh();
    }
}

void PhysicsObject::attachClothColliders(PhysicsObject* parent) {
    PhysicsBodySettings& b = *bodySettings;
    phys::RigidActor* body = parent ? parent->getBodyActor() : nullptr;
    if (!b.cloth || !body)
        return;
    std::vector<phys::Shape*> shapes(body->getNbShapes());
    body->getShapes(shapes.data(), static_cast<u32>(shapes.size()));
    for (phys::Shape* shape : shapes)
        pinClothParticlesInShape(*b.cloth, *shape, 1.0f);
    b.clothAttachments.resize(b.cloth->getNbParticles());
    readClothParticlePositions(*b.cloth, b.clothPositions);
    phys::ClothReadData* data = b.cloth->lockParticleData();
    if (!data)
        return;
    const phys::Transform frame = body->getGlobalPose();
    for (u32 i = 0; i < b.cloth->getNbParticles(); ++i)
        if (data->particles[i].invWeight == 0.0f)
            b.clothAttachments[i] = toEngine(frame.transformInv(data->particles[i].pos));
    data->unlock();
}

void PhysicsObject::pinClothToParent() {
    PhysicsBodySettings& b = *bodySettings;
    PhysicsObject* parent = b.physicsParent;
    if (!b.cloth || !parent || !parent->getBodyActor() || b.clothAttachments.size() != b.cloth->getNbParticles())
        return;
    // Every frame: the positions reuse one buffer (main thread).
    thread_local std::vector<core::vector3df> positions;
    if (!readClothParticlePositions(*b.cloth, positions))
        return;
    const phys::Transform frame = parent->getBodyActor()->getGlobalPose();
    for (size_t i = 0; i < positions.size(); ++i)
        positions[i] = toEngine(frame.transform(toPhys(b.clothAttachments[i])));
    updatePinnedClothParticles(*b.cloth, positions);
}

void PhysicsObject::updateClothMesh() {
    PhysicsBodySettings& b = *bodySettings;
    scene::IMesh* mesh = meshNode ? meshNode->getMesh() : nullptr;
    scene::IMeshBuffer* buffer = mesh && mesh->getMeshBufferCount() > 0 ? mesh->getMeshBuffer(0) : nullptr;
    if (!b.cloth || !buffer || buffer->getIndexType() != video::EIT_16BIT)
        return;
    const u32 count = b.cloth->getNbParticles();
    b.clothPositions.resize(count);
    b.clothNormals.resize(count);
    phys::ClothReadData* data = b.cloth->lockParticleData();
    if (!data)
        return;
    for (u32 i = 0; i < count; ++i)
        b.clothPositions[i] = toEngine(data->particles[i].pos);
    data->unlock();
    static_assert(sizeof(core::vector3df) == sizeof(phys::Vec3), "positions pass as the layer's vectors");
    phys::buildSmoothNormals(buffer->getIndexCount() / 3, count,
                             reinterpret_cast<const phys::Vec3*>(b.clothPositions.data()), nullptr,
                             static_cast<const u16*>(buffer->getIndices()),
                             reinterpret_cast<phys::Vec3*>(b.clothNormals.data()));
    meshNode->updateAbsolutePosition();
    core::matrix4 inverse;
    if (!meshNode->getAbsoluteTransformation().getInverse(inverse))
        inverse.makeIdentity();
    u8* vertices = static_cast<u8*>(buffer->getVertices());
    const u32 stride = video::getVertexPitchFromType(buffer->getVertexType());
    const u32 written = std::min(count, buffer->getVertexCount());
    for (u32 i = 0; i < written; ++i) {
        auto* vertex = reinterpret_cast<video::S3DVertex*>(vertices + i * stride);
        core::vector3df position = b.clothPositions[i];
        inverse.transformVect(position);
        vertex->Pos = position;
        // The cloth gives world-space normals; drawing turns them by the node's transformation,
        // so they are stored turned back into the node's frame (a turned banner would
        // otherwise be lit as if turned twice).
        core::vector3df normal = b.clothNormals[i];
        inverse.rotateVect(normal);
        vertex->Normal = normal.normalize();
    }
    buffer->recalculateBoundingBox();
    buffer->setDirty(scene::EBT_VERTEX_AND_INDEX);
    mesh->setBoundingBox(buffer->getBoundingBox());
    if (scene::IMesh* frame = meshNode->getMesh()->getMesh(0))
        frame->setBoundingBox(buffer->getBoundingBox());
}
