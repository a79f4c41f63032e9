#include "PhysTestScene.h"

#include <gtest/gtest.h>

#include <cmath>

namespace phys::test {
namespace {

TEST(Geometry, SizesMustBeAboveZero) {
    EXPECT_TRUE(BoxGeometry(Vec3(1, 1, 1)).isValid());
    EXPECT_FALSE(BoxGeometry(Vec3(1, 0, 1)).isValid());
    EXPECT_TRUE(SphereGeometry(0.1f).isValid());
    EXPECT_FALSE(SphereGeometry(0.0f).isValid());
    EXPECT_TRUE(CapsuleGeometry(0.5f, 1.0f).isValid());
    EXPECT_FALSE(CapsuleGeometry(0.5f, 0.0f).isValid());
    EXPECT_FALSE(CapsuleGeometry(0.0f, 1.0f).isValid());
}

TEST(GeometryOverlap, ASphereNearABoxFace) {
    const BoxGeometry box(1, 2, 3);
    const Transform boxPose(Vec3(5, 0, 0), Quat::fromAxisAngle(Vec3(0, 1, 0), 0.3f));
    const Vec3 faceNormal = boxPose.rotate(Vec3(1, 0, 0));
    const Vec3 face = boxPose.transform(Vec3(1, 0, 0));
    EXPECT_TRUE(GeometryQuery::overlap(SphereGeometry(1), Transform(face + faceNormal * 0.9f), box, boxPose));
    EXPECT_FALSE(GeometryQuery::overlap(SphereGeometry(1), Transform(face + faceNormal * 1.1f), box, boxPose));
    EXPECT_TRUE(GeometryQuery::overlap(box, boxPose, SphereGeometry(1), Transform(face + faceNormal * 0.9f)))
        << "either order";
    EXPECT_TRUE(GeometryQuery::overlap(SphereGeometry(1), Transform(boxPose.p), box, boxPose)) << "inside";
    EXPECT_FALSE(GeometryQuery::overlap(SphereGeometry(-1), Transform(face), box, boxPose)) << "invalid geometry";
    EXPECT_FALSE(GeometryQuery::overlap(SphereGeometry(1), Transform(face), BoxGeometry(1, 0, 3), boxPose))
        << "invalid second geometry";
    const Transform stretched(boxPose.p, Quat(0, 0, 0, 2));
    EXPECT_FALSE(GeometryQuery::overlap(SphereGeometry(1), Transform(face), box, stretched)) << "invalid second pose";
    EXPECT_FALSE(GeometryQuery::overlap(box, stretched, SphereGeometry(1), Transform(face))) << "invalid first pose";
}

// Two shapes whose surfaces just meet overlap; the smallest gap between them does not.
TEST(GeometryOverlap, TouchingCountsAndASmallGapDoesNot) {
    struct Case {
        const char* name;
        GeometryHolder first, second;
        float touchingX; // where the second shape touches the first, which sits at the origin
    };
    const Case cases[] = {
        {"sphere and sphere", SphereGeometry(1), SphereGeometry(0.5f), 1.5f},
        {"box and sphere", BoxGeometry(1, 1, 1), SphereGeometry(0.5f), 1.5f},
        {"sphere and box", SphereGeometry(1), BoxGeometry(0.5f, 0.5f, 0.5f), 1.5f},
        {"capsule and sphere", CapsuleGeometry(0.5f, 1), SphereGeometry(0.5f), 2.0f},
        {"capsule and capsule", CapsuleGeometry(0.5f, 1), CapsuleGeometry(0.5f, 1), 3.0f},
        {"capsule and box", CapsuleGeometry(0.5f, 1), BoxGeometry(0.5f, 0.5f, 0.5f), 2.0f},
    };
    for (const Case& c : cases) {
        const Geometry& a = c.first.any();
        const Geometry& b = c.second.any();
        EXPECT_TRUE(GeometryQuery::overlap(a, Transform(), b, Transform(Vec3(c.touchingX, 0, 0)))) << c.name;
        EXPECT_TRUE(GeometryQuery::overlap(b, Transform(Vec3(c.touchingX, 0, 0)), a, Transform()))
            << c.name << ", either order";
        EXPECT_FALSE(GeometryQuery::overlap(a, Transform(), b, Transform(Vec3(c.touchingX + 0.01f, 0, 0))))
            << c.name << ", apart";
    }
}

TEST(GeometryOverlap, ASphereNearATriangleMesh) {
    PhysScene s;
    // A floor of two triangles at y = 0, from -5 to 5.
    const std::vector<Vec3> vertices = {{-5, 0, -5}, {5, 0, -5}, {5, 0, 5}, {-5, 0, 5}};
    TriangleMesh* mesh = s.cookMesh(vertices, {0, 2, 1, 0, 3, 2});
    ASSERT_NE(mesh, nullptr);
    const TriangleMeshGeometry floor(mesh);
    EXPECT_TRUE(GeometryQuery::overlap(SphereGeometry(1), Transform(Vec3(1, 0.9f, 2)), floor, Transform()));
    EXPECT_FALSE(GeometryQuery::overlap(SphereGeometry(1), Transform(Vec3(1, 1.1f, 2)), floor, Transform()));
    EXPECT_TRUE(GeometryQuery::overlap(SphereGeometry(1), Transform(Vec3(1, -0.9f, 2)), floor, Transform()))
        << "from below too";
    EXPECT_FALSE(GeometryQuery::overlap(SphereGeometry(1), Transform(Vec3(7, 0, 0)), floor, Transform()))
        << "beyond its edge";
    EXPECT_TRUE(GeometryQuery::overlap(SphereGeometry(1), Transform(Vec3(2, 3.9f, 0)), floor,
                                       Transform(Vec3(0, 3, 0))))
        << "at a pose";
    EXPECT_TRUE(GeometryQuery::overlap(BoxGeometry(0.5f, 0.5f, 0.5f), Transform(Vec3(0, 0.4f, 0)), floor, Transform()));
    EXPECT_FALSE(GeometryQuery::overlap(floor, Transform(), floor, Transform())) << "mesh against mesh";
    mesh->release();
}

TEST(SmoothNormals, AFlatQuadPointsStraightUp) {
    const Vec3 quad[4] = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}};
    const uint16_t indices[6] = {0, 2, 1, 0, 3, 2};
    Vec3 normals[4];
    ASSERT_TRUE(buildSmoothNormals(2, 4, quad, nullptr, indices, normals)) << "unflipped unless asked";
    for (const Vec3& n : normals) {
        EXPECT_NEAR(n.x, 0.0f, 1e-6f);
        EXPECT_NEAR(n.y, 1.0f, 1e-6f);
        EXPECT_NEAR(n.z, 0.0f, 1e-6f);
    }
    ASSERT_TRUE(buildSmoothNormals(2, 4, quad, nullptr, indices, normals, true));
    EXPECT_NEAR(normals[2].y, -1.0f, 1e-6f) << "flipped";
    // Asked again into the same buffer (as a cloth does every frame): the old ones count nothing.
    const Vec3 wall[4] = {{0, 0, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1}};
    ASSERT_TRUE(buildSmoothNormals(2, 4, wall, nullptr, indices, normals, false));
    EXPECT_NEAR(std::fabs(normals[0].x), 1.0f, 1e-6f);
    ASSERT_TRUE(buildSmoothNormals(2, 4, quad, nullptr, indices, normals, false));
    for (const Vec3& n : normals)
        EXPECT_NEAR(n.y, 1.0f, 1e-6f);
}

TEST(SmoothNormals, ACubeCornerGetsTheDiagonal) {
    const std::vector<Vec3> corners = boxCorners(Vec3(1, 1, 1)); // index bits: x, y, z
    // Six faces, outward, each cut along a different diagonal where it can be.
    const uint32_t indices[36] = {0, 4, 6, 0, 6, 2,  // -x
                                  1, 3, 7, 1, 7, 5,  // +x
                                  0, 1, 5, 0, 5, 4,  // -y
                                  2, 6, 7, 2, 7, 3,  // +y
                                  0, 2, 3, 0, 3, 1,  // -z
                                  4, 5, 7, 4, 7, 6}; // +z
    Vec3 normals[8];
    ASSERT_TRUE(buildSmoothNormals(12, 8, corners.data(), indices, nullptr, normals, false));
    for (int i = 0; i < 8; ++i) {
        const Vec3 diagonal = corners[i].getNormalized();
        EXPECT_NEAR(normals[i].dot(diagonal), 1.0f, 1e-5f) << "corner " << i;
    }
    EXPECT_FALSE(buildSmoothNormals(12, 7, corners.data(), indices, nullptr, normals, false)) << "index out of range";
    EXPECT_FALSE(buildSmoothNormals(12, 8, corners.data(), nullptr, nullptr, normals, false));
}

} // namespace
} // namespace phys::test
