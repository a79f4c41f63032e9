#pragma once

#include "phys/MathTypes.h"

#include <cstdint>
#include <memory>

// Shared meshes made from cooked data. They are reference counted: the creator holds one
// reference, every shape made from the mesh holds another; the mesh goes with the last.

namespace phys {

class Physics;
namespace detail {
struct ConvexMeshData;
struct TriangleMeshData;
}

class ConvexMesh {
public:
    void acquire() { ++references; }
    void release();
    uint32_t getReferenceCount() const { return references; }

    uint32_t getNbVertices() const;
    const Vec3* getVertices() const;
    Bounds3 getLocalBounds() const;

    // What a hull cooked from so many points holds once made (its hull and collision core):
    // known before cooking, so that a caller can charge it first.
    static uint64_t memoryBytes(uint32_t points);

    detail::ConvexMeshData& data() const { return *data_; }

private:
    friend class Physics;
    ConvexMesh(Physics& physics, std::unique_ptr<detail::ConvexMeshData> data);
    ~ConvexMesh();

    Physics& physics;
    std::unique_ptr<detail::ConvexMeshData> data_;
    uint32_t references = 1;
};

class TriangleMesh {
public:
    void acquire() { ++references; }
    void release();
    uint32_t getReferenceCount() const { return references; }

    uint32_t getNbVertices() const;
    uint32_t getNbTriangles() const;
    const Vec3* getVertices() const;
    const uint32_t* getTriangles() const;   // three indices per triangle
    const uint32_t* getTrianglesRemap() const; // original index of each triangle
    Bounds3 getLocalBounds() const;

    // What a mesh cooked from so many points and triangles holds once made (its arrays, tree
    // and edge table): known before cooking, so that a caller can charge it first.
    static uint64_t memoryBytes(uint32_t points, uint32_t triangles);

    detail::TriangleMeshData& data() const { return *data_; }

private:
    friend class Physics;
    TriangleMesh(Physics& physics, std::unique_ptr<detail::TriangleMeshData> data);
    ~TriangleMesh();

    Physics& physics;
    std::unique_ptr<detail::TriangleMeshData> data_;
    uint32_t references = 1;
};

} // namespace phys
