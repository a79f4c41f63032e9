// Camera objects: their attributes, the mode fallbacks, the look-at point, the clamp box and
// clones.
#include "CameraFixture.h"

#include "camera/CameraCommon.h"
#include "core/Globals.h"
#include "gui/GuiHooks.h"
#include "level/LevelManager.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace irr;

namespace {

struct AttributesDeleter {
    void operator()(io::IAttributes* a) const { a->drop(); }
};
using Attributes = std::unique_ptr<io::IAttributes, AttributesDeleter>;

class CameraObjectTest : public test::CameraFixture {
protected:
    Attributes attributes() { return Attributes(gameDevice->getFileSystem()->createEmptyAttributes()); }
    Attributes written(const CameraObject* camera) {
        Attributes out = attributes();
        camera->serializeAttributes(out.get());
        return out;
    }
    std::vector<std::string> keys(io::IAttributes* a) {
        std::vector<std::string> names;
        for (u32 i = 0; i < a->getAttributeCount(); ++i)
            names.emplace_back(a->getAttributeName(s32(i)));
        return names;
    }
    bool has(io::IAttributes* a, const char* key) { return a->existsAttribute(key); }
};

TEST_F(CameraObjectTest, ANewCameraHasTheDocumentedDefaults) {
    CameraObject* camera = addCamera({});
    EXPECT_EQ(camera->getType(), typeId("cmro"));
    EXPECT_EQ(camera->CameraMode, 0);
    EXPECT_EQ(camera->CameraTargetMode, 0);
    EXPECT_EQ(camera->getBoundingBox(), core::aabbox3df(-1, -1, -1, 1, 1, 1));
    EXPECT_EQ(camera->ClampMin, core::vector3df(-100.0f));
    EXPECT_EQ(camera->ClampMax, core::vector3df(100.0f));
    EXPECT_EQ(camera->Distance, 10.0f);
    EXPECT_EQ(camera->NearValue, 0.1f); // the first frame takes the default near plane
    EXPECT_EQ(camera->FarValue, 100.0f);
    EXPECT_TRUE(camera->ClipObjects);
    EXPECT_TRUE(camera->UseDefaultFarValue);
    EXPECT_TRUE(camera->UseDefaultNearValue);
    ASSERT_NE(camera->cameraNode, nullptr);
    EXPECT_TRUE(camera->cameraNode->isDebugObject());
    EXPECT_NEAR(camera->cameraNode->getAspectRatio(), 1.7777778f, 1e-6f);
    EXPECT_FALSE(camera->clipsObjects());
}

TEST_F(CameraObjectTest, EveryAttributeSurvivesAWriteAndARead) {
    CameraObject* source = addCamera({1, 2, 3}, 7);
    source->CameraMode = CameraModeId::FixedAngle;
    source->Distance = 14.5f;
    source->ClipObjects = false;
    source->FocalOffset = {0.5f, 1.0f, -2.0f};
    source->TargetTentaroIfOffscreen = true;
    source->cameraNode->setFOV(45.0f * camera::degreesToRadians);
    source->UseDefaultFarValue = false;
    source->FarValue = 250.0f;
    source->UseDefaultNearValue = false;
    source->NearValue = 0.5f;
    source->ShadowMapMultiplier = 2.0f;
    source->DisableDamping = true;
    source->BlockArmsModeZoom = true;
    source->DisablePlayerControl = true;
    source->ClampBounds = true;
    source->ClampMin = {-5, -6, -7};
    source->ClampMax = {5, 6, 7};
    Attributes out = written(source);
    EXPECT_EQ(std::string(out->getAttributeAsString("CameraMode").c_str()), "FixedAngle");
    EXPECT_NEAR(out->getAttributeAsFloat("FOV"), 45.0f, 1e-3f);

    CameraObject* copy = addCamera({});
    copy->deserializeAttributes(out.get());
    EXPECT_EQ(copy->PriorityLevel, 7);
    EXPECT_EQ(copy->CameraMode, CameraModeId::FixedAngle);
    EXPECT_EQ(copy->Distance, 14.5f);
    EXPECT_FALSE(copy->ClipObjects);
    EXPECT_EQ(copy->FocalOffset, core::vector3df(0.5f, 1.0f, -2.0f));
    EXPECT_TRUE(copy->TargetTentaroIfOffscreen);
    EXPECT_NEAR(copy->cameraNode->getFOV(), 45.0f * camera::degreesToRadians, 1e-5f);
    EXPECT_EQ(copy->FarValue, 250.0f);
    EXPECT_EQ(copy->cameraNode->getFarValue(), 250.0f);
    EXPECT_EQ(copy->NearValue, 0.5f);
    EXPECT_EQ(copy->cameraNode->getNearValue(), 0.5f);
    EXPECT_EQ(copy->ShadowMapMultiplier, 2.0f);
    EXPECT_TRUE(copy->DisableDamping);
    EXPECT_TRUE(copy->BlockArmsModeZoom);
    EXPECT_TRUE(copy->DisablePlayerControl);
    EXPECT_TRUE(copy->ClampBounds);
    EXPECT_EQ(copy->ClampMin, core::vector3df(-5, -6, -7));
    EXPECT_EQ(copy->ClampMax, core::vector3df(5, 6, 7));

    // The switches the other way round, neighbours apart: each is written under its own name.
    source->TargetTentaroIfOffscreen = false;
    source->DisableDamping = false;
    source->BlockArmsModeZoom = false;
    source->DisablePlayerControl = true;
    source->ClipObjects = true;
    Attributes again = written(source);
    CameraObject* second = addCamera({});
    second->deserializeAttributes(again.get());
    EXPECT_FALSE(second->TargetTentaroIfOffscreen);
    EXPECT_FALSE(second->DisableDamping);
    EXPECT_FALSE(second->BlockArmsModeZoom);
    EXPECT_TRUE(second->DisablePlayerControl);
    EXPECT_TRUE(second->ClipObjects);
}

// An object-lock camera writes its lock settings, and its object target writes no ratio (it
// aims straight at the object); a stationary camera aiming at an object keeps its ratio.
TEST_F(CameraObjectTest, ObjectCamerasWriteTheirLockAndTargetSettings) {
    for (bool followPlayerHeight : {true, false}) {
        Attributes in = attributes();
        in->addString("CameraMode", "Object Lock");
        in->addInt("ObjectLockID", 12);
        in->addFloat("ObjectLockHeight", 2.5f);
        in->addBool("FollowTentaroY", followPlayerHeight);
        CameraObject* camera = addCamera({});
        camera->deserializeAttributes(in.get());
        Attributes out = written(camera);
        EXPECT_EQ(out->getAttributeAsInt("ObjectLockID"), 12);
        EXPECT_EQ(out->getAttributeAsFloat("ObjectLockHeight"), 2.5f);
        EXPECT_EQ(out->getAttributeAsBool("FollowTentaroY"), followPlayerHeight);
        EXPECT_FALSE(has(out.get(), "TargetRatio"));
    }
    Attributes in = attributes();
    in->addString("CameraMode", "Stationary");
    in->addString("CameraTargetMode", "ObjectID");
    in->addInt("ObjectID", 5);
    in->addFloat("TargetRatio", 0.25f);
    CameraObject* camera = addCamera({});
    camera->deserializeAttributes(in.get());
    ASSERT_EQ(camera->CameraTargetMode, CameraTargetId::ObjectID);
    Attributes out = written(camera);
    EXPECT_EQ(out->getAttributeAsInt("ObjectID"), 5);
    EXPECT_EQ(out->getAttributeAsFloat("TargetRatio"), 0.25f);
}

TEST_F(CameraObjectTest, KeysAreWrittenOnlyWhereTheirModeUsesThem) {
    struct Row {
        s32 mode;
        s32 target;
        std::vector<const char*> present;
        std::vector<const char*> absent;
    };
    const Row rows[] = {
        {CameraModeId::Stationary, CameraTargetId::Default,
         {"PriorityLevel", "CameraMode", "FocalOffset", "CameraTargetMode", "TargetTentaroIfOffscreen", "FOV",
          "UseDefaultFarValue", "UseDefaultNearValue", "ShadowMapMultiplier", "DisableDamping",
          "BlockArmsModeZoom", "DisablePlayerControl", "ClampBounds"},
         {"Distance", "ClipObjects", "ShoulderOffset", "TargetRatio", "FarValue", "NearValue", "BlendWeight",
          "ClampMin", "ClampMax"}},
        {CameraModeId::FixedAngle, CameraTargetId::Tentaro, {"Distance", "ClipObjects", "CameraTargetMode"},
         {"TargetRatio", "TargetTentaroIfOffscreen", "ShoulderOffset"}},
        {CameraModeId::Stationary, CameraTargetId::Tentaro, {"TargetRatio"}, {"TargetTentaroIfOffscreen"}},
        {CameraModeId::Spline, CameraTargetId::Tentaro, {"TargetRatio"}, {"TargetTentaroIfOffscreen"}},
        {CameraModeId::CircleTrack, CameraTargetId::Tentaro, {"CameraTargetMode"}, {"TargetRatio"}},
        {CameraModeId::ObjectLock, CameraTargetId::ObjectID, {"ShoulderOffset"}, {"CameraTargetMode", "Distance"}},
    };
    for (const Row& row : rows) {
        CameraObject* camera = addCamera({});
        camera->CameraMode = row.mode;
        camera->CameraTargetMode = row.target;
        Attributes out = written(camera);
        for (const char* key : row.present)
            EXPECT_TRUE(has(out.get(), key)) << key << " in mode " << row.mode;
        for (const char* key : row.absent)
            EXPECT_FALSE(has(out.get(), key)) << key << " in mode " << row.mode;
    }
}

TEST_F(CameraObjectTest, ReadingAppliesTheModeRules) {
    struct Row {
        const char* mode;
        const char* target; // null: key absent
        s32 expectedMode;
        s32 expectedTarget;
    };
    const Row rows[] = {
        {"Stationary", "Default", CameraModeId::Stationary, CameraTargetId::Default},
        {"Circle Track", "Tentaro", CameraModeId::CircleTrack, CameraTargetId::Tentaro},
        {"Object Lock", nullptr, CameraModeId::ObjectLock, CameraTargetId::ObjectID},
        {"Dolly Zoom", "Nowhere", CameraModeId::Stationary, CameraTargetId::Default},
        {nullptr, "Tentaro", CameraModeId::Stationary, CameraTargetId::Tentaro}, // mode key absent
    };
    for (const Row& row : rows) {
        Attributes in = attributes();
        if (row.mode)
            in->addString("CameraMode", row.mode);
        if (row.target)
            in->addString("CameraTargetMode", row.target);
        in->addFloat("TargetRatio", 0.25f);
        CameraObject* camera = addCamera({});
        camera->deserializeAttributes(in.get());
        EXPECT_EQ(camera->CameraMode, row.expectedMode) << row.mode;
        EXPECT_EQ(camera->CameraTargetMode, row.expectedTarget) << row.mode;
        ASSERT_NE(camera->positionMode, nullptr);
        ASSERT_NE(camera->targetMode, nullptr);
        EXPECT_EQ(camera->targetMode->TargetRatio, row.expectedMode == CameraModeId::ObjectLock ? 1.0f : 0.25f);
    }
}

TEST_F(CameraObjectTest, OnlyFixedAngleAndSplineCamerasReadClipObjects) {
    for (s32 mode = 0; cameraModeNames[mode]; ++mode) {
        Attributes in = attributes();
        in->addString("CameraMode", cameraModeNames[mode]);
        in->addBool("ClipObjects", false);
        CameraObject* camera = addCamera({});
        camera->deserializeAttributes(in.get());
        EXPECT_EQ(camera->ClipObjects, mode != CameraModeId::FixedAngle && mode != CameraModeId::Spline)
            << cameraModeNames[mode];
    }
}

TEST_F(CameraObjectTest, DefaultsOfTheManagerAndTheModeWinOverTheFile) {
    cameras->defaultFarValue = 321.0f;
    Attributes in = attributes();
    in->addBool("UseDefaultFarValue", true);
    in->addFloat("FarValue", 50.0f);
    in->addBool("ClipObjects", false); // ignored on a Stationary camera
    in->addFloat("Distance", 3.0f);    // likewise
    in->addFloat("FOV", 90.0f);
    CameraObject* camera = addCamera({});
    camera->deserializeAttributes(in.get());
    EXPECT_EQ(camera->FarValue, 321.0f);
    EXPECT_EQ(camera->cameraNode->getFarValue(), 321.0f);
    EXPECT_EQ(camera->NearValue, 0.1f);
    EXPECT_TRUE(camera->ClipObjects);
    EXPECT_EQ(camera->Distance, 10.0f);
    EXPECT_NEAR(camera->cameraNode->getFOV(), 90.0f * 0.0174532924f, 1e-6f);

    // A file without "FOV" keeps the angle (a zero angle would have no projection).
    Attributes noFov = attributes();
    camera->deserializeAttributes(noFov.get());
    EXPECT_NEAR(camera->cameraNode->getFOV(), 90.0f * 0.0174532924f, 1e-6f);
}

TEST_F(CameraObjectTest, ADefaultTargetLooksTwentyUnitsAheadAndTheLookPointEases) {
    CameraObject* camera = addCamera({0, 5, 0}, 0, {0, 90, 0});
    test::expectNear(camera->cameraNode->getAbsolutePosition(), {0, 5, 0});
    test::expectNear(camera->cameraNode->getTarget(), {20, 5, 0}); // the first frame snaps
    test::expectNear(camera->lookTarget, {20, 5, 0});

    // Turned to look along +Z: without a frame time the look point stays; DisableDamping snaps.
    camera->setRotation({0, 0, 0});
    ++levelAnimateFrame;
    animate(camera);
    test::expectNear(camera->lookTarget, {20, 5, 0});
    camera->DisableDamping = true;
    ++levelAnimateFrame;
    animate(camera);
    test::expectNear(camera->lookTarget, {0, 5, 20});
}

// A menu beside the view shifts the active camera sideways: the offset reaches only camera
// objects and moves the camera's engine camera each frame; the menu's camera is the
// manager's active one.
TEST_F(CameraObjectTest, AMenuOffsetShiftsTheActiveCamera) {
    CameraObject* camera = addCamera({0, 5, 0});
    cameras->pushCamera(camera, nullptr, 0.0f, false);
    const GuiCameraHooks& hooks = guiHooks().camera;
    ASSERT_TRUE(hooks.menuCamera && hooks.setCameraOffset);
    EXPECT_EQ(hooks.menuCamera(), camera);
    hooks.setCameraOffset(camera, {0, 0, 3});
    scene::ISceneNode* plain = smgr()->addEmptySceneNode(root());
    hooks.setCameraOffset(plain, {0, 0, 3}); // not a camera: nothing
    EXPECT_EQ(plain->getPosition(), core::vector3df());
    ++levelAnimateFrame;
    animate(camera);
    test::expectNear(camera->cameraNode->getAbsolutePosition(), {0, 5, 3});
    hooks.setCameraOffset(camera, {});
    ++levelAnimateFrame;
    animate(camera);
    test::expectNear(camera->cameraNode->getAbsolutePosition(), {0, 5, 0});
    cameras->overridesDisabled = true;
    EXPECT_EQ(hooks.menuCamera(), nullptr);
    cameras->overridesDisabled = false;
}

TEST_F(CameraObjectTest, TheClampBoxHoldsTheCameraUnlessTheViewNarrows) {
    struct Row {
        f32 narrowing;
        core::vector3df expected;
    };
    const Row rows[] = {{0.0f, {10, 5, 0}}, {0.5f, {30, 5, 0}}, {0.375f, {20, 5, 0}}};
    for (const Row& row : rows) {
        cameras->fovNarrowing = row.narrowing;
        CameraObject* camera = addCamera({30, 5, 0});
        camera->ClampBounds = true;
        camera->ClampMin = {-10, -10, -10};
        camera->ClampMax = {10, 10, 10};
        ++levelAnimateFrame;
        animate(camera);
        test::expectNear(camera->cameraNode->getPosition(), row.expected, 1e-3f);
    }
}

// A fixed-angle camera pushed back into its clamp box keeps its angle: its look point
// moves with it; another camera keeps looking at the same point.
TEST_F(CameraObjectTest, TheClampBoxMovesAFixedAngleCamerasLookPointAlong) {
    cameras->fovNarrowing = 0.0f;
    for (s32 mode : {CameraModeId::FixedAngle, CameraModeId::Stationary}) {
        CameraObject* camera = addCamera({});
        camera->CameraMode = mode;
        camera->ClampBounds = true;
        camera->ClampMin = {-10, -10, -10};
        camera->ClampMax = {10, 10, 10};
        camera->cameraNode->setPosition({30, 5, 0});
        camera->cameraNode->setTarget({30, 5, 20});
        camera->applyClampBounds();
        test::expectNear(camera->cameraNode->getPosition(), {10, 5, 0});
        test::expectNear(camera->cameraNode->getTarget(),
                         mode == CameraModeId::FixedAngle ? core::vector3df(10, 5, 20) : core::vector3df(30, 5, 20));
    }
}

TEST_F(CameraObjectTest, AClonedCameraCopiesItsSettingsUnderANewID) {
    CameraObject* camera = addCamera({1, 2, 3}, 4);
    camera->setID(40);
    levelManager->registerNodeIDs(camera);
    camera->CameraMode = CameraModeId::FixedAngle;
    camera->Distance = 8.0f;
    camera->ClipObjects = false;
    camera->BlockArmsModeZoom = true;
    camera->ClampMax = {1, 2, 3};
    camera->ClampMin = {-1, -2, -3};
    camera->ClampBounds = true;
    camera->CameraTargetMode = CameraTargetId::Tentaro;
    camera->FocalOffset = {0, 1, 0};
    camera->ShoulderOffset = {2, 0, 0};
    camera->UseDefaultFarValue = false;
    camera->FarValue = 70.0f;
    camera->UseDefaultNearValue = false;
    camera->NearValue = 0.3f;
    camera->DisableDamping = true;
    camera->BlendWeight = 0.5f;
    camera->DisablePlayerControl = true;
    camera->TargetTentaroIfOffscreen = true;
    auto* copy = static_cast<CameraObject*>(camera->clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->getID(), 40);
    EXPECT_EQ(copy->PriorityLevel, 4);
    EXPECT_EQ(copy->CameraMode, CameraModeId::FixedAngle);
    EXPECT_EQ(copy->Distance, 8.0f);
    EXPECT_FALSE(copy->ClipObjects);
    EXPECT_TRUE(copy->BlockArmsModeZoom);
    EXPECT_EQ(copy->ClampMax, core::vector3df(1, 2, 3));
    EXPECT_EQ(copy->ClampMin, core::vector3df(-1, -2, -3));
    EXPECT_TRUE(copy->ClampBounds);
    EXPECT_EQ(copy->CameraTargetMode, CameraTargetId::Tentaro);
    EXPECT_EQ(copy->FocalOffset, core::vector3df(0, 1, 0));
    EXPECT_EQ(copy->ShoulderOffset, core::vector3df(2, 0, 0));
    EXPECT_FALSE(copy->UseDefaultFarValue);
    EXPECT_EQ(copy->FarValue, 70.0f);
    EXPECT_FALSE(copy->UseDefaultNearValue);
    EXPECT_EQ(copy->NearValue, 0.3f);
    EXPECT_TRUE(copy->DisableDamping);
    EXPECT_EQ(copy->BlendWeight, 0.5f);
    EXPECT_TRUE(copy->DisablePlayerControl);
    EXPECT_TRUE(copy->TargetTentaroIfOffscreen);
    EXPECT_NE(copy->positionMode, camera->positionMode);
    EXPECT_EQ(copy->getParent(), camera->getParent());
}

} // namespace
