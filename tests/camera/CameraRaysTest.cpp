// Camera rays: which objects block them, which fade, how long a fade lasts, and how level
// cameras and the game camera are pulled in front of blocking objects.
#include "CameraFixture.h"

#include "camera/CameraTransition.h"
#include "camera/GameCamera.h"

#include "core/Globals.h"
#include "phys/Actor.h"
#include "phys/Shape.h"
#include "physics/objects/PhysicsObject.h"
#include "physics/special/AdvancedPhysicsObject.h"
#include "physics/special/TieObject.h"
#include "physics/world/PhysicsManager.h"
#include "physics/world/PhysicsUserData.h"
#include "render/ShaderManager.h"
#include "support/StubPlayer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

using namespace irr;

namespace {

// A level object of a kind that is no physics object, carrying a body record of its own.
class OtherNode : public LevelObject {
public:
    OtherNode(scene::ISceneNode* parent, scene::ISceneManager* manager, scene::ESCENE_NODE_TYPE kind)
        : LevelObject(parent, manager, -1), kind(kind) {}
    scene::ESCENE_NODE_TYPE getType() const override { return kind; }
    scene::ESCENE_NODE_TYPE kind;
};

struct OccluderFlags {
    bool clip = false;
    bool transparent = false;
};

class CameraRaysTest : public test::CameraFixture {
protected:
    void SetUp() override {
        CameraFixture::SetUp();
        shaders = std::make_unique<ShaderManager>();
        shaders->shaderLevel = 2;
        shaderManager = shaders.get();
    }
    void TearDown() override {
        shaderManager = nullptr;
        shaders.reset();
        records.clear();
        CameraFixture::TearDown();
    }

    // A ball of radius 1 at the point: a physics object of the kind ('phsx', 'apsx' or
    // 'ties') with the camera flags, or for any other kind a node of that kind whose ball
    // carries its record.
    scene::ISceneNode* addOccluder(const core::vector3df& at, OccluderFlags how, const char (&kind)[5] = "phsx",
                                   const char* state = "Static") {
        const std::string type = kind;
        if (type != "phsx" && type != "apsx" && type != "ties")
            return addOtherNode(at, typeId(kind));
        PhysicsObject* object = type == "apsx"   ? new AdvancedPhysicsObject(root(), smgr(), -1)
                                : type == "ties" ? new TieObject(root(), smgr(), -1)
                                                 : new PhysicsObject(root(), smgr(), -1);
        object->drop();
        io::IAttributes* keys = smgr()->getFileSystem()->createEmptyAttributes();
        keys->addVector3d("Position", at);
        keys->addEnum("BoundType", "Sphere", boundTypeNames);
        keys->addFloat("Radius", 1.0f);
        keys->addEnum("PhysicsState", state, physicsStateNames);
        object->deserializeAttributes(keys);
        keys->drop();
        object->updateAbsolutePosition();
        object->ClipObject = how.clip;
        object->ClipTransparent = how.transparent;
        EXPECT_NE(object->getActor(), nullptr) << kind;
        return object;
    }
    scene::ISceneNode* addOtherNode(const core::vector3df& at, scene::ESCENE_NODE_TYPE kind) {
        auto* node = new OtherNode(root(), smgr(), kind);
        node->drop();
        auto record = std::make_unique<PhysicsUserData>(node);
        addBall(at, record.get());
        records.push_back(std::move(record));
        return node;
    }
    // A static ball whose shape carries the user data.
    void addBall(const core::vector3df& at, void* userData) {
        phys::RigidActor* actor =
            physics->createSphereActor(phys::Transform(phys::Vec3(at.X, at.Y, at.Z)), 1.0f, 1.0f, 0.5f, 0.1f, true, false);
        ASSERT_NE(actor, nullptr);
        phys::Shape* shape = nullptr;
        actor->getShapes(&shape, 1);
        shape->userData = userData;
    }
    // The camera fade of a physics object (1 for any other node).
    static f32 fadeOf(scene::ISceneNode* node) {
        PhysicsObject* object = asPhysicsObject(node);
        return object ? object->mesh().fadeAlphaTarget : 1.0f;
    }

    std::vector<std::unique_ptr<PhysicsUserData>> records;
    std::unique_ptr<ShaderManager> shaders;
};

TEST_F(CameraRaysTest, EachKindOfObjectBlocksFadesOrIsIgnored) {
    struct Row {
        const char* title;
        const char* kind;
        const char* state;
        OccluderFlags how;
        bool blocks;
        bool recorded;
        f32 fade;
    };
    const Row rows[] = {
        {"clip object", "phsx", "Static", {true, false}, true, false, 1.0f},
        {"transparent", "phsx", "Static", {false, true}, false, true, 0.5f},
        {"plain static", "phsx", "Static", {false, false}, false, true, 1.0f},
        {"dynamic", "phsx", "Dynamic", {true, true}, false, false, 1.0f},
        {"kinematic", "phsx", "Kinematic", {true, true}, false, false, 1.0f},
        {"anchored dynamic", "apsx", "Dynamic", {true, false}, true, false, 1.0f},
        {"tie", "ties", "Static", {false, true}, false, true, 0.5f},
        {"trigger", "trgr", "Static", {true, true}, false, false, 1.0f},
    };
    f32 x = 0.0f;
    for (const Row& row : rows) {
        x += 10.0f;
        scene::ISceneNode* node = addOccluder({x, 0, 0}, row.how, *reinterpret_cast<const char(*)[5]>(row.kind),
                                              row.state);
        core::vector3df hit;
        const bool blocked = cameras->raycast({x, 0, -10}, {x, 0, 10}, hit);
        EXPECT_EQ(blocked, row.blocks) << row.title;
        if (blocked)
            test::expectNear(hit, {x, 0, -1}, 1e-3f);
        EXPECT_EQ(cameras->fadedNodes.linear_search(node) >= 0, row.recorded) << row.title;
        EXPECT_EQ(fadeOf(node), row.fade) << row.title;
    }
}

TEST_F(CameraRaysTest, TheControllersOwnShapesNeverBlockOrFade) {
    // The controller's shapes carry the marker value in place of a record.
    addBall({0, 0, 0}, reinterpret_cast<void*>(std::uintptr_t(controllerShapeMarker)));
    core::vector3df hit;
    EXPECT_FALSE(cameras->raycast({0, 0, -10}, {0, 0, 10}, hit));
    EXPECT_EQ(cameras->fadedNodes.size(), 0u);
}

TEST_F(CameraRaysTest, WithoutShaderLightingPassedObjectsAreRecordedButNotFaded) {
    shaders->graphicsQuality = 2;
    scene::ISceneNode* node = addOccluder({0, 0, 0}, {false, true});
    core::vector3df hit;
    cameras->raycast({0, 0, -10}, {0, 0, 10}, hit);
    EXPECT_EQ(cameras->fadedNodes.size(), 1u);
    EXPECT_EQ(fadeOf(node), 1.0f);
}

TEST_F(CameraRaysTest, AFadeLastsExactlyWhileARayPasses) {
    scene::ISceneNode* node = addOccluder({0, 0, 0}, {false, true});
    cameras->update(0.0167f);
    core::vector3df hit;
    cameras->raycast({0, 0, -10}, {0, 0, 10}, hit);
    EXPECT_EQ(fadeOf(node), 0.5f);
    // The next frame casts no ray through it: it is opaque again and forgotten.
    cameras->update(0.0167f);
    EXPECT_EQ(fadeOf(node), 1.0f);
    EXPECT_EQ(cameras->fadedNodes.size(), 0u);
}

class FollowedBody : public test::StubPlayer {
public:
    using StubPlayer::StubPlayer;
};

TEST_F(CameraRaysTest, BodyRaysPullAClippingCameraInAndFadeForOthers) {
    auto* body = new FollowedBody(root(), smgr(), -1);
    body->drop();
    body->updateAbsolutePosition();
    cameras->followedNode = body;
    scene::ISceneNode* wall = addOccluder({0, 0, -10}, {true, false});
    scene::ISceneNode* glass = addOccluder({0, 0, -5}, {false, true});

    CameraObject* clipping = addCamera({0, 0, -20});
    clipping->CameraMode = CameraModeId::FixedAngle;
    ASSERT_TRUE(clipping->clipsObjects());
    cameras->pushCamera(clipping, nullptr, 1.0f, false);
    cameras->update(0.0167f);
    test::expectNear(cameras->mainCamera->getPosition(), {0, 0, -9}, 1e-3f);
    EXPECT_EQ(fadeOf(glass), 0.5f);

    // A camera that does not clip stays behind the wall; the rays still fade the glass.
    cameras->removeCamera(clipping);
    cameras->onLevelLoaded();
    cameras->followedNode = body;
    CameraObject* plain = addCamera({0, 0, -20});
    cameras->pushCamera(plain, nullptr, 1.0f, false);
    cameras->update(0.0167f);
    test::expectNear(cameras->mainCamera->getPosition(), {0, 0, -20}, 1e-3f);
    EXPECT_EQ(fadeOf(glass), 0.5f);
    EXPECT_EQ(fadeOf(wall), 1.0f);
}

TEST_F(CameraRaysTest, TheGameCameraStopsInFrontOfABlockingObject) {
    cameras->update(0.0167f); // the game camera is activated
    cameras->update(0.0167f); // and has arrived
    GameCamera* game = cameras->gameCamera;
    // Yaw 90, pitch 0: the camera stands 12 units along -Z from the origin.
    game->pitch = 10.0f;
    for (int frame = 0; frame < 300; ++frame)
        game->step(0.0167f, {});
    EXPECT_FALSE(game->pulledIn);
    addOccluder(game->smoothedPosition * 0.5f, {true, false});
    game->step(0.0167f, {});
    ASSERT_TRUE(game->pulledIn);
    const core::vector3df toFocus = (game->focusPoint - game->smoothedPosition).normalize();
    const core::vector3df position = game->cameraNode->getPosition();
    // One unit in front of the ball's surface, on the line to the focus point.
    EXPECT_NEAR(position.getDistanceFrom(game->smoothedPosition * 0.5f), 2.0f, 1e-2f);
    EXPECT_NEAR((position - game->smoothedPosition).normalize().dotProduct(toFocus), 1.0f, 1e-4f);
    EXPECT_NEAR(game->pulledInDistance, position.getDistanceFrom(game->focusPoint), 1e-4f);
    // While another camera leads the view, the game camera stays where it is meant to be.
    CameraObject* level = addCamera({30, 0, 0});
    cameras->pushCamera(level, nullptr, 0.0f, false);
    cameras->update(0.0167f); // the level camera has arrived
    ASSERT_EQ(cameras->getOverrideCamera(), level);
    ASSERT_GE(cameras->transition->positionBlend, 1.0f);
    game->step(0.0167f, {});
    EXPECT_FALSE(game->pulledIn);
    test::expectNear(game->cameraNode->getPosition(), game->smoothedPosition, 1e-4f);
}

} // namespace
