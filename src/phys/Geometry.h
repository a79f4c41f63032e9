#pragma once

#include "phys/MathTypes.h"

// Shape geometries. The type numbers are the ones the game's code compares against.
// Capsules lie along their local X axis; meshes are used at unit scale.

namespace phys {

class ConvexMesh;
class TriangleMesh;

enum class GeometryType : int {
    Sphere = 0,
    Plane = 1,
    Capsule = 2,
    Box = 3,
    ConvexMesh = 4,
    TriangleMesh = 5,
    HeightField = 6,
    Invalid = -1,
};

class Geometry {
public:
    GeometryType getType() const { return type; }

protected:
    explicit constexpr Geometry(GeometryType t) : type(t) {}
    GeometryType type;
};

struct BoxGeometry : Geometry {
    constexpr BoxGeometry() : Geometry(GeometryType::Box) {}
    explicit constexpr BoxGeometry(const Vec3& h) : Geometry(GeometryType::Box), halfExtents(h) {}
    constexpr BoxGeometry(float hx, float hy, float hz) : Geometry(GeometryType::Box), halfExtents(hx, hy, hz) {}
    bool isValid() const;
    Vec3 halfExtents;
};

struct SphereGeometry : Geometry {
    constexpr SphereGeometry() : Geometry(GeometryType::Sphere) {}
    explicit constexpr SphereGeometry(float r) : Geometry(GeometryType::Sphere), radius(r) {}
    bool isValid() const;
    float radius = 0.0f;
};

// A cylinder of length 2 * halfHeight along local X with hemispherical ends.
struct CapsuleGeometry : Geometry {
    constexpr CapsuleGeometry() : Geometry(GeometryType::Capsule) {}
    constexpr CapsuleGeometry(float r, float hh) : Geometry(GeometryType::Capsule), radius(r), halfHeight(hh) {}
    bool isValid() const;
    float radius = 0.0f;
    float halfHeight = 0.0f;
};

struct ConvexMeshGeometry : Geometry {
    constexpr ConvexMeshGeometry() : Geometry(GeometryType::ConvexMesh) {}
    explicit constexpr ConvexMeshGeometry(ConvexMesh* mesh) : Geometry(GeometryType::ConvexMesh), convexMesh(mesh) {}
    bool isValid() const { return convexMesh != nullptr; }
    ConvexMesh* convexMesh = nullptr;
};

struct TriangleMeshGeometry : Geometry {
    constexpr TriangleMeshGeometry() : Geometry(GeometryType::TriangleMesh) {}
    explicit constexpr TriangleMeshGeometry(TriangleMesh* mesh)
        : Geometry(GeometryType::TriangleMesh), triangleMesh(mesh) {}
    bool isValid() const { return triangleMesh != nullptr; }
    TriangleMesh* triangleMesh = nullptr;
};

// Holds any one geometry by value.
class GeometryHolder {
public:
    GeometryHolder() : box_() {}
    GeometryHolder(const Geometry& g) : box_() { store(g); }

    // Copies a geometry of a supported type; false (and unchanged) for any other.
    bool store(const Geometry& g);

    GeometryType getType() const { return type; }
    const Geometry& any() const;
    bool isValid() const;

    const BoxGeometry& box() const { return box_; }
    const SphereGeometry& sphere() const { return sphere_; }
    const CapsuleGeometry& capsule() const { return capsule_; }
    const ConvexMeshGeometry& convexMesh() const { return convex_; }
    const TriangleMeshGeometry& triangleMesh() const { return mesh_; }

private:
    GeometryType type = GeometryType::Invalid;
    union {
        BoxGeometry box_;
        SphereGeometry sphere_;
        CapsuleGeometry capsule_;
        ConvexMeshGeometry convex_;
        TriangleMeshGeometry mesh_;
    };
};

// Bounds of a geometry placed at a pose (meshes: their vertices' box transformed).
Bounds3 computeGeometryBounds(const GeometryHolder& geometry, const Transform& pose);

} // namespace phys
