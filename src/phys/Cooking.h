#pragma once

#include "phys/MathTypes.h"

#include <cstdint>
#include <vector>

// Mesh cooking: turns raw point and index data into in-memory cooked meshes, which
// Physics::createConvexMesh and Physics::createTriangleMesh make into shared meshes.
// Cooking validates everything Bullet would crash on; a failure returns false.

namespace phys {

class Foundation;

struct Tolerances {
    float length = 1.0f;
    float mass = 1000.0f;
    float speed = 10.0f;

    bool isValid() const;
};

// A strided array: element i starts at data + i * stride bytes.
struct BoundedData {
    const void* data = nullptr;
    uint32_t stride = 0;
    uint32_t count = 0;
};

enum ConvexFlag : uint32_t {
    ConvexComputeConvex = 0x4, // the hull of the points is computed (always done here)
    ConvexUncompressedNormals = 0x20, // kept; the hull's normals are never compressed here
};

struct ConvexMeshDesc {
    BoundedData points; // three floats at the start of each element
    uint32_t flags = 0;
};

// The most points a hull is computed from. A cloud of more is first cut down to its extreme
// points in as many directions spread over the sphere: each of them lies on the hull of the
// whole cloud, so the hull made is the cloud's, less its corners between those directions.
// Computing a hull costs more than linear time in its points, and every contact of the body
// walks its hull's points: a mesh of 65,000 points on its hull took seconds to cook and
// slowed every step it touched.
constexpr uint32_t MaxHullPoints = 256;

enum MeshFlag : uint32_t {
    MeshIndices16 = 0x2, // triangle indices are 16-bit
};

struct TriangleMeshDesc {
    BoundedData points;    // three floats at the start of each element
    BoundedData triangles; // three indices at the start of each element
    uint32_t flags = 0;
};

// A cooked convex hull. The collision core is the hull shrunk by the margin; Bullet adds the
// margin back around it, so the collision surface is the hull itself with rounded corners.
struct CookedConvex {
    std::vector<Vec3> hullVertices;
    std::vector<uint32_t> hullEdges; // vertex index pairs
    std::vector<Vec3> coreVertices;
    float margin = 0.0f;
    // Mass properties at unit density, in the mesh frame: the inertia tensor about the
    // centre of mass as its diagonal (xx, yy, zz) and off-diagonal (xy, xz, yz) parts.
    float volume = 0.0f;
    Vec3 centerOfMass;
    Vec3 inertiaDiagonal;
    Vec3 inertiaProducts;
};

// A cooked triangle mesh: degenerate triangles are dropped, faceRemap maps each kept
// triangle to its index in the original data (face indices are reported in that numbering).
struct CookedTriangleMesh {
    std::vector<Vec3> vertices;
    std::vector<uint32_t> indices; // three per triangle
    std::vector<uint32_t> faceRemap;
};

// A cloth mesh: the same layout as a triangle mesh. Every point becomes one cloth particle,
// also a point that no triangle uses.
struct ClothMeshDesc : TriangleMeshDesc {};

// The most particles a cloth may have (a 128 x 128 sheet); each costs every step.
constexpr uint32_t MaxClothParticles = 16384;
// A bound on the bending pairs, per particle, of the sum over the particles of the square of
// their neighbour counts: a triangle grid gives about 36, the centre of a fan of triangles
// the square of the fan's size.
constexpr uint64_t MaxClothBendingPairsPerParticle = 128;

// A cooked cloth fabric: the unique edges of the triangles with their rest lengths.
struct CookedClothFabric {
    uint32_t particleCount = 0;
    std::vector<uint32_t> triangles;  // three particle indices per triangle
    std::vector<uint32_t> edges;      // two particle indices per edge
    std::vector<float> restLengths;   // one per edge
    std::vector<uint32_t> bendingPairs; // two particle indices (far, near) per pair two edges apart
    Vec3 gravityDirection;
};

struct CookingParams {
    Tolerances scale;
    float skinWidth = 0.0f;
    bool suppressTriangleMeshRemapTable = false;
    bool buildTriangleAdjacencies = false;
};

class Cooking {
public:
    // Null on invalid tolerances.
    static Cooking* create(Foundation& foundation, const CookingParams& params);
    void release();

    const CookingParams& getParams() const { return params; }

    // Fails on fewer than four points, non-finite points, a bad stride or a flat hull. Past
    // MaxHullPoints points the hull is made of the extreme points in that many directions.
    bool cookConvexMesh(const ConvexMeshDesc& desc, CookedConvex& out);
    // Fails on no triangles, indices out of range, non-finite points or a bad stride, and
    // when every triangle is degenerate.
    bool cookTriangleMesh(const TriangleMeshDesc& desc, CookedTriangleMesh& out);
    // Fails on no triangles, indices out of range, non-finite points or a bad stride, more
    // than MaxClothParticles points, or vertices so widely shared that the bending pairs
    // would pass MaxClothBendingPairsPerParticle per particle.
    bool cookClothFabric(const ClothMeshDesc& desc, const Vec3& gravityDirection, CookedClothFabric& out);

private:
    Cooking(Foundation& foundation, const CookingParams& params);
    ~Cooking() = default;
    // The triangles' indices (three each), checked against the vertex count.
    bool readTriangles(const TriangleMeshDesc& desc, uint32_t vertexCount, std::vector<uint32_t>& out,
                       const char* operation);

    Foundation& foundation;
    CookingParams params;
};

} // namespace phys
