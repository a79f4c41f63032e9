// A resting level of physics objects allocates nothing in a frame: the whole frame (fetch,
// animate pass, next step) is counted through the program's own operator new
// (support/CountingNew), which is why this test is a program of its own.
#include "PhysicsObjectFixture.h"

#include "physics/objects/PhysicsObjectSettings.h"
#include "phys/Particles.h"
#include "support/CountingNew.h"

#include <string>
#include <vector>

using counting_new::count;
using counting_new::counting;

namespace {

class SteadyFrameAllocationTest : public PhysicsObjectFixture {
protected:
    void TearDown() override {
        counting = false;
        PhysicsObjectFixture::TearDown();
    }
    // Objects of every bound with their meshes, in a grid on a static floor.
    void buildRestingLevel() {
        makeObject([](irr::io::IAttributes* a) {
            a->addVector3d("Position", {0, -0.5f, 0});
            a->addEnum("BoundType", "Box", boundTypeNames);
            a->addVector3d("BoxExtents", {100, 1, 100});
            a->addEnum("PhysicsState", "Static", physicsStateNames);
        });
        const char* bounds[] = {"Box", "Sphere", "Cylinder", "Capsule", "Convex"};
        const char* meshes[] = {"Crate", "Ball", "Barrel", "Pill", "Rock"};
        for (int i = 0; i < 40; ++i) {
            objects.push_back(makeObject([&](irr::io::IAttributes* a) {
                a->addVector3d("Position", {(i % 8) * 3.0f - 12.0f, 1.5f, (i / 8) * 3.0f - 6.0f});
                a->addString("MeshFileName", (std::string("Content/Models/Props/") + meshes[i % 5] + ".obj").c_str());
                a->addEnum("BoundType", bounds[i % 5], boundTypeNames);
                a->addFloat("Radius", 0.5f);
                a->addFloat("Height", 2.0f);
                a->addEnum("PhysicsState", "Dynamic", physicsStateNames);
            }));
        }
    }
    bool everyObjectAsleep() const {
        for (PhysicsObject* object : objects) {
            phys::RigidDynamic* body = object->getActor() ? object->getActor()->asRigidDynamic() : nullptr;
            if (!body || !body->isSleeping())
                return false;
        }
        return true;
    }
    std::vector<PhysicsObject*> objects;
};

TEST_F(SteadyFrameAllocationTest, ARestingLevelAllocatesNothingInAHundredFrames) {
    buildRestingLevel();
    for (int i = 0; i < 3000 && !everyObjectAsleep(); ++i)
        frame();
    ASSERT_TRUE(everyObjectAsleep()) << "the objects never came to rest";
    frames(10); // the frames after the last wake settle their scratch space
    count = 0;
    counting = true;
    frames(100);
    counting = false;
    EXPECT_EQ(count.load(), 0) << "heap allocations in 100 frames of a resting level";
}

// Drops that live on among the resting objects (the shed's sprinkle) are looked after every
// step: which objects they meet is decided again in storage kept from the step before.
TEST_F(SteadyFrameAllocationTest, LiveDropsAmongRestingObjectsAllocateNothingAStep) {
    buildRestingLevel();
    phys::ParticleBase* drops = physics->createParticleSystem(0.25f, 0.1f, 0.6f, 0.2f, 1.0f, -1.0f, -1.0f);
    ASSERT_NE(drops, nullptr);
    std::vector<irr::u32> indices;
    std::vector<phys::Vec3> positions;
    for (irr::u32 i = 0; i < 200; ++i) {
        indices.push_back(i);
        positions.emplace_back((i % 20) * 1.2f - 12.0f, 3.0f + (i / 20) * 0.3f, (i / 20) * 1.2f - 6.0f);
    }
    phys::ParticleCreationData creation;
    creation.numParticles = static_cast<irr::u32>(indices.size());
    creation.indexBuffer = phys::StridedData<irr::u32>(indices.data());
    creation.positionBuffer = phys::StridedData<phys::Vec3>(positions.data());
    ASSERT_TRUE(drops->createParticles(creation));
    for (int i = 0; i < 3000 && !everyObjectAsleep(); ++i)
        frame();
    ASSERT_TRUE(everyObjectAsleep()) << "the objects never came to rest";
    frames(10);
    phys::ParticleReadData* read = drops->lockParticleReadData();
    ASSERT_NE(read, nullptr);
    const irr::u32 alive = read->numValidParticles;
    read->unlock();
    ASSERT_EQ(alive, 200u) << "the drops live on";
    count = 0;
    counting = true;
    frames(100);
    counting = false;
    EXPECT_EQ(count.load(), 0) << "heap allocations in 100 frames of live drops among resting objects";
}

} // namespace
