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

phys::ConvexMesh* cookConvexMesh(PhysicsManager* manager, const irr::scene::IMeshBuffer* buffer,
                                 const irr::core::vector3df& vertexScale) {
    if (!manager || !manager->getPhysics() || !manager->getCooking() || !buffer)
        return nullptr;
    const std::vector<phys::Vec3> points = scaledBufferPositions(*buffer, vertexScale);
    phys::ConvexMeshDesc desc;
    desc.points = pointData(points);
    desc.flags = convexCookingFlags;

    phys::ConvexMesh* mesh = nullptr;
    phys::CookedConvex cooked;
    if (!manager->getCooking()->cookConvexMesh(desc, cooked))
        std::printf("Failed convex mesh cooking\n");
    else
        mesh = manager->getPhysics()->createConvexMesh(cooked);
    if (!mesh)
        std::printf("Failed to create convex mesh\n");
    std::fflush(stdout);
    return mesh;
}

phys::TriangleMesh* cookTriangleMesh(PhysicsManager* manager, const irr::scene::IMeshBuffer* buffer,
                                     const irr::core::vector3df& vertexScale) {
    if (!manager || !manager->getPhysics() || !manager->getCooking() || !buffer)
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

    phys::TriangleMesh* mesh = nullptr;
    phys::CookedTriangleMesh cooked;
    if (!manager->getCooking()->cookTriangleMesh(desc, cooked))
        std::printf("Failed triangle mesh cooking\n");
    else
        mesh = manager->getPhysics()->createTriangleMesh(cooked);
    if (!mesh)
        std::printf("Failed to create triangle mesh\n");
    std::fflush(stdout);
    return mesh;
}
