#include "camera/CameraManager.h"
#include "camera/CameraObject.h"
#include "camera/GameCamera.h"

#include "core/Globals.h"
#include "level/LevelManager.h"
#include "player/GameActions.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/PlayerObject.h"

#include <cmath>

using namespace irr;

namespace {
// A full look-around input turns the view by pi / 8 (22.5 degrees).
constexpr f32 manualLookAngle = 0.3926988f;
constexpr f32 manualEaseRate = 4.0f;

PlayerControls* manualControls(const CameraManager& manager) {
    InputManager* input = manager.inputManager ? manager.inputManager : inputManager;
    return input ? input->getPlayerControls(s32(manager.playerIndex), 0) : nullptr;
}

// One axis: +1 from the first action, -1 from the second, eased toward the goal.
void easeManualAxis(f32& current, f32& goal, PlayerControls* controls, int plusAction, int minusAction, bool open,
                    f32 dt) {
    goal = 0.0f;
    if (open && controls) {
        if (controls->getActionValue(plusAction) != 0.0f)
            goal = 1.0f;
        else if (controls->getActionValue(minusAction) != 0.0f)
            goal = -1.0f;
    }
    current = core::clamp(current + (goal - current) * dt * manualEaseRate, -1.0f, 1.0f);
}
} // namespace

void CameraManager::updateManualControl(f32 dt, core::vector3df& position, core::vector3df& target) {
    CameraObject* active = getOverrideCamera();
    if (!active || active == gameCamera || !mainCamera)
        return;
    const bool blocked = active->DisablePlayerControl;
    PlayerControls* controls = manualControls(*this);

    if (manualCameraAllowed && !blocked && controls && gameCamera) {
        bool any = false;
        for (int action : {GameAction::CameraLeft, GameAction::CameraRight, GameAction::CameraUp,
                           GameAction::CameraDown, GameAction::CameraZoomIn, GameAction::CameraZoomOut})
            if (controls->isActionActive(action)) {
                any = true;
                break;
            }
        if (any) {
            // The player takes the camera back.
            gameCamera->snapToGoal(1.0f);
            const core::vector3df gameLook = gameCamera->targetMode ? gameCamera->targetMode->goalTarget : core::vector3df();
            CameraActivation activation;
            activation.camera = gameCamera;
            activation.speed = gameLook.getDistanceFromSQ(mainCamera->getTarget()) > 1.0f ? 0.2f : 0.0f;
            activation.snap = true;
            gameCamera->PriorityLevel = camera::highestPriority;
            setActiveCamera(activation);
            return;
        }
    }

    const bool suspended = camera::cutsceneBarsShown() || (levelManager && levelManager->loadPending);
    const bool open = camera::isGameInputAllowed() && !blocked && !suspended;
    easeManualAxis(manualYaw, manualYawGoal, controls, GameAction::CameraLeft, GameAction::CameraRight, open, dt);
    easeManualAxis(manualPitch, manualPitchGoal, controls, GameAction::CameraUp, GameAction::CameraDown, open, dt);
    easeManualAxis(manualZoom, manualZoomGoal, controls, GameAction::CameraZoomIn, GameAction::CameraZoomOut, open, dt);

    if (std::fabs(manualZoom) > 0.000001f && followedNode) {
        const f32 d = followedNode->getAbsolutePosition().getDistanceFrom(position);
        core::vector3df view = target - position;
        view.normalize();
        position += view * d * 0.5f * manualZoom;
    }
    if (std::fabs(manualYaw) > 0.000001f || std::fabs(manualPitch) > 0.000001f) {
        const core::vector3df offset = target - position;
        core::vector3df direction = offset;
        direction.normalize();
        core::vector3df side = direction.crossProduct(core::vector3df(0.0f, 1.0f, 0.0f));
        side.normalize();
        core::vector3df up = mainCamera->getUpVector();
        up.normalize();
        // Positive yaw looks to the left, positive pitch up (left-handed: y up, z ahead). The
        // side axis points to the left, so a turn up about it takes the positive angle.
        core::quaternion yawTurn;
        yawTurn.fromAngleAxis(-manualYaw * manualLookAngle, up);
        core::quaternion pitchTurn;
        pitchTurn.fromAngleAxis(manualPitch * manualLookAngle, side);
        const core::quaternion turn = yawTurn * pitchTurn;
        target = mainCamera->getAbsolutePosition() + turn * offset;
    }
}
