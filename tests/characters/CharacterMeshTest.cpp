#include "CharacterFixture.h"

#include "characters/CharacterProfile.h"
#include "level/MeshGate.h"

#include <gtest/gtest.h>

#include <string>

using namespace irr;

namespace {

using CharacterMeshTest = test::CharacterFixture;

const char* const characterJointNames[] = {"hipsJt", "spineJt", "neckJt", "headBaseJt",
                                           "lArmJt", "rArmJt",  "lLegJt", "rLegJt"};

core::vector3df jointRotation(scene::IAnimatedMeshSceneNode* node, const char* joint, f32 frame) {
    node->setCurrentFrame(frame);
    node->animateJoints();
    return node->getJointNode(joint)->getRotation();
}

TEST_F(CharacterMeshTest, TheFigureIsASkinnedMeshWithTheCharacterJointsAndClips) {
    for (const char* file : {"Content/Models/Characters/Everyman1.b3d", "Content/Models/Characters/AniEveryBody.b3d"}) {
        scene::IAnimatedMesh* mesh = getGameMesh(smgr(), file);
        ASSERT_NE(mesh, nullptr) << file;
        ASSERT_EQ(mesh->getMeshType(), scene::EAMT_SKINNED) << file;
        auto* skinned = static_cast<scene::ISkinnedMesh*>(mesh);
        EXPECT_EQ(skinned->getJointCount(), 9u) << file; // the mesh node and eight joints
        for (const char* joint : characterJointNames)
            EXPECT_GE(skinned->getJointNumber(joint), 0) << file << " " << joint;
        // Frames 0..170 hold the clips the profiles list, at 30 frames a second; a node
        // plays up to the frame before the count.
        EXPECT_EQ(mesh->getFrameCount(), 171u) << file;
        EXPECT_EQ(mesh->getAnimationSpeed(), 30.0f) << file;
        // About six units tall, feet on the ground.
        const core::aabbox3df box = mesh->getMesh(0)->getBoundingBox();
        EXPECT_NEAR(box.MinEdge.Y, 0.0f, 0.01f) << file;
        EXPECT_NEAR(box.MaxEdge.Y, 6.0f, 0.01f) << file;
        // Every joint has a key on every frame (none merged into its neighbour).
        const s32 hips = skinned->getJointNumber("hipsJt");
        EXPECT_EQ(skinned->getAllJoints()[static_cast<u32>(hips)]->RotationKeys.size(), 172u) << file;
    }
    EXPECT_EQ(log.countStartingWith("ERROR: "), 0u);
}

TEST_F(CharacterMeshTest, TheClipsMoveTheJointsTheyAnimate) {
    scene::IAnimatedMesh* mesh = getGameMesh(smgr(), "Content/Models/Characters/Everyman1.b3d");
    ASSERT_NE(mesh, nullptr);
    scene::IAnimatedMeshSceneNode* node = smgr()->addAnimatedMeshSceneNode(mesh);
    ASSERT_NE(node, nullptr);
    node->setJointMode(scene::EJUOR_READ);
    for (const char* joint : characterJointNames)
        ASSERT_NE(node->getJointNode(joint), nullptr) << joint;

    struct Clip {
        const char* what;
        const char* joint;
        f32 rest;
        f32 peak;
    };
    // Each clip starts in the rest pose and moves its joints at its peak.
    const Clip clips[] = {
        {"walk swings the legs", "lLegJt", 0.0f, 7.5f},
        {"idle turns the neck", "neckJt", 61.0f, 68.5f},
        {"the turn twists the hips", "hipsJt", 91.0f, 100.0f},
        {"the reaction throws up the arms", "lArmJt", 111.0f, 120.0f},
        {"noticing turns the head", "neckJt", 131.0f, 140.0f},
        {"discovery points the arms", "rArmJt", 151.0f, 160.0f},
    };
    for (const Clip& clip : clips) {
        const core::vector3df rest = jointRotation(node, clip.joint, clip.rest);
        const core::vector3df peak = jointRotation(node, clip.joint, clip.peak);
        EXPECT_GT((peak - rest).getLength(), 10.0f) << clip.what; // degrees
    }
    // Every clip of the profile can be played whole on the figure.
    CharacterProfile profile;
    ASSERT_EQ(profile.load("Content/Models/Characters/EverymanProfile.xml"), 0);
    for (const auto& [name, record] : profile.animations) {
        ASSERT_TRUE(node->setFrameLoop(record->startFrame, record->endFrame)) << name;
        EXPECT_EQ(node->getStartFrame(), record->startFrame) << name;
        EXPECT_EQ(node->getEndFrame(), record->endFrame) << name;
    }
    // The stopped clip barely moves the legs.
    const core::vector3df a = jointRotation(node, "lLegJt", 31.0f);
    const core::vector3df b = jointRotation(node, "lLegJt", 45.0f);
    EXPECT_LT((a - b).getLength(), 1.0f);
    node->remove();
}

} // namespace
