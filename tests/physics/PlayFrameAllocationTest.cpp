// A frame of play allocates next to nothing: objects falling onto the floor and coming to
// rest while a character walks its path, every frame counted through the program's own
// operator new (support/CountingNew), at the frame rate's target and on a slow machine
// whose frames each run the most physics steps a frame may.
#include "../characters/CharacterWorldFixture.h"

#include "physics/objects/PhysicsObjectSettings.h"
#include "support/CountingNew.h"

#include <algorithm>
#include <string>
#include <vector>

using counting_new::count;
using counting_new::counting;

namespace {

// The length of a frame: the frame rate's target, or a slow machine's two frames a second.
class PlayFrameAllocationTest : public CharacterWorldFixture, public ::testing::WithParamInterface<irr::f32> {
protected:
    void TearDown() override {
        counting = false;
        CharacterWorldFixture::TearDown();
    }
    // A character walking a square path, and objects of every bound with their meshes in a
    // row in the air beside it; frames run until the character is under way.
    void startPlay() {
        addPath(10, {{-6, 0, -6}, {6, 0, -6}, {6, 0, 6}, {-6, 0, 6}});
        CharacterObject* walker = addCharacter(-6.0f, -6.0f, 10, [](irr::io::IAttributes* a) {
            a->addEnum("PathBehavior", "Loop", characterPathBehaviorNames);
        });
        const char* bounds[] = {"Box", "Sphere", "Cylinder", "Capsule", "Convex"};
        const char* meshes[] = {"Crate", "Ball", "Barrel", "Pill", "Rock"};
        for (int i = 0; i < 10; ++i)
            objects.push_back(makeObject([&](irr::io::IAttributes* a) {
                a->addVector3d("Position", {static_cast<irr::f32>(i) * 2.0f - 9.0f, 4.0f, 10.0f});
                a->addString("MeshFileName", (std::string("Content/Models/Props/") + meshes[i % 5] + ".obj").c_str());
                a->addEnum("BoundType", bounds[i % 5], boundTypeNames);
                a->addFloat("Radius", 0.5f);
                a->addFloat("Height", 2.0f);
                a->addEnum("PhysicsState", "Dynamic", physicsStateNames);
            }));
        const irr::core::vector3df start = walker->getAbsolutePosition();
        for (int i = 0; i < 600 && walker->getAbsolutePosition().getDistanceFrom(start) < 0.1f; ++i)
            step(PhysicsManager::fixedStepSize);
        ASSERT_GE(walker->getAbsolutePosition().getDistanceFrom(start), 0.1f) << "the character did not walk";
    }
    void step(irr::f32 seconds) {
        frame(seconds);
        device->get()->getTimer()->setTime(timeMs); // the character's head turns by it
    }
    bool everyObjectAsleep() const {
        return std::all_of(objects.begin(), objects.end(), [](PhysicsObject* object) {
            phys::RigidDynamic* body = object->getActor() ? object->getActor()->asRigidDynamic() : nullptr;
            return body && body->isSleeping();
        });
    }
    // The allocations of each frame from now until every object rests.
    std::vector<long> countUntilAtRest(irr::f32 seconds) {
        std::vector<long> frames;
        frames.reserve(4000);
        while (!everyObjectAsleep() && frames.size() < 4000) {
            count = 0;
            counting = true;
            step(seconds);
            counting = false;
            frames.push_back(count.load());
        }
        return frames;
    }

    std::vector<PhysicsObject*> objects;
};

// Most frames allocate nothing; the few that do are the pair lists growing as the objects
// first meet the floor (the contact reports, the job queue and ended pairs reuse theirs).
TEST_P(PlayFrameAllocationTest, ObjectsFallingAndACharacterWalkingAllocateNothingInMostFrames) {
    ASSERT_NO_FATAL_FAILURE(startPlay());
    const std::vector<long> frames = countUntilAtRest(GetParam());
    ASSERT_TRUE(everyObjectAsleep()) << "the objects never came to rest";
    std::vector<long> sorted = frames;
    std::sort(sorted.begin(), sorted.end());
    long total = 0;
    for (long n : frames)
        total += n;
    EXPECT_EQ(sorted[sorted.size() / 2], 0) << "the median frame's allocations";
    EXPECT_LE(total, 4) << "allocations in the " << frames.size() << " frames until the objects rest";
}

INSTANTIATE_TEST_SUITE_P(FrameLengths, PlayFrameAllocationTest, ::testing::Values(PhysicsManager::fixedStepSize, 0.5f));

} // namespace
