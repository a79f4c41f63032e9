#include "phys/Meshes.h"

#include "phys/Physics.h"
#include "phys/detail/Backs.h"

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

uint32_t TriangleMesh::getNbVertices() const { return static_cast<uint32_t>(data_->vertices.size()); }

uint32_t TriangleMesh::getNbTriangles() const { return static_cast<uint32_t>(data_->remap.size()); }

const Vec3* TriangleMesh::getVertices() const { return data_->vertices.data(); }

const uint32_t* TriangleMesh::getTriangles() const { return data_->triangles.data(); }

const uint32_t* TriangleMesh::getTrianglesRemap() const { return data_->remap.data(); }

Bounds3 TriangleMesh::getLocalBounds() const { return data_->localBounds; }

} // namespace phys
