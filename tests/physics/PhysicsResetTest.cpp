// Reset rules, respawn and the scale effect; touch tracking, joint links and the grab
// notification of physics objects.
#include "PhysicsObjectFixture.h"

#include "physics/objects/RespawnScaleAnimator.h"
#include "physics/world/PhysicsFiltering.h"
#include "physics/world/PhysicsHooks.h"

#include "characters/animators/AnimatorFactory.h"
#include "core/Globals.h"
#include "level/LevelFile.h"
#include "level/LevelInfo.h"
#include "level/LevelManager.h"
#include "level/SaveManager.h"

#include "support/StubPlayer.h"

#include <algorithm>

using namespace irr;

namespace {

using Attributes = io::IAttributes;

// A dynamic unit box at (0, 5, 0) that never sleeps through the test.
std::function<void(Attributes*)> resetBox(const std::function<void(Attributes*)>& extra = {}) {
    return [extra](Attributes* a) {
        a->addString("Name", "Resetting");
        a->addVector3d("Position", core::vector3df(0, 5, 0));
        a->addEnum("BoundType", "Box", boundTypeNames);
        a->addVector3d("BoxExtents", core::vector3df(1, 1, 1));
        a->addEnum("PhysicsState", "Dynamic", physicsStateNames);
        a->addBool("DisableGravity", true);
        if (extra)
            extra(a);
    };
}

class HoldingPlayer : public test::StubPlayer {
public:
    using StubPlayer::StubPlayer;
    void releaseObject(scene::ISceneNode* object, s32, bool) override {
        ++releases;
        if (auto* physics = asPhysicsObject(object))
            physics->holdCount = 0;
    }
    bool isModeSettled() override { return true; }
    int releases = 0;
};

class PhysicsResetTest : public PhysicsObjectFixture {
protected:
    // A grabbable box held by the player, with one switch of its own set.
    PhysicsObject* heldBox(const char* key, bool value) {
        PhysicsObject* object = makeObject(resetBox([&](Attributes* a) {
            a->addBool("IsGrabbable", true);
            a->addBool(key, value);
        }));
        object->holdCount = 1;
        return object;
    }
    void TearDown() override {
        clearPlayers();
        levelFloorHeight = defaultLevelFloorHeight;
        PhysicsObjectFixture::TearDown();
    }
    // Moves the body (and its node) without a reset, velocity zero.
    void place(PhysicsObject* object, const core::vector3df& at) {
        object->getActor()->setGlobalPose(phys::Transform(toPhys(at), phys::Quat()));
        object->getActor()->asRigidDynamic()->setLinearVelocity(phys::Vec3());
        frame();
    }
    HoldingPlayer* addPlayer(const core::vector3df& at) {
        auto* player = new HoldingPlayer(root(), smgr(), -1);
        player->setPosition(at);
        player->updateAbsolutePosition();
        player->drop();
        setPlayer(0, player);
        return player;
    }
};

TEST_F(PhysicsResetTest, EachRuleStartsTheShrinkOnlyWhenItsConditionHolds) {
    struct Row {
        const char* name;
        std::function<void(Attributes*)> rules;
        core::vector3df at;
        bool resets;
    } rows[] = {
        {"height below", [](Attributes* a) { a->addEnum("ResetIfHeight", "Respawn", resetModeNames); a->addFloat("ResetHeight", 0.0f); },
         {0, -1, 0}, true},
        {"height above", [](Attributes* a) { a->addEnum("ResetIfHeight", "Respawn", resetModeNames); a->addFloat("ResetHeight", 0.0f); },
         {0, 1, 0}, false},
        {"on the reset height", [](Attributes* a) { a->addEnum("ResetIfHeight", "Respawn", resetModeNames); a->addFloat("ResetHeight", 0.0f); },
         {0, 0, 0}, false},
        {"height below, jumping", [](Attributes* a) { a->addEnum("ResetIfHeight", "Jump to Position", resetModeNames); a->addFloat("ResetHeight", 0.0f); },
         {0, -1, 0}, true},
        // The spawn rule fires near the respawn point, here put 20 units away.
        {"near spawn", [](Attributes* a) { a->addEnum("ResetIfDistFromSpawn", "Respawn", resetModeNames); a->addFloat("DistanceFromSpawn", 5.0f);
                                           a->addVector3d("RespawnOverridePosition", core::vector3df(20, 5, 0)); },
         {16, 5, 0}, true},
        {"far from spawn", [](Attributes* a) { a->addEnum("ResetIfDistFromSpawn", "Jump to Position", resetModeNames); a->addFloat("DistanceFromSpawn", 5.0f);
                                               a->addVector3d("RespawnOverridePosition", core::vector3df(20, 5, 0)); },
         {14, 5, 0}, false},
        {"on the spawn distance", [](Attributes* a) { a->addEnum("ResetIfDistFromSpawn", "Respawn", resetModeNames); a->addFloat("DistanceFromSpawn", 5.0f);
                                                      a->addVector3d("RespawnOverridePosition", core::vector3df(20, 5, 0)); },
         {15, 5, 0}, false},
        {"no rule", [](Attributes*) {}, {0, -50, 0}, false},
    };
    for (const Row& row : rows) {
        PhysicsObject* object = makeObject(resetBox(row.rules));
        place(object, row.at);
        frame();
        EXPECT_EQ(object->respawnEffectTimer >= 0.0f, row.resets) << row.name;
        object->remove();
    }
}

TEST_F(PhysicsResetTest, AHiddenObjectIsNotResetAndACompoundPartRespawnsAtOnce) {
    PhysicsObject* hidden = makeObject(resetBox([](Attributes* a) {
        a->addEnum("ResetIfHeight", "Respawn", resetModeNames);
        a->addFloat("ResetHeight", 10.0f);
    }));
    hidden->setVisible(false);
    hidden->alwaysVisible = true; // its node's own switch decides, whatever it answers for drawing
    frames(2);
    EXPECT_LT(hidden->respawnEffectTimer, 0.0f) << "hidden";
    hidden->alwaysVisible = false;
    hidden->setVisible(true);
    frames(2);
    EXPECT_GE(hidden->respawnEffectTimer, 0.0f) << "shown";

    PhysicsObject* owner = makeObject(resetBox([](Attributes* a) { a->setAttribute("Position", core::vector3df(20, 5, 0)); }));
    PhysicsObject* part = makeObject(
        [](Attributes* a) {
            a->addVector3d("Position", core::vector3df(0, 1.5f, 0));
            a->addEnum("BoundType", "Sphere", boundTypeNames);
            a->addFloat("Radius", 0.5f);
            a->addEnum("PhysicsState", "Dynamic", physicsStateNames);
        },
        owner);
    ASSERT_TRUE(part->getUserData()->sharedBody);
    part->requestReset();
    EXPECT_LT(part->respawnEffectTimer, 0.0f) << "no shrink: respawned at once";
}

TEST_F(PhysicsResetTest, TheLevelFloorResetsEveryObjectButTheDefaultFloorNever) {
    PhysicsObject* object = makeObject(resetBox());
    place(object, {0, -500, 0});
    EXPECT_LT(object->respawnEffectTimer, 0.0f) << "floor -100000";
    levelFloorHeight = -400.0f;
    frame();
    EXPECT_GE(object->respawnEffectTimer, 0.0f);
}

TEST_F(PhysicsResetTest, AResetShrinksForASecondThenRespawnsAtTheSpawnPoseAndGrowsBack) {
    PhysicsObject* object = makeObject(resetBox([](Attributes* a) {
        a->addEnum("ResetIfHeight", "Respawn", resetModeNames);
        a->addFloat("ResetHeight", 0.0f);
    }));
    object->getActor()->asRigidDynamic()->setLinearVelocity(phys::Vec3(0, -20, 0));
    int frameCount = 0;
    while (object->respawnEffectTimer < 0.0f && frameCount++ < 100)
        frame();
    ASSERT_GE(object->respawnEffectTimer, 0.0f);
    frames(50);
    EXPECT_LT(object->getScale().X, 0.1f) << "shrunk away";
    EXPECT_GE(object->respawnEffectTimer, 0.0f) << "still within the second";
    // Asking again mid-shrink neither starts the effect over nor puts the respawn off.
    object->requestReset();
    frame();
    EXPECT_LT(object->getScale().X, 0.1f) << "not restarted";
    frames(11);
    EXPECT_LT(object->respawnEffectTimer, 0.0f) << "respawned after a second";
    EXPECT_NEAR(object->getAbsolutePosition().Y, 5.0f, 0.05f);
    EXPECT_EQ(object->getActor()->asRigidDynamic()->getLinearVelocity(), phys::Vec3());
    frames(40);
    EXPECT_NEAR(object->getScale().X, 1.0f, 1e-4f) << "grown back";
    EXPECT_NEAR(object->getAbsolutePosition().Y, 5.0f, 0.05f);
}

TEST_F(PhysicsResetTest, TheScaleEffectIsMadeOnceAndStartsAtATinyScale) {
    PhysicsObject* object = makeObject(resetBox());
    object->createRespawnEffect();
    object->createRespawnEffect();
    EXPECT_EQ(object->getAnimators().size(), 1u);
    object->beginRespawnScale();
    EXPECT_EQ(object->getScale(), core::vector3df(0.001f, 0.001f, 0.001f));
    auto* effect = static_cast<RespawnScaleAnimator*>(object->reset().respawnEffect);
    EXPECT_EQ(effect->id, RespawnScaleAnimator::effectID);
    EXPECT_EQ(effect->scaleAt(0.0f), core::vector3df(0.001f, 0.001f, 0.001f));
    EXPECT_EQ(effect->scaleAt(1.0f), core::vector3df(1, 1, 1));
    // An effect read back from a level holds no keys until the next reset: full size.
    RespawnScaleAnimator readBack(3.0f, 0.5f);
    EXPECT_EQ(readBack.scaleAt(0.5f), core::vector3df(1, 1, 1));
    Attributes* out = newAttributes();
    effect->serializeAttributes(out);
    EXPECT_FALSE(out->getAttributeAsBool("Enabled")) << "saved disabled";
    // Read back, the effect keeps its pace and tightness.
    out->setAttribute("Speed", 6.0f);
    out->setAttribute("Tightness", 0.25f);
    RespawnScaleAnimator restored(3.0f, 0.5f);
    restored.deserializeAttributes(out);
    Attributes* again = newAttributes();
    restored.serializeAttributes(again);
    EXPECT_EQ(again->getAttributeAsFloat("Speed"), 6.0f);
    EXPECT_EQ(again->getAttributeAsFloat("Tightness"), 0.25f);
    again->drop();
    out->drop();
    // A reset keeps the spawn scale for a third of a second, then shrinks to almost nothing.
    object->requestReset();
    EXPECT_EQ(effect->scaleAt(0.0f), core::vector3df(1, 1, 1));
    EXPECT_NEAR(effect->scaleAt(1.0f / 3.0f).X, 1.0f, 1e-3f);
    EXPECT_NEAR(effect->scaleAt(2.0f / 3.0f).X, 0.001f, 1e-3f);
}

TEST_F(PhysicsResetTest, ARespawnStartsTheMeshAnimationAgainFromItsSpawnFrame) {
    PhysicsObject* object = makeObject(resetBox([](Attributes* a) {
        a->addString("MeshFileName", "Content/Models/Characters/Mannequin.b3d");
        a->addInt("SpawnFrame", 5);
        a->addInt("StartFrame", 2);
        a->addInt("EndFrame", 20);
    }));
    ASSERT_NE(object->getMeshNode(), nullptr);
    ASSERT_GT(object->getMeshNode()->getMesh()->getFrameCount(), 20u);
    frames(30);
    object->respawn();
    EXPECT_FLOAT_EQ(object->getMeshNode()->getFrameNr(), 5.0f);
    EXPECT_EQ(object->getMeshNode()->getStartFrame(), 2);
    EXPECT_EQ(object->getMeshNode()->getEndFrame(), 20);
}

TEST_F(PhysicsResetTest, APositionNodeGivesTheRespawnPoseWhereItIsNow) {
    PhysicsObject* marker = makeObject([](Attributes* a) {
        a->addInt("Id", 77);
        a->addEnum("BoundType", "None", boundTypeNames);
        a->addVector3d("Position", core::vector3df(9, 9, 9));
        a->addVector3d("Rotation", core::vector3df(0, 45, 0));
    });
    PhysicsObject* object = makeObject(resetBox([](Attributes* a) { a->addInt("RespawnOverridePosID", 77); }));
    manager->rebuildNodeIDs();
    frame();
    ASSERT_EQ(object->reset().positionNode, marker);
    marker->setPosition(core::vector3df(20, 5, 0));
    marker->updateAbsolutePosition();
    frame();
    EXPECT_EQ(object->reset().respawnPosition, core::vector3df(20, 5, 0)) << "the rules measure from it";
    object->respawn();
    EXPECT_TRUE(object->getRotation().equals(core::vector3df(0, 45, 0), 0.05f)) << object->getRotation().Y;
    EXPECT_TRUE(object->getPosition().equals(core::vector3df(20, 5, 0), 1e-3f));
}

TEST_F(PhysicsResetTest, TheScaleEffectRunsItsKeysOnceAndEndsOnItsLastKey) {
    scene::ISceneNode* node = smgr()->addEmptySceneNode();
    auto* effect = new RespawnScaleAnimator(2.0f, 0.5f); // two keys a second: over after 1 s
    for (f32 scale : {1.0f, 2.0f, 3.0f})
        effect->addKey(core::vector3df(scale, scale, scale));
    const core::vector3df last(3, 3, 3);
    EXPECT_EQ(effect->scaleAt(1.25f), last) << "past the end";
    effect->setEnabled(true, node);
    effect->setElapsedTime(0.0f);
    effect->animateNode(node, 1000);
    effect->animateNode(node, 1900);
    EXPECT_TRUE(effect->isEnabled());
    EXPECT_NE(node->getScale(), last);
    effect->animateNode(node, 2000);
    EXPECT_FALSE(effect->isEnabled()) << "at its last key";
    EXPECT_EQ(node->getScale(), last);
    // Switched off while running, the node takes the last key.
    effect->setEnabled(true, node);
    effect->setElapsedTime(0.0f);
    effect->animateNode(node, 3000);
    effect->animateNode(node, 3250);
    ASSERT_NE(node->getScale(), last);
    effect->setEnabled(false, node);
    EXPECT_EQ(node->getScale(), last);
    effect->drop();
}

TEST_F(PhysicsResetTest, ACheckpointWrittenDuringAResetReadsBackItsEffectForTheNextReset) {
    auto* animators = new AnimatorFactory(smgr());
    animators->drop(); // the scene manager holds it
    SaveManager save(device->get()->getFileSystem(), temp.file("save"));
    save.automaticWriting = false;
    saveManager = &save;
    PhysicsObject* object = makeObject(resetBox());
    object->requestReset();
    frames(10);
    ASSERT_GE(object->respawnEffectTimer, 0.0f) << "shrinking";
    const bool written = manager->saveCheckpoint();
    const io::path checkpoint = manager->getCheckpointPath(false);
    saveManager = nullptr;
    ASSERT_TRUE(written);
    ASSERT_EQ(std::string(checkpoint.c_str()).rfind(temp.path().string(), 0), 0u) << "in the test's own folder";
    object->remove();
    ASSERT_TRUE(SceneLoader(smgr()).load(checkpoint));
    EXPECT_EQ(log.countStartingWith("Warning: "), 0u);
    EXPECT_EQ(log.countStartingWith("ERROR: "), 0u);
    PhysicsObject* loaded = findObject("Resetting");
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->getAnimators().size(), 1u);
    auto* effect = static_cast<RespawnScaleAnimator*>(*loaded->getAnimators().begin());
    ASSERT_EQ(effect->getType(), RespawnScaleAnimator::typeCode());
    EXPECT_EQ(effect->id, RespawnScaleAnimator::effectID);
    EXPECT_FALSE(effect->isEnabled()) << "saved disabled";
    EXPECT_EQ(loaded->getScale(), core::vector3df(1, 1, 1)) << "its spawn scale";
    loaded->requestReset();
    EXPECT_EQ(loaded->getAnimators().size(), 1u) << "the next reset takes the effect up";
    EXPECT_EQ(loaded->reset().respawnEffect, effect);
    EXPECT_TRUE(effect->isEnabled());
}

TEST_F(PhysicsResetTest, RestingAwayFromSpawnResetsAfterItsSecondsButNotNearSpawnOrWhileMoving) {
    const struct Row {
        const char* name;
        core::vector3df offset; // from the spawn point (0, 5, 0)
        phys::Vec3 velocity;
        f32 seconds;
        bool resets;
        bool kinematic = false;
    } rows[] = {
        {"near spawn", {1.5f, 0, 0}, {}, 2.0f, false},
        {"on the sqrt(3) bound", {1, 1, 1}, {}, 2.0f, false},
        {"away from spawn", {2, 0, 0}, {}, 2.0f, true},
        {"rising", {5, 0, 0}, {0, 2, 0}, 2.0f, false},
        {"moving, no seconds", {5, 0, 0}, {2, 0, 0}, 0.0f, false},
        {"kinematic (moved by its animators)", {5, 0, 0}, {}, 2.0f, false, true},
    };
    for (const Row& row : rows) {
        PhysicsObject* object = makeObject(resetBox([&](Attributes* a) {
            a->addEnum("ResetIfAtRest", "Respawn", resetModeNames);
            a->addFloat("SecondsAtRest", row.seconds);
            if (row.kinematic)
                a->setAttribute("PhysicsState", "Kinematic");
        }));
        place(object, core::vector3df(0, 5, 0) + row.offset);
        if (!row.kinematic)
            object->getActor()->asRigidDynamic()->setLinearVelocity(row.velocity);
        int frameCount = 0;
        while (object->respawnEffectTimer < 0.0f && frameCount < 200) {
            frame();
            ++frameCount;
        }
        if (row.resets)
            EXPECT_NEAR(frameCount * PhysicsManager::fixedStepSize, 2.0f, 0.1f) << row.name;
        else
            EXPECT_EQ(frameCount, 200) << row.name << ": never";
        if (row.kinematic) {
            // Turned loose it does not reset at once: the time it was kinematic never counted.
            object->setKinematic(false);
            frames(60);
            EXPECT_LT(object->respawnEffectTimer, 0.0f) << row.name << ", turned loose";
        }
        object->remove();
    }
}

TEST_F(PhysicsResetTest, APlayerHitResetsOnlyUnderItsRuleAndIsForgottenEachFrame) {
    for (const char* mode : {"Respawn", "No"}) {
        PhysicsObject* object =
            makeObject(resetBox([&](Attributes* a) { a->addEnum("ResetIfPlayerCollide", mode, resetModeNames); }));
        object->reset().playerCollided = true;
        frame();
        EXPECT_EQ(object->respawnEffectTimer >= 0.0f, std::string(mode) == "Respawn") << mode;
        EXPECT_FALSE(object->reset().playerCollided) << mode;
        object->remove();
    }
}

TEST_F(PhysicsResetTest, ARespawnTurnsKinematicWhenAskedKeepsCollisionSwitchedOffAndForgetsTheFloorHit) {
    for (bool asKinematic : {false, true}) {
        const bool forcedOff = asKinematic; // both ways, once each
        PhysicsObject* object =
            makeObject(resetBox([&](Attributes* a) { a->addBool("ResetAsKinematic", asKinematic); }));
        if (forcedOff) {
            object->body().collisionForcedOff = true;
            object->setCollisionEnabled(false);
        }
        object->suspicion().hitFloorRaised = true;
        object->requestReset();
        for (int i = 0; object->respawnEffectTimer >= 0.0f && i < 200; ++i)
            frame();
        ASSERT_LT(object->respawnEffectTimer, 0.0f) << "respawned";
        EXPECT_EQ(object->getPhysicsState() == PhysicsState::Kinematic, asKinematic);
        EXPECT_EQ(object->isCollisionEnabled(), !forcedOff);
        EXPECT_FALSE(object->suspicion().hitFloorRaised);
        object->remove();
    }
}

TEST_F(PhysicsResetTest, NearThePlayerForItsSecondsTheRuleFires) {
    HoldingPlayer* player = addPlayer({3, 5, 0});
    PhysicsObject* near = makeObject(resetBox([](Attributes* a) {
        a->addEnum("ResetIfDistFromPlayer", "Respawn", resetModeNames);
        a->addFloat("DistanceFromPlayer", 5.0f);
        a->addFloat("SecondsAwayFromPlayer", 0.5f);
    }));
    frames(20);
    EXPECT_LT(near->respawnEffectTimer, 0.0f) << "not yet 0.5 s";
    // A frame with the player beyond the distance starts the count again.
    auto place = [player](const core::vector3df& at) {
        player->setPosition(at);
        player->updateAbsolutePosition();
    };
    place({9, 5, 0});
    frame();
    place({3, 5, 0});
    frames(20);
    EXPECT_LT(near->respawnEffectTimer, 0.0f) << "counted afresh";
    frames(15);
    EXPECT_GE(near->respawnEffectTimer, 0.0f);
}

// The camera sees a 90 degree cone along +Z: at z 10 it spans x -10..10 at the crate's
// centre and -11..11 at its near face. A crate's box (2 units) beside the cone but inside
// the cone's bounding box counts as off screen.
TEST_F(PhysicsResetTest, TheOffScreenRuleFiresBesideTheViewConeButNotJustInsideIt) {
    scene::ICameraSceneNode* camera =
        smgr()->addCameraSceneNode(nullptr, core::vector3df(0, 5, 0), core::vector3df(0, 5, 10));
    camera->setFOV(core::PI / 2.0f);
    camera->setAspectRatio(1.0f);
    smgr()->setActiveCamera(camera);
    const struct Row {
        const char* name;
        core::vector3df at;
        bool shownAgain; // hidden and shown first: culling comes back after its delay
        bool resets;
    } rows[] = {
        {"behind the camera", {0, 5, -10}, false, true},
        {"just beside the cone", {12.2f, 5, 10}, false, true},
        {"just inside the cone", {11.8f, 5, 10}, false, false},
        {"beside, shown again", {12.2f, 5, 10}, true, true},
        {"inside, shown again", {11.8f, 5, 10}, true, false},
    };
    for (const Row& row : rows) {
        PhysicsObject* object = makeObject(resetBox([&](Attributes* a) {
            a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
            a->setAttribute("Position", row.at);
            a->addEnum("ResetIfOffscreen", "Respawn", resetModeNames);
            a->addFloat("SecondsOffscreen", 0.2f);
        }));
        if (row.shownAgain) {
            object->setVisible(false);
            object->setVisible(true);
        }
        // 0.2 s off screen, after at most 31 frames of culling delay.
        for (int frameCount = 0; object->respawnEffectTimer < 0.0f && frameCount < 70; ++frameCount) {
            frame();
            smgr()->drawAll(); // the camera's frustum
        }
        EXPECT_EQ(object->respawnEffectTimer >= 0.0f, row.resets) << row.name;
        EXPECT_EQ(object->getMeshNode()->getAutomaticCulling(), scene::EAC_FRUSTUM_BOX) << row.name;
        object->remove();
    }
    // In view, the count starts afresh.
    PhysicsObject* seen = makeObject(resetBox([](Attributes* a) {
        a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
        a->setAttribute("Position", core::vector3df(0, 5, 10));
        a->addEnum("ResetIfOffscreen", "Respawn", resetModeNames);
        a->addFloat("SecondsOffscreen", 0.2f);
    }));
    seen->reset().offscreenTimer = 1.0f;
    frame();
    smgr()->drawAll();
    EXPECT_LT(seen->respawnEffectTimer, 0.0f);
    EXPECT_EQ(seen->reset().offscreenTimer, 0.0f);
}

TEST_F(PhysicsResetTest, HeldAndKinematicObjectsAreNotResetByRulesButARequestStillRuns) {
    HoldingPlayer* player = addPlayer({50, 0, 0});
    auto lowRule = [](Attributes* a) {
        a->addEnum("ResetIfHeight", "Respawn", resetModeNames);
        a->addFloat("ResetHeight", 10.0f);
    };
    PhysicsObject* held = makeObject(resetBox(lowRule));
    held->holdCount = 1;
    frames(2);
    EXPECT_LT(held->respawnEffectTimer, 0.0f) << "held";
    held->requestReset();
    EXPECT_EQ(player->releases, 1) << "let go before the shrink";
    EXPECT_GE(held->respawnEffectTimer, 0.0f);

    PhysicsObject* kinematic = makeObject([&](Attributes* a) {
        resetBox(lowRule)(a);
        a->setAttribute("PhysicsState", "Kinematic", physicsStateNames);
        a->addBool("ResetAsKinematic", true);
    });
    frames(2);
    EXPECT_LT(kinematic->respawnEffectTimer, 0.0f);
    kinematic->requestReset();
    frames(70);
    EXPECT_LT(kinematic->respawnEffectTimer, 0.0f) << "respawned";
    EXPECT_EQ(kinematic->getPhysicsState(), PhysicsState::Kinematic);
}

TEST_F(PhysicsResetTest, OnlyTheFirstRuleDrivenResetsRaiseSuspicionUpToTheLimit) {
    int raised = 0;
    physicsHooks().characters.addSuspicion = [&](SuspicionMeter*, f32, s32, const core::vector3df&) {
        ++raised;
        return true;
    };
    gameDifficulty = 1;
    PhysicsObject* object = makeObject(resetBox([](Attributes* a) {
        a->addEnum("ResetIfHeight", "Respawn", resetModeNames);
        a->addFloat("ResetHeight", 10.0f);
        a->addFloat("SuspResetAmount", 3.0f);
        a->addInt("SuspResetLimit", 1);
    }));
    frames(150);
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(object->suspicion().SuspResetLimit, 0);
}

TEST_F(PhysicsResetTest, AJointedGroupRespawnsTogetherAndEveryMemberIsVisitedOnce) {
    PhysicsObject* a = makeObject(resetBox());
    PhysicsObject* b = makeObject(resetBox([](Attributes* at) { at->addVector3d("Position", core::vector3df(3, 5, 0)); }));
    PhysicsObject* c = makeObject(resetBox([](Attributes* at) { at->addVector3d("Position", core::vector3df(6, 5, 0)); }));
    scene::ISceneNode* joints[3] = {b, c, a}; // any distinct nodes stand for the joints
    a->addJointLink(b, joints[0]);
    b->addJointLink(a, joints[0]);
    b->addJointLink(c, joints[1]);
    c->addJointLink(b, joints[1]);
    c->addJointLink(a, joints[2]);
    a->addJointLink(c, joints[2]);
    std::vector<PhysicsObject*> found, visited;
    PhysicsObject::collectJointedGroup(a, found, visited);
    EXPECT_EQ(found.size(), 3u);
    EXPECT_EQ(visited.size(), 3u);
    for (PhysicsObject* member : {a, b, c})
        place(member, member->getAbsolutePosition() + core::vector3df(0, -20, 0));
    // A kinematic member stays where its node put it.
    PhysicsObject* held = makeObject([](Attributes* at) {
        resetBox()(at);
        at->setAttribute("Position", core::vector3df(9, 5, 0));
        at->setAttribute("PhysicsState", "Kinematic", physicsStateNames);
    });
    c->addJointLink(held, held);
    held->addJointLink(c, held);
    held->setPosition(core::vector3df(9, -15, 0));
    frame();
    a->requestReset();
    EXPECT_NEAR(c->getActor()->getGlobalPose().p.y, 5.0f, 1e-3f) << "at once, all members";
    EXPECT_NEAR(c->getPosition().Y, 5.0f, 1e-3f) << "the node follows";
    EXPECT_NEAR(held->getPosition().Y, -15.0f, 1e-3f) << "kinematic: not placed";
    a->removeJointLink(b, joints[0]);
    a->removeJointLink(c, joints[2]);
    EXPECT_EQ(a->body().jointedObjects.size(), 0u);
    EXPECT_EQ(a->body().joints.size(), 0u);
}

using PhysicsTouchTest = PhysicsResetTest;

TEST_F(PhysicsTouchTest, TrackedHitsAreRecordedOnceAndClearedAtTheEndOfTheUpdate) {
    PhysicsObject* tracked = makeObject(resetBox());
    PhysicsObject* other = makeObject(resetBox([](Attributes* a) { a->addVector3d("Position", core::vector3df(5, 5, 0)); }));
    tracked->enableTouchTracking(0.0f);
    tracked->recordTouch(other);
    tracked->recordTouch(other);
    tracked->recordTouch(nullptr);
    EXPECT_EQ(tracked->body().touchList.size(), 2u);
    EXPECT_TRUE(tracked->wasTouchedBy(other));
    HoldingPlayer* player = addPlayer({});
    EXPECT_TRUE(tracked->wasTouchedByOther({}));
    EXPECT_FALSE(tracked->wasTouchedByOther({other, player})) << "null entry stands for the player";
    EXPECT_TRUE(tracked->wasTouchedByOther({other}));
    levelManager->onEndOfUpdate.invoke();
    EXPECT_EQ(tracked->body().touchList.size(), 0u);

    tracked->changeGrabCount(false, true);
    tracked->recordTouch(other);
    EXPECT_EQ(tracked->body().touchList.size(), 0u) << "limbs only touch it";
    tracked->changeGrabCount(false, false);
    tracked->changeGrabCount(true, true);
    tracked->recordTouch(other);
    EXPECT_EQ(tracked->body().touchList.size(), 0u) << "the other kind of limb too";
    tracked->holdCount = 1;
    tracked->recordTouch(nullptr);
    EXPECT_EQ(tracked->body().touchList.size(), 0u) << "held: physics objects only";
    tracked->recordTouch(other);
    EXPECT_EQ(tracked->body().touchList.size(), 1u);
    tracked->remove();
    levelManager->onEndOfUpdate.invoke(); // the delegate went with the object
}

TEST_F(PhysicsTouchTest, AnUntrackedObjectIsRecordedByATrackedOneMovingAtItsThreshold) {
    PhysicsObject* tracked = makeObject(resetBox());
    tracked->enableTouchTracking(4.0f); // 2 m/s, squared
    for (f32 speed : {2.0f, 1.9f}) {
        PhysicsObject* other = makeObject(resetBox([](Attributes* a) { a->setAttribute("Position", core::vector3df(5, 5, 0)); }));
        tracked->getActor()->asRigidDynamic()->setLinearVelocity(phys::Vec3(speed, 0, 0));
        other->recordTouch(tracked);
        EXPECT_EQ(tracked->wasTouchedBy(other), speed >= 2.0f) << speed;
        tracked->clearTouchList();
        other->remove();
    }
}

TEST_F(PhysicsTouchTest, HighlightModesFollowHoldRangeGoldAndTheTouchingLimbs) {
    addPlayer({20, 0, 0});
    const struct Row {
        const char* name;
        s32 holdCount;
        f32 grabRange;
        bool grabbable, gold;
        s32 limb0, limb1;
        s32 mode;
    } rows[] = {
        {"held", 1, 0.0f, true, false, 0, 0, 3},
        {"in grab range", 0, 1.0f, true, false, 0, 0, 3},
        {"in range, not grabbable", 0, 1.0f, false, false, 0, 0, 0},
        {"gold", 0, 0.0f, false, true, 0, 0, 6},
        {"gold under the second limb kind", 0, 0.0f, true, true, 0, 1, 2},
        {"first limb kind", 0, 0.0f, true, false, 1, 0, 1},
        {"second limb kind", 0, 0.0f, true, false, 0, 1, 2},
        {"second limb kind, not grabbable", 0, 0.0f, false, false, 0, 1, 0},
    };
    PhysicsObject* object = makeObject(resetBox());
    for (const Row& row : rows) {
        object->holdCount = row.holdCount;
        object->mesh().grabRangeHighlight = row.grabRange;
        object->IsGrabbable = row.grabbable;
        object->IsGold = row.gold;
        object->limbTouchCounts[0] = row.limb0;
        object->limbTouchCounts[1] = row.limb1;
        object->updateHighlightMode();
        EXPECT_EQ(object->mesh().highlightMode, row.mode) << row.name;
    }
    object->holdCount = 0;
    object->mesh().grabRangeHighlight = 0.0f;
    object->IsGold = false;
    object->limbTouchCounts[0] = object->limbTouchCounts[1] = 0;
    // The suspicious flash runs out.
    object->suspicion().displayTimer = 0.05f;
    frame();
    EXPECT_EQ(object->mesh().highlightMode, 5);
    frames(4);
    EXPECT_EQ(object->mesh().highlightMode, 0) << "flash over";
}

// A part of a static compound without a mesh of its own shows the hand highlight of its
// owner or of a sibling, the grabbed one first.
TEST_F(PhysicsTouchTest, APartWithoutItsOwnHighlightTakesItsSiblingsGrabbedOneFirst) {
    PhysicsObject* owner = makeObject([](Attributes* a) {
        a->addEnum("BoundType", "Box", boundTypeNames);
        a->addVector3d("Position", core::vector3df(0, 5, 0));
    });
    auto part = [&](f32 x) {
        return makeObject(
            [x](Attributes* a) {
                a->addEnum("BoundType", "Sphere", boundTypeNames);
                a->addFloat("Radius", 0.3f);
                a->addVector3d("Position", core::vector3df(x, 0, 0));
            },
            owner);
    };
    PhysicsObject* grabbed = part(1);
    PhysicsObject* near = part(2);
    PhysicsObject* plain = part(3);
    frame();
    ASSERT_EQ(owner->getUserData()->children.size(), 3u);
    grabbed->mesh().highlightMode = 3;
    near->mesh().highlightMode = 1;
    plain->updateHighlightMode();
    EXPECT_EQ(plain->mesh().highlightMode, 3);
}

TEST_F(PhysicsTouchTest, TheHighlightPulseFallsTwoPerSecondWrapsToOneAndStaysAtOneWhileHeld) {
    PhysicsObject* object = makeObject(resetBox([](Attributes* a) {
        a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
    }));
    object->mesh().highlightPulse = 1.0f;
    frame();
    EXPECT_NEAR(object->mesh().highlightPulse, 1.0f - 2.0f * PhysicsManager::fixedStepSize, 1e-4f);
    object->mesh().highlightPulse = 0.01f;
    frame();
    EXPECT_EQ(object->mesh().highlightPulse, 1.0f) << "wrapped";
    object->mesh().highlightPulse = 0.5f;
    object->holdCount = 1;
    frame();
    EXPECT_EQ(object->mesh().highlightPulse, 1.0f) << "held";
    object->holdCount = 0;
}

TEST_F(PhysicsTouchTest, TheRespawnPoseIsTheOverrideWhenSetElseTheSpawnPose) {
    for (bool overridden : {true, false}) {
        PhysicsObject* object = makeObject(resetBox([&](Attributes* a) {
            a->addVector3d("Rotation", core::vector3df(0, 30, 0));
            if (overridden) {
                a->addVector3d("RespawnOverridePosition", core::vector3df(7, 8, 9));
                a->addVector3d("RespawnOverrideRotation", core::vector3df(0, 90, 0));
            }
        }));
        EXPECT_EQ(object->reset().respawnPosition, overridden ? core::vector3df(7, 8, 9) : core::vector3df(0, 5, 0));
        EXPECT_TRUE(object->reset().respawnRotation.equals(overridden ? core::vector3df(0, 90, 0) : core::vector3df(0, 30, 0), 1e-3f))
            << overridden;
        object->remove();
    }
}

TEST_F(PhysicsTouchTest, LimbCountsRunUpTheGlowChainEvenWhenItLoops) {
    PhysicsObject* child = makeObject(resetBox());
    PhysicsObject* parent = makeObject(resetBox());
    child->mesh().glowParent = parent;
    child->changeGrabCount(true, true);
    EXPECT_EQ(child->limbTouchCounts[1], 1);
    EXPECT_EQ(parent->limbTouchCounts[1], 1);
    parent->mesh().glowParent = child;
    child->changeGrabCount(false, true);
    EXPECT_EQ(child->limbTouchCounts[0], 1);
    EXPECT_EQ(parent->limbTouchCounts[0], 1);
}

TEST_F(PhysicsTouchTest, TheFirstGrabRaisesSuspicionPlaysOnceAndTurnsDynamicAndReleasesAreThrows) {
    int raised = 0;
    physicsHooks().characters.addSuspicion = [&](SuspicionMeter*, f32, s32, const core::vector3df&) {
        ++raised;
        return true;
    };
    gameDifficulty = 1;
    PhysicsObject* object = makeObject([](Attributes* a) {
        resetBox()(a);
        a->setAttribute("PhysicsState", "Kinematic", physicsStateNames);
        a->addBool("IsGrabbable", true);
        a->addBool("TurnDynamicOnGrab", true);
        a->addFloat("SuspGrabAmount", 4.0f);
        a->addInt("SuspGrabLimit", 5);
    });
    object->notifyGrab(true, core::vector3df(0, 5, 0));
    object->notifyGrab(true, core::vector3df(0, 5, 0));
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(object->holdCount, 2);
    EXPECT_EQ(object->getPhysicsState(), PhysicsState::Dynamic);
    EXPECT_FLOAT_EQ(object->suspicion().displayTimer, 2.0f);
    EXPECT_EQ(object->suspicion().SuspGrabLimit, 4) << "one raise of five spent";
    object->body().collisionSoundCooldown = 0.5f;
    object->notifyGrab(false, core::vector3df());
    EXPECT_TRUE(object->thrown);
    EXPECT_EQ(object->holdCount, 1);
    EXPECT_EQ(object->body().collisionSoundCooldown, 0.0f) << "a released object sounds at once";
    frame();
    EXPECT_EQ(object->mesh().highlightMode, 5) << "suspicious flash wins while held";
    object->suspicion().displayTimer = 0.0f;
    frame();
    EXPECT_EQ(object->mesh().highlightMode, 3);
    gameDifficulty = 0;
    object->notifyGrab(false, core::vector3df());
    object->notifyGrab(true, core::vector3df());
    EXPECT_EQ(raised, 1) << "difficulty 0";
}

TEST_F(PhysicsTouchTest, AHeldButtonIsLetGoAfterAFifthOfASecondButOtherHeldObjectsStay) {
    HoldingPlayer* player = addPlayer({20, 0, 0});
    for (bool button : {true, false}) {
        player->releases = 0;
        PhysicsObject* object = heldBox("IsButton", button);
        int frameCount = 0;
        while (player->releases == 0 && frameCount < 60) {
            frame();
            ++frameCount;
        }
        if (button)
            EXPECT_NEAR(frameCount * PhysicsManager::fixedStepSize, 0.2f, 0.034f);
        else
            EXPECT_EQ(player->releases, 0) << "not a button";
        object->remove();
    }
}

TEST_F(PhysicsTouchTest, TurningKinematicLetsGoOfAHeldObjectUnlessItCanBeHungFrom) {
    HoldingPlayer* player = addPlayer({20, 0, 0});
    for (bool hang : {false, true}) {
        player->releases = 0;
        PhysicsObject* object = heldBox("CanHangFrom", hang);
        object->setKinematic(true);
        EXPECT_EQ(player->releases, hang ? 0 : 1) << hang;
        EXPECT_EQ(object->getPhysicsState(), PhysicsState::Kinematic);
        object->remove();
    }
}

TEST_F(PhysicsTouchTest, TurningLooseKeepsTheMotionTheKinematicBodyHad) {
    PhysicsObject* object = makeObject([](Attributes* a) {
        resetBox()(a);
        a->setAttribute("PhysicsState", "Kinematic", physicsStateNames);
    });
    frames(2);
    for (int i = 1; i <= 5; ++i) {
        object->setPosition(core::vector3df(0.1f * static_cast<f32>(i), 5, 0));
        frame();
    }
    object->setKinematic(false);
    frame();
    ASSERT_FALSE(object->getActor()->asRigidDynamic()->isKinematic());
    EXPECT_NEAR(object->getActor()->asRigidDynamic()->getLinearVelocity().x, 0.1f / PhysicsManager::fixedStepSize,
                0.5f);
}

TEST_F(PhysicsTouchTest, ACheckpointTakenWhileTurningLooseDropsTheMotionAnimators) {
    PhysicsObject* object = makeObject([](Attributes* a) {
        resetBox()(a);
        a->setAttribute("PhysicsState", "Kinematic", physicsStateNames);
    });
    scene::ISceneNodeAnimator* turning = smgr()->createRotationAnimator(core::vector3df(0, 1, 0));
    object->addAnimator(turning);
    turning->drop();
    frame();
    object->setKinematic(false); // takes effect on the next frame
    ASSERT_TRUE(object->hasMotionAnimators());
    levelManager->onCheckpointSave.invoke();
    EXPECT_FALSE(object->hasMotionAnimators());
}

TEST_F(PhysicsTouchTest, AThrownObjectStopsCountingAsThrownBelowOneMetreASecond) {
    for (f32 speed : {0.5f, 2.0f}) {
        PhysicsObject* object = makeObject(resetBox());
        object->getActor()->asRigidDynamic()->setLinearVelocity(phys::Vec3(speed, 0, 0));
        object->thrown = true;
        frame();
        EXPECT_EQ(object->thrown, speed >= 1.0f) << speed;
        object->remove();
    }
}

TEST_F(PhysicsTouchTest, MotionAnimatorsTurnAKinematicObjectButNotAStaticOne) {
    for (const char* state : {"Static", "Kinematic"}) {
        PhysicsObject* object = makeObject([&](Attributes* a) {
            resetBox()(a);
            a->setAttribute("PhysicsState", state, physicsStateNames);
        });
        scene::ISceneNodeAnimator* turning = smgr()->createRotationAnimator(core::vector3df(0, 2, 0));
        object->addAnimator(turning);
        turning->drop();
        frames(10);
        EXPECT_EQ(object->getRotation().Y != 0.0f, std::string(state) == "Kinematic") << state;
        object->remove();
    }
}

TEST_F(PhysicsTouchTest, HidingACompoundLetsGoOfItsHeldMembers) {
    HoldingPlayer* player = addPlayer({20, 0, 0});
    PhysicsObject* owner = makeObject(resetBox());
    PhysicsObject* handle = makeObject(
        [](Attributes* a) {
            a->addVector3d("Position", core::vector3df(0, 1.5f, 0));
            a->addEnum("BoundType", "Sphere", boundTypeNames);
            a->addFloat("Radius", 0.5f);
            a->addEnum("PhysicsState", "Dynamic", physicsStateNames);
        },
        owner);
    frame();
    ASSERT_TRUE(handle->getUserData()->sharedBody);
    handle->holdCount = 1;
    owner->setVisible(false);
    EXPECT_EQ(player->releases, 1);
    EXPECT_EQ(handle->holdCount, 0);
}

TEST_F(PhysicsTouchTest, DrawnWithoutShadersAnObjectFadedToNothingShrinksToNothing) {
    for (f32 alpha : {0.0f, 0.5f}) {
        PhysicsObject* object = makeObject(resetBox([&](Attributes* a) {
            a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
            a->addFloat("AlphaOverride", alpha);
        }));
        object->setVisible(true);
        const f32 expected = alpha <= 0.0f ? 0.000001f : 1.0f;
        EXPECT_EQ(object->getMeshNode()->getScale(), core::vector3df(expected, expected, expected)) << alpha;
        object->remove();
    }
}

TEST_F(PhysicsTouchTest, AHandFindsTheSurfaceOnlyWithinReach) {
    PhysicsObject* object = makeObject(resetBox([](Attributes* a) {
        a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
    }));
    frame();
    const core::aabbox3df box = object->getMeshNode()->getTransformedBoundingBox();
    const core::vector3df centre = box.getCenter();
    for (f32 away : {0.7f, 0.79f, 0.85f, 1.0f}) {
        core::vector3df hit;
        f32 distance = 0.0f;
        const core::vector3df point(box.MaxEdge.X + away, centre.Y, centre.Z);
        const bool found = object->findSurfacePoint(point, hit, distance);
        EXPECT_EQ(found, away < 0.8f) << away;
        EXPECT_NEAR(distance, away, 1e-3f) << away;
        // Found: the point on the surface; else the point itself.
        test::expectNear(hit, found ? core::vector3df(box.MaxEdge.X, centre.Y, centre.Z) : point, 1e-3f);
    }
    // Without a mesh there is no surface to find.
    PhysicsObject* bare = makeObject(resetBox());
    ASSERT_EQ(bare->getMeshNode(), nullptr);
    core::vector3df hit(9, 9, 9);
    f32 distance = 5.0f;
    EXPECT_FALSE(bare->findSurfacePoint(core::vector3df(1, 2, 3), hit, distance));
    EXPECT_EQ(hit, core::vector3df(1, 2, 3));
    EXPECT_EQ(distance, 0.0f);
}

TEST_F(PhysicsTouchTest, TheLinkUpTakesNoPositionNodeForIDZeroAndTheLargestSideForTheHighlight) {
    makeObject([](Attributes* a) {
        a->addEnum("BoundType", "None", boundTypeNames);
        a->addVector3d("Position", core::vector3df(9, 9, 9));
    }); // a node without an ID
    PhysicsObject* object = makeObject(resetBox([](Attributes* a) {
        a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
        a->addVector3d("Scale", core::vector3df(3, 3, 3));
    }));
    manager->rebuildNodeIDs();
    frame();
    ASSERT_FALSE(object->linkUpPending);
    EXPECT_EQ(object->reset().positionNode, nullptr);
    const core::vector3df size = object->getTransformedBoundingBox().getExtent();
    ASSERT_GT(std::max({size.X, size.Y, size.Z}), 1.0f);
    EXPECT_FLOAT_EQ(object->mesh().highlightScaleDivisor, std::max({size.X, size.Y, size.Z}));
}

TEST_F(PhysicsTouchTest, TheFadeReachesExactlyOne) {
    PhysicsObject* object = makeObject(resetBox([](Attributes* a) {
        a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
    }));
    object->mesh().fadeAlpha = 0.5f;
    object->mesh().fadeAlphaTarget = 1.0f;
    frames(200);
    EXPECT_EQ(object->mesh().fadeAlpha, 1.0f);
}

TEST_F(PhysicsTouchTest, HidingAHeldObjectReleasesItAndSwitchesItsCollisionOffAndBackOn) {
    HoldingPlayer* player = addPlayer({20, 0, 0});
    PhysicsObject* object = makeObject(resetBox([](Attributes* a) {
        a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
    }));
    object->holdCount = 1;
    object->setVisible(false);
    EXPECT_EQ(player->releases, 1);
    EXPECT_FALSE(object->isCollisionEnabled());
    EXPECT_FALSE(object->getMeshNode()->isVisible());
    object->setVisible(true);
    EXPECT_TRUE(object->isCollisionEnabled());
    EXPECT_TRUE(object->getMeshNode()->isVisible());
}

TEST_F(PhysicsTouchTest, TheLinkUpGivesUntexturedMaterialsTheWhiteTextureAndFindsItsNodes) {
    PhysicsObject* marker = makeObject([](Attributes* a) {
        a->addInt("Id", 77);
        a->addEnum("BoundType", "None", boundTypeNames);
        a->addVector3d("Position", core::vector3df(9, 9, 9));
    });
    PhysicsObject* object = makeObject(resetBox([](Attributes* a) {
        a->addString("MeshFileName", "Content/Models/Props/Crate.obj");
        a->addInt("RespawnOverridePosID", 77);
        a->addInt("GlowParentID", 77);
    }));
    manager->rebuildNodeIDs();
    object->getMeshNode()->getMaterial(0).setTexture(0, nullptr);
    frame();
    EXPECT_FALSE(object->linkUpPending);
    EXPECT_EQ(object->getMeshNode()->getMaterial(0).getTexture(0),
              smgr()->getVideoDriver()->getTexture("Content/Models/Editor/White.png"));
    EXPECT_EQ(object->reset().positionNode, marker);
    EXPECT_EQ(object->mesh().glowParent, marker);
}

// The count near the player fires on the frame it reaches its seconds, not one frame later;
// a player exactly at the distance is not near.
TEST_F(PhysicsResetTest, TheNearPlayerRuleFiresOnItsSecondsAndOnlyInsideItsDistance) {
    const struct {
        f32 playerX;
        int framesBefore; // quarter-second frames that pass without a reset
    } rows[] = {{3.0f, 2}, {4.9f, 2}, {5.0f, -1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.playerX);
        HoldingPlayer* player = addPlayer({row.playerX, 5, 0});
        PhysicsObject* near = makeObject(resetBox([](Attributes* a) {
            a->addEnum("ResetIfDistFromPlayer", "Respawn", resetModeNames);
            a->addFloat("DistanceFromPlayer", 5.0f);
            a->addFloat("SecondsAwayFromPlayer", 0.5f);
        }));
        const int quiet = row.framesBefore < 0 ? 8 : row.framesBefore;
        for (int i = 0; i < quiet; ++i)
            frame(0.25f);
        EXPECT_LT(near->respawnEffectTimer, 0.0f) << "not yet";
        if (row.framesBefore >= 0) {
            frame(0.25f);
            EXPECT_GE(near->respawnEffectTimer, 0.0f) << "on the frame the count reaches 0.5 s";
        }
        near->remove();
        clearPlayers();
        player->remove();
        frame();
    }
}

} // namespace
