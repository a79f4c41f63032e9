#include "phys/GeometryQuery.h"

#include "phys/detail/Backs.h"
#include "phys/detail/BulletConvert.h"
#include "phys/detail/ContactTest.h"

#include <cmath>
#include <memory>
#include <vector>

namespace phys {

bool GeometryQuery::overlap(const Geometry& geometry0, const Transform& pose0, const Geometry& geometry1,
                            const Transform& pose1) {
    const GeometryHolder g0(geometry0), g1(geometry1);
    if (!g0.isValid() || !g1.isValid() || !pose0.isValid() || !pose1.isValid())
        return false;
    if (g0.getType() == GeometryType::TriangleMesh && g1.getType() == GeometryType::TriangleMesh)
        return false;
    const std::unique_ptr<btCollisionShape> s0(detail::createBulletShape(g0));
    const std::unique_ptr<btCollisionShape> s1(detail::createBulletShape(g1));
    if (!s0 || !s1)
        return false;
    // Queries may come from any thread; each has its own collision machinery.
    thread_local detail::ContactTester tester;
    float distance = 0.0f;
    btVector3 normal;
    const Transform p0(pose0.p, pose0.q.getNormalized()), p1(pose1.p, pose1.q.getNormalized());
    return tester.closest(*s0, detail::toBt(p0), *s1, detail::toBt(p1), 0.0f, distance, normal) && distance <= 0.0f;
}

bool buildSmoothNormals(uint32_t nbTris, uint32_t nbVerts, const Vec3* verts, const uint32_t* dFaces,
                        const uint16_t* wFaces, Vec3* normals, bool flip) {
    if (!verts || !normals || (!dFaces && !wFaces && nbTris > 0))
        return false;
    auto index = [&](uint32_t i) -> uint32_t { return dFaces ? dFaces[i] : wFaces[i]; };
    for (uint32_t i = 0; i < 3 * nbTris; ++i)
        if (index(i) >= nbVerts)
            return false;

    // The sums gather in the output itself (a cloth asks every frame): no list is made.
    Vec3* sums = normals;
    for (uint32_t v = 0; v < nbVerts; ++v)
        sums[v] = Vec3(0.0f, 0.0f, 0.0f);
    for (uint32_t t = 0; t < nbTris; ++t) {
        const uint32_t ref[3] = {index(3 * t), index(3 * t + 1), index(3 * t + 2)};
        const Vec3& a = verts[ref[0]];
        Vec3 face = (verts[ref[1]] - a).cross(verts[ref[2]] - a).getNormalized();
        if (flip)
            face = -face;
        for (int k = 0; k < 3; ++k) {
            const Vec3 e0 = verts[ref[(k + 1) % 3]] - verts[ref[k]];
            const Vec3 e1 = verts[ref[(k + 2) % 3]] - verts[ref[k]];
            const float angle = std::atan2(e0.cross(e1).magnitude(), e0.dot(e1));
            sums[ref[k]] += face * angle;
        }
    }
    for (uint32_t v = 0; v < nbVerts; ++v)
        normals[v] = sums[v].getNormalized();
    return true;
}

} // namespace phys
