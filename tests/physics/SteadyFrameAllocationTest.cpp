// A resting level of physics objects allocates nothing in a frame: the whole frame (fetch,
// animate pass, next step) is counted through the program's own operator new, which is why
// this test is a program of its own.
#include "PhysicsObjectFixture.h"

#include "physics/objects/PhysicsObjectSettings.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

namespace {

std::atomic<bool> countingAllocations{false};
std::atomic<long> allocationCount{0};

void* allocate(std::size_t size) {
    if (countingAllocations.load(std::memory_order_relaxed))
        allocationCount.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}

// Out of line, so that the compiler does not pair a free with a new it sees inlined.
[[gnu::noinline]] void release(void* p) { std::free(p); }

} // namespace

void* operator new(std::size_t size) {
    if (void* p = allocate(size))
        return p;
    std::abort(); // the build has no exceptions to throw bad_alloc with
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }

namespace {

class SteadyFrameAllocationTest : public PhysicsObjectFixture {
protected:
    void TearDown() override {
        countingAllocations = false;
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
    allocationCount = 0;
    countingAllocations = true;
    frames(100);
    countingAllocations = false;
    EXPECT_EQ(allocationCount.load(), 0) << "heap allocations in 100 frames of a resting level";
}

} // namespace
