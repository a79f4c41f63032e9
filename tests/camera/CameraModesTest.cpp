// Where the position modes put a camera and where the target modes make it look, frame by
// frame (0.1 s frames), with their damping; the spline rail and the blend volume.
#include "CameraTimeFixture.h"

#include "camera/BlendVolumeCameraMode.h"
#include "camera/CameraPoints.h"
#include "camera/CameraTransition.h"
#include "camera/SplineCameraMode.h"

#include "core/Globals.h"
#include "physics/world/PhysicsManager.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace irr;

namespace {

class CameraModesTest : public test::CameraTimeFixture {
protected:
    // A marker point of the kind below the parent.
    template <class Point>
    Point* addPoint(scene::ISceneNode* parent, const core::vector3df& at, f32 time,
                    const core::vector3df& rotation = {}) {
        auto* point = new Point(parent, smgr(), -1);
        point->drop();
        point->setPosition(at);
        point->setRotation(rotation);
        point->Time = time;
        point->updateAbsolutePosition();
        return point;
    }
    // A level object to look at or lock onto, known to the level manager by its ID.
    scene::ISceneNode* addMarker(s32 id, const core::vector3df& at) {
        scene::ISceneNode* node = smgr()->addEmptySceneNode(root(), id);
        node->setPosition(at);
        node->updateAbsolutePosition();
        registerIDs();
        return node;
    }
    // The position mode's step on its own after a frame of the seconds.
    void place(CameraObject* camera, f32 seconds = 0.1f) {
        tick(seconds);
        camera->updateAbsolutePosition();
        camera->positionMode->update(camera);
    }
    void aim(CameraObject* camera, f32 seconds = 0.1f) {
        tick(seconds);
        camera->targetMode->preUpdate();
        camera->targetMode->update();
    }
    SplineCameraMode* splineOf(CameraObject* camera) { return camera->positionMode->asSpline(); }
};

// Each compact mode's goal, and the damped position after one and two 0.1 s frames (rate 5:
// half the way, then three quarters).
TEST_F(CameraModesTest, PositionModesReachTheirGoalsWithTheirDamping) {
    struct Row {
        const char* name;
        s32 mode;
        core::vector3df cameraAt, playerAt;
        core::vector3df afterOne, afterTwo; // from a camera standing at the origin
        core::vector3df shoulder;
        bool followPlayerHeight;
    };
    const Row rows[] = {
        // Stands where it is placed, at once.
        {"stationary", CameraModeId::Stationary, {3, 4, 5}, {0, 0, 0}, {3, 4, 5}, {3, 4, 5}, {}, false},
        // Behind the player on the line from the locked object (0, 2, 10): goal (0, 6, -10).
        {"object lock", CameraModeId::ObjectLock, {0, 0, 0}, {0, 0, 0}, {0, 3, -5}, {0, 4.5f, -7.5f}, {}, false},
        // The shoulder offset goes sideways, up and further back; following the player's
        // height adds the player's height over the object's: goal (1, 4 + 2 + 0.5 + 1 - 2, -12).
        {"object lock offset", CameraModeId::ObjectLock, {0, 0, 0}, {0, 1, 0}, {0.5f, 2.75f, -6},
         {0.75f, 4.125f, -9}, {1, 0.5f, 2}, true},
        // On the centre's side of the player, 10 away, look height + 4: goal (10, 5, 0).
        {"circle track", CameraModeId::CircleTrack, {30, 0, 0}, {0, 0, 0}, {5, 2.5f, 0}, {7.5f, 3.75f, 0}, {}, false},
        // The shoulder offset lifts it and moves it further out: goal (12, 6, 0).
        {"circle track offset", CameraModeId::CircleTrack, {30, 0, 0}, {0, 0, 0}, {6, 3, 0}, {9, 4.5f, 0}, {0, 1, 2},
         false},
    };
    addMarker(50, {0, 2, 10});
    for (const Row& row : rows) {
        addPlayer(row.playerAt);
        CameraObject* camera = addModeCamera(row.mode, row.cameraAt);
        camera->ShoulderOffset = row.shoulder;
        if (row.mode == CameraModeId::ObjectLock) {
            static_cast<ObjectLockCameraMode*>(camera->positionMode)->ObjectLockID = 50;
            static_cast<ObjectLockCameraMode*>(camera->positionMode)->FollowTentaroY = row.followPlayerHeight;
        }
        camera->lookTarget = {0, 1, 0};
        place(camera);
        test::expectNear(camera->cameraNode->getAbsolutePosition(), row.afterOne, 1e-3f);
        place(camera);
        test::expectNear(camera->cameraNode->getAbsolutePosition(), row.afterTwo, 1e-3f);
    }
}

// Objects between camera and player are clipped only by a fixed-angle camera (or a spline
// camera used as one), and only while its switch is on.
TEST_F(CameraModesTest, OnlyAFixedAngleCameraClipsObjectsAndOnlyWithItsSwitchOn) {
    for (bool clip : {false, true}) {
        CameraObject* fixed = addModeCamera(CameraModeId::FixedAngle, {});
        CameraObject* stationary = addModeCamera(CameraModeId::Stationary, {});
        CameraObject* rail = addModeCamera(CameraModeId::Spline, {});
        CameraObject* fixedRail = addModeCamera(CameraModeId::Spline, {});
        splineOf(fixedRail)->UseAsFixedAngle = true;
        for (CameraObject* camera : {fixed, stationary, rail, fixedRail})
            camera->ClipObjects = clip;
        EXPECT_EQ(fixed->clipsObjects(), clip);
        EXPECT_FALSE(stationary->clipsObjects());
        EXPECT_FALSE(rail->clipsObjects());
        EXPECT_EQ(fixedRail->clipsObjects(), clip);
    }
}

TEST_F(CameraModesTest, WithoutAPlayerTheFollowingModesStandStill) {
    for (s32 mode : {CameraModeId::ObjectLock, CameraModeId::CircleTrack, CameraModeId::BlendVolume}) {
        CameraObject* camera = addModeCamera(mode, {3, 3, 3});
        camera->cameraNode->setPosition({7, 7, 7});
        place(camera);
        test::expectNear(camera->cameraNode->getPosition(), {7, 7, 7});
    }
}

// Their first frame puts them where they are placed, not at the world's origin; a player
// coming later is followed from there.
TEST_F(CameraModesTest, TheFollowingModesStartWhereTheyArePlaced) {
    struct Row {
        s32 mode;
        core::vector3df playerAt, goal;
    };
    const Row rows[] = {
        {CameraModeId::CircleTrack, {0, 0, 0}, {10, 5, 0}}, // on the placed side, look height + 4
        {CameraModeId::ObjectLock, {0, 0, 10}, {0, 4, 20}}, // away from the origin through the player
        {CameraModeId::BlendVolume, {0, 0, 0}, {30, 0, 0}}, // no member cameras: it keeps its place
    };
    for (const Row& row : rows) {
        CameraObject* camera = addModeCamera(row.mode, {30, 0, 0});
        camera->lookTarget = {0, 1, 0};
        camera->positionMode->onFirstFrame();
        test::expectNear(camera->cameraNode->getAbsolutePosition(), {30, 0, 0});
        place(camera);
        test::expectNear(camera->cameraNode->getAbsolutePosition(), {30, 0, 0});
        addPlayer(row.playerAt);
        place(camera); // half the way from the placed position
        test::expectNear(camera->cameraNode->getAbsolutePosition(), (core::vector3df(30, 0, 0) + row.goal) * 0.5f, 1e-3f);
        clearPlayers();
    }
}

TEST_F(CameraModesTest, ObjectLockWithoutAnObjectLocksOntoTheOriginAndReadsOldLevels) {
    addPlayer({0, 0, 10});
    CameraObject* camera = addModeCamera(CameraModeId::ObjectLock, {});
    place(camera, 1.0f); // t = 1: straight to the goal
    // Away from the origin through the player: (0, 0, 20), height 4.
    test::expectNear(camera->cameraNode->getAbsolutePosition(), {0, 4, 20});

    io::IAttributes* in = gameDevice->getFileSystem()->createEmptyAttributes();
    in->addString("CameraMode", "Object Lock");
    in->addInt("ObjectID", 77);
    camera->deserializeAttributes(in);
    in->drop();
    ASSERT_EQ(camera->CameraMode, CameraModeId::ObjectLock);
    EXPECT_EQ(static_cast<ObjectLockCameraMode*>(camera->positionMode)->ObjectLockID, 77);
    EXPECT_EQ(camera->targetMode->objectID, 77);
}

TEST_F(CameraModesTest, FixedAngleStandsBehindTheLookTargetAndBacksOutToFrameTwoPlayers) {
    addPlayer({0, 0, 0});
    CameraObject* camera = addModeCamera(CameraModeId::FixedAngle, {50, 50, 50});
    camera->lookTarget = {1, 2, 3};
    place(camera);
    // One player: Distance behind the look target along the camera's forward (+Z), no lag.
    test::expectNear(camera->cameraNode->getAbsolutePosition(), {1, 2, -7});
    EXPECT_EQ(camera->CameraTargetMode, CameraTargetId::Tentaro) << "a fixed-angle camera follows the player";

    // Not running (editing): at its placed position.
    physics->setRunning(false);
    place(camera);
    test::expectNear(camera->cameraNode->getAbsolutePosition(), {50, 50, 50});
    physics->setRunning(true);

    // Two players 40 apart sideways: the distance grows until both fit, then shrinks ten
    // times slower when they come together.
    cameras->mainCamera->setPosition({0, 0, -10});
    cameras->mainCamera->updateAbsolutePosition();
    cameras->mainCamera->setTarget({0, 0, 0});
    camera->lookTarget = {};
    camera->targetMode->goalTarget = {};
    test::PlacedBody* left = addPlayer({-20, 0, 0}, 0);
    test::PlacedBody* right = addPlayer({20, 0, 0}, 1);
    auto* mode = static_cast<FixedAngleCameraMode*>(camera->positionMode);
    for (int i = 0; i < 30; ++i)
        place(camera);
    EXPECT_GT(mode->requiredDistance, 30.0f);
    EXPECT_NEAR(mode->currentDistance, mode->requiredDistance, 0.5f);
    const f32 wide = mode->currentDistance;
    left->place({-1, 0, 0});
    right->place({1, 0, 0});
    place(camera);
    EXPECT_NEAR(mode->requiredDistance, 10.0f, 1e-4f);
    EXPECT_NEAR(wide - mode->currentDistance, (wide - 10.0f) * 0.05f, 1e-3f) << "rate 5 x 0.1 x 0.1";
}

// Framing several players: one farther away than the centre adds 1.2 times its distance
// behind the camera's own; one nearer adds nothing; a height counts double a sideways offset.
TEST_F(CameraModesTest, FramingCountsPlayersBehindTheCentreAndHeightsTwice) {
    cameras->mainCamera->setPosition({0, 0, -10});
    cameras->mainCamera->updateAbsolutePosition();
    cameras->mainCamera->setTarget({0, 0, 0});
    const auto required = [&](const core::vector3df& second) {
        CameraObject* camera = addModeCamera(CameraModeId::FixedAngle, {});
        camera->lookTarget = {};
        camera->targetMode->goalTarget = {};
        addPlayer({0, 0, 0}, 0);
        addPlayer(second, 1);
        place(camera);
        clearPlayers();
        return static_cast<FixedAngleCameraMode*>(camera->positionMode)->requiredDistance;
    };
    EXPECT_NEAR(required({0, 0, 10}), 10.0f + 12.0f, 1e-3f) << "10 beyond the centre";
    EXPECT_NEAR(required({0, 0, -5}), 10.0f, 1e-3f) << "nearer than the centre";
    const f32 sideways = required({10, 0, 0});
    EXPECT_GT(sideways, 10.0f);
    EXPECT_NEAR(required({0, 5, 0}), sideways, 1e-3f) << "5 up frames like 10 aside";
}

// Each target mode's goal and its damped look point after one 0.1 s frame.
// A level file's mode number past the last known one falls back to the first mode; the last
// known one is kept.
TEST_F(CameraModesTest, ModeNumbersOutsideTheKnownOnesFallBackToTheFirst) {
    CameraObject* camera = addModeCamera(CameraModeId::Stationary, {});
    struct Row {
        s32 given, kept;
    };
    for (const Row& row : {Row{CameraTargetId::ObjectID, CameraTargetId::ObjectID}, Row{CameraTargetId::ObjectID + 1, 0},
                           Row{-1, 0}}) {
        s32 target = row.given;
        CameraTarget* made = createCameraTarget(camera, target);
        ASSERT_NE(made, nullptr) << row.given;
        EXPECT_EQ(target, row.kept) << row.given;
        delete made;
    }
    for (const Row& row : {Row{CameraModeId::BlendVolume, CameraModeId::BlendVolume},
                           Row{CameraModeId::BlendVolume + 1, CameraModeId::Stationary}, Row{-1, 0}}) {
        s32 mode = row.given;
        CameraMode* made = createCameraMode(camera, mode);
        ASSERT_NE(made, nullptr) << row.given;
        EXPECT_EQ(mode, row.kept) << row.given;
        delete made;
    }
}

TEST_F(CameraModesTest, TargetModesAimWhereTheyShouldWithTheirDamping) {
    addPlayer({0, 0, 0});
    addMarker(60, {5, 0, 0});
    struct Row {
        const char* name;
        s32 target;
        f32 ratio;
        core::vector3df followPoint;
        core::vector3df goal, afterOne;
    };
    const Row rows[] = {
        // 20 units straight ahead (the camera turned to +X), no lag.
        {"default", CameraTargetId::Default, 1.0f, {}, {20, 0, 0}, {20, 0, 0}},
        // The smoothed follow point, rate 5: half the way.
        {"tentaro", CameraTargetId::Tentaro, 1.0f, {0, 0, 10}, {0, 0, 10}, {0, 0, 5}},
        // Halfway between the follow point and the forward point (20, 0, 0).
        {"tentaro half", CameraTargetId::Tentaro, 0.5f, {0, 0, 10}, {10, 0, 5}, {5, 0, 2.5f}},
        // The object 60 at (5, 0, 0), rate 6.
        {"object", CameraTargetId::ObjectID, 1.0f, {}, {5, 0, 0}, {3, 0, 0}},
    };
    for (const Row& row : rows) {
        CameraObject* camera = addModeCamera(CameraModeId::Stationary, {});
        camera->setRotation({0, 90, 0});
        camera->updateAbsolutePosition();
        camera->CameraTargetMode = row.target;
        camera->deleteBehaviours();
        camera->createBehaviours();
        camera->targetMode->TargetRatio = row.ratio;
        camera->targetMode->objectID = 60;
        place(camera);
        cameras->followPoint = row.followPoint;
        aim(camera);
        test::expectNear(camera->targetMode->goalTarget, row.goal, 1e-3f);
        test::expectNear(camera->targetMode->currentTarget, row.afterOne, 1e-3f);
    }
}

// An object target may take the player's height instead of the object's, and a ratio
// below one pulls it toward the camera's forward point (20 units ahead, here along +X).
TEST_F(CameraModesTest, AnObjectTargetCanTakeThePlayersHeightAndLeanForward) {
    addPlayer({0, 1, 7});
    addMarker(61, {5, 3, 0});
    const struct {
        bool followPlayerHeight;
        f32 ratio;
        core::vector3df goal;
    } rows[] = {{false, 1.0f, {5, 3, 0}}, {true, 1.0f, {5, 1, 0}}, {false, 0.25f, {16.25f, 0.75f, 0}}};
    for (const auto& row : rows) {
        CameraObject* camera = addModeCamera(CameraModeId::Stationary, {});
        camera->setRotation({0, 90, 0});
        camera->updateAbsolutePosition();
        camera->CameraTargetMode = CameraTargetId::ObjectID;
        camera->deleteBehaviours();
        camera->createBehaviours();
        camera->targetMode->objectID = 61;
        camera->targetMode->TargetRatio = row.ratio;
        static_cast<ObjectIDCameraTarget*>(camera->targetMode)->FollowTentaroY = row.followPlayerHeight;
        place(camera);
        aim(camera);
        test::expectNear(camera->targetMode->goalTarget, row.goal, 1e-3f);
    }
}

// In the editor a fixed-angle camera following the player looks 20 units ahead of itself.
TEST_F(CameraModesTest, InTheEditorAFixedAngleCameraLooksAhead) {
    physics->setRunning(false);
    for (s32 mode : {CameraModeId::FixedAngle, CameraModeId::Stationary}) {
        CameraObject* camera = addModeCamera(mode, {0, 5, 0});
        camera->CameraTargetMode = CameraTargetId::Tentaro;
        camera->deleteBehaviours();
        camera->createBehaviours();
        camera->cameraNode->setPosition({0, 5, 0});
        camera->cameraNode->updateAbsolutePosition();
        camera->targetMode->currentTarget = {7, 7, 7};
        aim(camera);
        test::expectNear(camera->targetMode->currentTarget,
                         mode == CameraModeId::FixedAngle ? core::vector3df(0, 5, 20) : core::vector3df(7, 7, 7));
    }
    physics->setRunning(true);
}

// A spline camera with the default target looks where its rail turns it at once; another
// camera eases its look point.
TEST_F(CameraModesTest, ASplineCameraWithTheDefaultTargetLooksWithoutLag) {
    for (s32 mode : {CameraModeId::Spline, CameraModeId::Stationary}) {
        CameraObject* camera = addModeCamera(mode, {});
        tick(0.1f);
        ++levelAnimateFrame;
        animate(camera);
        camera->lookTarget = {50, 50, 50};
        tick(0.1f);
        ++levelAnimateFrame;
        animate(camera);
        const core::vector3df goal = camera->targetMode->currentTarget + camera->FocalOffset;
        EXPECT_EQ(camera->lookTarget.equals(goal, 1e-3f), mode == CameraModeId::Spline) << mode;
    }
}

TEST_F(CameraModesTest, SmallHeightChangesAreFollowedAtATenthOfTheSpeed) {
    test::PlacedBody* body = addPlayer({});
    CameraObject* camera = addModeCamera(CameraModeId::Stationary, {});
    camera->CameraTargetMode = CameraTargetId::Tentaro;
    camera->deleteBehaviours();
    camera->createBehaviours();
    place(camera);
    for (f32 rise : {1.5f, 1.99f, 2.0f, 2.4f, -1.5f, -2.0f, 3.0f}) {
        camera->targetMode->currentTarget = {};
        cameras->followPoint = {0, rise, 0};
        aim(camera);
        EXPECT_NEAR(camera->targetMode->currentTarget.Y, std::fabs(rise) < 2.0f ? rise * 0.1f * 0.5f : rise * 0.5f, 1e-4f)
            << rise;
    }
    // A body in control mode 1 is followed without lag.
    body->controlMode = 1;
    aim(camera);
    test::expectNear(camera->targetMode->currentTarget, {0, 3, 0});
}

TEST_F(CameraModesTest, TwoPlayersWithoutSplitScreenAreAimedAtTogether) {
    addPlayer({-4, 0, 0}, 0);
    addPlayer({6, 2, 10}, 1);
    CameraObject* camera = addModeCamera(CameraModeId::Stationary, {});
    camera->CameraTargetMode = CameraTargetId::Tentaro;
    camera->deleteBehaviours();
    camera->createBehaviours();
    place(camera);
    aim(camera);
    test::expectNear(camera->targetMode->goalTarget, {1, 1, 5});
}

TEST_F(CameraModesTest, AnObjectTargetWhoseObjectDisappearsKeepsItsAim) {
    scene::ISceneNode* marker = addMarker(61, {0, 0, 8});
    CameraObject* camera = addModeCamera(CameraModeId::Stationary, {});
    camera->CameraTargetMode = CameraTargetId::ObjectID;
    camera->deleteBehaviours();
    camera->createBehaviours();
    camera->targetMode->objectID = 61;
    place(camera);
    aim(camera, 1.0f);
    test::expectNear(camera->targetMode->currentTarget, {0, 0, 8});
    marker->remove();
    registerIDs();
    aim(camera);
    test::expectNear(camera->targetMode->currentTarget, {0, 0, 8});
    EXPECT_EQ(camera->targetMode->followedNode, nullptr);
}

// --- the spline camera -------------------------------------------------------------------------

TEST_F(CameraModesTest, TheNearestRatioOnThePathFollowsTheSubject) {
    CameraObject* camera = addModeCamera(CameraModeId::Spline, {});
    addPoint<CameraPathObject>(camera, {0, 0, 0}, 0.0f);
    addPoint<CameraPathObject>(camera, {10, 0, 0}, 1.0f);
    addPoint<CameraSplineObject>(camera, {0, 5, -10}, 0.0f);
    addPoint<CameraSplineObject>(camera, {10, 5, -10}, 1.0f);
    SplineCameraMode* spline = splineOf(camera);
    spline->onFirstFrame();
    // Two points: the clamped projection onto the segment.
    EXPECT_NEAR(spline->nearestRatio({5, 0, 3}), 0.5f, 1e-5f);
    EXPECT_EQ(spline->nearestRatio({-2, 0, 0}), 0.0f) << "behind the first point";
    EXPECT_EQ(spline->nearestRatio({15, 0, 0}), 1.0f);
    // Two rail points: a straight line between them.
    test::expectNear(spline->cameraPositionAt(0.25f), {2.5f, 5, -10});
}

// The rail is a straight line between two points and a curve through three or more (flat
// tangents at the ends below four points, half the neighbours' span inside); a rail of one
// point holds the camera there, and two points in one place hold it at that place.
TEST_F(CameraModesTest, TheRailCurvesThroughItsPointsAndHoldsAtARepeatedPoint) {
    const struct {
        const char* what;
        std::vector<core::vector3df> rail;
        f32 s;
        core::vector3df expected;
    } rows[] = {
        {"one point", {{3, 4, 5}}, 0.7f, {3, 4, 5}},
        {"curve, start", {{0, 5, -10}, {10, 5, -10}, {10, 5, 0}}, 0.0f, {0, 5, -10}},
        {"curve, first half", {{0, 5, -10}, {10, 5, -10}, {10, 5, 0}}, 0.25f, {4.375f, 5, -10.625f}},
        {"curve, on the middle point", {{0, 5, -10}, {10, 5, -10}, {10, 5, 0}}, 0.5f, {10, 5, -10}},
        {"curve, second half", {{0, 5, -10}, {10, 5, -10}, {10, 5, 0}}, 0.75f, {10.625f, 5, -4.375f}},
        {"curve, end", {{0, 5, -10}, {10, 5, -10}, {10, 5, 0}}, 1.0f, {10, 5, 0}},
        {"a repeated point", {{0, 5, -10}, {0, 5, -10}, {10, 5, -10}}, 0.25f, {0, 5, -10}},
    };
    for (const auto& row : rows) {
        CameraObject* camera = addModeCamera(CameraModeId::Spline, {});
        addPoint<CameraPathObject>(camera, {0, 0, 0}, 0.0f);
        addPoint<CameraPathObject>(camera, {10, 0, 0}, 1.0f);
        const size_t n = row.rail.size();
        for (size_t i = 0; i < n; ++i)
            addPoint<CameraSplineObject>(camera, row.rail[i], n > 1 ? f32(i) / f32(n - 1) : 0.0f);
        SplineCameraMode* spline = splineOf(camera);
        spline->onFirstFrame();
        test::expectNear(spline->cameraPositionAt(row.s), row.expected);
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << row.what;
            return;
        }
    }
    // A path of two points in one place has no direction: every subject is at its start.
    CameraObject* camera = addModeCamera(CameraModeId::Spline, {});
    addPoint<CameraPathObject>(camera, {4, 0, 0}, 0.0f);
    addPoint<CameraPathObject>(camera, {4, 0, 0}, 1.0f);
    splineOf(camera)->onFirstFrame();
    EXPECT_EQ(splineOf(camera)->nearestRatio({10, 0, 0}), 0.0f);
}

// A fixed-angle spline camera takes its view direction from the rail points' rotations
// (turned smoothly between them) and stands back from its look target by the distance
// between rail and path points at the ratio.
TEST_F(CameraModesTest, AFixedAngleSplineCameraStandsOffAlongTheRailsTurnAtTheRailsDistance) {
    CameraObject* camera = addModeCamera(CameraModeId::Spline, {});
    camera->CameraTargetMode = CameraTargetId::Tentaro;
    addPoint<CameraPathObject>(camera, {0, 0, 0}, 0.0f);
    addPoint<CameraPathObject>(camera, {20, 0, 0}, 1.0f);
    addPoint<CameraSplineObject>(camera, {0, 0, -10}, 0.0f, {0, 0, 0});
    addPoint<CameraSplineObject>(camera, {20, 0, -20}, 1.0f, {0, 90, 0});
    SplineCameraMode* spline = splineOf(camera);
    spline->onFirstFrame();
    ASSERT_TRUE(spline->splineValid);
    test::expectNear(spline->cameraRotationAt(0.0f), {0, 0, 0}, 1e-3f);
    test::expectNear(spline->cameraRotationAt(0.5f), {0, 45, 0}, 1e-3f);
    test::expectNear(spline->cameraRotationAt(1.0f), {0, 90, 0}, 1e-3f);
    // Distances 10 and 20 at the ends, blended by the same curve weights as the rail.
    EXPECT_NEAR(spline->standOffDistanceAt(0.0f), 10.0f, 1e-4f);
    EXPECT_NEAR(spline->standOffDistanceAt(0.25f), 11.5625f, 1e-4f);
    EXPECT_NEAR(spline->standOffDistanceAt(0.5f), 15.0f, 1e-4f);
    EXPECT_NEAR(spline->standOffDistanceAt(1.0f), 20.0f, 1e-4f);

    spline->UseAsFixedAngle = true;
    camera->ensureCameraNode();
    ASSERT_NE(camera->cameraNode, nullptr);
    camera->cameraNode->setTarget({5, 0, 0});
    spline->currentRatio = 1.0f;
    spline->ratioLag = 0.0f;
    spline->update(camera);
    // Turned 90 degrees the view runs along +X: the camera stands 20 back along -X.
    test::expectNear(camera->cameraNode->getAbsolutePosition(), {-15, 0, 0}, 1e-3f);
    test::expectNear(camera->getLookVector(), {20, 0, 0}, 1e-3f);
    spline->currentRatio = 0.0f;
    spline->update(camera);
    test::expectNear(camera->cameraNode->getAbsolutePosition(), {5, 0, -10}, 1e-3f);
    test::expectNear(camera->getLookVector(), {0, 0, 20}, 1e-3f);

    // With the default target the camera looks 20 units along the rail's turn where it
    // rides: the current ratio less the lag.
    camera->CameraTargetMode = CameraTargetId::Default;
    camera->deleteBehaviours();
    camera->createBehaviours();
    spline = splineOf(camera);
    spline->onFirstFrame();
    spline->currentRatio = 1.0f;
    spline->ratioLag = -0.5f;
    camera->cameraNode->setPosition({0, 0, 0});
    camera->cameraNode->updateAbsolutePosition();
    camera->targetMode->update();
    const f32 half = std::sqrt(0.5f) * 20.0f;
    test::expectNear(camera->targetMode->goalTarget, {half, 0, half}, 1e-2f);

    // A single rail and path point: that point's rotation and distance.
    CameraObject* single = addModeCamera(CameraModeId::Spline, {});
    addPoint<CameraPathObject>(single, {0, 0, 0}, 0.0f);
    addPoint<CameraSplineObject>(single, {0, 0, -7}, 0.0f, {10, 20, 0});
    splineOf(single)->onFirstFrame();
    test::expectNear(splineOf(single)->cameraRotationAt(0.6f), {10, 20, 0});
    EXPECT_NEAR(splineOf(single)->standOffDistanceAt(0.6f), 7.0f, 1e-5f);
}

// The object a spline camera evaluates is found by its ID once the level runs; without a
// player the blend toward the object starts from the object itself. Snapping to the goal
// drops the lag and the damping.
TEST_F(CameraModesTest, ASplineCameraFindsItsObjectByIDAndSnapsToTheGoal) {
    CameraObject* camera = addModeCamera(CameraModeId::Spline, {});
    addPoint<CameraPathObject>(camera, {0, 0, 0}, 0.0f);
    addPoint<CameraPathObject>(camera, {20, 0, 0}, 1.0f);
    addPoint<CameraSplineObject>(camera, {0, 5, -10}, 0.0f);
    addPoint<CameraSplineObject>(camera, {20, 5, -10}, 1.0f);
    scene::ISceneNode* object = addMarker(77, {15, 0, 0});
    SplineCameraMode* spline = splineOf(camera);
    spline->onFirstFrame();
    spline->SplineEvalObjectID = 77;
    spline->SplineEvaluation = SplineCameraMode::TentaroObjectAverage;
    spline->SplineEvalRatio = 0.25f;
    tick(0.1f);
    spline->preUpdate();
    EXPECT_EQ(spline->evaluationObject, object);
    EXPECT_NEAR(spline->goalRatio, 0.75f, 1e-4f) << "no player: the object's own ratio";

    spline->currentRatio = 0.1f;
    spline->ratioLag = -0.05f;
    camera->snapToGoal(1.0f);
    EXPECT_EQ(spline->currentRatio, spline->goalRatio);
    EXPECT_EQ(spline->ratioLag, 0.0f);
}

// Rail points at x = 0, 2, 3 (and 6): with four or more the ends get the quadratic tangent
// 1.5 (p1 - p0) - 0.5 (p2 - p1); with three they stay flat.
TEST_F(CameraModesTest, FourRailPointsOrMoreGiveTheEndsAQuadraticTangent) {
    for (const f32 last : {3.0f, 6.0f}) {
        CameraObject* camera = addModeCamera(CameraModeId::Spline, {});
        addPoint<CameraPathObject>(camera, {0, 0, 0}, 0.0f);
        addPoint<CameraPathObject>(camera, {10, 0, 0}, 1.0f);
        std::vector<CameraSplineObject*> rail;
        for (const f32 x : {0.0f, 2.0f, 3.0f, 6.0f})
            if (x <= last)
                rail.push_back(addPoint<CameraSplineObject>(camera, {x, 5, -10}, x / last));
        splineOf(camera)->onFirstFrame();
        ASSERT_TRUE(splineOf(camera)->splineValid);
        const bool four = rail.size() == 4;
        test::expectNear(rail.front()->outTangent, {four ? 2.5f : 0.0f, 0, 0});
        test::expectNear(rail.back()->inTangent, {four ? 4.0f : 0.0f, 0, 0});
        test::expectNear(rail[1]->inTangent, {1.5f, 0, 0}); // inside: half the span of its neighbours
    }
}

TEST_F(CameraModesTest, ASplineCameraRidesItsRailAtTheSubjectsRatio) {
    test::PlacedBody* body = addPlayer({15, 0, 2});
    CameraObject* camera = addModeCamera(CameraModeId::Spline, {});
    for (f32 x : {0.0f, 10.0f, 20.0f})
        addPoint<CameraPathObject>(camera, {x, 0, 0}, x / 20.0f);
    addPoint<CameraSplineObject>(camera, {0, 5, -10}, 0.0f);
    addPoint<CameraSplineObject>(camera, {20, 5, -10}, 1.0f);
    SplineCameraMode* spline = splineOf(camera);
    spline->onFirstFrame();
    ASSERT_TRUE(spline->splineValid);
    EXPECT_NEAR(spline->pathLength, 20.0f, 0.01f);
    EXPECT_EQ(spline->nearestRatio({-5, 0, 0}), 0.0f);
    EXPECT_EQ(spline->nearestRatio({25, 0, 0}), 1.0f);
    EXPECT_NEAR(spline->nearestRatio({10, 0, 4}), 0.5f, 0.02f);
    // On the second sample (a ninety-ninth along) the ratio is that sample's, 1/100.
    EXPECT_NEAR(spline->nearestRatio(spline->pathSamples[1]), 0.01f, 1e-4f);
    EXPECT_FLOAT_EQ(spline->standOffDistanceAt(0.5f), 10.0f) << "three path points against two rail points";

    // Undamped: the camera stands on the rail at the subject's ratio.
    camera->DisableDamping = true;
    spline->preUpdate();
    place(camera);
    // The path's point at that ratio is the one nearest the subject (x = 15), and the camera
    // stands on the rail at the same ratio.
    EXPECT_EQ(spline->currentRatio, spline->goalRatio);
    test::expectNear(spline->subjectPositionAt(spline->currentRatio), {15, 0, 0}, 0.2f);
    test::expectNear(camera->cameraNode->getAbsolutePosition(), spline->cameraPositionAt(spline->currentRatio));
    EXPECT_NEAR(camera->cameraNode->getAbsolutePosition().Y, 5.0f, 1e-4f);

    // Damped: the ratio moves toward the goal frame by frame; going back leaves a lag of at
    // most 3 path units behind the current ratio, which going forward again removes.
    camera->DisableDamping = false;
    body->place({5, 0, 0});
    f32 previous = spline->currentRatio;
    for (int i = 0; i < 5; ++i) {
        tick(0.1f);
        spline->preUpdate();
        EXPECT_LE(spline->currentRatio, previous);
        EXPECT_LE(spline->ratioLag, 0.0f);
        EXPECT_GE(spline->ratioLag, -3.0f / spline->pathLength - 1e-6f);
        previous = spline->currentRatio;
    }
    EXPECT_NEAR(spline->currentRatio, spline->goalRatio, 1e-4f);
    EXPECT_LT(spline->ratioLag, 0.0f) << "the curves are evaluated behind the current ratio";
    body->place({20, 0, 0});
    for (int i = 0; i < 60; ++i) {
        tick(0.1f);
        spline->preUpdate();
    }
    EXPECT_NEAR(spline->currentRatio, 1.0f, 0.01f);
    EXPECT_NEAR(spline->ratioLag, 0.0f, 1e-4f);
}

// The ratio the camera rides at: the player's, a blend of the player's and the object's
// point, the object's, or the blend but never behind the player. Path from x = 0 to 20;
// the player stands at x = 5 (ratio 0.25).
TEST_F(CameraModesTest, TheSplineEvaluationChoosesWhoseRatioTheCameraRidesAt) {
    addPlayer({5, 0, 0});
    const struct {
        const char* what;
        s32 evaluation;
        f32 objectX, ratio, offset, goal;
    } rows[] = {
        {"the player", SplineCameraMode::Tentaro, 15, 0.25f, 0, 0.25f},
        {"a quarter toward the object", SplineCameraMode::TentaroObjectAverage, 15, 0.25f, 0, 0.375f},
        {"the object", SplineCameraMode::Object, 15, 0.25f, 0, 0.75f},
        {"half way to the object ahead", SplineCameraMode::TentaroObjectMax, 15, 0.5f, 0, 0.5f},
        {"the object's ratio pushed on", SplineCameraMode::TentaroObjectMax, 15, 0.5f, 0.1f, 0.55f},
        {"never behind the player", SplineCameraMode::TentaroObjectMax, 1, 0.5f, 0, 0.25f},
        {"the object's ratio held at the end", SplineCameraMode::TentaroObjectMax, 19, 0.5f, 0.1f, 0.625f},
    };
    for (const auto& row : rows) {
        CameraObject* camera = addModeCamera(CameraModeId::Spline, {});
        addPoint<CameraPathObject>(camera, {0, 0, 0}, 0.0f);
        addPoint<CameraPathObject>(camera, {20, 0, 0}, 1.0f);
        addPoint<CameraSplineObject>(camera, {0, 5, -10}, 0.0f);
        addPoint<CameraSplineObject>(camera, {20, 5, -10}, 1.0f);
        SplineCameraMode* spline = splineOf(camera);
        spline->onFirstFrame();
        scene::ISceneNode* object = smgr()->addEmptySceneNode(root());
        object->setPosition({row.objectX, 0, 0});
        object->updateAbsolutePosition();
        spline->evaluationObject = object;
        spline->SplineEvaluation = row.evaluation;
        spline->SplineEvalRatio = row.ratio;
        spline->SplineEvalOffset = row.offset;
        EXPECT_NEAR(spline->computeGoalRatio(), row.goal, 1e-4f) << row.what;
    }
}

// A point list is usable when it runs from time 0 to time 1 without going back; a point may
// share its neighbour's time.
TEST_F(CameraModesTest, RailTimesMustRunFromZeroToOneWithoutGoingBack) {
    const struct {
        std::vector<f32> times;
        bool valid;
    } rows[] = {{{0, 1}, true},          {{0, 0.5f}, false},         {{0.5f, 1}, false},
                {{0, 0.5f, 0.5f, 1}, true}, {{0, 0.6f, 0.4f, 1}, false}, {{0}, false}};
    for (const auto& row : rows) {
        CameraObject* camera = addModeCamera(CameraModeId::Spline, {});
        addPoint<CameraPathObject>(camera, {0, 0, 0}, 0.0f);
        addPoint<CameraPathObject>(camera, {20, 0, 0}, 1.0f);
        f32 x = 0.0f;
        for (f32 time : row.times)
            addPoint<CameraSplineObject>(camera, {x += 5.0f, 5, -10}, time);
        splineOf(camera)->rebuildSpline();
        EXPECT_EQ(splineOf(camera)->splineValid, row.valid) << row.times.size() << " points ending at " << row.times.back();
    }
}

TEST_F(CameraModesTest, ASplineCameraHoldsItsRatioWhileTheTransitionBlendsWhenAsked) {
    addPlayer({20, 0, 0});
    CameraObject* camera = addModeCamera(CameraModeId::Spline, {});
    addPoint<CameraPathObject>(camera, {0, 0, 0}, 0.0f);
    addPoint<CameraPathObject>(camera, {20, 0, 0}, 1.0f);
    addPoint<CameraSplineObject>(camera, {0, 5, 0}, 0.0f);
    addPoint<CameraSplineObject>(camera, {20, 5, 0}, 1.0f);
    SplineCameraMode* spline = splineOf(camera);
    spline->onFirstFrame();
    spline->TransitionUseEndpoints = true;
    auto* link = new CameraTransition();
    link->camera = camera;
    link->positionBlend = 0.5f;
    link->targetBlend = 1.0f;
    cameras->transition = link;
    tick(0.1f);
    spline->preUpdate();
    EXPECT_EQ(spline->currentRatio, 0.0f);
    EXPECT_EQ(spline->goalRatio, 1.0f);
    link->positionBlend = 1.0f;
    tick(0.1f);
    spline->preUpdate();
    EXPECT_GT(spline->currentRatio, 0.0f);
}

TEST_F(CameraModesTest, SplineAndPointAttributesRoundTrip) {
    CameraObject* camera = addModeCamera(CameraModeId::Spline, {});
    camera->CameraTargetMode = CameraTargetId::Tentaro;
    SplineCameraMode* spline = splineOf(camera);
    spline->SplineDamping = 7.0f;
    spline->SplineEvaluation = SplineCameraMode::TentaroObjectMax;
    spline->SplineEvalObjectID = 12;
    spline->SplineEvalRatio = 0.25f;
    spline->SplineEvalOffset = 0.1f;
    spline->UseAsFixedAngle = true;
    spline->TransitionUseEndpoints = true;
    io::IAttributes* out = gameDevice->getFileSystem()->createEmptyAttributes();
    camera->serializeAttributes(out);
    EXPECT_STREQ(out->getAttributeAsString("SplineEvaluation").c_str(), "Tentaro, Object Max");
    EXPECT_TRUE(out->existsAttribute("ClipObjects")) << "a fixed-angle spline camera clips";
    CameraObject* copy = addModeCamera(CameraModeId::Stationary, {});
    copy->deserializeAttributes(out);
    out->drop();
    SplineCameraMode* read = splineOf(copy);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->SplineDamping, 7.0f);
    EXPECT_EQ(read->SplineEvaluation, SplineCameraMode::TentaroObjectMax);
    EXPECT_EQ(read->SplineEvalObjectID, 12);
    EXPECT_EQ(read->SplineEvalRatio, 0.25f);
    EXPECT_EQ(read->SplineEvalOffset, 0.1f);
    EXPECT_TRUE(read->UseAsFixedAngle);
    EXPECT_TRUE(read->TransitionUseEndpoints);
    EXPECT_TRUE(copy->clipsObjects());

    // Points: "Time" is read (0 when absent); a copied path point starts at 0, a copied
    // spline point keeps its time.
    auto* path = addPoint<CameraPathObject>(root(), {}, 0.4f);
    auto* rail = addPoint<CameraSplineObject>(root(), {}, 0.6f);
    EXPECT_EQ(path->getType(), typeId("cmp1"));
    EXPECT_EQ(rail->getType(), typeId("cmrs"));
    EXPECT_TRUE(path->previewCamera && path->previewCamera->isDebugObject());
    EXPECT_EQ(static_cast<CameraPointObject*>(path->clone())->Time, 0.0f);
    EXPECT_EQ(static_cast<CameraPointObject*>(rail->clone())->Time, 0.6f);
    io::IAttributes* empty = gameDevice->getFileSystem()->createEmptyAttributes();
    rail->deserializeAttributes(empty);
    empty->drop();
    EXPECT_EQ(rail->Time, 0.0f);
}

TEST_F(CameraModesTest, ASplineCamerasObjectEvaluationStartsWithoutAnObjectAtTheFullRatio) {
    CameraObject* camera = addModeCamera(CameraModeId::Spline, {});
    splineOf(camera)->SplineEvaluation = SplineCameraMode::TentaroObjectMax;
    io::IAttributes* out = gameDevice->getFileSystem()->createEmptyAttributes();
    camera->serializeAttributes(out);
    EXPECT_EQ(out->getAttributeAsInt("SplineEvalObjectID"), 0);
    EXPECT_EQ(out->getAttributeAsFloat("SplineEvalRatio"), 1.0f);
    EXPECT_EQ(out->getAttributeAsFloat("SplineEvalOffset"), 0.0f);
    EXPECT_EQ(out->getAttributeAsFloat("SplineDamping"), 20.0f);
    EXPECT_FALSE(out->getAttributeAsBool("TransitionUseEndpoints"));
    out->drop();
}

// --- the blend volume -------------------------------------------------------------------------

class BlendVolumeTest : public CameraModesTest {
protected:
    // A blend camera at the origin with members at (0, 10, 0) and (10, 10, 0) whose points
    // lie at (0, 0, 0) and (30, 0, 0).
    void SetUp() override {
        CameraModesTest::SetUp();
        blendCamera = addModeCamera(CameraModeId::BlendVolume, {});
        first = addModeCamera(CameraModeId::Stationary, {0, 10, 0}, blendCamera);
        second = addModeCamera(CameraModeId::Stationary, {10, 10, 0}, blendCamera);
        addPoint<CameraPathObject>(blendCamera, {0, 0, 0}, 0.0f);
        addPoint<CameraPathObject>(blendCamera, {30, 0, 0}, 0.0f);
        for (CameraObject* member : {first, second})
            place(member);
    }
    BlendVolumeCameraMode* blendOf() { return blendCamera->positionMode->asBlendVolume(); }

    CameraObject* blendCamera = nullptr;
    CameraObject* first = nullptr;
    CameraObject* second = nullptr;
};

TEST_F(BlendVolumeTest, MembersCountByTheInverseSquareOfTheirDistance) {
    // Twice as far from the second point: weights 0.8 and 0.2.
    addPlayer({10, 0, 0});
    first->cameraNode->setTarget({0, 0, 100});
    second->cameraNode->setTarget({100, 0, 0});
    place(blendCamera, 1.0f);
    test::expectNear(blendCamera->goalPosition, {2, 10, 0});
    test::expectNear(blendCamera->cameraNode->getAbsolutePosition(), {2, 10, 0});
    // The look point blends the members' look points by the same weights.
    test::expectNear(blendOf()->blendedTarget, {20, 0, 80}, 1e-3f);
    // ... and stays there frame after frame while nobody moves.
    place(blendCamera, 1.0f);
    test::expectNear(blendOf()->blendedTarget, {20, 0, 80}, 1e-3f);
    // A member of weight 0 never pulls, however near the player is to its point.
    first->BlendWeight = 0.0f;
    place(blendCamera, 1.0f);
    test::expectNear(blendCamera->goalPosition, {10, 10, 0});
    // Standing on a point gives that member the whole weight.
    first->BlendWeight = 1.0f;
    place(blendCamera, 1.0f);
    test::expectNear(blendCamera->goalPosition, {2, 10, 0});
    getPlayer(0)->setPosition({30, 0, 0});
    getPlayer(0)->updateAbsolutePosition();
    place(blendCamera, 1.0f);
    test::expectNear(blendCamera->goalPosition, {10, 10, 0});
    getPlayer(0)->setPosition({0, 0, 0});
    getPlayer(0)->updateAbsolutePosition();
    place(blendCamera, 1.0f);
    test::expectNear(blendCamera->goalPosition, {0, 10, 0});
    // No member with a weight: the goal stays where it was.
    first->BlendWeight = second->BlendWeight = 0.0f;
    place(blendCamera, 1.0f);
    test::expectNear(blendCamera->goalPosition, {0, 10, 0});
}

// Only a camera directly inside a blend camera carries a weight in its file.
TEST_F(BlendVolumeTest, OnlyAMemberOfABlendCameraWritesItsWeight) {
    CameraObject* nested = addModeCamera(CameraModeId::Stationary, {}, first);
    first->BlendWeight = 0.25f;
    for (const auto& [camera, written] : {std::pair<CameraObject*, bool>{first, true}, {nested, false}, {blendCamera, false}}) {
        io::IAttributes* out = gameDevice->getFileSystem()->createEmptyAttributes();
        camera->serializeAttributes(out);
        EXPECT_EQ(out->existsAttribute("BlendWeight"), written);
        if (written) {
            EXPECT_EQ(out->getAttributeAsFloat("BlendWeight"), 0.25f);
            // Read back by another member.
            second->BlendWeight = 1.0f;
            second->deserializeAttributes(out);
            EXPECT_EQ(second->BlendWeight, 0.25f);
        }
        out->drop();
    }
}

TEST_F(BlendVolumeTest, AMemberWithoutAPointStopsTheBlend) {
    addPlayer({10, 0, 0});
    place(blendCamera, 1.0f);
    addModeCamera(CameraModeId::Stationary, {50, 50, 50}, blendCamera);
    getPlayer(0)->setPosition({30, 0, 0});
    getPlayer(0)->updateAbsolutePosition();
    place(blendCamera, 1.0f);
    test::expectNear(blendCamera->cameraNode->getAbsolutePosition(), {2, 10, 0});
    EXPECT_EQ(blendOf()->memberCameras.size(), 3u);
    EXPECT_EQ(blendOf()->memberPoints.size(), 2u);
    // A camera inside a member belongs to that member, not to the blend.
    addModeCamera(CameraModeId::Stationary, {60, 60, 60}, first);
    place(blendCamera, 1.0f);
    EXPECT_EQ(blendOf()->memberCameras.size(), 3u);
}

} // namespace
