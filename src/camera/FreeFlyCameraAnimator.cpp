#include "camera/FreeFlyCameraAnimator.h"

#include "camera/CameraCommon.h"

#include "core/Globals.h"
#include "render/EffectHandler.h"

using namespace irr;

FreeFlyCameraAnimator::FreeFlyCameraAnimator(gui::ICursorControl* cursor, f32 rotateSpeed, f32 moveSpeed,
                                             f32 jumpSpeed, const SKeyMap* map, u32 keyCount,
                                             bool noVerticalMovement)
    : cursorControl(cursor), moveSpeed(moveSpeed), rotateSpeed(rotateSpeed), jumpSpeed(jumpSpeed),
      noVerticalMovement(noVerticalMovement) {
    if (cursorControl)
        cursorControl->grab();
    setKeyMap(const_cast<SKeyMap*>(map), keyCount);
}

FreeFlyCameraAnimator::~FreeFlyCameraAnimator() {
    if (cursorControl)
        cursorControl->drop();
}

void FreeFlyCameraAnimator::setKeyMap(SKeyMap* map, u32 count) {
    keyMap.clear();
    if (!map || count == 0) {
        keyMap.push_back(SKeyMap(EKA_MOVE_FORWARD, KEY_UP));
        keyMap.push_back(SKeyMap(EKA_MOVE_BACKWARD, KEY_DOWN));
        keyMap.push_back(SKeyMap(EKA_STRAFE_LEFT, KEY_LEFT));
        keyMap.push_back(SKeyMap(EKA_STRAFE_RIGHT, KEY_RIGHT));
        keyMap.push_back(SKeyMap(EKA_JUMP_UP, KEY_KEY_J));
        return;
    }
    for (u32 i = 0; i < count; ++i)
        keyMap.push_back(map[i]);
}

bool FreeFlyCameraAnimator::OnEvent(const SEvent& event) {
    if (event.EventType == EET_MOUSE_INPUT_EVENT && event.MouseInput.Event == EMIE_MOUSE_MOVED) {
        if (cursorControl)
            cursorPos = cursorControl->getRelativePosition();
        return true;
    }
    if (event.EventType == EET_KEY_INPUT_EVENT) {
        for (u32 i = 0; i < keyMap.size(); ++i)
            if (keyMap[i].KeyCode == event.KeyInput.Key) {
                const u32 action = static_cast<u32>(keyMap[i].Action);
                // The engine's key actions run forward, backward, left, right, jump, crouch.
                if (action < ActionCount)
                    cursorKeys[action] = event.KeyInput.PressedDown;
                return true;
            }
    }
    return false;
}

void FreeFlyCameraAnimator::animateNode(scene::ISceneNode* node, u32 timeMs) {
    if (!node || node->getType() != scene::ESNT_CAMERA || !effectHandler || effectHandler->renderStage != 1)
        return;
    auto* camera = static_cast<scene::ICameraSceneNode*>(node);
    if (firstUpdate) {
        camera->updateAbsolutePosition();
        if (cursorControl) {
            cursorControl->setPosition(0.5f, 0.5f);
            centerCursor = cursorPos = cursorControl->getRelativePosition();
        }
        lastAnimationTime = timeMs;
        firstUpdate = false;
    }
    if (!camera->isInputReceiverEnabled()) {
        firstInput = true;
        return;
    }
    if (firstInput) {
        for (bool& key : cursorKeys)
            key = false;
        firstInput = false;
    }
    scene::ISceneManager* scene = camera->getSceneManager();
    if (scene && scene->getActiveCamera() != camera)
        return;
    const f32 dt = camera::frameSeconds();
    lastAnimationTime = timeMs;

    core::vector3df position = camera->getPosition();
    core::vector3df rotation = (camera->getTarget() - camera->getAbsolutePosition()).getHorizontalAngle();
    if (cursorControl) {
        if (cursorPos != centerCursor) {
            rotation.Y -= (0.5f - cursorPos.X) * rotateSpeed;
            rotation.X -= (0.5f - cursorPos.Y) * rotateSpeed * mouseYDirection;
            if (rotation.X > maxVerticalAngle * 2.0f && rotation.X < 360.0f - maxVerticalAngle)
                rotation.X = 360.0f - maxVerticalAngle;
            else if (rotation.X > maxVerticalAngle && rotation.X < 360.0f - maxVerticalAngle)
                rotation.X = maxVerticalAngle;
            cursorControl->setPosition(0.5f, 0.5f);
            centerCursor = cursorControl->getRelativePosition();
            cursorPos = centerCursor;
        }
        const core::position2di absolute = cursorControl->getPosition();
        if (u32(absolute.X) > u32(screenWidth) || u32(absolute.Y) > u32(screenHeight)) {
            cursorControl->setPosition(0.5f, 0.5f);
            centerCursor = cursorControl->getRelativePosition();
            cursorPos = centerCursor;
        }
    }

    core::vector3df look(0.0f, 0.0f, core::max_(1.0f, position.getLength()));
    core::matrix4 turn;
    turn.setRotationDegrees(core::vector3df(rotation.X, rotation.Y, 0.0f));
    turn.transformVect(look);
    core::vector3df move = look;
    if (noVerticalMovement) {
        core::matrix4 yawOnly;
        yawOnly.setRotationDegrees(core::vector3df(0.0f, rotation.Y, 0.0f));
        move.set(0.0f, 0.0f, core::max_(1.0f, position.getLength()));
        yawOnly.transformVect(move);
    }
    move.normalize();
    if (cursorKeys[MoveForward])
        position += move * dt * moveSpeed;
    if (cursorKeys[MoveBackward])
        position -= move * dt * moveSpeed;
    core::vector3df strafe = look.crossProduct(camera->getUpVector());
    if (noVerticalMovement)
        strafe.Y = 0.0f;
    strafe.normalize();
    if (cursorKeys[StrafeLeft])
        position += strafe * dt * moveSpeed;
    if (cursorKeys[StrafeRight])
        position -= strafe * dt * moveSpeed;
    for (scene::ISceneNodeAnimator* animator : camera->getAnimators())
        if (animator->getType() == scene::ESNAT_COLLISION_RESPONSE) {
            auto* response = static_cast<scene::ISceneNodeAnimatorCollisionResponse*>(animator);
            if (!response->isFalling() && cursorKeys[Jump])
                response->jump(jumpSpeed);
        }
    camera->setPosition(position);
    camera->setTarget(position + look);
}

scene::ISceneNodeAnimator* FreeFlyCameraAnimator::createClone(scene::ISceneNode*, scene::ISceneManager*) {
    auto* copy = new FreeFlyCameraAnimator(cursorControl, rotateSpeed, moveSpeed, jumpSpeed, nullptr, 0,
                                           noVerticalMovement);
    copy->setKeyMap(keyMap);
    return copy;
}
