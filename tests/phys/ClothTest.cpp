#include "PhysTestScene.h"

#include "phys/detail/ClothSet.h"
#include "support/HeapBytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace phys::test {
namespace {

struct ClothMesh {
    std::vector<Vec3> points;
    std::vector<uint16_t> indices;
};

// A square grid of n x n points spaced by step in the XZ plane at height y.
ClothMesh grid(int n, float step, float y) {
    ClothMesh m;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
            m.points.emplace_back(i * step, y, j * step);
    for (int j = 0; j + 1 < n; ++j) {
        for (int i = 0; i + 1 < n; ++i) {
            const uint16_t a = static_cast<uint16_t>(j * n + i), b = static_cast<uint16_t>(a + 1);
            const uint16_t c = static_cast<uint16_t>(a + n), d = static_cast<uint16_t>(c + 1);
            m.indices.insert(m.indices.end(), {a, c, b, b, c, d});
        }
    }
    return m;
}

ClothMeshDesc describe(const ClothMesh& m) {
    ClothMeshDesc desc;
    desc.points = {m.points.data(), sizeof(Vec3), static_cast<uint32_t>(m.points.size())};
    desc.triangles = {m.indices.data(), 3 * sizeof(uint16_t), static_cast<uint32_t>(m.indices.size() / 3)};
    desc.flags = MeshIndices16;
    return desc;
}

// Cooks a fabric and makes a cloth of free particles at the identity pose, as the game does.
Cloth* makeCloth(PhysScene& s, const ClothMesh& m) {
    CookedClothFabric cooked;
    EXPECT_TRUE(s.cooking->cookClothFabric(describe(m), Vec3(0, -1, 0), cooked));
    ClothFabric* fabric = s.physics->createClothFabric(cooked);
    if (!fabric)
        return nullptr;
    std::vector<ClothParticle> particles;
    for (const Vec3& p : m.points) {
        ClothParticle free; // a particle given only its place is free
        free.pos = p;
        particles.push_back(free);
    }
    Cloth* cloth = s.physics->createCloth(Transform(), *fabric, particles.data(), ClothCollisionData(), 0);
    fabric->release(); // the cloth keeps its own reference
    if (cloth) {
        cloth->setSolverFrequency(60.0f);
        s.scene->addActor(*cloth);
    }
    return cloth;
}

std::vector<ClothParticle> read(Cloth& cloth) {
    ClothReadData* data = cloth.lockParticleData();
    EXPECT_NE(data, nullptr);
    std::vector<ClothParticle> out(data->particles, data->particles + cloth.getNbParticles());
    data->unlock();
    return out;
}

TEST(ClothFabrics, EveryPointIsAParticle) {
    PhysScene s;
    ClothMesh quad = grid(2, 1.0f, 0.0f);
    Cloth* four = makeCloth(s, quad);
    ASSERT_NE(four, nullptr);
    EXPECT_EQ(four->getNbParticles(), 4u);
    EXPECT_EQ(four->getType(), ActorType::Cloth);
    EXPECT_EQ(four->getFabric().getNbEdges(), 5u) << "four sides and the shared diagonal";
    const std::vector<ClothParticle> p4 = read(*four);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(p4[i].pos, quad.points[i]);
        EXPECT_EQ(p4[i].invWeight, 1.0f) << "every particle starts free";
    }

    quad.points.emplace_back(9, 9, 9); // used by no triangle
    Cloth* five = makeCloth(s, quad);
    ASSERT_NE(five, nullptr);
    EXPECT_EQ(five->getNbParticles(), 5u);
    EXPECT_EQ(read(*five)[4].pos, Vec3(9, 9, 9)) << "particle i is vertex i";
}

TEST(ClothFabrics, CookingRefusesBrokenMeshes) {
    PhysScene s;
    ClothMesh quad = grid(2, 1.0f, 0.0f);
    CookedClothFabric cooked;
    quad.indices[4] = 7;
    EXPECT_FALSE(s.cooking->cookClothFabric(describe(quad), Vec3(0, -1, 0), cooked)) << "index out of range";
    quad.indices.clear();
    EXPECT_FALSE(s.cooking->cookClothFabric(describe(quad), Vec3(0, -1, 0), cooked)) << "no triangles";
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 2);
    cooked.particleCount = 2;
    cooked.edges = {0, 5};
    cooked.restLengths = {1.0f};
    EXPECT_EQ(s.physics->createClothFabric(cooked), nullptr);
    cooked.edges = {0, 1};
    cooked.restLengths = {-1.0f};
    EXPECT_EQ(s.physics->createClothFabric(cooked), nullptr) << "a negative rest length";
    cooked.restLengths = {1.0f, 1.0f};
    EXPECT_EQ(s.physics->createClothFabric(cooked), nullptr) << "one rest length an edge";
    cooked.restLengths = {0.0f};
    cooked.triangles = {0, 1, 2};
    EXPECT_EQ(s.physics->createClothFabric(cooked), nullptr) << "a triangle past the particles";
    cooked.triangles = {0, 1, 1};
    ClothFabric* fabric = s.physics->createClothFabric(cooked);
    EXPECT_NE(fabric, nullptr) << "a rest length of zero is one";
    if (fabric)
        fabric->release();

    // Points missing, laid out tighter than three floats, or not finite.
    ClothMesh square = grid(2, 1.0f, 0.0f);
    ClothMeshDesc desc = describe(square);
    const int before = s.errors.count(ErrorCode::InvalidParameter);
    desc.points.data = nullptr;
    EXPECT_FALSE(s.cooking->cookClothFabric(desc, Vec3(0, -1, 0), cooked));
    desc = describe(square);
    desc.points.stride = 8;
    EXPECT_FALSE(s.cooking->cookClothFabric(desc, Vec3(0, -1, 0), cooked));
    square.points[3].y = INFINITY;
    EXPECT_FALSE(s.cooking->cookClothFabric(describe(square), Vec3(0, -1, 0), cooked));
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter) - before, 3);
}

TEST(Cloth, IsMadeOnlyFromAValidPoseAndParticles) {
    PhysScene s;
    const ClothMesh m = grid(2, 1.0f, 0.0f);
    CookedClothFabric cooked;
    ASSERT_TRUE(s.cooking->cookClothFabric(describe(m), Vec3(0, -1, 0), cooked));
    ClothFabric* fabric = s.physics->createClothFabric(cooked);
    ASSERT_NE(fabric, nullptr);
    std::vector<ClothParticle> particles;
    for (const Vec3& p : m.points)
        particles.push_back({p, 1.0f});
    const Transform turnedTooFar(Vec3(), Quat(0, 0, 0, 2));
    EXPECT_EQ(s.physics->createCloth(turnedTooFar, *fabric, particles.data(), ClothCollisionData(), 0), nullptr);
    EXPECT_EQ(s.physics->createCloth(Transform(), *fabric, nullptr, ClothCollisionData(), 0), nullptr);
    particles[3].invWeight = -1.0f;
    EXPECT_EQ(s.physics->createCloth(Transform(), *fabric, particles.data(), ClothCollisionData(), 0), nullptr);
    particles[3].invWeight = 0.0f;
    particles[2].pos.x = NAN;
    EXPECT_EQ(s.physics->createCloth(Transform(), *fabric, particles.data(), ClothCollisionData(), 0), nullptr);
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 4);
    particles[2].pos.x = 0.0f;
    Cloth* cloth = s.physics->createCloth(Transform(), *fabric, particles.data(), ClothCollisionData(), 0);
    ASSERT_NE(cloth, nullptr) << "a pinned particle has an inverse weight of zero";
    EXPECT_EQ(fabric->getReferenceCount(), 2u);
    fabric->release();
    cloth->release();
}

// A fan of triangles around point 0 with the given number of rim points.
ClothMesh fan(int rim) {
    ClothMesh m;
    m.points.emplace_back(0, 0, 0);
    for (int i = 0; i < rim; ++i)
        m.points.emplace_back(std::cos(i * 0.1f), 0, std::sin(i * 0.1f));
    for (int i = 1; i < rim; ++i)
        m.indices.insert(m.indices.end(), {0, static_cast<uint16_t>(i), static_cast<uint16_t>(i + 1)});
    return m;
}

// Bullet's own bending pairs (its table has one entry per pair of particles).
std::vector<std::pair<int, int>> bulletBendingPairs(const ClothMesh& m, const CookedClothFabric& fabric) {
    btSoftBodyWorldInfo info;
    std::vector<btVector3> positions;
    for (const Vec3& p : m.points)
        positions.emplace_back(p.x, p.y, p.z);
    std::vector<btScalar> masses(m.points.size(), 1.0f);
    btSoftBody body(&info, static_cast<int>(positions.size()), positions.data(), masses.data());
    for (size_t e = 0; e < fabric.restLengths.size(); ++e)
        body.appendLink(static_cast<int>(fabric.edges[2 * e]), static_cast<int>(fabric.edges[2 * e + 1]));
    body.generateBendingConstraints(2);
    std::vector<std::pair<int, int>> pairs;
    for (int l = 0; l < body.m_links.size(); ++l)
        if (body.m_links[l].m_bbending)
            pairs.emplace_back(static_cast<int>(body.m_links[l].m_n[0] - &body.m_nodes[0]),
                               static_cast<int>(body.m_links[l].m_n[1] - &body.m_nodes[0]));
    return pairs;
}

TEST(ClothFabrics, BendingPairsAreBulletsInItsOrder) {
    PhysScene s;
    ClothMesh loose = grid(3, 1.0f, 0.0f);
    loose.points.emplace_back(9, 9, 9); // in no triangle
    for (const ClothMesh& m : {grid(5, 1.0f, 0.0f), fan(7), loose}) {
        CookedClothFabric cooked;
        ASSERT_TRUE(s.cooking->cookClothFabric(describe(m), Vec3(0, -1, 0), cooked));
        const auto pairs = detail::clothBendingPairs(static_cast<int>(cooked.particleCount), cooked.edges);
        EXPECT_FALSE(pairs.empty());
        EXPECT_EQ(pairs, bulletBendingPairs(m, cooked));
    }
}

TEST(ClothFabrics, CookingBoundsTheParticlesAndTheirSharing) {
    PhysScene s(SceneOptions{.ground = false});
    ClothMesh largest = grid(128, 0.05f, 5.0f);
    ASSERT_EQ(largest.points.size(), MaxClothParticles);
    Cloth* cloth = makeCloth(s, largest);
    ASSERT_NE(cloth, nullptr);
    s.step(2);
    EXPECT_LT(read(*cloth)[0].pos.y, 5.0f) << "the largest cloth allowed builds and falls";
    EXPECT_TRUE(s.errors.errors.empty());

    CookedClothFabric cooked;
    largest.points.emplace_back(0, 0, 0);
    EXPECT_FALSE(s.cooking->cookClothFabric(describe(largest), Vec3(0, -1, 0), cooked));
    ASSERT_EQ(s.errors.errors.size(), 1u);
    EXPECT_EQ(s.errors.errors[0].second, "cloth cooking: 16385 points, more than the 16384 a cloth may have");

    EXPECT_TRUE(s.cooking->cookClothFabric(describe(fan(60)), Vec3(0, -1, 0), cooked));
    EXPECT_FALSE(s.cooking->cookClothFabric(describe(fan(300)), Vec3(0, -1, 0), cooked))
        << "a fan's centre would pair every two rim points";
    EXPECT_EQ(s.errors.errors.size(), 2u);
}

TEST(Cloth, HangsFromItsPinnedParticlesWithoutStretching) {
    PhysScene s(SceneOptions{.ground = false});
    const ClothMesh m = grid(6, 0.4f, 5.0f);
    Cloth* cloth = makeCloth(s, m);
    ASSERT_NE(cloth, nullptr);
    std::vector<ClothParticle> particles = read(*cloth);
    particles[0].invWeight = 0.0f; // two corners of one edge
    particles[5].invWeight = 0.0f;
    cloth->setParticles(particles.data(), particles.data());
    const CookedClothFabric& fabric = cloth->getFabric().data();
    float worstStretch = 0.0f;
    for (int i = 0; i < 2 * StepsPerSecond; ++i) {
        s.step();
        const std::vector<ClothParticle> now = read(*cloth);
        for (size_t e = 0; e < fabric.restLengths.size(); ++e) {
            const float length = (now[fabric.edges[2 * e]].pos - now[fabric.edges[2 * e + 1]].pos).magnitude();
            worstStretch = std::fmax(worstStretch, std::fabs(length / fabric.restLengths[e] - 1.0f));
        }
    }
    const std::vector<ClothParticle> now = read(*cloth);
    EXPECT_EQ(now[0].pos, m.points[0]) << "pinned particles stay";
    EXPECT_EQ(now[5].pos, m.points[5]);
    EXPECT_EQ(now[0].invWeight, 0.0f);
    EXPECT_LT(now[35].pos.y, 5.0f - 1.5f) << "the free end hangs below";
    EXPECT_LT(worstStretch, 0.05f) << "edges keep their length within 5 %";
}

TEST(Cloth, TheSolverFrequencyTakesOnlyAPositiveNumber) {
    PhysScene s;
    Cloth* cloth = makeCloth(s, grid(2, 1.0f, 0.0f));
    ASSERT_NE(cloth, nullptr);
    for (const float refused : {0.0f, -1.0f, NAN, INFINITY}) {
        cloth->setSolverFrequency(refused);
        EXPECT_EQ(cloth->getSolverFrequency(), 60.0f) << refused;
    }
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 4);
    cloth->setSolverFrequency(0.5f);
    EXPECT_EQ(cloth->getSolverFrequency(), 0.5f);
}

TEST(Cloth, SetParticlesMovesPinnedOnesAndKeepsWeights) {
    PhysScene s(SceneOptions{.threads = 1, .ground = false});
    Cloth* cloth = makeCloth(s, grid(4, 0.5f, 5.0f));
    ASSERT_NE(cloth, nullptr);
    std::vector<ClothParticle> particles = read(*cloth);
    particles[0].invWeight = 0.0f;
    cloth->setParticles(particles.data(), particles.data());
    s.step(30);

    // What a pin update does: pinned particles to new places, the rest written back as read.
    s.scene->simulate(StepTime);
    particles = read(*cloth);
    particles[0].pos = Vec3(3, 7, 1);
    cloth->setParticles(particles.data(), nullptr);
    EXPECT_EQ(read(*cloth)[0].pos, Vec3(3, 7, 1)) << "reads see the write at once";
    // Refused whole: a position or previous position not finite, a negative inverse weight.
    for (int spoil = 0; spoil < 3; ++spoil) {
        std::vector<ClothParticle> bad = particles, previous = particles;
        if (spoil == 0)
            bad[0].pos.y = NAN;
        if (spoil == 1)
            bad[2].invWeight = -0.5f;
        if (spoil == 2)
            previous[2].pos.z = INFINITY;
        bad[1].pos = Vec3(-9, -9, -9);
        cloth->setParticles(bad.data(), previous.data());
        EXPECT_EQ(read(*cloth)[1].pos, particles[1].pos) << spoil;
    }
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 3);
    s.scene->fetchResults(true);
    EXPECT_EQ(read(*cloth)[0].pos, Vec3(3, 7, 1)) << "the write wins over the step";
    s.step(5);
    const std::vector<ClothParticle> now = read(*cloth);
    EXPECT_EQ(now[0].pos, Vec3(3, 7, 1));
    EXPECT_EQ(now[0].invWeight, 0.0f);
    EXPECT_EQ(now[1].invWeight, 1.0f);
    EXPECT_GT(now[1].pos.x, 2.0f) << "the free ones follow";
}

TEST(Cloth, AnAllFreeClothIsWrittenBackUnchanged) {
    PhysScene s(SceneOptions{.ground = false});
    Cloth* cloth = makeCloth(s, grid(3, 0.5f, 5.0f));
    ASSERT_NE(cloth, nullptr);
    s.step(10);
    const std::vector<ClothParticle> before = read(*cloth);
    std::vector<ClothParticle> update = before;
    for (ClothParticle& p : update)
        if (p.invWeight == 0.0f)
            p.pos = Vec3(100, 100, 100); // a pin update moves pinned particles only: none here
    cloth->setParticles(update.data(), nullptr);
    const std::vector<ClothParticle> after = read(*cloth);
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(after[i].pos, before[i].pos);
        EXPECT_EQ(after[i].invWeight, before[i].invWeight);
    }
}

TEST(Cloth, ReleasedWhileAStepIsInFlight) {
    PhysScene s(SceneOptions{.threads = 1, .ground = false});
    Cloth* cloth = makeCloth(s, grid(4, 0.5f, 5.0f));
    Cloth* other = makeCloth(s, grid(3, 0.5f, 8.0f));
    ASSERT_NE(cloth, nullptr);
    s.step(3);
    s.scene->simulate(StepTime);
    cloth->release();
    s.scene->fetchResults(true);
    s.step(3);
    EXPECT_LT(read(*other)[0].pos.y, 8.0f) << "the other cloth goes on";
    s.scene->simulate(StepTime);
    // Released with the scene while its step runs.
}

TEST(Cloth, GravityCanBeSwitchedOffAndAccelerationAdded) {
    PhysScene s(SceneOptions{.ground = false});
    Cloth* still = makeCloth(s, grid(3, 0.5f, 5.0f));
    Cloth* pushed = makeCloth(s, grid(3, 0.5f, 5.0f));
    still->setActorFlag(ActorFlag::DisableGravity, true);
    pushed->setActorFlag(ActorFlag::DisableGravity, true);
    pushed->setExternalAcceleration(Vec3(10, 0, 0));
    s.step(StepsPerSecond);
    EXPECT_NEAR(read(*still)[4].pos.y, 5.0f, 1e-4f);
    EXPECT_NEAR(read(*pushed)[4].pos.x, 0.5f + 5.0f, 0.3f) << "half a t squared";

    ClothReadData* data = still->lockParticleData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(still->lockParticleData(), nullptr) << "one lock at a time";
    data->unlock();
    still->release();
    s.step(2);
}

// A weightless cloth of 3 x 3 free particles at height 5, stepped once so its solver body exists.
Cloth* weightlessCloth(PhysScene& s) {
    Cloth* cloth = makeCloth(s, grid(3, 0.5f, 5.0f));
    if (cloth)
        cloth->setActorFlag(ActorFlag::DisableGravity, true);
    s.step();
    return cloth;
}

TEST(Cloth, PreviousPositionsGiveTheParticlesTheirVelocity) {
    PhysScene s(SceneOptions{.ground = false});
    Cloth* cloth = weightlessCloth(s);
    ASSERT_NE(cloth, nullptr);
    const std::vector<ClothParticle> start = read(*cloth);
    std::vector<ClothParticle> current = start, previous = start;
    for (ClothParticle& p : previous)
        p.pos.x -= 0.1f;
    cloth->setParticles(current.data(), previous.data());
    s.step();
    std::vector<ClothParticle> now = read(*cloth);
    for (size_t i = 0; i < now.size(); ++i)
        EXPECT_NEAR(now[i].pos.x, start[i].pos.x + 0.1f, 0.01f) << "the gap a step";

    cloth->setParticles(now.data(), nullptr);
    s.step();
    EXPECT_NEAR(read(*cloth)[0].pos.x, start[0].pos.x + 0.2f, 0.01f) << "without previous ones they keep going";

    now = read(*cloth);
    cloth->setParticles(now.data(), now.data());
    s.step();
    EXPECT_NEAR(read(*cloth)[0].pos.x, now[0].pos.x, 1e-4f) << "previous ones where they are: they stop";
}

TEST(Cloth, MovingItsFrameCarriesTheParticlesAndTheirMotionAlong) {
    PhysScene s(SceneOptions{.ground = false});
    Cloth* cloth = weightlessCloth(s);
    ASSERT_NE(cloth, nullptr);
    const Bounds3 before = cloth->getWorldBounds();
    EXPECT_NEAR(before.minimum.y, 5.0f, 1e-4f);
    EXPECT_NEAR(before.maximum.x, 1.0f, 1e-4f);
    EXPECT_NEAR(before.maximum.z, 1.0f, 1e-4f);
    // Moving along local X at 0.1 a step.
    std::vector<ClothParticle> current = read(*cloth), previous = current;
    for (ClothParticle& p : previous)
        p.pos.x -= 0.1f;
    cloth->setParticles(current.data(), previous.data());
    s.step();
    const std::vector<ClothParticle> moving = read(*cloth);

    // A quarter turn about Y and up by 3: local (x, y, z) is then world (z, y + 3, -x).
    cloth->setGlobalPose(Transform(Vec3(0, 3, 0), Quat(0, 0.7071068f, 0, 0.7071068f)));
    // A pose that is no rotation is refused and the frame stays where it was.
    cloth->setGlobalPose(Transform(Vec3(9, 9, 9), Quat(0, 0, 0, 2)));
    EXPECT_EQ(s.errors.count(ErrorCode::InvalidParameter), 1);
    const Transform pose = cloth->getGlobalPose();
    EXPECT_EQ(pose.p, Vec3(0, 3, 0));
    EXPECT_NEAR(pose.q.x, 0.0f, 1e-6f);
    EXPECT_NEAR(pose.q.y, 0.7071068f, 1e-6f);
    EXPECT_NEAR(pose.q.z, 0.0f, 1e-6f);
    EXPECT_NEAR(pose.q.w, 0.7071068f, 1e-6f);
    const Bounds3 turned = cloth->getWorldBounds();
    EXPECT_NEAR(turned.minimum.x, 0.0f, 1e-4f);
    EXPECT_NEAR(turned.maximum.x, 1.0f, 1e-4f);
    EXPECT_NEAR(turned.minimum.y, 8.0f, 1e-4f);
    EXPECT_NEAR(turned.minimum.z, -1.1f, 0.01f);
    EXPECT_NEAR(turned.maximum.z, -0.1f, 0.01f);
    s.step();
    const std::vector<ClothParticle> after = read(*cloth);
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_NEAR(after[i].pos.x, moving[i].pos.x + 0.1f, 0.01f) << "still along its own X";
        EXPECT_NEAR(after[i].pos.y, 5.0f, 1e-3f);
        EXPECT_NEAR(after[i].pos.z, moving[i].pos.z, 0.01f);
    }
}

// What a cloth is charged for (Cloth::memoryBytes) covers what it takes from the heap as it
// is cooked, made and built into a soft body by its first step, without charging much more:
// between the heap's growth and one and a half times it. (Counted by the sanitizers'
// allocator; a build without one skips.)
TEST(Cloth, ItsMemoryEstimateCoversWhatItAllocates) {
    if (!::test::heapCounted())
        GTEST_SKIP() << "the heap is counted by the sanitizers' allocator";
    for (int side : {8, 32, 127}) {
        SCOPED_TRACE(side);
        PhysScene s;
        s.step(); // the scene's own first allocations
        const ClothMesh sheet = grid(side, 0.1f, 5.0f);
        const size_t before = ::test::heapBytesInUse();
        Cloth* cloth = makeCloth(s, sheet);
        ASSERT_NE(cloth, nullptr);
        s.step();
        const size_t grown = ::test::heapBytesInUse() - before;
        const uint64_t charged = Cloth::memoryBytes(cloth->getFabric().data());
        EXPECT_GE(charged, grown);
        EXPECT_LE(charged, grown + grown / 2);
    }
}

} // namespace
} // namespace phys::test
