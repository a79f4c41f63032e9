#include "phys/Cooking.h"

#include "phys/Foundation.h"
#include "phys/detail/ClothSet.h"
#include "phys/detail/MassProperties.h"

#include <LinearMath/btConvexHullComputer.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace phys {

bool Tolerances::isValid() const {
    return std::isfinite(length) && length > 0.0f && std::isfinite(mass) && mass > 0.0f && std::isfinite(speed) &&
           speed >= 0.0f;
}

Cooking* Cooking::create(Foundation& foundation, const CookingParams& params) {
    if (!params.scale.isValid()) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter, "cooking: invalid tolerances");
        return nullptr;
    }
    return new Cooking(foundation, params);
}

Cooking::Cooking(Foundation& foundation_, const CookingParams& params_) : foundation(foundation_), params(params_) {}

void Cooking::release() { delete this; }

namespace {

// Reads the first three floats of each element; false on a bad layout or a non-finite value.
bool readPoints(const BoundedData& data, std::vector<Vec3>& out) {
    if (!data.data || data.stride < sizeof(float) * 3 || data.count == 0)
        return false;
    out.resize(data.count);
    const auto* bytes = static_cast<const unsigned char*>(data.data);
    for (uint32_t i = 0; i < data.count; ++i) {
        float xyz[3];
        std::memcpy(xyz, bytes + static_cast<size_t>(i) * data.stride, sizeof(xyz));
        out[i] = Vec3(xyz[0], xyz[1], xyz[2]);
        if (!out[i].isFinite())
            return false;
    }
    return true;
}

// The polygons of a computed hull as a triangle fan each, and its edges.
void hullTopology(const btConvexHullComputer& hull, std::vector<uint32_t>& triangles, std::vector<uint32_t>& edges) {
    for (int f = 0; f < hull.faces.size(); ++f) {
        const btConvexHullComputer::Edge* first = &hull.edges[hull.faces[f]];
        const btConvexHullComputer::Edge* e = first;
        std::vector<uint32_t> polygon;
        do {
            polygon.push_back(static_cast<uint32_t>(e->getSourceVertex()));
            e = e->getNextEdgeOfFace();
        } while (e != first && polygon.size() <= static_cast<size_t>(hull.edges.size()));
        for (size_t i = 1; i + 1 < polygon.size(); ++i) {
            triangles.push_back(polygon[0]);
            triangles.push_back(polygon[i]);
            triangles.push_back(polygon[i + 1]);
        }
    }
    for (int i = 0; i < hull.edges.size(); ++i) {
        const int a = hull.edges[i].getSourceVertex(), b = hull.edges[i].getTargetVertex();
        if (a < b) {
            edges.push_back(static_cast<uint32_t>(a));
            edges.push_back(static_cast<uint32_t>(b));
        }
    }
}

// The extreme point of the cloud in each of `count` directions spread evenly over the sphere
// (a golden-angle spiral), each point taken once and kept in its order in the cloud. The
// directions are spread in the cloud's box made a cube, so that a long, thin cloud keeps as
// many points along its length as across it. Time linear in the points for each direction.
std::vector<Vec3> extremePoints(const std::vector<Vec3>& points, uint32_t count) {
    Bounds3 bounds;
    for (const Vec3& p : points)
        bounds.include(p);
    const Vec3 size = bounds.getDimensions();
    const double floor = std::max(1e-6 * static_cast<double>(size.maxElement()), 1e-30);
    const double inverse[3] = {1.0 / std::max(static_cast<double>(size.x), floor),
                               1.0 / std::max(static_cast<double>(size.y), floor),
                               1.0 / std::max(static_cast<double>(size.z), floor)};
    const Vec3 centre = bounds.getCenter();
    const double goldenAngle = 3.14159265358979 * (3.0 - std::sqrt(5.0));
    std::vector<char> taken(points.size(), 0);
    for (uint32_t i = 0; i < count; ++i) {
        const double y = 1.0 - 2.0 * (i + 0.5) / count;
        const double ring = std::sqrt(std::max(0.0, 1.0 - y * y));
        const double dx = std::cos(goldenAngle * i) * ring * inverse[0], dy = y * inverse[1],
                     dz = std::sin(goldenAngle * i) * ring * inverse[2];
        size_t best = 0;
        double bestReach = -std::numeric_limits<double>::infinity();
        for (size_t j = 0; j < points.size(); ++j) {
            const Vec3 p = points[j] - centre;
            const double reach = p.x * dx + p.y * dy + p.z * dz;
            if (reach > bestReach) {
                bestReach = reach;
                best = j;
            }
        }
        taken[best] = 1;
    }
    std::vector<Vec3> out;
    for (size_t j = 0; j < points.size(); ++j)
        if (taken[j])
            out.push_back(points[j]);
    return out;
}

std::vector<Vec3> hullVertices(const btConvexHullComputer& hull) {
    std::vector<Vec3> out;
    out.reserve(hull.vertices.size());
    for (int i = 0; i < hull.vertices.size(); ++i)
        out.emplace_back(hull.vertices[i].x(), hull.vertices[i].y(), hull.vertices[i].z());
    return out;
}

} // namespace

bool Cooking::cookConvexMesh(const ConvexMeshDesc& desc, CookedConvex& out) {
    std::vector<Vec3> points;
    if (!readPoints(desc.points, points) || points.size() < 4) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter,
                    "convex cooking: need at least four finite points with a stride of 12 bytes or more");
        return false;
    }
    if (points.size() > MaxHullPoints)
        points = extremePoints(points, MaxHullPoints);
    if (points.size() < 4) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter, "convex cooking: the points span no volume");
        return false;
    }
    const float* coords = &points[0].x;

    btConvexHullComputer hull;
    if (hull.compute(coords, sizeof(Vec3), static_cast<int>(points.size()), 0.0f, 0.0f) < 0.0f ||
        hull.faces.size() < 4) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter, "convex cooking: the points span no volume");
        return false;
    }

    CookedConvex cooked;
    cooked.hullVertices = hullVertices(hull);
    std::vector<uint32_t> triangles;
    hullTopology(hull, triangles, cooked.hullEdges);

    Bounds3 bounds;
    for (const Vec3& v : cooked.hullVertices)
        bounds.include(v);
    const Vec3 size = bounds.getDimensions();
    const detail::MassProperties mass = detail::polyhedronMassProperties(cooked.hullVertices, triangles);
    if (!(mass.mass > 1e-6f * size.maxElement() * size.maxElement() * size.maxElement())) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter, "convex cooking: the hull is flat");
        return false;
    }
    cooked.volume = mass.mass;
    cooked.centerOfMass = mass.centerOfMass;
    cooked.inertiaDiagonal = mass.inertia.diagonal;
    cooked.inertiaProducts = mass.inertia.products;

    // The collision core is the hull moved inwards by the margin that Bullet adds back.
    cooked.margin = std::min(0.04f, 0.1f * size.minElement());
    btConvexHullComputer core;
    if (cooked.margin > 0.0f &&
        core.compute(coords, sizeof(Vec3), static_cast<int>(points.size()), cooked.margin, 0.0f) >= 0.0f &&
        core.vertices.size() >= 4) {
        cooked.coreVertices = hullVertices(core);
    } else {
        cooked.margin = 0.0f;
        cooked.coreVertices = cooked.hullVertices;
    }
    out = std::move(cooked);
    return true;
}

bool Cooking::readTriangles(const TriangleMeshDesc& desc, uint32_t vertexCount, std::vector<uint32_t>& out,
                            const char* operation) {
    const bool small = (desc.flags & MeshIndices16) != 0;
    const uint32_t indexSize = small ? 2 : 4;
    if (!desc.triangles.data || desc.triangles.count == 0 || desc.triangles.stride < indexSize * 3) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter, "%s: no triangles", operation);
        return false;
    }
    const auto* bytes = static_cast<const unsigned char*>(desc.triangles.data);
    out.resize(3 * static_cast<size_t>(desc.triangles.count));
    for (uint32_t t = 0; t < desc.triangles.count; ++t) {
        const unsigned char* tri = bytes + static_cast<size_t>(t) * desc.triangles.stride;
        for (int k = 0; k < 3; ++k) {
            uint32_t index = 0;
            if (small) {
                uint16_t v;
                std::memcpy(&v, tri + k * 2, 2);
                index = v;
            } else {
                std::memcpy(&index, tri + k * 4, 4);
            }
            if (index >= vertexCount) {
                PHYS_REPORT(foundation, ErrorCode::InvalidParameter, "%s: triangle %u uses vertex %u of %u", operation,
                            t, index, vertexCount);
                return false;
            }
            out[3 * static_cast<size_t>(t) + k] = index;
        }
    }
    return true;
}

bool Cooking::cookTriangleMesh(const TriangleMeshDesc& desc, CookedTriangleMesh& out) {
    CookedTriangleMesh cooked;
    if (!readPoints(desc.points, cooked.vertices)) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter,
                    "triangle mesh cooking: points missing, badly laid out or not finite");
        return false;
    }
    std::vector<uint32_t> all;
    if (!readTriangles(desc, static_cast<uint32_t>(cooked.vertices.size()), all, "triangle mesh cooking"))
        return false;
    for (uint32_t t = 0; 3 * t < all.size(); ++t) {
        const uint32_t* idx = &all[3 * static_cast<size_t>(t)];
        const Vec3& a = cooked.vertices[idx[0]];
        const Vec3& b = cooked.vertices[idx[1]];
        const Vec3& c = cooked.vertices[idx[2]];
        if (idx[0] == idx[1] || idx[1] == idx[2] || idx[0] == idx[2] || (b - a).cross(c - a).magnitudeSquared() <= 0.0f)
            continue; // degenerate: no surface to collide with
        cooked.indices.insert(cooked.indices.end(), idx, idx + 3);
        cooked.faceRemap.push_back(t);
    }
    if (cooked.faceRemap.empty()) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter, "triangle mesh cooking: every triangle is degenerate");
        return false;
    }
    out = std::move(cooked);
    return true;
}

bool Cooking::cookClothFabric(const ClothMeshDesc& desc, const Vec3& gravityDirection, CookedClothFabric& out) {
    std::vector<Vec3> points;
    if (!readPoints(desc.points, points)) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter,
                    "cloth cooking: points missing, badly laid out or not finite");
        return false;
    }
    if (points.size() > MaxClothParticles) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter, "cloth cooking: %zu points, more than the %u a cloth may have",
                    points.size(), MaxClothParticles);
        return false;
    }
    CookedClothFabric cooked;
    cooked.particleCount = static_cast<uint32_t>(points.size());
    cooked.gravityDirection = gravityDirection;
    if (!readTriangles(desc, cooked.particleCount, cooked.triangles, "cloth cooking"))
        return false;
    std::vector<uint64_t> seen;
    for (size_t t = 0; t < cooked.triangles.size(); t += 3) {
        for (int k = 0; k < 3; ++k) {
            uint32_t a = cooked.triangles[t + k], b = cooked.triangles[t + (k + 1) % 3];
            if (a == b)
                continue;
            if (a > b)
                std::swap(a, b);
            seen.push_back((static_cast<uint64_t>(a) << 32) | b);
        }
    }
    std::sort(seen.begin(), seen.end());
    seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
    // Each particle with d neighbours makes up to d * d bending pairs of its neighbours.
    std::vector<uint32_t> degree(points.size(), 0);
    for (uint64_t key : seen) {
        const uint32_t a = static_cast<uint32_t>(key >> 32), b = static_cast<uint32_t>(key);
        ++degree[a];
        ++degree[b];
        cooked.edges.push_back(a);
        cooked.edges.push_back(b);
        cooked.restLengths.push_back((points[a] - points[b]).magnitude());
    }
    uint64_t bendingWork = 0;
    for (uint32_t d : degree)
        bendingWork += static_cast<uint64_t>(d) * d;
    const uint64_t bendingBudget = MaxClothBendingPairsPerParticle * std::max<uint64_t>(points.size(), 64);
    if (bendingWork > bendingBudget) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter,
                    "cloth cooking: vertices shared by too many triangles (%llu neighbour pairs, at most %llu)",
                    static_cast<unsigned long long>(bendingWork), static_cast<unsigned long long>(bendingBudget));
        return false;
    }
    for (const auto& [farIndex, nearIndex] : detail::clothBendingPairs(static_cast<int>(points.size()), cooked.edges)) {
        cooked.bendingPairs.push_back(static_cast<uint32_t>(farIndex));
        cooked.bendingPairs.push_back(static_cast<uint32_t>(nearIndex));
    }
    out = std::move(cooked);
    return true;
}

} // namespace phys
