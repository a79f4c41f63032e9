#include "phys/Geometry.h"

#include "phys/Meshes.h"

#include <cmath>

namespace phys {

namespace {
bool positiveFinite(float v) { return std::isfinite(v) && v > 0.0f; }
}

bool BoxGeometry::isValid() const {
    return positiveFinite(halfExtents.x) && positiveFinite(halfExtents.y) && positiveFinite(halfExtents.z);
}

bool SphereGeometry::isValid() const { return positiveFinite(radius); }

bool CapsuleGeometry::isValid() const { return positiveFinite(radius) && positiveFinite(halfHeight); }

bool GeometryHolder::store(const Geometry& g) {
    switch (g.getType()) {
    case GeometryType::Box: box_ = static_cast<const BoxGeometry&>(g); break;
    case GeometryType::Sphere: sphere_ = static_cast<const SphereGeometry&>(g); break;
    case GeometryType::Capsule: capsule_ = static_cast<const CapsuleGeometry&>(g); break;
    case GeometryType::ConvexMesh: convex_ = static_cast<const ConvexMeshGeometry&>(g); break;
    case GeometryType::TriangleMesh: mesh_ = static_cast<const TriangleMeshGeometry&>(g); break;
    default: return false;
    }
    type = g.getType();
    return true;
}

const Geometry& GeometryHolder::any() const {
    switch (type) {
    case GeometryType::Sphere: return sphere_;
    case GeometryType::Capsule: return capsule_;
    case GeometryType::ConvexMesh: return convex_;
    case GeometryType::TriangleMesh: return mesh_;
    default: return box_;
    }
}

bool GeometryHolder::isValid() const {
    switch (type) {
    case GeometryType::Box: return box_.isValid();
    case GeometryType::Sphere: return sphere_.isValid();
    case GeometryType::Capsule: return capsule_.isValid();
    case GeometryType::ConvexMesh: return convex_.isValid();
    case GeometryType::TriangleMesh: return mesh_.isValid();
    default: return false;
    }
}

namespace {
// The box around local bounds turned by a pose.
Bounds3 transformBounds(const Bounds3& local, const Transform& pose) {
    Bounds3 out;
    if (local.isEmpty())
        return out;
    const Vec3 c = pose.transform(local.getCenter());
    const Vec3 e = local.getExtents();
    // Extent along each world axis: sum of |R_ij| * e_j.
    const Vec3 ax = pose.rotate(Vec3(1, 0, 0)), ay = pose.rotate(Vec3(0, 1, 0)), az = pose.rotate(Vec3(0, 0, 1));
    const Vec3 we(std::fabs(ax.x) * e.x + std::fabs(ay.x) * e.y + std::fabs(az.x) * e.z,
                  std::fabs(ax.y) * e.x + std::fabs(ay.y) * e.y + std::fabs(az.y) * e.z,
                  std::fabs(ax.z) * e.x + std::fabs(ay.z) * e.y + std::fabs(az.z) * e.z);
    return Bounds3::centerExtents(c, we);
}
} // namespace

Bounds3 computeGeometryBounds(const GeometryHolder& geometry, const Transform& pose) {
    Bounds3 out;
    switch (geometry.getType()) {
    case GeometryType::Box: {
        const Vec3& h = geometry.box().halfExtents;
        return transformBounds(Bounds3(-h, h), pose);
    }
    case GeometryType::Sphere: {
        const float r = geometry.sphere().radius;
        return Bounds3::centerExtents(pose.p, Vec3(r));
    }
    case GeometryType::Capsule: {
        const CapsuleGeometry& c = geometry.capsule();
        const Vec3 axis = pose.rotate(Vec3(c.halfHeight, 0, 0));
        out.include(pose.p + axis);
        out.include(pose.p - axis);
        return Bounds3(out.minimum - Vec3(c.radius), out.maximum + Vec3(c.radius));
    }
    case GeometryType::ConvexMesh: {
        const ConvexMesh* mesh = geometry.convexMesh().convexMesh;
        if (!mesh)
            return out;
        const Vec3* v = mesh->getVertices();
        for (uint32_t i = 0; i < mesh->getNbVertices(); ++i)
            out.include(pose.transform(v[i]));
        return out;
    }
    case GeometryType::TriangleMesh: {
        const TriangleMesh* mesh = geometry.triangleMesh().triangleMesh;
        return mesh ? transformBounds(mesh->getLocalBounds(), pose) : out;
    }
    default: return out;
    }
}

} // namespace phys
