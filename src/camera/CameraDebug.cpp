#include "camera/CameraManager.h"
#include "camera/FreeFlyCameraAnimator.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "player/InputEvent.h"
#include "player/InputManager.h"
#include "player/devices/KeyboardDevice.h"

using namespace irr;

namespace {
bool debugKeyPressed(const InputManager* input, EKEY_CODE key) {
    const KeyboardDevice* keyboard = input ? input->getKeyboard() : nullptr;
    return keyboard && keyboard->keyState(key) == InputState::Pressed;
}
} // namespace

void CameraManager::createDebugCamera() {
    scene::ISceneManager* scene = sceneManager();
    if (debugCamera || !scene)
        return;
    debugCamera = scene->addCameraSceneNode(scene->getRootSceneNode(), core::vector3df(), core::vector3df(0.0f, 0.0f, 100.0f),
                                            -1, false);
    if (!debugCamera)
        return;
    const SKeyMap keys[] = {{EKA_MOVE_FORWARD, KEY_UP},     {EKA_MOVE_FORWARD, KEY_KEY_W},
                            {EKA_MOVE_BACKWARD, KEY_DOWN},  {EKA_MOVE_BACKWARD, KEY_KEY_S},
                            {EKA_STRAFE_LEFT, KEY_LEFT},    {EKA_STRAFE_LEFT, KEY_KEY_A},
                            {EKA_STRAFE_RIGHT, KEY_RIGHT},  {EKA_STRAFE_RIGHT, KEY_KEY_D}};
    auto* animator = new FreeFlyCameraAnimator(gameDevice ? gameDevice->getCursorControl() : nullptr, 180.0f, 10.0f,
                                               0.0f, keys, 8, false);
    debugCamera->addAnimator(animator);
    animator->drop();
    if (screenHeight > 0)
        debugCamera->setAspectRatio(f32(screenWidth) / f32(screenHeight));
    debugCamera->setFOV(camera::defaultFov);
    debugCamera->setFarValue(10000.0f);
    debugCamera->setNearValue(camera::defaultNearValue);
    debugCamera->setIsDebugObject(true);
    debugCamera->setName("DebugCamera");
    debugCamera->setInputReceiverEnabled(false);
}

void CameraManager::handleDebugKeys() {
    InputManager* input = inputManager ? inputManager : ::inputManager;
    scene::ISceneManager* scene = sceneManager();
    if (debugKeyPressed(input, KEY_F11)) {
        overridesDisabled = !overridesDisabled;
        logMessage("Toggle Disable Override Cameras");
    }
    if (debugKeyPressed(input, KEY_F9)) {
        createDebugCamera();
        const bool input = debugCamera && debugCamera->isInputReceiverEnabled();
        if (!freeCamera && !input) {
            freeCamera = true;
            if (debugCamera)
                debugCamera->setInputReceiverEnabled(true);
            logMessage("Toggle Override to Free Cam");
        } else if (freeCamera && input) {
            // The view freezes and the cursor is free.
            debugCamera->setInputReceiverEnabled(false);
            logMessage("Toggle Override to Free Cam - Input locked.");
        } else if (freeCamera) {
            freeCamera = false;
            if (scene && mainCamera)
                scene->setActiveCamera(mainCamera);
            logMessage("Toggle Override from Free Cam back to Game Cam.");
        } else {
            freeCamera = true;
            if (scene && mainCamera)
                scene->setActiveCamera(mainCamera);
            logMessage("Toggle Override from Free Cam back to Game Cam.");
        }
    }
    if (debugKeyPressed(input, KEY_END)) {
        if (freeCamera) {
            if (scene && mainCamera)
                scene->setActiveCamera(mainCamera);
            logMessage("Toggle Override from Free Cam back to Game Cam.");
        }
        freeCamera = false;
    }
}

void CameraManager::updateFreeCamera() {
    scene::ISceneManager* scene = sceneManager();
    if (!debugCamera || !scene || !mainCamera || scene->getActiveCamera() == debugCamera)
        return;
    core::vector3df direction = mainCamera->getTarget() - mainCamera->getAbsolutePosition();
    direction.normalize();
    direction *= 70.0f;
    scene->setActiveCamera(debugCamera);
    debugCamera->setPosition(mainCamera->getPosition());
    debugCamera->setFOV(mainCamera->getFOV());
    debugCamera->setTarget(mainCamera->getPosition() + direction);
    debugCamera->setUpVector(core::vector3df(0.0f, 1.0f, 0.0f));
    debugCamera->setInputReceiverEnabled(true);
}

void CameraManager::leaveFreeCamera() {
    if (!freeCamera)
        return;
    freeCamera = false;
    if (debugCamera)
        debugCamera->setInputReceiverEnabled(false);
    scene::ISceneManager* scene = sceneManager();
    if (scene && mainCamera)
        scene->setActiveCamera(mainCamera);
}
