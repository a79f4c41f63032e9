#include "camera/CameraRegistration.h"

#include "camera/CameraManager.h"
#include "camera/CameraObject.h"
#include "camera/CameraPoints.h"
#include "camera/CameraServices.h"
#include "camera/CutsceneObject.h"
#include "camera/CameraTransition.h"
#include "camera/GUICutscene.h"

#include "core/Delegate.h"
#include "core/Globals.h"
#include "core/Log.h"
#include "core/Stopwatch.h"
#include "gui/GuiHooks.h"
#include "level/LevelHooks.h"
#include "level/LevelInfo.h"
#include "level/LevelManager.h"
#include "level/SceneNodeTypes.h"
#include "physics/world/PhysicsManager.h"
#include "render/EffectHandler.h"
#include "render/RenderServices.h"

using namespace irr;

bool cutsceneRunning = false;

namespace {
CameraServices cameraServiceTable;
} // namespace

CameraServices& cameraServices() { return cameraServiceTable; }
void resetCameraServices() { cameraServiceTable = CameraServices{}; }

namespace camera {
f32 frameSeconds() { return frameStopwatch ? frameStopwatch->delta() : 0.0f; }
bool isLevelRunning() { return physicsManager && physicsManager->isRunning(); }
f32 firstManagerFarValue() { return cameraManagers[0] ? cameraManagers[0]->defaultFarValue : defaultFarValue; }
f32 firstManagerFovNarrowing() { return cameraManagers[0] ? cameraManagers[0]->fovNarrowing : 0.0f; }
bool isGameInputAllowed() {
    const auto& allowed = cameraServices().screens.isInputAllowed;
    return !allowed || allowed();
}
bool cutsceneBarsShown() {
    const GUICutscene* screen = cutsceneScreen();
    return screen && screen->getBarAmount() != 0.0f;
}
GUICutscene* cutsceneScreen() {
    const auto& screen = cameraServices().screens.cutsceneScreen;
    return screen ? screen() : nullptr;
}

PlayerObject* firstPlayer() { return playerCount() > 0 ? getPlayer(0) : nullptr; }

core::vector3df forwardFromDegrees(const core::vector3df& degrees) {
    core::matrix4 rotation;
    rotation.setRotationDegrees(degrees);
    core::vector3df forward(0.0f, 0.0f, 1.0f);
    rotation.rotateVect(forward);
    return forward;
}

core::vector3df forwardOf(const scene::ISceneNode* node) {
    return node ? forwardFromDegrees(node->getAbsoluteTransformation().getRotationDegrees()) : core::vector3df(0.0f, 0.0f, 1.0f);
}

f32 displayAspect() {
    return displayWidth > 0 && displayHeight > 0 ? f32(displayWidth) / f32(displayHeight) : 16.0f / 9.0f;
}

bool splitScreenOn() { return effectHandler && effectHandler->splitScreen; }

scene::ISceneNode* levelNode(s32 id) { return levelManager ? levelManager->getSceneNodeFromID(id) : nullptr; }

video::IVideoDriver* beginDebugLines(const scene::ISceneNode* node) {
    scene::ISceneManager* scene = node ? node->getSceneManager() : nullptr;
    video::IVideoDriver* driver = scene ? scene->getVideoDriver() : nullptr;
    if (!driver)
        return nullptr;
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    video::SMaterial material;
    material.Lighting = false;
    material.Thickness = 3.0f;
    driver->setMaterial(material);
    return driver;
}
} // namespace camera

CameraManager* createCameraManager(int viewport) {
    logMessage("Creating CameraManager.");
    auto* manager = new CameraManager(u32(viewport));
    // The level manager exists before the cameras: their level events bind here.
    if (levelManager) {
        levelManager->onLevelLoadStarted.addMember(manager, &CameraManager::onLevelLoaded);
        levelManager->onLevelUnloaded.addMember(manager, &CameraManager::resetLevelCameras);
    }
    return manager;
}

void destroyCameraManager(CameraManager* manager) {
    if (!manager)
        return;
    if (levelManager) {
        levelManager->onLevelLoadStarted.removeMember(manager, &CameraManager::onLevelLoaded);
        levelManager->onLevelUnloaded.removeMember(manager, &CameraManager::resetLevelCameras);
    }
    delete manager;
}

namespace {
// The first camera manager activates the camera object of the ID, if it is one.
void setInitialCamera(s32 cameraID) {
    if (cameraID == 0 || cameraID == -1)
        return;
    CameraManager* manager = cameraManagers[0];
    scene::ISceneNode* node = levelManager ? levelManager->getSceneNodeFromID(cameraID) : nullptr;
    if (!manager || !node || !isTypeOf(node->getType(), typeId("cmro")))
        return;
    CameraActivation activation;
    activation.camera = static_cast<CameraObject*>(node);
    manager->setActiveCamera(activation);
}

void fillCameraLevelSlots(LevelHookTable::Camera& hooks) {
    hooks.applyLevelSettings = [](const LevelSettings& settings, s32 spawnCameraID) {
        if (cameraManagers[0])
            cameraManagers[0]->defaultFarValue = settings.DefaultFarValue;
        setInitialCamera(settings.InitialCameraID);
        // A level restored at a checkpoint used as the spawn starts with the checkpoint's camera.
        setInitialCamera(spawnCameraID);
    };
}

void fillCameraGuiSlots(GuiCameraHooks& hooks) {
    hooks.menuCamera = []() -> scene::ISceneNode* {
        CameraManager* manager = cameraManagers[0];
        return manager ? manager->getOverrideCamera() : nullptr;
    };
    hooks.setCameraOffset = [](scene::ISceneNode* node, const core::vector3df& offset) {
        if (node && isTypeOf(node->getType(), typeId("cmro")))
            static_cast<CameraObject*>(node)->positionOffset = offset;
    };
}
} // namespace

void registerCameraSubsystem() {
    fillCameraLevelSlots(levelHooks().camera);
    fillCameraGuiSlots(guiHooks().camera);
    renderServices().cameras.viewportCamera = [](s32 viewport) -> scene::ICameraSceneNode* {
        CameraManager* manager = getCameraManager(viewport);
        return manager ? manager->getViewportCamera() : nullptr;
    };
    registerCameraObjectType();
    registerCameraPointTypes();
    registerCutsceneObjectType();
}
