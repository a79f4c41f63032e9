// Camera managers: the main camera, the override list, activation, transitions, the game
// camera and the field-of-view narrowing.
#include "CameraFixture.h"

#include "camera/CameraServices.h"
#include "camera/CameraTransition.h"
#include "camera/GameCamera.h"
#include "triggers/CameraTriggerVolume.h"

#include "core/Globals.h"
#include "level/LevelHooks.h"
#include "level/LevelInfo.h"
#include "platform/FakePadBackend.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/devices/KeyboardDevice.h"
#include "support/StubPlayer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

using namespace irr;

namespace {

class CameraManagerTest : public test::CameraFixture {
protected:
    // A camera at the position that looks along +Z.
    CameraObject* camera(const core::vector3df& position, s32 priority = 0) { return addCamera(position, priority); }
    // Leaves the snapped first activation behind: the game camera is active and arrived.
    void settle() {
        cameras->update(0.0167f);
        cameras->update(0.0167f);
    }
};

TEST_F(CameraManagerTest, ALevelLoadArmsTheMainCameraAndTheGameCamera) {
    ASSERT_NE(cameras->mainCamera, nullptr);
    EXPECT_EQ(std::string(cameras->mainCamera->getName()), "MainCamera");
    EXPECT_TRUE(cameras->mainCamera->isDebugObject());
    EXPECT_EQ(cameras->mainCamera->getPosition(), core::vector3df(0, 40, 0));
    EXPECT_EQ(cameras->mainCamera->getNearValue(), 0.1f);
    EXPECT_EQ(cameras->mainCamera->getFarValue(), 100.0f);
    EXPECT_NEAR(cameras->mainCamera->getFOV(), 1.0471976f, 1e-7f);
    EXPECT_EQ(smgr()->getActiveCamera(), cameras->mainCamera);
    ASSERT_NE(cameras->gameCamera, nullptr);
    EXPECT_EQ(std::string(cameras->gameCamera->getName()), "OverrideManualCam");
    EXPECT_EQ(cameras->gameCamera->getType(), typeId("mcmr"));
    EXPECT_TRUE(cameras->gameCamera->isDebugObject());
    EXPECT_EQ(cameras->gameCamera->PriorityLevel, INT_MIN);
    EXPECT_TRUE(cameras->snapNextActivation);
    EXPECT_EQ(cameras->transition, nullptr);
}

TEST_F(CameraManagerTest, NothingMovesWhileTheLevelIsNotRunning) {
    physics->setRunning(false);
    cameras->update(0.0167f);
    EXPECT_EQ(cameras->transition, nullptr);
    physics->setRunning(true);
    cameras->update(0.0167f);
    ASSERT_NE(cameras->transition, nullptr);
    EXPECT_EQ(cameras->getOverrideCamera(), cameras->gameCamera);
}

TEST_F(CameraManagerTest, TheFirstActivationAfterALoadJumps) {
    CameraObject* a = camera({10, 0, 0});
    cameras->pushCamera(a, nullptr, 1.0f, false);
    ASSERT_NE(cameras->transition, nullptr);
    EXPECT_EQ(cameras->transition->positionDuration, 0.0f);
    EXPECT_EQ(cameras->transition->targetDuration, 0.0f);
    cameras->update(0.0167f);
    test::expectNear(cameras->mainCamera->getPosition(), {10, 0, 0});
    test::expectNear(cameras->mainCamera->getTarget(), {10, 0, 20});
    EXPECT_FALSE(cameras->snapNextActivation);
}

TEST_F(CameraManagerTest, ALevelsSettingsGiveTheFarValueThenItsCameraThenTheSpawnCamera) {
    CameraObject* initial = camera({10, 0, 0});
    initial->setID(71);
    CameraObject* spawn = camera({20, 0, 0});
    spawn->setID(72);
    smgr()->addEmptySceneNode(root(), 73); // no camera
    manager->rebuildNodeIDs();
    const auto& apply = levelHooks().camera.applyLevelSettings;
    ASSERT_TRUE(apply);
    LevelSettings settings;
    settings.DefaultFarValue = 250.0f;
    settings.InitialCameraID = 71;
    apply(settings, 0);
    EXPECT_EQ(cameras->defaultFarValue, 250.0f);
    ASSERT_NE(cameras->transition, nullptr);
    EXPECT_EQ(cameras->transition->camera, initial);
    apply(settings, 72);
    EXPECT_EQ(cameras->transition->camera, spawn) << "a spawn checkpoint's camera comes last";
    // IDs that name no camera object leave the active camera alone.
    settings.InitialCameraID = 73;
    for (s32 spawnID : {-1, 0, 73}) {
        apply(settings, spawnID);
        EXPECT_EQ(cameras->transition->camera, spawn) << spawnID;
    }
}

// Each step pushes (+) or removes (-) a camera by name; after it the active camera.
TEST_F(CameraManagerTest, ThePriorityListDecidesTheActiveCamera) {
    struct Step {
        char op;
        const char* name;
        const char* active; // "game": the game camera (after the next frame)
    };
    struct Scenario {
        const char* title;
        std::vector<Step> steps;
    };
    const Scenario scenarios[] = {
        {"higher wins", {{'+', "low", "low"}, {'+', "high", "high"}, {'-', "high", "low"}, {'-', "low", "game"}}},
        {"lower waits", {{'+', "high", "high"}, {'+', "low", "high"}, {'-', "low", "high"}, {'-', "high", "game"}}},
        {"ties to the newest", {{'+', "mid", "mid"}, {'+', "mid2", "mid2"}, {'-', "mid2", "mid"}}},
        {"removing the head of three", {{'+', "low", "low"}, {'+', "mid", "mid"}, {'+', "high", "high"},
                                        {'-', "high", "mid"}, {'-', "low", "mid"}, {'-', "mid", "game"}}},
        {"unknown removal", {{'+', "low", "low"}, {'-', "high", "low"}}},
    };
    for (const Scenario& scenario : scenarios) {
        cameras->onLevelLoaded();
        std::map<std::string, CameraObject*> named = {
            {"low", camera({0, 0, 0}, 1)}, {"mid", camera({5, 0, 0}, 5)}, {"mid2", camera({6, 0, 0}, 5)},
            {"high", camera({9, 0, 0}, 9)}};
        settle();
        for (const Step& step : scenario.steps) {
            if (step.op == '+')
                cameras->pushCamera(named[step.name], nullptr, 1.0f, false);
            else
                cameras->removeCamera(named[step.name]);
            cameras->update(0.0167f);
            CameraObject* expected = std::string(step.active) == "game" ? cameras->gameCamera : named[step.active];
            EXPECT_EQ(cameras->getOverrideCamera(), expected)
                << scenario.title << ": after " << step.op << step.name;
        }
    }
}

TEST_F(CameraManagerTest, RemovingTheActiveCameraReturnsWithItsSpeed) {
    settle();
    CameraObject* first = camera({0, 0, 30});
    CameraObject* second = camera({0, 0, 60});
    cameras->pushCamera(first, nullptr, 1.0f, false);
    cameras->pushCamera(second, nullptr, 2.5f, false);
    EXPECT_EQ(cameras->getOverrideCamera(), second);
    cameras->removeCamera(second);
    EXPECT_EQ(cameras->getOverrideCamera(), first);
    EXPECT_EQ(first->transitionSpeed, 2.5f);
}

TEST_F(CameraManagerTest, AVolumesPredecessorSettingsReplaceTheSpeed) {
    settle();
    auto* volumeA = new CameraTriggerVolume(root(), smgr(), 71);
    volumeA->drop();
    auto* volumeB = new CameraTriggerVolume(root(), smgr(), 72);
    volumeB->drop();
    // Coming from A, B cuts (speed 0) behind a crossfade.
    volumeB->previousVolumes = {71};
    volumeB->transitionSpeeds = {0.0f};
    volumeB->crossfades = {true};
    int crossfades = 0;
    cameraServices().screens.startCrossfade = [&] { ++crossfades; };
    CameraObject* a = camera({0, 0, 30});
    CameraObject* b = camera({0, 0, 60});
    cameras->pushCamera(a, volumeA, 1.0f, false);
    EXPECT_EQ(cameras->currentSource, volumeA);
    EXPECT_EQ(a->transitionSpeed, 1.0f); // no predecessor: the speed stays
    cameras->pushCamera(b, volumeB, 1.0f, false);
    EXPECT_EQ(b->transitionSpeed, 0.0f);
    EXPECT_EQ(crossfades, 1); // speed 0 with crossfade: a cut behind a crossfade
    EXPECT_EQ(cameras->transition->positionDuration, 0.0f);
    EXPECT_EQ(cameras->currentSource, volumeB);
    // Only a cut hides behind a crossfade: coming from B, C moves at speed 2 and starts none.
    auto* volumeC = new CameraTriggerVolume(root(), smgr(), 73);
    volumeC->drop();
    volumeC->previousVolumes = {72};
    volumeC->transitionSpeeds = {2.0f};
    volumeC->crossfades = {true};
    CameraObject* c = camera({0, 0, 90});
    cameras->pushCamera(c, volumeC, 1.0f, false);
    ASSERT_EQ(cameras->getOverrideCamera(), c);
    EXPECT_EQ(c->transitionSpeed, 2.0f);
    EXPECT_EQ(crossfades, 1);
}

// The player may turn the camera only under a volume that allows it.
TEST_F(CameraManagerTest, OnlyAVolumeThatAllowsItLetsThePlayerTurnTheCamera) {
    settle();
    auto* allowing = new CameraTriggerVolume(root(), smgr(), 81);
    allowing->drop();
    allowing->AllowManualCamera = true;
    auto* plain = new CameraTriggerVolume(root(), smgr(), 82);
    plain->drop();
    plain->AllowManualCamera = false;
    const std::pair<CameraTriggerVolume*, bool> rows[] = {{allowing, true}, {plain, false}, {allowing, true}, {nullptr, false}};
    f32 z = 30.0f;
    for (const auto& [source, allowed] : rows) {
        CameraObject* next = camera({0, 0, z += 10.0f});
        cameras->pushCamera(next, source, 1.0f, false);
        ASSERT_EQ(cameras->getOverrideCamera(), next);
        EXPECT_EQ(cameras->manualCameraAllowed, allowed) << (source ? source->getID() : 0);
    }
}

// An activated camera brings its own near and far planes unless it uses the defaults.
TEST_F(CameraManagerTest, AnActivatedCameraBringsItsOwnPlanesOrTheDefaults) {
    settle();
    cameras->defaultFarValue = 400.0f;
    const struct {
        bool defaults;
        f32 nearValue, farValue;
    } rows[] = {{false, 0.5f, 250.0f}, {true, camera::defaultNearValue, 400.0f}, {false, 0.7f, 90.0f}};
    f32 z = 30.0f;
    for (const auto& row : rows) {
        CameraObject* next = camera({0, 0, z += 10.0f});
        next->UseDefaultNearValue = next->UseDefaultFarValue = row.defaults;
        next->cameraNode->setNearValue(row.defaults ? 0.9f : row.nearValue);
        next->cameraNode->setFarValue(row.defaults ? 90.0f : row.farValue);
        cameras->pushCamera(next, nullptr, 1.0f, false);
        EXPECT_FLOAT_EQ(cameras->mainCamera->getNearValue(), row.nearValue);
        EXPECT_FLOAT_EQ(cameras->mainCamera->getFarValue(), row.farValue);
    }
}

TEST_F(CameraManagerTest, RemovingTheLastCameraDuringACutsceneActivatesNothing) {
    settle();
    CameraObject* a = camera({0, 0, 30});
    cameras->pushCamera(a, nullptr, 1.0f, false);
    cutsceneRunning = true;
    cameras->removeCamera(a);
    EXPECT_EQ(cameras->getOverrideCamera(), a);
    EXPECT_TRUE(cameras->overrideCameras.empty());
}

TEST_F(CameraManagerTest, DurationsFollowTheDistanceAndTheSpeed) {
    settle();
    const core::vector3df from = cameras->mainCamera->getAbsolutePosition();
    const core::vector3df fromLook = cameras->mainCamera->getTarget();
    CameraObject* far = camera(from + core::vector3df(0, 0, 50));
    cameras->pushCamera(far, nullptr, 2.0f, false);
    EXPECT_NEAR(cameras->transition->positionDuration, 50.0f * 0.2f * 2.0f, 1e-3f);
    // The look blends between the points five units along the old and the new view.
    auto fiveAlong = [](const core::vector3df& at, core::vector3df towards) {
        return at + (towards - at).normalize() * 5.0f;
    };
    const core::vector3df farAt = far->cameraNode->getAbsolutePosition();
    const f32 lookGap = fiveAlong(from, fromLook).getDistanceFrom(fiveAlong(farAt, far->cameraNode->getTarget()));
    ASSERT_GT(lookGap, 1.0f);
    EXPECT_NEAR(cameras->transition->targetDuration, lookGap * 0.2f * 2.0f, 1e-3f);

    // A camera standing where the main camera stands still blends over distance 1.
    cameras->removeCamera(far);
    settle();
    settle();
    CameraObject* here = camera(cameras->mainCamera->getAbsolutePosition());
    cameras->pushCamera(here, nullptr, 3.0f, false);
    EXPECT_NEAR(cameras->transition->positionDuration, 0.2f * 3.0f, 1e-6f);
}

TEST(CameraTransitionTest, BlendsFollowSmoothstepAtChosenTimes) {
    struct Row {
        f32 time;
        f32 blend;
    };
    // Duration 2: t = time / 2, blend = 3t^2 - 2t^3.
    const Row rows[] = {{0.0f, 0.0f}, {0.5f, 0.15625f}, {1.0f, 0.5f}, {1.5f, 0.84375f}, {2.0f, 1.0f}, {3.0f, 1.0f}};
    for (const Row& row : rows) {
        EXPECT_NEAR(camera::smoothstepBlend(row.time, 2.0f), row.blend, 1e-6f) << row.time;
    }
    EXPECT_EQ(camera::smoothstepBlend(0.0f, 0.0f), 1.0f);
}

// Position and look blends of different lengths (one is 0 when the camera does not move): the
// link keeps running until the longer one ends, and only then frees the older links.
TEST(CameraTransitionTest, ALinkArrivesWhenTheLongerOfItsTwoBlendsEnds) {
    const struct {
        f32 position, target;
    } rows[] = {{0.0f, 1.0f}, {1.0f, 0.0f}, {0.5f, 1.5f}, {1.5f, 0.5f}};
    const f32 step = 0.25f;
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "position " << row.position << " s, target " << row.target << " s");
        CameraTransition link;
        link.previous = new CameraTransition;
        link.positionDuration = row.position;
        link.targetDuration = row.target;
        const f32 longer = std::max(row.position, row.target);
        for (f32 time = step; time <= longer + step; time += step) {
            link.update(step);
            const f32 ran = std::min(time, longer);
            EXPECT_FLOAT_EQ(link.elapsed, ran) << "at " << time << " s";
            EXPECT_FLOAT_EQ(link.positionBlend, camera::smoothstepBlend(ran, row.position)) << "at " << time << " s";
            EXPECT_FLOAT_EQ(link.targetBlend, camera::smoothstepBlend(ran, row.target)) << "at " << time << " s";
            EXPECT_EQ(link.previous == nullptr, time >= longer) << "at " << time << " s";
        }
        EXPECT_FLOAT_EQ(link.positionBlend, 1.0f);
        EXPECT_FLOAT_EQ(link.targetBlend, 1.0f);
    }
}

TEST_F(CameraManagerTest, PositionTargetAndFieldOfViewBlendAlongTheCurve) {
    // No earlier camera: the blend starts from the main camera, at the origin looking along +Z.
    cameras->snapNextActivation = false;
    cameras->mainCamera->setPosition({0, 0, 0});
    cameras->mainCamera->updateAbsolutePosition();
    cameras->mainCamera->setTarget({0, 0, 10});
    CameraObject* goal = camera({10, 0, 0}); // looks along +Z too, target (10, 0, 20)
    goal->cameraNode->setFOV(0.5f);
    cameras->pushCamera(goal, nullptr, 1.0f, false);
    CameraTransition* link = cameras->transition;
    ASSERT_NE(link, nullptr);
    ASSERT_NEAR(link->positionDuration, 2.0f, 1e-5f); // distance 10 x 0.2
    // The look points (5 ahead of each) are 10 apart: the target blends over 2 s as well.
    ASSERT_NEAR(link->targetDuration, 2.0f, 1e-5f);
    const f32 startFov = cameras->mainCamera->getFOV();
    struct Row {
        f32 time;
        f32 blend;
    };
    const Row rows[] = {{0.5f, 0.15625f}, {1.0f, 0.5f}, {2.0f, 1.0f}};
    f32 elapsed = 0.0f;
    for (const Row& row : rows) {
        cameras->update(row.time - elapsed);
        elapsed = row.time;
        test::expectNear(cameras->mainCamera->getPosition(), {10.0f * row.blend, 0, 0}, 1e-3f);
        // The old look point is carried to the new camera's look distance (20) along the
        // old direction before it blends.
        test::expectNear(cameras->mainCamera->getTarget(), core::vector3df(0, 0, 20) * (1.0f - row.blend) +
                                                               core::vector3df(10, 0, 20) * row.blend, 1e-3f);
        EXPECT_NEAR(cameras->mainCamera->getFOV(), startFov * (1.0f - row.blend) + 0.5f * row.blend, 1e-4f);
    }
}

// The field of view travels with the position, however long the look takes to turn.
TEST_F(CameraManagerTest, TheFieldOfViewFollowsThePositionsBlend) {
    CameraObject* goal = camera({10, 0, 0});
    goal->cameraNode->setFOV(0.5f);
    for (f32 targetDuration : {0.0f, 4.0f}) {
        CameraTransition link;
        link.camera = goal;
        link.startFov = 1.0f;
        link.positionDuration = 2.0f;
        link.targetDuration = targetDuration;
        link.update(1.0f); // half the position's time: its blend is 0.5
        EXPECT_NEAR(link.getFOV(), 0.75f, 1e-5f) << "look blend of " << targetDuration << " s";
    }
}

TEST_F(CameraManagerTest, AChangeDuringABlendChainsFromTheRunningBlend) {
    cameras->snapNextActivation = false;
    cameras->mainCamera->setPosition({0, 0, 0});
    cameras->mainCamera->updateAbsolutePosition();
    cameras->mainCamera->setTarget({0, 0, 10});
    CameraObject* a = camera({10, 0, 0}, 1);
    CameraObject* b = camera({10, 0, 10}, 2);
    cameras->pushCamera(a, nullptr, 1.0f, false); // 2 s
    cameras->update(1.0f);                        // A halfway: main camera at (5, 0, 0)
    test::expectNear(cameras->mainCamera->getPosition(), {5, 0, 0}, 1e-3f);
    cameras->pushCamera(b, nullptr, 1.0f, false);
    CameraTransition* newest = cameras->transition;
    ASSERT_NE(newest->previous, nullptr);
    EXPECT_EQ(newest->speedFactor, 1.0f);
    EXPECT_EQ(newest->previous->speedFactor, 2.0f);
    const f32 duration = newest->positionDuration; // |(5,0,0)-(10,0,10)| x 0.2
    EXPECT_NEAR(duration, std::sqrt(125.0f) * 0.2f, 1e-4f);
    const f32 lookDuration = newest->targetDuration;
    ASSERT_GT(lookDuration, 0.5f);
    // After 0.5 s, A has run 1 s more at double speed: it has arrived at (10, 0, 0).
    cameras->update(0.5f);
    const f32 blend = camera::smoothstepBlend(0.5f, duration);
    test::expectNear(cameras->mainCamera->getPosition(),
                     core::vector3df(10, 0, 0) * (1.0f - blend) + core::vector3df(10, 0, 10) * blend, 1e-3f);
    // The look starts from A's running view (from A, along A's look, as far as B looks) and
    // turns to B's look point (10, 0, 30).
    const f32 lookBlend = camera::smoothstepBlend(0.5f, lookDuration);
    test::expectNear(cameras->mainCamera->getTarget(),
                     core::vector3df(10, 0, 20) * (1.0f - lookBlend) + core::vector3df(10, 0, 30) * lookBlend, 1e-3f);
    // Once B arrives, the older links are freed.
    for (int second = 0; second < 5; ++second)
        cameras->update(1.0f);
    EXPECT_EQ(cameras->transition->previous, nullptr);
    test::expectNear(cameras->mainCamera->getPosition(), {10, 0, 10}, 1e-3f);
}

// Falling back to the game camera cuts when its look point is within a unit of the view's,
// and blends when it is farther.
TEST_F(CameraManagerTest, TheFallbackToTheGameCameraCutsWhenItsLookIsWithinAUnit) {
    for (const f32 off : {0.9f, 1.1f}) {
        settle();
        CameraObject* level = camera({0, 5, -20});
        cameras->pushCamera(level, nullptr, 0.0f, false);
        cameras->update(0.0167f);
        ASSERT_EQ(cameras->getOverrideCamera(), level);
        cameras->removeCamera(level);
        ASSERT_EQ(cameras->transition, nullptr);
        GameCamera* game = cameras->gameCamera;
        game->transitionSpeed = -1.0f;
        game->targetMode->goalTarget = cameras->mainCamera->getTarget() + core::vector3df(off, 0, 0);
        cameras->update(0.0167f);
        ASSERT_EQ(cameras->getOverrideCamera(), game) << off;
        EXPECT_EQ(game->transitionSpeed, off > 1.0f ? 1.0f : 0.0f) << off;
    }
}

TEST_F(CameraManagerTest, ALongFrameCountsAsOneNormalFrame) {
    cameras->snapNextActivation = false;
    cameras->mainCamera->setPosition({0, 0, 0});
    cameras->mainCamera->updateAbsolutePosition();
    CameraObject* goal = camera({10, 0, 0});
    cameras->pushCamera(goal, nullptr, 1.0f, false); // 2 s
    cameras->update(5.0f);
    EXPECT_NEAR(cameras->transition->elapsed, 0.0167f, 1e-6f);
    EXPECT_NEAR(cameras->transition->positionBlend, camera::smoothstepBlend(0.0167f, 2.0f), 1e-6f);
}

TEST_F(CameraManagerTest, TheFlatViewDirectionPointsBackFromTheTargetOnTheGround) {
    cameras->mainCamera->setPosition({3, 10, 4});
    cameras->mainCamera->updateAbsolutePosition();
    cameras->mainCamera->setTarget({0, 0, 0});
    test::expectNear(cameras->getFlatViewDirection(), {0.6f, 0, 0.8f});
    cameras->mainCamera->setTarget({3, 0, 4}); // looking straight down
    test::expectNear(cameras->getFlatViewDirection(), {0, 0, 0});
}

TEST_F(CameraManagerTest, AgreeingTargetsAreNotBlended) {
    settle();
    cameras->mainCamera->setPosition({0, 0, 0});
    cameras->mainCamera->updateAbsolutePosition();
    cameras->mainCamera->setTarget({10.05f, 0, 20});
    CameraObject* goal = camera({10, 0, 0}); // target (10, 0, 20)
    cameras->pushCamera(goal, nullptr, 1.0f, false);
    EXPECT_FALSE(cameras->transition->targetMoves);
    cameras->update(0.5f);
    test::expectNear(cameras->mainCamera->getTarget(), {10, 0, 20}, 1e-4f);
}

// A body standing still at a point, far from the cameras.
class StandingBody : public test::StubPlayer {
public:
    using StubPlayer::StubPlayer;
    s32 bodyMode = 0;
    bool zoomDamping = false;
    s32 getBodyMode() override { return bodyMode; }
    bool hasZoomDamping() override { return zoomDamping; }
};

TEST_F(CameraManagerTest, TheFieldOfViewNarrowsWithTheBodysDistance) {
    auto* body = new StandingBody(root(), smgr(), -1);
    body->drop();
    body->setPosition({0, 0, 0});
    body->updateAbsolutePosition();
    struct Row {
        f32 distance;
        s32 bodyMode;
        bool blockZoom;
        f32 goal;
    };
    const Row rows[] = {{3, 0, false, 0.0f},  {5, 0, false, 0.0f},   {17.5f, 0, false, 0.25f},
                        {30, 0, false, 0.5f}, {60, 0, false, 0.5f},  {30, 1, false, 0.0f},
                        {30, 0, true, 0.0f}};
    for (const Row& row : rows) {
        cameras->onLevelLoaded();
        cameras->followedNode = body;
        CameraObject* viewer = camera({0, 0, -row.distance});
        viewer->BlockArmsModeZoom = row.blockZoom;
        body->bodyMode = row.bodyMode;
        cameras->pushCamera(viewer, nullptr, 1.0f, false);
        for (int frame = 0; frame < 60; ++frame)
            cameras->update(0.0167f);
        EXPECT_NEAR(cameras->fovNarrowingGoal, row.goal, 1e-4f) << row.distance;
        EXPECT_NEAR(cameras->fovNarrowing, row.goal, 1e-3f) << row.distance;
        EXPECT_NEAR(cameras->mainCamera->getFOV(), viewer->cameraNode->getFOV() - row.goal, 1e-3f);
    }
    // Several players sharing one view never narrow it.
    auto* other = new StandingBody(root(), smgr(), -1);
    other->drop();
    setPlayer(0, body);
    setPlayer(1, other);
    for (bool shared : {false, true}) {
        multiTaroMode = shared;
        cameras->onLevelLoaded();
        cameras->followedNode = body;
        cameras->pushCamera(camera({0, 0, -30}), nullptr, 1.0f, false);
        cameras->update(0.0167f);
        EXPECT_NEAR(cameras->fovNarrowingGoal, shared ? 0.0f : 0.5f, 1e-4f) << shared;
    }
    multiTaroMode = false;
    clearPlayers();
}

// The narrowing eases in at rate 25, at rate 10 for a body that damps its zoom.
TEST_F(CameraManagerTest, ABodyThatDampsItsZoomNarrowsTheViewMoreSlowly) {
    auto* body = new StandingBody(root(), smgr(), -1);
    body->drop();
    for (bool damped : {false, true}) {
        body->zoomDamping = damped;
        cameras->onLevelLoaded();
        cameras->followedNode = body;
        cameras->pushCamera(camera({0, 0, -30}), nullptr, 1.0f, false);
        ASSERT_EQ(cameras->fovNarrowing, 0.0f);
        cameras->update(0.02f);
        EXPECT_NEAR(cameras->fovNarrowing, 0.5f * 0.02f * (damped ? 10.0f : 25.0f), 1e-4f) << damped;
    }
}

TEST_F(CameraManagerTest, TheGameCameraOrbitsTheOriginWithoutAPlayer) {
    settle();
    GameCamera* game = cameras->gameCamera;
    EXPECT_EQ(cameras->getOverrideCamera(), game);
    for (int frame = 0; frame < 200; ++frame) {
        ++levelAnimateFrame;
        game->update(0.0167f);
        cameras->update(0.0167f);
    }
    // Distance 12, yaw 90, pitch 25 about the origin: (12 cos25 cos90, 12 sin25, -12 cos25 sin90).
    const f32 p = 25.0f * camera::degreesToRadians;
    const core::vector3df expected(0.0f, 12.0f * std::sin(p), -12.0f * std::cos(p));
    test::expectNear(game->cameraNode->getPosition(), expected, 1e-2f);
    test::expectNear(cameras->mainCamera->getPosition(), expected, 1e-2f);
    test::expectNear(cameras->mainCamera->getTarget(), {0, 0, 0}, 1e-3f);
}

TEST_F(CameraManagerTest, TheGameCamerasFocusClosesFourFrameTimesOfTheGapToTheBody) {
    settle();
    GameCamera* game = cameras->gameCamera;
    auto* body = new StandingBody(root(), smgr(), -1);
    body->drop();
    body->setPosition({10, 0, 0});
    body->updateAbsolutePosition();
    game->followedNode = body;
    game->cameraNode->setTarget({0, 0, 0});
    game->step(0.1f, {});
    test::expectNear(game->focusPoint, {4, 0, 0}, 1e-4f);
    game->step(0.1f, {});
    test::expectNear(game->focusPoint, {6.4f, 0, 0}, 1e-4f);
}

TEST_F(CameraManagerTest, TheCameraActionsTurnAndZoomTheGameCamera) {
    settle();
    GameCamera* game = cameras->gameCamera;
    using Held = GameCamera::HeldActions;
    struct Row {
        const char* name;
        Held held;
        f32 yaw, pitch, distance;
    };
    Held left, right, up, down, zoomIn, zoomOut, both, leftAndRight;
    left.left = true;
    right.right = true;
    up.up = true;
    down.down = true;
    zoomIn.zoomIn = true;
    zoomOut.zoomOut = true;
    both.zoomIn = both.zoomOut = true;
    leftAndRight.left = leftAndRight.right = true;
    // One second of input at -150 degrees and 20 units a second, from yaw 90, pitch 25, 12 units.
    const Row rows[] = {{"left", left, 90 - 150, 25, 12},        {"right", right, 90 + 150, 25, 12},
                        {"up", up, 90, 10, 12},                  {"down", down, 90, 45, 12},
                        {"zoom in", zoomIn, 90, 25, 3},          {"zoom out", zoomOut, 90, 25, 25},
                        {"both zooms", both, 90, 25, 25},        {"left wins", leftAndRight, 90 - 150, 25, 12}};
    for (const Row& row : rows) {
        game->yaw = 90;
        game->pitch = 25;
        game->distance = 12;
        for (int frame = 0; frame < 10; ++frame)
            game->step(0.1f, row.held);
        EXPECT_NEAR(game->yaw, row.yaw, 1e-3f) << row.name;
        EXPECT_NEAR(game->pitch, row.pitch, 1e-3f) << row.name;
        EXPECT_NEAR(game->distance, row.distance, 1e-3f) << row.name;
    }
    game->setDistance(40);
    game->step(0.1f, Held{});
    EXPECT_EQ(game->distance, 25.0f);
    // From the far end the camera zooms in again.
    game->step(0.1f, zoomIn);
    EXPECT_NEAR(game->distance, 23.0f, 1e-3f);
    // A frame of no time moves nothing.
    const core::vector3df before = game->smoothedPosition;
    game->step(0.0f, Held{});
    EXPECT_EQ(game->smoothedPosition, before);
}

// On a level camera each camera action sets its look axis its own way: the first of a pair
// +1, the second -1.
// Taking over from another camera (not at a level's start), the game camera starts from the
// main camera's view: its yaw, pitch (held within 10 to 45 degrees) and distance, and looks
// at the body. Zooming in while pulled in before an obstacle starts from the pulled-in
// distance.
TEST_F(CameraManagerTest, TheGameCameraTakesOverFromTheMainCamerasView) {
    settle();
    GameCamera* game = cameras->gameCamera;
    // The game camera looks a unit above the body's feet.
    struct FocusedBody : StandingBody {
        using StandingBody::StandingBody;
        core::vector3df getCameraFocusPoint(f32) override { return getAbsolutePosition() + core::vector3df(0, 1, 0); }
    };
    auto* body = new FocusedBody(root(), smgr(), -1);
    body->drop();
    body->setPosition({1, -1, 2});
    body->updateAbsolutePosition();
    game->followedNode = body;
    const struct {
        core::vector3df from;
        f32 yaw, pitch, distance;
    } rows[] = {{{10, 10, 0}, 0.0f, 45.0f, 14.1421f},
                {{0, 5, -10}, 90.0f, 26.5651f, 11.1803f},
                {{0, 20, -10}, 90.0f, 45.0f, 22.3607f}};
    for (const auto& row : rows) {
        cameras->mainCamera->setPosition(row.from);
        cameras->mainCamera->updateAbsolutePosition();
        cameras->mainCamera->setTarget({0, 0, 0});
        game->targetMode->goalTarget = {};
        CameraActivation activation;
        activation.camera = game;
        game->onActivated(activation);
        EXPECT_NEAR(game->yaw, row.yaw, 1e-3f) << row.from.Y;
        EXPECT_NEAR(game->pitch, row.pitch, 1e-3f) << row.from.Y;
        EXPECT_NEAR(game->distance, row.distance, 1e-3f) << row.from.Y;
        test::expectNear(game->targetMode->goalTarget, {1, 0, 2});
        if (row.pitch < 45.0f) {
            test::expectNear(game->goalPosition, row.from, 1e-2f);
        }
    }
    // A snapped activation (a level's start) keeps the camera's own orbit.
    game->yaw = 30.0f;
    CameraActivation snapped;
    snapped.camera = game;
    snapped.snap = true;
    game->onActivated(snapped);
    EXPECT_EQ(game->yaw, 30.0f);
    // Snapping to the goal aims at the body unless the change is a cut (speed 0).
    for (const f32 speed : {0.0f, 1.0f}) {
        game->targetMode->goalTarget = {5, 5, 5};
        game->snapToGoal(speed);
        test::expectNear(game->targetMode->goalTarget, speed == 0.0f ? core::vector3df(5, 5, 5) : core::vector3df(1, 0, 2));
    }
    // Pulled in to 6 units: a tenth of a second of zoom in goes on from 6, not from 12.
    game->distance = 12.0f;
    game->pulledIn = true;
    game->pulledInDistance = 6.0f;
    GameCamera::HeldActions zoomIn;
    zoomIn.zoomIn = true;
    game->step(0.1f, zoomIn);
    EXPECT_NEAR(game->distance, 4.0f, 1e-4f);
}

// A body moving along a blend toward a camera that follows the player, or standing near
// where the blend is, hurries the blend: 1 + speed / 0.3, plus up to 0.3 within 10 units.
TEST_F(CameraManagerTest, ABlendToAPlayerFollowingCameraHurriesWithTheBodysSpeedAndNearness) {
    struct MovingBody : StandingBody {
        using StandingBody::StandingBody;
        core::vector3df velocity;
        core::vector3df getLinearVelocity() override { return velocity; }
    };
    const struct {
        f32 speed, distance, multiplier;
        bool followsPlayer;
    } rows[] = {{0.0f, 20.0f, 1.0f, true}, {0.0f, 10.0f, 1.0f, true}, {0.0f, 9.5f, 1.15f, true},
                {0.0f, 5.0f, 1.3f, true},  {0.3f, 20.0f, 2.0f, true}, {0.3f, 5.0f, 1.0f, false}};
    for (const auto& row : rows) {
        settle();
        auto* body = new MovingBody(root(), smgr(), -1);
        body->drop();
        body->velocity = {row.speed, 0, 0};
        const core::vector3df from = cameras->mainCamera->getAbsolutePosition();
        body->setPosition(from + core::vector3df(row.distance, 0, 0));
        body->updateAbsolutePosition();
        cameras->followedNode = body;
        CameraObject* far = camera(from + core::vector3df(0, 0, 50));
        if (row.followsPlayer)
            far->CameraTargetMode = CameraTargetId::Tentaro;
        cameras->pushCamera(far, nullptr, 1.0f, false);
        ASSERT_GT(cameras->transition->positionDuration, 1.0f);
        cameras->update(0.1f);
        EXPECT_NEAR(cameras->transition->elapsed, 0.1f * row.multiplier, 1e-5f)
            << row.speed << " m/s at " << row.distance << (row.followsPlayer ? "" : ", a camera of its own");
        cameras->removeCamera(far);
        cameras->followedNode = nullptr;
        body->remove();
    }
}

TEST_F(CameraManagerTest, EachCameraActionOnALevelCameraSetsItsAxisItsOwnWay) {
    settle();
    platform::setPadBackend(std::make_unique<platform::FakePadBackend>());
    InputManager input;
    input.init(gameDevice);
    cameras->inputManager = &input;
    CameraObject* level = camera({0, 6, -15});
    cameras->pushCamera(level, nullptr, 0.0f, false);
    cameras->update(0.0167f);
    EXPECT_EQ(cameras->getOverrideCamera(), level);
    const struct {
        int action;
        f32 CameraManager::*goal;
        f32 value;
    } rows[] = {{GameAction::CameraLeft, &CameraManager::manualYawGoal, 1.0f},
                {GameAction::CameraRight, &CameraManager::manualYawGoal, -1.0f},
                {GameAction::CameraUp, &CameraManager::manualPitchGoal, 1.0f},
                {GameAction::CameraDown, &CameraManager::manualPitchGoal, -1.0f},
                {GameAction::CameraZoomIn, &CameraManager::manualZoomGoal, 1.0f},
                {GameAction::CameraZoomOut, &CameraManager::manualZoomGoal, -1.0f}};
    // Each action on a key of its own, whatever mapping file the working folder holds.
    PlayerControls* controls = input.getPlayerControls(0, 0);
    controls->clearMappings();
    const auto keyOf = [](int action) { return EKEY_CODE(KEY_F1 + action - GameAction::CameraUp); };
    for (const auto& row : rows) {
        ButtonMapping mapping;
        mapping.device = input.getKeyboard();
        mapping.buttonIndex = keyOf(row.action);
        controls->addMapping(row.action, mapping);
    }
    // One frame in the game's order, with the key's press or release event if one is given.
    auto frame = [&](EKEY_CODE key, std::optional<bool> down) {
        if (down) {
            SEvent event{};
            event.EventType = EET_KEY_INPUT_EVENT;
            event.KeyInput.Key = key;
            event.KeyInput.PressedDown = *down;
            input.OnEvent(event);
        }
        input.update();
        cameras->update(0.0167f);
        input.endFrame();
    };
    for (const auto& row : rows) {
        const char* name = GameAction::name(row.action);
        frame(keyOf(row.action), true);
        EXPECT_EQ(cameras->*row.goal, row.value) << name;
        frame(keyOf(row.action), false);
        frame(keyOf(row.action), std::nullopt); // a release shows for its own frame
        EXPECT_EQ(cameras->*row.goal, 0.0f) << name << " let go";
    }
    // A camera that refuses the player's control, or a level load on its way, leaves the
    // actions without effect.
    // A screen that holds the game's input (a menu) likewise.
    const auto inputGate = cameraServices().screens.isInputAllowed;
    for (int blocked = 0; blocked < 3; ++blocked) {
        level->DisablePlayerControl = blocked == 0;
        manager->loadPending = blocked == 1;
        cameraServices().screens.isInputAllowed = [blocked] { return blocked != 2; };
        frame(keyOf(GameAction::CameraLeft), true);
        EXPECT_EQ(cameras->manualYawGoal, 0.0f) << (blocked == 0 ? "control refused" : blocked == 1 ? "load pending" : "a menu");
        frame(keyOf(GameAction::CameraLeft), false);
        frame(keyOf(GameAction::CameraLeft), std::nullopt);
    }
    cameraServices().screens.isInputAllowed = inputGate;
    level->DisablePlayerControl = false;
    manager->loadPending = false;
    cameras->inputManager = nullptr;
    gameDevice->setEventReceiver(nullptr);
    platform::setPadBackend(nullptr);
}

// A full zoom in takes the camera half way to the body; a full look up raises the look point,
// a full look to the left moves it left.
TEST_F(CameraManagerTest, ManualZoomAndLookMoveTheViewTheirOwnWay) {
    settle();
    auto* body = new StandingBody(root(), smgr(), -1);
    body->drop();
    cameras->followedNode = body;
    CameraObject* level = camera({0, 0, -10});
    cameras->pushCamera(level, nullptr, 0.0f, false);
    ASSERT_EQ(cameras->getOverrideCamera(), level);
    cameras->mainCamera->setPosition({0, 0, -10});
    cameras->mainCamera->updateAbsolutePosition();
    const struct {
        const char* what;
        f32 CameraManager::*axis;
        core::vector3df position;
        bool lookUp, lookLeft;
    } rows[] = {{"zoom in", &CameraManager::manualZoom, {0, 0, -5}, false, false},
                {"look up", &CameraManager::manualPitch, {0, 0, -10}, true, false},
                {"look left", &CameraManager::manualYaw, {0, 0, -10}, false, true}};
    for (const auto& row : rows) {
        cameras->manualZoom = cameras->manualPitch = cameras->manualYaw = 0.0f;
        cameras->*row.axis = 1.0f;
        core::vector3df position(0, 0, -10), target(0, 0, 0);
        cameras->updateManualControl(0.0f, position, target); // no time: the axis keeps its value
        test::expectNear(position, row.position, 1e-3f);
        EXPECT_EQ(target.Y > 0.1f, row.lookUp) << row.what;
        EXPECT_EQ(target.X < -0.1f, row.lookLeft) << row.what;
    }
}

TEST_F(CameraManagerTest, ALevelUnloadForgetsEveryNodeOfTheLevel) {
    settle();
    cameras->pushCamera(camera({0, 0, 30}), nullptr, 1.0f, false);
    cameras->resetLevelCameras();
    EXPECT_EQ(cameras->mainCamera, nullptr);
    EXPECT_EQ(cameras->gameCamera, nullptr);
    EXPECT_EQ(cameras->transition, nullptr);
    EXPECT_TRUE(cameras->overrideCameras.empty());
    EXPECT_EQ(cameras->getViewportCamera(), nullptr);
    cameras->update(0.0167f); // without a main camera nothing happens
}

TEST_F(CameraManagerTest, ALoadUnloadLoadCycleLeavesNoCameraBehind) {
    useTestData();
    std::filesystem::copy_file(test::sourceDir() / "tests/camera/data/TwoCameras.irr", temp.path() / "TwoCameras.irr");
    for (int cycle = 0; cycle < 2; ++cycle) {
        ASSERT_TRUE(levelManager->loadLevel("TwoCameras.irr"));
        ASSERT_NE(cameras->mainCamera, nullptr);
        auto* second = static_cast<CameraObject*>(levelManager->getSceneNodeFromID(12));
        ASSERT_NE(second, nullptr);
        cameras->update(0.0167f);
        cameras->pushCamera(second, nullptr, 1.0f, false);
        cameras->update(0.0167f);
        EXPECT_EQ(cameras->getOverrideCamera(), second);
        levelManager->unloadLevel();
        EXPECT_EQ(cameras->mainCamera, nullptr);
        EXPECT_EQ(cameras->transition, nullptr);
        EXPECT_EQ(root()->getChildren().size(), 0u);
    }
}

TEST_F(CameraManagerTest, ASavedLevelKeepsItsCamerasAndNoneOfTheEngineCameras) {
    useTestData();
    std::filesystem::copy_file(test::sourceDir() / "tests/camera/data/TwoCameras.irr", temp.path() / "TwoCameras.irr");
    ASSERT_TRUE(levelManager->loadLevel("TwoCameras.irr"));
    cameras->update(0.0167f);
    ASSERT_TRUE(levelManager->saveLevel("Saved.irrblvl"));
    levelManager->unloadLevel();
    ASSERT_TRUE(levelManager->loadLevel("Saved.irrblvl"));
    core::array<scene::ISceneNode*> found;
    smgr()->getSceneNodesFromType(scene::ESNT_ANY, found);
    int levelCameras = 0, engineCameras = 0;
    for (u32 i = 0; i < found.size(); ++i) {
        levelCameras += found[i]->getType() == typeId("cmro") ? 1 : 0;
        engineCameras += found[i]->getType() == scene::ESNT_CAMERA ? 1 : 0;
    }
    EXPECT_EQ(levelCameras, 2);
    EXPECT_EQ(engineCameras, 4); // "MainCamera" and one for each camera object and the game camera
    auto* side = static_cast<CameraObject*>(levelManager->getSceneNodeFromID(12));
    ASSERT_NE(side, nullptr);
    EXPECT_EQ(side->PriorityLevel, 2);
    EXPECT_NEAR(side->cameraNode->getFOV(), 45.0f * camera::degreesToRadians, 1e-5f);
}

} // namespace
