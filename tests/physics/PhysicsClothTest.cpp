// Cloth bodies: the cloth made from a mesh, the services on its particles, and a cloth
// object pinned to a moving physics parent.
#include "PhysicsObjectFixture.h"

#include "physics/bodies/ClothBodies.h"

#include "support/HeapBytes.h"

#include <cmath>

using namespace irr;

namespace {

using Attributes = io::IAttributes;

class PhysicsClothTest : public PhysicsObjectFixture {
protected:
    // A unit square of four vertices and two triangles in the XZ plane (a second buffer
    // beside it when asked).
    scene::SMesh* square(bool twoBuffers = false) {
        auto* mesh = new scene::SMesh();
        for (int b = 0; b < (twoBuffers ? 2 : 1); ++b) {
            auto* buffer = new scene::SMeshBuffer();
            for (const core::vector3df& p : {core::vector3df(0, 0, 0), core::vector3df(1, 0, 0),
                                             core::vector3df(1, 0, 1), core::vector3df(0, 0, 1)})
                buffer->Vertices.push_back(video::S3DVertex(p, core::vector3df(0, 1, 0), video::SColor(0xFFFFFFFF),
                                                            core::vector2df()));
            for (u16 i : {0, 1, 2, 0, 2, 3})
                buffer->Indices.push_back(i);
            mesh->addMeshBuffer(buffer);
            buffer->drop();
        }
        return mesh;
    }
    std::vector<phys::ClothParticle> particles(phys::Cloth& cloth) {
        phys::ClothReadData* data = cloth.lockParticleData();
        std::vector<phys::ClothParticle> out(data->particles, data->particles + cloth.getNbParticles());
        data->unlock();
        return out;
    }
    phys::RigidActor* staticBox(const phys::Vec3& at, const phys::Vec3& half) {
        return physics->createTriggerActor(0, toEngine(at), toEngine(half), nullptr, false);
    }
};

TEST_F(PhysicsClothTest, AMeshBecomesAClothOfFreeParticles) {
    scene::SMesh* mesh = square(true);
    phys::Cloth* cloth = physics->createClothFromMesh(mesh, phys::Transform(), core::vector3df(2, 2, 2));
    mesh->drop();
    ASSERT_NE(cloth, nullptr);
    const std::vector<phys::ClothParticle> all = particles(*cloth);
    ASSERT_EQ(all.size(), 4u); // only the first buffer
    for (const phys::ClothParticle& p : all)
        EXPECT_EQ(p.invWeight, 1.0f);
    // Every vertex, scaled, the last one too.
    const phys::Vec3 scaled[] = {{0, 0, 0}, {2, 0, 0}, {2, 0, 2}, {0, 0, 2}};
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(all[i].pos, scaled[i]) << i;
    EXPECT_FLOAT_EQ(cloth->getSolverFrequency(), 60.0f) << "solved as often as the game steps";
    EXPECT_EQ(cloth->getScene(), physics->getScene()) << "in the world";
    // A quarter turn about Y and a lift: (1, 0, 0) goes to (0, 1, -1).
    ASSERT_TRUE(transformClothParticles(*cloth, phys::Transform(phys::Vec3(0, 1, 0),
                                                                phys::Quat(0, std::sin(0.7853982f), 0, std::cos(0.7853982f)))));
    const phys::Vec3 moved = particles(*cloth)[1].pos;
    EXPECT_NEAR(moved.x, 0.0f, 1e-5f);
    EXPECT_NEAR(moved.y, 1.0f, 1e-5f);
    EXPECT_NEAR(moved.z, -2.0f, 1e-5f); // (2, 0, 0) scaled
    physics->releaseActor(cloth, true);
}

TEST_F(PhysicsClothTest, PinningTakesTheParticlesNearTheLastShape) {
    scene::SMesh* mesh = square();
    phys::Cloth* cloth = physics->createClothFromMesh(mesh, phys::Transform(), core::vector3df(10, 10, 10));
    mesh->drop();
    ASSERT_NE(cloth, nullptr);
    // Particles at (0,0,0), (10,0,0), (10,0,10), (0,0,10). A box whose surface lies 0.9
    // from the first and one 1.1 from the second.
    phys::RigidActor* near = staticBox(phys::Vec3(-1.9f, 0, 0), phys::Vec3(1, 1, 1));
    phys::RigidActor* far = staticBox(phys::Vec3(12.1f, 0, 0), phys::Vec3(1, 1, 1));
    phys::Shape* nearShape = nullptr;
    phys::Shape* farShape = nullptr;
    near->getShapes(&nearShape, 1, 0);
    far->getShapes(&farShape, 1, 0);
    pinClothParticlesInShape(*cloth, *nearShape, 1.0f);
    std::vector<phys::ClothParticle> now = particles(*cloth);
    EXPECT_EQ(now[0].invWeight, 0.0f);
    EXPECT_EQ(now[1].invWeight, 1.0f);
    // The second call frees the first pin: nothing lies near the far box.
    pinClothParticlesInShape(*cloth, *farShape, 1.0f);
    now = particles(*cloth);
    EXPECT_EQ(now[0].invWeight, 1.0f);
    EXPECT_EQ(now[1].invWeight, 1.0f);
    // Only pinned particles move with the update; a wrong count changes nothing.
    pinClothParticlesInShape(*cloth, *nearShape, 1.0f);
    std::vector<core::vector3df> targets(4, core::vector3df(5, 5, 5));
    ASSERT_TRUE(updatePinnedClothParticles(*cloth, targets));
    now = particles(*cloth);
    EXPECT_EQ(now[0].pos, phys::Vec3(5, 5, 5));
    EXPECT_EQ(now[1].pos, phys::Vec3(10, 0, 0));
    targets.pop_back();
    EXPECT_FALSE(updatePinnedClothParticles(*cloth, targets));
    physics->releaseActor(cloth, true);
}

TEST_F(PhysicsClothTest, AClothPinnedToAMovingParentFollowsItAndDrapes) {
    PhysicsObject* bar = makeObject([](Attributes* a) {
        a->addString("Name", "Bar");
        a->addVector3d("Position", core::vector3df(0, 6, 0));
        a->addEnum("BoundType", "Box", boundTypeNames);
        a->addVector3d("BoxExtents", core::vector3df(5, 0.4f, 0.4f));
        a->addEnum("PhysicsState", "Kinematic", physicsStateNames);
    });
    // The banner hangs from its top edge, laid out a little in front so that it swings in.
    PhysicsObject* banner = makeObject(
        [](Attributes* a) {
            a->addString("Name", "Banner");
            a->addVector3d("Rotation", core::vector3df(-60, 0, 0));
            a->addString("MeshFileName", "Content/Models/Props/Cloth.obj");
            a->addEnum("BoundType", "Cloth", boundTypeNames);
            a->addEnum("PhysicsState", "Kinematic", physicsStateNames);
        },
        bar);
    phys::Cloth* cloth = banner->getCloth();
    ASSERT_NE(cloth, nullptr);
    ASSERT_EQ(cloth->getNbParticles(), 81u);
    std::vector<size_t> pinned;
    for (size_t i = 0; i < 81; ++i)
        if (particles(*cloth)[i].invWeight == 0.0f)
            pinned.push_back(i);
    ASSERT_FALSE(pinned.empty());
    ASSERT_LT(pinned.size(), 81u);
    // Each pinned particle keeps its place in the bar's frame (the bar at (0, 6, 0), unturned).
    for (size_t i : pinned)
        EXPECT_TRUE(banner->body().clothAttachments[i].equals(
            toEngine(particles(*cloth)[i].pos) - core::vector3df(0, 6, 0), 1e-3f))
            << i;
    // The bar moves 2 along X over a second.
    for (int i = 0; i < 60; ++i) {
        bar->setPosition(core::vector3df(2.0f * static_cast<f32>(i + 1) / 60.0f, 6, 0));
        frame();
    }
    frames(5);
    const std::vector<phys::ClothParticle> now = particles(*cloth);
    f32 lowest = 100.0f, pinLow = 100.0f;
    for (const phys::ClothParticle& p : now)
        lowest = std::min(lowest, p.pos.y);
    for (size_t i : pinned) {
        EXPECT_NEAR(now[i].pos.x, banner->body().clothAttachments[i].X + 2.0f, 0.05f) << i;
        pinLow = std::min(pinLow, now[i].pos.y);
    }
    EXPECT_LT(lowest, pinLow - 1.0f);
    // The render mesh follows the particles; its normals, turned by the (turned) node as it
    // is drawn, are the cloth's.
    scene::IMeshBuffer* buffer = banner->getMeshNode()->getMesh()->getMeshBuffer(0);
    ASSERT_EQ(buffer->getVertexCount(), 81u);
    const core::matrix4& placed = banner->getMeshNode()->getAbsoluteTransformation();
    for (u32 i : {0u, 40u, 80u}) {
        const video::S3DVertex& vertex = static_cast<video::S3DVertex*>(buffer->getVertices())[i];
        core::vector3df drawn = vertex.Pos;
        placed.transformVect(drawn);
        EXPECT_TRUE(drawn.equals(banner->body().clothPositions[i], 1e-3f)) << i;
        core::vector3df normal = vertex.Normal;
        placed.rotateVect(normal);
        EXPECT_TRUE(normal.normalize().equals(banner->body().clothNormals[i], 1e-4f)) << i;
    }
    // Cloth is seen from both sides: neither is culled (a plain mesh keeps its culling).
    EXPECT_FALSE(banner->getMeshNode()->getMaterial(0).BackfaceCulling);
    PhysicsObject* crate = makeObject([](Attributes* a) {
        a->addString("Name", "Crate");
        a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
        a->addEnum("BoundType", "Box", boundTypeNames);
        a->addEnum("PhysicsState", "Static", physicsStateNames);
    });
    ASSERT_NE(crate->getMeshNode(), nullptr);
    EXPECT_TRUE(crate->getMeshNode()->getMaterial(0).BackfaceCulling);
    // The mesh's bounds follow the drape, or it would be culled by its first shape.
    const core::aabbox3df& meshBounds = banner->getMeshNode()->getMesh()->getBoundingBox();
    EXPECT_TRUE(meshBounds.MinEdge.equals(buffer->getBoundingBox().MinEdge));
    EXPECT_TRUE(meshBounds.MaxEdge.equals(buffer->getBoundingBox().MaxEdge));
}

TEST_F(PhysicsClothTest, AClothWithoutAPhysicsParentHasNoPinnedParticles) {
    PhysicsObject* banner = makeObject([](Attributes* a) {
        a->addString("Name", "Banner");
        a->addVector3d("Position", core::vector3df(0, 6, 0));
        a->addString("MeshFileName", "Content/Models/Props/Cloth.obj");
        a->addEnum("BoundType", "Cloth", boundTypeNames);
        a->addEnum("PhysicsState", "Kinematic", physicsStateNames);
    });
    phys::Cloth* cloth = banner->getCloth();
    ASSERT_NE(cloth, nullptr);
    ASSERT_EQ(cloth->getNbParticles(), 81u);
    for (const phys::ClothParticle& p : particles(*cloth))
        EXPECT_EQ(p.invWeight, 1.0f) << "nothing to pin it to";
    EXPECT_TRUE(banner->body().clothAttachments.empty());
}

TEST_F(PhysicsClothTest, AClothInsideItsParentIsPinnedEverywhereWhereItStands) {
    PhysicsObject* block = makeObject([](Attributes* a) {
        a->addString("Name", "Block");
        a->addVector3d("Position", core::vector3df(1, 6, -2));
        a->addEnum("BoundType", "Box", boundTypeNames);
        a->addVector3d("BoxExtents", core::vector3df(40, 40, 40));
        a->addEnum("PhysicsState", "Kinematic", physicsStateNames);
    });
    PhysicsObject* banner = makeObject(
        [](Attributes* a) {
            a->addString("Name", "Banner");
            a->addString("MeshFileName", "Content/Models/Props/Cloth.obj");
            a->addEnum("BoundType", "Cloth", boundTypeNames);
            a->addEnum("PhysicsState", "Kinematic", physicsStateNames);
        },
        block);
    phys::Cloth* cloth = banner->getCloth();
    ASSERT_NE(cloth, nullptr);
    const std::vector<phys::ClothParticle> now = particles(*cloth);
    ASSERT_EQ(banner->body().clothAttachments.size(), now.size());
    for (size_t i = 0; i < now.size(); ++i) {
        EXPECT_EQ(now[i].invWeight, 0.0f) << i;
        EXPECT_TRUE(banner->body().clothAttachments[i].equals(toEngine(now[i].pos) - core::vector3df(1, 6, -2), 1e-3f))
            << i;
    }
}

// A cloth object is charged its cloth, its arrays a particle and its render mesh (a copy of the
// whole mesh; the cloth is of the first buffer alone): at least what it takes from the heap
// beyond a box object of the mesh, at most half as much again. (Counted by the sanitizers'
// allocator; a build without one skips.)
TEST_F(PhysicsClothTest, AClothObjectsChargeCoversWhatItAllocates) {
    if (!test::heapCounted())
        GTEST_SKIP() << "the heap is counted by the sanitizers' allocator";
    // A cloth of 16 x 16 particles beside a buffer of 170 x 170 vertices: the render mesh weighs most.
    auto* mesh = new scene::SMesh();
    for (const u32 tiles : {15u, 169u}) {
        const f32 tile = 1.0f / f32(tiles);
        scene::IMesh* plane = smgr()->getGeometryCreator()->createPlaneMesh({tile, tile}, {tiles, tiles});
        mesh->addMeshBuffer(plane->getMeshBuffer(0));
        plane->drop();
    }
    mesh->recalculateBoundingBox();
    auto* animated = new scene::SAnimatedMesh(mesh);
    mesh->drop();
    smgr()->getMeshCache()->addMesh("Sheets.obj", animated);
    animated->drop();
    // Made and stepped once; the first of each kind makes the world's own first allocations.
    const auto growth = [&](const char* bound) {
        const size_t before = test::heapBytesInUse();
        PhysicsObject* made = makeObject([bound](Attributes* a) {
            a->addString("MeshFileName", "Sheets.obj");
            a->addEnum("BoundType", bound, boundTypeNames);
            a->addEnum("PhysicsState", "Dynamic", physicsStateNames);
        });
        frame();
        return std::pair{made, test::heapBytesInUse() - before};
    };
    growth("Box");
    growth("Cloth");
    const size_t box = growth("Box").second;
    const auto [cloth, clothGrowth] = growth("Cloth");
    ASSERT_NE(cloth->getCloth(), nullptr);
    const size_t grown = clothGrowth - box;
    EXPECT_GE(cloth->body().clothMemory.charged(), grown);
    EXPECT_LE(cloth->body().clothMemory.charged(), grown + grown / 2);
}

} // namespace
