#include "CameraFixture.h"

#include "camera/CameraRegistration.h"
#include "camera/CameraServices.h"

#include "core/GameSettings.h"
#include "core/Globals.h"
#include "level/SceneNodeBase.h"
#include "gui/GuiHooks.h"
#include "physics/world/PhysicsManager.h"
#include "player/ConfigTentMovementObject.h"
#include "render/RenderServices.h"

using namespace irr;

namespace test {

void CameraFixture::SetUp() {
    LevelFixture::SetUp();
    settings = std::make_unique<GameSettings>(temp.file("PaddlestoneConfig.xml"));
    settings->load(true);
    gameSettings = settings.get();
    movement = new ConfigTentMovementObject(nullptr, smgr(), -1);
    movementObject = movement;
    physics = new PhysicsManager();
    physicsManager = physics;
    ASSERT_TRUE(physics->init());
    registerCameraSubsystem();
    cameras = createCameraManager(0);
    cameraManagers[0] = cameras;
    cameras->onLevelLoaded();
}

void CameraFixture::TearDown() {
    destroyCameraManager(cameras);
    cameraManagers[0] = nullptr;
    cutsceneRunning = false;
    resetCameraServices();
    resetRenderServices();
    resetGuiHooks();
    smgr()->clear();
    delete physics;
    physicsManager = nullptr;
    movementObject = nullptr;
    movement->drop();
    gameSettings = nullptr;
    settings.reset();
    LevelFixture::TearDown();
}

CameraObject* CameraFixture::addCamera(const core::vector3df& position, s32 priority, const core::vector3df& rotation) {
    auto* camera = new CameraObject(root(), smgr(), -1);
    camera->drop();
    camera->setPosition(position);
    camera->setRotation(rotation);
    camera->updateAbsolutePosition();
    camera->PriorityLevel = priority;
    // The first frame aims from where the engine camera stood before it was placed; a
    // second, undamped one settles the aim without a frame time.
    animate(camera);
    const bool damping = camera->DisableDamping;
    camera->DisableDamping = true;
    animate(camera);
    camera->DisableDamping = damping;
    return camera;
}

void CameraFixture::animate(CameraObject* camera) {
    ++levelAnimateFrame;
    camera->updateAbsolutePosition();
    camera->OnAnimate(0);
}

} // namespace test
