#pragma once

#include "phys/Geometry.h"
#include "phys/MathTypes.h"

#include <cstdint>

// Geometry-level queries that need no scene, and smooth vertex normals for meshes.

namespace phys {

struct GeometryQuery {
    // Whether two geometries placed at two poses overlap; touching counts. A triangle mesh
    // is tested against a convex geometry (box, sphere, capsule, convex mesh), not against
    // another mesh (false, with no error). False for invalid geometries or poses.
    static bool overlap(const Geometry& geometry0, const Transform& pose0, const Geometry& geometry1,
                        const Transform& pose1);
};

// Vertex normals of a triangle mesh: each vertex gets the normalised sum of the normals of
// the triangles around it, each weighted by the triangle's angle at that vertex (so a vertex
// gets the same normal however the faces around it are cut into triangles). A triangle
// (a, b, c) faces along (b - a) x (c - a), or the other way with flip. Indices come from
// dFaces (32-bit) or, when it is null, wFaces (16-bit). False, writing nothing, for missing
// arrays or an index out of range. A vertex used by no triangle gets (0, 0, 0). The normals
// are summed where they are written: they must not share memory with the vertices.
bool buildSmoothNormals(uint32_t nbTris, uint32_t nbVerts, const Vec3* verts, const uint32_t* dFaces,
                        const uint16_t* wFaces, Vec3* normals, bool flip = false);

} // namespace phys
