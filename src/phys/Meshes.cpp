#include "phys/Meshes.h"

#include "phys/Physics.h"
#include "phys/detail/ArrayGrowth.h"
#include "phys/detail/Backs.h"

#include <algorithm>

namespace phys {

namespace detail {
TriangleMeshData::~TriangleMeshData() {
    delete bvh;
    delete triangleInfo;
    delete meshInterface;
}
} // namespace detail

ConvexMesh::ConvexMesh(Physics& physics_, std::unique_ptr<detail::ConvexMeshData> data)
    : physics(physics_), data_(std::move(data)) {}

ConvexMesh::~ConvexMesh() = default;

void ConvexMesh::release() {
    if (references > 0 && --references == 0) {
        physics.forgetMesh(*this);
        delete this;
    }
}

namespace {
// The heap hands out blocks in size classes: an eighth more than the bytes asked for.
uint64_t withAllocatorRounding(uint64_t bytes) { return bytes + bytes / 8; }
} // namespace

uint64_t ConvexMesh::memoryBytes(uint32_t points) {
    // A hull of h points has at most 3h - 6 edges and 2h - 4 faces; its core, the hull's
    // faces moved inwards, at most 4h - 12 points. Each point is kept as three floats, the
    // core's again as Bullet's four; its records and the allocator's alignment take a little
    // more whatever its size.
    constexpr uint64_t records = 256;
    const uint64_t hull = std::max<uint64_t>(std::min(points, MaxHullPoints), 4);
    const uint64_t core = 4 * hull - 12;
    return withAllocatorRounding(sizeof(ConvexMesh) + sizeof(detail::ConvexMeshData) + records + hull * sizeof(Vec3) +
                                 (3 * hull - 6) * 2 * sizeof(uint32_t) + core * sizeof(Vec3) +
                                 detail::grownCapacity(core) * sizeof(btVector3));
}

uint32_t ConvexMesh::getNbVertices() const { return static_cast<uint32_t>(data_->cooked.hullVertices.size()); }

const Vec3* ConvexMesh::getVertices() const { return data_->cooked.hullVertices.data(); }

Bounds3 ConvexMesh::getLocalBounds() const { return data_->localBounds; }

TriangleMesh::TriangleMesh(Physics& physics_, std::unique_ptr<detail::TriangleMeshData> data)
    : physics(physics_), data_(std::move(data)) {}

TriangleMesh::~TriangleMesh() = default;

void TriangleMesh::release() {
    if (references > 0 && --references == 0) {
        physics.forgetMesh(*this);
        delete this;
    }
}

uint64_t TriangleMesh::memoryBytes(uint32_t points, uint32_t triangles) {
    // Its points, triangles and their original indices; the tree (a quantized node of each
    // triangle and a tree of twice as many); the edge table (an entry, its key and two links
    // of a hash table a triangle, grown by doubling).
    const uint64_t t = triangles;
    const uint64_t own = static_cast<uint64_t>(points) * sizeof(Vec3) + t * 3 * sizeof(uint32_t) + t * sizeof(uint32_t);
    const uint64_t tree = (detail::grownCapacity(t) + 2 * t) * sizeof(btQuantizedBvhNode);
    const uint64_t edges = detail::grownCapacity(t) * (sizeof(btTriangleInfo) + 3 * sizeof(int));
    // The tree's and the table's own records and first arrays, whatever the mesh's size.
    constexpr uint64_t records = 1024;
    return withAllocatorRounding(sizeof(TriangleMesh) + sizeof(detail::TriangleMeshData) + records + own + tree + edges);
}

uint32_t TriangleMesh::getNbVertices() const { return static_cast<uint32_t>(data_->vertices.size()); }

uint32_t TriangleMesh::getNbTriangles() const { return static_cast<uint32_t>(data_->remap.size()); }

const Vec3* TriangleMesh::getVertices() const { return data_->vertices.data(); }

const uint32_t* TriangleMesh::getTriangles() const { return data_->triangles.data(); }

const uint32_t* TriangleMesh::getTrianglesRemap() const { return data_->remap.data(); }

Bounds3 TriangleMesh::getLocalBounds() const { return data_->localBounds; }

} // namespace phys
