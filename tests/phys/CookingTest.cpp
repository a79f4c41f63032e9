#include "PhysTestScene.h"
#include "support/HeapBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace phys::test {
namespace {

// Vertex data laid out like the engine's buffers: the position first, then other fields.
std::vector<unsigned char> vertexBuffer(const std::vector<Vec3>& positions, uint32_t stride) {
    std::vector<unsigned char> bytes(positions.size() * stride, 0xAB);
    for (size_t i = 0; i < positions.size(); ++i)
        std::memcpy(&bytes[i * stride], &positions[i], sizeof(Vec3));
    return bytes;
}

std::vector<Vec3> sorted(std::vector<Vec3> v) {
    std::sort(v.begin(), v.end(), [](const Vec3& a, const Vec3& b) {
        return a.x != b.x ? a.x < b.x : a.y != b.y ? a.y < b.y : a.z < b.z;
    });
    return v;
}

// Points on a sphere of radius 1, every one of them on its hull: the poles and `rings` rings of
// `segments` points.
std::vector<Vec3> spherePoints(int rings, int segments) {
    std::vector<Vec3> points = {Vec3(0, 1, 0), Vec3(0, -1, 0)};
    for (int r = 1; r <= rings; ++r) {
        const float polar = Pi * static_cast<float>(r) / static_cast<float>(rings + 1);
        for (int i = 0; i < segments; ++i) {
            const float around = 2.0f * Pi * static_cast<float>(i) / static_cast<float>(segments);
            points.emplace_back(std::sin(polar) * std::cos(around), std::cos(polar), std::sin(polar) * std::sin(around));
        }
    }
    return points;
}

// A grid of side x side points in the XZ plane, two triangles a cell.
std::pair<std::vector<Vec3>, std::vector<uint32_t>> grid(uint32_t side) {
    std::vector<Vec3> points;
    std::vector<uint32_t> indices;
    for (uint32_t z = 0; z < side; ++z)
        for (uint32_t x = 0; x < side; ++x)
            points.emplace_back(static_cast<float>(x), 0.0f, static_cast<float>(z));
    for (uint32_t z = 0; z + 1 < side; ++z)
        for (uint32_t x = 0; x + 1 < side; ++x) {
            const uint32_t a = z * side + x, b = a + 1, c = a + side, d = c + 1;
            indices.insert(indices.end(), {a, c, b, b, c, d});
        }
    return {points, indices};
}

class CookingTest : public ::testing::Test {
protected:
    bool cookMesh(const void* points, uint32_t pointStride, uint32_t pointCount, const uint16_t* indices,
                  uint32_t triangleCount, CookedTriangleMesh& out) {
        TriangleMeshDesc desc;
        desc.points = {points, pointStride, pointCount};
        desc.triangles = {indices, 6, triangleCount};
        desc.flags = MeshIndices16;
        return s.cooking->cookTriangleMesh(desc, out);
    }
    PhysScene s;
};

TEST_F(CookingTest, SevenIndicesMakeTwoTriangles) {
    const std::vector<Vec3> quad = {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 0, 1), Vec3(1, 0, 1)};
    // The seventh index is not part of a whole triangle and is never read as one.
    const uint16_t indices[7] = {0, 2, 1, 1, 2, 3, 999};
    CookedTriangleMesh cooked;
    ASSERT_TRUE(cookMesh(quad.data(), sizeof(Vec3), 4, indices, 7 / 3, cooked));
    TriangleMesh* mesh = s.physics->createTriangleMesh(cooked);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->getNbTriangles(), 2u);
    mesh->release();
}

TEST_F(CookingTest, EmptyOrOutOfRangeIndicesFailWithoutCrashing) {
    const std::vector<Vec3> quad = {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 0, 1)};
    const uint16_t bad[3] = {0, 1, 7};
    CookedTriangleMesh cooked;
    EXPECT_FALSE(cookMesh(quad.data(), sizeof(Vec3), 3, bad, 0, cooked));
    EXPECT_FALSE(cookMesh(quad.data(), sizeof(Vec3), 3, nullptr, 1, cooked));
    EXPECT_FALSE(cookMesh(quad.data(), sizeof(Vec3), 3, bad, 1, cooked));
    EXPECT_FALSE(cookMesh(nullptr, sizeof(Vec3), 3, bad, 1, cooked));
    const uint16_t pastTheEnd[3] = {0, 1, 3};
    EXPECT_FALSE(cookMesh(quad.data(), sizeof(Vec3), 3, pastTheEnd, 1, cooked)) << "vertex 3 of 3";
    const uint16_t degenerate[3] = {0, 0, 1};
    EXPECT_FALSE(cookMesh(quad.data(), sizeof(Vec3), 3, degenerate, 1, cooked)) << "nothing left to collide with";
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 6);
    // Cooked data that does not hold together is refused as well.
    CookedTriangleMesh broken;
    broken.vertices = quad;
    broken.indices = {0, 1, 5};
    broken.faceRemap = {0};
    EXPECT_EQ(s.physics->createTriangleMesh(broken), nullptr);
    broken.indices = {0, 1, 2, 0};
    EXPECT_EQ(s.physics->createTriangleMesh(broken), nullptr) << "a part of a triangle";
    broken.indices = {0, 1, 2};
    broken.faceRemap = {0, 1};
    EXPECT_EQ(s.physics->createTriangleMesh(broken), nullptr) << "one original index a triangle";
    broken.faceRemap = {0};
    broken.vertices.clear();
    EXPECT_EQ(s.physics->createTriangleMesh(broken), nullptr) << "no vertices";
    broken.vertices = quad;
    TriangleMesh* whole = s.physics->createTriangleMesh(broken);
    ASSERT_NE(whole, nullptr);
    whole->release();
}

TEST_F(CookingTest, FlatOrTooFewPointsFailConvexCooking) {
    const std::vector<Vec3> flat = {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 0, 1), Vec3(1, 0, 1), Vec3(0.5f, 0, 0.5f)};
    EXPECT_EQ(s.cookConvex(flat), nullptr);
    EXPECT_EQ(s.cookConvex({Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0)}), nullptr);
    const float nan = std::nanf("");
    EXPECT_EQ(s.cookConvex({Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0), Vec3(0, 0, nan)}), nullptr);
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 3);
}

TEST_F(CookingTest, FourPointsMakeATetrahedronAndATurnedBoxKeepsItsInertia) {
    CookedConvex tetra;
    const std::vector<Vec3> corners = {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0), Vec3(0, 0, 1)};
    ConvexMeshDesc desc;
    desc.points = {corners.data(), sizeof(Vec3), 4};
    desc.flags = ConvexComputeConvex;
    ASSERT_TRUE(s.cooking->cookConvexMesh(desc, tetra));
    EXPECT_NEAR(tetra.volume, 1.0f / 6.0f, 1e-5f);
    EXPECT_NEAR(tetra.centerOfMass.x, 0.25f, 1e-5f);

    // A 2 x 4 x 6 box turned an eighth about Z: its principal moments stay those of the box.
    const Quat turn = Quat::fromAxisAngle(Vec3(0, 0, 1), 0.7853982f);
    std::vector<Vec3> turned;
    for (const Vec3& c : boxCorners(Vec3(1, 2, 3)))
        turned.push_back(turn.rotate(c));
    ConvexMesh* mesh = s.cookConvex(turned);
    ASSERT_NE(mesh, nullptr);
    RigidDynamic* body = s.physics->createRigidDynamic(Transform());
    body->createShape(ConvexMeshGeometry(mesh), *s.material);
    mesh->release();
    ASSERT_TRUE(setMassAndUpdateInertia(*body, 10.0f));
    const Vec3 inertia = body->getMassSpaceInertiaTensor();
    float moments[3] = {inertia.x, inertia.y, inertia.z};
    std::sort(moments, moments + 3);
    EXPECT_NEAR(moments[0], 10.0f / 12 * 20, 1e-2f);
    EXPECT_NEAR(moments[1], 10.0f / 12 * 40, 1e-2f);
    EXPECT_NEAR(moments[2], 10.0f / 12 * 52, 1e-2f);
    body->release();
}

TEST_F(CookingTest, VertexStrideDoesNotChangeTheHull) {
    std::vector<Vec3> points = boxCorners(Vec3(1, 2, 0.5f));
    points.push_back(Vec3(0.1f, 0.2f, 0.1f)); // inside: not a hull vertex
    CookedConvex standard, tangent;
    for (auto [stride, out] : {std::pair<uint32_t, CookedConvex*>{36, &standard}, {64, &tangent}}) {
        const std::vector<unsigned char> bytes = vertexBuffer(points, stride);
        ConvexMeshDesc desc;
        desc.points = {bytes.data(), stride, static_cast<uint32_t>(points.size())};
        desc.flags = ConvexComputeConvex | ConvexUncompressedNormals;
        ASSERT_TRUE(s.cooking->cookConvexMesh(desc, *out));
    }
    EXPECT_EQ(standard.hullVertices.size(), 8u);
    EXPECT_EQ(sorted(standard.hullVertices), sorted(tangent.hullVertices));
    EXPECT_NEAR(standard.volume, 8.0f, 1e-4f);
    EXPECT_EQ(standard.hullEdges.size(), 24u) << "twelve edges of the box";
    EXPECT_GT(standard.margin, 0.0f);
}

// A hull is computed from at most MaxHullPoints points: on the bound every point is kept; past
// it the hull is made of points of the cloud, no more than the bound, nearly all the sphere.
TEST_F(CookingTest, AHullIsMadeOfAtMostTheBoundsPoints) {
    // 2 + 15 x 17 = 257 points: one past the bound; without a pole, on it.
    std::vector<Vec3> past = spherePoints(15, 17);
    ASSERT_EQ(past.size(), MaxHullPoints + 1);
    const std::vector<Vec3> onTheBound(past.begin() + 1, past.end());
    ConvexMesh* whole = s.cookConvex(onTheBound);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole->getNbVertices(), MaxHullPoints) << "every point is on the hull";
    whole->release();
    for (const std::vector<Vec3>& cloud : {past, spherePoints(250, 260)}) {
        SCOPED_TRACE(cloud.size());
        CookedConvex cooked;
        ConvexMeshDesc desc;
        desc.points = {cloud.data(), sizeof(Vec3), static_cast<uint32_t>(cloud.size())};
        desc.flags = ConvexComputeConvex | ConvexUncompressedNormals;
        ASSERT_TRUE(s.cooking->cookConvexMesh(desc, cooked));
        EXPECT_LE(cooked.hullVertices.size(), MaxHullPoints);
        for (const Vec3& v : cooked.hullVertices)
            EXPECT_NEAR(v.magnitude(), 1.0f, 1e-3f) << "a point of the cloud";
        EXPECT_GT(cooked.volume, 0.9f * 4.0f / 3.0f * Pi);
    }
}

// A mesh's charge (memoryBytes, known before cooking) covers what it takes from the heap,
// and at most half as much again plus half a kilobyte of a small one's own records.
// (Counted by the sanitizers' allocator; a build without one skips.)
TEST_F(CookingTest, AMeshsMemoryEstimateCoversWhatItKeeps) {
    if (!::test::heapCounted())
        GTEST_SKIP() << "the heap is counted by the sanitizers' allocator";
    const auto covers = [](uint64_t charged, const auto& cook) {
        const size_t before = ::test::heapBytesInUse();
        auto* mesh = cook();
        ASSERT_NE(mesh, nullptr);
        const size_t grown = ::test::heapBytesInUse() - before;
        EXPECT_GE(charged, grown);
        EXPECT_LE(charged, grown + grown / 2 + 512);
        mesh->release();
    };
    for (const std::vector<Vec3>& cloud : {boxCorners(Vec3(1.0f)), spherePoints(15, 17), spherePoints(60, 60)}) {
        SCOPED_TRACE(cloud.size());
        covers(ConvexMesh::memoryBytes(static_cast<uint32_t>(cloud.size())), [&] { return s.cookConvex(cloud); });
    }
    for (uint32_t side : {2u, 40u, 200u}) {
        SCOPED_TRACE(side);
        const auto [points, indices] = grid(side);
        covers(TriangleMesh::memoryBytes(static_cast<uint32_t>(points.size()), static_cast<uint32_t>(indices.size() / 3)),
               [&, &points = points, &indices = indices] { return s.cookMesh(points, indices); });
    }
}

TEST_F(CookingTest, MeshesLiveWhileShapesUseThem) {
    ConvexMesh* mesh = s.cookConvex(boxCorners(Vec3(0.5f)));
    ASSERT_NE(mesh, nullptr);
    RigidDynamic* body = s.addBox(Vec3(0, 3, 0), Vec3(0.5f), 1.0f);
    body->createShape(ConvexMeshGeometry(mesh), *s.material, Transform(Vec3(0, 1, 0)));
    EXPECT_EQ(mesh->getReferenceCount(), 2u);
    mesh->release();
    s.step(10); // the shape still uses the mesh
    body->release();
    s.step(2);
}

TEST_F(CookingTest, CookedHullsThatDoNotHoldTogetherAreRefused) {
    Tolerances none;
    none.length = 0.0f;
    CookingParams params;
    params.scale = none;
    EXPECT_EQ(Cooking::create(*s.foundation, params), nullptr);
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 1);

    ConvexMeshDesc desc;
    const std::vector<Vec3> corners = boxCorners(Vec3(0.5f));
    desc.points = {corners.data(), sizeof(Vec3), 8};
    desc.flags = ConvexComputeConvex;
    CookedConvex good;
    ASSERT_TRUE(s.cooking->cookConvexMesh(desc, good));
    const struct {
        const char* what;
        void (*spoil)(CookedConvex&);
    } cases[] = {
        {"three core vertices", [](CookedConvex& c) { c.coreVertices.resize(3); }},
        {"no hull vertices", [](CookedConvex& c) { c.hullVertices.clear(); }},
        {"negative margin", [](CookedConvex& c) { c.margin = -0.01f; }},
        {"margin not finite", [](CookedConvex& c) { c.margin = NAN; }},
        {"no volume", [](CookedConvex& c) { c.volume = 0.0f; }},
        {"half an edge", [](CookedConvex& c) { c.hullEdges.pop_back(); }},
        {"edge past the vertices", [](CookedConvex& c) { c.hullEdges[1] = static_cast<uint32_t>(c.hullVertices.size()); }},
        {"core vertex not finite", [](CookedConvex& c) { c.coreVertices[2].y = INFINITY; }},
        {"hull vertex not finite", [](CookedConvex& c) { c.hullVertices[5].z = NAN; }},
    };
    for (const auto& c : cases) {
        CookedConvex spoilt = good;
        c.spoil(spoilt);
        EXPECT_EQ(s.physics->createConvexMesh(spoilt), nullptr) << c.what;
    }
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 1 + 9);
    CookedConvex edge = good;
    edge.hullEdges[1] = static_cast<uint32_t>(edge.hullVertices.size() - 1);
    edge.margin = 0.0f;
    ConvexMesh* mesh = s.physics->createConvexMesh(edge);
    ASSERT_NE(mesh, nullptr) << "the last vertex and a margin of zero are fine";
    const Bounds3 bounds = mesh->getLocalBounds();
    EXPECT_EQ(bounds.minimum, Vec3(-0.5f));
    EXPECT_EQ(bounds.maximum, Vec3(0.5f));
    mesh->release();
}

} // namespace
} // namespace phys::test
