#include "camera/GameCamera.h"

#include "camera/CameraManager.h"
#include "camera/CameraTransition.h"

#include "core/Globals.h"
#include "level/SceneNodeTypes.h"
#include "player/GameActions.h"
#include "player/InputManager.h"
#include "player/PlayerControls.h"
#include "player/PlayerObject.h"

#include <cmath>

using namespace irr;

GameCamera::GameCamera(CameraManager* owner, scene::ISceneNode* parent, scene::ISceneManager* manager)
    : CameraObject(parent, manager, -1), owner(owner) {
    setIsDebugObject(true);
}

scene::ESCENE_NODE_TYPE GameCamera::getType() const { return typeId("mcmr"); }

void GameCamera::OnAnimate(u32) {
    // Once per level frame, like every level object.
    if (levelAnimateFrame != 0 && lastUpdateFrame == levelAnimateFrame)
        return;
    lastUpdateFrame = levelAnimateFrame;
    update(camera::frameSeconds());
}

void GameCamera::onActivated(const CameraActivation& activation) {
    if (activation.snap || !followedNode || !owner || !owner->mainCamera || !cameraNode)
        return;
    if (targetMode)
        targetMode->goalTarget = followedNode->getCameraFocusPoint(distance);
    scene::ICameraSceneNode* main = owner->mainCamera;
    cameraNode->setTarget(main->getTarget());
    const core::vector3df d = main->getTarget() - main->getPosition();
    yaw = std::atan2(d.X, d.Z) * camera::radiansToDegrees + 90.0f;
    pitch = -std::atan2(d.Y, std::sqrt(d.Z * d.Z + d.X * d.X)) * camera::radiansToDegrees;
    distance = d.getLength();
    cameraNode->setUpVector(core::vector3df(0.0f, 1.0f, 0.0f));
    update(0.0001f);
    cameraNode->updateAbsolutePosition();
    cameraNode->render();
    smoothedPosition = cameraNode->getPosition();
}

void GameCamera::snapToGoal(f32 speed) {
    if (speed != 0.0f && followedNode && targetMode)
        targetMode->goalTarget = followedNode->getCameraFocusPoint(distance);
}

namespace {
// The owner's player's controls, or the default controls.
PlayerControls* gameCameraControls(const CameraManager* owner) {
    InputManager* input = owner && owner->inputManager ? owner->inputManager : inputManager;
    if (!input)
        return nullptr;
    PlayerControls* controls = input->getPlayerControls(owner ? s32(owner->playerIndex) : 0, 0);
    return controls ? controls : input->getDefaultControls();
}
} // namespace

void GameCamera::update(f32 dt) {
    HeldActions held;
    // While a screen takes the input, the camera keeps following but ignores the actions.
    PlayerControls* controls = camera::isGameInputAllowed() ? gameCameraControls(owner) : nullptr;
    if (controls) {
        // An action counts when its value is not 0; its strength is not used.
        auto counts = [controls](int action) { return controls->getActionValue(action) != 0.0f; };
        held.up = counts(GameAction::CameraUp);
        held.down = counts(GameAction::CameraDown);
        held.left = counts(GameAction::CameraLeft);
        held.right = counts(GameAction::CameraRight);
        held.zoomIn = counts(GameAction::CameraZoomIn);
        held.zoomOut = counts(GameAction::CameraZoomOut);
    }
    step(dt, held);
}

void GameCamera::step(f32 dt, const HeldActions& held) {
    if (!owner || !owner->mainCamera)
        return;
    ensureCameraNode();
    if (!cameraNode)
        return;
    if (!followedNode)
        followedNode = owner->followedNode;

    f32 zoom = 0.0f;
    if (held.zoomIn) {
        if (pulledIn) {
            smoothedPosition = cameraNode->getPosition();
            distance = pulledInDistance;
        }
        zoom = -dt;
    }
    if (held.zoomOut)
        zoom = dt;
    if (distance > 25.0f)
        distance = 25.0f;
    else
        distance = core::clamp(distance + zoomSpeed * zoom, 3.0f, 25.0f);

    if (followedNode) {
        const core::vector3df focus = followedNode->getCameraFocusPoint(distance);
        const core::vector3df current = cameraNode->getTarget();
        focusPoint = current + (focus - current) * (dt * 4.0f);
    } else {
        focusPoint = core::vector3df();
    }

    f32 yawStep = 0.0f;
    if (held.left)
        yawStep = turnSpeed * dt;
    else if (held.right)
        yawStep = -turnSpeed * dt;
    f32 pitchStep = 0.0f;
    if (held.up)
        pitchStep = turnSpeed * dt;
    else if (held.down)
        pitchStep = -turnSpeed * dt;
    yaw += yawStep;
    pitch = core::clamp(pitch + pitchStep, 10.0f, 45.0f);

    const f32 p = pitch * camera::degreesToRadians;
    const f32 y = yaw * camera::degreesToRadians;
    goalPosition = focusPoint + core::vector3df(distance * std::cos(p) * std::cos(y), distance * std::sin(p),
                                                -distance * std::cos(p) * std::sin(y));
    const f32 g = core::clamp(camera::easingFactor(dt, 6.0f, DampingSpeed) * 1.5f, 0.0f, 1.0f);
    smoothedPosition += (goalPosition - smoothedPosition) * g;

    pulledIn = false;
    core::vector3df position = smoothedPosition;
    const CameraTransition* head = owner->transition;
    if (head && head->positionBlend >= 1.0f && head->targetBlend >= 1.0f && !owner->overridesDisabled &&
        head->camera == this) {
        core::vector3df hit;
        if (owner->raycastWithPostFilter(focusPoint, smoothedPosition, hit)) {
            position = hit + (focusPoint - smoothedPosition).normalize();
            pulledIn = true;
            pulledInDistance = position.getDistanceFrom(focusPoint);
        }
    }
    cameraNode->setPosition(position);
    cameraNode->updateAbsolutePosition();
    cameraNode->setTarget(focusPoint);
    cameraNode->setUpVector(core::vector3df(-std::sin(p) * std::cos(y), std::cos(p), std::sin(p) * std::sin(y)));
}
