#include "physics/bodies/MeshCooking.h"

#include "physics/world/PhysicsManager.h"

#include <cstdio>

namespace {

// Convex cooking flags: the library computes the hull (0x4), normals uncompressed (0x20).
constexpr uint32_t convexCookingFlags = phys::ConvexComputeConvex | phys::ConvexUncompressedNormals;

phys::BoundedData pointData(const std::vector<phys::Vec3>& points) {
    phys::BoundedData data;
    data.data = points.data();
    data.stride = sizeof(phys::Vec3);
    data.count = static_cast<uint32_t>(points.size());
    return data;
}

} // namespace

std::vector<phys::Vec3> scaledBufferPositions(const irr::scene::IMeshBuffer& buffer,
                                              const irr::core::vector3df& scale) {
    const irr::video::E_VERTEX_TYPE type = buffer.getVertexType();
    std::vector<phys::Vec3> points;
    if (type != irr::video::EVT_STANDARD && type != irr::video::EVT_2TCOORDS && type != irr::video::EVT_TANGENTS)
        return points;
    const irr::u32 stride = irr::video::getVertexPitchFromType(type);
    const irr::u32 count = buffer.getVertexCount();
    const auto* bytes = static_cast<const irr::u8*>(buffer.getVertices());
    if (!bytes)
        return points;
    points.reserve(count);
    for (irr::u32 i = 0; i < count; ++i) {
        const auto* position = reinterpret_cast<const irr::core::vector3df*>(bytes + i * stride);
        points.emplace_back(position->X * scale.X, position->Y * scale.Y, position->Z * scale.Z);
    }
    return points;
}

namespace {

// Cooks in memory and makes the library mesh from the cooked data; a failed cooking prints
// both lines, a failed creation the second one.
template <class Desc, class Cooked, class Mesh>
Mesh* cookAndCreate(PhysicsManager& manager, const Desc& desc, bool (phys::Cooking::*cook)(const Desc&, Cooked&),
                    Mesh* (phys::Physics::*create)(const Cooked&), const char* cookingFailed,
                    const char* creationFailed) {
    Mesh* mesh = nullptr;
    Cooked cooked;
    if (!(manager.getCooking()->*cook)(desc, cooked))
        std::printf("%s\n", cookingFailed);
    else
        mesh = (manager.getPhysics()->*create)(cooked);
    if (!mesh)
        std::printf("%s\n", creationFailed);
    std::fflush(stdout);
    return mesh;
}

bool canCook(const PhysicsManager* manager, const irr::scene::IMeshBuffer* buffer) {
    return manager && manager->getPhysics() && manager->getCooking() && buffer;
}

} // namespace

phys::ConvexMesh* cookConvexMesh(PhysicsManager* manager, const irr::scene::IMeshBuffer* buffer,
                                 const irr::core::vector3df& vertexScale) {
    if (!canCook(manager, buffer))
        return nullptr;
    const std::vector<phys::Vec3> points = scaledBufferPositions(*buffer, vertexScale);
    phys::ConvexMeshDesc desc;
    desc.points = pointData(points);
    desc.flags = convexCookingFlags;
    return cookAndCreate(*manager, desc, &phys::Cooking::cookConvexMesh, &phys::Physics::createConvexMesh,
                         "Failed convex mesh cooking", "Failed to create convex mesh");
}

phys::TriangleMesh* cookTriangleMesh(PhysicsManager* manager, const irr::scene::IMeshBuffer* buffer,
                                     const irr::core::vector3df& vertexScale) {
    if (!canCook(manager, buffer))
        return nullptr;
    const std::vector<phys::Vec3> points = scaledBufferPositions(*buffer, vertexScale);
    phys::TriangleMeshDesc desc;
    desc.points = pointData(points);
    // Buffers with 32-bit indices are read as such; the engine's default buffers are 16-bit.
    const bool wide = buffer->getIndexType() == irr::video::EIT_32BIT;
    desc.triangles.data = buffer->getIndices();
    desc.triangles.stride = wide ? 12 : 6;
    desc.triangles.count = buffer->getIndexCount() / 3;
    desc.flags = wide ? 0u : static_cast<uint32_t>(phys::MeshIndices16);
    return cookAndCreate(*manager, desc, &phys::Cooking::cookTriangleMesh, &phys::Physics::createTriangleMesh,
                         "Failed triangle mesh cooking", "Failed to create triangle mesh");
}
