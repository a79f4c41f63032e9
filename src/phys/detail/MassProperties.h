#pragma once

#include "phys/MathTypes.h"

#include <cstdint>
#include <vector>

// Mass properties of solids: volume (mass at unit density), centre of mass and inertia
// tensor about the centre of mass.

namespace phys::detail {

// Symmetric inertia tensor: diagonal (xx, yy, zz) and off-diagonal entries (xy, xz, yz).
struct InertiaTensor {
    Vec3 diagonal;
    Vec3 products;

    InertiaTensor operator+(const InertiaTensor& o) const { return {diagonal + o.diagonal, products + o.products}; }
    InertiaTensor operator*(float s) const { return {diagonal * s, products * s}; }
};

struct MassProperties {
    float mass = 0.0f;
    Vec3 centerOfMass;
    InertiaTensor inertia; // about the centre of mass
};

MassProperties boxMassProperties(const Vec3& halfExtents);
MassProperties sphereMassProperties(float radius);
// Capsule along X.
MassProperties capsuleMassProperties(float radius, float halfHeight);
// Closed polyhedron given as triangles (either consistent winding).
MassProperties polyhedronMassProperties(const std::vector<Vec3>& vertices, const std::vector<uint32_t>& triangles);

// R * I * R^T.
InertiaTensor rotateInertia(const InertiaTensor& inertia, const Quat& rotation);
// Inertia about a point at offset from the centre of mass (parallel axis theorem).
InertiaTensor shiftInertia(const InertiaTensor& aboutCenter, float mass, const Vec3& offset);
// Principal moments and the rotation from the principal frame to the tensor's frame.
void diagonalizeInertia(const InertiaTensor& inertia, Vec3& principal, Quat& axes);

} // namespace phys::detail
